#include "level/Pixels.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <thread>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"

namespace lithoscope {

namespace {

// Nearest entry among first..255; the first of equal minima wins, an exact match ends
// the search.
int FindNearestFrom(const uint8_t palette[256][3], int first, int red, int green, int blue) {
    int best = 10000000;
    int bestIndex = first;
    for (int i = first; i < 256; ++i) {
        int d = std::abs(red - 4 * palette[i][0]) + std::abs(green - 4 * palette[i][1]) +
                std::abs(blue - 4 * palette[i][2]);
        if (d < best) {
            best = d;
            bestIndex = i;
            if (d == 0) break;
        }
    }
    return bestIndex;
}

// Largest unpacked chunk accepted; real chunks are a few megabytes.
constexpr uint32_t kMaxUnpackedChunk = 1u << 30;

// Picture sizes beyond this many pixels are refused (16384 x 16384).
constexpr uint64_t kMaxCanvasPixels = uint64_t(1) << 28;

}  // namespace

int FindNearestPaletteEntry(const uint8_t palette[256][3], int red, int green, int blue) {
    return FindNearestFrom(palette, 0, red, green, blue);
}

std::vector<uint8_t> BuildPage8Table(const uint8_t palette[256][3]) {
    std::vector<uint8_t> table(32768);
    // Index 0 is the transparent index: opaque colours look among entries 1 to 255.
    for (int r = 0; r < 32; ++r)
        for (int g = 0; g < 32; ++g)
            for (int b = 0; b < 32; ++b)
                table[(r << 10) | (g << 5) | b] =
                    uint8_t(FindNearestFrom(palette, 1, r * 8, g * 8, b * 8));
    return table;
}

void ConvertPage16To8(const uint16_t* pixels, int width, int height, uint8_t* out,
                      const uint8_t* table) {
    if (width <= 0 || height <= 0) return;
    const size_t n = size_t(width) * size_t(height);
    for (size_t i = 0; i < n; ++i) {
        uint16_t p = pixels[i];
        out[i] = (p & 0x8000) ? table[p & 0x7FFF] : 0;
    }
}

void ConvertRgbaPixels(void* out, int width, int height, bool toBgra, const uint8_t* pixels) {
    if (width <= 0 || height <= 0) return;
    const size_t n = size_t(width) * size_t(height);
    if (toBgra) {
        uint8_t* o = static_cast<uint8_t*>(out);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* s = pixels + 4 * i;
            // Read all four first: out may be the same buffer as pixels.
            uint8_t r = s[0], g = s[1], b = s[2], a = s[3];
            o[4 * i] = b;
            o[4 * i + 1] = g;
            o[4 * i + 2] = r;
            o[4 * i + 3] = a;
        }
    } else {
        uint16_t* o = static_cast<uint16_t*>(out);
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* s = pixels + 4 * i;
            uint16_t p = uint16_t(((s[0] >> 3) << 10) | ((s[1] >> 3) << 5) | (s[2] >> 3));
            if (s[3] >= 128) p |= 0x8000;
            o[i] = p;
        }
    }
}

void ConvertPageToBgra(const void* pixels, int width, int height, int bitsPerPixel,
                       const uint8_t palette[256][3], uint8_t* out, bool flip, int subWidth,
                       int subHeight) {
    if (width <= 0 || height <= 0 || !out) return;
    if (subWidth == -1) subWidth = width;
    if (subHeight == -1) subHeight = height;
    const size_t outRow = size_t(width) * 4;
    std::memset(out, 0, outRow * size_t(height));
    if (subWidth <= 0 || subHeight <= 0 || !pixels) return;
    if (bitsPerPixel != 8 && bitsPerPixel != 16 && bitsPerPixel != 32) return;

    // The source holds subWidth x subHeight pixels; only what fits the output is read.
    const int cols = std::min(subWidth, width);
    const int rows = std::min(subHeight, height);
    for (int y = 0; y < rows; ++y) {
        uint8_t* o = out + size_t(flip ? height - 1 - y : y) * outRow;
        const size_t srcRow = size_t(y) * size_t(subWidth);
        switch (bitsPerPixel) {
        case 8: {
            const uint8_t* s = static_cast<const uint8_t*>(pixels) + srcRow;
            for (int x = 0; x < cols; ++x, o += 4) {
                uint8_t i = s[x];
                if (palette) {
                    o[0] = uint8_t(4 * palette[i][2]);
                    o[1] = uint8_t(4 * palette[i][1]);
                    o[2] = uint8_t(4 * palette[i][0]);
                }
                o[3] = i == 0 ? 0 : 255;
            }
            break;
        }
        case 16: {
            const uint16_t* s = static_cast<const uint16_t*>(pixels) + srcRow;
            for (int x = 0; x < cols; ++x, o += 4) {
                uint16_t p = s[x];
                o[0] = uint8_t((p & 31) << 3);
                o[1] = uint8_t(((p >> 5) & 31) << 3);
                o[2] = uint8_t(((p >> 10) & 31) << 3);
                o[3] = (p & 0x8000) ? 255 : 0;
            }
            break;
        }
        case 32: {
            const uint8_t* s = static_cast<const uint8_t*>(pixels) + srcRow * 4;
            std::memcpy(o, s, size_t(cols) * 4);
            break;
        }
        }
    }
}

std::vector<uint8_t> CopyImageToCanvas(const uint8_t* pixels, int width, int height,
                                       int canvasWidth, int canvasHeight) {
    if (width < 0 || height < 0 || canvasWidth <= 0 || canvasHeight <= 0) return {};
    if (canvasWidth < width || canvasHeight < height) return {};
    if (uint64_t(canvasWidth) * uint64_t(canvasHeight) > kMaxCanvasPixels) return {};
    std::vector<uint8_t> canvas(size_t(canvasWidth) * size_t(canvasHeight) * 4, 0);
    if (!pixels) return canvas;
    for (int y = 0; y < height; ++y)
        std::memcpy(&canvas[size_t(y) * size_t(canvasWidth) * 4],
                    pixels + size_t(y) * size_t(width) * 4, size_t(width) * 4);
    return canvas;
}

int CompressToChunk(const uint8_t* data, size_t size, TrPackedChunk& chunk) {
    // The chunk records its unpacked size in 32 bits.
    if (size > 0xFFFFFFFFu) {
        chunk.clear();
        return Z_BUF_ERROR;
    }
    static const uint8_t kNothing = 0;
    if (!data) data = &kNothing;
    uLongf packed = compressBound(uLong(size));
    std::vector<uint8_t> work(packed);
    int status = compress(work.data(), &packed, data, uLong(size));
    // data may point into the chunk itself: it is replaced only after compressing.
    chunk.clear();
    if (status != Z_OK) return status;
    chunk.unpackedSize = uint32_t(size);
    chunk.data.assign(work.begin(), work.begin() + packed);
    return Z_OK;
}

namespace {

constexpr size_t kSegment = 256 * 1024;
constexpr size_t kWindow = 32 * 1024;

// A worker's deflate stream, made once and reset for each segment (the same as a new one).
class SegmentDeflater {
public:
    SegmentDeflater() {
        ok_ = deflateInit2(&z_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
    }
    ~SegmentDeflater() {
        if (ok_) deflateEnd(&z_);
    }
    SegmentDeflater(const SegmentDeflater&) = delete;
    SegmentDeflater& operator=(const SegmentDeflater&) = delete;

    // One segment as raw deflate, primed with the window before it (window bytes before
    // in): ends on a byte boundary (a sync flush), the last one with the final block.
    bool Deflate(const uint8_t* in, size_t window, size_t size, bool last, std::vector<uint8_t>& out) {
        if (!ok_ || deflateReset(&z_) != Z_OK) return false;
        if (window > 0 && deflateSetDictionary(&z_, in - window, uInt(window)) != Z_OK) return false;
        out.resize(deflateBound(&z_, uLong(size)) + 16);
        z_.next_in = const_cast<Bytef*>(in);
        z_.avail_in = uInt(size);
        z_.next_out = out.data();
        z_.avail_out = uInt(out.size());
        const int flush = last ? Z_FINISH : Z_SYNC_FLUSH;
        const int status = deflate(&z_, flush);
        const bool done = last ? status == Z_STREAM_END : status == Z_OK && z_.avail_in == 0;
        out.resize(out.size() - z_.avail_out);
        out.shrink_to_fit();  // a segment holds what it packed, not the bound
        return done;
    }

private:
    z_stream z_{};
    bool ok_ = false;
};

// The bytes [from, from + n) of a chunk: in place, or made into scratch.
const uint8_t* ChunkRange(const ChunkToCompress& c, size_t from, size_t n, std::vector<uint8_t>& scratch) {
    if (c.data) return c.data + from;
    scratch.resize(n);
    c.make(from, n, scratch.data());
    return scratch.data();
}

// A chunk's bytes in one piece, for the one-stream fallbacks.
int CompressWhole(const ChunkToCompress& c, TrPackedChunk& chunk) {
    if (c.data || c.size == 0) return CompressToChunk(c.data, c.size, chunk);
    std::vector<uint8_t> bytes(c.size);
    c.make(0, c.size, bytes.data());
    return CompressToChunk(bytes.data(), bytes.size(), chunk);
}

}  // namespace

int CompressToChunkParallel(const uint8_t* data, size_t size, TrPackedChunk& chunk, int threadCount) {
    ChunkToCompress one;
    one.data = data;
    one.size = size;
    TrPackedChunk* out = &chunk;
    return CompressChunksParallel(&one, &out, 1, threadCount);
}

int CompressChunksParallel(const ChunkToCompress* chunks, TrPackedChunk* const* out, size_t count,
                           int threadCount, size_t* failedChunk, uint64_t packedLimit) {
    // Work items: every segment of every chunk that is large enough to be cut; the others
    // are one plain stream each (one item).
    struct Item {
        size_t chunk, segment;
    };
    std::vector<Item> items;
    std::vector<size_t> segmentCount(count, 0);
    for (size_t c = 0; c < count; ++c) {
        const size_t size = chunks[c].size;
        const size_t segments = (size + kSegment - 1) / kSegment;
        if (segments < 2 || size > 0xFFFFFFFFu) {
            items.push_back({c, 0});
            continue;
        }
        segmentCount[c] = segments;
        for (size_t i = 0; i < segments; ++i) items.push_back({c, i});
    }
    std::vector<std::vector<std::vector<uint8_t>>> parts(count);
    std::vector<std::vector<uLong>> sums(count);
    std::vector<int> plainStatus(count, Z_OK);
    std::vector<char> failed(count, 0);
    for (size_t c = 0; c < count; ++c) {
        parts[c].resize(segmentCount[c]);
        sums[c].resize(segmentCount[c]);
    }
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> packedSoFar{0};
    std::atomic<bool> tooLarge{false};
    auto work = [&]() {
        SegmentDeflater deflater;
        std::vector<uint8_t> scratch;
        for (size_t k; !tooLarge && (k = next++) < items.size();) {
            const Item& it = items[k];
            const ChunkToCompress& c = chunks[it.chunk];
            if (segmentCount[it.chunk] == 0) {
                plainStatus[it.chunk] = CompressWhole(c, *out[it.chunk]);
                if ((packedSoFar += out[it.chunk]->data.size()) > packedLimit) tooLarge = true;
                continue;
            }
            const size_t begin = it.segment * kSegment, end = std::min(c.size, begin + kSegment);
            const size_t from = begin > kWindow ? begin - kWindow : 0;
            const uint8_t* bytes = ChunkRange(c, from, end - from, scratch) + (begin - from);
            if (!deflater.Deflate(bytes, begin - from, end - begin, end == c.size,
                                  parts[it.chunk][it.segment]))
                failed[it.chunk] = 1;
            sums[it.chunk][it.segment] = adler32(adler32(0, nullptr, 0), bytes, uInt(end - begin));
            if ((packedSoFar += parts[it.chunk][it.segment].size()) > packedLimit) tooLarge = true;
        }
    };
    const size_t wanted = threadCount > 0 ? size_t(threadCount)
                                          : std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    const size_t threads = std::min(items.size(), wanted);
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();

    if (tooLarge) {
        for (size_t c = 0; c < count; ++c) out[c]->clear();
        return Z_BUF_ERROR;
    }
    int status = Z_OK;
    auto fail = [&](size_t c, int s) {
        if (s == Z_OK || status != Z_OK) return;
        status = s;
        if (failedChunk) *failedChunk = c;
    };
    for (size_t c = 0; c < count; ++c) {
        TrPackedChunk& chunk = *out[c];
        if (segmentCount[c] == 0) {
            fail(c, plainStatus[c]);
            continue;
        }
        if (failed[c]) {
            std::vector<std::vector<uint8_t>>().swap(parts[c]);
            fail(c, CompressWhole(chunks[c], chunk));
            continue;
        }
        const size_t size = chunks[c].size;
        uLong sum = sums[c][0];
        size_t packed = 2 + 4;
        for (size_t i = 0; i < segmentCount[c]; ++i) {
            if (i > 0) {
                const size_t len = std::min(size, (i + 1) * kSegment) - i * kSegment;
                sum = adler32_combine(sum, sums[c][i], z_off_t(len));
            }
            packed += parts[c][i].size();
        }
        chunk.clear();
        chunk.unpackedSize = uint32_t(size);
        chunk.data.reserve(packed);
        chunk.data.push_back(0x78);  // deflate, 32 KB window
        chunk.data.push_back(0x9C);  // default level, no dictionary
        for (std::vector<uint8_t>& part : parts[c]) {
            chunk.data.insert(chunk.data.end(), part.begin(), part.end());
            std::vector<uint8_t>().swap(part);
        }
        for (int shift = 24; shift >= 0; shift -= 8) chunk.data.push_back(uint8_t(sum >> shift));
    }
    return status;
}

int DecompressChunk(const TrPackedChunk& chunk, bool is32Bit, std::vector<uint8_t>& out,
                    uint32_t* rowsOut) {
    std::vector<uint8_t>().swap(out);
    if (rowsOut) *rowsOut = 0;
    // Refuse absurd sizes before allocating anything.
    if (chunk.unpackedSize > kMaxUnpackedChunk) return Z_DATA_ERROR;
    out.resize(chunk.unpackedSize);
    uLongf unpacked = chunk.unpackedSize;
    static const uint8_t kNothing = 0;
    const uint8_t* src = chunk.data.empty() ? &kNothing : chunk.data.data();
    uint8_t* dst = out.empty() ? nullptr : out.data();
    uint8_t scratch = 0;
    if (!dst) dst = &scratch;  // zlib wants a buffer even for no bytes
    int status = uncompress(dst, &unpacked, src, uLong(chunk.data.size()));
    // The data must inflate to exactly the stated size: more gives Z_BUF_ERROR, less is
    // caught here.
    if (status == Z_OK && unpacked != chunk.unpackedSize) status = Z_DATA_ERROR;
    if (status != Z_OK) {
        std::vector<uint8_t>().swap(out);
        return status;
    }
    if (rowsOut) *rowsOut = chunk.unpackedSize / (is32Bit ? 1024u : 512u);
    return Z_OK;
}

int DecompressToBlocks(const uint8_t* packed, size_t packedSize, uint8_t* const* blocks,
                       size_t count, size_t blockSize, bool firstBlocksOnly) {
    // The loop and the results of zlib's uncompress, with the output moving from one block
    // to the next.
    const uint64_t total = uint64_t(count) * blockSize;
    if (firstBlocksOnly && total == 0) return Z_OK;
    if (total == 0 || total > kMaxUnpackedChunk || blockSize > 0xFFFFFFFFu) {
        TrPackedChunk chunk;
        chunk.unpackedSize = uint32_t(std::min<uint64_t>(total, 0xFFFFFFFFu));
        chunk.data.assign(packed, packed + packedSize);
        std::vector<uint8_t> out;
        const int status = DecompressChunk(chunk, false, out, nullptr);
        if (status == Z_OK && blockSize > 0)
            for (size_t b = 0; b < count; ++b) std::memcpy(blocks[b], out.data() + b * blockSize, blockSize);
        return status;
    }
    z_stream z{};
    static const uint8_t kNothing = 0;
    z.next_in = const_cast<Bytef*>(packedSize ? packed : &kNothing);
    z.avail_in = 0;
    int err = inflateInit(&z);
    if (err != Z_OK) return err;
    size_t next = 0;  // the block the output goes to next
    uLong left = uLong(total), inputLeft = uLong(packedSize);
    do {
        if (z.avail_out == 0 && next < count) {
            z.next_out = blocks[next++];
            z.avail_out = uInt(blockSize);
            left -= blockSize;
        }
        if (z.avail_in == 0) {
            z.avail_in = uInt(std::min<uLong>(inputLeft, 0xFFFFFFFFu));
            inputLeft -= z.avail_in;
        }
        err = inflate(&z, Z_NO_FLUSH);
    } while (err == Z_OK && !(firstBlocksOnly && z.avail_out == 0 && next == count));
    if (err == Z_OK) err = Z_STREAM_END;  // every block filled; the rest is not wanted
    const uLong produced = z.total_out;
    const uInt room = z.avail_out;
    inflateEnd(&z);
    const int status = err == Z_STREAM_END ? Z_OK
                       : err == Z_NEED_DICT ? Z_DATA_ERROR
                       : err == Z_BUF_ERROR && left + room ? Z_DATA_ERROR
                       : err;
    if (status == Z_OK && produced != total) return Z_DATA_ERROR;
    return status;
}

bool WriteTga32(const std::string& path, const uint8_t* pixels, int width, int height,
                int bytesPerPixel, bool bottomRowFirst, std::string* error) {
    auto refuse = [&](const std::string& why) {
        if (error) *error = why;
        return false;
    };
    if (width < 0 || height < 0 || width > 0xFFFF || height > 0xFFFF)
        return refuse("picture size out of range for a TGA file");
    if (bytesPerPixel != 3 && bytesPerPixel != 4) return refuse("unsupported pixel size");
    const size_t n = size_t(width) * size_t(height);
    if (n > 0 && !pixels) return refuse("no pixels");

    std::vector<uint8_t> file(18 + n * 4, 0);
    ByteWriter w(file);
    w.u8(0);  // ID length
    w.u8(0);  // colour-map type
    w.u8(2);  // uncompressed true colour
    w.zeros(9);
    w.u16(uint16_t(width));
    w.u16(uint16_t(height));
    w.u8(32);
    w.u8(0);
    for (int row = 0; row < height; ++row) {
        const int y = bottomRowFirst ? height - 1 - row : row;
        const uint8_t* s = pixels + size_t(y) * size_t(width) * size_t(bytesPerPixel);
        for (int x = 0; x < width; ++x, s += bytesPerPixel) {
            w.bytes(s, 3);
            w.u8(bytesPerPixel == 4 ? s[3] : 255);
        }
    }
    return WriteFileSafely(path, file.data(), file.size(), error);
}

namespace {

// A corner's coordinate as the bounds rule counts it on one side: a coordinate byte of 1
// adds 1, one of 255 subtracts 1, 0 nothing. Tomb Raider III and IV files hold 127 there:
// such a corner counts as lying inside on either side, so its rectangle is its pixels' and
// its bytes stay as they are.
inline int EffectiveCoordinate(uint8_t code, int pixel, bool high) {
    return pixel + (code == 1 ? 1 : code == 255 ? -1 : code == 0 ? 0 : high ? -1 : 1);
}

// One side of one axis (0: x, bytes 0 and 1 of a corner; 1: y, bytes 2 and 3). Low side:
// smallest values, coordinate 1; high side: largest values, coordinate 255.
int SettleSide(TrObjectTextureRecord& texture, int n, int axis, bool high) {
    uint8_t* corner[4];
    for (int k = 0; k < n; ++k) corner[k] = texture.corner(k);
    const int code = 2 * axis, pixel = code + 1;
    int bestPixel = corner[0][pixel];
    int bestEffective = EffectiveCoordinate(corner[0][code], corner[0][pixel], high);
    for (int k = 1; k < n; ++k) {
        const int p = corner[k][pixel];
        const int e = EffectiveCoordinate(corner[k][code], p, high);
        bestPixel = high ? std::max(bestPixel, p) : std::min(bestPixel, p);
        bestEffective = high ? std::max(bestEffective, e) : std::min(bestEffective, e);
    }
    const bool beyond = high ? bestEffective >= bestPixel : bestEffective <= bestPixel;
    if (!beyond) return bestPixel;
    for (int k = 0; k < n; ++k)
        if (EffectiveCoordinate(corner[k][code], corner[k][pixel], high) == bestEffective)
            corner[k][code] = high ? 255 : 1;
    return high ? std::min(bestEffective + 1, 255) : std::max(bestEffective - 1, 0);
}

}  // namespace

void GetTextureBounds(TrObjectTextureRecord& texture, int cornerCount, int* leftOut,
                      int* topOut, int* rightOut, int* bottomOut) {
    const int n = std::min(cornerCount, 4);
    if (n <= 0) {
        for (int* p : {leftOut, topOut, rightOut, bottomOut})
            if (p) *p = 0;
        return;
    }
    const int left = SettleSide(texture, n, 0, false);
    const int top = SettleSide(texture, n, 1, false);
    const int right = SettleSide(texture, n, 0, true);
    const int bottom = SettleSide(texture, n, 1, true);
    if (leftOut) *leftOut = left;
    if (topOut) *topOut = top;
    if (rightOut) *rightOut = right;
    if (bottomOut) *bottomOut = bottom;
}

void NormaliseTextureCorners(TrObjectTextureRecord& texture, int cornerCount) {
    // The rule reads and writes the corner bytes only, and the same corners come again and
    // again (every face of a texture): the last results are kept by their corners.
    constexpr size_t kCornerBytes = 16;
    struct Settled {
        uint8_t from[kCornerBytes], to[kCornerBytes];
        int corners = 0;
    };
    thread_local Settled recent[64];
    uint64_t half[2];
    std::memcpy(half, texture.corner(0), kCornerBytes);
    const uint64_t h = (half[0] * 0x9E3779B97F4A7C15ull) ^ (half[1] * 0xFF51AFD7ED558CCDull) ^ uint64_t(cornerCount);
    Settled& slot = recent[(h ^ (h >> 29)) & 63];
    if (slot.corners == cornerCount && std::memcmp(slot.from, half, kCornerBytes) == 0) {
        std::memcpy(texture.corner(0), slot.to, kCornerBytes);
        return;
    }
    std::memcpy(slot.from, half, kCornerBytes);
    // Triangles may use the first three corners of a quad texture: a quad is settled for
    // both uses. Each pass settles at least the extreme corners of both axes.
    for (int pass = 0; pass < 8; ++pass) {
        const TrObjectTextureRecord before = texture;
        if (cornerCount == 4) GetTextureBounds(texture, 4, nullptr, nullptr, nullptr, nullptr);
        GetTextureBounds(texture, 3, nullptr, nullptr, nullptr, nullptr);
        if (texture == before) break;
    }
    std::memcpy(slot.to, texture.corner(0), kCornerBytes);
    slot.corners = cornerCount;
}

}  // namespace lithoscope

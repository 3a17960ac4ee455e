#include "level/Pixels.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
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

// One segment as raw deflate, primed with the window before it; ends on a byte boundary
// (a sync flush), the last one with the final block.
bool DeflateSegment(const uint8_t* data, size_t size, size_t begin, size_t end,
                    std::vector<uint8_t>& out) {
    z_stream z{};
    if (deflateInit2(&z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    bool ok = true;
    if (begin > 0) {
        const size_t from = begin > kWindow ? begin - kWindow : 0;
        ok = deflateSetDictionary(&z, data + from, uInt(begin - from)) == Z_OK;
    }
    out.resize(deflateBound(&z, uLong(end - begin)) + 16);
    z.next_in = const_cast<Bytef*>(data + begin);
    z.avail_in = uInt(end - begin);
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    const int flush = end == size ? Z_FINISH : Z_SYNC_FLUSH;
    const int status = ok ? deflate(&z, flush) : Z_STREAM_ERROR;
    ok = ok && (flush == Z_FINISH ? status == Z_STREAM_END : status == Z_OK && z.avail_in == 0);
    out.resize(out.size() - z.avail_out);
    out.shrink_to_fit();  // a segment holds what it packed, not the bound
    deflateEnd(&z);
    return ok;
}

}  // namespace

int CompressToChunkParallel(const uint8_t* data, size_t size, TrPackedChunk& chunk, int threadCount) {
    const size_t segments = (size + kSegment - 1) / kSegment;
    if (segments < 2 || size > 0xFFFFFFFFu) return CompressToChunk(data, size, chunk);
    std::vector<std::vector<uint8_t>> parts(segments);
    std::vector<uLong> sums(segments);
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&]() {
        for (size_t i; (i = next++) < segments;) {
            const size_t begin = i * kSegment, end = std::min(size, begin + kSegment);
            if (!DeflateSegment(data, size, begin, end, parts[i])) failed = true;
            sums[i] = adler32(adler32(0, nullptr, 0), data + begin, uInt(end - begin));
        }
    };
    const size_t wanted = threadCount > 0 ? size_t(threadCount)
                                          : std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
    const size_t threads = std::min(segments, wanted);
    std::vector<std::thread> pool;
    for (size_t t = 1; t < threads; ++t) pool.emplace_back(work);
    work();
    for (std::thread& t : pool) t.join();
    if (failed) return CompressToChunk(data, size, chunk);

    uLong sum = sums[0];
    size_t packed = 2 + 4;
    for (size_t i = 0; i < segments; ++i) {
        if (i > 0) {
            const size_t len = std::min(size, (i + 1) * kSegment) - i * kSegment;
            sum = adler32_combine(sum, sums[i], z_off_t(len));
        }
        packed += parts[i].size();
    }
    chunk.clear();
    chunk.unpackedSize = uint32_t(size);
    chunk.data.reserve(packed);
    chunk.data.push_back(0x78);  // deflate, 32 KB window
    chunk.data.push_back(0x9C);  // default level, no dictionary
    for (const std::vector<uint8_t>& part : parts) chunk.data.insert(chunk.data.end(), part.begin(), part.end());
    for (int shift = 24; shift >= 0; shift -= 8) chunk.data.push_back(uint8_t(sum >> shift));
    return Z_OK;
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

void GetTextureBounds(TrObjectTextureRecord& texture, int cornerCount, int* leftOut,
                      int* topOut, int* rightOut, int* bottomOut) {
    const int n = std::min(cornerCount, 4);
    if (n <= 0) {
        for (int* p : {leftOut, topOut, rightOut, bottomOut})
            if (p) *p = 0;
        return;
    }
    // axis 0: x (bytes 0, 1 of a corner), axis 1: y (bytes 2, 3).
    auto pixel = [&](int k, int axis) { return int(texture.corner(k)[2 * axis + 1]); };
    // A coordinate byte of 1 adds 1, one of 255 subtracts 1, 0 nothing. Tomb Raider III and
    // IV files hold 127 there: such a corner counts as lying inside on either side, so its
    // rectangle is its pixels' and its bytes stay as they are.
    auto effective = [&](int k, int axis, bool high) {
        const uint8_t c = texture.corner(k)[2 * axis];
        return pixel(k, axis) + (c == 1 ? 1 : c == 255 ? -1 : c == 0 ? 0 : high ? -1 : 1);
    };
    // low side: smallest values, coordinate 1; high side: largest values, coordinate 255.
    auto settle = [&](int axis, bool high) {
        int bestPixel = pixel(0, axis), bestEffective = effective(0, axis, high);
        for (int k = 1; k < n; ++k) {
            bestPixel = high ? std::max(bestPixel, pixel(k, axis))
                             : std::min(bestPixel, pixel(k, axis));
            bestEffective = high ? std::max(bestEffective, effective(k, axis, high))
                                 : std::min(bestEffective, effective(k, axis, high));
        }
        bool beyond = high ? bestEffective >= bestPixel : bestEffective <= bestPixel;
        if (!beyond) return bestPixel;
        for (int k = 0; k < n; ++k)
            if (effective(k, axis, high) == bestEffective)
                texture.corner(k)[2 * axis] = high ? 255 : 1;
        return high ? std::min(bestEffective + 1, 255) : std::max(bestEffective - 1, 0);
    };
    int left = settle(0, false);
    int top = settle(1, false);
    int right = settle(0, true);
    int bottom = settle(1, true);
    if (leftOut) *leftOut = left;
    if (topOut) *topOut = top;
    if (rightOut) *rightOut = right;
    if (bottomOut) *bottomOut = bottom;
}

void NormaliseTextureCorners(TrObjectTextureRecord& texture, int cornerCount) {
    // Triangles may use the first three corners of a quad texture: a quad is settled for
    // both uses. Each pass settles at least the extreme corners of both axes.
    for (int pass = 0; pass < 8; ++pass) {
        const TrObjectTextureRecord before = texture;
        if (cornerCount == 4) GetTextureBounds(texture, 4, nullptr, nullptr, nullptr, nullptr);
        GetTextureBounds(texture, 3, nullptr, nullptr, nullptr, nullptr);
        if (texture == before) return;
    }
}

}  // namespace lithoscope

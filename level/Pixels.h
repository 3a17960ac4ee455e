#pragma once
// Texture pages and pixel formats: 8-bit palette pages, 16-bit ARGB1555 pages, 32-bit
// B, G, R, A pixels; zlib chunks; 32-bit TGA pictures; the palette tile.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "level/TrRecords.h"

namespace lithoscope {

// Index of the palette entry (components 0 to 63) nearest to an 8-bit colour.
int FindNearestPaletteEntry(const uint8_t palette[256][3], int red, int green, int blue);
// The 32768-entry table from 15-bit colours to palette indices used when 16-bit pages are
// written as 8-bit ones. Opaque colours never map to index 0, the transparent index.
std::vector<uint8_t> BuildPage8Table(const uint8_t palette[256][3]);
void ConvertPage16To8(const uint16_t* pixels, int width, int height, uint8_t* out,
                      const uint8_t* table);
// Picture pixels (R, G, B, A) to ARGB1555 (out holds uint16) or, toBgra, to B, G, R, A.
void ConvertRgbaPixels(void* out, int width, int height, bool toBgra, const uint8_t* pixels);
// 8, 16 or 32-bit pixels to B, G, R, A; sub sizes of -1 mean the whole width and height.
void ConvertPageToBgra(const void* pixels, int width, int height, int bitsPerPixel,
                       const uint8_t palette[256][3], uint8_t* out, bool flip,
                       int subWidth = -1, int subHeight = -1);
// A zero-filled 32-bit canvas with the image at its top left; empty when it can't hold it.
std::vector<uint8_t> CopyImageToCanvas(const uint8_t* pixels, int width, int height,
                                       int canvasWidth, int canvasHeight);
// zlib: returns Z_OK or zlib's error.
int CompressToChunk(const uint8_t* data, size_t size, TrPackedChunk& chunk);
// The same as one zlib stream at the default level, compressed by several threads in
// fixed 256 KB segments (each primed with the 32 KB before it): the bytes depend on the
// data alone, never on the number of threads. Small data goes through CompressToChunk.
// threads 0: as many as the machine has (at most 8).
int CompressToChunkParallel(const uint8_t* data, size_t size, TrPackedChunk& chunk, int threads = 0);
// The bytes of a chunk to compress: in place (data), or made on demand (make fills out with
// the bytes from offset on), so that a large chunk need not exist in one piece.
struct ChunkToCompress {
    const uint8_t* data = nullptr;
    std::function<void(size_t offset, size_t size, uint8_t* out)> make;
    size_t size = 0;
};
// Several chunks on one pool of threads, each exactly as CompressToChunkParallel makes it,
// into *out[i]. Returns Z_OK or the error of the first chunk that failed (its index in
// failedChunk); Z_BUF_ERROR, with every chunk left empty, as soon as what is packed comes
// to more than packedLimit bytes.
int CompressChunksParallel(const ChunkToCompress* chunks, TrPackedChunk* const* out, size_t count,
                           int threads = 0, size_t* failedChunk = nullptr,
                           uint64_t packedLimit = UINT64_MAX);
int DecompressChunk(const TrPackedChunk& chunk, bool is32Bit, std::vector<uint8_t>& out,
                    uint32_t* rowsOut);
// Inflates a zlib stream of packed bytes into count blocks of blockSize bytes, one after
// the other, with DecompressChunk's results: Z_OK only when the stream ends having filled
// every block exactly. With firstBlocksOnly the stream may go on past the blocks: Z_OK
// once they are full, the rest not inflated.
int DecompressToBlocks(const uint8_t* packed, size_t packedSize, uint8_t* const* blocks,
                       size_t count, size_t blockSize, bool firstBlocksOnly = false);
// Writes a 32-bit TGA through the safe writer; false (and error set) on failure.
bool WriteTga32(const std::string& path, const uint8_t* pixels, int width, int height,
                int bytesPerPixel, bool bottomRowFirst, std::string* error = nullptr);
// The pixel rectangle an object texture covers on its page; normalises its corner bytes.
void GetTextureBounds(TrObjectTextureRecord& texture, int cornerCount, int* leftOut,
                      int* topOut, int* rightOut, int* bottomOut);
// Applies the bounds rule to a texture's corner bytes until it changes nothing more: the
// rectangle is then its corners' pixels, and the rule leaves the texture as it is however
// often it is applied again (a save and the loads after it cut the same rectangle).
void NormaliseTextureCorners(TrObjectTextureRecord& texture, int cornerCount);
// Every corner's x and y coordinate byte that holds `from` becomes `to` (Tomb Raider IV
// files hold 0 where memory holds 1).
inline void ReplaceCoordinateBytes(TrObjectTextureRecord& texture, uint8_t from, uint8_t to) {
    for (int k = 0; k < 4; ++k) {
        uint8_t* c = texture.corner(k);
        if (c[0] == from) c[0] = to;
        if (c[2] == from) c[2] = to;
    }
}

}  // namespace lithoscope

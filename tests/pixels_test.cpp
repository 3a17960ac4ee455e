#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>
#include <memory>

#include "TestSupport.h"
#include "level/LevelLog.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/System.h"

using namespace lithoscope;

namespace {

void SetEntry(uint8_t palette[256][3], int i, uint8_t r, uint8_t g, uint8_t b) {
    palette[i][0] = r;
    palette[i][1] = g;
    palette[i][2] = b;
}

// B, G, R, A of pixel i of a 32-bit buffer.
std::vector<int> Bgra(const std::vector<uint8_t>& out, size_t i) {
    return {out[4 * i], out[4 * i + 1], out[4 * i + 2], out[4 * i + 3]};
}

std::string Text(const std::vector<uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

}  // namespace

TEST(PaletteSearch, TiesGiveTheLowerIndexAndExactMatchesWin) {
    uint8_t palette[256][3];
    for (int i = 0; i < 256; ++i) SetEntry(palette, i, 63, 63, 63);
    SetEntry(palette, 2, 10, 0, 0);
    SetEntry(palette, 7, 0, 10, 0);
    // (20, 20, 0): entries 2 and 7 are both at 20 + 20 = 40.
    EXPECT_EQ(FindNearestPaletteEntry(palette, 20, 20, 0), 2);
    // Exact matches at 9 and 12: the first ends the search.
    SetEntry(palette, 9, 5, 6, 7);
    SetEntry(palette, 12, 5, 6, 7);
    EXPECT_EQ(FindNearestPaletteEntry(palette, 20, 24, 28), 9);
    // The plain search includes entry 0.
    SetEntry(palette, 0, 0, 0, 0);
    EXPECT_EQ(FindNearestPaletteEntry(palette, 1, 1, 1), 0);
    EXPECT_EQ(FindNearestPaletteEntry(palette, 255, 255, 255), 1);
}

TEST(Page8Table, OpaqueColoursNeverBecomeTransparent) {
    uint8_t palette[256][3];
    for (int i = 0; i < 256; ++i) SetEntry(palette, i, 63, 63, 63);
    SetEntry(palette, 0, 0, 0, 0);   // transparent black
    SetEntry(palette, 1, 63, 0, 0);  // red
    SetEntry(palette, 2, 0, 0, 8);   // dark blue (0, 0, 32)
    SetEntry(palette, 3, 0, 63, 0);  // green
    std::vector<uint8_t> table = BuildPage8Table(palette);
    ASSERT_EQ(table.size(), 32768u);
    // Black (0, 0, 0) is nearest to entry 0, but opaque: dark blue at 32 wins.
    EXPECT_EQ(table[0], 2);
    EXPECT_EQ(FindNearestPaletteEntry(palette, 0, 0, 0), 0);
    EXPECT_EQ(table[31 << 10], 1);          // (248, 0, 0): red at 4
    EXPECT_EQ(table[31 << 5], 3);           // (0, 248, 0): green at 4
    EXPECT_EQ(table[4], 2);                 // (0, 0, 32): exact
    EXPECT_EQ(table[31], 2);                // (0, 0, 248): blue 216, red 500, white 508
    EXPECT_EQ(table[0x7FFF], 4);            // (248, 248, 248): first white entry

    const uint16_t page[6] = {0x7FFF, 0x0000, 0x8000, 0xFC00, 0x83E0, 0xFFFF};
    uint8_t out[6];
    std::memset(out, 0xAA, sizeof out);
    ConvertPage16To8(page, 3, 2, out, table.data());
    const uint8_t expected[6] = {0, 0, 2, 1, 3, 4};
    EXPECT_EQ(std::memcmp(out, expected, 6), 0);
}

TEST(PageToBgra, ConvertsEachDepth) {
    uint8_t palette[256][3] = {};
    SetEntry(palette, 0, 10, 20, 30);
    SetEntry(palette, 5, 1, 2, 63);
    const uint8_t page8[4] = {0, 5, 5, 0};
    std::vector<uint8_t> out(2 * 2 * 4);
    ConvertPageToBgra(page8, 2, 2, 8, palette, out.data(), false);
    EXPECT_EQ(Bgra(out, 0), (std::vector<int>{120, 80, 40, 0}));  // index 0: transparent
    EXPECT_EQ(Bgra(out, 1), (std::vector<int>{252, 8, 4, 255}));
    EXPECT_EQ(Bgra(out, 3), (std::vector<int>{120, 80, 40, 0}));

    const uint16_t page16[4] = {0xFFFF, 0x7C1F, 0x8421, 0x83E0};
    ConvertPageToBgra(page16, 2, 2, 16, nullptr, out.data(), false);
    EXPECT_EQ(Bgra(out, 0), (std::vector<int>{248, 248, 248, 255}));
    EXPECT_EQ(Bgra(out, 1), (std::vector<int>{248, 0, 248, 0}));
    EXPECT_EQ(Bgra(out, 2), (std::vector<int>{8, 8, 8, 255}));
    EXPECT_EQ(Bgra(out, 3), (std::vector<int>{0, 248, 0, 255}));

    // Flipped: the last row comes out first.
    ConvertPageToBgra(page16, 2, 2, 16, nullptr, out.data(), true);
    EXPECT_EQ(Bgra(out, 0), (std::vector<int>{8, 8, 8, 255}));
    EXPECT_EQ(Bgra(out, 3), (std::vector<int>{248, 0, 248, 0}));

    const uint8_t page32[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<uint8_t> out32(8);
    ConvertPageToBgra(page32, 1, 2, 32, nullptr, out32.data(), true);
    EXPECT_EQ(out32, (std::vector<uint8_t>{5, 6, 7, 8, 1, 2, 3, 4}));
}

TEST(PageToBgra, SubSizesStepSourceRowsAndStayInBounds) {
    // A 2 x 2 source into a 4 x 3 output: source rows of 2, output rows of 4.
    const uint16_t src[4] = {0x801F, 0xFC00, 0x83E0, 0xFFFF};
    std::vector<uint8_t> out(4 * 3 * 4, 0xAA);
    ConvertPageToBgra(src, 4, 3, 16, nullptr, out.data(), false, 2, 2);
    EXPECT_EQ(Bgra(out, 0), (std::vector<int>{248, 0, 0, 255}));
    EXPECT_EQ(Bgra(out, 1), (std::vector<int>{0, 0, 248, 255}));
    EXPECT_EQ(Bgra(out, 2), (std::vector<int>{0, 0, 0, 0}));
    EXPECT_EQ(Bgra(out, 4), (std::vector<int>{0, 248, 0, 255}));
    EXPECT_EQ(Bgra(out, 5), (std::vector<int>{248, 248, 248, 255}));
    EXPECT_EQ(Bgra(out, 8), (std::vector<int>{0, 0, 0, 0}));
    // Flipped over the whole output: source row 0 lands on output row 2.
    ConvertPageToBgra(src, 4, 3, 16, nullptr, out.data(), true, 2, 2);
    EXPECT_EQ(Bgra(out, 8), (std::vector<int>{248, 0, 0, 255}));
    EXPECT_EQ(Bgra(out, 4), (std::vector<int>{0, 248, 0, 255}));
    EXPECT_EQ(Bgra(out, 0), (std::vector<int>{0, 0, 0, 0}));

    // A sub size larger than the output: only the part that fits is read and written.
    std::vector<uint16_t> big(3 * 3, 0x8000);
    big[1] = 0xFC00;
    big[3] = 0x801F;
    std::vector<uint8_t> small(2 * 2 * 4);
    ConvertPageToBgra(big.data(), 2, 2, 16, nullptr, small.data(), false, 3, 3);
    EXPECT_EQ(Bgra(small, 1), (std::vector<int>{0, 0, 248, 255}));
    EXPECT_EQ(Bgra(small, 2), (std::vector<int>{248, 0, 0, 255}));

    // Negative sizes convert nothing (the output is cleared).
    std::vector<uint8_t> cleared(2 * 2 * 4, 0xAA);
    ConvertPageToBgra(src, 2, 2, 16, nullptr, cleared.data(), false, -5, 2);
    EXPECT_EQ(cleared, std::vector<uint8_t>(16, 0));
    ConvertPageToBgra(src, -2, 2, 16, nullptr, cleared.data(), false);
}

TEST(RgbaPixels, ConvertToArgb1555AndBgra) {
    const uint8_t rgba[12] = {255, 128, 7, 128, 8, 16, 24, 127, 0, 0, 0, 255};
    uint16_t out16[3] = {};
    ConvertRgbaPixels(out16, 3, 1, false, rgba);
    EXPECT_EQ(out16[0], 0xFE00);  // 31, 16, 0; alpha 128 is opaque
    EXPECT_EQ(out16[1], 0x0443);  // 1, 2, 3; alpha 127 is transparent
    EXPECT_EQ(out16[2], 0x8000);

    std::vector<uint8_t> pixels = {1, 2, 3, 4, 9, 8, 7, 6};
    ConvertRgbaPixels(pixels.data(), 2, 1, true, pixels.data());  // in place
    EXPECT_EQ(pixels, (std::vector<uint8_t>{3, 2, 1, 4, 7, 8, 9, 6}));
}

TEST(Canvas, HoldsTheImageAtTheTopLeft) {
    const uint8_t image[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // 2 x 1
    std::vector<uint8_t> canvas = CopyImageToCanvas(image, 2, 1, 3, 2);
    std::vector<uint8_t> expected(3 * 2 * 4, 0);
    for (int i = 0; i < 8; ++i) expected[i] = uint8_t(i + 1);
    EXPECT_EQ(canvas, expected);
    EXPECT_TRUE(CopyImageToCanvas(image, 2, 1, 1, 2).empty());  // narrower
    EXPECT_TRUE(CopyImageToCanvas(image, 2, 1, 2, 0).empty());  // lower
    EXPECT_TRUE(CopyImageToCanvas(image, -2, 1, 4, 4).empty());
    EXPECT_TRUE(CopyImageToCanvas(image, 2, 1, -4, 4).empty());
}

TEST(Chunks, ParallelSegmentsGiveOneStreamWhateverTheThreads) {
    // 1.3 MB: six segments, the last one short.
    std::vector<uint8_t> data(1300 * 1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t((i * 7) ^ (i >> 9) ^ (i % 251 == 0 ? 0x55 : 0));
    TrPackedChunk one, four;
    ASSERT_EQ(CompressToChunkParallel(data.data(), data.size(), one, 1), Z_OK);
    ASSERT_EQ(CompressToChunkParallel(data.data(), data.size(), four, 4), Z_OK);
    EXPECT_TRUE(one == four);
    std::vector<uint8_t> out;
    ASSERT_EQ(DecompressChunk(four, false, out, nullptr), Z_OK);
    EXPECT_EQ(out, data);
    // Small data is one plain stream.
    TrPackedChunk small, plain;
    ASSERT_EQ(CompressToChunkParallel(data.data(), 1000, small), Z_OK);
    ASSERT_EQ(CompressToChunk(data.data(), 1000, plain), Z_OK);
    EXPECT_TRUE(small == plain);
}

TEST(Chunks, ChunksCompressedTogetherAndMadeOnDemandAreTheSame) {
    // A small chunk, one in place and one whose bytes are made segment by segment, on one
    // pool: each is the chunk CompressToChunkParallel makes of its bytes.
    std::vector<uint8_t> data(1100 * 1000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t((i * 13) ^ (i >> 7) ^ (i % 97 == 0 ? 0xA5 : 0));
    ChunkToCompress jobs[3];
    jobs[0].data = data.data();
    jobs[0].size = 5000;
    jobs[1].data = data.data();
    jobs[1].size = data.size();
    jobs[2].size = data.size() - 3;
    std::atomic<size_t> largest{0};
    jobs[2].make = [&](size_t offset, size_t size, uint8_t* out) {
        std::memcpy(out, data.data() + 3 + offset, size);
        for (size_t was = largest; size > was && !largest.compare_exchange_weak(was, size);) {
        }
    };
    // Under a limit of what is packed, the same chunks too.
    for (const auto& [threads, limit] :
         {std::pair<int, uint64_t>{1, UINT64_MAX}, {3, UINT64_MAX}, {3, uint64_t(1) << 30}}) {
        SCOPED_TRACE(threads);
        TrPackedChunk a, b, c;
        TrPackedChunk* const outs[3] = {&a, &b, &c};
        ASSERT_EQ(CompressChunksParallel(jobs, outs, 3, threads, nullptr, limit), Z_OK);
        TrPackedChunk expected;
        ASSERT_EQ(CompressToChunkParallel(data.data(), 5000, expected), Z_OK);
        EXPECT_TRUE(a == expected);
        ASSERT_EQ(CompressToChunkParallel(data.data(), data.size(), expected), Z_OK);
        EXPECT_TRUE(b == expected);
        ASSERT_EQ(CompressToChunkParallel(data.data() + 3, data.size() - 3, expected), Z_OK);
        EXPECT_TRUE(c == expected);
    }
    // A segment and the window before it at a time, never the whole chunk.
    EXPECT_EQ(largest, size_t(256 + 32) * 1024);
    // Packing that comes to more than the limit is given up, nothing kept.
    TrPackedChunk a, b, c;
    TrPackedChunk* const outs[3] = {&a, &b, &c};
    EXPECT_EQ(CompressChunksParallel(jobs, outs, 3, 3, nullptr, 1000), Z_BUF_ERROR);
    EXPECT_TRUE(a.data.empty() && b.data.empty() && c.data.empty());
}

TEST(Chunks, InflatingIntoBlocksGivesWhatOneBufferGets) {
    std::vector<uint8_t> data(4 * 3000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t((i * 7) ^ (i >> 5));
    TrPackedChunk chunk;
    ASSERT_EQ(CompressToChunk(data.data(), data.size(), chunk), Z_OK);
    std::vector<uint8_t> blocks[4];
    uint8_t* to[4];
    for (int b = 0; b < 4; ++b) to[b] = (blocks[b] = std::vector<uint8_t>(4000)).data();
    ASSERT_EQ(DecompressToBlocks(chunk.data.data(), chunk.data.size(), to, 4, 3000), Z_OK);
    for (int b = 0; b < 4; ++b)
        EXPECT_TRUE(std::equal(blocks[b].begin(), blocks[b].begin() + 3000, data.begin() + b * 3000));
    // Damage gives the status of the one-buffer inflate: fewer or more bytes than the
    // blocks hold, a cut stream, corrupted bytes.
    auto same = [&](const std::vector<uint8_t>& packed, size_t count, size_t size) {
        TrPackedChunk c;
        c.data = packed;
        c.unpackedSize = uint32_t(count * size);
        std::vector<uint8_t> out;
        const int one = DecompressChunk(c, false, out, nullptr);
        EXPECT_NE(one, Z_OK);
        EXPECT_EQ(DecompressToBlocks(packed.data(), packed.size(), to, count, size), one);
    };
    same(chunk.data, 4, 2000);
    same(chunk.data, 4, 3001);
    same(std::vector<uint8_t>(chunk.data.begin(), chunk.data.end() - 20), 4, 3000);
    std::vector<uint8_t> bad = chunk.data;
    for (size_t i = 2; i < bad.size(); i += 3) bad[i] ^= 0x5A;
    same(bad, 4, 3000);
}

TEST(Chunks, RoundTripAndRefuseBadData) {
    std::vector<uint8_t> data(3 * 1024);
    for (size_t i = 0; i < data.size(); ++i) data[i] = uint8_t((i * 7) ^ (i >> 5));
    TrPackedChunk chunk;
    ASSERT_EQ(CompressToChunk(data.data(), data.size(), chunk), Z_OK);
    EXPECT_EQ(chunk.unpackedSize, 3072u);
    EXPECT_GT(chunk.packedSize(), 0u);
    std::vector<uint8_t> out;
    uint32_t rows = 99;
    ASSERT_EQ(DecompressChunk(chunk, true, out, &rows), Z_OK);
    EXPECT_EQ(out, data);
    EXPECT_EQ(rows, 3u);
    ASSERT_EQ(DecompressChunk(chunk, false, out, &rows), Z_OK);
    EXPECT_EQ(rows, 6u);

    // Corrupted bytes fail and give nothing.
    TrPackedChunk bad = chunk;
    for (size_t i = 2; i < bad.data.size(); i += 3) bad.data[i] ^= 0x5A;
    EXPECT_NE(DecompressChunk(bad, true, out, &rows), Z_OK);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(rows, 0u);
    // A stated size that differs from what the data inflates to fails either way.
    bad = chunk;
    bad.unpackedSize = 4096;
    EXPECT_NE(DecompressChunk(bad, true, out, &rows), Z_OK);
    EXPECT_TRUE(out.empty());
    bad.unpackedSize = 2048;
    EXPECT_NE(DecompressChunk(bad, true, out, &rows), Z_OK);
    EXPECT_TRUE(out.empty());
    // An absurd size is refused before anything is allocated.
    bad.unpackedSize = 0xFFFFFFF0u;
    EXPECT_NE(DecompressChunk(bad, true, out, nullptr), Z_OK);
    EXPECT_TRUE(out.empty());

    // Empty data and data taken from the chunk itself.
    ASSERT_EQ(CompressToChunk(nullptr, 0, bad), Z_OK);
    EXPECT_EQ(bad.unpackedSize, 0u);
    EXPECT_EQ(DecompressChunk(bad, false, out, &rows), Z_OK);
    EXPECT_TRUE(out.empty());
    TrPackedChunk self;
    self.data = data;
    ASSERT_EQ(CompressToChunk(self.data.data(), self.data.size(), self), Z_OK);
    ASSERT_EQ(DecompressChunk(self, true, out, nullptr), Z_OK);
    EXPECT_EQ(out, data);

    // A size the chunk can't record is refused and leaves the chunk empty.
    EXPECT_NE(CompressToChunk(data.data(), size_t(0x100000000ull), self), Z_OK);
    EXPECT_EQ(self.unpackedSize, 0u);
    EXPECT_TRUE(self.data.empty());
}

TEST(Tga, HeaderBytesAndRowOrder) {
    test::TempDir dir;
    const std::string path = dir.file("p.tga");
    // 2 x 2, 3 bytes per pixel, rows top first: A B / C D.
    const uint8_t px3[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    ASSERT_TRUE(WriteTga32(path, px3, 2, 2, 3, true));
    std::vector<uint8_t> header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 32, 0};
    std::vector<uint8_t> expected = header;
    for (uint8_t v : {7, 8, 9, 255, 10, 11, 12, 255, 1, 2, 3, 255, 4, 5, 6, 255})
        expected.push_back(v);
    EXPECT_EQ(test::ReadFileBytes(path), expected);

    const uint8_t px4[8] = {1, 2, 3, 4, 5, 6, 7, 8};  // 1 x 2, alpha kept
    ASSERT_TRUE(WriteTga32(path, px4, 1, 2, 4, false));
    expected = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 2, 0, 32, 0, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(test::ReadFileBytes(path), expected);

    // Width 300 = 0x012C, little-endian.
    std::vector<uint8_t> row(300 * 4, 0);
    ASSERT_TRUE(WriteTga32(path, row.data(), 300, 1, 4, true));
    std::vector<uint8_t> wide = test::ReadFileBytes(path);
    ASSERT_EQ(wide.size(), 18u + 1200u);
    EXPECT_EQ(wide[12], 0x2C);
    EXPECT_EQ(wide[13], 0x01);
    EXPECT_EQ(wide[14], 1);
}

TEST(Tga, FailuresAreReportedAndKeepTheOldFile) {
    test::TempDir dir;
    const std::string path = dir.file("old.tga");
    test::WriteFileBytes(path, {'o', 'l', 'd'});
    const uint8_t px[4] = {1, 2, 3, 4};
    std::string error;
    SetSafeWriteFault(SafeWriteFault::Write);
    EXPECT_FALSE(WriteTga32(path, px, 1, 1, 4, true, &error));
    SetSafeWriteFault(SafeWriteFault::None);
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(Text(test::ReadFileBytes(path)), "old");

    error.clear();
    EXPECT_FALSE(WriteTga32(dir.file("missing/x.tga"), px, 1, 1, 4, true, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(FileExists(dir.file("missing/x.tga")));

    // Sizes that don't fit the 16-bit header fields.
    EXPECT_FALSE(WriteTga32(path, px, 65536, 1, 4, true));
    EXPECT_FALSE(WriteTga32(path, px, 1, -1, 4, true));
    EXPECT_EQ(Text(test::ReadFileBytes(path)), "old");
}

TEST(TextureBounds, NormalisesCornerBytes) {
    // A swatch texture: effective values lie inside the pixel range; nothing changes.
    TrObjectTextureRecord swatch;
    const uint8_t sw[16] = {1, 10, 1, 20, 255, 12, 1, 20, 255, 12, 255, 22, 1, 10, 255, 22};
    std::memcpy(swatch.corner(0), sw, 16);
    int l, t, r, b;
    GetTextureBounds(swatch, 4, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{10, 20, 12, 22}));
    EXPECT_EQ(std::memcmp(swatch.corner(0), sw, 16), 0);

    // Inverted x coordinates and zero y coordinates, worked side by side.
    TrObjectTextureRecord tri;
    const uint8_t tr[16] = {255, 10, 0, 5, 1, 20, 0, 5, 0, 15, 0, 9, 7, 7, 7, 7};
    std::memcpy(tri.corner(0), tr, 16);
    GetTextureBounds(tri, 3, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{8, 4, 22, 10}));
    const uint8_t trAfter[16] = {1, 10, 1, 5, 255, 20, 1, 5, 0, 15, 255, 9, 7, 7, 7, 7};
    EXPECT_EQ(std::memcmp(tri.corner(0), trAfter, 16), 0);

    // Clamped to 0 and 255 at the page edges.
    TrObjectTextureRecord edge;
    const uint8_t ed[12] = {255, 0, 1, 0, 1, 255, 1, 0, 1, 255, 255, 3};
    std::memcpy(edge.corner(0), ed, 12);
    GetTextureBounds(edge, 3, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{0, 0, 255, 3}));
    const uint8_t edAfter[12] = {1, 0, 1, 0, 255, 255, 1, 0, 255, 255, 255, 3};
    EXPECT_EQ(std::memcmp(edge.corner(0), edAfter, 12), 0);

    // Each side sees the bytes the previous one left: one column x = 10.
    TrObjectTextureRecord line;
    const uint8_t ln[12] = {0, 10, 1, 0, 0, 10, 1, 4, 0, 10, 255, 4};
    std::memcpy(line.corner(0), ln, 12);
    GetTextureBounds(line, 3, &l, &t, &r, &b);
    // x: 10 <= 10 gives 9 (coordinates 1), then 11 >= 10 gives 12 (coordinates 255);
    // y: effective 1, 5, 3 against pixels 0, 4, 4 gives 0 and 6.
    EXPECT_EQ((std::vector<int>{l, t, r, b}), (std::vector<int>{9, 0, 12, 6}));
    for (int k = 0; k < 3; ++k) EXPECT_EQ(line.corner(k)[0], 255) << k;
    EXPECT_EQ(line.corner(0)[2], 1);
    EXPECT_EQ(line.corner(1)[2], 255);
    EXPECT_EQ(line.corner(2)[2], 255);
}

TEST(PaletteTile, TombRaiderTwoLevel) {
    CTrLevel level;
    level.version = TrVersion2;
    level.pages.assign(2, TrPage(kPagePixels, 0));
    level.objectTextures.resize(300);
    for (auto& t : level.objectTextures) t.setU16(0, 0x1234);
    level.palette16[0x2A][0] = 255;
    level.palette16[0x2A][1] = 128;
    level.palette16[0x2A][2] = 8;
    level.palette16[255][0] = 16;
    level.palette16[255][1] = 255;
    level.palette16[255][2] = 100;
    level.palette[0x2A][0] = 63;  // the 8-bit palette is not used

    auto mesh = std::make_unique<TrMeshRecord>();
    TrMeshTriangle textured;
    textured.setTexture(7);
    mesh->texturedTriangles.push_back(textured);
    TrMeshTriangle coloured;
    for (int k = 0; k < 3; ++k) coloured.setVertex(k, uint16_t(k + 1));
    coloured.setTexture(0x2A05);
    mesh->colouredTriangles.push_back(coloured);
    TrMeshRectangle colouredRect;
    colouredRect.setVertex(3, 9);
    colouredRect.setTexture(0x5513);
    mesh->colouredRectangles.push_back(colouredRect);
    level.meshes.push_back(std::move(mesh));
    level.meshes.push_back(nullptr);

    level.AddPaletteTile(level.palette, level.palette16);
    ASSERT_EQ(level.objectTextureCount(), 812u);
    ASSERT_EQ(level.pageCount(), 3u);

    const TrPage& page = level.pages[2];
    auto at = [&](int x, int y) { return page[size_t(y) * 256 + size_t(x)]; };
    // Entry 0x2A = 42 at (126, 0): (31, 16, 1) opaque.
    for (int y = 0; y < 3; ++y)
        for (int x = 126; x < 129; ++x) EXPECT_EQ(at(x, y), 0xFE01) << x << "," << y;
    EXPECT_EQ(at(0, 3), 0x8000);   // entry 85: black
    EXPECT_EQ(at(2, 11), 0x8BEC);  // entry 255 at (0, 9): (2, 31, 12)
    EXPECT_EQ(at(255, 0), 0xFFFF);
    EXPECT_EQ(at(0, 12), 0xFFFF);

    EXPECT_EQ(level.objectTextures[299].attributes(), 0x1234);
    const TrObjectTextureRecord& tri = level.objectTextures[300 + 42];
    TrObjectTextureRecord expectedTri;
    expectedTri.setU16(2, 2);
    const uint8_t triCorners[12] = {1, 126, 1, 0, 255, 128, 1, 0, 255, 128, 255, 2};
    std::memcpy(expectedTri.corner(0), triCorners, 12);
    expectedTri.setU8(22, 'P');  // the palette tile's mark and the entry
    expectedTri.setU8(23, 'T');
    expectedTri.setU8(24, 42);
    EXPECT_TRUE(tri == expectedTri);
    const TrObjectTextureRecord& rect = level.objectTextures[300 + 256 + 85];
    TrObjectTextureRecord expectedRect;
    expectedRect.setU16(2, 2);
    const uint8_t rectCorners[16] = {1, 0, 1, 3, 255, 2, 1, 3, 255, 2, 255, 5, 1, 0, 255, 5};
    std::memcpy(expectedRect.corner(0), rectCorners, 16);
    expectedRect.setU8(22, 'P');
    expectedRect.setU8(23, 'T');
    expectedRect.setU8(24, 85);
    EXPECT_TRUE(rect == expectedRect);

    const TrMeshRecord& m = *level.meshes[0];
    EXPECT_EQ(m.colouredTriangleCount(), 0);
    EXPECT_EQ(m.colouredRectangleCount(), 0);
    ASSERT_EQ(m.texturedTriangleCount(), 2);
    EXPECT_EQ(m.texturedTriangles[0].texture(), 7);
    EXPECT_EQ(m.texturedTriangles[1].texture(), 300 + 0x2A);
    EXPECT_EQ(m.texturedTriangles[1].vertex(2), 3);
    ASSERT_EQ(m.texturedRectangleCount(), 1);
    EXPECT_EQ(m.texturedRectangles[0].texture(), 300 + 256 + 0x55);
    EXPECT_EQ(m.texturedRectangles[0].vertex(3), 9);
}

TEST(PaletteTile, TombRaiderOneUsesTheLowByteAndThe8BitPalette) {
    CTrLevel level;
    level.version = TrVersion1;
    level.objectTextures.resize(10);
    level.palette[5][0] = 63;
    level.palette[5][1] = 31;
    level.palette[5][2] = 1;
    level.palette16[5][0] = 255;  // not used
    auto mesh = std::make_unique<TrMeshRecord>();
    TrMeshTriangle coloured;
    coloured.setTexture(0x2A05);
    mesh->colouredTriangles.push_back(coloured);
    level.meshes.push_back(std::move(mesh));

    level.AddPaletteTile(level.palette, level.palette16);
    ASSERT_EQ(level.pageCount(), 1u);
    EXPECT_EQ(level.objectTextureCount(), 522u);
    EXPECT_EQ(level.pages[0][15], 0xFDE0);  // entry 5 at (15, 0): (31, 15, 0)
    EXPECT_EQ(level.pages[0][2 * 256 + 17], 0xFDE0);
    EXPECT_EQ(level.objectTextures[10 + 5].page(), 0);
    ASSERT_EQ(level.meshes[0]->texturedTriangleCount(), 1);
    EXPECT_EQ(level.meshes[0]->texturedTriangles[0].texture(), 10 + 5);
}

TEST(PaletteTile, RefusedWhenTheTexturesWouldNotFitA15BitIndex) {
    CTrLevel level;
    level.version = TrVersion3;
    level.objectTextures.resize(0x8000 - 511);  // 512 more would need index 0x8000
    auto mesh = std::make_unique<TrMeshRecord>();
    mesh->colouredTriangles.resize(1);
    level.meshes.push_back(std::move(mesh));
    const int errors = LevelLog().errorCount;
    level.AddPaletteTile(level.palette, level.palette16);
    EXPECT_EQ(level.pageCount(), 0u);
    EXPECT_EQ(level.objectTextureCount(), 0x8000u - 511);
    EXPECT_EQ(level.meshes[0]->colouredTriangleCount(), 1);
    EXPECT_EQ(LevelLog().errorCount, errors + 1);

    level.objectTextures.resize(0x8000 - 512);  // the last index is 0x7FFF: fits
    level.AddPaletteTile(level.palette, level.palette16);
    EXPECT_EQ(level.objectTextureCount(), 0x8000u);
    EXPECT_EQ(level.meshes[0]->texturedTriangles[0].texture(), 0x8000 - 512);
}

namespace {
std::vector<uint8_t> Le16(int v) { return {uint8_t(v), uint8_t(v >> 8)}; }
std::vector<uint8_t> Le32(uint32_t v) {
    return {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
}
void Append(std::vector<uint8_t>& out, const std::vector<uint8_t>& v) {
    out.insert(out.end(), v.begin(), v.end());
}
}  // namespace

TEST(Pictures, ReadTwentyFourBitFilesWithOpaqueAlpha) {
    test::TempDir dir;
    // 24-bit TGA, 2 x 2, top-left origin (descriptor 0x20), pixels B, G, R.
    std::vector<uint8_t> tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 2, 0, 24, 0x20};
    for (uint8_t v : {3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}) tga.push_back(v);
    test::WriteFileBytes(dir.file("a.tga"), tga);
    int w = 0, h = 0;
    std::vector<uint8_t> px;
    ASSERT_EQ(LoadPictureRGBA(dir.file("a.tga"), &w, &h, &px), 0);
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    EXPECT_EQ(px, (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12,
                                        255}));

    // 24-bit BMP, 2 x 2, rows bottom first, each padded to 8 bytes.
    std::vector<uint8_t> bmp = {'B', 'M'};
    Append(bmp, Le32(70));
    Append(bmp, Le32(0));
    Append(bmp, Le32(54));
    Append(bmp, Le32(40));
    Append(bmp, Le32(2));
    Append(bmp, Le32(2));
    Append(bmp, Le16(1));
    Append(bmp, Le16(24));
    for (int i = 0; i < 6; ++i) Append(bmp, Le32(i == 1 ? 16 : 0));
    for (uint8_t v : {9, 8, 7, 12, 11, 10, 0, 0, 3, 2, 1, 6, 5, 4, 0, 0}) bmp.push_back(v);
    ASSERT_EQ(bmp.size(), 70u);
    test::WriteFileBytes(dir.file("b.bmp"), bmp);
    ASSERT_EQ(LoadPictureRGBA(dir.file("b.bmp"), &w, &h, &px), 0);
    EXPECT_EQ(px, (std::vector<uint8_t>{1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255, 10, 11, 12,
                                        255}));

    // A TGA of our own writer reads back as written, alpha kept.
    const uint8_t bgra[8] = {30, 20, 10, 40, 70, 60, 50, 80};  // 1 x 2, top first
    ASSERT_TRUE(WriteTga32(dir.file("c.tga"), bgra, 1, 2, 4, true));
    ASSERT_EQ(LoadPictureRGBA(dir.file("c.tga"), &w, &h, &px), 0);
    EXPECT_EQ(px, (std::vector<uint8_t>{10, 20, 30, 40, 50, 60, 70, 80}));
}

TEST(Pictures, MissingOrGarbageFilesGiveNoPixels) {
    test::TempDir dir;
    int w = 0, h = 0;
    std::vector<uint8_t> px = {1, 2, 3};
    EXPECT_NE(LoadPictureRGBA(dir.file("none.png"), &w, &h, &px), 0);
    EXPECT_TRUE(px.empty());
    test::WriteFileBytes(dir.file("junk.png"), {0x89, 'P', 'N', 'G', 1, 2, 3, 4, 5});
    px = {1};
    EXPECT_NE(LoadPictureRGBA(dir.file("junk.png"), &w, &h, &px), 0);
    EXPECT_TRUE(px.empty());
}

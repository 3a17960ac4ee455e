#include <gtest/gtest.h>

#include "TestSupport.h"
#include "level/Fragment.h"
#include "level/LevelLog.h"
#include "level/MeshRecord.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {
// A texture on band `tile` covering pixels (x0, y0)-(x1, y1), its coordinate bytes 0: the
// rectangle is its corners' pixels.
TrObjectTextureRecord Texture(int tile, int x0, int y0, int x1, int y1, bool quad = true) {
    TrObjectTextureRecord t;
    t.setU16(2, uint16_t(tile));
    const int xs[4] = {x0, x1, x1, x0};
    const int ys[4] = {y0, y0, y1, y1};
    for (int k = 0; k < (quad ? 4 : 3); ++k) {
        uint8_t* c = t.corner(k);
        c[0] = 0;
        c[1] = uint8_t(xs[k]);
        c[2] = 0;
        c[3] = uint8_t(ys[k]);
    }
    return t;
}

// A source image of `rows` rows, each pixel holding its own coordinates.
std::vector<uint16_t> Source(int stride, int rows) {
    std::vector<uint16_t> px(size_t(stride) * rows);
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < stride; ++x) px[size_t(y) * stride + x] = uint16_t(0x8000 | (y << 8) | x);
    return px;
}

struct Word {
    uint8_t b[2] = {0, 0};
    uint16_t get() const { return GetU16(b); }
    void set(uint16_t v) { PutU16(b, v); }
};
}  // namespace

TEST(Fragment, EqualUsesShareOneTextureAndContainedRectanglesJoin) {
    std::vector<uint16_t> src = Source(256, 256);
    std::vector<CFragment> frags;
    Word a, b, c;
    a.set(0xC005);  // the top bits of a face word survive the write-back
    TrObjectTextureRecord big = Texture(0, 10, 20, 41, 51);
    TrObjectTextureRecord small = Texture(0, 12, 22, 19, 29);
    CFragment::Add(frags, big, 4, FragFace, a.b, false, src.data(), 256, 256, false);
    CFragment::Add(frags, big, 4, FragFace, b.b, false, src.data(), 256, 256, false);
    CFragment::Add(frags, small, 4, FragFace, c.b, false, src.data(), 256, 256, false);
    ASSERT_EQ(frags.size(), 1u);
    EXPECT_EQ(frags[0].references.size(), 3u);

    int w = 0, h = 0;
    std::vector<uint16_t> page;
    uint32_t n = CFragment::dwBuildTextureFromFragments(frags, page, &w, &h);
    EXPECT_EQ(n, 2u);  // the two equal records are one texture; the inner one its own
    EXPECT_EQ(a.get(), 0xC000);
    EXPECT_EQ(b.get(), 0x0000);
    EXPECT_EQ(c.get(), 0x0001);
    std::vector<TrObjectTextureRecord> reps = CFragment::Representatives(frags);
    ASSERT_EQ(reps.size(), 2u);
    // The inner texture keeps its offset inside the moved fragment.
    EXPECT_EQ(reps[1].corner(0)[1] - reps[0].corner(0)[1], 2);
    EXPECT_EQ(reps[1].corner(0)[3] - reps[0].corner(0)[3], 2);
    // The pixels of the fragment's top-left corner moved with it.
    const int px = reps[0].corner(0)[1], py = reps[0].corner(0)[3];
    EXPECT_EQ(page[size_t(py) * w + px], src[20 * 256 + 10]);
}

TEST(Fragment, PacksIntoPagesAndBuildsTheImage) {
    std::vector<uint16_t> src = Source(256, 3 * 256);  // three stacked bands
    std::vector<CFragment> frags;
    Word w1, w2, w3;
    CFragment::Add(frags, Texture(0, 0, 0, 255, 255), 4, FragFace, w1.b, false, src.data(), 256,
                   768, true);
    CFragment::Add(frags, Texture(1, 0, 0, 127, 127), 4, FragFace, w2.b, false, src.data(), 256,
                   768, true);
    CFragment::Add(frags, Texture(2, 0, 0, 127, 127), 4, FragFace, w3.b, false, src.data(), 256,
                   768, true);
    ASSERT_EQ(frags.size(), 3u);
    EXPECT_EQ(frags[1].y1, 256);  // stacked: the band offsets the rows

    int w = 256, h = 0;
    std::vector<uint16_t> page;
    EXPECT_EQ(CFragment::dwBuildTextureFromFragments(frags, page, &w, &h), 3u);
    EXPECT_EQ(w, 256);
    EXPECT_EQ(h, 256 + 128);
    EXPECT_EQ(frags[1].placedY, 256);
    EXPECT_EQ(frags[2].placedX, 128);
    EXPECT_EQ(frags[2].placedY, 256);
    EXPECT_EQ(page[size_t(256) * 256 + 128], src[size_t(512) * 256]);
    std::vector<TrObjectTextureRecord> reps = CFragment::Representatives(frags);
    EXPECT_EQ(reps[1].page() & 0x7FFF, 1);
    EXPECT_EQ(reps[2].corner(0)[1], 128);
}

TEST(Fragment, AutomaticWidthGrowsToTheWidestPageWithALogLine) {
    test::TempDir dir;
    StartLevelLog(dir.file("obj.tr4"));
    std::vector<uint16_t> src = Source(256, 512);
    std::vector<CFragment> frags;
    Word w1, w2;
    // 64 wide on page 0; 200 wide does not fit beside it and opens page 1.
    CFragment::Add(frags, Texture(0, 0, 0, 63, 255), 4, FragFace, w1.b, false, src.data(), 256,
                   512, true);
    CFragment::Add(frags, Texture(1, 0, 0, 199, 255), 4, FragFace, w2.b, false, src.data(), 256,
                   512, true);
    int w = 0, h = 0;
    std::vector<uint16_t> page;
    CFragment::dwBuildTextureFromFragments(frags, page, &w, &h);
    EXPECT_EQ(w, 200);
    EXPECT_EQ(h, 512);
    EXPECT_EQ(page.size(), size_t(200) * 512);
    EXPECT_EQ(page[size_t(10) * 200 + 150], 0xFFFF);  // unfilled pixels
    EXPECT_EQ(page[size_t(10) * 200 + 10], src[size_t(10) * 256 + 10]);
    std::vector<uint8_t> log = test::ReadFileBytes(dir.file("obj_log.txt"));
    std::string text(log.begin(), log.end());
    EXPECT_NE(text.find("averted for above object."), std::string::npos);
    EXPECT_EQ(LevelLog().errorCount, 0);
}

TEST(Fragment, InvalidFragmentsStopThePackingAsAWhole) {
    ScriptedMessageBackend script;
    ScopedMessageBackend scope(&script);
    std::vector<uint16_t> src = Source(512, 512);
    std::vector<CFragment> frags;
    Word w1;
    // 300 rows high: taller than a page.
    CFragment::Add(frags, Texture(0, 0, 0, 9, 255), 4, FragFace, w1.b, false, src.data(), 512,
                   512, false);
    frags[0].y2 = 299;
    frags[0].height = 300;
    int w = 256, h = 0;
    std::vector<uint16_t> page;
    EXPECT_THROW(CFragment::dwBuildTextureFromFragments(frags, page, &w, &h), FragmentPackError);
    EXPECT_TRUE(script.Saw("A fragment with invalid dimensions (10x300) has been found ! Aborting..."));

    // A rectangle outside a source smaller than a page fails the same way, without reading it.
    std::vector<uint16_t> tiny = Source(16, 16);
    std::vector<CFragment> frags2;
    CFragment::Add(frags2, Texture(0, 0, 0, 31, 31), 4, FragFace, w1.b, false, tiny.data(), 16,
                   16, false);
    w = 256;
    EXPECT_THROW(CFragment::dwBuildTextureFromFragments(frags2, page, &w, &h), FragmentPackError);
}

TEST(Fragment, ZeroFragmentsGiveAnEmptyPage) {
    std::vector<CFragment> frags;
    int w = 0, h = -1;
    std::vector<uint16_t> page(5, 1);
    EXPECT_EQ(CFragment::dwBuildTextureFromFragments(frags, page, &w, &h), 0u);
    EXPECT_EQ(h, 0);
    EXPECT_TRUE(page.empty());
}

TEST(Fragment, SortAndMergeDuplicatePixels) {
    // Two copies of the same 8x8 picture at different places of one source.
    std::vector<uint16_t> src(256 * 256, 0x8000);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) {
            src[size_t(9 + y) * 256 + 9 + x] = uint16_t(0x8000 | (y * 10 + x));
            src[size_t(99 + y) * 256 + 49 + x] = uint16_t(0x8000 | (y * 10 + x));
        }
    std::vector<CFragment> frags;
    Word a, b, c;
    CFragment::Add(frags, Texture(0, 49, 99, 58, 108), 4, FragFace, a.b, false, src.data(), 256,
                   256, false);
    CFragment::Add(frags, Texture(0, 199, 199, 232, 204), 4, FragFace, c.b, false, src.data(), 256,
                   256, false);
    CFragment::Add(frags, Texture(0, 9, 9, 18, 18), 4, FragFace, b.b, false, src.data(), 256, 256,
                   false);
    CFragment::SortBySize(frags, 0, int(frags.size()) - 1);
    EXPECT_EQ(frags[0].height, 10);  // height descending first
    EXPECT_EQ(frags[2].height, 6);
    EXPECT_EQ(CFragment::MergeDuplicates(frags), 10 * 10 * 2);
    int nonEmpty = 0;
    for (const CFragment& f : frags) nonEmpty += !f.references.empty();
    EXPECT_EQ(nonEmpty, 2);
    int w = 0, h = 0;
    std::vector<uint16_t> page;
    EXPECT_EQ(CFragment::dwBuildTextureFromFragments(frags, page, &w, &h), 2u);
    EXPECT_EQ(a.get(), b.get());  // the merged face uses the survivor's texture
    EXPECT_NE(a.get(), c.get());
}

TEST(Fragment, WriteBackByKindAndNumberingAroundTextureRecords) {
    std::vector<uint16_t> src = Source(256, 256);
    std::vector<CFragment> frags;
    TrObjectTextureRecord tex = Texture(0, 40, 40, 47, 47);
    TrObjectTextureRecord owned = tex;  // a texture record updated in place
    TrSpriteTextureRecord sprite;
    Word face;
    uint16_t entries[2] = {0x4000, 0x0000};
    CFragment::Add(frags, tex, 4, FragTextureRecord, &owned, false, src.data(), 256, 256, false);
    CFragment::Add(frags, tex, 4, FragFace, face.b, false, src.data(), 256, 256, false);
    CFragment::Add(frags, tex, 4, FragSprite, &sprite, false, src.data(), 256, 256, false);
    CFragment::Add(frags, tex, 4, FragAnimatedEntry, &entries[0], false, src.data(), 256, 256, false);
    CFragment::Add(frags, tex, 4, FragAnimatedEntry, &entries[1], false, src.data(), 256, 256, false);
    Word other;
    CFragment::Add(frags, Texture(0, 100, 100, 131, 131), 4, FragFace, other.b, false, src.data(),
                   256, 256, false);
    int w = 0, h = 0;
    std::vector<uint16_t> page;
    uint32_t n = CFragment::dwBuildTextureFromFragments(frags, page, &w, &h);
    // Group 1: record, face, sprite, first animated entry -> one texture (0), whose
    // representative is the face, not the record. The second animated entry forms a group
    // of its own (1). The other face: 2.
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(face.get(), 0);
    EXPECT_EQ(entries[0], 0x4000);
    EXPECT_EQ(entries[1], 1);
    EXPECT_EQ(other.get(), 2);
    std::vector<TrObjectTextureRecord> reps = CFragment::Representatives(frags);
    ASSERT_EQ(reps.size(), 3u);
    EXPECT_EQ(owned.corner(0)[1], reps[0].corner(0)[1]);
    EXPECT_EQ(owned.corner(2)[1] - owned.corner(0)[1], 7);
    EXPECT_EQ(sprite.u8(2), reps[0].corner(0)[1]);
    EXPECT_EQ(sprite.u8(3), reps[0].corner(0)[3]);
}

TEST(Fragment, LevelFacesSkipBadTexturesAndMarkTr4RoomFaces) {
    test::TempDir dir;
    StartLevelLog(dir.file("l.tr4"));
    CTrLevel level;
    level.version = TrVersion4;
    level.roomPageCount = 1;
    level.objectPageCount = 1;
    level.pages.assign(3, TrPage(kPagePixels, 0x8000));
    level.objectTextures.push_back(Texture(0, 0, 0, 7, 7));  // on a room page
    level.objectTextures.push_back(Texture(1, 0, 0, 7, 7));  // on the object page
    level.objectTextures.push_back(Texture(9, 0, 0, 7, 7));  // past the pages
    std::vector<TrRoomRectangle> faces(4);
    for (int i = 0; i < 4; ++i) faces[size_t(i)].setU16(8, uint16_t(i));  // 3: past the table
    std::vector<CFragment> frags;
    CFragment::AddLevelFaces(level, level.objectTextures, faces, 4, frags, true);
    ASSERT_EQ(frags.size(), 1u);
    EXPECT_EQ(frags[0].pixels, level.pages[1].data());
    EXPECT_EQ(faces[1].u16(8), 0x4001);
    EXPECT_EQ(faces[0].u16(8), 0);
    EXPECT_EQ(LevelLog().errorCount, 1);  // the index past the table

    // Outside room mode every page counts, and a page past the level's is refused.
    std::vector<TrRoomTriangle> tris(3);
    for (int i = 0; i < 3; ++i) tris[size_t(i)].setU16(6, uint16_t(i));
    std::vector<CFragment> frags2;
    CFragment::AddLevelFaces(level, level.objectTextures, tris, 3, frags2, false);
    EXPECT_EQ(frags2.size(), 2u);
    EXPECT_EQ(tris[1].u16(6), 1);
    EXPECT_EQ(LevelLog().errorCount, 2);
}

namespace {
// The plain quadratic duplicate merge, to check the hashed one against.
void NaiveMerge(std::vector<CFragment>& fragments) {
    for (size_t i = 0; i < fragments.size(); ++i) {
        CFragment& a = fragments[i];
        if (a.references.empty()) continue;
        for (size_t j = i + 1; j < fragments.size(); ++j) {
            CFragment& b = fragments[j];
            if (b.width != a.width || b.height != a.height) break;
            if (b.references.empty()) continue;
            if (a.pixels == b.pixels && a.x1 == b.x1 && a.y1 == b.y1) continue;
            bool same = true;
            for (int r = 0; r < a.height && same; ++r)
                same = std::equal(a.pixels + size_t(a.y1 + r) * a.stride + a.x1,
                                  a.pixels + size_t(a.y1 + r) * a.stride + a.x1 + a.width,
                                  b.pixels + size_t(b.y1 + r) * b.stride + b.x1);
            if (!same) continue;
            for (FragmentRef& ref : b.references) {
                for (int k = 0; k < (ref.isQuad ? 4 : 3); ++k) {
                    ref.texture.corner(k)[1] = uint8_t(ref.texture.corner(k)[1] + a.x1 - b.x1);
                    ref.texture.corner(k)[3] = uint8_t(ref.texture.corner(k)[3] + a.y1 - b.y1);
                }
                a.references.push_back(ref);
            }
            b.references.clear();
        }
    }
}

std::vector<std::vector<uint8_t>> Snapshot(const std::vector<CFragment>& frags) {
    std::vector<std::vector<uint8_t>> out;
    for (const CFragment& f : frags) {
        std::vector<uint8_t> v = {uint8_t(f.x1), uint8_t(f.y1), uint8_t(f.x2), uint8_t(f.y2),
                                  uint8_t(f.references.size())};
        for (const FragmentRef& r : f.references) v.insert(v.end(), r.texture.b.begin(), r.texture.b.end());
        out.push_back(v);
    }
    return out;
}
}  // namespace

TEST(Fragment, IndexedSearchesGiveTheResultsOfPlainOnes) {
    // Two pages with a few repeated tiles, many faces over random rectangles.
    std::vector<uint16_t> pages[2];
    for (int p = 0; p < 2; ++p) {
        pages[p].resize(256 * 256);
        for (int y = 0; y < 256; ++y)
            for (int x = 0; x < 256; ++x) pages[p][size_t(y) * 256 + x] = uint16_t(0x8000 | ((x % 32) + 32 * (y % 32)));
    }
    uint32_t seed = 12345;
    auto rnd = [&](int n) { seed = seed * 1103515245u + 12345u; return int((seed >> 16) % unsigned(n)); };
    std::vector<TrObjectTextureRecord> textures;
    for (int i = 0; i < 200; ++i) {
        int x = rnd(200), y = rnd(200), w = 1 + rnd(40), h = 1 + rnd(40);
        textures.push_back(Texture(rnd(2), x, y, std::min(254, x + w), std::min(254, y + h)));
    }
    std::vector<TrMeshRectangle> facesA(2000), facesB;
    for (TrMeshRectangle& f : facesA) f.setTexture(uint16_t(rnd(200)));
    facesB = facesA;

    // Indexed collector (one index over both pages, its exact rectangles in use) against
    // the plain Add over every fragment.
    std::vector<CFragment> indexed, plain;
    FragmentSourceIndex index(indexed);
    for (int p = 0; p < 2; ++p) {
        std::vector<TrObjectTextureRecord> onPage;
        for (const auto& t : textures) onPage.push_back(t);
        CFragment::AddFaces(pages[p].data(), 256, 256, onPage, facesA, 4, indexed, false, &index);
        for (TrMeshRectangle& f : facesB)
            CFragment::Add(plain, onPage[f.texture() & 0x7FFF], 4, FragFace, &f.b[8], false,
                           pages[p].data(), 256, 256, false);
    }
    ASSERT_EQ(Snapshot(indexed), Snapshot(plain));

    CFragment::SortBySize(indexed, 0, int(indexed.size()) - 1);
    std::vector<CFragment> naive = indexed;
    CFragment::MergeDuplicates(indexed);
    NaiveMerge(naive);
    ASSERT_EQ(Snapshot(indexed), Snapshot(naive));

    int w = 0, h = 0;
    std::vector<uint16_t> page;
    uint32_t n = CFragment::dwBuildTextureFromFragments(indexed, page, &w, &h);
    EXPECT_EQ(n, CFragment::Representatives(indexed).size());
    // Every face points at a texture whose pixels are those it used before.
    std::vector<TrObjectTextureRecord> reps = CFragment::Representatives(indexed);
    for (size_t i = 0; i < facesA.size(); ++i) {
        unsigned t = facesA[i].texture() & 0x3FFF;
        ASSERT_LT(t, reps.size());
    }
}


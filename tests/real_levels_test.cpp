// Every real level found: loaded, saved and loaded again with nothing lost; the saved
// file equals the original wherever the format allows.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <memory>
#include <random>
#include <set>

#include "TestSupport.h"
#include "fixtures/ByteOut.h"
#include "fixtures/LevelBuilder.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "level/XmlMarkup.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"
#include "platform/System.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

// Where the sections of level data stand, walked from the layout independently of the
// reader: the count fields, and the records that the object model is built from.
struct Located {
    size_t meshWordsAt = 0;  // offset of the mesh data's word count
    size_t afterPointers = 0;
    struct Count {
        size_t at;
        int width;  // 2 or 4
    };
    std::vector<Count> counts;
    struct Records {
        size_t at = 0, count = 0, size = 0;
    };
    Records animations, moveables, staticMeshes, spriteSequences;
};

// Walks the level data at o; with all false, it stops after the mesh pointers.
Located LocateMeshSection(const std::vector<uint8_t>& d, size_t o, int v, bool all = false,
                          bool tub = false) {
    Located l;
    auto count16 = [&](size_t size) {
        l.counts.push_back({o, 2});
        const size_t n = Le16(d, o);
        o += 2 + n * size;
        return n;
    };
    auto count32 = [&](size_t size, Located::Records* records = nullptr) {
        l.counts.push_back({o, 4});
        const size_t n = Le32(d, o);
        if (records) *records = {o + 4, n, size};
        o += 4 + n * size;
        return n;
    };
    o += 4;
    const size_t rooms = count16(0);
    for (size_t r = 0; r < rooms; ++r) {
        o += 16 + 4;
        count16(v == 1 ? 8 : 12);
        count16(10);
        count16(8);
        count16(4);
        count16(32);
        l.counts.push_back({o, 2});
        const size_t z = Le16(d, o), x = Le16(d, o + 2);
        o += 4 + z * x * 8 + 2;
        if (v >= 2) o += 2;
        if (v == 2) o += 2;
        count16(v == 1 ? 18 : v == 4 ? 46 : 24);
        count16(v == 1 ? 18 : 20);
        o += 4;
        if (v >= 3) o += 3;
    }
    count32(2);
    l.meshWordsAt = o;
    count32(2);
    count32(4);
    l.afterPointers = o;
    if (!all) return l;
    count32(v == 4 ? 40 : 32, &l.animations);
    count32(6);
    count32(8);
    count32(2);
    count32(4);
    count32(2);
    count32(18, &l.moveables);
    count32(32, &l.staticMeshes);
    if (v <= 2) count32(20);
    if (v == 4) o += 3;
    count32(16);
    count32(8, &l.spriteSequences);
    if (v == 1 && tub) o += 768;
    count32(16);
    if (v == 4) count32(40);
    count32(16);
    const size_t boxes = count32(v == 1 ? 20 : 8);
    count32(2);
    o += boxes * (v == 1 ? 12 : 20);
    count32(2);
    if (v == 3) count32(20);
    if (v == 4) {
        o += 4;
        count32(38);
    }
    count32(v == 1 ? 22 : 24);
    if (v != 4) o += 8192;
    if (v == 1 && !tub) o += 768;
    if (v == 4)
        count32(24);
    else
        count16(16);
    const bool longSoundMap = v == 4 && Le16(d, o) == 2048;
    count16(longSoundMap ? 0 : 1);  // demo data
    o += 2 * (v == 1 ? 256 : longSoundMap ? 2048 : 370);
    count32(8);
    if (v == 1) count32(1);  // samples
    count32(4);
    return l;
}

int VersionOfMagic(uint32_t m) {
    switch (m) {
        case 0x20: return 1;
        case 0x2D: return 2;
        case 0xFF080038:
        case 0xFF180038: return 3;
        case 0x00345254: return 4;
        default: return 0;
    }
}

// A real level to damage: its file and its level data (Tomb Raider IV: inflated from its
// chunk), with where the level data's sections stand.
struct Damageable {
    int version = 0;
    std::vector<uint8_t> file;
    std::vector<uint8_t> data;
    size_t dataAt = 0;    // I-III: the level data's offset in the file
    size_t chunkAt = 0;   // IV: the level-data chunk's offset in the file
    size_t chunkEnd = 0;
    Located layout;

    // The file around damaged level data.
    std::vector<uint8_t> With(const std::vector<uint8_t>& d) const {
        if (version != 4) {
            std::vector<uint8_t> f(file.begin(), file.begin() + ptrdiff_t(dataAt));
            f.insert(f.end(), d.begin(), d.end());
            return f;
        }
        const std::vector<uint8_t> packed = Deflate(d);
        std::vector<uint8_t> f(file.begin(), file.begin() + ptrdiff_t(chunkAt) + 8);
        SetLe32(f, chunkAt, uint32_t(d.size()));
        SetLe32(f, chunkAt + 4, uint32_t(packed.size()));
        f.insert(f.end(), packed.begin(), packed.end());
        f.insert(f.end(), file.begin() + ptrdiff_t(chunkEnd), file.end());
        return f;
    }
};

Damageable ToDamage(const std::string& path, int version) {
    Damageable l;
    l.version = version;
    l.file = ReadFileBytes(path);
    if (version == 4) {
        size_t o = 10;
        for (int c = 0; c < 3; ++c) o += 8 + Le32(l.file, o + 4);
        l.chunkAt = o;
        l.chunkEnd = o + 8 + Le32(l.file, o + 4);
        l.data = Inflate(&l.file[o + 8], Le32(l.file, o + 4), Le32(l.file, o));
    } else {
        const size_t pagesAt = version == 1 ? 8 : 1800;
        l.dataAt = pagesAt + size_t(Le32(l.file, pagesAt - 4)) * 65536 * (version == 1 ? 1 : 3);
        l.data.assign(l.file.begin() + ptrdiff_t(l.dataAt), l.file.end());
    }
    l.layout = LocateMeshSection(l.data, 0, version, true, EqualsNoCase(ExtensionOf(path), ".tub"));
    return l;
}

// One damaged variant of the level, the n-th of the seed's sequence, and what was done.
std::vector<uint8_t> DamagedVariant(const Damageable& l, std::mt19937& rng, int n, std::string* what) {
    auto pick = [&](size_t count) { return count ? size_t(rng() % count) : 0; };
    std::vector<uint8_t> d = l.data;
    auto set = [&](size_t at, int width, uint32_t value, const char* field) {
        if (at + size_t(width) > d.size()) return;
        *what = StrFormat("%s at %zu = %u", field, at, value);
        if (width == 2)
            SetLe16(d, at, uint16_t(value));
        else if (width == 4)
            SetLe32(d, at, value);
        else
            d[at] = uint8_t(value);
    };
    // Values that damage does: none, one more, twice as many, all bits, any.
    auto value = [&](uint32_t was, int width) {
        const uint32_t all = width == 1 ? 0xFF : width == 2 ? 0xFFFF : 0xFFFFFFFF;
        const uint32_t choices[] = {0, was + 1, was - 1, 2 * was + 1, all, uint32_t(rng()) & all,
                                    uint32_t(rng() % 64)};
        return choices[pick(7)] & all;
    };
    auto field = [&](const Located::Records& r, const std::vector<std::pair<size_t, int>>& fields,
                     const char* name) {
        if (r.count == 0) return;
        const auto f = fields[pick(fields.size())];
        const size_t at = r.at + pick(r.count) * r.size + f.first;
        const uint32_t was = f.second == 1 ? d[at] : f.second == 2 ? Le16(d, at) : Le32(d, at);
        set(at, f.second, value(was, f.second), name);
    };
    const bool tr4 = l.version == 4;
    // Animation fields as the file holds them (I-III: bytes 16-23 of the record are not in
    // the file).
    const size_t late = tr4 ? 0 : 8;
    switch (n % 8) {
        case 0:
        case 1: {
            const Located::Count c = l.layout.counts[pick(l.layout.counts.size())];
            set(c.at, c.width, value(c.width == 2 ? Le16(d, c.at) : Le32(d, c.at), c.width), "count");
            break;
        }
        case 2:
            field(l.layout.moveables, {{4, 2}, {6, 2}, {8, 4}, {12, 4}, {16, 2}}, "moveable field");
            break;
        case 3:
            field(l.layout.animations,
                  {{0, 4}, {4, 1}, {5, 1}, {24 - late, 2}, {26 - late, 2}, {28 - late, 2},
                   {30 - late, 2}, {32 - late, 2}, {34 - late, 2}, {36 - late, 2}, {38 - late, 2}},
                  "animation field");
            break;
        case 4:
            field(n % 16 < 8 ? l.layout.staticMeshes : l.layout.spriteSequences, {{4, 2}, {6, 2}},
                  "static mesh or sprite sequence field");
            break;
        case 5: {
            const size_t cut = pick(d.size());
            d.resize(cut);
            *what = StrFormat("cut at %zu of %zu", cut, l.data.size());
            break;
        }
        default: {
            const int flips = 1 + int(pick(8));
            *what = "bytes flipped at";
            for (int i = 0; i < flips; ++i) {
                const size_t at = pick(d.size());
                d[at] = uint8_t(d[at] ^ (1u << pick(8)));
                *what += StrFormat(" %zu", at);
            }
        }
    }
    return l.With(d);
}

struct Tr4Parts {
    std::vector<uint8_t> pages16, level;
    std::vector<uint8_t> miscRaw;   // unpacked size, packed size and bytes
    std::vector<uint8_t> afterLevel;  // samples and trailing bytes
};

Tr4Parts SplitTr4(const std::vector<uint8_t>& f) {
    Tr4Parts p;
    size_t o = 10;
    auto chunkAt = [&](size_t at) { return std::make_pair(Le32(f, at), Le32(f, at + 4)); };
    o += 8 + chunkAt(o).second;  // 32-bit pages
    auto c16 = chunkAt(o);
    p.pages16 = Inflate(&f[o + 8], c16.second, c16.first);
    o += 8 + c16.second;
    const size_t miscSize = 8 + chunkAt(o).second;
    p.miscRaw.assign(f.begin() + o, f.begin() + o + miscSize);
    o += miscSize;
    auto cl = chunkAt(o);
    p.level = Inflate(&f[o + 8], cl.second, cl.first);
    o += 8 + cl.second;
    p.afterLevel.assign(f.begin() + o, f.end());
    return p;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& b, size_t from, size_t to) {
    return std::vector<uint8_t>(b.begin() + from, b.begin() + to);
}

// Bytes put into the mesh data of level data d before the mesh at offset before: the word
// count and every pointer from there on follow.
void InsertIntoMeshData(std::vector<uint8_t>& d, size_t wordsAt, uint32_t before,
                        const std::vector<uint8_t>& bytes) {
    const size_t pointersAt = wordsAt + 4 + size_t(Le32(d, wordsAt)) * 2;
    for (uint32_t i = 0, n = Le32(d, pointersAt); i < n; ++i) {
        const size_t at = pointersAt + 4 + 4 * size_t(i);
        if (Le32(d, at) >= before) SetLe32(d, at, Le32(d, at) + uint32_t(bytes.size()));
    }
    SetLe32(d, wordsAt, Le32(d, wordsAt) + uint32_t(bytes.size() / 2));
    d.insert(d.begin() + long(wordsAt + 4 + before), bytes.begin(), bytes.end());
}

// The level with bytes between its meshes that no pointer reads, as level builders may
// write them: 8 zero bytes before the last mesh and, before a mesh halfway, a copy of the
// mesh at offset 0. Tomb Raider IV: in its level-data chunk, deflated again.
std::vector<uint8_t> WithBytesBetweenMeshes(const Damageable& l) {
    std::vector<uint8_t> d = l.data;
    const size_t wordsAt = l.layout.meshWordsAt;
    const size_t pointersAt = wordsAt + 4 + size_t(Le32(d, wordsAt)) * 2;
    std::vector<uint32_t> starts;
    for (uint32_t i = 0, n = Le32(d, pointersAt); i < n; ++i)
        if (uint32_t at = Le32(d, pointersAt + 4 + 4 * size_t(i))) starts.push_back(at);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    if (starts.empty()) return {};
    InsertIntoMeshData(d, wordsAt, starts.back(), std::vector<uint8_t>(8, 0));
    const uint32_t halfway = starts[starts.size() / 2];
    if (halfway != starts.back())
        InsertIntoMeshData(d, wordsAt, halfway, Slice(d, wordsAt + 4, wordsAt + 4 + starts[0]));
    return l.With(d);
}

}  // namespace

TEST(RealLevels, UnsupportedLevelsAreRefused) {
    auto files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    int refused = 0;
    for (const RealLevel& f : files) {
        if (!f.unsupported) continue;
        messages.clear();
        CTrLevel level;
        EXPECT_FALSE(level.Load(f.path, true, true)) << f.path;
        ASSERT_EQ(messages.shown().size(), 1u) << f.path;
        const std::vector<uint8_t> head = ReadFileBytes(f.path);
        if (head.size() >= 4 && Le32(head, 0) == 0x63345254) {
            EXPECT_EQ(messages.shown()[0].text, "NG encrypted TR4 file !") << f.path;
        }
        EXPECT_EQ(level.version, 0);
        ++refused;
    }
    if (refused == 0) GTEST_SKIP() << "no unsupported levels";
}

TEST(RealLevels, LoadSaveLoadKeepsEverything) {
    auto files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    TempDir dir;
    ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    int tested = 0;
    for (const RealLevel& f : files) {
        if (f.unsupported) continue;
        SCOPED_TRACE(f.path);
        const std::vector<uint8_t> original = ReadFileBytes(f.path);
        ASSERT_GE(original.size(), 4u);
        const int v = VersionOfMagic(Le32(original, 0));
        ASSERT_NE(v, 0) << "not a level";

        messages.clear();
        auto first = std::make_unique<CTrLevel>();
        ASSERT_TRUE(first->Load(f.path, true, true));
        EXPECT_TRUE(messages.shown().empty());
        EXPECT_EQ(first->version, v);
        EXPECT_EQ(first->isTub, EqualsNoCase(ExtensionOf(f.path), ".tub") ? 1 : 0);
        // The log goes beside a copy in the temporary folder from here on.
        StartLevelLog(dir.file("log.tr4"));

        const std::string out1 = dir.file("first" + ExtensionOf(f.path));
        const std::string out2 = dir.file("second" + ExtensionOf(f.path));
        ASSERT_TRUE(first->Save(out1, 1, true, true));
        const std::vector<uint8_t> saved = ReadFileBytes(out1);
        if (v != 4) {
            EXPECT_EQ(saved.size(), first->GetImageSizeTr123());
        }

        auto second = std::make_unique<CTrLevel>();
        ASSERT_TRUE(second->Load(out1, true, true));
        StartLevelLog(dir.file("log.tr4"));
        // TR1 pages are made from the 8-bit ones, which are made again at save: every
        // colour comes back as it was.
        EXPECT_EQ(DiffLevels(*first, *second, true), "");
        ASSERT_TRUE(second->Save(out2, 1, true, true));
        // The second generation is the first one again.
        const std::vector<uint8_t> saved2 = ReadFileBytes(out2);
        if (v == 4) {
            const Tr4Parts a = SplitTr4(saved), b = SplitTr4(saved2);
            EXPECT_EQ(a.level, b.level);
            EXPECT_EQ(a.pages16, b.pages16);
        } else {
            EXPECT_EQ(saved, saved2);
        }

        if (v == 4) {
            const Tr4Parts a = SplitTr4(original), b = SplitTr4(saved);
            EXPECT_EQ(a.pages16, b.pages16);
            EXPECT_EQ(a.miscRaw, b.miscRaw);
            EXPECT_EQ(a.afterLevel, b.afterLevel);  // samples and trailing bytes
            const Located la = LocateMeshSection(a.level, 0, 4), lb = LocateMeshSection(b.level, 0, 4);
            EXPECT_EQ(la.meshWordsAt, lb.meshWordsAt);
            EXPECT_EQ(Slice(a.level, 0, la.meshWordsAt), Slice(b.level, 0, lb.meshWordsAt));
            EXPECT_EQ(Slice(a.level, la.afterPointers, a.level.size()),
                      Slice(b.level, lb.afterPointers, b.level.size()));
        } else {
            const size_t n = Le32(original, v == 1 ? 4 : 1796);
            const size_t pages8 = v == 1 ? 8 : 1800;
            const size_t levelData = pages8 + n * 65536 * (v == 1 ? 1 : 3);
            // Header and palettes.
            EXPECT_EQ(Le32(saved, 0), v == 3 ? 0xFF180038u : Le32(original, 0));
            EXPECT_EQ(Slice(original, 4, pages8), Slice(saved, 4, pages8));
            // 16-bit pages (TR2/III) verbatim.
            EXPECT_EQ(Slice(original, pages8 + n * 65536, levelData),
                      Slice(saved, pages8 + n * 65536, levelData));
            // Level data outside the mesh data and pointers, byte for byte.
            const Located lo = LocateMeshSection(original, levelData, v);
            const Located ls = LocateMeshSection(saved, levelData, v);
            EXPECT_EQ(lo.meshWordsAt, ls.meshWordsAt);
            EXPECT_EQ(Slice(original, levelData, lo.meshWordsAt), Slice(saved, levelData, ls.meshWordsAt));
            EXPECT_EQ(Slice(original, lo.afterPointers, original.size()),
                      Slice(saved, ls.afterPointers, saved.size()));

            // The 8-bit pages come back as the file had them: every texel keeps its index.
            EXPECT_TRUE(Slice(original, pages8, pages8 + n * 65536) == Slice(saved, pages8, pages8 + n * 65536));
            if (v == 1) {
                // Transparency of TR1 pages is kept through the save.
                for (size_t p = 0; p < n; ++p)
                    for (size_t i = 0; i < 65536; ++i)
                        ASSERT_EQ(first->pages[p][i] == 0, second->pages[p][i] == 0);
            }
        }
        ++tested;
    }
    if (tested == 0) GTEST_SKIP() << "only unsupported levels";
    EXPECT_TRUE(messages.shown().empty());
}

TEST(RealLevels, ImagesFromMemoryMatchTheFiles) {
    // ReadFileImage on the bytes gives the level that Load gives; the writer's sizes hold.
    auto files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    ScopedConfigDir config;
    TempDir dir;
    for (const RealLevel& f : files) {
        if (f.unsupported) continue;
        SCOPED_TRACE(f.path);
        const std::vector<uint8_t> bytes = ReadFileBytes(f.path);
        CTrLevel a, b;
        ASSERT_TRUE(a.Load(f.path, true, false));
        StartLevelLog(dir.file("log.tr4"));
        ASSERT_TRUE(b.ReadFileImage(bytes.data(), bytes.size(), f.path, true, false));
        EXPECT_EQ(DiffLevels(a, b), "");
        std::vector<uint8_t> data(a.GetLevelDataSize());
        ByteWriter w(data);
        a.WriteLevelData(w, nullptr, 0);
        EXPECT_EQ(w.pos(), data.size());
        if (a.version == 4) {
            size_t size = 0;
            std::vector<uint8_t> image = a.BuildImageTr4(&size, false, 1, false);
            EXPECT_EQ(size, image.size());
        }
    }
}

namespace {

// A mesh in the form of the version's level files: vertices in a row with their lights,
// and rectangles over them, padded to 4 bytes.
std::vector<uint8_t> LargeMesh(int v, int vertices, int rectangles) {
    ByteOut m;
    m.zeros(10);  // centre, radius
    m.u16(uint16_t(vertices));
    for (int i = 0; i < vertices; ++i) {
        m.u16(uint16_t(i % 128));
        m.u16(uint16_t(i / 128));
        m.u16(0);
    }
    m.s16(int16_t(-vertices));
    for (int i = 0; i < vertices; ++i) m.u16(4096);
    m.u16(uint16_t(rectangles));
    for (int i = 0; i < rectangles; ++i) {
        for (int k = 0; k < 4; ++k) m.u16(uint16_t((i + k) % vertices));
        m.u16(0);
        if (v == 4) m.u16(0);  // effects
    }
    // Triangles; coloured rectangles and triangles.
    m.zeros(v == 4 ? 2 : 6);
    m.pad4(0);
    return m.b;
}

// The batch converter run on in as a user runs it (the load's and the save's messages on
// standard error), killed after the given seconds.
ProgramRun Convert(const std::string& in, const std::string& out, const std::string& cwd, int seconds = 120) {
    return RunProgramOnce(ProgramPath(), {"s", "3", "1", in, out}, {cwd, {}, false, 0, seconds});
}

}  // namespace

// Every real level with a large mesh under many pointers, as damage or a careless tool
// leaves it: after 14 MB of zero padding under up to 150 pointers; at offset 0 under every
// pointer; and, without faces, under one pointer that every moveable takes as its only
// mesh. The batch converter keeps to 256 MB and 20 s; it refuses the level at the load with
// its reason (copies of the mesh past what a level holds, objects that show it too often),
// or saves it and then reads back what it saved.
TEST(RealLevels, LargeMeshesUnderManyPointersAreRefusedAtTheLoadOrSaved) {
    auto files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    TempDir dir;
    ScopedConfigDir config;
    int refused = 0, saved = 0;
    long peakKb = 0;
    std::set<std::string> reasons;
    // A slow build tries the levels that fit in the time allowed.
    const auto start = std::chrono::steady_clock::now();
    for (const RealLevel& f : files) {
        if (std::chrono::steady_clock::now() - start > std::chrono::seconds(40)) break;
        if (f.unsupported) continue;
        const int v = VersionOfMagic(Le32(ReadFileBytes(f.path), 0));
        const Damageable l = ToDamage(f.path, v);
        const size_t wordsAt = l.layout.meshWordsAt;
        for (const char* variant : {"past zero padding", "at offset 0", "in every moveable"}) {
            SCOPED_TRACE(f.path + ": " + variant);
            const bool atZero = variant[0] == 'a', everyMoveable = variant[0] == 'i';
            const std::vector<uint8_t> mesh = LargeMesh(v, everyMoveable ? 32000 : 20000,
                                                        everyMoveable ? 0 : 32000);
            std::vector<uint8_t> d = l.data;
            const uint32_t end = Le32(d, wordsAt) * 2;
            std::vector<uint8_t> added(atZero || everyMoveable ? 0 : 14 << 20, 0);
            added.insert(added.end(), mesh.begin(), mesh.end());
            InsertIntoMeshData(d, wordsAt, atZero ? 0 : end, added);
            const size_t pointersAt = wordsAt + 4 + size_t(Le32(d, wordsAt)) * 2;
            const uint32_t pointers = Le32(d, pointersAt);
            for (uint32_t i = 0, k = 0; i < pointers; ++i) {
                const size_t at = pointersAt + 4 + 4 * size_t(i);
                if (atZero)
                    SetLe32(d, at, 0);
                else if (Le32(d, at) != 0 && k++ < (everyMoveable ? 1 : 150))
                    SetLe32(d, at, uint32_t(end + added.size() - mesh.size()));
            }
            if (everyMoveable) {
                uint32_t first = 0;
                while (first < pointers && Le32(d, pointersAt + 4 + 4 * size_t(first)) != end) ++first;
                const Located::Records& m = l.layout.moveables;
                for (size_t i = 0; i < m.count; ++i) {
                    const size_t at = m.at + added.size() + i * m.size;
                    SetLe16(d, at + 4, 1);
                    SetLe16(d, at + 6, uint16_t(first));
                }
            }
            const std::string in = dir.file("shared" + ExtensionOf(f.path));
            const std::string out = dir.file("saved" + ExtensionOf(f.path));
            WriteFileBytes(in, l.With(d));
#ifndef __SANITIZE_ADDRESS__  // the sanitizer's shadow memory and quarantine count too
            const ProgramRun run = Convert(in, out, dir.path(), 20);
            EXPECT_FALSE(run.timedOut);
            EXPECT_LE(run.peakKb, 256L * 1024) << "KB at the peak";
#else
            const ProgramRun run = Convert(in, out, dir.path());
#endif
            peakKb = std::max(peakKb, run.peakKb);
            if (run.status == 255) {
                const size_t why = run.output.find("Level not read: ");
                ASSERT_NE(why, std::string::npos) << run.output;
                reasons.insert(run.output.substr(why, run.output.find_first_of(":0123456789", why + 16) - why));
                EXPECT_FALSE(FileExists(out));
                ++refused;
                continue;
            }
            // Loaded, saved and read back: never a load that the save then fails.
            ASSERT_EQ(run.status, 0) << run.output;
            EXPECT_EQ(Convert(out, dir.file("again" + ExtensionOf(f.path)), dir.path()).status, 0);
            ++saved;
            ::unlink(out.c_str());
        }
    }
    std::cerr << "large meshes under many pointers: " << refused << " refused, " << saved
              << " saved; at most " << peakKb / 1024 << " MB\n";
    for (const std::string& why : reasons) std::cerr << "  " << why << "\n";
    EXPECT_GT(refused, 0);
    EXPECT_GT(saved, 0);
}

TEST(RealLevels, FullLoadAndSaveWithTheObjectModel) {
    // The path the editor takes: the object model built after the load, written back and
    // built again by the save; the saved level loads again with the same arrays' shape.
    // Every pointer's mesh is read at its offset: the level with bytes between its meshes
    // loads as the level without them and saves to the same file. What the level takes in
    // memory is counted as it loads: the file, the pages and the objects at least, and the
    // real levels take less than half the bound.
    auto files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    TempDir dir;
    ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    int fullySaved = 0;
    for (const RealLevel& f : files) {
        if (f.unsupported) continue;
        SCOPED_TRACE(f.path);
        CTrLevel level, spaced;
        ASSERT_TRUE(level.Load(f.path, false, false));
        // Tomb Raider I-III: the palette tile's page is the level's own, not its file's.
        const size_t filePages = level.pages.size() - (level.version == 4 ? 0 : 1);
        EXPECT_GE(level.memory.peak(), ReadFileBytes(f.path).size() + filePages * (kPage16Bytes + kPage32Bytes));
        EXPECT_GE(level.memory.held(), level.objectTally.bytes + level.pages.size() * kPage16Bytes);
        EXPECT_LT(level.memory.peak(), kMaxLevelMemory / 2);
        const std::vector<uint8_t> padded = WithBytesBetweenMeshes(ToDamage(f.path, level.version));
        const std::string spacedPath = dir.file("spaced-" + FileNameOf(f.path));
        if (!padded.empty()) {
            WriteFileBytes(spacedPath, padded);
            ASSERT_TRUE(spaced.Load(spacedPath, false, false));
            EXPECT_EQ(DiffLevels(level, spaced, true), "");
        }
        StartLevelLog(dir.file("full.tr4"));
        const std::string out = dir.file("full-" + FileNameOf(f.path));
        messages.clear();
        if (!level.Save(out, 1, false, true)) {
            // A save that fails writes nothing and shows why; the level can still be saved.
            // (The object model's own failures are reported, not judged, here.)
            const std::string why = messages.shown().empty() ? "" : messages.shown().back().text;
            std::cerr << "note: full save of " << f.path << " failed: " << why << "\n";
            RecordProperty("full_save_failed_" + FileNameOf(f.path), why);
            EXPECT_FALSE(messages.shown().empty());
            EXPECT_FALSE(FileExists(out));
            EXPECT_TRUE(level.Save(out, 1, true, false));
            continue;
        }
        ++fullySaved;
        if (!padded.empty()) {
            ASSERT_TRUE(spaced.Save(spacedPath, 1, false, false));
            EXPECT_TRUE(ReadFileBytes(spacedPath) == ReadFileBytes(out)) << "saved with bytes between meshes";
        }
        CTrLevel again;
        ASSERT_TRUE(again.Load(out, true, true));
        EXPECT_EQ(again.version, level.version);
        EXPECT_EQ(again.rooms.size(), level.rooms.size());
        EXPECT_EQ(again.moveables.size(), level.moveables.size());
        EXPECT_EQ(again.items.size(), level.items.size());
        EXPECT_EQ(again.samples.size(), level.samples.size());
        EXPECT_EQ(again.trailing, level.trailing);
        for (const MessageRequest& m : messages.shown())
            EXPECT_NE(m.icon, MsgIcon::Error) << m.text;
    }
    EXPECT_GT(fullySaved, 0);
}

// Every input that once broke the program, through the reader of its kind (by extension;
// what has none of the known ones goes to the batch converter, which tells levels apart by
// their contents): read or refused with a message, nothing else. A level is refused with
// its reason, or saved; what was saved converts again to the very same bytes, and no run
// takes more than 256 MB (measured in the plain build: the sanitizers' shadow and
// quarantine are no memory of the program's).
TEST(DamagedInputs, AreReadOrRefusedCleanly) {
    const std::vector<std::string> files = DamagedInputFiles();
    if (files.empty()) GTEST_SKIP() << "no damaged inputs";
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope(&messages);
    ScopedConfigDir config;
    TempDir work;
    [[maybe_unused]] constexpr long kMaxPeakKb = 256 * 1024;
    for (const std::string& path : files) {
        SCOPED_TRACE(path);
        std::string ext = ExtensionOf(path);
        for (char& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
        auto refused = [&](bool read, size_t meshes) {
            if (!read) {
                EXPECT_TRUE(!messages.shown().empty() && meshes == 0);
            }
            messages.clear();
        };
        messages.clear();
        if (ext == ".3ds") {
            for (bool tr4 : {false, true}) {
                CTrLstMsh list;
                refused(ImportMeshFrom3ds(nullptr, &list, path.c_str(), !tr4, tr4), list.meshCount());
                CTrMvb mvb;
                refused(ImportMoveableFrom3ds(&mvb, path.c_str(), tr4, tr4), mvb.meshCount());
            }
        } else if (ext == ".trmsh" || ext == ".trsmh" || ext == ".trmvb" || ext == ".trspr") {
            CTrLstMsh::LoadFile(path);
            CTrStatMsh::LoadFile(path);
            CTrMvb::LoadFile(path);
            CTrLstSpr::LoadFile(path);
        } else if (ext == ".tga" || ext == ".png" || ext == ".bmp" || ext == ".jpg") {
            int w = 0, h = 0;
            std::vector<uint8_t> rgba;
            if (LoadPictureRGBA(path, &w, &h, &rgba) == 0) {
                EXPECT_EQ(rgba.size(), size_t(w) * size_t(h) * 4);
            }
        } else if (ext == ".xml") {
            CXmlMarkup().LoadFile(path);
        } else {
            const std::string first = work.file("first" + ExtensionOf(path));
            const std::string second = work.file("second" + ExtensionOf(path));
            auto convert = [&](const std::string& from, const std::string& to) {
                const ProgramRun run = Convert(from, to, work.path());
                EXPECT_FALSE(run.timedOut);
#ifndef __SANITIZE_ADDRESS__
                EXPECT_LE(run.peakKb, kMaxPeakKb) << "KB at the peak converting " << from;
#endif
                return run;
            };
            const ProgramRun run = convert(path, first);
            if (run.status == 255) {
                EXPECT_NE(run.output.find("Level not read: "), std::string::npos) << run.output;
                continue;
            }
            EXPECT_EQ(run.status, 0) << run.output;
            if (run.status != 0) continue;
            // Saved as its repaired form: the saved level loads and saves to the same bytes.
            const ProgramRun again = convert(first, second);
            EXPECT_EQ(again.status, 0) << again.output;
            if (again.status == 0) {
                EXPECT_TRUE(ReadFileBytes(first) == ReadFileBytes(second))
                    << "the second save differs from the first";
            }
        }
    }
}

// Damaged variants of every real level, the same on every run: counts, moveable,
// animation, static-mesh and sprite records set to what damage gives, cut level data and
// flipped bits, and Tomb Raider IV headers without pages of a kind. Each is refused with
// its reason or loaded; a level that loads is saved, the saved level loads again and saves
// to the same bytes; none takes memory out of proportion. The levels take turns, so that a
// slow build still tries every level within the time allowed.
TEST(RealLevels, DamagedVariantsAreRefusedWithAReasonOrSave) {
    auto files = RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    QuietMessages quiet;
    TempDir dir;
    ScopedConfigDir config;
    constexpr int kVariants = 48;
    constexpr double kSeconds = 30;
    struct Subject {
        const RealLevel* file;
        Damageable level;
        std::mt19937 rng;
    };
    std::vector<Subject> subjects;
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].unsupported) continue;
        const int v = VersionOfMagic(Le32(ReadFileBytes(files[i].path), 0));
        subjects.push_back({&files[i], ToDamage(files[i].path, v), std::mt19937(uint32_t(1000 + i))});
    }
    int loaded = 0, refused = 0;
    const auto start = std::chrono::steady_clock::now();
    auto seconds = [&] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    // Saved as its repaired form in one step: the saved level loads, and saves again to the
    // same bytes.
    auto save = [&](CTrLevel& level) {
        size_t size = 0;
        std::vector<uint8_t> image = level.version == TrVersion4
                                         ? level.BuildImageTr4(&size, true, 1, false)
                                         : level.BuildImageTr123(&size, true, 1, false);
        EXPECT_EQ(image.size(), size);
        return image;
    };
    auto tryVariant = [&](const Subject& s, const std::vector<uint8_t>& bytes, const std::string& what) {
        SCOPED_TRACE(s.file->path + ": " + what);
        StartLevelLog(dir.file("damaged" + ExtensionOf(s.file->path)));
        quiet.messages.clear();
        CTrLevel damaged;
        damaged.rebuildAfterSave = false;
        if (!damaged.ReadFileImage(bytes.data(), bytes.size(), s.file->path, false, false)) {
            EXPECT_NE(LevelLog().refusal, "");
            ++refused;
            return;
        }
        ++loaded;
        try {
            const std::vector<uint8_t> first = save(damaged);
            CTrLevel again;
            again.rebuildAfterSave = false;
            if (!again.ReadFileImage(first.data(), first.size(), s.file->path, false, false)) {
                ADD_FAILURE() << "saved, but not loaded again: " << LevelLog().refusal;
                return;
            }
            EXPECT_TRUE(save(again) == first) << "the second save differs from the first";
        } catch (const std::exception& e) {
            ADD_FAILURE() << "loaded, but not saved: " << e.what();
        }
    };
    for (int n = 0; n < kVariants && seconds() < kSeconds; ++n) {
        for (Subject& s : subjects) {
            if (s.level.version == 4 && n < 3) {
                // First, headers that count no room, object or bump page: the pages are
                // read as pages of other kinds.
                std::vector<uint8_t> bytes = s.level.file;
                SetLe16(bytes, 4 + 2 * size_t(n), 0);
                tryVariant(s, bytes, StrFormat("page count %d = 0", n));
                continue;
            }
            std::string what;
            const std::vector<uint8_t> bytes = DamagedVariant(s.level, s.rng, n, &what);
            tryVariant(s, bytes, what);
        }
    }
    std::cerr << "damaged variants: " << loaded << " loaded and saved, " << refused
              << " refused, in " << seconds() << " s\n";
    EXPECT_GT(loaded, 0);
    EXPECT_GT(refused, 0);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer keeps freed memory for a while
    struct rusage usage;
    ASSERT_EQ(getrusage(RUSAGE_SELF, &usage), 0);
    EXPECT_LT(usage.ru_maxrss, 512L * 1024) << "KB at the peak";
#endif
}

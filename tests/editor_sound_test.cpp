// The sound pane's logic, "Main.sfx" entries, playback on the dummy audio driver, and the
// tree's tile drop.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "TestSupport.h"
#include "editor/tree/HandleBase.h"
#include "editor/sound/SoundPaneModel.h"
#include "editor/sound/SoundPlayer.h"
#include "editor/tree/TreeDrag.h"
#include "fixtures/LevelBuilder.h"
#include "fixtures/SampleLevel.h"
#include "fixtures/WaveFiles.h"
#include "level/GameCatalog.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

// The D-Bus library keeps one connection buffer for the process once SDL audio has used it.
extern "C" const char* __lsan_default_suppressions() { return "leak:libdbus-1.so"; }

namespace lithoscope {
namespace {

std::string CatalogFolder() { return std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog"; }

struct LoadedLevel {
    test::TempDir dir;
    CTrLevel level;
};

std::vector<uint8_t> ShortWave(int16_t level) {
    return test::Pcm16Wave(1, 22050, std::vector<int16_t>(64, level));
}

TEST(SoundPaneModel, SampleLevelListsMovesAndDetails) {
    test::ScopedConfigDir config;
    LoadedLevel l;
    const std::string path = l.dir.path() + "/sample.tr2";
    test::WriteFileBytes(path, test::BuildSampleLevelTr2());
    ASSERT_TRUE(l.level.Load(path, false, false));
    CGameCatalog catalog;
    catalog.Load(CatalogFolder());
    if (!l.level.soundList) l.level.soundList.reset(new CTrSoundList());
    // Leave the level with sounds 0 and 2 only.
    std::vector<int> keys;
    for (const auto& e : *l.level.soundList) keys.push_back(e.first);
    for (int k : keys) l.level.soundList->Erase(k);
    CSoundPaneModel m;
    m.Bind(&l.level, &catalog);
    EXPECT_EQ(m.Game(), 2);
    EXPECT_FALSE(m.OwnSamples());
    EXPECT_EQ(m.CatalogSize(), 370);
    EXPECT_EQ(m.Available().size(), 370u);
    ASSERT_TRUE(m.Add(0));
    ASSERT_TRUE(m.Add(2));
    EXPECT_FALSE(m.Add(2));  // already used
    m.Refill();
    ASSERT_EQ(m.Available().size(), 368u);
    EXPECT_EQ(m.Available()[0], 1);
    EXPECT_EQ(m.Available()[1], 3);
    EXPECT_EQ(m.Available().back(), 369);
    ASSERT_EQ(m.Used(), (std::vector<int>{0, 2}));

    // The added record: a TR1-III detail from the catalog.
    const TrSoundRecord* r = l.level.soundList->Find(2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->volume, 0x7FFF);
    EXPECT_EQ(r->chance, 0);
    const int count = catalog.GetSoundSampleCount(2, 2);
    EXPECT_EQ(r->flags, (count & 0x3F) * 4);
    EXPECT_EQ(r->sampleCount, count & 0x3F);
    EXPECT_EQ(int32_t(r->firstSample), catalog.GetSoundFirstSample(2, 2));
    EXPECT_EQ(m.Name(2), catalog.GetSoundName(2, 2));

    // Details: samples and loop into flags, 64 samples refused, a volume of 0x7FFF does
    // not block the other edits.
    SoundDetails d;
    ASSERT_TRUE(m.GetDetails(2, d));
    EXPECT_EQ(d.volume, 0x7FFF);
    EXPECT_EQ(d.internalIndex, 2);
    d.samples = 3;
    d.loop = 2;
    std::string error;
    ASSERT_TRUE(m.SetDetails(2, d, &error));
    EXPECT_EQ((r->flags >> 2) & 0x3F, 3);
    EXPECT_EQ(r->flags & 3, 2);
    EXPECT_EQ(r->sampleCount, 3);
    SoundDetails bad = d;
    bad.samples = 64;
    EXPECT_FALSE(m.SetDetails(2, bad, &error));
    EXPECT_EQ(error, "Please enter an integer between 1 and 63.");
    EXPECT_EQ(r->sampleCount, 3);
    d.pitch = -5;
    ASSERT_TRUE(m.SetDetails(2, d, nullptr));
    EXPECT_EQ(uint16_t(r->flags) >> 8, 0xFBu);
    EXPECT_EQ(r->flags & 0xFF, (3 << 2) | 2);
    d.range = 300;
    ASSERT_TRUE(m.SetDetails(2, d, nullptr));
    SoundDetails again;
    ASSERT_TRUE(m.GetDetails(2, again));
    EXPECT_EQ(again.pitch, -5);
    EXPECT_EQ(again.range, 300);
    EXPECT_EQ(again.samples, 3);

    // "<<" gives the sound back to the catalog list.
    ASSERT_TRUE(m.Remove(0));
    EXPECT_FALSE(l.level.soundList->Contains(0));
    EXPECT_FALSE(m.Remove(0));
    EXPECT_EQ(m.Used(), (std::vector<int>{2}));
    EXPECT_EQ(m.Available().size(), 369u);

    // Another game renames the sounds, the level's list stays.
    m.SetGame(4);
    EXPECT_EQ(m.Name(2), catalog.GetSoundName(4, 2));
    EXPECT_EQ(l.level.soundList->size(), 1u);
}

TEST(SoundPaneModel, Tr4LevelPlaysItsOwnSamples) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    test::ScopedConfigDir config;
    test::FixtureOptions o;
    o.version = 4;
    o.defaultSamples = false;
    for (int16_t v : {1000, -2000}) {
        test::FixtureSample s;
        s.data = ShortWave(v);
        s.unpackedSize = uint32_t(s.data.size());
        o.samples.push_back(s);
    }
    LoadedLevel l;
    const std::string path = l.dir.path() + "/fixture.tr4";
    test::WriteFileBytes(path, test::BuildFixtureLevel(o).file);
    ASSERT_TRUE(l.level.Load(path, false, false));
    ASSERT_EQ(l.level.samples.size(), 2u);
    CGameCatalog catalog;
    catalog.Load(CatalogFolder());
    if (!l.level.soundList) l.level.soundList.reset(new CTrSoundList());
    auto rec = std::make_unique<TrSoundRecord>();
    rec->internalIndex = 7;
    rec->sampleIndex = 1;
    rec->firstSample = l.level.sampleIndices.at(1);  // a sound of the level's samples
    rec->sampleVersion = TrVersion4;
    rec->sampleCount = 1;
    rec->volume = 0x1234;            // volume 0x34, range 0x12
    rec->chance = int16_t(0xFE10);   // chance 0x10, pitch -2
    rec->flags = int16_t(0x5004);    // one sample; flags nibble 5: " VN"
    l.level.soundList->Erase(7);
    ASSERT_TRUE(l.level.soundList->Insert(std::move(rec)));
    rec = std::make_unique<TrSoundRecord>();
    rec->internalIndex = 8;
    rec->sampleIndex = 9;  // past the level's samples
    l.level.soundList->Erase(8);
    ASSERT_TRUE(l.level.soundList->Insert(std::move(rec)));

    CSoundPaneModel m;
    m.Bind(&l.level, &catalog);
    EXPECT_EQ(m.Game(), 6);
    EXPECT_TRUE(m.OwnSamples());
    EXPECT_TRUE(m.Available().empty());
    EXPECT_FALSE(m.Add(3));
    EXPECT_FALSE(m.Remove(7));
    EXPECT_EQ(m.Used().size(), l.level.soundList->size());

    SoundDetails d;
    ASSERT_TRUE(m.GetDetails(7, d));
    EXPECT_EQ(d.volume, 0x34);
    EXPECT_EQ(d.range, 0x12);
    EXPECT_EQ(d.chance, 0x10);
    EXPECT_EQ(d.pitch, -2);
    EXPECT_EQ(d.flagsText, " VN");
    d.volume = 200;
    d.pitch = 100;
    ASSERT_TRUE(m.SetDetails(7, d, nullptr));
    const TrSoundRecord* r = l.level.soundList->Find(7);
    EXPECT_EQ(r->volume, 0x12C8);
    EXPECT_EQ(uint16_t(r->chance), 0x6410u);
    EXPECT_EQ(SoundFlagsText(2), "P  ");
    EXPECT_EQ(SoundFlagsText(7), "PVN");
    EXPECT_EQ(SoundFlagsText(8), "   ");

    std::vector<uint8_t> wave;
    ASSERT_EQ(m.UsedWave(7, wave), CSoundPaneModel::Fetch::Ok);
    EXPECT_EQ(wave, l.level.samples[1].data);
    EXPECT_EQ(PlayWaveMemory(wave.data(), wave.size()), PlayResult::Played);
    EXPECT_EQ(m.UsedWave(8, wave), CSoundPaneModel::Fetch::Nothing);
    EXPECT_TRUE(wave.empty());
}

// Every used sound of every real level plays: Tomb Raider I and IV from the level's own
// samples, the other editions from entry firstSample of their game's "Main.sfx" (here one
// made up of numbered waves).
TEST(SoundPaneModel, EveryUsedSoundOfTheRealLevelsGivesItsWave) {
    test::ScopedConfigDir config;
    ScriptedMessageBackend script;
    ScopedMessageBackend scoped(&script);
    CGameCatalog catalog;
    catalog.Load(CatalogFolder());
    test::TempDir sfxDir;
    int levels = 0;
    for (const test::RealLevel& file : test::RealLevelFiles()) {
        CTrLevel level;
        if (file.unsupported || !level.Load(file.path, false, false) || !level.soundList) continue;
        SCOPED_TRACE(file.path);
        ++levels;
        CSoundPaneModel m;
        m.Bind(&level, &catalog);
        const bool own = level.version == TrVersion1 || level.version == TrVersion4;
        EXPECT_EQ(m.OwnSamples(), own);
        uint32_t entries = 0;
        for (int k : m.Used()) entries = std::max(entries, m.Record(k)->firstSample + 1);
        std::vector<uint8_t> sfx;
        if (!own) {
            // Without the game's file, a used sound says so.
            catalog.SetDataPath(m.Game(), sfxDir.path() + "/none/");
            std::vector<uint8_t> none;
            if (!m.Used().empty()) {
                EXPECT_EQ(m.UsedWave(m.Used()[0], none), CSoundPaneModel::Fetch::FileMissing);
            }
            for (uint32_t e = 0; e < entries; ++e) {
                const std::vector<uint8_t> w = ShortWave(int16_t(e));
                sfx.insert(sfx.end(), w.begin(), w.end());
            }
            test::WriteFileBytes(sfxDir.path() + "/Main.sfx", sfx);
            catalog.SetDataPath(m.Game(), sfxDir.path() + "/");
        }
        int played = 0;
        for (int k : m.Used()) {
            std::vector<uint8_t> wave;
            ASSERT_EQ(m.UsedWave(k, wave), CSoundPaneModel::Fetch::Ok) << "sound " << k;
            DecodedWave d;
            EXPECT_TRUE(DecodeWave(wave.data(), wave.size(), d)) << "sound " << k;
            if (!own) {
                EXPECT_EQ(wave, ShortWave(int16_t(m.Record(k)->firstSample))) << "sound " << k;
            }
            ++played;
        }
        EXPECT_EQ(played, int(level.soundList->size()));
    }
    if (levels == 0) GTEST_SKIP() << "no real levels";
}

TEST(SoundPlayer, MainSfxEntriesAndDecoding) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    test::ScopedConfigDir config;
    test::TempDir dir;
    const std::vector<uint8_t> w0 = ShortWave(10), w1 = test::Pcm16Wave(2, 11025, {1, 2, 3, 4}),
                               w2 = test::FlatImaAdpcmWave(22050, 1, 500);
    std::vector<uint8_t> sfx;
    for (const auto* w : {&w0, &w1, &w2}) sfx.insert(sfx.end(), w->begin(), w->end());
    // Looked up ignoring case.
    test::WriteFileBytes(dir.path() + "/MAIN.SFX", sfx);
    CGameCatalog catalog;
    catalog.SetDataPath(2, dir.path() + "/");
    CSoundPaneModel m;
    m.Bind(nullptr, &catalog);
    m.SetGame(2);
    EXPECT_EQ(m.SoundFilePath(), dir.path() + "/MAIN.SFX");

    std::vector<uint8_t> wave;
    EXPECT_EQ(ReadSfxEntry(m.SoundFilePath(), 1, wave), SfxRead::Ok);
    EXPECT_EQ(wave, w1);
    EXPECT_EQ(ReadSfxEntry(m.SoundFilePath(), 2, wave), SfxRead::Ok);
    EXPECT_EQ(wave, w2);
    EXPECT_EQ(ReadSfxEntry(m.SoundFilePath(), 3, wave), SfxRead::Short);
    EXPECT_TRUE(wave.empty());
    EXPECT_EQ(ReadSfxEntry(m.SoundFilePath(), -1, wave), SfxRead::Short);
    EXPECT_EQ(ReadSfxEntry(dir.path() + "/none.sfx", 0, wave), SfxRead::Missing);
    // A damaged file: the last entry cut short, and an entry whose length runs past the end.
    std::vector<uint8_t> cut(sfx.begin(), sfx.end() - 3);
    test::WriteFileBytes(dir.path() + "/cut.sfx", cut);
    EXPECT_EQ(ReadSfxEntry(dir.path() + "/cut.sfx", 1, wave), SfxRead::Ok);
    EXPECT_EQ(ReadSfxEntry(dir.path() + "/cut.sfx", 2, wave), SfxRead::Short);
    std::vector<uint8_t> huge = w0;
    test::SetLe32(huge, 4, 0xFFFFFFF0u);
    test::WriteFileBytes(dir.path() + "/huge.sfx", huge);
    EXPECT_EQ(ReadSfxEntry(dir.path() + "/huge.sfx", 0, wave), SfxRead::Short);
    // Missing file from the model.
    catalog.SetDataPath(3, dir.path() + "/nothing/");
    m.SetGame(3);
    EXPECT_EQ(m.CatalogWave(0, wave), CSoundPaneModel::Fetch::FileMissing);
    EXPECT_EQ(m.SoundFilePath(), dir.path() + "/nothing/Main.sfx");

    // Decoding: PCM 16 and 8 bits directly, IMA ADPCM through the conversion.
    DecodedWave d;
    ASSERT_TRUE(DecodeWave(w1.data(), w1.size(), d));
    EXPECT_EQ(d.channels, 2);
    EXPECT_EQ(d.rate, 11025);
    EXPECT_EQ(d.samples, (std::vector<int16_t>{1, 2, 3, 4}));
    const std::vector<uint8_t> w8 = test::WaveFile(test::PcmFormat(1, 8000, 8), {128, 255, 0});
    ASSERT_TRUE(DecodeWave(w8.data(), w8.size(), d));
    EXPECT_EQ(d.samples, (std::vector<int16_t>{0, 127 * 256, -128 * 256}));
    ASSERT_TRUE(DecodeWave(w2.data(), w2.size(), d));
    EXPECT_EQ(d.rate, 22050);
    ASSERT_FALSE(d.samples.empty());
    EXPECT_EQ(d.samples[d.samples.size() / 2], 500);
    const std::vector<uint8_t> junk = {'R', 'I', 'F', 'F', 1, 2};
    EXPECT_FALSE(DecodeWave(junk.data(), junk.size(), d));
    EXPECT_EQ(PlayWaveMemory(junk.data(), junk.size()), PlayResult::NotWave);
    EXPECT_EQ(PlayWaveMemory(w0.data(), w0.size()), PlayResult::Played);
    EXPECT_EQ(PlayWaveMemory(w2.data(), w2.size()), PlayResult::Played);
}

// A tile node standing in for the tree's: its drop copies its chunk.
class TestTile : public CHandleBase {
public:
    TestTile(int32_t type, int kind) : CHandleBase(nullptr, nullptr, 1), type_(type), kind_(kind) {}
    int32_t GetType() const override { return type_; }
    void DropOnto(CHandleBase* target, bool) override {
        auto* t = static_cast<TestTile*>(target);
        CopyTileTo(&chunk, kind_, &t->chunk, t->kind_, t);
    }
    TrPackedChunk chunk;

private:
    int32_t type_;
    int kind_;
};

TEST(TreeDrag, TileDropCopiesAfterYesOnly) {
    ScriptedMessageBackend script;
    ScopedMessageBackend scoped(&script);
    TestTile source(HandleTypeTile, 1), target(HandleTypeTile, 1), mesh(HandleTypeMesh, 0);
    source.chunk.unpackedSize = 4096;
    source.chunk.data = {1, 2, 3, 4, 5};
    target.chunk.unpackedSize = 1024;
    target.chunk.data = {9, 9};

    script.Answer(MsgAnswer::No);
    EXPECT_TRUE(DropNodeOnto(&source, &target, false));
    ASSERT_EQ(script.shown().size(), 1u);
    EXPECT_EQ(script.shown()[0].text, "Copy the tile ?");
    EXPECT_EQ(script.shown()[0].icon, MsgIcon::Question);
    EXPECT_EQ(target.chunk.data, (std::vector<uint8_t>{9, 9}));
    EXPECT_EQ(target.chunk.unpackedSize, 1024u);

    script.clear();
    script.Answer(MsgAnswer::Yes);
    EXPECT_TRUE(DropNodeOnto(&source, &target, true));
    EXPECT_EQ(target.chunk, source.chunk);

    // Another kind of node, and a node onto itself.
    script.clear();
    EXPECT_FALSE(DropNodeOnto(&source, &mesh, false));
    EXPECT_TRUE(script.Saw("Invalid operation !"));
    script.clear();
    EXPECT_FALSE(DropNodeOnto(&source, &source, true));
    EXPECT_TRUE(script.shown().empty());

    // Tiles of different kinds: asked, then refused.
    TestTile other(HandleTypeTile, 2);
    other.chunk.data = {7};
    script.clear();
    script.Answer(MsgAnswer::Yes);
    DropNodeOnto(&source, &other, false);
    EXPECT_TRUE(script.Saw("Invalid operation !"));
    EXPECT_EQ(other.chunk.data, (std::vector<uint8_t>{7}));
}

}  // namespace
}  // namespace lithoscope

// Level files: version recognition, the containers, load and save with their messages,
// progress windows, safe replacement, samples, and damaged files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>

#include "TestSupport.h"
#include "fixtures/LevelBuilder.h"
#include "level/LevelLog.h"
#include "level/LevelProgress.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

using namespace lithoscope;
using namespace lithoscope::test;

namespace {

FixtureOptions Opts(int version, bool shared = true) {
    FixtureOptions o;
    o.version = version;
    o.sharedMeshes = shared;
    return o;
}

const char* Ext(const FixtureOptions& o) {
    return o.version == 1 ? (o.tub ? "LEVEL.TUB" : "level.phd") : o.version == 4 ? "level.tr4" : "level.tr2";
}

struct Env {
    TempDir dir;
    ScopedConfigDir config;
    ScriptedMessageBackend messages;
    ScopedMessageBackend scope{&messages};
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        const std::string p = dir.file(name);
        WriteFileBytes(p, bytes);
        return p;
    }
};

// Records what the level I/O does with its windows.
struct ProgressLog {
    std::vector<std::string> events;
};
class RecordingProgress : public ILevelProgress {
public:
    explicit RecordingProgress(ProgressLog* log) : log_(log) {}
    void SetMainRange(uint32_t m) override { add("range", m); }
    void SetMainPos(uint32_t p) override { add("pos", p); }
    void SetBuildRange(uint32_t m) override { add("buildRange", m); }
    void SetBuildPos(uint32_t p) override { add("buildPos", p); }
    void SetRepackRange(uint32_t m) override { add("repackRange", m); }
    void SetRepackPos(uint32_t p) override { add("repackPos", p); }
    void SetTileCounts(uint32_t a, uint32_t b) override { add("tiles", a * 1000 + b); }
    void Close() override { log_->events.push_back("close"); }

private:
    void add(const char* what, uint32_t v) { log_->events.push_back(std::string(what) + " " + std::to_string(v)); }
    ProgressLog* log_;
};

struct ScopedFactory {
    ProgressLog log;
    std::vector<std::string> opened;
    ScopedFactory() {
        SetLevelProgressFactory([this](const std::string& kind, const std::string& title) {
            opened.push_back(kind + ":" + title);
            return std::unique_ptr<ILevelProgress>(new RecordingProgress(&log));
        });
    }
    ~ScopedFactory() { SetLevelProgressFactory(nullptr); }
};

std::vector<uint8_t> Saved(CTrLevel& level, Env& env, const std::string& name) {
    const std::string out = env.dir.file(name);
    EXPECT_TRUE(level.Save(out, 1, true, true));
    return ReadFileBytes(out);
}

}  // namespace

TEST(LevelFile, MagicForVersion) {
    EXPECT_EQ(MagicForVersion(1), 0x20u);
    EXPECT_EQ(MagicForVersion(2), 0x2Du);
    EXPECT_EQ(MagicForVersion(3), 0xFF180038u);
    EXPECT_EQ(MagicForVersion(4), 0x00345254u);
    EXPECT_EQ(MagicForVersion(0), 0u);
    EXPECT_EQ(MagicForVersion(99), 0u);
}

TEST(LevelFile, RecognitionAndItsMessages) {
    Env env;
    ScopedFactory windows;
    CTrLevel level;
    // "TR4c": encrypted, refused; the level is left empty.
    std::vector<uint8_t> enc = BuildFixtureLevel(Opts(4)).file;
    enc[3] = 'c';
    EXPECT_FALSE(level.Load(env.Write("enc.tr4", enc), true, true));
    ASSERT_EQ(env.messages.shown().size(), 1u);
    EXPECT_EQ(env.messages.shown()[0].text, "NG encrypted TR4 file !");
    EXPECT_EQ(env.messages.shown()[0].icon, MsgIcon::Error);
    EXPECT_EQ(level.version, 0);
    EXPECT_TRUE(level.path.empty());
    EXPECT_TRUE(windows.opened.empty());  // no window for a failed recognition

    // Each refusal keeps its reason for the log and batch mode.
    const std::vector<std::pair<std::vector<uint8_t>, std::string>> unknown = {
        {{}, "0 bytes: too short for a level"},
        {{0x20, 0, 0}, "3 bytes: too short for a level"},
        {{0x7F, 'E', 'L', 'F', 2}, "first word 0x464c457f: not a level of Tomb Raider I-IV"}};
    for (const auto& [bytes, why] : unknown) {
        env.messages.clear();
        EXPECT_FALSE(level.Load(env.Write("x.phd", bytes), true, true));
        ASSERT_EQ(env.messages.shown().size(), 1u);
        EXPECT_EQ(env.messages.shown()[0].text, "Unknown file type !");
        EXPECT_EQ(LevelLog().refusal, "Level not read: " + why);
        // The editor's box gives that line below.
        CTrLevel shown;
        shown.sayWhyRefused = true;
        env.messages.clear();
        EXPECT_FALSE(shown.Load(env.Write("x.phd", bytes), true, true));
        ASSERT_EQ(env.messages.shown().size(), 1u);
        EXPECT_EQ(env.messages.shown()[0].text, "Unknown file type !\nLevel not read: " + why);
    }
    // Without messages nothing is shown.
    env.messages.clear();
    EXPECT_FALSE(level.Load(env.Write("enc2.tr4", enc), true, false));
    EXPECT_TRUE(env.messages.shown().empty());

    // Files that can't be read.
    env.messages.clear();
    const std::string missing = env.dir.file("missing.tr2");
    EXPECT_FALSE(level.Load(missing, true, true));
    ASSERT_EQ(env.messages.shown().size(), 1u);
    EXPECT_EQ(env.messages.shown()[0].text,
              "Unable to open " + missing + ".\nNo such file or directory.\n");
    EXPECT_EQ(level.path, missing);  // set before the failed open
    // A link that leads nowhere says the same.
    const std::string dangling = env.dir.file("dangling.tr2");
    ASSERT_EQ(::symlink(missing.c_str(), dangling.c_str()), 0);
    env.messages.clear();
    EXPECT_FALSE(level.Load(dangling, true, true));
    ASSERT_EQ(env.messages.shown().size(), 1u);
    EXPECT_EQ(env.messages.shown()[0].text,
              "Unable to open " + dangling + ".\nNo such file or directory.\n");
    // What is no regular file is refused unread, saying what it is: a named pipe nobody
    // writes to would keep the reader waiting for ever.
    const std::string fifo = env.dir.file("pipe.tr4");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    const std::vector<std::pair<std::string, std::string>> notFiles = {
        {env.dir.path(), "a folder"}, {fifo, "a named pipe"}, {"/dev/zero", "a device"}};
    for (const auto& [path, what] : notFiles) {
        env.messages.clear();
        EXPECT_FALSE(level.Load(path, true, true));
        ASSERT_EQ(env.messages.shown().size(), 1u);
        EXPECT_EQ(env.messages.shown()[0].text,
                  "Unable to open " + path + ".\nIt is " + what + ", not a regular file.\n");
    }
}

TEST(LevelFile, TubComesFromTheExtension) {
    Env env;
    FixtureOptions tub = Opts(1);
    tub.tub = true;
    const std::vector<uint8_t> bytes = BuildFixtureLevel(tub).file;
    for (const char* name : {"LEVEL.TUB", "level.tub", "Level.Tub"}) {
        CTrLevel level;
        ASSERT_TRUE(level.Load(env.Write(name, bytes), true, true)) << name;
        EXPECT_EQ(level.isTub, 1) << name;
        EXPECT_EQ(level.name, StemOf(name));
    }
    // ".tub" elsewhere in the path is not the extension.
    ASSERT_EQ(::mkdir(env.dir.file("a.tub").c_str(), 0755), 0);
    CTrLevel level;
    const std::vector<uint8_t> phd = BuildFixtureLevel(Opts(1)).file;
    ASSERT_TRUE(level.Load(env.Write("a.tub/level.tub.phd", phd), true, true));
    EXPECT_EQ(level.isTub, 0);
    EXPECT_TRUE(env.messages.shown().empty());
}

TEST(LevelFile, Tr123RoundTripIsByteIdentical) {
    Env env;
    for (int v = 1; v <= 3; ++v) {
        for (bool tub : {false, true}) {
            if (tub && v != 1) continue;
            FixtureOptions o = Opts(v, false);
            o.tub = tub;
            FixtureLevel f = BuildFixtureLevel(o);
            CTrLevel level;
            ASSERT_TRUE(level.Load(env.Write(Ext(o), f.file), true, true));
            SCOPED_TRACE(testing::Message() << "version " << v << " tub " << tub);
            EXPECT_EQ(level.GetImageSizeTr123(), f.file.size());
            size_t size = 0;
            std::vector<uint8_t> image = level.BuildImageTr123(&size, false, 1, false);
            EXPECT_EQ(size, f.file.size());
            EXPECT_EQ(image, f.file);
            EXPECT_EQ(Saved(level, env, std::string("out-") + Ext(o)), f.file);
            EXPECT_EQ(level.path, env.dir.file(std::string("out-") + Ext(o)));
        }
    }
    EXPECT_TRUE(env.messages.shown().empty());
}

TEST(LevelFile, Tr1PagesComeFromThePalette) {
    Env env;
    FixtureOptions o = Opts(1);
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("p.phd", BuildFixtureLevel(o).file), true, false));
    ASSERT_EQ(level.pages.size(), 2u);
    // Index 0 is transparent black; index k (x + 3y + 5p) is its palette colour halved.
    EXPECT_EQ(level.pages[0][0], 0);
    const int x = 7, y = 1;  // index 10 on page 0: palette (20, 0, 2 x (73 % 32)) = (20, 0, 18)
    EXPECT_EQ(level.pages[0][y * 256 + x], 0x8000 | (10 << 10) | (0 << 5) | 9);
    EXPECT_EQ(level.pages[1][0], 0x8000 | (5 << 10) | (0 << 5) | 6);  // index 5: (10, 0, 12)
}

TEST(LevelFile, Tr3OldMagicIsSavedWithTheNewOne) {
    Env env;
    FixtureOptions o = Opts(3, false);
    o.tr3Magic = 0xFF080038;
    FixtureLevel f = BuildFixtureLevel(o);
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("old.tr2", f.file), true, true));
    EXPECT_EQ(level.version, 3);
    std::vector<uint8_t> out = Saved(level, env, "new.tr2");
    EXPECT_EQ(Le32(out, 0), 0xFF180038u);
    std::vector<uint8_t> expected = f.file;
    SetLe32(expected, 0, 0xFF180038u);
    EXPECT_EQ(out, expected);
}

TEST(LevelFile, Tr4RoundTripKeepsChunksSamplesAndTrailingBytes) {
    Env env;
    for (bool longMap : {false, true}) {
        SCOPED_TRACE(longMap);
        FixtureOptions o = Opts(4, false);
        o.longSoundMap = longMap;
        o.trailing = PatternBytes(500, 33);
        FixtureLevel f = BuildFixtureLevel(o);
        CTrLevel level;
        ASSERT_TRUE(level.Load(env.Write("l.tr4", f.file), true, true));
        EXPECT_EQ(level.pageCount(), 2u);
        EXPECT_EQ(level.roomPageCount, 1);
        EXPECT_EQ(level.objectPageCount, 1);
        EXPECT_EQ(level.pages[1][5], FixturePage16(4, 1, 5, 0));
        EXPECT_TRUE(level.pages32Chunk.data.empty());
        EXPECT_TRUE(level.pages16Chunk.data.empty());
        ASSERT_EQ(level.samples.size(), 2u);
        EXPECT_EQ(level.trailing, o.trailing);

        size_t size = 0;
        std::vector<uint8_t> image = level.BuildImageTr4(&size, false, 1, false);
        EXPECT_EQ(size, image.size());
        EXPECT_TRUE(level.pages32Chunk.data.empty());

        // Walk the saved container.
        ByteReader r(image);
        EXPECT_EQ(r.u32(), 0x00345254u);
        EXPECT_EQ(r.u16(), 1);
        EXPECT_EQ(r.u16(), 1);
        EXPECT_EQ(r.u16(), 0);
        auto chunk = [&](size_t* packedOut = nullptr) {
            uint32_t un = r.u32(), pk = r.u32();
            std::vector<uint8_t> z = r.take(pk);
            if (packedOut) *packedOut = pk;
            return std::make_pair(un, z);
        };
        auto c32 = chunk();
        auto c16 = chunk();
        auto misc = chunk();
        size_t packedLevel = 0;
        auto lvl = chunk(&packedLevel);
        EXPECT_EQ(Inflate(c32.second.data(), c32.second.size(), c32.first), f.pages32Bytes);
        EXPECT_EQ(Inflate(c16.second.data(), c16.second.size(), c16.first), f.pages16Bytes);
        EXPECT_EQ(misc.first, 1000u);
        EXPECT_EQ(misc.second, f.miscPacked);  // kept packed as read
        EXPECT_EQ(Inflate(lvl.second.data(), lvl.second.size(), lvl.first), f.levelData);
        // The chunks are released after writing: add what they held.
        EXPECT_EQ(size, level.GetImageSizeTr4(false) + packedLevel + c32.second.size() +
                            c16.second.size());
        ASSERT_EQ(r.u32(), 2u);
        for (const TrPackedChunk& s : level.samples) {
            EXPECT_EQ(r.u32(), s.unpackedSize);
            EXPECT_EQ(r.take(r.u32()), s.data);
        }
        EXPECT_EQ(r.take(r.left()), o.trailing);

        // Saved and read again: the same level.
        CTrLevel again;
        ASSERT_TRUE(again.Load(env.Write("again.tr4", image), true, true));
        EXPECT_EQ(DiffLevels(level, again), "");
    }
    EXPECT_TRUE(env.messages.shown().empty());
}

TEST(LevelFile, SharedMeshesSurviveASave) {
    Env env;
    for (int v = 1; v <= 4; ++v) {
        FixtureOptions o = Opts(v, true);
        CTrLevel level, again;
        ASSERT_TRUE(level.Load(env.Write(Ext(o), BuildFixtureLevel(o).file), true, true));
        const std::string out = env.dir.file(std::string("s") + Ext(o));
        ASSERT_TRUE(level.Save(out, 0, true, true));
        ASSERT_TRUE(again.Load(out, true, true));
        EXPECT_EQ(DiffLevels(level, again), "") << v;
    }
}

TEST(LevelFile, ProgressWindowsOpenAndCloseWithMessagesOnly) {
    Env env;
    FixtureOptions o = Opts(2);
    FixtureLevel f = BuildFixtureLevel(o);
    const std::string p = env.Write("hills.tr2", f.file);
    {
        ScopedFactory windows;
        CTrLevel level;
        ASSERT_TRUE(level.Load(p, true, false));
        EXPECT_TRUE(windows.opened.empty());
        ASSERT_TRUE(level.Load(p, true, true));
        ASSERT_EQ(windows.opened, std::vector<std::string>{"load:hills"});
        ASSERT_FALSE(windows.log.events.empty());
        EXPECT_EQ(windows.log.events.front(), "range " + std::to_string(f.file.size() - 4));
        EXPECT_EQ(windows.log.events.back(), "close");
        // The last position is the whole file after the magic.
        EXPECT_EQ(windows.log.events[windows.log.events.size() - 2],
                  "pos " + std::to_string(f.file.size() - 4));
        windows.log.events.clear();
        ASSERT_TRUE(level.Save(env.dir.file("o.tr2"), 1, true, true));
        EXPECT_EQ(windows.opened.back(), "save:hills");
        EXPECT_EQ(windows.log.events.front(), "range " + std::to_string(level.GetImageSizeTr123()));
        EXPECT_EQ(windows.log.events.back(), "close");
        // A failing reader closes its window too.
        windows.log.events.clear();
        std::vector<uint8_t> cut(f.file.begin(), f.file.end() - 100);
        EXPECT_FALSE(level.Load(env.Write("cut.tr2", cut), true, true));
        EXPECT_EQ(windows.log.events.back(), "close");
    }
    // Without a factory nothing is shown and everything works.
    CTrLevel level;
    EXPECT_TRUE(level.Load(p, true, true));
}

TEST(LevelFile, UnusedTextureQuestion) {
    Env env;
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("q.tr2", BuildFixtureLevel(Opts(2)).file), true, false));
    // Nothing unused: never asked.
    EXPECT_FALSE(level.DecideKeepUnusedTextures(2));
    EXPECT_TRUE(env.messages.shown().empty());
    level.unusedObjectTextures.resize(3);
    EXPECT_FALSE(level.DecideKeepUnusedTextures(0));
    EXPECT_TRUE(level.DecideKeepUnusedTextures(1));
    EXPECT_TRUE(env.messages.shown().empty());
    env.messages.Answer(MsgAnswer::No);
    EXPECT_FALSE(level.DecideKeepUnusedTextures(2));
    EXPECT_TRUE(level.DecideKeepUnusedTextures(2));  // nobody to answer: the safe answer
    ASSERT_EQ(env.messages.shown().size(), 2u);
    const MessageRequest& q = env.messages.shown()[0];
    EXPECT_EQ(q.text, "Do you want to keep the unused textures in the level ?");
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.safeAnswer, MsgAnswer::Yes);
    // Asked by a save in mode 2 even without messages.
    env.messages.clear();
    EXPECT_TRUE(level.Save(env.dir.file("q2.tr2"), 2, true, false));
    EXPECT_TRUE(env.messages.Saw("Do you want to keep the unused textures in the level ?"));
}

TEST(LevelFile, FailedSavesLeaveTheOldFile) {
    Env env;
    FixtureOptions o = Opts(3);
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("a.tr2", BuildFixtureLevel(o).file), true, true));
    const std::string target = env.Write("keep.tr2", {1, 2, 3});

    // The safe writer fails: the old file stays, the message says why.
    SetSafeWriteFault(SafeWriteFault::Write);
    EXPECT_FALSE(level.Save(target, 1, true, true));
    SetSafeWriteFault(SafeWriteFault::None);
    EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_EQ(env.messages.shown().size(), 1u);
    // The system's text, then what the error number means.
    EXPECT_EQ(env.messages.shown()[0].text, "Can't write the data (error 28).\nNo space left on device.\n");
    EXPECT_EQ(env.messages.shown()[0].icon, MsgIcon::Error);
    EXPECT_EQ(level.path, env.dir.file("a.tr2"));

    // A folder that isn't there: the file can't be created.
    env.messages.clear();
    const std::string nowhere = env.dir.file("no/such/level.tr2");
    EXPECT_FALSE(level.Save(nowhere, 1, true, true));
    ASSERT_EQ(env.messages.shown().size(), 1u);
    EXPECT_EQ(env.messages.shown()[0].text,
              "Can't create the file " + nowhere + " (err 0x00000002).\nNo such file or directory.\n");

    // A level that no longer fits its format: refused, old file kept.
    env.messages.clear();
    level.rooms[0].portals.resize(70000);
    EXPECT_FALSE(level.Save(target, 1, true, true));
    EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
    ASSERT_EQ(env.messages.shown().size(), 1u);
    EXPECT_NE(env.messages.shown()[0].text.find("room portals"), std::string::npos);
    // Quietly without messages.
    env.messages.clear();
    EXPECT_FALSE(level.Save(target, 1, true, false));
    EXPECT_TRUE(env.messages.shown().empty());

    // An empty level is not saved at all.
    CTrLevel empty;
    EXPECT_FALSE(empty.Save(target, 1, true, true));
    EXPECT_EQ(ReadFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
}

TEST(LevelFile, Tr4PageCountsMustMatchThePages) {
    Env env;
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("c.tr4", BuildFixtureLevel(Opts(4)).file), true, true));
    level.pages.emplace_back(kPagePixels, 0);
    EXPECT_FALSE(level.Save(env.dir.file("c2.tr4"), 1, true, true));
    EXPECT_FALSE(FileExists(env.dir.file("c2.tr4")));
    EXPECT_TRUE(env.messages.Saw("page counts"));
}

TEST(LevelFile, UncompressedSoundsSetting) {
    Env env;
    WriteProfileInt("Settings", "SaveUncompressedSounds", 1);
    FixtureOptions o = Opts(4);
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("s.tr4", BuildFixtureLevel(o).file), true, true));
    const std::vector<TrPackedChunk> held = level.samples;
    // Neither sample converts (one is stored, the other not a real WAVE): both as held.
    size_t size = 0;
    std::vector<uint8_t> image = level.BuildImageTr4(&size, false, 1, false);
    EXPECT_EQ(size, image.size());
    CTrLevel again;
    ASSERT_TRUE(again.Load(env.Write("s2.tr4", image), true, true));
    ASSERT_EQ(again.samples.size(), 2u);
    EXPECT_TRUE(again.samples[0] == held[0]);
    EXPECT_TRUE(again.samples[1] == held[1]);
    // The bound counts four times each sample whose sizes differ.
    WriteProfileInt("Settings", "SaveUncompressedSounds", 0);
    const size_t plain = level.GetImageSizeTr4(false);
    WriteProfileInt("Settings", "SaveUncompressedSounds", 1);
    EXPECT_EQ(level.GetImageSizeTr4(false), plain + 3 * held[1].packedSize());
}

namespace {
// An IMA-ADPCM WAVE of one block per channel group: predictor 1000, all nibbles 0 (the
// value stays); with a LIST chunk the format record no longer stands at byte 20.
std::vector<uint8_t> ImaAdpcmWave(int blockAlign, int channels = 1, bool withList = false) {
    const int samplesPerBlock = (blockAlign - 4 * channels) * 2 / channels + 1;
    std::vector<uint8_t> w;
    auto u16 = [&](uint16_t v) { w.push_back(uint8_t(v)); w.push_back(uint8_t(v >> 8)); };
    auto u32 = [&](uint32_t v) { u16(uint16_t(v)); u16(uint16_t(v >> 16)); };
    auto tag = [&](const char* t) { w.insert(w.end(), t, t + 4); };
    tag("RIFF");
    u32(0);
    tag("WAVE");
    if (withList) {
        tag("LIST");
        u32(8);
        tag("INFO");
        u32(0);
    }
    tag("fmt ");
    u32(20);
    u16(0x11);  // IMA ADPCM
    u16(uint16_t(channels));
    u32(22050);
    u32(uint32_t(22050 * blockAlign / samplesPerBlock));
    u16(uint16_t(blockAlign));
    u16(4);
    u16(2);
    u16(uint16_t(samplesPerBlock));
    tag("fact");
    u32(4);
    u32(uint32_t(samplesPerBlock));
    tag("data");
    u32(uint32_t(blockAlign));
    for (int c = 0; c < channels; ++c) {
        u16(1000);
        w.push_back(0);
        w.push_back(0);
    }
    w.insert(w.end(), size_t(blockAlign - 4 * channels), 0);
    const uint32_t riff = uint32_t(w.size() - 8);
    for (int i = 0; i < 4; ++i) w[4 + i] = uint8_t(riff >> (8 * i));
    return w;
}
}  // namespace

TEST(LevelFile, SamplesConvertToPcmWave) {
    TrPackedChunk sample;
    sample.data = ImaAdpcmWave(256);
    sample.unpackedSize = 1000;
    std::vector<uint8_t> pcm = ConvertSampleToPcm(sample);
    ASSERT_FALSE(pcm.empty());
    ASSERT_GE(pcm.size(), 46u);
    const uint32_t dataSize = uint32_t(pcm.size() - 44);
    EXPECT_EQ(std::string(pcm.begin(), pcm.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(pcm, 4), dataSize + 36);
    EXPECT_EQ(std::string(pcm.begin() + 8, pcm.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(pcm, 16), 16u);
    EXPECT_EQ(Le16(pcm, 20), 1);      // PCM
    EXPECT_EQ(Le16(pcm, 22), 1);      // the source's channels
    EXPECT_EQ(Le32(pcm, 24), 22050u);
    EXPECT_EQ(Le32(pcm, 28), 44100u);
    EXPECT_EQ(Le16(pcm, 32), 2);
    EXPECT_EQ(Le16(pcm, 34), 16);
    EXPECT_EQ(std::string(pcm.begin() + 36, pcm.begin() + 40), "data");
    EXPECT_EQ(Le32(pcm, 40), dataSize);
    EXPECT_EQ(dataSize % 2, 0u);
    // 505 samples of 16 bits at the same rate.
    EXPECT_NEAR(double(dataSize), 505 * 2.0, 40.0);
    EXPECT_NEAR(int16_t(Le16(pcm, (44 + dataSize / 2) & ~size_t(1))), 1000, 30);

    // Stereo, with the format record moved by a LIST chunk: the header says two channels.
    TrPackedChunk stereo;
    stereo.data = ImaAdpcmWave(512, 2, true);
    stereo.unpackedSize = 2000;
    std::vector<uint8_t> pcm2 = ConvertSampleToPcm(stereo);
    ASSERT_GE(pcm2.size(), 44u);
    EXPECT_EQ(Le16(pcm2, 22), 2);
    EXPECT_EQ(Le32(pcm2, 28), 88200u);
    EXPECT_EQ(Le16(pcm2, 32), 4);
    EXPECT_EQ((pcm2.size() - 44) % 4, 0u);

    TrPackedChunk junk;
    junk.data = PatternBytes(1, 100);
    junk.unpackedSize = 400;
    EXPECT_TRUE(ConvertSampleToPcm(junk).empty());
    TrPackedChunk tiny;
    tiny.data = {1, 2, 3};
    EXPECT_TRUE(ConvertSampleToPcm(tiny).empty());

    // In a saved level: both size fields hold the PCM WAVE's size.
    Env env;
    WriteProfileInt("Settings", "SaveUncompressedSounds", 1);
    FixtureOptions o = Opts(4);
    o.samples = {{1000, ImaAdpcmWave(256)}, {8, PatternBytes(3, 8)}};
    CTrLevel level, again;
    ASSERT_TRUE(level.Load(env.Write("w.tr4", BuildFixtureLevel(o).file), true, true));
    const std::string out = env.dir.file("w2.tr4");
    ASSERT_TRUE(level.Save(out, 1, true, true));
    ASSERT_TRUE(again.Load(out, true, true));
    ASSERT_EQ(again.samples.size(), 2u);
    EXPECT_EQ(again.samples[0].data, pcm);
    EXPECT_EQ(again.samples[0].unpackedSize, uint32_t(pcm.size()));
    EXPECT_TRUE(again.samples[1] == level.samples[1]);  // sizes equal: as held
}

TEST(LevelFile, DamagedContainersFailCleanly) {
    Env env;
    for (int v = 1; v <= 4; ++v) {
        SCOPED_TRACE(v);
        FixtureOptions o = Opts(v);
        FixtureLevel f = BuildFixtureLevel(o);
        std::vector<size_t> cuts = f.containerStarts;
        for (size_t c = 0; c < f.file.size(); c += (v == 4 ? 997 : 4099)) cuts.push_back(c);
        if (v != 4)
            for (size_t s : f.sectionStarts) cuts.push_back(f.levelDataOffset + s);
        for (size_t cut : cuts) {
            if (v == 4 && cut >= f.containerStarts.back()) continue;  // trailing bytes
            CTrLevel level;
            std::vector<uint8_t> bytes(f.file.begin(), f.file.begin() + cut);
            env.messages.clear();
            EXPECT_FALSE(level.Load(env.Write(Ext(o), bytes), true, true)) << cut;
            EXPECT_EQ(level.version, 0);
            EXPECT_TRUE(level.rooms.empty());
            ASSERT_EQ(env.messages.shown().size(), 1u) << cut;
            EXPECT_EQ(env.messages.shown()[0].text, "Unknown file type !");
        }
    }
}

// Sizes past what any level holds are refused before anything is allocated for them,
// each with its reason: a file larger than a level (not even read), more pages than a
// level has, pointers that would copy their meshes over and over; and a level of nothing
// but zeros after its magic has no room, which every level has.
TEST(LevelFile, SizesPastAnyLevelAreRefusedWithTheirReason) {
    Env env;
    auto refusal = [&](const std::string& path) {
        CTrLevel level;
        env.messages.clear();
        EXPECT_FALSE(level.Load(path, true, true)) << path;
        EXPECT_TRUE(env.messages.Saw("Unknown file type !"));
        EXPECT_EQ(level.version, 0);
        return LevelLog().refusal;
    };
    // A sparse file: nothing of it is read.
    const std::string large = env.dir.file("large.tr2");
    WriteFileBytes(large, {0x2D, 0, 0, 0});
    ASSERT_EQ(::truncate(large.c_str(), (off_t(64) << 20) + 1), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(refusal(large), "Level not read: 67108865 bytes: more than a level holds (at most 67108864)");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));

    for (int v = 1; v <= 4; ++v) {
        std::vector<uint8_t> zeros(65536, 0);
        SetLe32(zeros, 0, MagicForVersion(v));
        const std::string why = refusal(env.Write(v == 4 ? "zeros.tr4" : "zeros.tr2", zeros));
        EXPECT_NE(why.find(v == 4 ? "16-bit pages chunk" : "no room"), std::string::npos) << why;
    }

    FixtureLevel tr2 = BuildFixtureLevel(Opts(2));
    SetLe32(tr2.file, 1796, 257);
    EXPECT_NE(refusal(env.Write("pages.tr2", tr2.file)).find("257 pages, more than a level holds"),
              std::string::npos);
    // What a load would refuse is not written either: the old file stays.
    {
        CTrLevel level;
        const std::string kept = env.Write("kept.tr2", BuildFixtureLevel(Opts(2)).file);
        ASSERT_TRUE(level.Load(kept, true, false));
        level.pages.resize(257, level.pages.empty() ? TrPage(65536, 0xFFFF) : level.pages[0]);
        const std::vector<uint8_t> before = ReadFileBytes(kept);
        env.messages.clear();
        EXPECT_FALSE(level.Save(kept, 1, true, true));
        EXPECT_TRUE(env.messages.Saw("257 texture pages, more than a level holds"));
        EXPECT_EQ(ReadFileBytes(kept), before);
    }

    // 300000 pointers to one empty mesh past offset 0: copies of 70 MB from a file of one.
    // At offset 0 they share the mesh, as in the games: nothing is copied.
    FixtureOptions o = Opts(3);
    o.content["meshes"] = std::vector<uint8_t>(48, 0);
    std::vector<uint8_t> pointers(4 * 300000, 0);
    for (size_t i = 0; i < pointers.size(); i += 4) pointers[i] = 24;
    o.content["mesh pointers"] = pointers;
    EXPECT_NE(refusal(env.Write("pointers.tr2", BuildFixtureLevel(o).file)).find("mesh pointers name more than"),
              std::string::npos);
    o.content["mesh pointers"] = std::vector<uint8_t>(4 * 300000, 0);
    {
        CTrLevel level;
        ASSERT_TRUE(level.Load(env.Write("zeros.tr2", BuildFixtureLevel(o).file), true, false));
        EXPECT_EQ(level.meshPointerCount(), 300000u);
        EXPECT_LT(level.memory.peak(), uint64_t(16) << 20);
    }

    // Nor is what the save would write past them: copies of a level's largest mesh for every
    // pointer. The save refuses it as the load would, and the old file stays.
    {
        CTrLevel level;
        const std::string kept = env.Write("copies.tr2", BuildFixtureLevel(Opts(2)).file);
        ASSERT_TRUE(level.Load(kept, true, false));
        auto big = std::make_unique<TrMeshRecord>();
        big->Init(30000, 30000, 0, true, true);
        level.meshes.push_back(std::move(big));
        level.meshPointers.assign(140, uint32_t(level.meshes.size() - 1));
        const std::vector<uint8_t> before = ReadFileBytes(kept);
        env.messages.clear();
        EXPECT_FALSE(level.Save(kept, 1, true, true));
        EXPECT_TRUE(env.messages.Saw("the 140 mesh pointers name more than"));
        EXPECT_EQ(ReadFileBytes(kept), before);
        // One copy for each pointer: more level data than a level holds.
        level.meshes.resize(level.meshes.size() - 1);
        for (int i = 0; i < 140; ++i) {
            level.meshes.push_back(std::make_unique<TrMeshRecord>());
            level.meshes.back()->Init(30000, 30000, 0, true, true);
            level.meshPointers[size_t(i)] = uint32_t(level.meshes.size() - 1);
        }
        EXPECT_FALSE(level.Save(kept, 1, true, true));
        EXPECT_TRUE(env.messages.Saw("level data: "));
        EXPECT_TRUE(env.messages.Saw("bytes, more than a level holds"));
        EXPECT_EQ(ReadFileBytes(kept), before);
    }
}

TEST(LevelFile, Tr4LiesInSizesAndCountsFail) {
    Env env;
    FixtureOptions o = Opts(4);
    FixtureLevel f = BuildFixtureLevel(o);
    const std::vector<size_t>& at = f.containerStarts;  // counts, 4 chunks, sample count, ...
    auto expectFails = [&](const std::vector<uint8_t>& bytes, const char* what) {
        CTrLevel level;
        env.messages.clear();
        EXPECT_FALSE(level.ReadFileImage(bytes.data(), bytes.size(), "x.tr4", true, false)) << what;
        EXPECT_EQ(level.version, 0) << what;
        EXPECT_TRUE(level.pages.empty()) << what;
        EXPECT_TRUE(env.messages.shown().empty());
    };
    // A page chunk that declares more than its pages: logged as damage, the pages are read
    // and the save writes both page chunks from them.
    auto expectDamageLogged = [&](const std::vector<uint8_t>& bytes, const char* what) {
        CTrLevel level;
        const std::string path = env.Write("damaged.tr4", bytes);
        ASSERT_TRUE(level.Load(path, true, false)) << what;
        EXPECT_EQ(LevelLog().errorCount, 1) << what;
        const std::string saved = env.dir.file("saved.tr4");
        ASSERT_TRUE(level.Save(saved, 1, true, false)) << what;
        CTrLevel again;
        ASSERT_TRUE(again.Load(saved, true, false)) << what;
        EXPECT_EQ(LevelLog().errorCount, 0) << what;
        EXPECT_TRUE(again.pages == level.pages) << what;
    };
    auto patched32 = [&](size_t offset, uint32_t value) {
        std::vector<uint8_t> b = f.file;
        SetLe32(b, offset, value);
        return b;
    };
    // Page counts that the chunks don't hold.
    {
        std::vector<uint8_t> b = f.file;
        SetLe16(b, at[0] + 2, 5);
        expectFails(b, "object page count");
        SetLe16(b, at[0] + 2, 0xFFFF);
        expectFails(b, "huge page count");
    }
    for (int c = 1; c <= 4; ++c) {
        const size_t chunk = at[c];
        const uint32_t un = Le32(f.file, chunk), pk = Le32(f.file, chunk + 4);
        if (c == 4) {  // a damaged third chunk is reported, not refused
            expectFails(patched32(chunk, un + 1), "unpacked + 1");
            expectFails(patched32(chunk, un - 1), "unpacked - 1");
            expectFails(patched32(chunk, 0xFFFFFFFF), "unpacked huge");
        } else if (c != 3) {
            expectDamageLogged(patched32(chunk, un + 1), "unpacked + 1");
            expectDamageLogged(patched32(chunk, 0xFFFFFFFF), "unpacked huge");
            if (c == 1)
                expectDamageLogged(patched32(chunk, un - 1), "unpacked - 1");
            else
                expectFails(patched32(chunk, un - 1), "unpacked - 1");  // pages missing
        }
        expectFails(patched32(chunk + 4, 0xFFFFFFFF), "packed huge");
        expectFails(patched32(chunk + 4, uint32_t(f.file.size())), "packed past the end");
        if (c == 2 || c == 4) {  // the chunks that are inflated (the 32-bit pages are dropped)
            std::vector<uint8_t> b = f.file;
            b[chunk + 8 + pk / 2] ^= 0x55;  // damaged stream
            expectFails(b, "damaged stream");
        }
    }
    expectFails(patched32(at[5], 0xFFFFFFFF), "sample count");
    expectFails(patched32(at[5], 3), "sample count + 1");
    expectFails(patched32(at[6] + 4, 0x7FFFFFFF), "sample size");
    // A level-data chunk whose inflated data lies about a count.
    for (const CountField& c : f.counts) {
        std::vector<uint8_t> d = f.levelData;
        if (c.width == 2)
            SetLe16(d, c.offset, 0xFFFF);
        else
            SetLe32(d, c.offset, 0xFFFFFFFF);
        expectFails(WrapTr4(o, d), c.name.c_str());
    }
    // A chunk that claims a huge unpacked size from a few bytes is refused before inflating.
    {
        std::vector<uint8_t> b = f.file;
        SetLe32(b, at[4], 0x40000000);
        expectFails(b, "bomb");
    }
}

// A damaged third chunk (wrong declared size, cut short, bits flipped) loads, is reported
// under "Detected Errors" like a damaged 32-bit pages chunk, and is written back as read.
TEST(LevelFile, DamagedThirdChunkIsReportedAndKeptAsRead) {
    Env env;
    std::vector<std::vector<uint8_t>> sources{BuildFixtureLevel(Opts(4)).file};
    for (const RealLevel& real : RealLevelFiles()) {
        std::vector<uint8_t> bytes = ReadFileBytes(real.path);
        if (!real.unsupported && bytes.size() > 4 && Le32(bytes, 0) == 0x00345254) {
            sources.push_back(std::move(bytes));
            break;
        }
    }
    // Offset of the n-th chunk (0 the 32-bit pages) of a file.
    auto chunkAt = [](const std::vector<uint8_t>& file, int n) {
        size_t at = 10;
        for (int i = 0; i < n; ++i) at += 8 + Le32(file, at + 4);
        return at;
    };
    auto thirdChunk = [&](const std::vector<uint8_t>& file) {
        const size_t at = chunkAt(file, 2);
        return std::vector<uint8_t>(file.begin() + ptrdiff_t(at),
                                    file.begin() + ptrdiff_t(at + 8 + Le32(file, at + 4)));
    };
    for (const std::vector<uint8_t>& file : sources) {
        const size_t at = chunkAt(file, 2);
        const uint32_t unpacked = Le32(file, at), packed = Le32(file, at + 4);
        std::vector<std::pair<std::string, std::vector<uint8_t>>> variants;
        variants.emplace_back("intact", file);
        variants.emplace_back("declared + 1", file);
        SetLe32(variants.back().second, at, unpacked + 1);
        variants.emplace_back("declared - 1", file);
        SetLe32(variants.back().second, at, unpacked - 1);
        variants.emplace_back("bits flipped", file);
        variants.back().second[at + 8 + packed / 2] ^= 0x55;
        std::vector<uint8_t> cut(file.begin(), file.begin() + ptrdiff_t(at + 8 + packed / 2));
        SetLe32(cut, at + 4, packed / 2);
        cut.insert(cut.end(), file.begin() + ptrdiff_t(at + 8 + packed), file.end());
        variants.emplace_back("cut short", cut);
        for (const auto& [what, bytes] : variants) {
            SCOPED_TRACE(what);
            env.messages.clear();
            CTrLevel level;
            const std::string path = env.Write("damaged.tr4", bytes);
            ASSERT_TRUE(level.Load(path, true, true));
            const bool intact = what == "intact";
            EXPECT_EQ(LevelLog().errorCount, intact ? 0 : 1);
            EXPECT_EQ(env.messages.Saw("Warning: found 1 errors parsing file " + path), !intact);
            std::ifstream logFile(env.dir.file("damaged_log.txt"), std::ios::binary);
            const std::string log((std::istreambuf_iterator<char>(logFile)), {});
            EXPECT_EQ(log.find("ERROR: third texture chunk damaged") != std::string::npos, !intact);
            EXPECT_EQ(thirdChunk(Saved(level, env, "saved.tr4")), thirdChunk(bytes));
        }
    }
}

TEST(LevelFile, SectorCountsPastTheEndFail) {
    Env env;
    FixtureOptions o = Opts(2);
    FixtureLevel f = BuildFixtureLevel(o);
    for (const CountField& c : f.counts) {
        if (c.name != "room sectors z" && c.name != "room sectors x") continue;
        std::vector<uint8_t> b = f.file;
        SetLe16(b, f.levelDataOffset + c.offset, 0x4000);
        CTrLevel level;
        EXPECT_FALSE(level.Load(env.Write("z.tr2", b), true, true));
        EXPECT_TRUE(env.messages.Saw("Unknown file type !"));
    }
}

TEST(LevelFile, EightBitPagesUseThePaletteTableMapping) {
    Env env;
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("t.tr2", BuildFixtureLevel(Opts(2)).file), true, false));
    // A palette with repeated colours (ties: the first entry wins) and a black entry 0.
    for (int i = 0; i < 256; ++i) {
        level.palette[i][0] = uint8_t((i / 4) % 64);
        level.palette[i][1] = uint8_t((i * 3) % 64);
        level.palette[i][2] = uint8_t((i / 2) % 64);
    }
    level.palette[0][0] = level.palette[0][1] = level.palette[0][2] = 0;
    level.colourIndices.clear();  // new pages: no colour has an index from the file
    // Page 0: every opaque colour twice; page 1: transparent colours and a few opaque.
    for (size_t i = 0; i < kPagePixels; ++i) {
        level.pages[0][i] = uint16_t(0x8000 | (i & 0x7FFF));
        level.pages[1][i] = uint16_t(i % 5 ? (i * 7) & 0x7FFF : 0x8000 | (i & 0x7FFF));
    }
    size_t size = 0;
    const std::vector<uint8_t> image = level.BuildImageTr123(&size, false, 1, false);
    const std::vector<uint8_t> table = BuildPage8Table(level.palette);
    std::vector<uint8_t> expected(2 * kPage8Bytes);
    ConvertPage16To8(level.pages[0].data(), 256, 256, expected.data(), table.data());
    ConvertPage16To8(level.pages[1].data(), 256, 256, expected.data() + kPage8Bytes, table.data());
    const size_t at = 4 + 768 + 1024 + 4;
    EXPECT_EQ(std::vector<uint8_t>(image.begin() + at, image.begin() + at + 2 * kPage8Bytes), expected);
    // An opaque pixel never becomes the transparent index, even pure black.
    for (size_t i = 0; i < kPagePixels; ++i) EXPECT_NE(image[at + i], 0) << i;
    EXPECT_EQ(image[at + kPage8Bytes + 1], 0);  // transparent
}

TEST(LevelFile, DetectedErrorsAfterALoadThatFoundSome) {
    // The fixture's patterned animation data gives the object model errors to fix.
    Env env;
    ScopedFactory windows;
    FixtureOptions o = Opts(2);
    const std::string p = env.Write("errors.tr2", BuildFixtureLevel(o).file);
    CTrLevel level;
    ASSERT_TRUE(level.Load(p, false, false));  // messages off: no window, no error box
    EXPECT_TRUE(windows.opened.empty());
    const LevelLogState& log = LevelLog();
    ASSERT_GT(log.errorCount, 0);
    ASSERT_EQ(env.messages.shown().size(), 1u);
    const MessageRequest& m = env.messages.shown()[0];
    EXPECT_EQ(m.caption, "Detected Errors");
    EXPECT_EQ(m.icon, MsgIcon::None);
    EXPECT_EQ(m.buttons, MsgButtons::Ok);
    EXPECT_EQ(m.text, "Warning: found " + std::to_string(log.errorCount) + " errors parsing file " + p +
                          "\r\n\r\nThe found errors have been fixed anyway you should save current "
                          "tr4 file to save the error fixing.\r\nYou can find more infos about "
                          "detected errors in log file saved in: " + env.dir.file("errors_log.txt"));
    // The same file without the build finds nothing to fix: no warning.
    env.messages.clear();
    CTrLevel plain;
    ASSERT_TRUE(plain.Load(p, true, false));
    EXPECT_EQ(LevelLog().errorCount, 0);
    EXPECT_TRUE(env.messages.shown().empty());
    // A failed load never warns, whatever was counted before it.
    std::vector<uint8_t> cut = BuildFixtureLevel(o).file;
    cut.resize(cut.size() / 2);
    AppendLogLine("counted", true);
    CTrLevel failed;
    EXPECT_FALSE(failed.Load(env.Write("cut.tr2", cut), false, false));
    EXPECT_TRUE(env.messages.shown().empty());
}

TEST(LevelFile, BytesAfterTheLevelDataAreLeftOut) {
    Env env;
    FixtureOptions o = Opts(2, false);
    FixtureLevel f = BuildFixtureLevel(o);
    std::vector<uint8_t> longer = f.file;
    longer.insert(longer.end(), {9, 8, 7, 6, 5});
    CTrLevel level;
    ASSERT_TRUE(level.Load(env.Write("extra.tr2", longer), true, true));
    EXPECT_EQ(Saved(level, env, "extra-out.tr2"), f.file);
    EXPECT_TRUE(env.messages.shown().empty());
}

// The batch converter run as the real program: no display, standard input from /dev/null
// (or a pipe nobody writes to), exit statuses 0, 255 (load failed) and 254 (save failed).
#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "TestSupport.h"
#include "batch/BatchMode.h"
#include "batch/CmdLine.h"
#include "batch/ConsoleProgress.h"
#include "fixtures/LevelBuilder.h"
#include "fixtures/SampleLevel.h"
#include "fixtures/WaveFiles.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {
namespace {

using test::BuildFixtureLevel;
using test::FixtureOptions;
using test::Le32;
using test::ReadFileBytes;
using test::TempDir;
using test::WriteFileBytes;

using RunResult = test::ProgramRun;
enum class Stdin { DevNull, OpenPipe };

// A work folder and a separate settings folder for one run.
struct Workspace {
    TempDir work;
    TempDir config;
    // The program run in the work folder, its settings in the other, no display.
    RunResult Run(const std::vector<std::string>& words, Stdin in = Stdin::DevNull) {
        return test::RunProgramOnce(test::ProgramPath(), words, Setup({}, in == Stdin::OpenPipe));
    }
    test::ProgramSetup Setup(std::vector<std::pair<std::string, std::string>> env = {}, bool inputPipe = false,
                             uint64_t addressLimit = 0) const {
        env.emplace_back("LITHOSCOPE_CONFIG_DIR", config.path());
        return {work.path(), env, inputPipe, addressLimit};
    }
    std::string file(const std::string& name) const { return work.file(name); }
};

// Names in a folder, "." and ".." left out.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d))
            if (std::strcmp(e->d_name, ".") && std::strcmp(e->d_name, "..")) names.push_back(e->d_name);
        ::closedir(d);
    }
    return names;
}

const std::vector<uint8_t> kOldBytes = {'o', 'l', 'd', ' ', 'f', 'i', 'l', 'e'};

TEST(BatchMode, NothingToLoad) {
    // "s" alone: exit 0, nothing loaded, nothing written.
    Workspace ws;
    RunResult r = ws.Run({"s"});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Entries(ws.work.path()).empty());
    // Options and mode but no level: the same.
    r = ws.Run({"s", "3", "2"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(Entries(ws.work.path()).empty());
}

TEST(BatchMode, LoadFailuresGive255AndLeaveTheOutput) {
    Workspace ws;
    WriteFileBytes(ws.file("out.tr2"), kOldBytes);

    // Missing input.
    RunResult r = ws.Run({"s", "0", "1", ws.file("missing.tr2"), ws.file("out.tr2")});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 255) << r.output;
    EXPECT_EQ(ReadFileBytes(ws.file("out.tr2")), kOldBytes);
    // Missing input saved over itself: still nothing created.
    r = ws.Run({"s", "0", "1", "missing.tr2"});
    EXPECT_EQ(r.status, 255) << r.output;
    EXPECT_FALSE(FileExists(ws.file("missing.tr2")));

    // A folder is no level.
    ::mkdir(ws.file("folder.tr2").c_str(), 0755);
    r = ws.Run({"s", "0", "1", "folder.tr2", "out.tr2"});
    EXPECT_EQ(r.status, 255) << r.output;
    EXPECT_EQ(ReadFileBytes(ws.file("out.tr2")), kOldBytes);

    // Garbage, an empty file, a bare magic word, an encrypted level.
    std::vector<std::vector<uint8_t>> bad = {
        std::vector<uint8_t>(5000, 0x5A),
        {},
        {0x2D, 0, 0, 0},
        {0x38, 0x00, 0x18, 0xFF, 1, 2, 3},
        {'T', 'R', '4', 'c', 0, 0, 0, 0, 0, 0, 0, 0},
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        WriteFileBytes(ws.file("bad.tr2"), bad[i]);
        r = ws.Run({"s", "3", "1", "bad.tr2", "out.tr2"});
        EXPECT_FALSE(r.timedOut) << i;
        EXPECT_EQ(r.status, 255) << i << ": " << r.output;
        EXPECT_EQ(ReadFileBytes(ws.file("out.tr2")), kOldBytes) << i;
        EXPECT_EQ(ReadFileBytes(ws.file("bad.tr2")), bad[i]) << i;
    }
    // With messages on, the reason is said on the console.
    EXPECT_NE(r.output.find("NG encrypted TR4 file !"), std::string::npos) << r.output;
}

std::vector<uint8_t> FixtureFile(int version, uint32_t tr3Magic = 0xFF180038) {
    FixtureOptions o;
    o.version = version;
    o.tr3Magic = tr3Magic;
    return BuildFixtureLevel(o).file;
}

// Loads a file in this process, quietly: whether it loads as that version.
bool LoadsAs(const std::string& path, int version) {
    ScriptedMessageBackend quiet;
    ScopedMessageBackend scope(&quiet);
    CTrLevel level;
    return level.Load(path, false, false) && level.version == version;
}

TEST(BatchMode, CaseAndSwitchCharacters) {
    // "S" is no batch word: the editor path, which this build doesn't have, writes nothing.
    Workspace ws;
    WriteFileBytes(ws.file("bad.tr2"), std::vector<uint8_t>(100, 1));
    RunResult r = ws.Run({"S", "0", "1", "bad.tr2", "out.tr2"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(r.output.find("interactive editor is not available"), std::string::npos);
    EXPECT_FALSE(FileExists(ws.file("out.tr2")));
    // "-s" and "/s" are batch words: the bad level fails to load.
    EXPECT_EQ(ws.Run({"-s", "0", "1", "bad.tr2", "out.tr2"}).status, 255);
    EXPECT_EQ(ws.Run({"/s", "0", "1", "bad.tr2", "out.tr2"}).status, 255);
    EXPECT_EQ(ws.Run({"-s"}).status, 0);
    // The files are named as typed, a leading '-' included.
    WriteFileBytes(ws.file("a.PHD"), FixtureFile(1));
    EXPECT_EQ(ws.Run({"s", "0", "1", "a.PHD", "-keep.PHD"}).status, 0);
    EXPECT_TRUE(LoadsAs(ws.file("-keep.PHD"), 1));
    EXPECT_FALSE(FileExists(ws.file("keep.PHD")));
}

TEST(BatchMode, ConsoleProgressLine) {
    // Away from a terminal the line is printed once per quarter of a bar.
    FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    {
        CConsoleProgress p("load", "level", f);
        p.SetMainRange(1000);
        for (uint32_t pos = 0; pos <= 1000; pos += 10) p.SetMainPos(pos);
        p.SetBuildRange(4);
        for (uint32_t pos = 0; pos <= 4; ++pos) p.SetBuildPos(pos);
        EXPECT_EQ(p.Line(), "Level loading level: Loading 100%, Converting 100%");
        p.Close();
        p.SetMainPos(0);  // after closing nothing more is printed
    }
    std::fflush(f);
    std::rewind(f);
    std::string text;
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, f)) text.append(buf, n);
    std::fclose(f);
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1)
        lines.push_back(text.substr(start, nl - start));
    // Main bar 0, 25, 50, 75, 100; then the build bar 25, 50, 75, 100.
    ASSERT_EQ(lines.size(), 9u) << text;
    EXPECT_EQ(lines[0], "Level loading level: Loading 0%, Converting 0%");
    EXPECT_EQ(lines[1], "Level loading level: Loading 25%, Converting 0%");
    EXPECT_EQ(lines[4], "Level loading level: Loading 100%, Converting 0%");
    EXPECT_EQ(lines[8], "Level loading level: Loading 100%, Converting 100%");

    FILE* g = std::tmpfile();
    ASSERT_NE(g, nullptr);
    CConsoleProgress s("save", "x", g);
    s.SetMainRange(0);
    s.SetRepackRange(10);
    s.SetRepackPos(5);
    s.SetTileCounts(12, 9);
    EXPECT_EQ(s.Line(), "Level saving x: Saving 0%, Converting 0%, Converting 50%, tiles 12 -> 9");
    s.SetRepackPos(50);  // past the end counts as done
    EXPECT_NE(s.Line().find("Converting 100%, tiles"), std::string::npos);
    s.Close();
    std::fclose(g);
}

// ---- Levels -------------------------------------------------------------------------------

ino_t InodeOf(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST(BatchMode, SavesOverItself) {
    // A Tomb Raider III level read with the old magic is written with the new one: proof
    // that the file was saved again, in place.
    Workspace ws;
    WriteFileBytes(ws.file("level.tr2"), FixtureFile(3, 0xFF080038));
    const ino_t before = InodeOf(ws.file("level.tr2"));
    RunResult r = ws.Run({"s", "0", "1", "level.tr2"});
    EXPECT_FALSE(r.timedOut);
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<uint8_t> after = ReadFileBytes(ws.file("level.tr2"));
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(Le32(after, 0), 0xFF180038u);
    EXPECT_NE(InodeOf(ws.file("level.tr2")), before);  // replaced whole, not rewritten in place
    EXPECT_TRUE(LoadsAs(ws.file("level.tr2"), 3));
}

TEST(BatchMode, SavesToTheOutputLeavingTheInput) {
    for (int version : {1, 2, 3, 4}) {
        Workspace ws;
        const std::vector<uint8_t> input = FixtureFile(version);
        WriteFileBytes(ws.file("in.lvl"), input);
        WriteFileBytes(ws.file("out.lvl"), kOldBytes);
        RunResult r = ws.Run({"s", "0", "1", "in.lvl", ws.file("out.lvl")});
        EXPECT_FALSE(r.timedOut) << version;
        EXPECT_EQ(r.status, 0) << version << ": " << r.output;
        EXPECT_EQ(ReadFileBytes(ws.file("in.lvl")), input) << version;
        EXPECT_TRUE(LoadsAs(ws.file("out.lvl"), version)) << version;
    }
}

TEST(BatchMode, SaveFailuresGive254AndKeepTheOldFile) {
    Workspace ws;
    const std::vector<uint8_t> input = FixtureFile(2);
    WriteFileBytes(ws.file("in.tr2"), input);

    // A folder that does not exist.
    RunResult r = ws.Run({"s", "0", "1", "in.tr2", ws.file("nowhere/out.tr2")});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 254) << r.output;
    EXPECT_FALSE(FileExists(ws.file("nowhere")));

    // A "folder" that is a regular file.
    WriteFileBytes(ws.file("plain"), kOldBytes);
    r = ws.Run({"s", "3", "1", "in.tr2", ws.file("plain/out.tr2")});
    EXPECT_EQ(r.status, 254) << r.output;
    EXPECT_EQ(ReadFileBytes(ws.file("plain")), kOldBytes);

    // An existing folder in the output's place stays a folder with its contents.
    ::mkdir(ws.file("taken.tr2").c_str(), 0755);
    WriteFileBytes(ws.file("taken.tr2/keep"), kOldBytes);
    r = ws.Run({"s", "0", "1", "in.tr2", "taken.tr2"});
    EXPECT_EQ(r.status, 254) << r.output;
    EXPECT_EQ(ReadFileBytes(ws.file("taken.tr2/keep")), kOldBytes);

    // A read-only file (root writes through permission bits, so only for other users).
    if (::geteuid() != 0) {
        WriteFileBytes(ws.file("ro.tr2"), kOldBytes);
        ::chmod(ws.file("ro.tr2").c_str(), 0444);
        r = ws.Run({"s", "0", "1", "in.tr2", "ro.tr2"});
        EXPECT_EQ(r.status, 254) << r.output;
        EXPECT_EQ(ReadFileBytes(ws.file("ro.tr2")), kOldBytes);
    }
    // A chain of more links than the system follows: refused as the system refuses it,
    // every link and the file they name as they were.
    WriteFileBytes(ws.file("end.tr2"), kOldBytes);
    std::string head = "end.tr2";
    for (int i = 0; i < 45; ++i) {
        const std::string link = "link" + std::to_string(i) + ".tr2";
        ASSERT_EQ(::symlink(head.c_str(), ws.file(link).c_str()), 0);
        head = link;
    }
    r = ws.Run({"s", "2", "1", "in.tr2", head});
    EXPECT_EQ(r.status, 254) << r.output;
    EXPECT_NE(r.output.find("Can't create the file " + head + " (err 0x00000028).\n" +
                            std::strerror(ELOOP) + ".\n"), std::string::npos) << r.output;
    EXPECT_EQ(ReadFileBytes(ws.file("end.tr2")), kOldBytes);
    struct stat st;  // the link the rename would have replaced
    EXPECT_TRUE(::lstat(ws.file("link4.tr2").c_str(), &st) == 0 && S_ISLNK(st.st_mode));

    EXPECT_EQ(ReadFileBytes(ws.file("in.tr2")), input);
    // No temporary file is left behind anywhere.
    for (const std::string& name : Entries(ws.work.path()))
        EXPECT_NE(name[0], '.') << name;
}

TEST(BatchMode, QuestionAndMessagesNeverBlock) {
    // Save mode 2 with standard input a pipe that nobody writes to: were the question to
    // read it, the run would hang and be killed.
    Workspace ws;
    WriteFileBytes(ws.file("in.tr2"), test::BuildSampleLevelTr2(true));
    auto unusedTextures = [](const std::string& path) -> int {
        ScriptedMessageBackend quiet;
        ScopedMessageBackend scope(&quiet);
        CTrLevel level;
        return level.Load(path, false, false) ? int(level.unusedObjectTextures.size()) : -1;
    };
    // The fourth object texture is used by no face.
    EXPECT_EQ(unusedTextures(ws.file("in.tr2")), 1);
    for (const char* options : {"0", "3"}) {
        RunResult r = ws.Run({"s", options, "2", "in.tr2", "out.tr2"}, Stdin::OpenPipe);
        EXPECT_FALSE(r.timedOut) << options << ": " << r.output;
        EXPECT_EQ(r.status, 0) << options << ": " << r.output;
        EXPECT_TRUE(LoadsAs(ws.file("out.tr2"), 2)) << options;
        const bool asked = r.output.find("Do you want to keep the unused textures in the level ?") !=
                           std::string::npos;
        EXPECT_TRUE(asked) << options << ": " << r.output;
        // Nobody at a terminal: the answer that keeps them, said on the console.
        EXPECT_NE(r.output.find("(answered Yes)"), std::string::npos) << r.output;
        EXPECT_EQ(unusedTextures(ws.file("out.tr2")), 1) << options;
    }
    // Mode 0 drops it without asking.
    RunResult r = ws.Run({"s", "0", "0", "in.tr2", "out.tr2"}, Stdin::OpenPipe);
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("Do you want to keep"), std::string::npos) << r.output;
    EXPECT_EQ(unusedTextures(ws.file("out.tr2")), 0);
}

TEST(BatchMode, ProgressLinesWithTheOptionBits) {
    Workspace ws;
    WriteFileBytes(ws.file("in.tr4"), FixtureFile(4));
    RunResult r = ws.Run({"s", "3", "1", "in.tr4", "out.tr4"});
    ASSERT_EQ(r.status, 0) << r.output;
    // Both windows are titled with the level's name, the one it was loaded with.
    EXPECT_NE(r.output.find("Level loading in: Loading"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Level saving in: Saving"), std::string::npos) << r.output;
    // Without them: no progress at all.
    r = ws.Run({"s", "0", "1", "in.tr4", "out.tr4"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("Level loading"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Level saving"), std::string::npos) << r.output;
    // Only the save's bit: only the save's line.
    r = ws.Run({"s", "2", "1", "in.tr4", "out.tr4"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("Level loading"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("Level saving"), std::string::npos) << r.output;
}

TEST(BatchMode, LongPaths) {
    // Well past the 259 characters a path field once held.
    Workspace ws;
    std::string folder = ws.work.path();
    for (int i = 0; i < 6; ++i) {
        folder += "/" + std::string(60, char('a' + i));
        ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    }
    const std::string in = folder + "/in.tr2", out = folder + "/out.tr2";
    ASSERT_GT(in.size(), 300u);
    WriteFileBytes(in, FixtureFile(2));
    RunResult r = ws.Run({"/s", "0", "1", in, out});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(LoadsAs(out, 2));
}

// Offsets of the samples of a Tomb Raider IV file: {offset of the size fields, packed size}.
std::vector<std::pair<size_t, uint32_t>> Tr4Samples(const std::vector<uint8_t>& f) {
    std::vector<std::pair<size_t, uint32_t>> out;
    size_t pos = 10;
    for (int chunk = 0; chunk < 4; ++chunk) pos += 8 + Le32(f, pos + 4);
    const uint32_t count = Le32(f, pos);
    pos += 4;
    for (uint32_t i = 0; i < count && pos + 8 <= f.size(); ++i) {
        out.push_back({pos, Le32(f, pos + 4)});
        pos += 8 + Le32(f, pos + 4);
    }
    return out;
}

TEST(BatchMode, FollowsTheSaveUncompressedSoundsSetting) {
    // A Tomb Raider IV level with one ADPCM sample at 22050 Hz (its unpacked size differs
    // from the stored one): with the setting on it is saved as 16-bit PCM, with it off as
    // held. (The writer takes a converted sample only up to four times the stored size.)
    FixtureOptions o;
    o.version = 4;
    o.defaultSamples = false;
    const std::vector<uint8_t> wave = test::FlatImaAdpcmWave(22050, 2, 1000);
    o.samples.push_back({uint32_t(wave.size() * 4), wave});
    Workspace ws;
    WriteFileBytes(ws.file("in.tr4"), BuildFixtureLevel(o).file);

    RunResult r = ws.Run({"s", "0", "1", "in.tr4", "off.tr4"});
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<uint8_t> off = ReadFileBytes(ws.file("off.tr4"));
    auto samples = Tr4Samples(off);
    ASSERT_EQ(samples.size(), 1u);
    EXPECT_EQ(samples[0].second, wave.size());
    EXPECT_TRUE(std::equal(wave.begin(), wave.end(), off.begin() + samples[0].first + 8));
    // Start-up wrote the settings back as 0 or 1.
    std::vector<uint8_t> ini = ReadFileBytes(ws.config.file("settings.ini"));
    EXPECT_NE(std::string(ini.begin(), ini.end()).find("SaveUncompressedSounds=0"),
              std::string::npos);

    const std::string on = "[Settings]\nSaveUncompressedSounds=5\n";
    WriteFileBytes(ws.config.file("settings.ini"), std::vector<uint8_t>(on.begin(), on.end()));
    r = ws.Run({"s", "0", "1", "in.tr4", "on.tr4"});
    ASSERT_EQ(r.status, 0) << r.output;
    std::vector<uint8_t> pcm = ReadFileBytes(ws.file("on.tr4"));
    samples = Tr4Samples(pcm);
    ASSERT_EQ(samples.size(), 1u);
    const size_t at = samples[0].first;
    // Both sizes the new size; a 44-byte PCM header; the 2 x 505 samples, all 1000.
    EXPECT_EQ(Le32(pcm, at), samples[0].second);
    std::vector<uint8_t> out(pcm.begin() + at + 8, pcm.begin() + at + 8 + samples[0].second);
    ASSERT_GE(out.size(), 44u);
    EXPECT_EQ(std::string(out.begin(), out.begin() + 4), "RIFF");
    EXPECT_EQ(test::Le16(out, 20), 1);      // PCM
    EXPECT_EQ(test::Le16(out, 22), 1);      // mono
    EXPECT_EQ(Le32(out, 24), 22050u);
    EXPECT_EQ(test::Le16(out, 34), 16);
    EXPECT_EQ(Le32(out, 40), out.size() - 44);
    std::vector<int16_t> s = test::PcmSamples(out, 44);
    EXPECT_EQ(s.size(), 1010u);
    EXPECT_EQ(std::count(s.begin(), s.end(), int16_t(1000)), ptrdiff_t(s.size()));
    ini = ReadFileBytes(ws.config.file("settings.ini"));
    EXPECT_NE(std::string(ini.begin(), ini.end()).find("SaveUncompressedSounds=1"),
              std::string::npos);
}

TEST(BatchMode, RunBatchInProcess) {
    // The run's own codes, before they become process statuses.
    test::ScopedConfigDir config;
    TempDir dir;
    WriteFileBytes(dir.file("in.phd"), FixtureFile(1));
    CCmdLine c;
    c.m_bBatch = true;
    EXPECT_EQ(RunBatch(c), kBatchSaved);  // nothing to load
    c.m_szInputPath = dir.file("missing.phd");
    EXPECT_EQ(RunBatch(c), kBatchLoadFailed);
    c.m_szInputPath = dir.file("in.phd");
    c.m_szOutputPath = dir.file("no/such/folder.phd");
    EXPECT_EQ(RunBatch(c), kBatchSaveFailed);
    c.m_szOutputPath = dir.file("out.phd");
    c.m_nSaveMode = 1;
    EXPECT_EQ(RunBatch(c), kBatchSaved);
    EXPECT_TRUE(LoadsAs(dir.file("out.phd"), 1));
    EXPECT_EQ(ProcessStatus(kBatchLoadFailed), 255);
    EXPECT_EQ(ProcessStatus(kBatchSaveFailed), 254);
    EXPECT_EQ(ProcessStatus(kBatchSaved), 0);
}

// The bundled sample; run with LITHOSCOPE_WRITE_SAMPLE=1 to write it again.
TEST(BatchMode, WriteBundledSample) {
    if (!std::getenv("LITHOSCOPE_WRITE_SAMPLE")) GTEST_SKIP() << "set LITHOSCOPE_WRITE_SAMPLE=1";
    const std::string folder = std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/samples";
    ::mkdir(folder.c_str(), 0755);
    std::vector<uint8_t> bytes = test::BuildSampleLevelTr2();
    ASSERT_TRUE(WriteFileSafely(folder + "/sample.tr2", bytes.data(), bytes.size()));
}

TEST(BatchMode, BundledSampleLevel) {
    const std::string sample = std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/samples/sample.tr2";
    ASSERT_TRUE(FileExists(sample));
    const std::vector<uint8_t> bytes = ReadFileBytes(sample);
    EXPECT_EQ(bytes, test::BuildSampleLevelTr2()) << "regenerate with LITHOSCOPE_WRITE_SAMPLE=1";

    // A copy, so that the log goes beside it. It loads without a single error.
    Workspace ws;
    WriteFileBytes(ws.file("sample.tr2"), bytes);
    {
        ScriptedMessageBackend quiet;
        ScopedMessageBackend scope(&quiet);
        CTrLevel level;
        ASSERT_TRUE(level.Load(ws.file("sample.tr2"), false, false));
        EXPECT_EQ(LevelLog().errorCount, 0);
        EXPECT_FALSE(quiet.Saw("Detected Errors"));
        EXPECT_EQ(level.version, 2);
        EXPECT_EQ(level.roomCount(), 1);
        EXPECT_EQ(level.moveableCount(), 1u);
        EXPECT_EQ(level.staticMeshCount(), 1u);
        EXPECT_EQ(level.spriteSequenceCount(), 1u);
        EXPECT_EQ(level.itemCount(), 2u);
        EXPECT_EQ(level.meshPointerCount(), 2u);
        EXPECT_EQ(level.frameCount(), 32u * 11u);
        EXPECT_EQ(level.moveableList.size(), 1u);
        EXPECT_EQ(level.staticMeshList.size(), 1u);
        EXPECT_EQ(level.spriteList.size(), 1u);
        // Its page and the palette tile.
        EXPECT_EQ(level.pageCount(), 2u);
    }
    RunResult r = ws.Run({"s", "1", "1", "sample.tr2", "out.tr2"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output.find("Detected Errors"), std::string::npos) << r.output;
    EXPECT_TRUE(LoadsAs(ws.file("out.tr2"), 2));
    EXPECT_EQ(ReadFileBytes(ws.file("sample.tr2")), bytes);
}

TEST(BatchMode, RealLevels) {
    auto levels = test::RealLevelFiles();
    if (levels.empty()) GTEST_SKIP() << "no real levels";
    for (const auto& level : levels) {
        // A copy, so that the level log is written beside it and not among the real levels.
        Workspace ws;
        const std::string copy = ws.file(FileNameOf(level.path));
        WriteFileBytes(copy, ReadFileBytes(level.path));
        RunResult r = ws.Run({"s", "0", "1", copy, "out" + ExtensionOf(level.path)});
        EXPECT_FALSE(r.timedOut) << level.path;
        if (level.unsupported) {
            EXPECT_EQ(r.status, 255) << level.path << ": " << r.output;
            EXPECT_FALSE(FileExists(ws.file("out" + ExtensionOf(level.path)))) << level.path;
        } else {
            EXPECT_EQ(r.status, 0) << level.path << ": " << r.output;
            // The batch run lets go of the object model as it writes it; the editor's save
            // keeps it to build it again. Both write the same file.
            ScriptedMessageBackend messages;
            ScopedMessageBackend scoped(&messages);
            test::ScopedConfigDir config;
            CTrLevel editor;
            ASSERT_TRUE(editor.Load(copy, false, false)) << level.path;
            const std::string saved = ws.file("editor" + ExtensionOf(level.path));
            ASSERT_TRUE(editor.Save(saved, 1, false, false)) << level.path;
            EXPECT_TRUE(ReadFileBytes(saved) == ReadFileBytes(ws.file("out" + ExtensionOf(level.path))))
                << level.path;
            EXPECT_FALSE(editor.moveableList.empty() && !editor.moveables.empty()) << level.path;
        }
    }
}

// ---- Files beside the level ---------------------------------------------------------------

bool IsLink(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsFifo(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

std::string AsText(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

TEST(BatchMode, SavesThroughLinksAndKeepsTheSettingsFile) {
    // The level is a link into another folder; the settings file is a link too, with a
    // comment, a value of somebody else's and a value start-up writes back as 0 or 1.
    Workspace ws;
    ASSERT_EQ(::mkdir(ws.file("levels").c_str(), 0755), 0);
    const std::string real = ws.file("levels/level.tr2");
    WriteFileBytes(real, FixtureFile(3, 0xFF080038));
    ASSERT_EQ(::symlink("levels/level.tr2", ws.file("link.tr2").c_str()), 0);
    const std::string ini = ws.config.file("kept.ini");
    const std::string before = "; mine\n[Settings]\nShowRealMeshes = 5\nMyOwn=yes\n";
    WriteFileBytes(ini, std::vector<uint8_t>(before.begin(), before.end()));
    ASSERT_EQ(::symlink("kept.ini", ws.config.file("settings.ini").c_str()), 0);

    RunResult r = ws.Run({"s", "0", "1", "link.tr2"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_TRUE(IsLink(ws.file("link.tr2")));
    const std::vector<uint8_t> after = ReadFileBytes(real);
    ASSERT_GE(after.size(), 4u);
    EXPECT_EQ(Le32(after, 0), 0xFF180038u);  // saved again, into the link's file
    EXPECT_TRUE(IsLink(ws.config.file("settings.ini")));
    const std::string settings = AsText(ReadFileBytes(ini));
    EXPECT_EQ(settings.rfind("; mine\n[Settings]\nShowRealMeshes = 1\nMyOwn=yes\n", 0), 0u) << settings;
    EXPECT_NE(settings.find("SaveUncompressedSounds=0\n"), std::string::npos) << settings;
    for (const std::string& name : Entries(ws.work.path())) EXPECT_NE(name[0], '.') << name;
}

// Runs the program with its safe writes stopping halfway; the first write that stops with
// a temporary file beside out gets the signal. The exit status (128 + signal when it
// killed the program) and whether the signal was sent.
std::pair<int, bool> RunInterrupted(const std::vector<std::string>& words, Workspace& ws,
                                    const std::string& out, int signal) {
    const pid_t pid = test::StartProgram(test::ProgramPath(), words,
                                         ws.Setup({{"LITHOSCOPE_SAFE_WRITE_FAULT", "stop"}}),
                                         ::open("/dev/null", O_RDONLY), "/dev/null");
    if (pid < 0) return {-1, false};
    const std::string prefix = "." + FileNameOf(out) + ".";
    bool sent = false;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WUNTRACED | WNOHANG);
        if (done == pid && WIFSTOPPED(status)) {
            bool writing = false;
            for (const std::string& name : Entries(FolderOf(out)))
                writing = writing || name.rfind(prefix, 0) == 0;
            if (writing && !sent) {
                ::kill(pid, signal);
                sent = true;
            }
            ::kill(pid, SIGCONT);
            continue;
        }
        if (done == pid) return {WIFSIGNALED(status) ? 128 + WTERMSIG(status) : WEXITSTATUS(status), sent};
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return {-1, sent};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

TEST(BatchMode, InterruptedSaveLeavesNoTemporaryFile) {
    // The largest real level there is (else a synthetic one), saved over another file and
    // over itself; Ctrl+C, SIGTERM or Ctrl+\ while its bytes go out.
    std::string source;
    size_t largest = 0;
    for (const auto& level : test::RealLevelFiles()) {
        struct stat st;
        if (!level.unsupported && ::stat(level.path.c_str(), &st) == 0 && size_t(st.st_size) > largest) {
            largest = size_t(st.st_size);
            source = level.path;
        }
    }
    const std::vector<uint8_t> input = source.empty() ? FixtureFile(4) : ReadFileBytes(source);
    const std::string ext = source.empty() ? ".tr4" : ExtensionOf(source);
    for (int signal : {SIGINT, SIGTERM, SIGQUIT}) {
        for (bool overItself : {false, true}) {
            SCOPED_TRACE(std::string(strsignal(signal)) + (overItself ? ", over itself" : ""));
            Workspace ws;
            const std::string in = ws.file("in" + ext), out = overItself ? in : ws.file("out" + ext);
            WriteFileBytes(in, input);
            if (!overItself) WriteFileBytes(out, kOldBytes);
            const auto [status, sent] = RunInterrupted({"s", "0", "1", in, out}, ws, out, signal);
            EXPECT_TRUE(sent);
            EXPECT_EQ(status, 128 + signal);
            EXPECT_EQ(ReadFileBytes(out), overItself ? input : kOldBytes);
            EXPECT_EQ(ReadFileBytes(in), input);
            for (const std::string& name : Entries(ws.work.path())) EXPECT_NE(name[0], '.') << name;
            for (const std::string& name : Entries(ws.config.path())) EXPECT_NE(name[0], '.') << name;
        }
    }
    // Unhindered, the same run saves and exits.
    Workspace ws;
    WriteFileBytes(ws.file("in" + ext), input);
    const auto [status, sent] = RunInterrupted({"s", "0", "1", "in" + ext, "out" + ext}, ws,
                                               ws.file("nothing-to-wait-for"), SIGINT);
    EXPECT_FALSE(sent);
    EXPECT_EQ(status, 0);
    const uint32_t magic = Le32(input, 0);
    const int version = magic == 0x20 ? 1 : magic == 0x2D ? 2 : magic == 0x00345254 ? 4 : 3;
    EXPECT_TRUE(LoadsAs(ws.file("out" + ext), version));
}

TEST(BatchMode, RefusalsSayWhy) {
    Workspace ws;
    // A damaged level of a known type: the log's line that says what is wrong follows
    // "Unknown file type !".
    std::vector<uint8_t> cut = FixtureFile(2);
    cut.resize(cut.size() / 2);
    WriteFileBytes(ws.file("cut.tr2"), cut);
    RunResult r = ws.Run({"s", "1", "1", "cut.tr2", "out.tr2"});
    EXPECT_EQ(r.status, 255) << r.output;
    const std::string log = AsText(ReadFileBytes(ws.file("cut_log.txt")));
    const size_t at = log.find("Level not read: ");
    ASSERT_NE(at, std::string::npos) << log;
    const std::string why = log.substr(at, log.find("\r\n", at) - at);
    EXPECT_NE(why.find(" at offset "), std::string::npos) << why;
    EXPECT_NE(r.output.find("Lithoscope: Unknown file type !\n" + why + "\n"), std::string::npos)
        << r.output;
    // Without messages the run stays quiet.
    r = ws.Run({"s", "0", "1", "cut.tr2", "out.tr2"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.output.find("Level not read"), std::string::npos) << r.output;
    // An encrypted level: its message ends its line.
    WriteFileBytes(ws.file("enc.tr4"), {'T', 'R', '4', 'c', 0, 0, 0, 0});
    r = ws.Run({"s", "1", "1", "enc.tr4", "out.tr4"});
    EXPECT_EQ(r.status, 255);
    EXPECT_NE(r.output.find("NG encrypted TR4 file !\n"), std::string::npos) << r.output;

    // A named pipe as the level, as the output and as the settings file: refused at once,
    // never waited on, never replaced.
    ASSERT_EQ(::mkfifo(ws.file("pipe.tr2").c_str(), 0644), 0);
    ::unlink(ws.config.file("settings.ini").c_str());
    ASSERT_EQ(::mkfifo(ws.config.file("settings.ini").c_str(), 0644), 0);
    WriteFileBytes(ws.file("in.tr2"), FixtureFile(2));
    r = ws.Run({"s", "3", "1", "pipe.tr2", "out.tr2"});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 255) << r.output;
    EXPECT_NE(r.output.find("Unable to open pipe.tr2.\nIt is a named pipe, not a regular file.\n"),
              std::string::npos) << r.output;
    r = ws.Run({"s", "3", "1", "in.tr2", "pipe.tr2"});
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 254) << r.output;
    EXPECT_NE(r.output.find("It is a named pipe, not a regular file.\n"), std::string::npos) << r.output;
    EXPECT_TRUE(IsFifo(ws.file("pipe.tr2")));
    // The unreadable settings file is said once, and the run goes on with the defaults.
    r = ws.Run({"s", "0", "1", "in.tr2", "out.tr2"});
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string note = ws.config.file("settings.ini") + " is a named pipe, not a regular file; "
                             "the settings are the defaults for this run and the file is left as it is\n";
    EXPECT_NE(r.output.find(note), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find(note), r.output.rfind(note)) << r.output;
    EXPECT_TRUE(IsFifo(ws.config.file("settings.ini")));
    EXPECT_TRUE(LoadsAs(ws.file("out.tr2"), 2));

    // A settings file of 1 GiB (sparse) is refused by its size, unread and unwritten.
    ::unlink(ws.config.file("settings.ini").c_str());
    WriteFileBytes(ws.config.file("settings.ini"), {'[', 'S', ']', '\n'});
    ASSERT_EQ(::truncate(ws.config.file("settings.ini").c_str(), off_t(1) << 30), 0);
    const auto start = std::chrono::steady_clock::now();
    r = ws.Run({"s", "0", "1", "in.tr2", "out.tr2"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find(ws.config.file("settings.ini") + " is 1073741824 bytes, more than a settings "
                            "file can be (1048576); the settings are the defaults for this run"),
              std::string::npos) << r.output;
}

// Every file of the catalog folder is read only up to its bound, and what the system
// can't give ends the run with status 255 and the reason, never with an exception out of
// main. (Address limits mean nothing to the sanitizers' build, which maps terabytes.)
TEST(BatchMode, CatalogFilesAreBoundedAndMemoryFailuresEndTheRun) {
    Workspace ws;
    // The program beside a catalog folder of its own: files of 200 MB (holes, not disk).
    const std::string folder = ws.file("program");
    ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((folder + "/Resources").c_str(), 0755), 0);
    const std::string program = folder + "/lithoscope";
    if (::link(test::ProgramPath().c_str(), program.c_str()) != 0) {
        WriteFileBytes(program, ReadFileBytes(test::ProgramPath()));
        ASSERT_EQ(::chmod(program.c_str(), 0755), 0);
    }
    const off_t kLarge = off_t(200) << 20;
    for (const char* name : {"SFX_TR2.txt", "MenuResource.txt", "TreeIcons.png"}) {
        const std::string path = folder + "/Resources/" + name;
        WriteFileBytes(path, {'0', '0', '0', '0', '-', '-', ' ', 'a', '\n'});
        ASSERT_EQ(::truncate(path.c_str(), kLarge), 0);
    }
    WriteFileBytes(ws.file("in.tr2"), FixtureFile(2));
#ifdef __SANITIZE_ADDRESS__
    const uint64_t kRoomy = 0, kTight = 0;
#else
    const uint64_t kRoomy = uint64_t(1536) << 20, kTight = uint64_t(60) << 20;
#endif
    RunResult r =
        test::RunProgramOnce(program, {"s", "1", "1", "in.tr2", "out.tr2"}, ws.Setup({}, false, kRoomy));
    EXPECT_EQ(r.status, 0) << r.output;
    const std::string skipped = "Catalog parsing: file " + folder + "/Resources/";
    for (const char* what :
         {"SFX_TR2.txt skipped: 209715200 bytes, more than a sound-name list holds (at most 262144) !",
          "MenuResource.txt skipped: 209715200 bytes, more than a resource menu holds (at most "
          "1048576) !",
          "TreeIcons.png skipped: 209715200 bytes, more than an icon strip holds (at most "
          "1048576) !"})
        EXPECT_NE(r.output.find(skipped + what), std::string::npos) << r.output;
    EXPECT_TRUE(LoadsAs(ws.file("out.tr2"), 2));
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(r.peakKb, 128 * 1024) << "KB: the large files were read";
    // Too little memory for the run (a level of 200 pages, a few bytes each in the file):
    // status 255 and why, whichever step it hits.
    FixtureOptions pages;
    pages.version = 4;
    pages.pageCount = 200;
    WriteFileBytes(ws.file("pages.tr4"), BuildFixtureLevel(pages).file);
    r = test::RunProgramOnce(program, {"s", "0", "1", "pages.tr4", "out.tr4"}, ws.Setup({}, false, kTight));
    EXPECT_EQ(r.status, 255) << r.output;
    EXPECT_NE(r.output.find(": not enough memory\n"), std::string::npos) << r.output;
#else
    (void)kTight;
#endif
}

}  // namespace
}  // namespace lithoscope

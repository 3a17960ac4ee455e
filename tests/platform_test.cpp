#include <gtest/gtest.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "TestSupport.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"
#include "platform/System.h"

using namespace lithoscope;

TEST(Messages, ScriptedBackendRecordsAndAnswersThenFallsBackToTheSafeAnswer) {
    ScriptedMessageBackend script;
    ScopedMessageBackend scope(&script);
    script.Answer(MsgAnswer::No);
    EXPECT_EQ(ShowMessage("Keep?", "Q", MsgButtons::YesNo, MsgIcon::Question, MsgAnswer::Yes),
              MsgAnswer::No);
    // Queue empty: the answer that loses nothing.
    EXPECT_EQ(ShowMessage("Keep again?", "Q", MsgButtons::YesNo, MsgIcon::Question,
                          MsgAnswer::Yes),
              MsgAnswer::Yes);
    EXPECT_EQ(ShowMessage("Plain", "Info"), MsgAnswer::Ok);
    ASSERT_EQ(script.shown().size(), 3u);
    EXPECT_EQ(script.shown()[0].icon, MsgIcon::Question);
    EXPECT_TRUE(script.Saw("again"));
    EXPECT_FALSE(script.Saw("absent"));
}

TEST(Messages, ConsoleBackendNeverBlocksWithoutATerminal) {
    // Standard input from an empty pipe: the question takes its safe answer at once.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[1]);
    int saved = dup(STDIN_FILENO);
    dup2(fds[0], STDIN_FILENO);
    ConsoleMessageBackend console;
    MessageRequest r{"Do you want to keep the unused textures in the level ?", "", MsgButtons::YesNo,
                     MsgIcon::Question, MsgAnswer::Yes};
    MsgAnswer a = console.Show(r);
    dup2(saved, STDIN_FILENO);
    close(saved);
    close(fds[0]);
    EXPECT_EQ(a, MsgAnswer::Yes);
}

TEST(Messages, FormatsTextsOfAnyLength) {
    std::string longPath(5000, 'p');
    EXPECT_EQ(StrFormat("Unable to open %s.\n", longPath.c_str()), "Unable to open " + longPath + ".\n");
    EXPECT_EQ(StrFormat("(err 0x%0.8X)", 0x1Fu), "(err 0x0000001F)");
}

TEST(SafeWrite, ReplacesTheFileAndKeepsTheOldOneOnEveryFailure) {
    test::TempDir dir;
    const std::string target = dir.file("level.tr2");
    test::WriteFileBytes(target, {1, 2, 3});
    const std::vector<uint8_t> next = {9, 8, 7, 6};

    for (SafeWriteFault fault : {SafeWriteFault::Create, SafeWriteFault::Write,
                                 SafeWriteFault::Flush, SafeWriteFault::Rename}) {
        SetSafeWriteFault(fault);
        std::string error;
        EXPECT_FALSE(WriteFileSafely(target, next.data(), next.size(), &error));
        SetSafeWriteFault(SafeWriteFault::None);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(test::ReadFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
    }
    // No temporary file is left behind.
    int entries = 0;
    if (DIR* d = opendir(dir.path().c_str())) {
        while (dirent* e = readdir(d)) entries += e->d_name[0] != '.' || e->d_name[1] > '.';
        closedir(d);
    }
    EXPECT_EQ(entries, 1);

    EXPECT_TRUE(WriteFileSafely(target, next.data(), next.size()));
    EXPECT_EQ(test::ReadFileBytes(target), next);
    // An empty file is a valid result too.
    EXPECT_TRUE(WriteFileSafely(target, nullptr, 0));
    EXPECT_TRUE(test::ReadFileBytes(target).empty());
}

TEST(SafeWrite, RefusesFoldersMissingFoldersAndReadOnlyTargets) {
    test::TempDir dir;
    std::string error;
    EXPECT_FALSE(WriteFileSafely(dir.path(), "x", 1, &error));
    EXPECT_FALSE(WriteFileSafely(dir.file("missing/out.tr4"), "x", 1, &error));
    EXPECT_FALSE(WriteFileSafely("", "x", 1, &error));
    // A regular file standing where a folder should be.
    test::WriteFileBytes(dir.file("plain"), {1});
    EXPECT_FALSE(WriteFileSafely(dir.file("plain/out.tr4"), "x", 1, &error));
    if (geteuid() != 0) {
        const std::string ro = dir.file("ro.phd");
        test::WriteFileBytes(ro, {5});
        chmod(ro.c_str(), 0444);
        EXPECT_FALSE(WriteFileSafely(ro, "x", 1, &error));
        EXPECT_EQ(test::ReadFileBytes(ro), (std::vector<uint8_t>{5}));
    }
}

TEST(Files, PathPiecesAndLookupsIgnoringCase) {
    EXPECT_EQ(FolderOf("/a/b/c.tr4"), "/a/b/");
    EXPECT_EQ(FolderOf("c.tr4"), "");
    EXPECT_EQ(FileNameOf("/a/b/c.tr4"), "c.tr4");
    EXPECT_EQ(StemOf("/a.b/level"), "level");
    EXPECT_EQ(StemOf("/x/city.TR4"), "city");
    EXPECT_EQ(ExtensionOf("/x/LEVEL.TUB"), ".TUB");
    EXPECT_EQ(ExtensionOf("/x.tub/level"), "");
    EXPECT_EQ(JoinPath("/data/", "Main.sfx"), "/data/Main.sfx");
    EXPECT_EQ(JoinPath("/data", "Main.sfx"), "/data/Main.sfx");

    test::TempDir dir;
    test::WriteFileBytes(dir.file("MAIN.SFX"), {1});
    EXPECT_EQ(FindFileNoCase(dir.path(), "Main.sfx"), dir.file("MAIN.SFX"));
    EXPECT_EQ(FindFileNoCase(dir.path(), "main.sfx2"), "");
    EXPECT_EQ(FindFileNoCase(dir.file("nothing"), "main.sfx"), "");
    EXPECT_TRUE(EqualsNoCase("TR4", "tr4"));
    EXPECT_FALSE(EqualsNoCase("TR4", "TR"));

    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_FALSE(ReadWholeFile(dir.path(), bytes, &error));
    EXPECT_FALSE(ReadWholeFile(dir.file("none"), bytes, &error));
    EXPECT_TRUE(ReadWholeFile(dir.file("MAIN.SFX"), bytes, &error));
    EXPECT_EQ(bytes, (std::vector<uint8_t>{1}));
    EXPECT_FALSE(ExecutableFolder().empty());
    EXPECT_EQ(ExecutableFolder().back(), '/');
}

TEST(Settings, ValuesPersistInTheConfigFolderBySectionAndName) {
    test::ScopedConfigDir config;
    EXPECT_EQ(SettingsFolder(), config.path() + "/");
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 7);
    EXPECT_TRUE(WriteProfileInt("Settings", "SaveUncompressedSounds", 1));
    EXPECT_TRUE(WriteProfileString("Settings", "TR4 Data Path", "/games/tr4/data/"));
    EXPECT_TRUE(WriteProfileString("SplitterWnd", "Panes_0", "1 2 3 4"));
    EXPECT_TRUE(WriteProfileInt("Settings", "SaveUncompressedSounds", 0));

    ReloadSettings();  // read back from the file itself
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 0);
    EXPECT_EQ(GetProfileString("Settings", "TR4 Data Path", ""), "/games/tr4/data/");
    EXPECT_EQ(GetProfileString("SplitterWnd", "Panes_0", ""), "1 2 3 4");
    // Sections keep their values apart; names compare ignoring case like the registry.
    EXPECT_EQ(GetProfileString("SplitterWnd", "TR4 Data Path", "none"), "none");
    EXPECT_EQ(GetProfileInt("settings", "saveuncompressedsounds", 7), 0);

    // A damaged file gives defaults, never a failure.
    test::WriteFileBytes(SettingsFilePath(), {'[', 'x', '\n', '=', '=', 0xFF, '\n'});
    ReloadSettings();
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 3), 3);
}

TEST(Settings, StartUpWritesTheFileOnceAndUnchangedValuesNever) {
    test::ScopedConfigDir config;
    {
        SettingsWriteBatch batch;
        for (int i = 0; i < 12; ++i) EXPECT_TRUE(WriteProfileInt("Settings", "Value" + std::to_string(i), i));
        EXPECT_FALSE(FileExists(SettingsFilePath()));  // not yet
        EXPECT_EQ(GetProfileInt("Settings", "Value3", -1), 3);
    }
    ReloadSettings();
    EXPECT_EQ(GetProfileInt("Settings", "Value11", -1), 11);
    // The same value again leaves the file alone.
    test::WriteFileBytes(SettingsFilePath(), {'[', 'S', 'e', 't', 't', 'i', 'n', 'g', 's', ']', '\n',
                                              'V', 'a', 'l', 'u', 'e', '1', '=', '1', '\n'});
    ReloadSettings();
    EXPECT_TRUE(WriteProfileInt("Settings", "Value1", 1));
    EXPECT_EQ(test::ReadFileBytes(SettingsFilePath()).size(), 20u);
}

TEST(Settings, NestedConfigFolderIsCreatedOnFirstWrite) {
    test::TempDir dir;
    std::string nested = dir.file("a/b/c");
    setenv("LITHOSCOPE_CONFIG_DIR", nested.c_str(), 1);
    ReloadSettings();
    EXPECT_TRUE(WriteProfileInt("Settings", "ShowFriendlyNamesInTreeview", 1));
    EXPECT_TRUE(FileExists(nested + "/settings.ini"));
    unsetenv("LITHOSCOPE_CONFIG_DIR");
    ReloadSettings();
}

TEST(System, ClockAdvancesAndMemoryIsReported) {
    double a = SecondsNow();
    uint32_t t = TickCountMs();
    usleep(20000);
    EXPECT_GT(SecondsNow(), a);
    EXPECT_GE(uint32_t(TickCountMs() - t), 15u);
    EXPECT_GT(AvailableMemoryBytes(), 0u);
}

namespace {

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }
std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

bool IsLink(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode);
}

bool IsFifo(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// Names in a folder that start with '.', "." and ".." left out: temporary files.
std::vector<std::string> Hidden(const std::string& folder) {
    std::vector<std::string> names;
    if (DIR* d = opendir(folder.c_str())) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] == '.' && std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                names.push_back(e->d_name);
        closedir(d);
    }
    return names;
}

}  // namespace

TEST(SafeWrite, WritesThroughLinksKeepingModeOwnerAndGroup) {
    test::TempDir dir;
    ASSERT_EQ(mkdir(dir.file("real").c_str(), 0755), 0);
    const std::string real = dir.file("real/level.tr4");
    test::WriteFileBytes(real, {1, 2, 3});
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    // Root may give the file away; anybody else keeps their own.
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(real.c_str(), 4321, 8765), 0);
    }
    // A relative link, and a link to that link.
    ASSERT_EQ(symlink("real/level.tr4", dir.file("link.tr4").c_str()), 0);
    ASSERT_EQ(symlink(dir.file("link.tr4").c_str(), dir.file("chain.tr4").c_str()), 0);

    for (const char* name : {"link.tr4", "chain.tr4"}) {
        const std::vector<uint8_t> next(100000, uint8_t(name[0]));
        std::string error;
        ASSERT_TRUE(WriteFileSafely(dir.file(name), next.data(), next.size(), &error)) << error;
        EXPECT_TRUE(IsLink(dir.file("link.tr4")));
        EXPECT_TRUE(IsLink(dir.file("chain.tr4")));
        EXPECT_EQ(test::ReadFileBytes(real), next);
        struct stat st;
        ASSERT_EQ(stat(real.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0640u) << name;
        EXPECT_EQ(st.st_uid, root ? 4321u : geteuid());
        EXPECT_EQ(st.st_gid, root ? 8765u : st.st_gid);
    }
    // A link to a file not there yet makes that file.
    ASSERT_EQ(symlink("real/new.tr4", dir.file("new.tr4").c_str()), 0);
    EXPECT_TRUE(WriteFileSafely(dir.file("new.tr4"), "abc", 3));
    EXPECT_TRUE(IsLink(dir.file("new.tr4")));
    EXPECT_EQ(Text(test::ReadFileBytes(dir.file("real/new.tr4"))), "abc");
    EXPECT_EQ(ResolveLinkTarget(dir.file("chain.tr4")), dir.file("real/level.tr4"));
    EXPECT_EQ(ResolveLinkTarget(dir.file("real")), dir.file("real"));

    // What is no regular file is never replaced by one, through a link or not.
    ASSERT_EQ(mkfifo(dir.file("pipe.tr4").c_str(), 0644), 0);
    ASSERT_EQ(symlink("pipe.tr4", dir.file("to-pipe.tr4").c_str()), 0);
    for (const char* name : {"pipe.tr4", "to-pipe.tr4"}) {
        std::string error, notRegular;
        EXPECT_FALSE(WriteFileSafely(dir.file(name), "x", 1, &error));
        EXPECT_NE(error.find("is a named pipe, not a regular file"), std::string::npos) << error;
        EXPECT_EQ(CheckWritable(dir.file(name), &notRegular), EINVAL);
        EXPECT_EQ(notRegular, "a named pipe");
    }
    EXPECT_TRUE(IsFifo(dir.file("pipe.tr4")));
    EXPECT_EQ(CheckWritable(dir.file("link.tr4")), 0);
    // A loop of links is refused, not replaced.
    ASSERT_EQ(symlink("loop-b", dir.file("loop-a").c_str()), 0);
    ASSERT_EQ(symlink("loop-a", dir.file("loop-b").c_str()), 0);
    EXPECT_FALSE(WriteFileSafely(dir.file("loop-a"), "x", 1));
    EXPECT_TRUE(IsLink(dir.file("loop-a")) && IsLink(dir.file("loop-b")));
    EXPECT_TRUE(Hidden(dir.path()).empty());
    EXPECT_TRUE(Hidden(dir.file("real")).empty());

    // A chain of as many links as the system follows is written through; a longer one is
    // refused as the system refuses it, the links and the file they name left as they were.
    for (int length : {40, 41, 45}) {
        SCOPED_TRACE(length);
        test::TempDir chain;
        test::WriteFileBytes(chain.file("end.tr4"), {1});
        std::string head = "end.tr4";
        for (int i = 0; i < length; ++i) {
            const std::string link = "link" + std::to_string(i);
            ASSERT_EQ(symlink(head.c_str(), chain.file(link).c_str()), 0);
            head = link;
        }
        const int fd = open(chain.file(head).c_str(), O_RDONLY);
        const int openError = fd < 0 ? errno : 0;
        if (fd >= 0) close(fd);
        std::string error;
        const bool written = WriteFileSafely(chain.file(head), "xy", 2, &error);
        EXPECT_EQ(!written, openError == ELOOP);
        EXPECT_EQ(written, length <= 40) << error;
        if (!written) {
            EXPECT_EQ(errno, ELOOP);
            EXPECT_NE(error.find(std::strerror(ELOOP)), std::string::npos) << error;
            EXPECT_EQ(CheckWritable(chain.file(head)), ELOOP);
        }
        EXPECT_EQ(Text(test::ReadFileBytes(chain.file("end.tr4"))), written ? "xy" : "\x01");
        for (int i = 0; i < length; ++i) EXPECT_TRUE(IsLink(chain.file("link" + std::to_string(i)))) << i;
        EXPECT_TRUE(Hidden(chain.path()).empty());
    }
}

TEST(Files, NamedPipesAndDevicesAreRefusedUnread) {
    // Nobody ever writes to the pipe: a reader that waited would never come back.
    test::TempDir dir;
    const std::string fifo = dir.file("object.trmvb");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::vector<uint8_t> bytes{1};
    std::string error, notRegular;
    EXPECT_FALSE(ReadWholeFile(fifo, bytes, &error));
    EXPECT_TRUE(bytes.empty());
    EXPECT_EQ(error, fifo + " is a named pipe, not a regular file");
    EXPECT_FALSE(ReadWholeFile("/dev/zero", bytes, &error));
    EXPECT_NE(error.find("/dev/zero is a device"), std::string::npos) << error;
    EXPECT_EQ(OpenRegularFileForReading(dir.path(), &notRegular), -1);
    EXPECT_EQ(notRegular, "a folder");
    EXPECT_EQ(OpenRegularFileForReading(dir.file("none"), &notRegular), -1);
    EXPECT_TRUE(notRegular.empty());
    EXPECT_EQ(errno, ENOENT);
    // Every reader on top of it: object files, pictures.
    EXPECT_EQ(CTrMvb::LoadFile(fifo), nullptr);
    EXPECT_EQ(CTrStatMsh::LoadFile(fifo), nullptr);
    EXPECT_EQ(CTrLstMsh::LoadFile(fifo), nullptr);
    EXPECT_EQ(CTrLstSpr::LoadFile(fifo), nullptr);
    int w = 0, h = 0;
    std::vector<uint8_t> rgba;
    EXPECT_NE(LoadPictureRGBA(fifo, &w, &h, &rgba), 0);
    EXPECT_TRUE(IsFifo(fifo));
}

TEST(Settings, WritesKeepEveryOtherLineAndGoThroughALink) {
    test::ScopedConfigDir config;
    // settings.ini is a link into a folder of the user's own.
    ASSERT_EQ(mkdir((config.path() + "/mine").c_str(), 0755), 0);
    const std::string real = config.path() + "/mine/lithoscope.ini";
    ASSERT_EQ(symlink("mine/lithoscope.ini", SettingsFilePath().c_str()), 0);
    const std::string before =
        "; my settings\n"
        "[Settings]\n"
        "# paths first\n"
        "TR4 Data Path = /games/tr4/\n"
        "SaveUncompressedSounds = 0\n"
        "SomethingElse=kept\n"
        "\n"
        "[Mine]\n"
        "colour=blue\n"
        "a line without an equals sign\n";
    test::WriteFileBytes(real, Bytes(before));
    ReloadSettings();
    EXPECT_EQ(GetProfileString("Settings", "TR4 Data Path", ""), "/games/tr4/");
    EXPECT_TRUE(WriteProfileInt("Settings", "SaveUncompressedSounds", 1));
    EXPECT_TRUE(WriteProfileInt("Settings", "ShowRealMeshes", 0));
    EXPECT_TRUE(WriteProfileString("Recent File List", "File1", "/levels/a.tr4"));
    EXPECT_TRUE(IsLink(SettingsFilePath()));
    EXPECT_EQ(Text(test::ReadFileBytes(real)),
              "; my settings\n"
              "[Settings]\n"
              "# paths first\n"
              "TR4 Data Path = /games/tr4/\n"
              "SaveUncompressedSounds = 1\n"
              "SomethingElse=kept\n"
              "ShowRealMeshes=0\n"
              "\n"
              "[Mine]\n"
              "colour=blue\n"
              "a line without an equals sign\n"
              "\n"
              "[Recent File List]\n"
              "File1=/levels/a.tr4\n");
    ReloadSettings();
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 1);
    EXPECT_EQ(GetProfileInt("settings", "showrealmeshes", 7), 0);
    EXPECT_EQ(GetProfileString("Recent File List", "File1", ""), "/levels/a.tr4");
    EXPECT_TRUE(Hidden(config.path() + "/mine").empty());

    // A file written on another system keeps its line ends, new lines included; a value
    // given twice is read from its first line and written in both.
    test::WriteFileBytes(real, Bytes("[Settings]\r\nShowRealMeshes=1\r\n[Settings]\r\nShowRealMeshes=1\r\n"));
    ReloadSettings();
    EXPECT_TRUE(WriteProfileInt("Settings", "ShowRealMeshes", 0));
    EXPECT_TRUE(WriteProfileInt("Other", "x", 2));
    EXPECT_EQ(Text(test::ReadFileBytes(real)),
              "[Settings]\r\nShowRealMeshes=0\r\n[Settings]\r\nShowRealMeshes=0\r\n\r\n[Other]\r\nx=2\r\n");
    EXPECT_TRUE(IsLink(SettingsFilePath()));

    // A byte-order mark, lines ended by a lone CR, comments after values: read, and kept
    // by every write. A value that would not read back as itself is written in quotes.
    test::WriteFileBytes(real, Bytes("\xEF\xBB\xBF[Settings]\rSaveUncompressedSounds=0 ; off on purpose\r"
                                     "ShowRealMeshes = 0\t# mine\rTR4 Data Path=\"/games/tr 4 ;x/\" ; quoted\r"
                                     "Last=1"));
    ReloadSettings();
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 0);
    EXPECT_EQ(GetProfileInt("Settings", "ShowRealMeshes", 7), 0);
    EXPECT_EQ(GetProfileString("Settings", "TR4 Data Path", ""), "/games/tr 4 ;x/");
    const std::vector<uint8_t> kept = test::ReadFileBytes(real);
    {
        SettingsWriteBatch batch;
        EXPECT_TRUE(WriteProfileInt("Settings", "SaveUncompressedSounds", 0));
        EXPECT_TRUE(WriteProfileString("Settings", "TR4 Data Path", "/games/tr 4 ;x/"));
    }
    EXPECT_EQ(test::ReadFileBytes(real), kept);  // nothing changed: not even written
    EXPECT_TRUE(WriteProfileInt("Settings", "ShowRealMeshes", 1));
    EXPECT_TRUE(WriteProfileString("Settings", "TR1 Data Path", " /lead/and trail "));
    EXPECT_TRUE(WriteProfileString("Settings", "TR2 Data Path", "/a #b/"));
    EXPECT_EQ(Text(test::ReadFileBytes(real)),
              "\xEF\xBB\xBF[Settings]\rSaveUncompressedSounds=0 ; off on purpose\rShowRealMeshes = 1\t# mine\r"
              "TR4 Data Path=\"/games/tr 4 ;x/\" ; quoted\rLast=1\rTR1 Data Path=\" /lead/and trail \"\r"
              "TR2 Data Path=\"/a #b/\"\r");
    ReloadSettings();
    EXPECT_EQ(GetProfileString("Settings", "TR1 Data Path", ""), " /lead/and trail ");
    EXPECT_EQ(GetProfileString("Settings", "TR2 Data Path", ""), "/a #b/");
    EXPECT_EQ(GetProfileInt("Settings", "ShowRealMeshes", 7), 1);
    EXPECT_EQ(GetProfileInt("Settings", "Last", 7), 1);
}

TEST(Settings, AFileThatCantBeReadIsNeverWritten) {
    // A named pipe, a folder, (for anybody but root) a file without read permission, and a
    // file of 1 GiB (sparse), refused by its size before anything is read. (The batch suite
    // checks what the program says about them.)
    for (int kind = 0; kind < 4; ++kind) {
        SCOPED_TRACE(kind);
        if (kind == 2 && geteuid() == 0) continue;
        test::ScopedConfigDir config;
        const std::string path = SettingsFilePath();
        if (kind == 0) {
            ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
        } else if (kind == 1) {
            ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
        }
        if (kind == 2) {
            test::WriteFileBytes(path, Bytes("[Settings]\nShowRealMeshes=0\n"));
            ASSERT_EQ(chmod(path.c_str(), 0), 0);
        }
        if (kind == 3) {
            test::WriteFileBytes(path, Bytes("[Settings]\nShowRealMeshes=0\n"));
            ASSERT_EQ(truncate(path.c_str(), off_t(1) << 30), 0);
        }
        const double start = SecondsNow();
        ReloadSettings();
        EXPECT_EQ(GetProfileInt("Settings", "ShowRealMeshes", 1), 1);
        EXPECT_FALSE(WriteProfileInt("Settings", "ShowRealMeshes", 0));
        {
            SettingsWriteBatch batch;
            WriteProfileString("Settings", "TR4 Data Path", "/x/");
        }
        EXPECT_EQ(GetProfileInt("Settings", "ShowRealMeshes", 1), 0);  // for the run
        ReloadSettings();
        EXPECT_FALSE(WriteProfileInt("Settings", "ShowRealMeshes", 0));
        struct stat st;
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        EXPECT_TRUE(kind == 0 ? S_ISFIFO(st.st_mode) : kind == 1 ? S_ISDIR(st.st_mode)
                    : kind == 2 ? (st.st_mode & 0777) == 0
                                : st.st_size == off_t(1) << 30 && st.st_blocks * 512 < (1 << 20));
        EXPECT_LT(SecondsNow() - start, 1.0);
        if (kind == 2) chmod(path.c_str(), 0644);
        EXPECT_TRUE(Hidden(config.path()).empty());
    }
    // A missing file, or a link to one, is a first start: written as usual.
    test::ScopedConfigDir config;
    ASSERT_EQ(symlink("elsewhere.ini", SettingsFilePath().c_str()), 0);
    ReloadSettings();
    EXPECT_TRUE(WriteProfileInt("Settings", "ShowRealMeshes", 0));
    EXPECT_EQ(Text(test::ReadFileBytes(config.path() + "/elsewhere.ini")), "[Settings]\nShowRealMeshes=0\n");
}

namespace {
volatile sig_atomic_t g_handled = 0;
void CountSignal(int) { g_handled = g_handled + 1; }
}  // namespace

TEST(SafeWrite, ASignalSomebodyHandlesOrIgnoresLeavesTheWriteAlone) {
    // A child writes while it has a SIGINT handler of its own and ignores SIGTERM; it stops
    // halfway and both signals come. The handler runs, the write finishes, the handlers
    // are as they were after it. (With the defaults, the program suite checks that the
    // temporary file goes with the process.)
    test::TempDir dir;
    const std::string target = dir.file("level.tr2");
    const pid_t pid = fork();
    if (pid == 0) {
        signal(SIGINT, CountSignal);
        signal(SIGTERM, SIG_IGN);
        SetSafeWriteFault(SafeWriteFault::Stop);
        const std::vector<uint8_t> bytes(1 << 20, 7);
        const bool written = WriteFileSafely(target, bytes.data(), bytes.size());
        struct sigaction intNow, termNow;
        sigaction(SIGINT, nullptr, &intNow);
        sigaction(SIGTERM, nullptr, &termNow);
        const bool restored = intNow.sa_handler == CountSignal && termNow.sa_handler == SIG_IGN;
        _exit(written && g_handled == 1 && restored ? 0 : 1);
    }
    ASSERT_GT(pid, 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(status));
    EXPECT_EQ(Hidden(dir.path()).size(), 1u);  // the temporary file, half written
    kill(pid, SIGINT);
    kill(pid, SIGTERM);
    kill(pid, SIGCONT);
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_EQ(test::ReadFileBytes(target).size(), size_t(1) << 20);
    EXPECT_TRUE(Hidden(dir.path()).empty());
}

TEST(SafeWrite, EverySignalThatEndsTheProcessTakesTheTemporaryFileAlong) {
    // A child writes and stops halfway; each signal that ends a process and can be caught
    // (the faults of the program itself aside) ends it, by that signal, with the temporary
    // file gone and the target as it was. The last case is the system's own: a write past
    // the file size limit.
    std::vector<int> signals = {SIGHUP,  SIGINT,  SIGQUIT, SIGTERM,   SIGUSR1, SIGUSR2, SIGALRM,
                                SIGPIPE, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO,   SIGPWR};
    for (int sig = SIGRTMIN; sig <= SIGRTMAX; ++sig) signals.push_back(sig);
    signals.push_back(0);
    test::TempDir dir;
    const std::string target = dir.file("level.tr4");
    test::WriteFileBytes(target, {1, 2, 3});
    for (int sig : signals) {
        SCOPED_TRACE(sig ? strsignal(sig) : "file size limit");
        const pid_t pid = fork();
        if (pid == 0) {
            const rlimit noCore{0, 0};
            setrlimit(RLIMIT_CORE, &noCore);
            if (sig == 0) {
                const rlimit small{1 << 19, 1 << 19};
                setrlimit(RLIMIT_FSIZE, &small);
            } else {
                SetSafeWriteFault(SafeWriteFault::Stop);
            }
            const std::vector<uint8_t> bytes(1 << 20, 7);
            WriteFileSafely(target, bytes.data(), bytes.size());
            _exit(0);
        }
        ASSERT_GT(pid, 0);
        int status = 0;
        if (sig != 0) {
            ASSERT_EQ(waitpid(pid, &status, WUNTRACED), pid);
            ASSERT_TRUE(WIFSTOPPED(status));
            EXPECT_EQ(Hidden(dir.path()).size(), 1u);
            kill(pid, sig);
            kill(pid, SIGCONT);
        }
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFSIGNALED(status)) << status;
        EXPECT_EQ(WTERMSIG(status), sig ? sig : SIGXFSZ);
        EXPECT_EQ(test::ReadFileBytes(target), (std::vector<uint8_t>{1, 2, 3}));
        EXPECT_TRUE(Hidden(dir.path()).empty());
    }
}

#include <gtest/gtest.h>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "TestSupport.h"
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

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "level/LevelLog.h"
#include "platform/Files.h"

using namespace lithoscope;

TEST(LevelLogPath, ReplacesTheExtensionOfTheFileNameOnly) {
    EXPECT_EQ(GetLogPath("/levels/city.tr4", "_log.txt"), "/levels/city_log.txt");
    EXPECT_EQ(GetLogPath("level", "_log.txt"), "level_log.txt");
    // A dotted folder does not count: the log stays beside the level.
    EXPECT_EQ(GetLogPath("/d/a.b/level", "_log.txt"), "/d/a.b/level_log.txt");
    EXPECT_EQ(GetLogPath("/d/a.b/x.y.phd", "_log.txt"), "/d/a.b/x.y_log.txt");
    std::string longFolder(600, 'f');
    EXPECT_EQ(GetLogPath("/" + longFolder + "/l.tr2", "_log.txt"),
              "/" + longFolder + "/l_log.txt");
}

TEST(LevelLog, StartsFreshAndCountsErrorsEvenWhenUnwritable) {
    test::TempDir dir;
    const std::string level = dir.file("city.tr4");
    StartLevelLog(level);
    AppendLogLine("first", true, false);
    AppendLogLine("second", false, true);
    EXPECT_EQ(LevelLog().errorCount, 1);
    std::vector<uint8_t> bytes = test::ReadFileBytes(dir.file("city_log.txt"));
    std::string text(bytes.begin(), bytes.end());
    EXPECT_EQ(text.rfind("first\r\nsecond\r\n\tFree Memory (Now) = 0x", 0), 0u) << text;
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");

    // A second load starts with an empty log and a zero counter.
    StartLevelLog(level);
    EXPECT_EQ(LevelLog().errorCount, 0);
    EXPECT_EQ(LevelLog().currentMoveable, -1);
    EXPECT_FALSE(FileExists(dir.file("city_log.txt")));
    AppendLogLine("again");
    bytes = test::ReadFileBytes(dir.file("city_log.txt"));
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "again\r\n");

    // The log of a level in a missing folder can't be written; the error still counts.
    StartLevelLog(dir.file("missing/level.phd"));
    AppendLogLine("lost", true);
    EXPECT_EQ(LevelLog().errorCount, 1);
}

TEST(LevelLog, NeverTouchesTheLevelFileItself) {
    test::TempDir dir;
    const std::string level = dir.file("level");
    test::WriteFileBytes(level, {1, 2, 3});
    StartLevelLog(level);
    AppendLogLine("x");
    EXPECT_EQ(test::ReadFileBytes(level), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(FileExists(dir.file("level_log.txt")));
}

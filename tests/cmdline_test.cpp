// The command-line parser: switch words, positional words after "s", numbers, fix flag and
// the start-up document.
#include <gtest/gtest.h>

#include <climits>

#include "batch/CmdLine.h"

namespace lithoscope {
namespace {

CCmdLine Parse(const std::vector<std::string>& words) {
    std::vector<const char*> argv{"/usr/bin/lithoscope"};
    for (const auto& w : words) argv.push_back(w.c_str());
    CCmdLine c;
    ParseCommandLine(int(argv.size()), argv.data(), c);
    return c;
}

TEST(CmdLine, ConstructedEmpty) {
    CCmdLine c;
    EXPECT_FALSE(c.m_bBatch);
    EXPECT_FALSE(c.m_bNoFix);
    EXPECT_FALSE(c.m_bForceFix);
    EXPECT_EQ(c.m_nBatchArg, 0);
    EXPECT_EQ(c.m_nBatchOptions, 0);
    EXPECT_EQ(c.m_nSaveMode, 0);
    EXPECT_TRUE(c.m_szInputPath.empty());
    EXPECT_TRUE(c.m_szOutputPath.empty());
}

TEST(CmdLine, BatchWordsArePositional) {
    CCmdLine c = Parse({"s"});
    EXPECT_TRUE(c.m_bBatch);
    EXPECT_EQ(c.m_nBatchArg, 0);
    EXPECT_TRUE(c.m_szInputPath.empty());

    c = Parse({"s", "0", "1", "level.tr2"});
    EXPECT_TRUE(c.m_bBatch);
    EXPECT_EQ(c.m_nBatchOptions, 0);
    EXPECT_EQ(c.m_nSaveMode, 1);
    EXPECT_EQ(c.m_szInputPath, "level.tr2");
    EXPECT_EQ(c.m_szOutputPath, "");
    EXPECT_EQ(c.m_nBatchArg, 3);

    c = Parse({"s", "3", "2", "in.tr4", "out.tr4"});
    EXPECT_EQ(c.m_nBatchOptions, 3);
    EXPECT_EQ(c.m_nSaveMode, 2);
    EXPECT_EQ(c.m_szInputPath, "in.tr4");
    EXPECT_EQ(c.m_szOutputPath, "out.tr4");

    // "nofix" after "s" is the options word, read as 0; the fix flag stays unset.
    c = Parse({"s", "nofix", "0", "a.phd"});
    EXPECT_TRUE(c.m_bBatch);
    EXPECT_FALSE(c.m_bNoFix);
    EXPECT_EQ(c.m_nBatchOptions, 0);
    EXPECT_EQ(c.m_nSaveMode, 0);
    EXPECT_EQ(c.m_szInputPath, "a.phd");

    // "forcefix" before "s" counts; the words after "s" run the batch.
    c = Parse({"forcefix", "s", "0", "0", "a.phd"});
    EXPECT_TRUE(c.m_bForceFix);
    EXPECT_TRUE(c.m_bBatch);
    EXPECT_EQ(c.m_szInputPath, "a.phd");

    // Words past the fourth are counted and ignored; a later "s" is only a word.
    c = Parse({"s", "1", "2", "in", "s", "forcefix", "x"});
    EXPECT_EQ(c.m_szOutputPath, "s");
    EXPECT_FALSE(c.m_bForceFix);
    EXPECT_EQ(c.m_nBatchArg, 6);
    EXPECT_EQ(c.m_nBatchOptions, 1);
    EXPECT_EQ(c.m_nSaveMode, 2);

    // Words before "s" that are not switches are ignored.
    c = Parse({"7", "level.tr2", "s", "2", "0", "a.tr2"});
    EXPECT_EQ(c.m_nBatchOptions, 2);
    EXPECT_EQ(c.m_szInputPath, "a.tr2");
}

TEST(CmdLine, SwitchCharactersAndCase) {
    EXPECT_TRUE(Parse({"-s"}).m_bBatch);
    EXPECT_TRUE(Parse({"/s"}).m_bBatch);
    EXPECT_FALSE(Parse({"S"}).m_bBatch);
    EXPECT_FALSE(Parse({"-S"}).m_bBatch);
    EXPECT_FALSE(Parse({"ss"}).m_bBatch);
    EXPECT_FALSE(Parse({"--s"}).m_bBatch);  // only one '-' comes off
    EXPECT_TRUE(Parse({"-nofix"}).m_bNoFix);
    EXPECT_TRUE(Parse({"/nofix"}).m_bNoFix);
    EXPECT_TRUE(Parse({"/forcefix"}).m_bForceFix);
    EXPECT_FALSE(Parse({"NoFix"}).m_bNoFix);

    bool flag = true;
    EXPECT_EQ(CommandLineWord("s", &flag), "s");
    EXPECT_FALSE(flag);
    EXPECT_EQ(CommandLineWord("-s", &flag), "s");
    EXPECT_TRUE(flag);
    EXPECT_EQ(CommandLineWord("/s", &flag), "s");
    EXPECT_TRUE(flag);
    EXPECT_EQ(CommandLineWord("/tmp/in.tr2", &flag), "/tmp/in.tr2");
    EXPECT_FALSE(flag);
    EXPECT_EQ(CommandLineWord("/S", &flag), "/S");
    EXPECT_EQ(CommandLineWord("-keep.PHD", &flag), "-keep.PHD");
    EXPECT_EQ(CommandLineWord("-", &flag), "-");
    EXPECT_EQ(CommandLineWord("", &flag), "");
    EXPECT_FALSE(flag);

    // Only the switch words lose their '-' or '/': file names and numbers are used as
    // typed, before "s" and after it.
    CCmdLine c = Parse({"s", "0", "1", "/data/levels/in.tr2", "/out/x.tr2"});
    EXPECT_EQ(c.m_szInputPath, "/data/levels/in.tr2");
    EXPECT_EQ(c.m_szOutputPath, "/out/x.tr2");
    c = Parse({"-s", "0", "1", "a.PHD", "-keep.PHD"});
    EXPECT_EQ(c.m_szInputPath, "a.PHD");
    EXPECT_EQ(c.m_szOutputPath, "-keep.PHD");
    c = Parse({"s", "-1", "-2", "-s", "/nofix"});
    EXPECT_EQ(c.m_nBatchOptions, -1);
    EXPECT_EQ(c.m_nSaveMode, -2);
    EXPECT_EQ(c.m_szInputPath, "-s");
    EXPECT_EQ(c.m_szOutputPath, "/nofix");
    EXPECT_FALSE(c.m_bNoFix);

    // Paths of any length.
    std::string longPath = "/tmp/" + std::string(1200, 'a') + "/level.tr4";
    c = Parse({"s", "0", "0", longPath, longPath + ".out"});
    EXPECT_EQ(c.m_szInputPath, longPath);
    EXPECT_EQ(c.m_szOutputPath, longPath + ".out");
}

TEST(CmdLine, NumbersReadAsDecimal) {
    EXPECT_EQ(ParseDecimalWord("0"), 0);
    EXPECT_EQ(ParseDecimalWord("3"), 3);
    EXPECT_EQ(ParseDecimalWord(" 12abc"), 12);
    EXPECT_EQ(ParseDecimalWord("\t+7"), 7);
    EXPECT_EQ(ParseDecimalWord("-5"), -5);
    EXPECT_EQ(ParseDecimalWord("abc"), 0);
    EXPECT_EQ(ParseDecimalWord("x12"), 0);
    EXPECT_EQ(ParseDecimalWord(""), 0);
    EXPECT_EQ(ParseDecimalWord("-"), 0);
    EXPECT_EQ(ParseDecimalWord("1 2"), 1);
    EXPECT_EQ(ParseDecimalWord("0x10"), 0);
    EXPECT_EQ(ParseDecimalWord("007"), 7);
    EXPECT_EQ(ParseDecimalWord("99999999999999999999"), INT32_MAX);
    EXPECT_EQ(ParseDecimalWord("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseDecimalWord("-99999999999"), INT32_MIN);

    CCmdLine c = Parse({"s", "abc", " 12abc", "in"});
    EXPECT_EQ(c.m_nBatchOptions, 0);
    EXPECT_EQ(c.m_nSaveMode, 12);
}

TEST(CmdLine, FixFlagAndStartupDocument) {
    // No word: no document, the flag from the platform test (never on Linux).
    CCmdLine none = Parse({});
    EXPECT_FALSE(IsNonNtPlatform());
    EXPECT_FALSE(ToolboxFixFromCommandLine(none));
    EXPECT_FALSE(StartupCreatesDocument(none, true));

    CCmdLine nofix = Parse({"nofix"});
    EXPECT_FALSE(ToolboxFixFromCommandLine(nofix));
    EXPECT_FALSE(StartupCreatesDocument(nofix, false));

    CCmdLine forcefix = Parse({"forcefix"});
    EXPECT_TRUE(ToolboxFixFromCommandLine(forcefix));
    EXPECT_FALSE(StartupCreatesDocument(forcefix, false));

    // Both: "nofix" wins, in either order.
    EXPECT_FALSE(ToolboxFixFromCommandLine(Parse({"forcefix", "nofix"})));
    EXPECT_FALSE(ToolboxFixFromCommandLine(Parse({"nofix", "forcefix"})));

    // An ignored word ("S", a file name) still makes the command line non-empty.
    CCmdLine upper = Parse({"S"});
    EXPECT_FALSE(upper.m_bBatch);
    EXPECT_TRUE(StartupCreatesDocument(upper, false));
    EXPECT_FALSE(ToolboxFixFromCommandLine(upper));
    EXPECT_TRUE(StartupCreatesDocument(Parse({"level.tr4"}), false));
}

}  // namespace
}  // namespace lithoscope

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "level/LevelLog.h"
#include "level/TrAnimData.h"
#include "level/TrLevel.h"

using namespace lithoscope;

namespace {

TrAnimCommand ReadOne(std::vector<int16_t> words, int firstFrame, bool* ok = nullptr) {
    TrAnimCommand c;
    const bool r = c.Read(words.data(), words.size(), firstFrame);
    if (ok) *ok = r;
    return c;
}

CTRStateChange Change(int id, std::vector<std::vector<int>> ranges) {
    CTRStateChange c(id);
    for (const auto& r : ranges) c.AddRange(r[0], r[1], r[2], r[3]);
    return c;
}

std::string ReadText(const std::string& path) {
    std::vector<uint8_t> b = test::ReadFileBytes(path);
    return std::string(b.begin(), b.end());
}

}  // namespace

TEST(TrAnimCommand, OperandCountsAndKinds) {
    const uint16_t counts[] = {3, 2, 0, 0, 2, 2};
    for (int code = 1; code <= 6; ++code) EXPECT_EQ(TrAnimCommand::OperandCount(code), counts[code - 1]);
    EXPECT_EQ(TrAnimCommand::OperandCount(0), 0xFFFF);
    EXPECT_EQ(TrAnimCommand::OperandCount(7), 0xFFFF);
    EXPECT_EQ(TrAnimCommand::OperandCount(-1), 0xFFFF);

    EXPECT_TRUE(TrAnimCommand::HasFrameOperand(5));
    EXPECT_TRUE(TrAnimCommand::HasFrameOperand(6));
    EXPECT_FALSE(TrAnimCommand::HasFrameOperand(1));
    EXPECT_FALSE(TrAnimCommand::HasFrameOperand(2));

    TrAnimCommand c;
    c.SetCode(6);
    c.operands[1] = int16_t(0x8020);
    EXPECT_TRUE(c.IsSoundCommand());
    c.operands[1] = 0x4020;
    EXPECT_TRUE(c.IsSoundCommand());
    c.operands[1] = 0x0020;
    EXPECT_FALSE(c.IsSoundCommand());
    c.SetCode(5);
    EXPECT_TRUE(c.IsSoundCommand());
    EXPECT_EQ(c.operandCount, 2);
    c.SetCode(1);
    EXPECT_FALSE(c.IsSoundCommand());
    EXPECT_EQ(c.WordCount(), 4u);
    c.SetCode(9);
    EXPECT_EQ(c.operandCount, 0xFFFF);
    EXPECT_EQ(c.WordCount(), 1u);  // never 65536 words
}

TEST(TrAnimCommand, ReadMakesFrameOperandsRelative) {
    bool ok = false;
    TrAnimCommand c = ReadOne({5, 120, 37}, 100, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.code, 5);
    EXPECT_EQ(c.operandCount, 2);
    EXPECT_EQ(c.operands[0], 20);
    EXPECT_EQ(c.operands[1], 37);
    EXPECT_EQ(c.operands[2], 0);
    EXPECT_EQ(c.operands[3], 0);
    EXPECT_EQ(ReadOne({5, 120, 37}, -1).operands[0], 120);

    c = ReadOne({1, 0, -256, 10, 99}, 100);
    EXPECT_EQ(c.operandCount, 3);
    EXPECT_EQ(c.operands[0], 0);  // not a frame: unchanged
    EXPECT_EQ(c.operands[1], -256);
    EXPECT_EQ(c.operands[2], 10);
    EXPECT_EQ(c.operands[3], 0);
    EXPECT_EQ(c.WordCount(), 4u);

    c = ReadOne({3, 77}, 0, &ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(c.operandCount, 0);
    EXPECT_EQ(c.operands[0], 0);
    EXPECT_EQ(c.WordCount(), 1u);

    // Effect command: two operands whatever the effect; the subtraction is 16-bit.
    c = ReadOne({6, -32768, 7}, 1);
    EXPECT_EQ(c.operands[0], 32767);
    EXPECT_EQ(c.operands[1], 7);

    // The unchecked form reads the same.
    const int16_t words[3] = {6, 50, 0x4020};
    TrAnimCommand d;
    d.Read(words, 40);
    EXPECT_EQ(d.operands[0], 10);
    EXPECT_TRUE(d.IsSoundCommand());

    // An unknown code, or operands past the end, can't be read.
    c = ReadOne({8, 1, 2, 3}, 0, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(c.code, 8);
    EXPECT_EQ(c.operandCount, 0xFFFF);
    EXPECT_EQ(c.operands[0], 0);
    c = ReadOne({1, 5, 6}, 0, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(d.Read(words, 0, 0));
    EXPECT_FALSE(d.Read(nullptr, 3, 0));
}

TEST(TrAnimCommand, ListReadingStopsAtAnUnknownCodeWithALoggedError) {
    test::TempDir dir;
    StartLevelLog(dir.file("level.tr2"));

    // 3 | 5 120 37 | 1 0 -256 10 | 4, read from word 1.
    const std::vector<int16_t> words = {-5, 3, 5, 120, 37, 1, 0, -256, 10, 4};
    std::vector<TrAnimCommand> cmds;
    EXPECT_TRUE(ReadTrAnimCommandList(words, 1, 4, 100, 0, cmds));
    ASSERT_EQ(cmds.size(), 4u);
    EXPECT_EQ(cmds[0].code, 3);
    EXPECT_EQ(cmds[1].operands[0], 20);
    EXPECT_EQ(cmds[2].operands[1], -256);
    EXPECT_EQ(cmds[3].code, 4);
    EXPECT_EQ(LevelLog().errorCount, 0);

    // Code 9 ends the list; what came before stays.
    const std::vector<int16_t> bad = {3, 9, 5, 1, 2};
    cmds.clear();
    EXPECT_FALSE(ReadTrAnimCommandList(bad, 0, 3, 0, 4, cmds));
    ASSERT_EQ(cmds.size(), 1u);
    EXPECT_EQ(LevelLog().errorCount, 1);
    EXPECT_NE(ReadText(dir.file("level_log.txt")).find("Unknown animation command 9"),
              std::string::npos);

    // A list that runs past the array.
    cmds.clear();
    EXPECT_FALSE(ReadTrAnimCommandList({2, 1, 5, 10}, 0, 2, 0, 1, cmds));
    EXPECT_EQ(cmds.size(), 1u);
    EXPECT_EQ(LevelLog().errorCount, 2);
    cmds.clear();
    EXPECT_FALSE(ReadTrAnimCommandList({4}, 7, 1, 0, 1, cmds));
    EXPECT_TRUE(cmds.empty());
    EXPECT_EQ(LevelLog().errorCount, 3);
    EXPECT_TRUE(ReadTrAnimCommandList({}, 7, 0, 0, 1, cmds));
    EXPECT_EQ(LevelLog().errorCount, 3);
    EXPECT_NE(ReadText(dir.file("level_log.txt")).find("run past the end"), std::string::npos);
}

TEST(TrStateChange, RangesAreKeyedByTheCounter) {
    CTRStateChange c(12);
    c.AddRange(0, 4, 2, 0);
    c.AddRange(5, 9, 3, 1);
    c.AddRange(10, 12, 4, 2);
    EXPECT_EQ(c.nextKey, 3);
    int out = -5;
    TrStateChangeRange* r = c.GetRange(1, &out, true);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->lowFrame, 5);
    EXPECT_EQ(out, 1);
    c.ranges.erase(c.ranges.begin());  // keys no longer match indices
    r = c.GetRange(2, &out, true);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->nextAnim, 4);
    EXPECT_EQ(out, 1);
    EXPECT_EQ(c.GetRange(0, &out, true), nullptr);
    EXPECT_EQ(out, 2);  // the range count
    r = c.GetRange(0, &out, false);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(out, 1);  // its key
    EXPECT_EQ(c.GetRange(2, &out, false), nullptr);
    EXPECT_EQ(c.GetRange(-1, &out, false), nullptr);

    CTRStateChange copy(c);
    EXPECT_EQ(copy.nextKey, 3);
    EXPECT_EQ(copy.stateId, 12);
    EXPECT_EQ(copy.rangeCount(), 2);
    CTRStateChange assigned;
    assigned = c;
    EXPECT_EQ(assigned.ranges[1].key, 2);
}

TEST(TrAnimTrack, StateChangesMergeSortedByState) {
    CTRAnimTrack t(1, 1, 1, 30);
    t.AddStateChange(Change(7, {{0, 1, 2, 3}, {4, 5, 6, 7}}));
    t.AddStateChange(Change(3, {{1, 1, 1, 1}}));
    t.AddStateChange(Change(7, {{8, 9, 10, 11}}));
    ASSERT_EQ(t.stateCount(), 2);
    EXPECT_EQ(t.stateChanges[0].stateId, 3);
    EXPECT_EQ(t.stateChanges[1].stateId, 7);
    ASSERT_EQ(t.stateChanges[1].rangeCount(), 3);
    EXPECT_EQ(t.stateChanges[1].ranges[2].lowFrame, 8);
    EXPECT_EQ(t.stateChanges[1].ranges[2].key, 2);  // the existing change's counter
    EXPECT_EQ(t.stateChanges[1].nextKey, 3);
    EXPECT_EQ(t.GetTotalRangeCount(), 4);

    // Unsigned order: -1 sorts last.
    t.AddStateChange(Change(-1, {{0, 0, 0, 0}}));
    t.AddStateChange(Change(5, {{0, 0, 0, 0}}));
    ASSERT_EQ(t.stateCount(), 4);
    EXPECT_EQ(t.stateChanges[0].stateId, 3);
    EXPECT_EQ(t.stateChanges[1].stateId, 5);
    EXPECT_EQ(t.stateChanges[2].stateId, 7);
    EXPECT_EQ(t.stateChanges[3].stateId, -1);

    int index = 9;
    EXPECT_EQ(t.FindStateChange(5, &index), &t.stateChanges[1]);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(t.FindStateChange(4, &index), nullptr);
    EXPECT_EQ(index, -1);

    // Merging a change of the track into itself doubles its ranges safely.
    t.AddStateChange(t.stateChanges[0]);
    EXPECT_EQ(t.stateChanges[0].rangeCount(), 2);

    // Removing by key; the last range takes its change along.
    t.RemoveRange(7, 1);
    EXPECT_EQ(t.stateChanges[2].rangeCount(), 2);
    EXPECT_EQ(t.stateChanges[2].ranges[1].key, 2);
    t.RemoveRange(7, 1);  // gone already: nothing
    t.RemoveRange(8, 0);  // no such state: nothing
    EXPECT_EQ(t.GetTotalRangeCount(), 6);
    t.RemoveRange(5, 0);
    EXPECT_EQ(t.stateCount(), 3);
    EXPECT_EQ(t.stateChanges[1].stateId, 7);
    EXPECT_EQ(t.GetTotalRangeCount(), 5);
    EXPECT_EQ(t.FindStateChange(5, nullptr), nullptr);
    CTRAnimTrack empty(1, 1, 1, 30);
    EXPECT_EQ(empty.GetTotalRangeCount(), 0);
    empty.RemoveRange(0, 0);
}

TEST(TrAnimTrack, CommandListEditing) {
    CTRAnimTrack t(1, 1, 1, 30);
    EXPECT_EQ(t.GetCommandWordCount(), 0);
    t.commands.push_back(ReadOne({1, 1, 2, 3}, 0));
    t.commands.push_back(ReadOne({3}, 0));
    t.commands.push_back(ReadOne({5, 10, 20}, 0));
    EXPECT_EQ(t.GetCommandWordCount(), 4 + 1 + 3);

    t.SwapCommands(2, 2);
    EXPECT_EQ(t.commands[2].code, 5);
    t.SwapCommands(0, 2);
    EXPECT_EQ(t.commands[0].code, 5);
    EXPECT_EQ(t.commands[2].code, 1);
    t.SwapCommands(0, 3);
    t.SwapCommands(-1, 0);
    EXPECT_EQ(t.commands[0].code, 5);

    t.EraseCommand(1);
    ASSERT_EQ(t.commandTotal(), 2);
    EXPECT_EQ(t.commands[1].code, 1);
    t.EraseCommand(2);
    t.EraseCommand(-1);
    EXPECT_EQ(t.commandTotal(), 2);
    t.commands[1].SetCode(12);  // unknown code: its code word only
    EXPECT_EQ(t.GetCommandWordCount(), 3 + 1);
}

TEST(TrAnimTrack, TakeTrDataMovesTheTombRaiderFields) {
    CTRAnimTrack from(2, 10, 5, 30), to(3, 15, 5, 30);
    from.stateId = 11;
    from.speedLow = -3;
    from.speedHigh = 4;
    from.acceleration = 1.5f;
    from.lateral[0] = 0xAB;
    from.commandCount = 2;
    from.AddStateChange(Change(2, {{0, 1, 0, 0}}));
    from.commands.push_back(ReadOne({4}, 0));
    to.lateral[0] = 0x11;
    to.commandCount = 7;
    to.TakeTrData(from);
    EXPECT_EQ(to.stateId, 11);
    EXPECT_EQ(to.speedLow, -3);
    EXPECT_EQ(to.speedHigh, 4);
    EXPECT_EQ(to.acceleration, 1.5f);
    EXPECT_EQ(to.stateCount(), 1);
    EXPECT_EQ(to.commandTotal(), 1);
    EXPECT_EQ(to.lateral[0], 0x11);  // not taken
    EXPECT_EQ(to.commandCount, 7);
    EXPECT_EQ(from.stateId, 0);
    EXPECT_EQ(from.speedLow, 0);
    EXPECT_EQ(from.speedHigh, 0);
    EXPECT_EQ(from.acceleration, 0);
    EXPECT_EQ(from.stateCount(), 0);
    EXPECT_EQ(from.commandTotal(), 0);
    EXPECT_EQ(from.GetTotalRangeCount(), 0);
    to.TakeTrData(to);
    EXPECT_EQ(to.stateId, 11);

    // Plays and is destroyed as a generic track.
    CAnimMgr m;
    auto t = std::make_unique<CTRAnimTrack>(1, 1, 1, 30.0f);
    t->AddStateChange(Change(1, {{0, 0, 0, 0}}));
    m.AddTrack(std::move(t));
    m.SetAnimation(0, 0);
    EXPECT_TRUE(m.Advance(1));
}

TEST(TrLevelAnimations, MoveableAnimationCount) {
    CTrLevel level;
    level.animations.resize(9);
    const uint16_t first[] = {0, 0xFFFF, 5, 0xFFFF};
    for (uint16_t f : first) {
        TrMoveableRecord r;
        r.setS32(0, int32_t(level.moveables.size()));
        r.setU16(16, f);
        level.moveables.push_back(r);
    }
    EXPECT_EQ(level.GetMoveableAnimCount(level.moveables[0]), 5);  // skips the one without
    EXPECT_EQ(level.GetMoveableAnimCount(level.moveables[1]), 0);
    EXPECT_EQ(level.GetMoveableAnimCount(level.moveables[2]), 4);  // up to the level's total
    EXPECT_EQ(level.GetMoveableAnimCount(level.moveables[3]), 0);
    // A copy of a record is found by its bytes.
    const TrMoveableRecord copy = level.moveables[0];
    EXPECT_EQ(level.GetMoveableAnimCount(copy), 5);
    // A record from elsewhere counts to the level's total.
    TrMoveableRecord other;
    other.setS32(0, 99);
    other.setU16(16, 7);
    EXPECT_EQ(level.GetMoveableAnimCount(other), 2);
    // 16-bit unsigned, as the level stores indices.
    level.moveables[2].setU16(16, 12);
    EXPECT_EQ(level.GetMoveableAnimCount(level.moveables[2]), uint16_t(9 - 12));
}

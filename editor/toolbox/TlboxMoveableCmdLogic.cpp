#include "editor/toolbox/TlboxMoveableCmdLogic.h"

#include <algorithm>
#include <memory>

#include "level/SoundList.h"
#include "level/TrAnimData.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr int kPlaySound = 5;
constexpr int kSoundIndexMask = 0x3FFF;

// Operands the list shows for a command: none for a code without an operand count.
int ShownOperands(const TrAnimCommand& c) {
    return c.operandCount == TrAnimCommand::kNoOperandCount ? 0 : std::min<int>(c.operandCount, 3);
}

// Another play-sound command of the moveable (in any animation) names that sound.
bool OtherCommandPlays(const CTrMvb& moveable, const TrAnimCommand* except, int sound) {
    for (int t = 0; t < moveable.animationCount(); ++t) {
        const CTRAnimTrack* track = moveable.GetTrack(t);
        if (!track) continue;
        for (const TrAnimCommand& c : track->commands)
            if (&c != except && c.code == kPlaySound && (c.operands[1] & kSoundIndexMask) == sound)
                return true;
    }
    return false;
}

}  // namespace

const TlboxColumn CTlboxMoveableCmdLogic::kColumns[4] = {
    {"Cmd", 47}, {"Param 1", 69}, {"Param 2", 69}, {"Param 3", 69}};

void CTlboxMoveableCmdLogic::Bind(CTrMvb* moveable, CTrLevel* level) {
    moveable_ = moveable;
    level_ = level;
}

void CTlboxMoveableCmdLogic::FillList(const CTRAnimTrack* track) {
    list_.Clear();
    if (!track) return;
    for (const TrAnimCommand& c : track->commands) {
        TlboxListRow row;
        row.columns.assign(4, std::string());
        row.columns[TlboxCode] = IntText(long(c.code));
        for (int j = 1; j <= ShownOperands(c); ++j) {
            long v = c.operands[j - 1];
            if (j == 1 && c.HasFrameOperand()) ++v;
            row.columns[size_t(j)] = IntText(v);
        }
        list_.Add(std::move(row));
    }
}

void CTlboxMoveableCmdLogic::LoadRow(int row) {
    if (!list_.Row(row)) return;
    CTlboxTrackListLogic::LoadRow(row);
    TrAnimCommand c;
    c.SetCode(int16_t(values_[TlboxCode]));
    for (int j = ShownOperands(c) + 1; j < 4; ++j) values_[size_t(j)] = 0;
}

void CTlboxMoveableCmdLogic::Add() {
    CTRAnimTrack* track = Track();
    if (!track) return;
    TrAnimCommand c;
    c.SetCode(4);
    track->commands.push_back(c);
    FillList(track);
    list_.Select(list_.Count() - 1);
    LoadRow(list_.Selection());
    MarkModified();
}

void CTlboxMoveableCmdLogic::Delete() {
    CTRAnimTrack* track = Track();
    const int row = list_.Selection();
    if (!track || !list_.Row(row)) return;
    list_.DeleteAndReselect(row);
    track->EraseCommand(row);
    MarkModified();
}

void CTlboxMoveableCmdLogic::MoveSelected(bool up) {
    CTRAnimTrack* track = Track();
    const int row = list_.Selection();
    if (!track || !list_.Row(row)) return;
    const int target = up ? row - 1 : row + 1;
    if (target < 0 || target >= list_.Count() || target >= track->commandTotal()) return;
    track->SwapCommands(row, target);
    list_.MoveSelected(up);
    MarkModified();
}

void CTlboxMoveableCmdLogic::MoveUp() { MoveSelected(true); }
void CTlboxMoveableCmdLogic::MoveDown() { MoveSelected(false); }

bool CTlboxMoveableCmdLogic::ApplyAnimCommand(const EditTexts& edits) {
    CTRAnimTrack* track = Track();
    const int row = list_.Selection();
    TlboxListRow* item = list_.Row(row);
    if (!track || !item || row >= track->commandTotal()) return false;
    TrAnimCommand& cmd = track->commands[size_t(row)];
    const int oldCode = cmd.code;

    if (!ReadEdits(edits, true)) return false;

    const int32_t code = values_[TlboxCode];
    const uint16_t count = TrAnimCommand::OperandCount(code);
    if (count == TrAnimCommand::kNoOperandCount) {
        ShowToolboxError(StrFormat(
            "Unknown animation command code (%ld) : the codes go from 1 to 6 !", long(code)));
        return false;
    }
    const bool frame = TrAnimCommand::HasFrameOperand(code);
    for (int j = 1; j <= count; ++j) {
        const long v = values_[size_t(j)];
        if (j == 1 && frame) {
            if (v < 1 || v > long(track->frameCount)) {
                ShowToolboxError(
                    StrFormat("Invalid frame (%ld) : the animation has only %ld frames !", v,
                              long(track->frameCount)));
                return false;
            }
        } else if (v < -32768 || v > 65535) {
            ShowToolboxError(StrFormat(
                "Invalid parameter %d (%ld) : a parameter goes from -32768 to 65535 !", j, v));
            return false;
        }
    }
    const int sound = values_[TlboxParam2] & kSoundIndexMask;
    const CTrSoundList* levelSounds = level_ ? level_->soundList.get() : nullptr;
    if (code == kPlaySound && !(levelSounds && levelSounds->Contains(sound))) {
        ShowToolboxError(
            StrFormat("Can't modify this anim command because the sound with "
                      "internal index #%ld is not in the sound list !",
                      long(sound)));
        return false;
    }

    if (oldCode == kPlaySound && moveable_->sounds) {
        const int oldSound = cmd.operands[1] & kSoundIndexMask;
        // Kept while another command of the moveable still plays it.
        if (!OtherCommandPlays(*moveable_, &cmd, oldSound)) moveable_->sounds->Erase(oldSound);
    }
    cmd.SetCode(int16_t(code));
    item->columns[TlboxCode] = IntText(long(code));
    for (int j = count + 1; j < 4; ++j) item->columns[size_t(j)].clear();
    for (int j = count; j >= 1; --j) {
        item->columns[size_t(j)] = IntText(long(values_[size_t(j)]));
        cmd.operands[j - 1] = int16_t(values_[size_t(j)] - (j == 1 && frame ? 1 : 0));
    }
    if (code == kPlaySound) {
        if (!moveable_->sounds) moveable_->sounds = std::make_unique<CTrSoundList>();
        moveable_->sounds->CopyEntry(*levelSounds, sound);
    }
    MarkModified();
    return true;
}

}  // namespace lithoscope

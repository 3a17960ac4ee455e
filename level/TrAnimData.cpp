#include "level/TrAnimData.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

#include "level/LevelLog.h"
#include "level/TrLevel.h"

namespace lithoscope {

// ---- CTRStateChange ----

void CTRStateChange::AddRange(int32_t low, int32_t high, int32_t nextAnim, int32_t nextFrame) {
    TrStateChangeRange r;
    r.lowFrame = low;
    r.highFrame = high;
    r.nextAnim = nextAnim;
    r.nextFrame = nextFrame;
    r.key = nextKey++;
    ranges.push_back(r);
}

TrStateChangeRange* CTRStateChange::GetRange(int indexOrKey, int* out, bool byKey) {
    if (byKey) {
        for (size_t i = 0; i < ranges.size(); ++i) {
            if (ranges[i].key == indexOrKey) {
                if (out) *out = int(i);
                return &ranges[i];
            }
        }
        if (out) *out = rangeCount();
        return nullptr;
    }
    if (indexOrKey < 0 || indexOrKey >= rangeCount()) {
        if (out) *out = -1;
        return nullptr;
    }
    TrStateChangeRange& r = ranges[size_t(indexOrKey)];
    if (out) *out = r.key;
    return &r;
}

// ---- TrAnimCommand ----

uint16_t TrAnimCommand::OperandCount(int code) {
    switch (code) {
        case 1: return 3;
        case 2: return 2;
        case 3:
        case 4: return 0;
        case 5:
        case 6: return 2;
        default: return kNoOperandCount;
    }
}

bool TrAnimCommand::IsSoundCommand() const {
    if (code == 5) return true;
    if (code != 6) return false;
    const uint16_t effect = uint16_t(operands[1]);
    return effect == 0x8020 || effect == 0x4020;
}

uint32_t TrAnimCommand::WordCount() const {
    return operandCount == kNoOperandCount ? 1u : uint32_t(operandCount) + 1u;
}

void TrAnimCommand::SetCode(int16_t newCode) {
    code = newCode;
    operandCount = OperandCount(newCode);
}

bool TrAnimCommand::Read(const int16_t* words, size_t available, int firstFrame) {
    *this = TrAnimCommand();
    if (!words || available == 0) return false;
    SetCode(words[0]);
    if (operandCount == kNoOperandCount) return false;  // can't be delimited
    if (available - 1 < operandCount) return false;      // operands past the end
    for (uint16_t i = 0; i < operandCount; ++i) {
        operands[i] = words[i + 1];
        if (i == 0 && HasFrameOperand() && firstFrame != -1)
            operands[0] = int16_t(operands[0] - firstFrame);
    }
    return true;
}

void TrAnimCommand::Read(const int16_t* words, int firstFrame) {
    Read(words, SIZE_MAX, firstFrame);
}

bool ReadTrAnimCommandList(const std::vector<int16_t>& words, size_t first, uint32_t count,
                           int firstFrame, int animIndex, std::vector<TrAnimCommand>& out) {
    size_t pos = first;
    for (uint32_t n = 0; n < count; ++n) {
        const size_t left = pos < words.size() ? words.size() - pos : 0;
        TrAnimCommand c;
        if (c.Read(left ? &words[pos] : nullptr, left, firstFrame)) {
            out.push_back(c);
            pos += c.WordCount();
            continue;
        }
        char line[256];
        if (left && c.operandCount == TrAnimCommand::kNoOperandCount)
            std::snprintf(line, sizeof line,
                          "ERROR: Moveable[%d] Animation=%d:\r\n\t\tUnknown animation command %d "
                          "at command word %zu. The remaining commands of this animation are "
                          "skipped.",
                          LevelLog().currentMoveable, animIndex, int(c.code), pos);
        else
            std::snprintf(line, sizeof line,
                          "ERROR: Moveable[%d] Animation=%d:\r\n\t\tAnimation commands run past "
                          "the end of the command data (word %zu of %zu). The remaining commands "
                          "of this animation are skipped.",
                          LevelLog().currentMoveable, animIndex, pos, words.size());
        AppendLogLine(line, true);
        return false;
    }
    return true;
}

// ---- CTRAnimTrack ----

CTRAnimTrack::CTRAnimTrack(int keyCount, uint32_t frameCount, uint32_t interval, float rate)
    : CAnimTrack(keyCount, frameCount, interval, rate) {}

CTRStateChange* CTRAnimTrack::FindStateChange(int id, int* index) {
    for (size_t i = 0; i < stateChanges.size(); ++i) {
        if (stateChanges[i].stateId == id) {
            if (index) *index = int(i);
            return &stateChanges[i];
        }
    }
    if (index) *index = -1;
    return nullptr;
}

void CTRAnimTrack::AddStateChange(const CTRStateChange& change) {
    for (auto it = stateChanges.begin(); it != stateChanges.end(); ++it) {
        if (it->stateId == change.stateId) {
            // Copy the ranges first: change may be this very element.
            const std::vector<TrStateChangeRange> add = change.ranges;
            for (const TrStateChangeRange& r : add)
                it->AddRange(r.lowFrame, r.highFrame, r.nextAnim, r.nextFrame);
            return;
        }
        if (uint32_t(change.stateId) < uint32_t(it->stateId)) {
            stateChanges.insert(it, CTRStateChange(change));
            return;
        }
    }
    stateChanges.push_back(CTRStateChange(change));
}

void CTRAnimTrack::RemoveRange(int id, int key) {
    int index;
    CTRStateChange* change = FindStateChange(id, &index);
    if (!change) return;
    int at;
    if (!change->GetRange(key, &at, true)) return;
    change->ranges.erase(change->ranges.begin() + at);
    if (change->ranges.empty()) stateChanges.erase(stateChanges.begin() + index);
}

int CTRAnimTrack::GetTotalRangeCount() const {
    int total = 0;
    for (const CTRStateChange& c : stateChanges) total += c.rangeCount();
    return total;
}

int CTRAnimTrack::GetCommandWordCount() const {
    uint32_t words = 0;
    for (const TrAnimCommand& c : commands) words += c.WordCount();
    return int(words);
}

void CTRAnimTrack::EraseCommand(int index) {
    if (index < 0 || index >= commandTotal()) return;
    commands.erase(commands.begin() + index);
}

void CTRAnimTrack::SwapCommands(int i, int j) {
    if (i == j || i < 0 || j < 0 || i >= commandTotal() || j >= commandTotal()) return;
    std::swap(commands[size_t(i)], commands[size_t(j)]);
}

void CTRAnimTrack::TakeTrData(CTRAnimTrack& from) {
    if (&from == this) return;
    stateId = from.stateId;
    speedLow = from.speedLow;
    speedHigh = from.speedHigh;
    acceleration = from.acceleration;
    stateChanges = std::move(from.stateChanges);
    commands = std::move(from.commands);
    from.stateId = 0;
    from.speedLow = 0;
    from.speedHigh = 0;
    from.acceleration = 0;
    from.stateChanges.clear();
    from.commands.clear();
}

// ---- CTrLevel ----

uint16_t CTrLevel::GetMoveableAnimCount(const TrMoveableRecord& moveable) const {
    const uint16_t a = moveable.firstAnimation();
    if (a == 0xFFFF) return 0;
    // Position of the record in the level; a copy is matched by its bytes.
    size_t pos = moveables.size();
    const std::less<const TrMoveableRecord*> before;
    if (!moveables.empty() && !before(&moveable, moveables.data()) &&
        before(&moveable, moveables.data() + moveables.size())) {
        pos = size_t(&moveable - moveables.data());
    } else {
        for (size_t i = 0; i < moveables.size(); ++i)
            if (moveables[i] == moveable) {
                pos = i;
                break;
            }
    }
    for (size_t i = pos + 1; i < moveables.size(); ++i) {
        const uint16_t next = moveables[i].firstAnimation();
        if (next != 0xFFFF) return uint16_t(next - a);
    }
    return uint16_t(animationCount() - a);
}

}  // namespace lithoscope

#pragma once
// The Tomb Raider side of a moveable's animations: state id, speeds, state changes (which
// state switches to which animation within which frames) and animation commands.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "level/Anim.h"

namespace lithoscope {

struct TrStateChangeRange {
    int32_t lowFrame = 0;
    int32_t highFrame = 0;
    int32_t nextAnim = 0;
    int32_t nextFrame = 0;
    int32_t key = 0;  // identifies the range while the list is edited; not stored in files
};

class CTRStateChange {
public:
    CTRStateChange() = default;
    explicit CTRStateChange(int32_t state) : stateId(state) {}
    CTRStateChange(const CTRStateChange&) = default;
    CTRStateChange& operator=(const CTRStateChange&) = default;
    virtual ~CTRStateChange() = default;

    // Appends a range keyed by the change's counter.
    void AddRange(int32_t low, int32_t high, int32_t nextAnim, int32_t nextFrame);
    // byKey: the first range with that key, *out = its index (none: *out = the range count,
    // null). Otherwise the range at that index, *out = its key (none: *out = -1, null).
    TrStateChangeRange* GetRange(int indexOrKey, int* out, bool byKey);
    int32_t rangeCount() const { return int32_t(ranges.size()); }

    int32_t nextKey = 0;
    int32_t stateId = 0;
    std::vector<TrStateChangeRange> ranges;
};

struct TrAnimCommand {
    static constexpr uint16_t kNoOperandCount = 0xFFFF;

    int16_t code = 0;
    uint16_t operandCount = 0;  // kNoOperandCount for a code outside 1-6
    int16_t operands[4] = {0, 0, 0, 0};

    // Operands that follow a code in the level's command array; kNoOperandCount when the
    // code is not one of 1-6.
    static uint16_t OperandCount(int code);
    // Codes 5 (sound) and 6 (effect) have a frame number as first operand.
    static bool HasFrameOperand(int code) { return code == 5 || code == 6; }
    bool HasFrameOperand() const { return HasFrameOperand(code); }
    // Code 5, or code 6 with the sound effect 0x8020 or 0x4020.
    bool IsSoundCommand() const;
    // The 16-bit words the command takes in the level: the code and its operands. A code
    // without an operand count takes its code word only.
    uint32_t WordCount() const;

    void SetCode(int16_t newCode);
    // Fills the command from words[0 ..]; the frame operand is made relative to firstFrame
    // unless it is -1. available is the number of words there; false (and the code kept,
    // operandCount kNoOperandCount when the code is unknown) when the command can't be read
    // whole: an unknown code or operands past the end.
    bool Read(const int16_t* words, size_t available, int firstFrame);
    // The same for a caller that knows the operands are there.
    void Read(const int16_t* words, int firstFrame);
};

class CTRAnimTrack : public CAnimTrack {
public:
    CTRAnimTrack(int keyCount, uint32_t frameCount, uint32_t interval, float rate);
    ~CTRAnimTrack() override = default;

    // Linear search; none: *index -1 and null.
    CTRStateChange* FindStateChange(int stateId, int* index);
    // Merges by state id, keeping the list sorted (unsigned ascending).
    void AddStateChange(const CTRStateChange& change);
    // Erases the first range with that key from that state's change, and the change when it
    // is left empty.
    void RemoveRange(int stateId, int key);
    int GetTotalRangeCount() const;
    int GetCommandWordCount() const;
    void EraseCommand(int index);          // out of range: nothing
    void SwapCommands(int i, int j);       // out of range or i = j: nothing
    // Takes stateId, speeds, acceleration, state changes and commands of another track;
    // there they become 0 and empty. The lateral bytes and commandCount stay.
    void TakeTrData(CTRAnimTrack& from);

    int32_t stateCount() const { return int32_t(stateChanges.size()); }
    int32_t commandTotal() const { return int32_t(commands.size()); }

    int32_t stateId = 0;
    int16_t speedLow = 0;
    int32_t speedHigh = 0;
    float acceleration = 0;
    uint8_t lateral[8] = {0, 0, 0, 0, 0, 0, 0, 0};  // animation record bytes 16-23, as read
    int16_t commandCount = 0;                       // the level's command count
    std::vector<CTRStateChange> stateChanges;       // sorted by stateId
    std::vector<TrAnimCommand> commands;            // in level order
};

// The animation whose first frame a link's frame (of a dispatch or a next animation) counts
// from: the target when it is one of the count animations, else the target taken relative
// to the moveable's first animation when that is one; -1 when neither is. The builder and
// the save use it alike, so a link keeps its frame through any number of saves.
inline long LinkFrameBase(int32_t target, uint32_t first, uint32_t count) {
    if (target >= 0 && uint32_t(target) < count) return long(target);
    const int64_t relative = int64_t(target) - int64_t(first);
    if (relative >= 0 && relative < int64_t(count)) return long(relative);
    return -1;
}

// Reads a command list of count commands from word first of the level's command array;
// frame operands relative to firstFrame. An unknown code or a list that runs past the
// array ends the reading with an error in the level log (the commands before stay).
// animIndex names the animation in that line. Returns false when the list was cut short.
bool ReadTrAnimCommandList(const std::vector<int16_t>& words, size_t first, uint32_t count,
                           int firstFrame, int animIndex, std::vector<TrAnimCommand>& out);

}  // namespace lithoscope

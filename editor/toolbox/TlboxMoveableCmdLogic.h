#pragma once
// What the moveable toolbox's "Anim commands" page reads from and writes to the commands
// of the playing animation: one list row per command, and four edits (code and up to three
// operands). Frame operands are shown from 1 and stored from 0. A play-sound command may
// only name a sound of the level; the moveable's own sound list follows the commands.
#include <array>
#include <cstdint>
#include <string>

#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrLevel;
class CTrMvb;
class CTRAnimTrack;

class CTlboxMoveableCmdLogic : public CTlboxLogicBase {
public:
    enum Field { Code = 0, Param1, Param2, Param3, FieldCount };
    using Values = std::array<int32_t, FieldCount>;
    using EditTexts = std::array<std::string, FieldCount>;
    static const TlboxColumn kColumns[FieldCount];

    // level: whose sound list play-sound commands are checked against.
    void Bind(CTrMvb* moveable, CTrLevel* level);
    // As the State changes page: refilled for a new object or another animation.
    void Update(bool force, int currentAnim);

    const CTlboxRowList& List() const { return list_; }
    const Values& EditValues() const { return values_; }
    int LastAnim() const { return lastAnim_; }

    void FillList(const CTRAnimTrack* track);
    // The row's columns into the values; operands the command does not have give 0.
    void LoadRow(int row);
    void ClickRow(int row);

    // Add: a command of code 4 at the end, selected. Delete, up and down act on the
    // selected command.
    void Add();
    void Delete();
    void MoveUp();
    void MoveDown();
    // Modify the selected command from the four edit texts (empty ones count as 0; text
    // that is no integer keeps its value and stops the modify, with a message). A code
    // other than 1 to 6, an operand outside 16 bits, a frame past the animation or a sound
    // the level does not hold is refused with a message and changes nothing.
    bool ApplyAnimCommand(const EditTexts& edits);

private:
    CTRAnimTrack* Track() const;
    void MoveSelected(bool up);

    CTrMvb* moveable_ = nullptr;
    CTrLevel* level_ = nullptr;
    CTlboxRowList list_;
    Values values_{};
    int lastAnim_ = 0;
};

}  // namespace lithoscope

#pragma once
// What the moveable toolbox's "Anim commands" page reads from and writes to the commands
// of the playing animation: one list row per command, and four edits (code and up to three
// operands). Frame operands are shown from 1 and stored from 0. A play-sound command may
// only name a sound of the level; the moveable's own sound list follows the commands.
#include <cstdint>
#include <string>

#include "editor/toolbox/TlboxTrackListLogic.h"

namespace lithoscope {

class CTrLevel;

// The four edits under the list: the code and three operands.
enum TlboxCommandField { TlboxCode = 0, TlboxParam1, TlboxParam2, TlboxParam3 };

class CTlboxMoveableCmdLogic : public CTlboxTrackListLogic<4> {
public:
    static const TlboxColumn kColumns[4];

    // level: whose sound list play-sound commands are checked against.
    void Bind(CTrMvb* moveable, CTrLevel* level);

    void FillList(const CTRAnimTrack* track);
    // The row's columns into the values; operands the command does not have give 0.
    void LoadRow(int row) override;

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
    void Refill() override { FillList(Track()); }
    void MoveSelected(bool up);

    CTrLevel* level_ = nullptr;
};

}  // namespace lithoscope

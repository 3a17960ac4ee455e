#pragma once
// What the moveable toolbox's "State changes" page reads from and writes to the state
// changes of the playing animation: one list row per frame range of a state change, and
// five edits. Frames and animations are shown from 1 and stored from 0.
#include <array>
#include <cstdint>
#include <string>

#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrMvb;
class CTRAnimTrack;

class CTlboxMoveableStChLogic : public CTlboxLogicBase {
public:
    // The five edits under the list, in order.
    enum Field { State = 0, LowFrame, HighFrame, NextAnim, NextFrame, FieldCount };
    using Values = std::array<int32_t, FieldCount>;
    using EditTexts = std::array<std::string, FieldCount>;
    static const TlboxColumn kColumns[FieldCount];

    void Bind(CTrMvb* moveable);
    // currentAnim: the Animation page's GetCurrentAnim (1-based, 0 for none). The list is
    // refilled for a new object (force) or another animation.
    void Update(bool force, int currentAnim);

    const CTlboxRowList& List() const { return list_; }
    // The values the edits show, 1-based as the user sees them.
    const Values& EditValues() const { return values_; }
    int LastAnim() const { return lastAnim_; }

    // Fills the list from a track; *row (when given) receives the last row of that state
    // and stays as it was when there is none.
    void FillList(const CTRAnimTrack* track, int stateToFind, int* row);
    // The row's columns into the values (an empty column gives 0).
    void LoadRow(int row);
    // A click on a row selects and loads it.
    void ClickRow(int row);

    // Add: a range of state 0 over the first frame to the first frame of the first
    // animation, selected. Delete: the selected range.
    void Add();
    void Delete();
    // Modify: the five edit texts are read (text that is no integer keeps its value and
    // stops the modify, with a message), checked against the animation's frames, the moveable's
    // animations and the next animation's frames, and stored in the selected range; a changed state
    // moves the range to that state. A refused value shows why and changes nothing.
    bool ApplyStateChange(const EditTexts& edits);

private:
    CTRAnimTrack* Track() const;
    int AnimationCount() const;

    CTrMvb* moveable_ = nullptr;
    CTlboxRowList list_;
    Values values_{};
    int lastAnim_ = 0;
};

}  // namespace lithoscope

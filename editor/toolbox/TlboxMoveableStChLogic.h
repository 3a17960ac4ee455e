#pragma once
// What the moveable toolbox's "State changes" page reads from and writes to the state
// changes of the playing animation: one list row per frame range of a state change, and
// five edits. Frames and animations are shown from 1 and stored from 0.
#include <cstdint>
#include <string>

#include "editor/toolbox/TlboxTrackListLogic.h"

namespace lithoscope {

// The five edits under the list, in order.
enum TlboxStateField {
    TlboxState = 0,
    TlboxLowFrame,
    TlboxHighFrame,
    TlboxNextAnim,
    TlboxNextFrame
};

class CTlboxMoveableStChLogic : public CTlboxTrackListLogic<5> {
public:
    static const TlboxColumn kColumns[5];

    void Bind(CTrMvb* moveable) { moveable_ = moveable; }

    // Fills the list from a track; *row (when given) receives the last row of that state
    // and stays as it was when there is none.
    void FillList(const CTRAnimTrack* track, int stateToFind, int* row);

    // Add: a range of state 0 over the first frame to the first frame of the first
    // animation, selected. Delete: the selected range.
    void Add();
    void Delete();
    // Modify: the five edit texts are read (text that is no integer keeps its value and
    // stops the modify, with a message), checked against the animation's frames, the
    // moveable's animations and the next animation's frames, and stored in the selected
    // range; a changed state moves the range to that state. A refused value shows why and
    // changes nothing.
    bool ApplyStateChange(const EditTexts& edits);

private:
    void Refill() override { FillList(Track(), 0, nullptr); }
    int AnimationCount() const;
};

}  // namespace lithoscope

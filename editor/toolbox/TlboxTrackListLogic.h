#pragma once
// What the "State changes" and "Anim commands" pages share: a list of the playing
// animation's rows, refilled when another animation plays or another moveable is bound, and
// a row of integer edits under it.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrMvb;
class CTRAnimTrack;

// The moveable's playing track, null without one.
CTRAnimTrack* PlayingTrack(const CTrMvb* moveable);

template <size_t N>
class CTlboxTrackListLogic : public CTlboxLogicBase {
public:
    using Values = std::array<int32_t, N>;
    using EditTexts = std::array<std::string, N>;

    // currentAnim: the Animation page's GetCurrentAnim (1-based, 0 for none). The list is
    // refilled for a new object (force) or another animation; an empty list is refilled
    // whenever an animation plays again, the same one included.
    void Update(bool force, int currentAnim) {
        const bool refill = currentAnim != 0 && (force || currentAnim != lastAnim_);
        if (currentAnim == 0 || refill) {
            list_.Clear();
            values_.fill(0);
            lastAnim_ = 0;
        }
        if (refill) {
            lastAnim_ = currentAnim;
            if (moveable_) Refill();
        }
    }

    const CTlboxRowList& List() const { return list_; }
    // The values the edits show, as the user sees them.
    const Values& EditValues() const { return values_; }
    int LastAnim() const { return lastAnim_; }

    // The row's columns into the values (an empty column gives 0).
    virtual void LoadRow(int row) {
        const TlboxListRow* item = list_.Row(row);
        if (!item) return;
        for (size_t i = 0; i < N; ++i)
            values_[i] =
                i < item->columns.size() ? ReadLeadingInt(item->columns[i].substr(0, 16)) : 0;
    }
    // A click on a row selects and loads it.
    void ClickRow(int row) {
        if (!moveable_ || !list_.Row(row)) return;
        list_.Select(row);
        LoadRow(row);
    }

protected:
    virtual void Refill() = 0;
    CTRAnimTrack* Track() const { return PlayingTrack(moveable_); }
    // Every edit text into its value (empty text as 0 when asked); a text that is no
    // integer keeps its value, with a message, and makes the result false.
    bool ReadEdits(const EditTexts& edits, bool emptyIsZero) {
        bool read = true;
        for (size_t i = 0; i < N; ++i)
            read =
                ReadIntEdit(emptyIsZero && edits[i].empty() ? "0" : edits[i], &values_[i]) && read;
        return read;
    }

    CTrMvb* moveable_ = nullptr;
    CTlboxRowList list_;
    Values values_{};
    int lastAnim_ = 0;
};

}  // namespace lithoscope

#include "editor/toolbox/TlboxMoveableStChLogic.h"

#include <cstdlib>

#include "level/TrAnimData.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// Levels store state ids in 16 bits.
constexpr int32_t kMaxStateId = 0xFFFF;

}  // namespace

const TlboxColumn CTlboxMoveableStChLogic::kColumns[5] = {
    {"State", 38}, {"Low frm", 50}, {"High frm", 54}, {"Next anm", 58}, {"Next frm", 54}};

int CTlboxMoveableStChLogic::AnimationCount() const {
    return moveable_ ? moveable_->animationCount() : 0;
}

void CTlboxMoveableStChLogic::FillList(const CTRAnimTrack* track, int stateToFind, int* row) {
    list_.Clear();
    if (!track) return;
    for (const CTRStateChange& change : track->stateChanges) {
        for (const TrStateChangeRange& r : change.ranges) {
            TlboxListRow item;
            item.columns = {IntText(long(change.stateId)), IntText(long(r.lowFrame) + 1),
                            IntText(long(r.highFrame) + 1), IntText(long(r.nextAnim) + 1),
                            IntText(long(r.nextFrame) + 1)};
            item.stateId = change.stateId;
            item.key = r.key;
            if (row && change.stateId == stateToFind) *row = list_.Count();
            list_.Add(std::move(item));
        }
    }
}

void CTlboxMoveableStChLogic::Add() {
    CTRAnimTrack* track = Track();
    if (!track) return;
    CTRStateChange change(0);
    change.AddRange(0, 0, 0, 0);
    track->AddStateChange(change);
    int row = -1;
    FillList(track, 0, &row);
    list_.Select(row);
    LoadRow(row);
    MarkModified();
}

void CTlboxMoveableStChLogic::Delete() {
    CTRAnimTrack* track = Track();
    const int row = list_.Selection();
    const TlboxListRow* item = list_.Row(row);
    if (!track || !item) return;
    const int32_t state = item->stateId, key = item->key;
    list_.DeleteAndReselect(row);
    track->RemoveRange(state, key);
    MarkModified();
}

bool CTlboxMoveableStChLogic::ApplyStateChange(const EditTexts& edits) {
    CTRAnimTrack* track = Track();
    if (!track) return false;
    if (!ReadEdits(edits, false)) return false;

    const int32_t state = values_[TlboxState];
    if (state < 0 || state > kMaxStateId) {
        ShowToolboxError(StrFormat("Invalid state id (%ld) : a state id goes from 0 to %ld !",
                                   long(state), long(kMaxStateId)));
        return false;
    }
    // Stored from 0; as unsigned numbers an entry of 0 or below is too large.
    const uint32_t low = uint32_t(values_[TlboxLowFrame]) - 1,
                   high = uint32_t(values_[TlboxHighFrame]) - 1;
    const uint32_t next = uint32_t(values_[TlboxNextAnim]) - 1,
                   nf = uint32_t(values_[TlboxNextFrame]) - 1;
    if (low > high) {
        ShowToolboxError("The low frame must be less or equal to the high frame !");
        return false;
    }
    if (high >= track->frameCount) {
        ShowToolboxError(StrFormat("Invalid high frame (%ld) : the animation has only %ld frames !",
                                   long(values_[TlboxHighFrame]), long(track->frameCount)));
        return false;
    }
    if (next >= uint32_t(AnimationCount())) {
        ShowToolboxError(
            StrFormat("Invalid next animation (%ld) : there are only %ld animations "
                      "for this moveable !",
                      long(values_[TlboxNextAnim]), long(AnimationCount())));
        return false;
    }
    const CAnimTrack* target = moveable_->animations->GetTrack(int(next));
    const uint32_t targetFrames = target ? target->frameCount : 0;
    if (nf >= targetFrames) {
        ShowToolboxError(StrFormat(
            "Invalid next frame (%ld) : the animation %ld has only %ld frames !",
            long(values_[TlboxNextFrame]), long(values_[TlboxNextAnim]), long(targetFrames)));
        return false;
    }

    const int row = list_.Selection();
    TlboxListRow* item = list_.Row(row);
    if (!item) return false;
    if (item->stateId == state) {
        CTRStateChange* change = track->FindStateChange(state, nullptr);
        TrStateChangeRange* range = change ? change->GetRange(item->key, nullptr, true) : nullptr;
        if (!range) return false;
        range->lowFrame = int32_t(low);
        range->highFrame = int32_t(high);
        range->nextAnim = int32_t(next);
        range->nextFrame = int32_t(nf);
        for (int c = TlboxLowFrame; c < 5; ++c)
            item->columns[size_t(c)] = IntText(long(values_[size_t(c)]));
    } else {
        const int32_t oldState = item->stateId, key = item->key;
        list_.DeleteAndReselect(row);
        track->RemoveRange(oldState, key);
        CTRStateChange change(state);
        change.AddRange(int32_t(low), int32_t(high), int32_t(next), int32_t(nf));
        track->AddStateChange(change);
        int found = -1;
        FillList(track, state, &found);
        if (found != -1) {
            list_.Select(found);
            LoadRow(found);
        }
    }
    MarkModified();
    return true;
}

}  // namespace lithoscope

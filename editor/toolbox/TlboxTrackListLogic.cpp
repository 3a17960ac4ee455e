#include "editor/toolbox/TlboxTrackListLogic.h"

#include <utility>

#include "level/TrAnimData.h"
#include "level/TrMvb.h"

namespace lithoscope {

CTRAnimTrack* PlayingTrack(const CTrMvb* moveable) {
    if (!moveable || !moveable->animations) return nullptr;
    return dynamic_cast<CTRAnimTrack*>(moveable->animations->CurrentTrack());
}

void CTlboxRowList::DeleteAndReselect(int row) {
    if (row < 0 || row >= Count()) return;
    rows_.erase(rows_.begin() + row);
    selection_ = row < Count() ? row : Count() - 1;
}

bool CTlboxRowList::MoveSelected(bool up) {
    const int i = selection_;
    const int target = up ? i - 1 : i + 1;
    if (i < 0 || target < 0 || target >= Count()) return false;
    std::swap(rows_[size_t(i)], rows_[size_t(target)]);
    selection_ = target;
    return true;
}

}  // namespace lithoscope

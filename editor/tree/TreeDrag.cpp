// Tree drag and drop: the drag data, the drop rules and the tile copy.
#include "editor/tree/TreeDrag.h"

#include <cstring>

#include "editor/common/EditorMessages.h"
#include "editor/tree/HandleBase.h"
#include "level/TrRecords.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
constexpr size_t kTilePageBytes = 256 * 256 * 2;
}  // namespace

wxPoint DragScrollStep(const wxPoint& point, const wxRect& rect, int margin) {
    wxPoint step(0, 0);
    if (point.y >= rect.GetBottom() - margin) step.y = 1;
    else if (point.y <= rect.GetTop() + margin) step.y = -1;
    if (point.x <= rect.GetLeft() + margin) step.x = -1;
    else if (point.x >= rect.GetRight() - margin) step.x = 1;
    return step;
}

wxDragResult DragEffect(bool shiftDown) { return shiftDown ? wxDragMove : wxDragCopy; }

bool DropNodeOnto(CHandleBase* source, CHandleBase* target, bool sameTree) {
    if (!source || !target) return false;
    if (source->GetType() != target->GetType()) {
        ShowError("Invalid operation !");
        return false;
    }
    if (source == target) return false;
    source->DropOnto(target, sameTree);
    return true;
}

bool CopyTileTo(const void* source, int sourceKind, void* target, int targetKind,
                CHandleBase* targetNode) {
    if (!source || !target) return false;
    if (ShowMessage("Copy the tile ?", kEditorCaption, MsgButtons::YesNo, MsgIcon::Question,
                    MsgAnswer::No) != MsgAnswer::Yes)
        return false;
    if (sourceKind != targetKind || sourceKind < 0 || sourceKind > 2) {
        ShowError("Invalid operation !");
        return false;
    }
    if (source == target) return false;
    if (sourceKind == 0) std::memcpy(target, source, kTilePageBytes);
    else *static_cast<TrPackedChunk*>(target) = *static_cast<const TrPackedChunk*>(source);
    if (targetNode) targetNode->SetModified();
    return true;
}

// ---- drag data ----

wxDataFormat CTreeDragData::Format() { return wxDataFormat("application/x-lithoscope-tree-node"); }

CTreeDragData::CTreeDragData() : wxCustomDataObject(Format()) {
    static const char kMark = 1;  // some toolkits drop empty data
    SetData(1, &kMark);
}

}  // namespace lithoscope

// Tree drop logic, free of the drag loop.
#include "editor/tree/TreeDrag.h"

#include "editor/tree/HandleBase.h"
#include "platform/Messages.h"

namespace lithoscope {

bool DropNodeOnto(CHandleBase* source, CHandleBase* target, bool sameTree) {
    if (!source || !target) return false;
    if (source->GetType() != target->GetType()) {
        ShowMessage("Invalid operation !", "", MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (source == target) return false;
    source->DropOnto(target, sameTree);
    return true;
}

bool CopyTileTo(const TrPackedChunk& source, int sourceKind, TrPackedChunk& target,
                int targetKind, CHandleBase* targetNode) {
    if (ShowMessage("Copy the tile ?", "", MsgButtons::YesNo, MsgIcon::Question,
                    MsgAnswer::No) != MsgAnswer::Yes)
        return false;
    if (sourceKind != targetKind || sourceKind < 1 || sourceKind > 2) {
        ShowMessage("Invalid operation !", "", MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (&source == &target) return false;
    target.unpackedSize = source.unpackedSize;
    target.data = source.data;
    if (targetNode) targetNode->SetModified();
    return true;
}

}  // namespace lithoscope

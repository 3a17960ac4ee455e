// Tree drag and drop: the drop target, the drop rules, the tile copy and object copies.
#include "editor/tree/TreeDrag.h"

#include <cstring>
#include <memory>

#include <wx/utils.h>
#include <wx/weakref.h>

#include "editor/tree/HandleCollections.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "level/TrRecords.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
const char kCaption[] = "Lithoscope";
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

bool DropNodeOnto(CHandleBase* source, CHandleBase* target, bool sameTree, bool move) {
    if (!source || !target) return false;
    if (source->GetType() != target->GetType()) {
        ShowMessage("Invalid operation !", kCaption, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (source == target) return false;
    source->DropOnto(target, sameTree, move);
    return true;
}

bool CopyTileTo(const void* source, int sourceKind, void* target, int targetKind,
                CHandleBase* targetNode) {
    if (!source || !target) return false;
    if (ShowMessage("Copy the tile ?", kCaption, MsgButtons::YesNo, MsgIcon::Question,
                    MsgAnswer::No) != MsgAnswer::Yes)
        return false;
    if (sourceKind != targetKind || sourceKind < 0 || sourceKind > 2) {
        ShowMessage("Invalid operation !", kCaption, MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
    if (source == target) return false;
    if (sourceKind == 0) std::memcpy(target, source, kTilePageBytes);
    else *static_cast<TrPackedChunk*>(target) = *static_cast<const TrPackedChunk*>(source);
    if (targetNode) targetNode->SetModified();
    return true;
}

namespace {
// The copy of an object (through its object file image, as an export and import would)
// goes to the node of the same id in collection, or is appended by it.
template <class Object, class Collection>
bool CopyInto(const Object& object, Collection* collection, void (CHandleBase::*takeOver)(Object*),
              void (Collection::*append)(Object*)) {
    if (!collection) return false;
    Object copy(object.Serialize());
    if (CHandleBase* node = collection->FindChildNode(copy.objectId)) (node->*takeOver)(&copy);
    else (collection->*append)(&copy);
    return true;
}
}  // namespace

bool CopyObjectToTree(CHandleBase& source, CHandleBase& target, bool sameTree, bool move) {
    // Within one level the object is already there.
    if (sameTree || !source.GetObject() || !target.GetTree()) return false;
    CFileTree& tree = *target.GetTree();
    wxBusyCursor wait;
    switch (source.GetType()) {
    case HandleTypeMoveable:
        if (!CopyInto(*static_cast<CTrMvb*>(source.GetObject()),
                      static_cast<CHandleMoveables*>(tree.m_pMoveablesNode),
                      &CHandleBase::ImportMoveableFile, &CHandleMoveables::ImportNewMoveableFile))
            return false;
        if (move) static_cast<CHandleMoveable&>(source).RemoveMoveable();
        return true;
    case HandleTypeMesh: {
        auto& from = static_cast<CHandleMesh&>(source);
        // Only whole static meshes travel; a moveable's mesh stays with its moveable.
        if (!from.m_bStatic || !static_cast<CHandleMesh&>(target).m_bStatic) {
            ShowMessage("Invalid operation !", kCaption, MsgButtons::Ok, MsgIcon::Error);
            return false;
        }
        if (!CopyInto(*from.StaticMesh(), static_cast<CHandleStaticMeshes*>(tree.m_pStaticMeshesNode),
                      &CHandleBase::ImportMeshFile, &CHandleStaticMeshes::ImportNewStaticMeshFile))
            return false;
        if (move) from.RemoveStaticMesh();
        return true;
    }
    case HandleTypeSprite:
        if (!CopyInto(*static_cast<CTrLstSpr*>(source.GetObject()),
                      static_cast<CHandleSprites*>(tree.m_pSpritesNode),
                      &CHandleBase::ImportSpriteFile, &CHandleSprites::ImportNewSpriteFile))
            return false;
        if (move) static_cast<CHandleSprite&>(source).RemoveSprite();
        return true;
    default: return false;
    }
}

// ---- drag data and drop target ----

wxDataFormat CTreeDragData::Format() { return wxDataFormat("application/x-lithoscope-tree-node"); }

CTreeDragData::CTreeDragData() : wxCustomDataObject(Format()) {
    static const char kMark = 1;  // some toolkits drop empty data
    SetData(1, &kMark);
}

CTreeDropTarget::CTreeDropTarget(CFileTree* tree) : wxDropTarget(new CTreeDragData), tree_(tree) {}

wxDragResult CTreeDropTarget::OnEnter(wxCoord x, wxCoord y, wxDragResult def) {
    return OnDragOver(x, y, def);
}

wxDragResult CTreeDropTarget::OnDragOver(wxCoord x, wxCoord y, wxDragResult) {
    // Only drags of a level tree of this program are taken.
    if (!g_hDragSourceTree) return wxDragNone;
    tree_->DragOver(wxPoint(x, y));
    hovered_ = tree_->m_hDropItem;
    return DragEffect(wxGetKeyState(WXK_SHIFT));
}

void CTreeDropTarget::OnLeave() { tree_->DragLeave(); }

bool CTreeDropTarget::OnDrop(wxCoord, wxCoord) { return g_hDragSourceTree != nullptr; }

wxDragResult CTreeDropTarget::OnData(wxCoord, wxCoord, wxDragResult def) {
    CFileTree* source = g_hDragSourceTree;
    if (!source) return wxDragNone;
    const bool move = wxGetKeyState(WXK_SHIFT);
    // The toolkit says "leave" before "drop": the item hovered last is the target.
    const wxTreeItemId target = hovered_;
    hovered_ = wxTreeItemId();
    // The drop may ask questions: it runs once the toolkit has finished the drag.
    wxWeakRef<CFileTree> from(source);
    tree_->CallAfter([tree = tree_, from, target, move] {
        if (from) tree->DropFrom(from, target, move);
        else tree->DragLeave();
    });
    return def == wxDragNone ? DragEffect(move) : def;
}

}  // namespace lithoscope

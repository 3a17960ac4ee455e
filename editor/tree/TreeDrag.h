#pragma once
// Dragging level-tree nodes: the drop target each tree registers, the drop of one node
// onto another, the tile copy, and the copy of an object into another level.
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/treebase.h>

namespace lithoscope {

class CFileTree;
class CHandleBase;

// Within this many pixels of an edge, a drag scrolls the tree.
constexpr int kDragScrollMargin = 10;
// The scroll of one drag-over at point inside rect: one line down at or below the bottom
// margin, else up at or above the top one; one column left or right likewise.
wxPoint DragScrollStep(const wxPoint& point, const wxRect& rect, int margin);

// Move when Shift is held, else copy.
wxDragResult DragEffect(bool shiftDown);

// The drop of source onto target (either null: nothing). Different types: "Invalid
// operation !"; the same node: nothing; else source's DropOnto(target, sameTree, move).
// True when DropOnto was called.
bool DropNodeOnto(CHandleBase* source, CHandleBase* target, bool sameTree, bool move);

// The tile copy of a tile drop: asks "Copy the tile ?"; on Yes, tiles of the same kind
// give the target a copy of the source's pixels (kind 0: a 16-bit page; 1 and 2: a
// packed chunk) and mark targetNode (may be null) modified. True when copied.
bool CopyTileTo(const void* source, int sourceKind, void* target, int targetKind,
                CHandleBase* targetNode);

// A copy of the object of a moveable, static mesh or sprite node goes into the level of
// target's tree, as "Add resource" puts objects there: the object of the same id takes it
// over, or it is appended. Nothing happens within one tree. With move, the source object
// then leaves its own level. True when the target level changed.
bool CopyObjectToTree(CHandleBase& source, CHandleBase& target, bool sameTree, bool move);

// What a tree drag carries: nothing but its own format.
class CTreeDragData : public wxCustomDataObject {
public:
    CTreeDragData();
    static wxDataFormat Format();
};

// The drop target of a level tree: effect, hover highlight and expansion, auto-scroll,
// and the drop handed to the tree.
class CTreeDropTarget : public wxDropTarget {
public:
    explicit CTreeDropTarget(CFileTree* tree);
    wxDragResult OnEnter(wxCoord x, wxCoord y, wxDragResult def) override;
    wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult def) override;
    void OnLeave() override;
    bool OnDrop(wxCoord x, wxCoord y) override;
    wxDragResult OnData(wxCoord x, wxCoord y, wxDragResult def) override;

private:
    CFileTree* tree_;  // the window owns the target
    wxTreeItemId hovered_;
};

}  // namespace lithoscope

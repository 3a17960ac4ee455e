#pragma once
// Dragging level-tree nodes: what a drag carries, how it scrolls the tree, the drop of one
// node onto another and the tile copy. The drop target is the level tree's own.
#include <wx/dataobj.h>
#include <wx/dnd.h>
#include <wx/gdicmn.h>

namespace lithoscope {

class CHandleBase;

// Within this many pixels of an edge, a drag scrolls the tree.
constexpr int kDragScrollMargin = 10;
// The scroll of one drag-over at point inside rect: one line down at or below the bottom
// margin, else up at or above the top one; one column left or right likewise.
wxPoint DragScrollStep(const wxPoint& point, const wxRect& rect, int margin);

// The effect shown: move when Shift is held, else copy.
wxDragResult DragEffect(bool shiftDown);

// The drop of source onto target (either null: nothing). Different types: "Invalid
// operation !"; the same node: nothing; else source's DropOnto(target, sameTree).
// True when DropOnto was called.
bool DropNodeOnto(CHandleBase* source, CHandleBase* target, bool sameTree);

// The tile copy of a tile drop: asks "Copy the tile ?"; on Yes, tiles of the same kind
// give the target a copy of the source's pixels (kind 0: a 16-bit page; 1 and 2: a
// packed chunk) and mark targetNode (may be null) modified. True when copied.
bool CopyTileTo(const void* source, int sourceKind, void* target, int targetKind,
                CHandleBase* targetNode);

// What a tree drag carries: nothing but its own format.
class CTreeDragData : public wxCustomDataObject {
public:
    CTreeDragData();
    static wxDataFormat Format();
};

}  // namespace lithoscope

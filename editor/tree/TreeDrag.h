#pragma once
// Dropping one level-tree node onto another, and the one drop that does something: the
// Tomb Raider IV tile copying its pixels.
#include "level/TrRecords.h"

namespace lithoscope {

class CHandleBase;

// The drop of source onto target (either null: nothing). Different types: "Invalid
// operation !"; the same node: nothing; else source's DropOnto(target, sameTree).
// True when DropOnto was called.
bool DropNodeOnto(CHandleBase* source, CHandleBase* target, bool sameTree);

// The tile copy of a tile drop: asks "Copy the tile ?"; on Yes, tiles of the same kind
// (1 and 2: packed chunks) give target a copy of source's sizes and bytes and mark
// targetNode (may be null) modified. True when copied.
bool CopyTileTo(const TrPackedChunk& source, int sourceKind, TrPackedChunk& target,
                int targetKind, CHandleBase* targetNode);

}  // namespace lithoscope

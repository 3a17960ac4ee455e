#pragma once
// Placement of a sprite sequence laid out side by side, in rows (no GL here).
#include <vector>

#include "level/Maths.h"
#include "level/TrLstSpr.h"

namespace lithoscope {

struct SpriteListLayout {
    float width = 0;   // W: the block's width
    float height = 0;  // H: the block's height
    // Translation of each sprite (drawn from its own origin): (px - W / 2, H / 2 - py).
    std::vector<CVector3> offsets;
};

// Row width W = the sum of the sprites' widths, at most rowWidth but at least the widest
// sprite. Sprites follow each other on a row until the row reaches rowWidth; a sprite that
// starts before the end of a row is drawn whole.
SpriteListLayout LayoutSpriteList(const std::vector<TrSpriteFrameRecord>& sprites, float rowWidth);

// The animated mode's clock, shared by every window: moves on by spriteRate / windowRate
// sprites and wraps to 0 at count; returns the sprite to draw.
int AdvanceSpriteClock(float& clock, float spriteRate, float windowRate, int count);

}  // namespace lithoscope

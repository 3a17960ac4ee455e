#include "editor/view3d/SpriteLayout.h"

#include <algorithm>

namespace lithoscope {

SpriteListLayout LayoutSpriteList(const std::vector<TrSpriteFrameRecord>& sprites, float rowWidth) {
    SpriteListLayout layout;
    float sum = 0, widest = 0;
    for (const TrSpriteFrameRecord& s : sprites) {
        const float w = float(s.right() - s.left());
        sum += w;
        widest = std::max(widest, w);
    }
    const float W = std::max(std::min(sum, rowWidth), widest);
    float x = 0, rowHeight = 0, H = 0;
    for (const TrSpriteFrameRecord& s : sprites) {
        rowHeight = std::max(rowHeight, float(s.bottom() - s.top()));
        x += float(s.right() - s.left());
        if (x >= W) {
            H += rowHeight;
            x = rowHeight = 0;
        }
    }
    H += rowHeight;
    layout.width = W;
    layout.height = H;
    float px = 0, py = 0;
    rowHeight = 0;
    layout.offsets.reserve(sprites.size());
    for (const TrSpriteFrameRecord& s : sprites) {
        layout.offsets.push_back(CVector3{px - W / 2, H / 2 - py, 0});
        rowHeight = std::max(rowHeight, float(s.bottom() - s.top()));
        px += float(s.right() - s.left());
        if (px >= rowWidth) {
            py += rowHeight;
            px = rowHeight = 0;
        }
    }
    return layout;
}

int AdvanceSpriteClock(float& clock, float spriteRate, float windowRate, int count) {
    if (count <= 0) return -1;
    clock += spriteRate / (windowRate > 0 ? windowRate : 1.0f);
    if (!(clock < float(count)) || clock < 0) clock = 0;
    return std::min(int(clock), count - 1);
}

}  // namespace lithoscope

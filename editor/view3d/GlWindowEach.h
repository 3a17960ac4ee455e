#pragma once
// Inside the GL window's sources: a walk over the shown moveables with their managers.
#include "editor/view3d/GlWindow.h"
#include "level/Anim.h"
#include "level/TrMvb.h"

namespace lithoscope {

template <class F>
void COpenGLWnd::ForEachMoveable(F f) {
    for (uint32_t i = 0; i < itemCount_; ++i)
        if (CTrMvb* mvb = items_[i].main.Moveable())
            if (mvb->animations) f(items_[i], *mvb, *mvb->animations);
}

}  // namespace lithoscope

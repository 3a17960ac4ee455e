#pragma once
// What a 3D view draws: one frame rendered and its back buffer read.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor/view3d/GlWindow.h"

namespace lithoscope::test {

// R, G, B bytes of every pixel, rows from the bottom up, of one frame of the view.
inline std::vector<uint8_t> RenderAndRead(COpenGLWnd& gl, int* width, int* height) {
    EXPECT_TRUE(gl.RenderFrame(false));
    const wxSize size = gl.GetClientSize() * gl.GetContentScaleFactor();
    *width = size.x;
    *height = size.y;
    std::vector<uint8_t> rgb(size_t(size.x) * size_t(size.y) * 3);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, size.x, size.y, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

}  // namespace lithoscope::test

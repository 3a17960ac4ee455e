// The last frame of a 3D view, kept in a texture of the shared context.
#include <GL/gl.h>

#include <algorithm>

#include "editor/view3d/GlWindow.h"

namespace lithoscope {

namespace {
int PowerOfTwoAtLeast(int n) {
    int p = 1;
    while (p < n) p *= 2;
    return p;
}
}  // namespace

void COpenGLWnd::KeepLastFrames() {
    for (COpenGLWnd* window : LiveWindows()) {
        window->lastFrameWidth_ = window->lastFrameHeight_ = 0;
        if (!window->MakeCurrent()) continue;
        window->still_ = true;
        const bool drawn = window->DrawItems();
        window->still_ = false;
        if (drawn) window->KeepLastFrame();
    }
}

void COpenGLWnd::KeepLastFrame() {
    const int w = viewportWidth_, h = viewportHeight_;
    if (w <= 0 || h <= 0) return;
    GLuint name = lastFrame_;
    if (!name) glGenTextures(1, &name);
    lastFrame_ = name;
    glBindTexture(GL_TEXTURE_2D, name);
    if (w > lastFrameTexWidth_ || h > lastFrameTexHeight_) {
        lastFrameTexWidth_ = PowerOfTwoAtLeast(w);
        lastFrameTexHeight_ = PowerOfTwoAtLeast(h);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, lastFrameTexWidth_, lastFrameTexHeight_, 0, GL_RGB,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    glCopyTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, 0, 0, w, h);
    lastFrameWidth_ = w;
    lastFrameHeight_ = h;
    lastTexture_ = 0;
}

void COpenGLWnd::ShowLastFrame(bool swap) {
    const wxSize size = GetClientSize() * GetContentScaleFactor();
    glViewport(0, 0, std::max(1, size.x), std::max(1, size.y));
    glClearColor((background_ & 0xFF) / 255.0f, ((background_ >> 8) & 0xFF) / 255.0f,
                 ((background_ >> 16) & 0xFF) / 255.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (lastFrame_ && lastFrameWidth_ > 0) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 1, 0, 1, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_BLEND);
        glDisable(GL_CULL_FACE);
        glDisable(GL_ALPHA_TEST);
        glEnable(GL_TEXTURE_2D);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
        glBindTexture(GL_TEXTURE_2D, lastFrame_);
        const float u = float(lastFrameWidth_) / float(lastFrameTexWidth_);
        const float v = float(lastFrameHeight_) / float(lastFrameTexHeight_);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0);
        glVertex2f(0, 0);
        glTexCoord2f(u, 0);
        glVertex2f(1, 0);
        glTexCoord2f(u, v);
        glVertex2f(1, 1);
        glTexCoord2f(0, v);
        glVertex2f(0, 1);
        glEnd();
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        glDisable(GL_TEXTURE_2D);
        lastTexture_ = 0;
    }
    if (swap) SwapBuffers();
}

void COpenGLWnd::ReleaseLastFrame() {
    if (lastFrame_ && MakeCurrent()) {
        GLuint name = lastFrame_;
        glDeleteTextures(1, &name);
    }
    lastFrame_ = 0;
    lastFrameWidth_ = lastFrameHeight_ = lastFrameTexWidth_ = lastFrameTexHeight_ = 0;
}

}  // namespace lithoscope

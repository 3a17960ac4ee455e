#include "editor/view3d/GlWindow.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <chrono>

#include <wx/dcclient.h>

#include "editor/shell/LithoscopeDoc.h"
#include "level/Pixels.h"
#include "level/TrLstMsh.h"

namespace lithoscope {
namespace {

const int kGlAttributes[] = {WX_GL_RGBA, WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16, 0};

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

COpenGLWnd::COpenGLWnd(wxWindow* parent)
    : wxGLCanvas(parent, wxID_ANY, kGlAttributes, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE) {
    context_ = std::make_unique<wxGLContext>(this);
    if (!context_->IsOK()) context_.reset();
    Bind(wxEVT_PAINT, &COpenGLWnd::OnPaint, this);
}

COpenGLWnd::~COpenGLWnd() {
    ReleaseTextures();
    for (GlDisplayItem& item : items_) item.main.object = item.associated.object = nullptr;
}

bool COpenGLWnd::MakeCurrent() {
    // A context that can't be made current skips the frame.
    return context_ && IsShownOnScreen() && SetCurrent(*context_);
}

void COpenGLWnd::ReleaseTextures() {
    const bool current = MakeCurrent();
    for (GlDisplayItem& item : items_) {
        for (GlObjectRef* ref : {&item.main, &item.associated}) {
            if (current && !ref->textureNames.empty())
                glDeleteTextures(GLsizei(ref->textureNames.size()), ref->textureNames.data());
            ref->textureNames.clear();
        }
    }
    lastTexture_ = -1;
}

void COpenGLWnd::SetDisplayItems(const GlDisplayItem* items, uint32_t count, bool keepTextures, int subIndex) {
    if (!keepTextures) ReleaseTextures();
    itemCount_ = std::min<uint32_t>(count, 2);
    for (uint32_t i = 0; i < 2; ++i) {
        std::vector<uint32_t> kept = keepTextures ? items_[i].main.textureNames : std::vector<uint32_t>();
        items_[i] = i < itemCount_ && items ? items[i] : GlDisplayItem();
        items_[i].main.textureNames = std::move(kept);
        items_[i].associated.textureNames.clear();
    }
    selectedVertex_ = -1;
    subIndex_ = subIndex;
    // The origin is always inside the fitted box.
    BoundingBox box;
    for (uint32_t i = 0; i < itemCount_; ++i) {
        for (GlObjectRef* ref : {&items_[i].main, &items_[i].associated}) {
            if (!ref->object) continue;
            BoundingBox b;
            ref->object->GetBoundingBox(&b, subIndex, nullptr);
            box.min.Set(std::min(box.min.x, b.min.x), std::min(box.min.y, b.min.y), std::min(box.min.z, b.min.z));
            box.max.Set(std::max(box.max.x, b.max.x), std::max(box.max.y, b.max.y), std::max(box.max.z, b.max.z));
        }
    }
    if (!(box.max.x > box.min.x)) box = BoundingBox(CVector3{-50, -50, -50}, CVector3{50, 50, 50});
    FitCameraToBox(box.min.x, box.max.x, box.min.y, box.max.y, box.min.z, box.max.z, false);
    Refresh(false);
}

void COpenGLWnd::FitCameraToBox(float minX, float maxX, float minY, float maxY, float minZ, float maxZ,
                                bool flat) {
    const float largest = std::max({maxX - minX, maxY - minY, maxZ - minZ});
    fitScale_ = largest > 0.0f ? 1.0f / largest : 1.0f;
    const CVector3 c{(minX + maxX) * 0.5f * fitScale_, (minY + maxY) * 0.5f * fitScale_,
                     (minZ + maxZ) * 0.5f * fitScale_};
    camera_.eye = flat ? CVector3{c.x, c.y, 2.0f} : CVector3{0.0f, 0.7f, 2.0f};
    camera_.target = c;
    camera_.SetRoll(0.0f);
    camera_.Refresh();
    lastTickMs_ = -1;
    framesPerSecond_ = 1.0f;
}

void COpenGLWnd::UploadTextures(GlObjectRef& ref) {
    if (!ref.object || !ref.textureNames.empty()) return;
    const CTrLstMsh& obj = *ref.object;
    if (obj.width == 0 || obj.height == 0 || obj.pixels.size() < obj.PixelBytes()) return;
    std::vector<uint8_t> bgra(size_t(obj.width) * obj.height * 4);
    ConvertPageToBgra(obj.pixels.data(), int(obj.width), int(obj.height), int(obj.bitsPerPixel), nullptr,
                      bgra.data(), false);
    const uint32_t pages = (obj.height + 255) / 256;
    ref.textureNames.resize(pages);
    glGenTextures(GLsizei(pages), ref.textureNames.data());
    for (uint32_t p = 0; p < pages; ++p) {
        // One 256-row page per texture; a short last page is padded with transparent rows.
        std::vector<uint8_t> page(size_t(obj.width) * 256 * 4, 0);
        const uint32_t rows = std::min<uint32_t>(256, obj.height - p * 256);
        std::copy_n(bgra.begin() + size_t(p) * 256 * obj.width * 4, size_t(rows) * obj.width * 4, page.begin());
        glBindTexture(GL_TEXTURE_2D, ref.textureNames[p]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, GLsizei(obj.width), 256, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE,
                     page.data());
    }
    lastTexture_ = -1;
}

void COpenGLWnd::SetUpView() {
    const wxSize size = GetClientSize() * GetContentScaleFactor();
    const int w = std::max(1, size.x), h = std::max(1, size.y);
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, double(w) / double(h), 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
}

bool COpenGLWnd::RenderFrame(bool swap) {
    if (g_bSavingLevel || itemCount_ == 0 || !items_[0].main.object) return false;
    if (!MakeCurrent()) return false;
    const int64_t now = NowMs();
    if (lastTickMs_ >= 0) {
        int64_t dt = now - lastTickMs_;
        framesPerSecond_ = 1000.0f / float(dt > 0 ? dt : 1);
    }
    lastTickMs_ = now;

    SetUpView();
    glClearColor((background_ & 0xFF) / 255.0f, ((background_ >> 8) & 0xFF) / 255.0f,
                 ((background_ >> 16) & 0xFF) / 255.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    const CViewCamera& c = camera_;
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, -c.up.x, -c.up.y, -c.up.z);
    glScalef(fitScale_, fitScale_, fitScale_);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glAlphaFunc(GL_GREATER, 0.5f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    for (uint32_t i = 0; i < itemCount_; ++i) {
        GlObjectRef& ref = items_[i].main;
        if (!ref.object) continue;
        UploadTextures(ref);
        glPushMatrix();
        if (subIndex_ >= 0) {
            DrawMesh(ref, subIndex_);
        } else {
            for (size_t m = 0; m < ref.object->meshes.size(); ++m) DrawMesh(ref, int(m));
        }
        glPopMatrix();
    }
    glFlush();
    if (swap) SwapBuffers();
    return true;
}

void COpenGLWnd::DrawFaces(GlObjectRef& ref, const TrMeshRecord& mesh, bool rectangles, int pass) {
    const CTrLstMsh& obj = *ref.object;
    const size_t count = rectangles ? mesh.texturedRectangles.size() : mesh.texturedTriangles.size();
    const int corners = rectangles ? 4 : 3;
    for (size_t n = count; n-- > 0;) {
        const uint16_t tex = rectangles ? mesh.texturedRectangles[n].texture() : mesh.texturedTriangles[n].texture();
        const uint16_t effects = rectangles ? mesh.texturedRectangles[n].effects() : mesh.texturedTriangles[n].effects();
        const size_t t = tex & 0x7FFF;
        if (t >= obj.textures.size()) continue;  // a bad texture index draws nothing
        const TrObjectTextureRecord& ot = obj.textures[t];
        const int facePass = ((ot.attributes() & 2) || (effects & 1)) ? 2 : ((ot.attributes() & 1) ? 1 : 0);
        if (facePass != pass) continue;
        const int page = ot.page() & 0xFF;
        if (page < int(ref.textureNames.size()) && page != lastTexture_) {
            glBindTexture(GL_TEXTURE_2D, ref.textureNames[page]);
            lastTexture_ = page;
        }
        glBegin(rectangles ? GL_QUADS : GL_TRIANGLES);
        for (int k = corners; k >= 1; --k) {
            const uint16_t v = rectangles ? mesh.texturedRectangles[n].vertex(k - 1)
                                          : mesh.texturedTriangles[n].vertex(k - 1);
            if (v >= mesh.vertices.size()) continue;
            const uint8_t* cn = ot.corner(k - 1);
            glTexCoord2f(float((cn[0] + cn[1]) % 256) / 255.0f, float((cn[2] + cn[3]) % 256) / 255.0f);
            float shade = mesh.hasNormals ? 1.0f : (v < mesh.lights.size() ? mesh.lights[v] / 8192.0f : 1.0f);
            if (pass == 2) shade = mesh.hasNormals ? 0.5f : 1.0f - shade;
            glColor3f(shade, shade, shade);
            const TrMeshVertex& p = mesh.vertices[v];
            glVertex3f(p.x, -float(p.y), -float(p.z));
        }
        glEnd();
    }
}

void COpenGLWnd::DrawVertexPoints(const TrMeshRecord& mesh) {
    glPointSize(2.0f);
    glColor3f(1, 1, 1);
    for (size_t i = 0; i < mesh.vertices.size(); ++i) {
        if (picking_) glLoadName(GLuint(i + 1));
        glBegin(GL_POINTS);
        const TrMeshVertex& p = mesh.vertices[i];
        glVertex3f(p.x, -float(p.y), -float(p.z));
        glEnd();
    }
}

void COpenGLWnd::DrawMesh(GlObjectRef& ref, int meshIndex) {
    // A missing mesh draws nothing.
    if (!ref.object || meshIndex < 0 || size_t(meshIndex) >= ref.object->meshes.size()) return;
    const TrMeshRecord& mesh = ref.object->meshes[size_t(meshIndex)];
    // While picking only the named vertices are drawn.
    if (!mesh.dummy && !picking_) {
        glEnable(GL_TEXTURE_2D);
        DrawFaces(ref, mesh, false, 0);
        DrawFaces(ref, mesh, true, 0);
        glEnable(GL_ALPHA_TEST);
        DrawFaces(ref, mesh, false, 1);
        DrawFaces(ref, mesh, true, 1);
        glDisable(GL_ALPHA_TEST);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
        glDepthMask(GL_FALSE);
        DrawFaces(ref, mesh, false, 2);
        DrawFaces(ref, mesh, true, 2);
        glDepthMask(GL_TRUE);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_TEXTURE_2D);
    }
    if (showVertices_ || picking_) DrawVertexPoints(mesh);
    if (selectedVertex_ >= 0 && size_t(selectedVertex_) < mesh.vertices.size() && !picking_) {
        glPointSize(2.0f);
        glColor3f(1, 0, 0);
        glDisable(GL_DEPTH_TEST);
        const TrMeshVertex& p = mesh.vertices[size_t(selectedVertex_)];
        glBegin(GL_POINTS);
        glVertex3f(p.x, -float(p.y), -float(p.z));
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
}

int COpenGLWnd::PickVertex(int x, int y) {
    selectedVertex_ = -1;
    if (itemCount_ == 0 || !items_[0].main.object || subIndex_ < 0 || !MakeCurrent()) return -1;
    picking_ = true;
    SetUpView();
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLuint buffer[512];
    glSelectBuffer(512, buffer);
    glRenderMode(GL_SELECT);
    glInitNames();
    glPushName(0);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPickMatrix(x, viewport[3] - y, 8, 8, viewport);
    gluPerspective(60.0, double(viewport[2]) / double(std::max(1, viewport[3])), 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const CViewCamera& c = camera_;
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, -c.up.x, -c.up.y, -c.up.z);
    glScalef(fitScale_, fitScale_, fitScale_);
    DrawMesh(items_[0].main, subIndex_);
    glFlush();
    const GLint hits = glRenderMode(GL_RENDER);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    picking_ = false;
    // Records of four values (name count, min depth, max depth, name); an overflow (-1) or a
    // record with other than one name is not read past the buffer.
    GLuint best = 0xFFFFFFFFu;
    for (GLint h = std::min<GLint>(hits, 128); h-- > 0;) {
        const GLuint* rec = buffer + 4 * h;
        if (rec[0] != 1) continue;
        if (rec[1] < best) {
            best = rec[1];
            selectedVertex_ = int(rec[3]) - 1;
        }
    }
    Refresh(true);
    return selectedVertex_;
}

void COpenGLWnd::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    RenderFrame(true);
}

}  // namespace lithoscope

#include "editor/view3d/GlWindow.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>

#include <wx/dcclient.h>
#include <wx/timer.h>

#include "editor/common/EditorHost.h"
#include "editor/common/EditorMessages.h"
#include "editor/common/LevelDocument.h"
#include "editor/common/PaneInterfaces.h"
#include "editor/view3d/GlFont.h"
#include "editor/view3d/KeyState.h"
#include "editor/view3d/ViewCameraInput.h"
#include "level/Anim.h"
#include "level/Pixels.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// Double buffered RGBA with a 16-bit depth buffer.
const int kGlAttributes[] = {WX_GL_RGBA, WX_GL_DOUBLEBUFFER, WX_GL_DEPTH_SIZE, 16, 0};

// The attributes to create the canvas with: null (the display's default) when ours are
// not available, after telling the user.
const int* ChooseAttributes(bool& supported) {
    supported = wxGLCanvas::IsDisplaySupported(kGlAttributes);
    if (supported) return kGlAttributes;
    char text[128];
    std::snprintf(text, sizeof text, "Error when calling OpenGL ChoosePixelFormat function (%ld)",
                  long(errno));
    ShowError(text);
    return nullptr;
}

// One context for every view of the run: what the GL driver builds for the drawing state
// (on a software driver that takes a large part of a second) is built once. It stays for the
// whole process.
wxGLContext* g_sharedContext = nullptr;
bool g_fontListsMade = false;

wxGLContext* SharedContext(wxGLCanvas* canvas) {
    if (!g_sharedContext) {
        auto* context = new wxGLContext(canvas);
        if (!context->IsOK()) {
            delete context;
            return nullptr;
        }
        g_sharedContext = context;
    }
    return g_sharedContext;
}

// What every frame starts with: the background cleared and the drawing state of the faces.
void BeginFrame(uint32_t background) {
    glClearColor((background & 0xFF) / 255.0f, ((background >> 8) & 0xFF) / 255.0f,
                 ((background >> 16) & 0xFF) / 255.0f, 0.0f);
    glClearDepth(1.0);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LESS);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_CULL_FACE);
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glAlphaFunc(GL_GREATER, 0.5f);
}

// The caption font's lists live in the shared context with the views' textures.
void EnsureFontLists() {
    if (!g_fontListsMade) MakeFontLists();
    g_fontListsMade = true;
}

// A 256 x 256 BGRA page into the bound texture, filtered and repeated as the views draw it.
void LoadPage(const uint8_t* bgra) {
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 256, 256, 0, GL_BGRA_EXT, GL_UNSIGNED_BYTE, bgra);
}

int64_t NowNs() {
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace

CTrLstMsh* GlObjectRef::MeshList() const {
    return kind == GlKindSprites ? nullptr : dynamic_cast<CTrLstMsh*>(object);
}
CTrStatMsh* GlObjectRef::StaticMesh() const {
    return kind == GlKindStaticMesh ? dynamic_cast<CTrStatMsh*>(object) : nullptr;
}
CTrMvb* GlObjectRef::Moveable() const {
    return kind == GlKindMoveable ? dynamic_cast<CTrMvb*>(object) : nullptr;
}
CTrLstSpr* GlObjectRef::Sprites() const {
    return kind == GlKindSprites ? dynamic_cast<CTrLstSpr*>(object) : nullptr;
}

// ---- warm-up ----

namespace {

// Draws once what a frame draws (a page uploaded as the views do, a face in each of the three
// passes, the caption font), as soon as it is on screen, then goes.
class CGlWarmUp : public wxGLCanvas {
public:
    explicit CGlWarmUp(wxWindow* parent)
        : wxGLCanvas(parent, wxID_ANY, kGlAttributes, wxPoint(0, 0), wxSize(1, 1)) {
        SetBackgroundStyle(wxBG_STYLE_PAINT);
        Bind(wxEVT_PAINT, [this](wxPaintEvent&) { wxPaintDC dc(this); });
        Bind(wxEVT_TIMER, &CGlWarmUp::OnTimer, this);
        timer_.SetOwner(this);
        timer_.Start(50);
    }

private:
    void OnTimer(wxTimerEvent&) {
        if (!IsShownOnScreen() && ++waits_ < 100) return;
        timer_.Stop();
        if (IsShownOnScreen() && !g_sharedContext) Draw();
        CallAfter([this] { Destroy(); });
    }

    void Draw() {
        wxGLContext* context = SharedContext(this);
        if (!context || !SetCurrent(*context)) return;
        glViewport(0, 0, 1, 1);
        BeginFrame(0);

        std::vector<uint8_t> page(256 * 256 * 4, 0xFF);
        GLuint name = 0;
        glGenTextures(1, &name);
        glBindTexture(GL_TEXTURE_2D, name);
        LoadPage(page.data());

        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        gluPerspective(60.0, 1.0, 0.1, 10.0);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        auto face = [] {
            for (GLenum kind : {GL_TRIANGLES, GL_QUADS}) {
                glBegin(kind);
                glColor3f(1, 1, 1);
                glTexCoord2f(0, 0);
                glVertex3f(-1, -1, -2);
                glTexCoord2f(1, 0);
                glVertex3f(1, -1, -2);
                glTexCoord2f(1, 1);
                glVertex3f(1, 1, -2);
                if (kind == GL_QUADS) {
                    glTexCoord2f(0, 1);
                    glVertex3f(-1, 1, -2);
                }
                glEnd();
            }
        };
        face();
        glEnable(GL_ALPHA_TEST);
        face();
        glDisable(GL_ALPHA_TEST);
        glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_COLOR);
        glDepthMask(GL_FALSE);
        face();
        glDepthMask(GL_TRUE);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glDisable(GL_TEXTURE_2D);
        EnsureFontLists();
        // The caption's bitmaps.
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 1, 1, 0, 0, -1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_DEPTH_TEST);
        glColor3f(0, 0, 0);
        glListBase(kFontListBase - kFontFirstChar);
        glRasterPos2i(0, 0);
        glCallLists(1, GL_UNSIGNED_BYTE, "A");
        glEnable(GL_DEPTH_TEST);
        glFinish();
        glDeleteTextures(1, &name);
    }

    wxTimer timer_;
    int waits_ = 0;
};

}  // namespace

void WarmUpOpenGL(wxWindow* parent) {
    if (!parent || g_sharedContext || !wxGLCanvas::IsDisplaySupported(kGlAttributes)) return;
    new CGlWarmUp(parent);
}

// ---- creation ----

static bool s_lastSupported = true;

std::vector<COpenGLWnd*>& COpenGLWnd::LiveWindows() {
    static std::vector<COpenGLWnd*> windows;
    return windows;
}

COpenGLWnd::COpenGLWnd(wxWindow* parent, const wxPoint& pos, const wxSize& size)
    : wxGLCanvas(parent, kGlWindowId, ChooseAttributes(s_lastSupported), pos, size,
                 wxFULL_REPAINT_ON_RESIZE | wxCLIP_CHILDREN | wxCLIP_SIBLINGS) {
    LiveWindows().push_back(this);
    if (s_lastSupported) context_ = SharedContext(this);
    if (IMainWindow* main = MainWindow()) {
        showAxis_ = main->IsAxisShown();
        background_ = main->GetBackgroundColor();
        autoCamera_ = !main->IsManualCamera();
    }
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &COpenGLWnd::OnPaint, this);
}

COpenGLWnd::~COpenGLWnd() {
    std::vector<COpenGLWnd*>& live = LiveWindows();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    ReleaseTextures();
    ReleaseLastFrame();
    for (GlDisplayItem& item : items_) item.main.object = item.associated.object = nullptr;
}

bool COpenGLWnd::MakeCurrent() {
    // A window not on screen (or without context) skips the frame.
    return context_ && IsShownOnScreen() && SetCurrent(*context_);
}

// ---- what to draw ----

void COpenGLWnd::ReleaseTextures() {
    const bool current = MakeCurrent();
    for (GlDisplayItem& item : items_) {
        for (GlObjectRef* ref : {&item.main, &item.associated}) {
            if (current && !ref->textureNames.empty())
                glDeleteTextures(GLsizei(ref->textureNames.size()), ref->textureNames.data());
            ref->textureNames.clear();
            ref->uploaded = false;
        }
    }
    lastTexture_ = 0;
}

void COpenGLWnd::SetDisplayItems(const GlDisplayItem* items, uint32_t count, bool keepTextures,
                                 int subIndex) {
    if (!keepTextures) ReleaseTextures();
    // items may be this window's own: copy them first.
    GlDisplayItem incoming[2];
    const uint32_t n = items ? std::min<uint32_t>(count, 2) : 0;
    for (uint32_t i = 0; i < n; ++i) incoming[i] = items[i];
    if (keepTextures) {
        // Textures of objects no longer shown are given back.
        for (uint32_t i = n; i < 2; ++i) {
            if (MakeCurrent())
                for (GlObjectRef* ref : {&items_[i].main, &items_[i].associated})
                    if (!ref->textureNames.empty())
                        glDeleteTextures(GLsizei(ref->textureNames.size()), ref->textureNames.data());
        }
    }
    for (uint32_t i = 0; i < 2; ++i) items_[i] = incoming[i];
    itemCount_ = n;
    selectedVertex_ = -1;
    subIndex_ = subIndex;
    playing_ = false;
    // The zero box: the origin is always inside.
    BoundingBox box;
    for (uint32_t i = 0; i < itemCount_; ++i) {
        for (const GlObjectRef* ref : {&items_[i].main, &items_[i].associated}) {
            const CTrLstMsh* list = ref->MeshList();
            if (!list) continue;
            BoundingBox b;
            list->GetBoundingBox(&b, subIndex, nullptr);
            if (b.min.x <= b.max.x) box.Union(b);  // an object without vertices adds nothing
        }
    }
    if (!(box.max.x > box.min.x)) box = BoundingBox(CVector3{-50, -50, -50}, CVector3{50, 50, 50});
    FitCameraToBox(box.min.x, box.max.x, box.min.y, box.max.y, box.min.z, box.max.z, false);
    Refresh(false);
    ForEachMoveable([this](GlDisplayItem&, CTrMvb&, CAnimMgr& mgr) {
        mgr.SetChain(chain_);
        mgr.SetSpeed(replaySpeed_);
    });
}

void COpenGLWnd::SetSpriteDisplayItems(const GlDisplayItem* items, uint32_t count, bool keepTextures) {
    if (!keepTextures) ReleaseTextures();
    GlDisplayItem incoming[2];
    const uint32_t n = items ? std::min<uint32_t>(count, 2) : 0;
    for (uint32_t i = 0; i < n; ++i) incoming[i] = items[i];
    for (uint32_t i = 0; i < 2; ++i) items_[i] = incoming[i];
    itemCount_ = n;
    selectedVertex_ = -1;
    playing_ = false;
    autoCamera_ = false;
    if (IMainWindow* main = MainWindow()) main->SetManualCamera(true);
    const CTrLstSpr* sprites = n ? items_[0].main.Sprites() : nullptr;
    if (sprites && !sprites->sprites.empty()) {
        const TrSpriteFrameRecord& s = sprites->sprites[0];
        if (s.right() > s.left())
            FitCameraToBox(s.left(), s.right(), -float(s.bottom()), -float(s.top()), -200, 200, true);
    }
    Refresh(false);
}

void COpenGLWnd::FitCameraToBox(float minX, float maxX, float minY, float maxY, float minZ,
                                float maxZ, bool flat) {
    const float largest = std::max({maxX - minX, maxY - minY, maxZ - minZ});
    fitScale_ = largest > 0.0f ? 1.0f / largest : 1.0f;
    const CVector3 c{(minX + maxX) * 0.5f * fitScale_, (minY + maxY) * 0.5f * fitScale_,
                     (minZ + maxZ) * 0.5f * fitScale_};
    camera_.eye = flat ? CVector3{c.x, c.y, 2.0f} : CVector3{0.0f, 0.7f, 2.0f};
    camera_.target = c;
    camera_.SetRoll(0.0f);
    camera_.Refresh();
    ResetFrameClock();
    framesPerSecond_ = 1.0f;
}

void COpenGLWnd::ResetView() {
    if (itemCount_ == 0 || !items_[0].main.object) return;
    if (items_[0].main.kind == GlKindSprites)
        SetSpriteDisplayItems(items_, itemCount_, true);
    else
        SetDisplayItems(items_, itemCount_, true, subIndex_);
}

void COpenGLWnd::SetItemOptions(uint32_t index, bool mainVisible, bool associatedVisible) {
    if (index >= itemCount_) return;
    items_[index].main.visible = mainVisible;
    items_[index].associated.visible = associatedVisible;
}

void COpenGLWnd::SetAutoCamera(bool on) {
    autoCamera_ = on;
    if (on) ResetFrameClock();
}

void COpenGLWnd::SetCaption(const char* text) {
    if (!text) return;
    caption_.assign(text, std::min<size_t>(std::char_traits<char>::length(text), 255));
}

ITlboxMoveableItfAnim* COpenGLWnd::AnimToolbox() const {
    IChildFrame* frame = ChildFrameOf(this);
    return frame ? dynamic_cast<ITlboxMoveableItfAnim*>(frame->GetToolboxView(EditPaneMoveable)) : nullptr;
}

// ---- frames ----

void COpenGLWnd::ResetFrameClock() { lastCounterNs_ = 0; }

void COpenGLWnd::MeasureFrame() {
    const int64_t now = NowNs();
    // The first frame after a reset keeps the rate it had.
    if (lastCounterNs_ != 0) {
        const int64_t dt = now - lastCounterNs_;
        framesPerSecond_ = dt > 0 ? float(1e9 / double(dt)) : 20.0f;
    }
    lastCounterNs_ = now;
}

void COpenGLWnd::UploadTextures(GlObjectRef& ref) {
    ref.uploaded = true;
    const CTrObjGfx* obj = ref.object;
    if (!obj || obj->width == 0 || obj->height == 0) return;
    if ((obj->bitsPerPixel != 16 && obj->bitsPerPixel != 32) || obj->pixels.size() < obj->PixelBytes())
        return;
    const size_t W = obj->width, H = obj->height;
    const size_t stride = std::max<size_t>(W, 256);
    const size_t rows = (H + 255) / 256 * 256;
    std::vector<uint8_t> page(W * H * 4);
    ConvertPageToBgra(obj->pixels.data(), int(W), int(H), int(obj->bitsPerPixel), nullptr,
                      page.data(), false);
    std::vector<uint8_t> buffer(stride * rows * 4, 0);
    for (size_t y = 0; y < H; ++y)
        std::copy_n(page.begin() + y * W * 4, W * 4, buffer.begin() + y * stride * 4);
    const size_t count = rows / 256;
    ref.textureNames.assign(count, 0);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, GLint(stride));
    glGenTextures(GLsizei(count), ref.textureNames.data());
    for (size_t p = 0; p < count; ++p) {
        glBindTexture(GL_TEXTURE_2D, ref.textureNames[p]);
        LoadPage(buffer.data() + p * 256 * stride * 4);
    }
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
}

void COpenGLWnd::UploadItemTextures(GlDisplayItem& item) {
    if (item.main.uploaded || !item.main.object) return;
    UploadTextures(item.main);
    if (item.associated.object) UploadTextures(item.associated);
    lastTexture_ = 0;
    ResetFrameClock();
    EnsureFontLists();
}

void COpenGLWnd::LoadView(bool picking, int pickX, int pickY) {
    const wxSize size = GetClientSize() * GetContentScaleFactor();
    viewportWidth_ = std::max(1, size.x);
    viewportHeight_ = std::max(1, size.y);
    const double aspect = double(viewportWidth_) / double(viewportHeight_);
    glMatrixMode(GL_PROJECTION);
    if (picking) {
        glPushMatrix();
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport);
        glLoadIdentity();
        gluPickMatrix(pickX, viewport[3] - pickY, 8, 8, viewport);
    } else {
        glViewport(0, 0, viewportWidth_, viewportHeight_);
        glLoadIdentity();
    }
    gluPerspective(60.0, aspect, 0.1, 10.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const CViewCamera& c = camera_;
    gluLookAt(c.eye.x, c.eye.y, c.eye.z, c.target.x, c.target.y, c.target.z, -c.up.x, -c.up.y, -c.up.z);
    glScalef(fitScale_, fitScale_, fitScale_);
}

bool COpenGLWnd::RenderFrame(bool swap) {
    if (!context_ || !MakeCurrent()) return false;
    if (g_bSavingLevel) {
        // The level's objects are not drawn while they are saved.
        ShowLastFrame(swap);
        return false;
    }
    if (itemCount_ == 0 || !items_[0].main.object) {
        // Nothing to show: the background only.
        glClearColor((background_ & 0xFF) / 255.0f, ((background_ >> 8) & 0xFF) / 255.0f,
                     ((background_ >> 16) & 0xFF) / 255.0f, 0.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        lastFrameWidth_ = lastFrameHeight_ = 0;
        if (swap) SwapBuffers();
        return false;
    }
    const bool autoStep = lastCounterNs_ != 0 && autoCamera_;
    MeasureFrame();
    if (autoStep) CameraAutoStep(camera_, framesPerSecond_);
    DrawItems();
    ++frameCount_;
    if (swap) SwapBuffers();
    return true;
}

bool COpenGLWnd::DrawItems() {
    if (itemCount_ == 0 || !items_[0].main.object) return false;
    lastTexture_ = 0;  // another view of the shared context may have bound its own
    BeginFrame(background_);
    for (uint32_t i = 0; i < itemCount_; ++i) UploadItemTextures(items_[i]);
    LoadView(false, 0, 0);
    for (uint32_t i = 0; i < itemCount_; ++i) DrawDisplayItem(items_[i]);
    DrawCaption(viewportWidth_, viewportHeight_);
    return true;
}

void COpenGLWnd::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(this);
    RenderFrame(true);
}

// ---- input ----

void COpenGLWnd::BeginRotate(int, int x, int y) {
    rotateX_ = x;
    rotateY_ = y;
    rotating_ = true;
}

void COpenGLWnd::BeginPan(int, int x, int y) {
    panX_ = x;
    panY_ = y;
    panning_ = true;
}

void COpenGLWnd::TrackMouse(int, int x, int y) {
    if (rotating_) {
        CameraRotateDrag(camera_, rotateX_, rotateY_, x, y, framesPerSecond_);
        rotateX_ = x;
        rotateY_ = y;
    }
    if (panning_) {
        CameraPanDrag(camera_, panX_, panY_, x, y, framesPerSecond_);
        panX_ = x;
        panY_ = y;
    }
}

void COpenGLWnd::Zoom(int delta) { CameraWheel(camera_, delta); }

bool COpenGLWnd::PollKeyboardCamera() {
    return CameraPollKeys(camera_, CKeyState::Instance(), framesPerSecond_);
}

void COpenGLWnd::DollyCamera(float amount) {
    camera_.Dolly(amount);
    camera_.Refresh();
}

int COpenGLWnd::PickVertex(int x, int y) {
    picking_ = true;
    int hits = 0;
    GLuint buffer[512];
    if (MakeCurrent()) {
        glSelectBuffer(512, buffer);
        glRenderMode(GL_SELECT);
        glInitNames();
        glPushName(0);
        LoadView(true, x, y);
        const CTrLstMsh* list = itemCount_ ? items_[0].main.MeshList() : nullptr;
        if (list && subIndex_ >= 0 && size_t(subIndex_) < list->meshes.size())
            DrawVertexPoints(list->meshes[size_t(subIndex_)]);
        glFlush();
        hits = glRenderMode(GL_RENDER);
        glMatrixMode(GL_PROJECTION);
        glPopMatrix();
        glMatrixMode(GL_MODELVIEW);
    }
    picking_ = false;
    selectedVertex_ = -1;
    // Records of four values (name count, min depth, max depth, name), read from the last;
    // an overflowing buffer (-1) gives no hit.
    GLuint best = 0xFFFFFFFFu;
    for (int h = std::min(hits, 128); h-- > 0;) {
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

bool COpenGLWnd::ChangeSelectedVertexShade(int delta) {
    if (delta == 0 || selectedVertex_ == -1 || itemCount_ == 0 || subIndex_ == -1) return false;
    CTrLstMsh* list = items_[0].main.MeshList();
    if (!list || subIndex_ < 0 || size_t(subIndex_) >= list->meshes.size()) return false;
    TrMeshRecord& mesh = list->meshes[size_t(subIndex_)];
    if (mesh.hasNormals || size_t(selectedVertex_) >= mesh.lights.size()) return false;
    int16_t& light = mesh.lights[size_t(selectedVertex_)];
    const int16_t before = light;
    light = std::min<int16_t>(int16_t(uint16_t(light) + uint16_t(delta)), kFullLight);
    return light != before;
}

}  // namespace lithoscope

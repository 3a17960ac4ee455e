#include "editor/panes/EditGfx.h"

#include <cmath>

#include <wx/app.h>
#include <wx/eventfilter.h>
#include <wx/modalhook.h>
#include <wx/toplevel.h>
#include <wx/textentry.h>

#include "editor/common/ToolboxInterfaces.h"
#include "editor/panes/EditTile.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "editor/view3d/KeyState.h"
#include "editor/view3d/ViewCameraInput.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

// The 3D window stands 8 pixels from the pane's left edge and 4 from the others.
constexpr int kGlLeft = 8;
constexpr int kGlTop = 4;
constexpr int kGlMargin = 4;

const wxEventTypeTag<wxMouseEvent> kMouseEvents[] = {wxEVT_LEFT_DCLICK, wxEVT_LEFT_DOWN, wxEVT_LEFT_UP,
                                                     wxEVT_MOTION,      wxEVT_RIGHT_DOWN, wxEVT_RIGHT_UP,
                                                     wxEVT_MOUSEWHEEL};

}  // namespace

uint16_t MeshKeyStep(float framesPerSecond) {
    const float f = framesPerSecond == 0.0f ? 1.0f : framesPerSecond;
    const uint16_t step = uint16_t(int(70.0f / f));
    return step ? step : 1;
}

// ---- CEditGfxBase ----

CEditGfxBase::CEditGfxBase(wxWindow* parent, int kind) : CEditPaneBase(parent, kind) {
    Bind(wxEVT_SIZE, &CEditGfxBase::OnSize, this);
    for (const auto& t : kMouseEvents) Bind(t, [this](wxMouseEvent& e) { OnMouse(e, false); });
    Bind(wxEVT_MOUSE_CAPTURE_LOST, &CEditGfxBase::OnCaptureLost, this);
}

CEditGfxBase::~CEditGfxBase() {
    ReleaseCapture();
    ReleaseResources();
}

void CEditGfxBase::SetHandle(CHandleBase* node) {
    m_pNode = node;
    if (node && !m_pGlWnd) CreateGlWindow();
    ShowObject();
}

void CEditGfxBase::CreateGlWindow() {
    const wxSize client = GetClientSize();
    const wxSize size(std::max(1, client.x - kGlLeft - kGlMargin), std::max(1, client.y - kGlTop - kGlMargin));
    m_pGlWnd = new COpenGLWnd(this, wxPoint(kGlLeft, kGlTop), size);
    for (const auto& t : kMouseEvents) m_pGlWnd->Bind(t, [this](wxMouseEvent& e) { OnMouse(e, true); });
    m_pGlWnd->Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& e) {
        if (m_pGlWnd) m_pGlWnd->ResetFrameClock();
        e.Skip();
    });
    m_pGlWnd->Show();
    m_bCreated = true;
}

void CEditGfxBase::ReleaseResources() {
    m_pNode = nullptr;
    if (m_bCreated && m_pGlWnd) {
        ReleaseCapture();
        m_pGlWnd->Destroy();
    }
    m_pGlWnd = nullptr;
    m_bCreated = false;
}

void CEditGfxBase::ReleaseTextures() {
    if (m_pGlWnd) m_pGlWnd->ReleaseTextures();
}

void CEditGfxBase::ForgetHandle(CHandleBase* node) {
    if (node && node == m_pNode) m_pNode = nullptr;
}

void CEditGfxBase::InvalidateView() {
    if (m_pGlWnd) m_pGlWnd->Refresh(false);
}

void CEditGfxBase::InvalidateAll() {
    Refresh(true);
    if (m_pGlWnd) m_pGlWnd->Refresh(true);
}

bool CEditGfxBase::Tick() {
    if (m_pGlWnd) {
        m_pGlWnd->PollKeyboardCamera();
        Animate(m_pGlWnd->FramesPerSecond());
        InvalidateView();
    }
    if (IPaneToolbox* toolbox = GetToolbox()) toolbox->Tick();
    return true;
}

IPaneToolbox* CEditGfxBase::GetToolbox() const {
    IChildFrame* frame = ChildFrameOf(this);
    return frame ? dynamic_cast<IPaneToolbox*>(frame->GetToolboxView(GetKind())) : nullptr;
}

void CEditGfxBase::BindToolbox() {
    if (IPaneToolbox* toolbox = GetToolbox())
        if (!toolbox->BindObject(m_pNode, this)) toolbox->BindObject(m_pNode, this);
}

void CEditGfxBase::SetBackgroundColor(uint32_t rgb) {
    if (m_pGlWnd) m_pGlWnd->SetBackgroundColor(rgb);
}
void CEditGfxBase::SetAutomaticCamera(bool automatic) {
    if (m_pGlWnd) m_pGlWnd->SetAutoCamera(automatic);
}
void CEditGfxBase::SetShowAxis(bool show) {
    if (m_pGlWnd) m_pGlWnd->SetShowAxis(show);
}

// ---- display flags ----

#define LITHOSCOPE_FLAG_SETTER(Name, field)          \
    void CEditGfxBase::Name(bool on) {                \
        if (!m_pGlWnd) return;                        \
        m_pGlWnd->DisplayFlags().field = on;          \
        m_pGlWnd->Refresh(true);                      \
    }
LITHOSCOPE_FLAG_SETTER(SetShowCollisionSphere, showCollisionSphere)
LITHOSCOPE_FLAG_SETTER(SetShowVisibilityBox, showVisibilityBox)
LITHOSCOPE_FLAG_SETTER(SetVisibilityBoxEdit, visibilityBoxEdit)
LITHOSCOPE_FLAG_SETTER(SetShowCollisionBox, showCollisionBox)
LITHOSCOPE_FLAG_SETTER(SetCollisionBoxEdit, collisionBoxEdit)
#undef LITHOSCOPE_FLAG_SETTER

void CEditGfxBase::SetShowVertices(bool on) {
    if (!m_pGlWnd) return;
    m_pGlWnd->DisplayFlags().showVertices = on;
    if (!on) m_pGlWnd->ClearSelectedVertex();
    m_pGlWnd->Refresh(true);
}

// ---- mouse and size ----

void CEditGfxBase::OnSize(wxSizeEvent& event) {
    event.Skip();
    if (!m_pGlWnd) return;
    const wxSize s = event.GetSize();
    m_pGlWnd->SetSize(kGlLeft, kGlTop, std::max(1, s.x - kGlLeft - kGlMargin),
                      std::max(1, s.y - kGlTop - kGlMargin));
}

void CEditGfxBase::OnMouse(wxMouseEvent& event, bool fromGlWindow) {
    const wxEventType t = event.GetEventType();
    if (t == wxEVT_MOUSEWHEEL) {
        // Taken here: a wheel event let through from the 3D window would reach the pane
        // as well and zoom twice. 120 a notch, whatever the toolkit's own units.
        const int units = event.GetWheelDelta() > 0 ? event.GetWheelDelta() : kWheelNotch;
        if (event.GetWheelAxis() == wxMOUSE_WHEEL_VERTICAL)
            OnWheel(int(std::lround(double(event.GetWheelRotation()) * kWheelNotch / units)));
        return;
    }
    event.Skip();
    int x = event.GetX(), y = event.GetY();
    if (fromGlWindow && m_pGlWnd) {
        const wxPoint at = m_pGlWnd->GetPosition();
        x += at.x;
        y += at.y;
    }
    if (t == wxEVT_LEFT_DCLICK) OnLeftDoubleClick(x, y);
    else if (t == wxEVT_LEFT_DOWN) OnLeftDown(x, y);
    else if (t == wxEVT_LEFT_UP) OnLeftUp(x, y);
    else if (t == wxEVT_MOTION) OnMouseMove(x, y);
    else if (t == wxEVT_RIGHT_DOWN) OnRightDown(x, y);
    else if (t == wxEVT_RIGHT_UP) OnRightUp(x, y);
}

void CEditGfxBase::ReleaseCapture() {
    if (HasCapture()) wxWindow::ReleaseMouse();
}

void CEditGfxBase::OnCaptureLost(wxMouseCaptureLostEvent&) {
    if (m_pGlWnd) {
        m_pGlWnd->EndRotate();
        m_pGlWnd->EndPan();
    }
}

void CEditGfxBase::OnLeftDoubleClick(int, int) {
    if (m_pGlWnd) m_pGlWnd->ResetView();
}

void CEditGfxBase::OnLeftDown(int x, int y) {
    if (!m_pGlWnd) return;
    const wxSize c = GetClientSize();
    const bool sprites = m_pGlWnd->DisplayItemCount() && m_pGlWnd->DisplayItem(0).main.kind == GlKindSprites;
    if (!sprites && m_pGlWnd->DisplayFlags().showVertices && x >= kGlLeft && x <= c.x - kGlMargin &&
        y >= kGlTop && y <= c.y - kGlMargin)
        m_pGlWnd->PickVertex(x - kGlLeft, y - kGlTop);
    m_pGlWnd->BeginRotate(0, x, y);
    m_pGlWnd->SetFocus();
    // The drag goes on outside the pane until the button is released.
    if (!HasCapture()) CaptureMouse();
}

void CEditGfxBase::OnLeftUp(int, int) {
    if (!m_pGlWnd) return;
    m_pGlWnd->EndRotate();
    if (!m_pGlWnd->IsDragging()) ReleaseCapture();
}

void CEditGfxBase::OnMouseMove(int x, int y) {
    if (m_pGlWnd) m_pGlWnd->TrackMouse(0, x, y);
}

void CEditGfxBase::OnRightDown(int x, int y) {
    if (!m_pGlWnd) return;
    m_pGlWnd->BeginPan(0, x, y);
    if (!HasCapture()) CaptureMouse();
}

void CEditGfxBase::OnRightUp(int, int) {
    if (!m_pGlWnd) return;
    m_pGlWnd->EndPan();
    if (!m_pGlWnd->IsDragging()) ReleaseCapture();
}

void CEditGfxBase::OnWheel(int delta) {
    if (m_pGlWnd) m_pGlWnd->Zoom(delta);
}

// ---- CEditMesh ----

void CEditMesh::ShowObject() {
    auto* node = dynamic_cast<CHandleMesh*>(m_pNode);
    if (!node || !m_pGlWnd) return;
    GlDisplayItem item;
    item.primary = true;
    item.main.kind = node->m_bStatic ? GlKindStaticMesh : GlKindMesh;
    item.main.object = node->m_bStatic ? static_cast<CTrObjGfx*>(node->StaticMesh())
                                       : static_cast<CTrObjGfx*>(node->Moveable());
    item.main.visible = true;
    item.associated.kind = item.main.kind;
    m_pGlWnd->SetDisplayItems(&item, 1, false, node->m_nMeshIndex);
    BindToolbox();
    InvalidateAll();
}

void CEditMesh::Animate(float framesPerSecond) {
    auto* node = dynamic_cast<CHandleMesh*>(m_pNode);
    if (!node || !m_pGlWnd) return;
    CKeyState& keys = CKeyState::Instance();
    const bool shift = keys.Poll(WXK_SHIFT);
    const bool ctrl = keys.Poll(WXK_CONTROL);
    const int step = MeshKeyStep(framesPerSecond);

    const bool minus = keys.Poll(WXK_NUMPAD_SUBTRACT);
    const bool plus = keys.Poll(WXK_NUMPAD_ADD);
    const int d = minus ? -1 : (plus ? 1 : 0);
    if (d && m_pGlWnd->ChangeSelectedVertexShade(d * step * 50)) {
        node->OnModified(false);
        if (m_pNode != node) return;  // the notification may have replaced the node
    }
    CTrLstMsh* list = node->m_bStatic ? static_cast<CTrLstMsh*>(node->StaticMesh())
                                      : static_cast<CTrLstMsh*>(node->Moveable());
    if (!list || (!shift && !ctrl)) return;
    const bool left = keys.Poll(WXK_LEFT), right = keys.Poll(WXK_RIGHT);
    const bool pageUp = keys.Poll(WXK_PAGEUP), pageDown = keys.Poll(WXK_PAGEDOWN);
    const bool down = keys.Poll(WXK_DOWN), up = keys.Poll(WXK_UP);
    const int x = left ? -1 : (right ? 1 : 0);
    const int y = pageUp ? -1 : (pageDown ? 1 : 0);
    const int z = down ? -1 : (up ? 1 : 0);
    if (x == 0 && y == 0 && z == 0) return;
    const int index = node->m_nMeshIndex;
    const bool validMesh = index >= 0 && size_t(index) < list->meshes.size();
    // Ctrl moves a static mesh's boxes when its toolbox is there, else the mesh's centre.
    CTrStatMsh* stat = node->StaticMesh();
    auto* boxes = stat ? dynamic_cast<ITlboxMeshItfMain*>(GetToolbox()) : nullptr;
    bool changed = false;
    if (shift) {
        if (validMesh) list->meshes[size_t(index)].Translate(step * x, step * y, step * z, true, node->GetLevel());
        changed = validMesh;
    } else if (boxes) {
        const CVector3 offset{float(step * x), -float(step * y), -float(step * z)};
        if (boxes->IsVisibilityBoxEditOn()) {
            stat->visibilityBox.min.AddInPlace(offset);
            stat->visibilityBox.max.AddInPlace(offset);
            changed = true;
        }
        if (boxes->IsCollisionBoxEditOn()) {
            stat->collisionBox.min.AddInPlace(offset);
            stat->collisionBox.max.AddInPlace(offset);
            changed = true;
        }
    } else if (validMesh) {
        int16_t* c = list->meshes[size_t(index)].centre;
        c[0] = int16_t(c[0] + step * x);
        c[1] = int16_t(c[1] + step * y);
        c[2] = int16_t(c[2] + step * z);
        changed = true;
    }
    // Keys that moved nothing (no box selected for moving) leave the level unmodified.
    if (changed) node->OnModified(false);
}

// ---- CEditMoveable ----

void CEditMoveable::ShowObject() {
    auto* node = dynamic_cast<CHandleMoveable*>(m_pNode);
    if (!node || !m_pGlWnd) return;
    CTrMvb* mvb = node->Moveable();
    CTrLevel* level = node->GetLevel();
    auto find = [level](int32_t id) -> CTrMvb* { return level && id != -1 ? level->FindMoveable(id) : nullptr; };
    CTrMvb* body = mvb ? find(mvb->useBodyFrom) : nullptr;
    CTrMvb* with = mvb ? find(mvb->showWith) : nullptr;
    CTrMvb* withBody = with ? find(with->useBodyFrom) : nullptr;

    GlDisplayItem items[2];
    items[0].primary = true;
    items[0].main.kind = GlKindMoveable;
    items[0].main.object = mvb;
    items[0].main.visible = true;
    items[0].associated.kind = GlKindMoveable;
    items[0].associated.object = body;
    items[0].associated.visible = mvb && mvb->showRealMeshes != 0;
    uint32_t count = 1;
    if (with) {
        const bool shown = mvb->showAssociated != 0;
        items[1].primary = false;
        items[1].main.kind = GlKindMoveable;
        items[1].main.object = with;
        items[1].main.visible = shown;
        items[1].associated.kind = GlKindMoveable;
        items[1].associated.object = withBody;
        items[1].associated.visible = shown;
        count = 2;
    }
    m_pGlWnd->SetDisplayItems(items, count, false, -1);
    BindToolbox();
    InvalidateAll();
}

void CEditMoveable::StartAnimPlayback(int index) {
    if (m_pGlWnd) m_pGlWnd->StartAnimPlayback(index);
}
void CEditMoveable::SetAnimFrame(int frame) {
    if (m_pGlWnd) m_pGlWnd->SetAnimFrame(frame);
}
void CEditMoveable::SetAnimKey(int key) {
    if (m_pGlWnd) m_pGlWnd->SetAnimKey(key);
}
void CEditMoveable::SetAnimFraction(float value) {
    if (m_pGlWnd) m_pGlWnd->SetAnimFraction(value);
}
void CEditMoveable::StepAnimation(int steps) {
    if (m_pGlWnd) m_pGlWnd->StepAnimation(steps);
}
void CEditMoveable::SetInterpolate(bool on) {
    if (m_pGlWnd) m_pGlWnd->SetInterpolate(on);
}
void CEditMoveable::SetReplaySpeed(float x) {
    if (m_pGlWnd) m_pGlWnd->SetReplaySpeed(x);
}
void CEditMoveable::SetAutomaticPlayback(bool on) {
    if (m_pGlWnd) m_pGlWnd->SetAutomaticPlayback(on);
}

// ---- CEditSprite ----

void CEditSprite::ShowObject() {
    auto* node = dynamic_cast<CHandleSprite*>(m_pNode);
    if (!node || !m_pGlWnd) return;
    GlDisplayItem item;
    item.primary = true;
    item.main.kind = GlKindSprites;
    item.main.object = node->Sprite();
    item.main.visible = true;
    item.associated.kind = GlKindSprites;
    m_pGlWnd->SetSpriteDisplayItems(&item, 1, false);
    m_pGlWnd->DollyCamera(node->m_fZoom);
    BindToolbox();
    if (auto* page = dynamic_cast<ITlboxSpriteItfMain*>(GetToolbox())) page->SetDisplayMode(node->m_bAnimated != 0);
    InvalidateAll();
}

ITlboxSpriteDisplay* CEditSprite::GetSpriteDisplay() const {
    return m_pGlWnd;
}

// ---- the key-state service ----

namespace {

// Keys typed into another window (a dialog, a file chooser) never reach the panes; nor
// do keys typed into a text field, but for the function keys, which type nothing there.
bool FeedsKeyState(const wxKeyEvent& event) {
    const int code = event.GetKeyCode();
    const bool functionKey = code >= WXK_F1 && code <= WXK_F24;
    const wxWindow* focus = wxWindow::FindFocus();
    if (focus && !functionKey && dynamic_cast<const wxTextEntry*>(focus)) return false;
    if (!focus) focus = dynamic_cast<const wxWindow*>(event.GetEventObject());
    if (!focus) return true;
    const wxWindow* top = wxGetTopLevelParent(const_cast<wxWindow*>(focus));
    return !top || !wxTheApp || top == wxTheApp->GetTopWindow();
}

// Feeds the key-state service: the key events of the main window, wherever its focus is
// (the char hook comes first, also for keys an accelerator then takes, such as F6 for the
// next pane; the key-down that may follow is the same press), and one tick per
// round of idle processing, before the panes poll. While a modal dialog, a popup menu or a
// tree drag has the keyboard, or another program is active, no key is held: a key let go
// there is never heard of here.
class CKeyStateFilter : public wxEventFilter, public wxModalDialogHook {
public:
    int FilterEvent(wxEvent& event) override {
        const wxEventType t = event.GetEventType();
        CKeyState& keys = CKeyState::Instance();
        if (t == wxEVT_IDLE && event.GetEventObject() == wxTheApp) {
            keys.BeginTick(KeyboardIsOurs());
        } else if (t == wxEVT_KEY_DOWN || t == wxEVT_CHAR_HOOK) {
            const auto& key = static_cast<const wxKeyEvent&>(event);
            if (!FeedsKeyState(key)) return Event_Skip;
            // A key the main window hears means no popup menu has the keyboard.
            menus_ = 0;
            if (KeyboardIsOurs()) keys.KeyDown(key.GetKeyCode(), key.GetTimestamp());
        } else if (t == wxEVT_KEY_UP) {
            keys.KeyUp(static_cast<wxKeyEvent&>(event).GetKeyCode());
        } else if (t == wxEVT_MENU_OPEN) {
            ++menus_;
            keys.Clear();
        } else if (t == wxEVT_MENU_CLOSE) {
            menus_ = menus_ > 0 ? menus_ - 1 : 0;
        } else if (t == wxEVT_ACTIVATE_APP && !static_cast<wxActivateEvent&>(event).GetActive()) {
            keys.Clear();
        }
        return Event_Skip;
    }
    int Enter(wxDialog*) override {
        ++modals_;
        CKeyState::Instance().Clear();
        return wxID_NONE;  // the dialog runs
    }
    void Exit(wxDialog*) override { modals_ = modals_ > 0 ? modals_ - 1 : 0; }

private:
    bool KeyboardIsOurs() const {
        if (modals_ || menus_ || g_hDragSourceTree || !wxTheApp) return false;
        auto* main = dynamic_cast<wxTopLevelWindow*>(wxTheApp->GetTopWindow());
        return main && main->IsActive();
    }

    int modals_ = 0;
    int menus_ = 0;
};

std::unique_ptr<CKeyStateFilter>& KeyFilter() {
    static std::unique_ptr<CKeyStateFilter> filter;
    return filter;
}

}  // namespace

void RegisterEditPanes() {
    static EditPaneFactory previous;
    static bool done = false;
    if (!done) {
        done = true;
        previous = SetEditPaneFactory([](int kind, wxWindow* parent) -> CEditPaneBase* {
            switch (kind) {
                case EditPaneTile: return new CEditTile(parent);
                case EditPaneMesh: return new CEditMesh(parent);
                case EditPaneMoveable: return new CEditMoveable(parent);
                case EditPaneSprite: return new CEditSprite(parent);
                default: return previous ? previous(kind, parent) : nullptr;
            }
        });
    }
    if (!KeyFilter()) {
        KeyFilter() = std::make_unique<CKeyStateFilter>();
        wxEvtHandler::AddFilter(KeyFilter().get());
        KeyFilter()->Register();
        CKeyState::Instance().SetKeyboard(MakeToolkitKeyboard());
    }
}

void StopEditPanes() {
    if (!KeyFilter()) return;
    wxEvtHandler::RemoveFilter(KeyFilter().get());
    KeyFilter()->Unregister();
    KeyFilter().reset();
    CKeyState::Instance().Clear();
    CKeyState::Instance().SetKeyboard(nullptr);
}

}  // namespace lithoscope

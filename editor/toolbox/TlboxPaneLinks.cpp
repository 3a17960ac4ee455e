#include "editor/toolbox/TlboxPaneLinks.h"

#include "editor/panes/EditGfx.h"
#include "editor/toolbox/ToolboxBase.h"
#include "editor/view3d/GlWindow.h"

namespace lithoscope {

CEditMesh* BoundMeshPane(const CToolboxBase& owner) { return dynamic_cast<CEditMesh*>(owner.GetPane()); }
CEditMoveable* BoundMoveablePane(const CToolboxBase& owner) {
    return dynamic_cast<CEditMoveable*>(owner.GetPane());
}
CEditSprite* BoundSpritePane(const CToolboxBase& owner) { return dynamic_cast<CEditSprite*>(owner.GetPane()); }

// ---- mesh ----

#define LITHOSCOPE_MESH_FLAG(Name)                                 \
    void CMeshPaneLink::Name(bool on) {                            \
        if (CEditMesh* pane = BoundMeshPane(owner_)) pane->Name(on); \
    }
LITHOSCOPE_MESH_FLAG(SetShowCollisionSphere)
LITHOSCOPE_MESH_FLAG(SetShowVertices)
LITHOSCOPE_MESH_FLAG(SetShowVisibilityBox)
LITHOSCOPE_MESH_FLAG(SetVisibilityBoxEdit)
LITHOSCOPE_MESH_FLAG(SetShowCollisionBox)
LITHOSCOPE_MESH_FLAG(SetCollisionBoxEdit)
#undef LITHOSCOPE_MESH_FLAG

void CMeshPaneLink::InvalidateView() {
    if (CEditMesh* pane = BoundMeshPane(owner_)) pane->InvalidateView();
}

// ---- moveable ----

COpenGLWnd* CMoveablePaneLink::Window() const {
    CEditMoveable* pane = BoundMoveablePane(owner_);
    return pane ? pane->GetGlWindow() : nullptr;
}

void CMoveablePaneLink::SetItemOptions(int index, bool mainVisible, bool associatedVisible) {
    if (COpenGLWnd* gl = Window()) {
        gl->SetItemOptions(uint32_t(index), mainVisible, associatedVisible);
        gl->Refresh(false);
    }
}
void CMoveablePaneLink::SetShowBoundingBoxes(bool on) {
    if (COpenGLWnd* gl = Window()) gl->SetShowBoundingBox(on);
}
void CMoveablePaneLink::InvalidateView() {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->InvalidateView();
}
void CMoveablePaneLink::StartAnimPlayback(int index) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->StartAnimPlayback(index);
}
void CMoveablePaneLink::SetAnimFrame(int frame) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->SetAnimFrame(frame);
}
void CMoveablePaneLink::SetAnimKey(int key) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->SetAnimKey(key);
}
void CMoveablePaneLink::SetAnimFraction(float value) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->SetAnimFraction(value);
}
void CMoveablePaneLink::StepAnimation(int steps) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->StepAnimation(steps);
}
void CMoveablePaneLink::SetReplaySpeed(float x) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->SetReplaySpeed(x);
}
void CMoveablePaneLink::SetChainAnimations(bool chain, bool restart) {
    if (COpenGLWnd* gl = Window()) gl->SetChainAnimations(chain, restart);
}
void CMoveablePaneLink::SetInterpolate(bool on) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->SetInterpolate(on);
}
void CMoveablePaneLink::SetAutomaticPlayback(bool on) {
    if (CEditMoveable* pane = BoundMoveablePane(owner_)) pane->SetAutomaticPlayback(on);
}
void CMoveablePaneLink::SetCaption(const std::string& text) {
    if (COpenGLWnd* gl = Window()) gl->SetCaption(text.c_str());
}

// ---- sprite ----

ITlboxSpriteDisplay* CSpritePaneLink::Display() const {
    CEditSprite* pane = BoundSpritePane(owner_);
    return pane ? pane->GetSpriteDisplay() : nullptr;
}
void CSpritePaneLink::SetSpriteDisplayMode(bool animated) {
    if (ITlboxSpriteDisplay* d = Display()) d->SetSpriteDisplayMode(animated);
}
void CSpritePaneLink::SetSpriteRate(float perSecond) {
    if (ITlboxSpriteDisplay* d = Display()) d->SetSpriteRate(perSecond);
}
void CSpritePaneLink::SetSpriteBorder(bool on) {
    if (ITlboxSpriteDisplay* d = Display()) d->SetSpriteBorder(on);
}
void CSpritePaneLink::SetSpriteRowWidth(float width) {
    if (ITlboxSpriteDisplay* d = Display()) d->SetSpriteRowWidth(width);
}

}  // namespace lithoscope

#include "editor/toolbox/ToolboxViews.h"

#include "editor/panes/EditPane.h"
#include "editor/toolbox/TlboxMeshPages.h"
#include "editor/toolbox/TlboxMoveablePages.h"
#include "editor/toolbox/TlboxSpritePage.h"
#include "editor/toolbox/TlboxTrackPages.h"
#include "editor/tree/NodeHandlers.h"

namespace lithoscope {

// ---- mesh ----

CToolbox2Mesh::CToolbox2Mesh(wxWindow* parent) : CToolboxBase(parent, EditPaneMesh) {}

void CToolbox2Mesh::CreatePages() {
    m_pMeshPage = new CTlboxMeshMain(m_pSheet, this);
    m_pHelpPage = new CTlboxMeshHelp(m_pSheet, this);
    CToolboxItfBase* pages[] = {m_pMeshPage, m_pHelpPage};
    m_pSheet->AddPages(2, pages);
}

int CToolbox2Mesh::IsVisibilityBoxEditOn() { return m_pMeshPage ? m_pMeshPage->IsVisibilityBoxEditOn() : 0; }
int CToolbox2Mesh::IsCollisionBoxEditOn() { return m_pMeshPage ? m_pMeshPage->IsCollisionBoxEditOn() : 0; }

// ---- moveable ----

CToolbox2Moveable::CToolbox2Moveable(wxWindow* parent) : CToolboxBase(parent, EditPaneMoveable) {}

void CToolbox2Moveable::CreatePages() {
    m_pMainPage = new CTlboxMoveableMain(m_pSheet, this);
    m_pAnimPage = new CTlboxMoveableAnim(m_pSheet, this);
    m_pStChPage = new CTlboxMoveableStCh(m_pSheet, this);
    m_pCmdPage = new CTlboxMoveableCmd(m_pSheet, this);
    CToolboxItfBase* pages[] = {m_pMainPage, m_pAnimPage, m_pStChPage, m_pCmdPage};
    m_pSheet->AddPages(4, pages);
}

void CToolbox2Moveable::Tick() {
    if (!m_pSheet || !m_pAnimPage) return;
    CToolboxItfBase* current = m_pSheet->CurrentPage();
    if (m_pAnimPage->OnKeyTick() && current && current != m_pAnimPage) current->Update(false);
}

void CToolbox2Moveable::ShowPosition(bool updateControls) {
    if (m_pMainPage) m_pMainPage->ShowPosition(updateControls);
}
void CToolbox2Moveable::SetAnim(int index) {
    if (!m_pAnimPage) return;
    m_pAnimPage->SetAnim(index);
    // A chained animation that starts by itself: the shown list page follows it, so its
    // rows stay those of the track its buttons change.
    CToolboxItfBase* current = m_pSheet ? m_pSheet->CurrentPage() : nullptr;
    if (current && (current == m_pStChPage || current == m_pCmdPage)) current->Update(false);
}
void CToolbox2Moveable::SetFrame(int current, int count) {
    if (m_pAnimPage) m_pAnimPage->SetFrame(current, count);
}
void CToolbox2Moveable::SetKey(int current, int count) {
    if (m_pAnimPage) m_pAnimPage->SetKey(current, count);
}
void CToolbox2Moveable::SetFramerate(int n) {
    if (m_pAnimPage) m_pAnimPage->SetFramerate(n);
}
void CToolbox2Moveable::SetNext(int anim, int frame) {
    if (m_pAnimPage) m_pAnimPage->SetNext(anim, frame);
}
void CToolbox2Moveable::SetValue(float value) {
    if (m_pAnimPage) m_pAnimPage->SetValue(value);
}
bool CToolbox2Moveable::IsAutomatic() { return m_pAnimPage ? m_pAnimPage->IsAutomatic() : true; }
int CToolbox2Moveable::GetCurrentAnim() { return m_pAnimPage ? m_pAnimPage->GetCurrentAnim() : 0; }

// ---- sprite ----

CToolbox2Sprite::CToolbox2Sprite(wxWindow* parent) : CToolboxBase(parent, EditPaneSprite) {}

void CToolbox2Sprite::CreatePages() {
    m_pSpritePage = new CTlboxSpriteMain(m_pSheet, this);
    CToolboxItfBase* pages[] = {m_pSpritePage};
    m_pSheet->AddPages(1, pages);
}

void CToolbox2Sprite::SetDisplayMode(bool animated) {
    if (m_pSpritePage) m_pSpritePage->SetDisplayMode(animated);
}

// ---- registration ----

void RegisterToolboxViews() {
    static bool done = false;
    if (done) return;
    done = true;
    SetToolboxViewFactory([](int kind, wxWindow* parent) -> wxWindow* {
        CToolboxBase* view = nullptr;
        switch (kind) {
            case EditPaneMesh: view = new CToolbox2Mesh(parent); break;
            case EditPaneMoveable: view = new CToolbox2Moveable(parent); break;
            case EditPaneSprite: view = new CToolbox2Sprite(parent); break;
            default: return nullptr;
        }
        view->OnInitialUpdate();
        return view;
    });
    SetCurrentAnimationQuery([](IChildFrame* frame) {
        auto* anim = frame ? dynamic_cast<ITlboxMoveableItfAnim*>(frame->GetToolboxView(EditPaneMoveable)) : nullptr;
        return anim ? anim->GetCurrentAnim() : 0;
    });
}

}  // namespace lithoscope

#include "editor/toolbox/ToolboxBase.h"

#include "batch/CmdLine.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/MainFrame.h"
#include "editor/tree/HandleBase.h"

namespace lithoscope {

CToolboxBase::CToolboxBase(wxWindow* parent, int kind)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxSize(1, 1)), kind_(kind) {}

CToolboxBase::~CToolboxBase() = default;

bool CToolboxBase::BindObject(CHandleBase* node, CEditGfxBase* pane) {
    auto* app = dynamic_cast<CLithoscopeApp*>(wxTheApp);
    CMainFrame* main = app ? app->GetMainFrame() : nullptr;
    if (main && main->m_bToolboxShown && g_bToolboxFix) {
        main->ShowToolbox(false, true);
        return false;
    }
    const void* object = node ? node->GetObject() : nullptr;
    m_bLastBindChanged = !m_bBound || object != m_pBoundObject;
    m_pNode = node;
    m_pPane = pane;
    m_pBoundObject = object;
    m_bBound = true;
    return true;
}

void CToolboxBase::ForgetNode(CHandleBase* node) {
    if (node && node == m_pNode) m_pNode = nullptr;
}

CEditGfxBase* CToolboxBase::GetPane() const { return dynamic_cast<CEditGfxBase*>(m_pPane.get()); }

}  // namespace lithoscope

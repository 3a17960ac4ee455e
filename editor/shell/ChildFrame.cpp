#include "editor/shell/ChildFrame.h"

#include <vector>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/icon.h>
#include <wx/menu.h>

#include "editor/shell/Menus.h"
#include "editor/shell/SplitterWnd.h"

namespace lithoscope {

namespace {
constexpr int kLevelViewWidth = 250;
}

wxIcon DocumentIcon(int iconId) {
    wxBitmap bitmap(32, 32);
    {
        wxMemoryDC dc(bitmap);
        dc.SetBackground(*wxWHITE_BRUSH);
        dc.Clear();
        dc.SetBrush(iconId == kTrailingDataIcon ? *wxRED_BRUSH : *wxBLUE_BRUSH);
        dc.SetPen(*wxBLACK_PEN);
        dc.DrawRectangle(4, 4, 24, 24);
    }
    wxIcon icon;
    icon.CopyFromBitmap(bitmap);
    return icon;
}

CChildFrame::CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent)
    : wxDocMDIChildFrame(doc, view, parent, wxID_ANY, doc ? doc->GetUserReadableName() : wxString(),
                         wxDefaultPosition, wxSize(800, 600)) {
    SetIcon(DocumentIcon(kDocumentIcon));
    // Menu 129 while a document window is active.
    wxDocManager* manager = doc ? doc->GetDocumentManager() : nullptr;
    wxMenuBar* menu = DocumentMenuBar(manager);
    m_pFileMenu = menu->GetMenu(0);
    SetMenuBar(menu);
    SetAcceleratorTable(MainAccelerators());
}

CChildFrame::~CChildFrame() {
    if (wxDocManager* manager = wxDocManager::GetDocumentManager())
        if (m_pFileMenu) manager->FileHistoryRemoveMenu(m_pFileMenu);
}

bool CChildFrame::OnCreateClient(wxWindow* levelWindow) {
    m_pLevelWindow = levelWindow;
    m_pOuterSplitter = new ST_SplitterWnd(0);
    m_pOuterSplitter->CreateStaticPanes(
        this, [levelWindow](wxWindow* parent) { levelWindow->Reparent(parent); return levelWindow; },
        PaneViewFactory(), true, wxID_ANY);
    m_pNestedSplitter = m_pOuterSplitter->CreateNestedSplitter(
        1, [this](wxWindow* parent) { return m_pEditPane = CreateEditPane(EditPaneEmpty, parent); },
        PaneViewFactory(), false);
    auto toolbox = [](int kind) {
        return [kind](wxWindow* parent) { return CreateToolboxView(kind, parent); };
    };
    m_nMeshToolbox = m_pNestedSplitter->AddPaneView(1, toolbox(EditPaneMesh));
    m_nMoveableToolbox = m_pNestedSplitter->AddPaneView(1, toolbox(EditPaneMoveable));
    m_nSpriteToolbox = m_pNestedSplitter->AddPaneView(1, toolbox(EditPaneSprite));
    // The toolbox row starts hidden and keeps its own height when shown.
    m_pNestedSplitter->SetFixedPane(1);
    m_pNestedSplitter->TogglePaneHidden(1);
    m_pOuterSplitter->SetPaneInfo(0, kLevelViewWidth, 1);
    m_pOuterSplitter->RecalcLayout();
    m_nEditPaneKind = EditPaneEmpty;
    return true;
}

int CChildFrame::GetEditPane(CEditPaneBase** pane) const {
    if (pane) *pane = m_pEditPane;
    return m_nEditPaneKind;
}

CLithoscopeView* CChildFrame::GetLevelView() const { return GetView() ? m_pLevelView : nullptr; }

void CChildFrame::FocusLevelView() {
    if (GetLevelView() && m_pLevelWindow) m_pLevelWindow->SetFocus();
}

wxWindow* CChildFrame::GetToolboxView(int kind) const {
    if (!m_pNestedSplitter) return nullptr;
    int index = -1;
    switch (kind) {
        case EditPaneMesh: index = m_nMeshToolbox; break;
        case EditPaneMoveable: index = m_nMoveableToolbox; break;
        case EditPaneSprite: index = m_nSpriteToolbox; break;
        default: return nullptr;
    }
    const auto& views = m_pNestedSplitter->GetPaneViews(1);
    return index >= 0 && size_t(index) < views.size() ? views[size_t(index)] : nullptr;
}

void CChildFrame::SetEditPane(int kind) {
    if (!m_pNestedSplitter) return;
    m_nEditPaneKind = kind;
    // A kind without a pane of its own shows the empty one: the pane is never missing.
    CEditPaneBase* pane = CreateEditPane(kind, m_pNestedSplitter);
    if (!pane) pane = new CEditEmpty(m_pNestedSplitter);
    wxWindow* old = m_pNestedSplitter->GetPaneWindow(0);
    m_pNestedSplitter->ReplacePaneWindow(0, pane);
    m_pEditPane = pane;
    if (old) old->Destroy();
    if (kind == EditPaneEmpty || kind == EditPaneSounds) {
        const bool kept = m_bToolboxShown;
        LayoutToolbox(false);
        m_bToolboxShown = kept;  // a later toggle still knows the user's choice
    }
    m_pNestedSplitter->RecalcLayout();
}

void CChildFrame::LayoutToolbox(bool show) {
    m_bToolboxShown = show;
    if (!m_pNestedSplitter) return;
    ST_SplitterWnd& nested = *m_pNestedSplitter;
    if (!EditPaneHasToolbox(m_nEditPaneKind)) {
        if (!nested.IsPaneHidden(1)) nested.TogglePaneHidden(1);
        return;
    }
    const int index = m_nEditPaneKind == EditPaneMesh       ? m_nMeshToolbox
                      : m_nEditPaneKind == EditPaneMoveable ? m_nMoveableToolbox
                                                            : m_nSpriteToolbox;
    // Without a view of that kind the row stays hidden.
    if (index < 0) show = false;
    if (nested.IsPaneHidden(1) == show) nested.TogglePaneHidden(1);
    if (!show) return;
    const int h = MeasureToolboxHeight(GetToolboxView(m_nEditPaneKind));
    const int total = nested.GetClientSize().y;
    nested.SetPaneInfo(0, total - h - 15, 1);
    nested.SetPaneInfo(1, h + 15, h);
    nested.SwitchPaneView(1, index);
}

void CChildFrame::ActivateNextPane(bool previous) {
    if (!m_pOuterSplitter || !m_pNestedSplitter) return;
    std::vector<wxWindow*> panes;
    if (wxWindow* level = m_pOuterSplitter->GetPaneWindow(0)) panes.push_back(level);
    if (m_pEditPane) panes.push_back(m_pEditPane);
    if (!m_pNestedSplitter->IsPaneHidden(1))
        if (wxWindow* toolbox = m_pNestedSplitter->GetPaneWindow(1)) panes.push_back(toolbox);
    if (panes.empty()) return;
    // The pane holding the focus now; none: the walk starts before the first.
    int current = -1;
    for (wxWindow* w = wxWindow::FindFocus(); w && current < 0; w = w->GetParent())
        for (size_t i = 0; i < panes.size(); ++i)
            if (panes[i] == w) current = int(i);
    const int n = int(panes.size());
    const int next = current < 0 ? (previous ? n - 1 : 0) : (current + (previous ? n - 1 : 1)) % n;
    wxWindow* target = panes[size_t(next)];
    // A view's first control that takes the focus (the level view's tree).
    for (wxWindow* c : target->GetChildren())
        if (c->IsShown() && c->AcceptsFocus()) {
            target = c;
            break;
        }
    target->SetFocus();
}

void CChildFrame::SetLargeIcon(int iconId) {
    m_nLargeIcon = iconId;
    SetIcon(DocumentIcon(iconId));
}

}  // namespace lithoscope

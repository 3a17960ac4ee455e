#include "editor/shell/LithoscopeView.h"

#include <exception>

#include <wx/app.h>
#include <wx/sizer.h>
#include <wx/treectrl.h>
#include <wx/utils.h>

#include "editor/common/WxStrings.h"
#include "editor/panes/EditPane.h"
#include "editor/shell/ChildFrame.h"
#include "editor/tree/LevelTree.h"
#include "level/TrLevel.h"
#include "platform/Files.h"

namespace lithoscope {

wxIMPLEMENT_DYNAMIC_CLASS(CLithoscopeView, wxView);

namespace {

LevelTreeFactory& TreeFactory() {
    static LevelTreeFactory f;
    return f;
}

}  // namespace

LevelTreeFactory SetLevelTreeFactory(LevelTreeFactory factory) {
    LevelTreeFactory previous = std::move(TreeFactory());
    TreeFactory() = std::move(factory);
    return previous;
}

CLithoscopeView::~CLithoscopeView() = default;

bool CLithoscopeView::OnCreate(wxDocument* doc, long flags) {
    auto* main = dynamic_cast<wxMDIParentFrame*>(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    if (!main) return false;
    m_pFrame = new CChildFrame(doc, this, main);
    m_pFrame->SetLevelView(this);
    SetFrame(m_pFrame);
    // The form view: an empty child window that the tree fills.
    m_pForm = new wxPanel(m_pFrame, wxID_ANY, wxDefaultPosition, wxSize(1, 1));
    m_pForm->SetSizer(new wxBoxSizer(wxVERTICAL));
    m_pFrame->OnCreateClient(m_pForm);
    // Save is a Save As: there is always something to save, modified or not.
    Bind(wxEVT_UPDATE_UI, [](wxUpdateUIEvent& e) { e.Enable(true); }, wxID_SAVE);
    m_pFrame->Show(true);
    Activate(true);
    // A second window of a modified document shows its mark too.
    OnChangeFilename();
    return true;
}

void CLithoscopeView::OnChangeFilename() {
    wxView::OnChangeFilename();
    ILevelDocument* doc = GetLevelDocument();
    if (!doc || GetDocument()->GetFilename().empty()) return;
    const std::string name = StemOf(FromWx(GetDocument()->GetFilename()));
    CTrLevel& level = doc->GetLevel();
    if (level.version == 0 || name == level.name) return;
    level.name = name;
    // Every window of the document shows the level under its new name.
    for (ILevelTree* tree : doc->GetLevelTrees()) tree->ShowLevelName();
}

bool CLithoscopeView::OnClose(bool deleteWindow) {
    // Another window still shows the document: only this one closes.
    wxDocument* doc = GetDocument();
    const bool lastView = !doc || doc->GetViews().size() <= 1;
    if (lastView && !wxView::OnClose(deleteWindow)) return false;
    Activate(false);
    if (deleteWindow && m_pFrame) {
        m_pFrame->SetLevelView(nullptr);
        m_pFrame->Destroy();
        SetFrame(nullptr);
        m_pFrame = nullptr;
        m_pTree = nullptr;
    }
    return true;
}

ILevelDocument* CLithoscopeView::GetLevelDocument() const {
    return dynamic_cast<ILevelDocument*>(GetDocument());
}

void CLithoscopeView::OnInitialUpdate() {
    ILevelDocument* doc = GetLevelDocument();
    if (!doc || !m_pForm || m_pTree) return;
    CTrLevel& level = doc->GetLevel();
    if (TreeFactory()) m_pTree = TreeFactory()(m_pForm, m_pFrame, level, doc);
    if (!m_pTree) m_pTree = new CFileTree(m_pForm, m_pFrame, level, doc);
    m_pForm->GetSizer()->Add(m_pTree->GetWindow(), 1, wxEXPAND);
    m_pForm->Layout();
    m_pTree->BuildRoot();
    if (m_pFrame)
        m_pFrame->SetLargeIcon(level.trailingSize() != 0 ? kTrailingDataIcon : kDocumentIcon);
}

bool CLithoscopeView::TickEditPane() {
    CEditPaneBase* pane = nullptr;
    if (!m_pFrame) return false;
    m_pFrame->GetEditPane(&pane);
    return pane ? pane->Tick() : false;
}

bool CLithoscopeView::SaveLevel(const std::string& path) {
    if (m_pTree) return m_pTree->SaveLevel(path);
    ILevelDocument* doc = GetLevelDocument();
    return doc ? SaveLevelFile(doc->GetLevel(), path) : false;
}

void CLithoscopeView::ResetAfterSave(bool repopulate) {
    if (!m_pFrame) return;
    CEditPaneBase* pane = nullptr;
    m_pFrame->GetEditPane(&pane);
    if (pane) pane->ReleaseResources();
    m_pFrame->SetEditPane(EditPaneEmpty);
    if (m_pTree) m_pTree->SelectionNotShown();
    if (repopulate && m_pTree) m_pTree->RepopulateExpandedCollections();
}

namespace {
CEditPaneBase* CurrentPane(CChildFrame* frame) {
    CEditPaneBase* pane = nullptr;
    if (frame) frame->GetEditPane(&pane);
    return pane;
}
}  // namespace

void CLithoscopeView::SetBackgroundColor(uint32_t rgb) {
    if (CEditPaneBase* p = CurrentPane(m_pFrame)) p->SetBackgroundColor(rgb);
}
void CLithoscopeView::SetManualCamera(bool manual) {
    if (CEditPaneBase* p = CurrentPane(m_pFrame)) p->SetAutomaticCamera(!manual);
}
void CLithoscopeView::SetShowAxis(bool show) {
    if (CEditPaneBase* p = CurrentPane(m_pFrame)) p->SetShowAxis(show);
}
void CLithoscopeView::ShowTreeIcons(bool show) {
    if (m_pTree) m_pTree->ShowIcons(show);
}

CLithoscopeView* GetActiveLevelView() {
    auto* main = dynamic_cast<wxMDIParentFrame*>(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    if (!main) return nullptr;
    auto* child = dynamic_cast<CChildFrame*>(main->GetActiveChild());
    return child ? child->GetLevelView() : nullptr;
}

CLithoscopeView* ActivateLevelView() {
    CLithoscopeView* view = GetActiveLevelView();
    if (view) view->Activate(true);
    return view;
}

}  // namespace lithoscope

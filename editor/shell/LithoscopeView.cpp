#include "editor/shell/LithoscopeView.h"

#include <exception>

#include <wx/app.h>
#include <wx/sizer.h>
#include <wx/treectrl.h>
#include <wx/utils.h>

#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/panes/EditPane.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/MainFrame.h"
#include "editor/common/WxStrings.h"
#include "level/LevelErrors.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

wxIMPLEMENT_DYNAMIC_CLASS(CLithoscopeView, wxView);

namespace {

LevelTreeFactory& TreeFactory() {
    static LevelTreeFactory f;
    return f;
}

// The tree before the node handlers exist: a tree control without root.
class CPlainLevelTree : public ILevelTree {
public:
    CPlainLevelTree(wxWindow* parent, CTrLevel& level) : level_(level) {
        tree_ = new wxTreeCtrl(parent, kLevelTreeControlId, wxDefaultPosition, wxDefaultSize,
                               wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT);
        tree_->Bind(wxEVT_DESTROY, [this](wxWindowDestroyEvent& e) {
            e.Skip();
            if (e.GetWindow() == tree_) delete this;
        });
    }
    wxWindow* GetWindow() override { return tree_; }
    void BuildRoot() override {}
    bool SaveLevel(const std::string& path) override { return SaveLevelFile(level_, path); }
    void ShowIcons(bool) override {}
    void RepopulateExpandedCollections() override {}

private:
    CTrLevel& level_;
    wxTreeCtrl* tree_ = nullptr;
};

}  // namespace

LevelTreeFactory SetLevelTreeFactory(LevelTreeFactory factory) {
    LevelTreeFactory previous = std::move(TreeFactory());
    TreeFactory() = std::move(factory);
    return previous;
}

bool SaveLevelFile(CTrLevel& level, const std::string& path) {
    wxBusyCursor wait;
    try {
        return level.Save(path, 2, false, true, CLithoscopeApp::Catalog());
    } catch (const std::exception& e) {
        ShowMessage(StrFormat("The level could not be saved: %s", e.what()), "Lithoscope",
                    MsgButtons::Ok, MsgIcon::Error);
        return false;
    }
}

CLithoscopeView::~CLithoscopeView() = default;

bool CLithoscopeView::OnCreate(wxDocument* doc, long flags) {
    auto* main = dynamic_cast<CMainFrame*>(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
    if (!main) return false;
    m_pFrame = new CChildFrame(doc, this, main);
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
    CLithoscopeDoc* doc = GetLevelDocument();
    if (!doc || doc->GetFilename().empty()) return;
    const std::string name = StemOf(FromWx(doc->GetFilename()));
    if (doc->m_level.version == 0 || name == doc->m_level.name) return;
    doc->m_level.name = name;
    // Every window of the document shows the level under its new name.
    for (wxObject* v : doc->GetViews())
        if (auto* view = dynamic_cast<CLithoscopeView*>(v))
            if (view->m_pTree) view->m_pTree->ShowLevelName();
}

bool CLithoscopeView::OnClose(bool deleteWindow) {
    // Another window still shows the document: only this one closes.
    wxDocument* doc = GetDocument();
    const bool lastView = !doc || doc->GetViews().size() <= 1;
    if (lastView && !wxView::OnClose(deleteWindow)) return false;
    Activate(false);
    if (deleteWindow && m_pFrame) {
        m_pFrame->Destroy();
        SetFrame(nullptr);
        m_pFrame = nullptr;
        m_pTree = nullptr;
    }
    return true;
}

CLithoscopeDoc* CLithoscopeView::GetLevelDocument() const {
    return dynamic_cast<CLithoscopeDoc*>(GetDocument());
}

void CLithoscopeView::OnInitialUpdate() {
    CLithoscopeDoc* doc = GetLevelDocument();
    if (!doc || !m_pForm || m_pTree) return;
    if (TreeFactory()) m_pTree = TreeFactory()(m_pForm, m_pFrame, doc->m_level, doc);
    if (!m_pTree) m_pTree = new CPlainLevelTree(m_pForm, doc->m_level);
    m_pForm->GetSizer()->Add(m_pTree->GetWindow(), 1, wxEXPAND);
    m_pForm->Layout();
    m_pTree->BuildRoot();
    if (m_pFrame)
        m_pFrame->SetLargeIcon(doc->m_level.trailingSize() != 0 ? kTrailingDataIcon : kDocumentIcon);
}

bool CLithoscopeView::TickEditPane() {
    CEditPaneBase* pane = nullptr;
    if (!m_pFrame) return false;
    m_pFrame->GetEditPane(&pane);
    return pane ? pane->Tick() : false;
}

bool CLithoscopeView::SaveLevel(const std::string& path) {
    if (m_pTree) return m_pTree->SaveLevel(path);
    CLithoscopeDoc* doc = GetLevelDocument();
    return doc ? SaveLevelFile(doc->m_level, path) : false;
}

void CLithoscopeView::ResetAfterSave(bool repopulate) {
    if (!m_pFrame) return;
    CEditPaneBase* pane = nullptr;
    m_pFrame->GetEditPane(&pane);
    if (pane) pane->ReleaseResources();
    m_pFrame->SetEditPane(EditPaneEmpty);
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
    auto* main = dynamic_cast<CMainFrame*>(wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
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

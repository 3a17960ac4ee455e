#include "editor/toolbox/ToolboxBase.h"

#include <wx/sizer.h>
#include <wx/stattext.h>

#include "editor/panes/EditGfx.h"
#include "editor/toolbox/TlboxControls.h"
#include "editor/common/EditorHost.h"
#include "editor/tree/HandleBase.h"
#include "editor/view3d/GlWindow.h"

namespace lithoscope {

// ---- CToolboxItfBase ----

CToolboxItfBase::CToolboxItfBase(wxWindow* sheet, CToolboxBase* owner, const wxString& title)
    : wxScrolledWindow(sheet, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                       wxHSCROLL | wxVSCROLL | wxTAB_TRAVERSAL),
      m_pOwner(owner),
      m_strTitle(title) {
    SetScrollRate(8, 8);
}

void CToolboxItfBase::OnSetActive() {
    if (m_pOwner) m_pOwner->OnPageActivated(this);
}

void CToolboxItfBase::FinishLayout(wxSizer* sizer) {
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(sizer, 1, wxALL | wxEXPAND, 4);
    SetSizer(outer);
    FitInside();
}

CTlboxEdit* CToolboxItfBase::NewObjectIdEdit(wxWindow* parent, int width,
                                             std::function<bool(const std::string&)> set,
                                             std::function<void()> showValues) {
    return new CTlboxEdit(parent, width, [this, set, showValues](const std::string& text) {
        if (set(text)) {
            m_pOwner->ObjectIdChanged();
            Update(false);
        } else {
            showValues();
        }
    });
}

wxSize CToolboxItfBase::DoGetBestSize() const {
    // What the controls need; the page scrolls when it gets less.
    return GetSizer() ? GetSizer()->GetMinSize() : wxScrolledWindow::DoGetBestSize();
}

// ---- CToolboxSheet ----

CToolboxSheet::CToolboxSheet(CToolboxBase* owner) : m_pOwner(owner) {}

bool CToolboxSheet::Create(wxWindow* parent) {
    if (!wxNotebook::Create(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxNB_TOP)) return false;
    Bind(wxEVT_NOTEBOOK_PAGE_CHANGED, &CToolboxSheet::OnPageChanged, this);
    return true;
}

void CToolboxSheet::AddPages(int count, CToolboxItfBase** pages) {
    for (int i = 0; i < count; ++i) {
        if (!pages[i]) continue;
        m_pages.push_back(pages[i]);
        AddPage(pages[i], pages[i]->GetTitle(), GetPageCount() == 0);
    }
}

CToolboxItfBase* CToolboxSheet::GetActiveToolboxPage() const {
    const int sel = GetSelection();
    return sel == wxNOT_FOUND ? nullptr : dynamic_cast<CToolboxItfBase*>(GetPage(size_t(sel)));
}

void CToolboxSheet::UpdatePages(bool changed) {
    CEditGfxBase* pane = m_pOwner ? m_pOwner->GetPane() : nullptr;
    for (CToolboxItfBase* page : m_pages) {
        if (pane && pane->GetGlWindow()) pane->GetGlWindow()->SetCaption("");
        page->Update(changed);
    }
}

void CToolboxSheet::FitToParent() {
    if (GetParent()) GetParent()->Layout();
}

void CToolboxSheet::OnPageChanged(wxBookCtrlEvent& event) {
    event.Skip();
    if (event.GetEventObject() != this) return;
    const int sel = event.GetSelection();
    if (sel >= 0 && size_t(sel) < GetPageCount())
        if (auto* page = dynamic_cast<CToolboxItfBase*>(GetPage(size_t(sel)))) page->OnSetActive();
}

// ---- CToolboxBase ----

CToolboxBase::CToolboxBase(wxWindow* parent, int kind)
    : wxPanel(parent, wxID_ANY, wxDefaultPosition, wxSize(1, 1)), kind_(kind) {}

CToolboxBase::~CToolboxBase() = default;

void CToolboxBase::OnInitialUpdate() {
    if (m_pSheet) return;
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    m_pSheet = new CToolboxSheet(this);
    if (!m_pSheet->Create(this)) {
        delete m_pSheet;
        m_pSheet = nullptr;
        sizer->Add(new wxStaticText(this, wxID_ANY, "No toolbox available"), 0, wxALL, 8);
        SetSizer(sizer);
        return;
    }
    CreatePages();
    sizer->Add(m_pSheet, 1, wxEXPAND);
    SetSizer(sizer);
    m_pSheet->FitToParent();
}

bool CToolboxBase::BindObject(CHandleBase* node, CEditGfxBase* pane) {
    IMainWindow* main = MainWindow();
    const ToolboxBindResult result =
        m_binding.Bind(node ? node->GetObject() : nullptr, main && main->IsToolboxShown());
    if (result.hideToolbox) {
        main->ShowToolbox(false, true);
        return false;
    }
    m_pNode = node;
    m_pPane = pane;
    m_bLastBindChanged = result.changed;
    if (m_pSheet) {
        CToolboxItfBase* active = m_pSheet->GetActiveToolboxPage();
        m_pSheet->UpdatePages(result.changed);
        if (active) m_pSheet->SetCurrentPage(active);
    }
    return true;
}

void CToolboxBase::OnPageActivated(CToolboxItfBase* page) {
    if (!page) return;
    if (m_pSheet) m_pSheet->SetCurrentPage(page);
    page->Update(false);
}

void CToolboxBase::ForgetNode(CHandleBase* node) {
    if (!node || node != m_pNode) return;
    // Its object may go with it: the pages let go of it too, and whatever comes next
    // counts as another object.
    m_pNode = nullptr;
    m_pPane = nullptr;
    m_binding = CToolboxBinding();
    if (m_pSheet) m_pSheet->UpdatePages(true);
}

void CToolboxBase::MarkModified() {
    if (m_pNode) m_pNode->OnModified(false);
}

void CToolboxBase::ObjectIdChanged() {
    if (m_pNode) m_pNode->ObjectIdChanged();
}

CEditGfxBase* CToolboxBase::GetPane() const { return dynamic_cast<CEditGfxBase*>(m_pPane.get()); }

}  // namespace lithoscope

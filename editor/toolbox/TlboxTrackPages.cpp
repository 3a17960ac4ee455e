#include "editor/toolbox/TlboxTrackPages.h"

#include <algorithm>

#include <wx/listctrl.h>
#include <wx/sizer.h>

#include "editor/common/WxStrings.h"
#include "editor/toolbox/TlboxControls.h"
#include "editor/tree/NodeHandlers.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

constexpr int kListHeight = 112;

template <size_t N>
std::array<std::string, N> ToArray(const std::vector<std::string>& texts) {
    std::array<std::string, N> out;
    for (size_t i = 0; i < N && i < texts.size(); ++i) out[i] = texts[i];
    return out;
}

}  // namespace

// ---- CTlboxTrackPage ----

CTlboxTrackPage::CTlboxTrackPage(wxWindow* sheet, CToolboxBase* owner, const wxString& title)
    : CToolboxItfBase(sheet, owner, title) {}

void CTlboxTrackPage::Build(const TlboxColumn* columns, size_t count,
                            const std::vector<std::pair<TlboxPicture, const char*>>& buttons) {
    auto* top = new wxBoxSizer(wxHORIZONTAL);
    for (size_t i = 0; i + 1 < buttons.size(); ++i) {
        m_buttons.push_back(PictureButton(this, buttons[i].first, buttons[i].second));
        top->Add(m_buttons.back(), 0, wxRIGHT, 2);
    }

    m_pList = new wxListCtrl(this, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                             wxLC_REPORT | wxLC_SINGLE_SEL | wxBORDER_THEME);
    auto* edits = new wxBoxSizer(wxHORIZONTAL);
    int total = 0;
    for (size_t c = 0; c < count; ++c) {
        // The header text always fits.
        const int width = std::max(columns[c].width, m_pList->GetTextExtent(columns[c].title).x + 24);
        m_pList->AppendColumn(columns[c].title, wxLIST_FORMAT_LEFT, width);
        m_edits.push_back(new CTlboxEdit(this, width));
        edits->Add(m_edits.back(), 0, wxALIGN_CENTER_VERTICAL);
        total += width;
    }
    m_pList->SetMinSize(wxSize(total + 24, kListHeight));
    m_buttons.push_back(PictureButton(this, buttons.back().first, buttons.back().second));
    edits->Add(m_buttons.back(), 0, wxALIGN_CENTER_VERTICAL | wxLEFT, 4);

    auto* page = new wxBoxSizer(wxVERTICAL);
    page->Add(top, 0, wxBOTTOM, 2);
    page->Add(m_pList, 1, wxBOTTOM, 2);
    page->Add(edits);
    FinishLayout(page);

    for (size_t i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->Bind(wxEVT_BUTTON, [this, i](wxCommandEvent&) { OnButton(i); });
    m_pList->Bind(wxEVT_LIST_ITEM_SELECTED, &CTlboxTrackPage::OnSelected, this);
    // The list keeps the row the page works on selected.
    m_pList->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) {
        CallAfter([this] {
            const int sel = LogicSelection();
            if (m_bFilling || sel < 0 || sel >= m_pList->GetItemCount()) return;
            if (m_pList->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED) != -1) return;
            m_bFilling = true;
            m_pList->SetItemState(sel, wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED,
                                  wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED);
            m_bFilling = false;
        });
    });
}

void CTlboxTrackPage::OnSelected(wxListEvent& event) {
    if (m_bFilling) return;
    OnRowClicked(int(event.GetIndex()));
}

void CTlboxTrackPage::ShowList(const CTlboxRowList& rows, const int32_t* values) {
    m_bFilling = true;
    std::vector<std::vector<std::string>> texts;
    for (const TlboxListRow& row : rows.Rows()) texts.push_back(row.columns);
    if (texts != m_shown) {
        m_pList->DeleteAllItems();
        for (size_t r = 0; r < texts.size(); ++r) {
            const long item = m_pList->InsertItem(long(r), texts[r].empty() ? wxString() : ToWx(texts[r][0]));
            for (size_t c = 1; c < texts[r].size(); ++c) m_pList->SetItem(item, int(c), ToWx(texts[r][c]));
        }
        m_shown = std::move(texts);
    }
    const int sel = rows.Selection();
    const long mask = wxLIST_STATE_SELECTED | wxLIST_STATE_FOCUSED;
    for (int i = 0; i < m_pList->GetItemCount(); ++i)
        if ((m_pList->GetItemState(i, mask) != 0) != (i == sel)) m_pList->SetItemState(i, i == sel ? mask : 0, mask);
    if (sel >= 0) m_pList->EnsureVisible(sel);
    m_bFilling = false;
    for (size_t i = 0; i < m_edits.size(); ++i) m_edits[i]->ShowValue(IntText(long(values[i])));
    const bool moveable = BoundMoveable() != nullptr;
    for (wxButton* b : m_buttons) b->Enable(moveable);
}

std::vector<std::string> CTlboxTrackPage::EditTexts() const {
    std::vector<std::string> out;
    for (const CTlboxEdit* e : m_edits) out.push_back(e->Text());
    return out;
}

CTrMvb* CTlboxTrackPage::BoundMoveable() const {
    auto* node = dynamic_cast<CHandleMoveable*>(m_pOwner->GetNode());
    return node ? node->Moveable() : nullptr;
}

int CTlboxTrackPage::CurrentAnim() const {
    auto* anim = dynamic_cast<ITlboxMoveableItfAnim*>(m_pOwner);
    return anim ? anim->GetCurrentAnim() : 0;
}

// ---- State changes ----

CTlboxMoveableStCh::CTlboxMoveableStCh(wxWindow* sheet, CToolboxBase* owner)
    : CTlboxTrackPageOf(sheet, owner, "State changes") {
    Build(CTlboxMoveableStChLogic::kColumns, 5,
          {{TlboxPicture::Add, "Add"}, {TlboxPicture::Delete, "Delete"}, {TlboxPicture::Modify, "Modify"}});
    ShowValues();
}

void CTlboxMoveableStCh::Update(bool force) {
    m_logic.Bind(BoundMoveable());
    Refresh(force);
}

void CTlboxMoveableStCh::OnButton(size_t index) {
    switch (index) {
        case 0: m_logic.Add(); break;
        case 1: m_logic.Delete(); break;
        default: m_logic.ApplyStateChange(ToArray<5>(EditTexts())); break;
    }
    ShowValues();
}

// ---- Anim commands ----

CTlboxMoveableCmd::CTlboxMoveableCmd(wxWindow* sheet, CToolboxBase* owner)
    : CTlboxTrackPageOf(sheet, owner, "Anim commands") {
    Build(CTlboxMoveableCmdLogic::kColumns, 4,
          {{TlboxPicture::Add, "Add"},
           {TlboxPicture::Delete, "Delete"},
           {TlboxPicture::Up, "Up"},
           {TlboxPicture::Down, "Down"},
           {TlboxPicture::Modify, "Modify"}});
    ShowValues();
}

void CTlboxMoveableCmd::Update(bool force) {
    auto* node = dynamic_cast<CHandleMoveable*>(m_pOwner->GetNode());
    m_logic.Bind(BoundMoveable(), node ? node->GetLevel() : nullptr);
    Refresh(force);
}

void CTlboxMoveableCmd::OnButton(size_t index) {
    switch (index) {
        case 0: m_logic.Add(); break;
        case 1: m_logic.Delete(); break;
        case 2: m_logic.MoveUp(); break;
        case 3: m_logic.MoveDown(); break;
        default: m_logic.ApplyAnimCommand(ToArray<4>(EditTexts())); break;
    }
    ShowValues();
}

}  // namespace lithoscope

#include "editor/shell/SplitterWnd.h"

#include "platform/Messages.h"
#include "platform/Settings.h"

namespace lithoscope {

PaneSizes FixedPaneLayout(int fixedPane, int fixedMin, int total) {
    if (total < 0) total = 0;
    int fixed = fixedMin > total ? total : fixedMin + 15;
    if (fixed > total) fixed = total;
    const int other = total - fixed;
    return fixedPane == 0 ? PaneSizes{fixed, other} : PaneSizes{other, fixed};
}

std::string FormatPaneSizes(int hiddenColumn, int size0, int hiddenRow, int size1) {
    if (size0 < 0) size0 = 100;
    if (size1 < 0) size1 = 100;
    return StrFormat("%d %d %d %d", hiddenColumn, size0, hiddenRow, size1);
}

ST_SplitterWnd::ST_SplitterWnd(int identifier) : identifier_(identifier) {}

ST_SplitterWnd::~ST_SplitterWnd() {
    // The children still exist here: the outer splitter writes its nested one too.
    SavePaneSizes();
}

bool ST_SplitterWnd::CreateStaticPanes(wxWindow* parent, const PaneViewFactory& first,
                                       const PaneViewFactory& second, bool splitColumns,
                                       wxWindowID windowId) {
    columns_ = splitColumns;
    if (!Create(parent, windowId, wxDefaultPosition, wxSize(1, 1), wxSP_3D | wxSP_LIVE_UPDATE))
        return false;
    SetMinimumPaneSize(0);
    SetSashGravity(0.0);
    Bind(wxEVT_SIZE, &ST_SplitterWnd::OnSize, this);
    for (int p = 0; p < 2; ++p) {
        const PaneViewFactory& make = p == 0 ? first : second;
        if (!make) continue;
        wxWindow* view = make(this);
        if (!view) continue;
        views_[p].push_back(view);
        current_[p] = 0;
        pane_[p] = view;
    }
    ApplyPanes();
    return true;
}

ST_SplitterWnd* ST_SplitterWnd::CreateNestedSplitter(int pane, const PaneViewFactory& first,
                                                     const PaneViewFactory& second,
                                                     bool splitColumns) {
    pane &= 1;
    auto* nested = new ST_SplitterWnd(identifier_ + 1);
    if (!nested->CreateStaticPanes(this, first, second, splitColumns, wxID_ANY)) {
        delete nested;
        return nullptr;
    }
    child_[pane] = nested;
    if (pane_[pane]) pane_[pane]->Hide();
    views_[pane].push_back(nested);
    current_[pane] = int(views_[pane].size()) - 1;
    pane_[pane] = nested;
    ApplyPanes();
    return nested;
}

int ST_SplitterWnd::AddPaneView(int pane, const PaneViewFactory& make) {
    pane &= 1;
    if (pane_[pane]) pane_[pane]->Hide();
    wxWindow* view = make ? make(this) : nullptr;
    if (!view) return -1;
    views_[pane].push_back(view);
    current_[pane] = int(views_[pane].size()) - 1;
    pane_[pane] = view;
    view->Show();
    ApplyPanes();
    Refresh();
    Update();
    return current_[pane];
}

void ST_SplitterWnd::SwitchPaneView(int pane, int index) {
    pane &= 1;
    const int count = int(views_[pane].size());
    if (count == 0) return;
    if (index == -1) index = (current_[pane] + 1) % count;
    if (index < 0 || index >= count) return;
    wxWindow* view = views_[pane][size_t(index)];
    if (pane_[pane] && pane_[pane] != view) pane_[pane]->Hide();
    pane_[pane] = view;
    current_[pane] = index;
    if (!IsPaneHidden(pane)) view->Show();
    ApplyPanes();
    RecalcLayout();
    Refresh();
    Update();
}

wxWindow* ST_SplitterWnd::GetPaneWindow(int pane) const { return pane_[pane & 1]; }

void ST_SplitterWnd::ReplacePaneWindow(int pane, wxWindow* window) {
    pane &= 1;
    wxWindow* old = pane_[pane];
    if (old == window) return;
    if (IsSplit() || GetWindow1() == old) ReplaceWindow(old, window);
    for (wxWindow*& v : views_[pane])
        if (v == old) v = window;
    if (views_[pane].empty()) views_[pane].push_back(window);
    pane_[pane] = window;
    if (old) old->Hide();
    if (!IsPaneHidden(pane)) window->Show();
    ApplyPanes();
}

bool ST_SplitterWnd::IsPaneHidden(int pane) const {
    return columns_ ? pane == hiddenColumn_ : pane == hiddenRow_;
}

void ST_SplitterWnd::TogglePaneHidden(int pane) {
    if (columns_) {
        if (hiddenColumn_ == -1) HidePaneColumn(pane);
        else if (hiddenColumn_ == pane) RestorePaneColumn();
    } else {
        if (hiddenRow_ == -1) HidePaneRow(pane);
        else if (hiddenRow_ == pane) RestorePaneRow();
    }
}

void ST_SplitterWnd::HidePaneColumn(int column) {
    if (!columns_ || hiddenColumn_ != -1 || (column & ~1)) return;
    CapturePaneSizes();
    hiddenColumn_ = column;
    ApplyPanes();
}

void ST_SplitterWnd::HidePaneRow(int row) {
    if (columns_ || hiddenRow_ != -1 || (row & ~1)) return;
    CapturePaneSizes();
    hiddenRow_ = row;
    ApplyPanes();
}

void ST_SplitterWnd::RestorePaneColumn() {
    if (hiddenColumn_ == -1) return;
    hiddenColumn_ = -1;
    ApplyPanes();
    RecalcLayout();
}

void ST_SplitterWnd::RestorePaneRow() {
    if (hiddenRow_ == -1) return;
    hiddenRow_ = -1;
    ApplyPanes();
    RecalcLayout();
}

void ST_SplitterWnd::SetPaneInfo(int pane, int ideal, int minimum) {
    pane &= 1;
    ideal_[pane] = ideal;
    min_[pane] = minimum;
}

int ST_SplitterWnd::Total() const {
    const wxSize s = GetClientSize();
    return columns_ ? s.x : s.y;
}

int ST_SplitterWnd::GetPaneSize(int pane) const {
    pane &= 1;
    const int hidden = columns_ ? hiddenColumn_ : hiddenRow_;
    if (hidden == pane || !pane_[pane]) return 0;
    if (!IsSplit()) return Total();
    const int sash = GetSashPosition();
    return pane == 0 ? sash : Total() - sash - GetSashSize();
}

void ST_SplitterWnd::CapturePaneSizes() {
    for (ST_SplitterWnd* c : child_)
        if (c) c->CapturePaneSizes();
    if (hiddenColumn_ != -1 || hiddenRow_ != -1) return;
    // Before its first layout (still at the size it was created with) the sash may lie
    // past the splitter's end: such sizes mean nothing and the saved ones stay.
    const int size0 = GetPaneSize(0), size1 = GetPaneSize(1);
    if (size0 < 0 || size1 < 0 || Total() <= GetSashSize()) return;
    savedSize_[0] = size0;
    savedSize_[1] = size1;
    for (int p = 0; p < 2; ++p) savedMin_[p] = min_[p];
}

void ST_SplitterWnd::SavePaneSizes() {
    CapturePaneSizes();
    WriteProfileString(section_, StrFormat("Panes_%d", identifier_),
                       FormatPaneSizes(hiddenColumn_, savedSize_[0], hiddenRow_, savedSize_[1]));
    for (ST_SplitterWnd* c : child_)
        if (c) c->SavePaneSizes();
}

void ST_SplitterWnd::ApplyPanes() {
    const int hidden = columns_ ? hiddenColumn_ : hiddenRow_;
    wxWindow* show[2] = {hidden == 0 ? nullptr : pane_[0], hidden == 1 ? nullptr : pane_[1]};
    if (show[0] && show[1]) {
        if (IsSplit()) {
            if (GetWindow1() != show[0]) ReplaceWindow(GetWindow1(), show[0]);
            if (GetWindow2() != show[1]) ReplaceWindow(GetWindow2(), show[1]);
        } else {
            if (GetWindow1() && GetWindow1() != show[0] && GetWindow1() != show[1]) GetWindow1()->Hide();
            const int sash = savedSize_[0] > 0 ? savedSize_[0] : 0;
            show[0]->Show();
            show[1]->Show();
            if (columns_) SplitVertically(show[0], show[1], sash);
            else SplitHorizontally(show[0], show[1], sash);
        }
        RecalcLayout();
        return;
    }
    wxWindow* only = show[0] ? show[0] : show[1];
    if (IsSplit()) {
        wxWindow* away = GetWindow1() == only ? GetWindow2() : GetWindow1();
        Unsplit(away);  // hides it
        if (GetWindow1() != only && only) ReplaceWindow(GetWindow1(), only);
    } else if (only && GetWindow1() != only) {
        if (GetWindow1()) {
            GetWindow1()->Hide();
            ReplaceWindow(GetWindow1(), only);
        } else {
            Initialize(only);
        }
    }
    if (only) only->Show();
    for (int p = 0; p < 2; ++p)
        if (pane_[p] && pane_[p] != only && !show[p]) pane_[p]->Hide();
}

void ST_SplitterWnd::RecalcLayout() {
    if (!IsSplit()) return;
    const int total = Total() - GetSashSize();
    if (total <= 0) return;
    if (fixedPane_ == 0 || fixedPane_ == 1) {
        const PaneSizes s = FixedPaneLayout(fixedPane_, min_[fixedPane_], total);
        SetSashPosition(s.size0, true);
        return;
    }
    if (ideal_[0] >= 0) {
        SetSashPosition(ideal_[0] < total ? ideal_[0] : total, true);
        if (ideal_[0] < total) ideal_[0] = -1;  // applied once; the user moves it from now on
    }
}

void ST_SplitterWnd::OnSize(wxSizeEvent& event) {
    event.Skip();  // the splitter's own sizing runs after this
    if (fixedPane_ != -1 || ideal_[0] >= 0) CallAfter([this] { RecalcLayout(); });
}

}  // namespace lithoscope

#pragma once
// A static splitter of two panes that can hide one pane, keep one pane at a fixed size,
// hold several views in one pane and switch between them, and write its pane sizes to
// the settings ("SplitterWnd", "Panes_%d") when it is destroyed.
#include <functional>
#include <string>
#include <vector>

#include <wx/splitter.h>

namespace lithoscope {

// Makes a view in its parent (the splitter).
using PaneViewFactory = std::function<wxWindow*(wxWindow* parent)>;

// The fixed-pane rule: with a fixed pane of minimum fixedMin in a splitter of total size,
// the fixed pane gets fixedMin + 15 and the other the rest, or the fixed pane everything
// when fixedMin is larger than total. Sizes in pane order.
struct PaneSizes {
    int size0;
    int size1;
};
PaneSizes FixedPaneLayout(int fixedPane, int fixedMin, int total);

// "%d %d %d %d" of hidden column, saved size of pane 0, hidden row, saved size of pane 1
// (a saved size below 0, such as -1, written as 100).
std::string FormatPaneSizes(int hiddenColumn, int size0, int hiddenRow, int size1);

class ST_SplitterWnd : public wxSplitterWindow {
public:
    static constexpr const char* kSection = "SplitterWnd";

    explicit ST_SplitterWnd(int identifier);
    ~ST_SplitterWnd() override;

    bool CreateStaticPanes(wxWindow* parent, const PaneViewFactory& first,
                           const PaneViewFactory& second, bool splitColumns, wxWindowID windowId);
    ST_SplitterWnd* CreateNestedSplitter(int pane, const PaneViewFactory& first,
                                         const PaneViewFactory& second, bool splitColumns);
    // Appends a view to the pane's list and shows it in place of the pane's window;
    // returns its index, -1 on failure.
    int AddPaneView(int pane, const PaneViewFactory& view);
    // index -1: the view after the current one, wrapping.
    void SwitchPaneView(int pane, int index);
    // The window now in the pane (its current view), or null.
    wxWindow* GetPaneWindow(int pane) const;
    // Puts another window into the pane in place of the current one (which is not
    // destroyed); the pane's view list follows.
    void ReplacePaneWindow(int pane, wxWindow* window);

    bool IsPaneHidden(int pane) const;
    void TogglePaneHidden(int pane);
    void HidePaneColumn(int column);
    void HidePaneRow(int row);
    void RestorePaneColumn();
    void RestorePaneRow();

    // The ideal and minimum size of a pane (column width or row height).
    void SetPaneInfo(int pane, int ideal, int minimum);
    void SetFixedPane(int pane) { fixedPane_ = pane; }
    int GetFixedPane() const { return fixedPane_; }
    // Current size of a pane: 0 when hidden.
    int GetPaneSize(int pane) const;

    void CapturePaneSizes();
    void SavePaneSizes();
    void RecalcLayout();

    int GetIdentifier() const { return identifier_; }
    int GetHiddenColumn() const { return hiddenColumn_; }
    int GetHiddenRow() const { return hiddenRow_; }
    int GetSavedSize(int pane) const { return savedSize_[pane & 1]; }
    int GetSavedMin(int pane) const { return savedMin_[pane & 1]; }
    bool IsSplitColumns() const { return columns_; }
    ST_SplitterWnd* GetChildSplitter(int pane) const { return child_[pane & 1]; }
    const std::vector<wxWindow*>& GetPaneViews(int pane) const { return views_[pane & 1]; }
    int GetCurrentView(int pane) const { return current_[pane & 1]; }

private:
    void ApplyPanes();
    int Total() const;
    void OnSize(wxSizeEvent& event);

    ST_SplitterWnd* child_[2] = {nullptr, nullptr};
    int hiddenColumn_ = -1;
    int hiddenRow_ = -1;
    int fixedPane_ = -1;
    int savedSize_[2] = {100, 100};
    int savedMin_[2] = {10, 10};
    bool columns_ = true;
    std::string section_ = kSection;
    int identifier_;
    std::vector<wxWindow*> views_[2];
    int current_[2] = {0, 0};

    wxWindow* pane_[2] = {nullptr, nullptr};
    int ideal_[2] = {-1, -1};
    int min_[2] = {10, 10};
};

}  // namespace lithoscope

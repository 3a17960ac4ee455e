#pragma once
// The window of one open level: an outer splitter with the level view on the left and a
// nested splitter on the right, the edit pane above and the toolbox row below.
#include <wx/docmdi.h>

#include "editor/panes/EditPane.h"

namespace lithoscope {

class CLithoscopeView;
class ST_SplitterWnd;

// Icons of a document window: the document's, and the one of a level with bytes after
// its samples.
constexpr int kDocumentIcon = 129;
constexpr int kTrailingDataIcon = 130;

class CChildFrame : public wxDocMDIChildFrame, public IChildFrame {
public:
    CChildFrame(wxDocument* doc, wxView* view, wxMDIParentFrame* parent);
    ~CChildFrame() override;

    // Builds the two splitters, the empty pane and the three toolbox views; the level
    // view's window is made by levelWindow in the outer splitter's left pane.
    bool OnCreateClient(wxWindow* levelWindow);

    int GetEditPane(CEditPaneBase** pane = nullptr) const;
    // The level view that made the frame, while it is the frame's view.
    CLithoscopeView* GetLevelView() const;
    void SetLevelView(CLithoscopeView* view) { m_pLevelView = view; }
    // IChildFrame
    int GetEditPaneKind() const override { return m_nEditPaneKind; }
    IEditPane* GetCurrentEditPane() const override { return m_pEditPane; }
    wxWindow* GetToolboxView(int kind) const override;
    void SetEditPane(int kind) override;
    void FocusLevelView() override;
    void LayoutToolbox(bool show);
    // F6 / Shift+F6: the keyboard focus goes to the next (previous) pane: level view,
    // edit pane, toolbox row when shown.
    void ActivateNextPane(bool previous);
    bool IsToolboxShown() const { return m_bToolboxShown; }

    // Large icon of the window (129 or 130).
    void SetLargeIcon(int iconId);
    int GetLargeIcon() const { return m_nLargeIcon; }

    ST_SplitterWnd* GetOuterSplitter() const { return m_pOuterSplitter; }
    ST_SplitterWnd* GetNestedSplitter() const { return m_pNestedSplitter; }

private:
    ST_SplitterWnd* m_pOuterSplitter = nullptr;   // window tree owns both
    ST_SplitterWnd* m_pNestedSplitter = nullptr;
    int m_nEditPaneKind = EditPaneEmpty;
    bool m_bToolboxShown = false;
    int m_nMeshToolbox = -1;
    int m_nMoveableToolbox = -1;
    int m_nSpriteToolbox = -1;
    int m_nLargeIcon = kDocumentIcon;
    CEditPaneBase* m_pEditPane = nullptr;
    CLithoscopeView* m_pLevelView = nullptr;
    wxWindow* m_pLevelWindow = nullptr;  // the level view's form
    wxMenu* m_pFileMenu = nullptr;  // holds the recent files while the frame lives
};

// The icon of a document window, drawn at run time.
wxIcon DocumentIcon(int iconId);

}  // namespace lithoscope

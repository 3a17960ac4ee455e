#pragma once
// The application's main window: menus, toolbar, status bar, the view switches of the run
// (object toolbox, manual camera, show axis), the 3D view's background colour and the
// options commands.
#include <cstdint>
#include <vector>

#include <wx/docmdi.h>

#include "editor/common/EditorHost.h"
#include "editor/shell/Menus.h"

class wxToolBar;

namespace lithoscope {

class CChildFrame;
// Text of a lock-key pane of the status bar: its name while the lock is on.
const char* LockIndicatorText(int pane, bool on);
// Title of the main frame with the active document's name ("" for none).
wxString MainFrameTitle(const wxString& documentName);

class CMainFrame : public wxDocMDIParentFrame, public IMainWindow {
public:
    CMainFrame();
    // The framework's creation, then toolbar, status bar and the check buttons; false
    // when a step fails.
    bool Create(wxDocManager* manager, const wxString& title);

    void ShowToolbox(bool show, bool store) override;
    void SetManualCamera(bool manual) override;
    void SetShowAxis(bool show);
    // IMainWindow
    bool IsToolboxShown() const override { return m_bToolboxShown; }
    bool IsManualCamera() const override { return m_bManualCamera; }
    bool IsAxisShown() const override { return m_bShowAxis; }
    uint32_t GetBackgroundColor() const override { return m_crBackground; }
    // Walks the document child frames; null (and the walk ends) after the last one.
    CChildFrame* GetNextChildFrame();
    // Every document child frame, in the order of the walk.
    std::vector<CChildFrame*> ChildFrames() const;

    void OnOptionsLevelPaths();
    void OnOptionsDisplay();
    void OnOptionsSound();
    // "&New Window": another window on the active document.
    void OnWindowNew();
    // The status bar's Caps Lock, Num Lock and Scroll Lock panes and the frame's title
    // (the active document's name) follow the current state.
    void UpdateIndicators();

    // Menu 128 (no document) and menu 129 (a document window).
    static wxMenuBar* CreateMenu128(wxDocManager* manager) { return MainMenuBar(manager); }
    static wxMenuBar* CreateMenu129(wxDocManager* manager) { return DocumentMenuBar(manager); }

    bool m_bToolboxShown = false;
    bool m_bManualCamera = false;
    bool m_bShowAxis = false;
    uint32_t m_crBackground;  // 0x00BBGGRR

    wxToolBar* GetMainToolBar() const { return m_pToolBar; }
    // Whether the toolbar's check button at that position is checked.
    bool IsButtonChecked(int position) const;

private:
    void CheckButton(int position, bool checked);
    void OnCommand(wxCommandEvent& event);
    void OnUpdateCheck(wxUpdateUIEvent& event);
    void OnUpdateDisabled(wxUpdateUIEvent& event);

    wxToolBar* m_pToolBar = nullptr;
    int m_nChildWalk = -1;  // position of GetNextChildFrame, -1 when no walk is under way
};

}  // namespace lithoscope

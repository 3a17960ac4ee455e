#pragma once
// The level view: the left pane of a document's child frame, hosting the level tree, and
// the forwarder of the application's and main frame's requests to the current edit pane.
#include <cstdint>
#include <functional>
#include <string>

#include <wx/docview.h>
#include <wx/panel.h>

#include "editor/common/LevelDocument.h"

namespace lithoscope {

class CChildFrame;
class CTrLevel;

// Makes the level tree of a view; without one the view makes the level tree (CFileTree).
// The window of the returned tree is a child of parent (the window tree destroys it; the
// object is destroyed with it).
using LevelTreeFactory = std::function<ILevelTree*(wxWindow* parent, CChildFrame* frame,
                                                   CTrLevel& level, ILevelDocument* doc)>;
LevelTreeFactory SetLevelTreeFactory(LevelTreeFactory factory);

class CLithoscopeView : public wxView {
public:
    CLithoscopeView() = default;
    ~CLithoscopeView() override;

    bool OnCreate(wxDocument* doc, long flags) override;
    bool OnClose(bool deleteWindow) override;
    // The document's file name or modified mark changed: the frame's title follows, and the
    // tree's root and the level take the new name.
    void OnChangeFilename() override;
    void OnDraw(wxDC* dc) override {}

    // Creates the tree and builds its root; sets the frame's icon for trailing data.
    void OnInitialUpdate();
    bool TickEditPane();
    bool SaveLevel(const std::string& path);
    void ResetAfterSave(bool repopulate);
    void SetBackgroundColor(uint32_t rgb);
    void SetManualCamera(bool manual);
    void SetShowAxis(bool show);
    void ShowTreeIcons(bool show);

    // The view's document as the level's holder, or null.
    ILevelDocument* GetLevelDocument() const;
    CChildFrame* GetChildFrame() const { return m_pFrame; }
    ILevelTree* GetTree() const { return m_pTree; }
    wxPanel* GetFormWindow() const { return m_pForm; }

private:
    CChildFrame* m_pFrame = nullptr;
    wxPanel* m_pForm = nullptr;
    ILevelTree* m_pTree = nullptr;

    wxDECLARE_DYNAMIC_CLASS(CLithoscopeView);
};

// The level view of the main frame's active child frame, or null.
CLithoscopeView* GetActiveLevelView();
// As GetActiveLevelView, the view first made the active view of its frame.
CLithoscopeView* ActivateLevelView();

}  // namespace lithoscope

#pragma once
// The level view: the left pane of a document's child frame, hosting the level tree, and
// the forwarder of the application's and main frame's requests to the current edit pane.
#include <cstdint>
#include <functional>
#include <string>

#include <wx/docview.h>
#include <wx/panel.h>

namespace lithoscope {

class CChildFrame;
class CLithoscopeDoc;
class CTrLevel;

// What the view asks of the level tree. The tree of nodes plugs in through the factory;
// without one the view shows an empty tree and saves the level itself.
class ILevelTree {
public:
    virtual ~ILevelTree() = default;
    virtual wxWindow* GetWindow() = 0;
    virtual void BuildRoot() = 0;
    // Writes the level; false when the save failed (the user has been told).
    virtual bool SaveLevel(const std::string& path) = 0;
    virtual void ShowIcons(bool show) = 0;
    // The moveables, static meshes and sprites nodes that exist and were expanded at
    // least once are populated again.
    virtual void RepopulateExpandedCollections() = 0;
    // The root shows the level's name again (after the level took another file name).
    virtual void ShowLevelName() {}
};
// The window of the returned tree is a child of parent (the window tree destroys it; the
// object is destroyed with it).
using LevelTreeFactory = std::function<ILevelTree*(wxWindow* parent, CChildFrame* frame,
                                                   CTrLevel& level, CLithoscopeDoc* doc)>;
LevelTreeFactory SetLevelTreeFactory(LevelTreeFactory factory);

// The level save of the tree: CTrLevel::Save(path, 2 = ask, rebuild, messages) under a
// wait cursor; exceptions become a failed save with a message.
bool SaveLevelFile(CTrLevel& level, const std::string& path);

constexpr int kLevelTreeControlId = 0x5000;

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

    CLithoscopeDoc* GetLevelDocument() const;
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

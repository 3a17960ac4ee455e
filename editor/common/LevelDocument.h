#pragma once
// An open level as the rooms below shell/ see it: the document that holds the level, and
// the level tree each of its windows shows.
#include <string>
#include <vector>

class wxWindow;

namespace lithoscope {

class CTrLevel;

// True while a document saves; the idle tick and the 3D drawing stop meanwhile.
extern bool g_bSavingLevel;

constexpr int kLevelTreeControlId = 0x5000;

// What a document window asks of its level tree.
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
    // The edit pane no longer shows the selected node (after a save): a click on that node
    // shows it again.
    virtual void SelectionNotShown() {}
};

// What a level tree asks of the document that holds its level.
class ILevelDocument {
public:
    virtual ~ILevelDocument() = default;
    virtual CTrLevel& GetLevel() = 0;
    // The framework's modified flag.
    virtual void SetModifiedFlag(bool modified) = 0;
    // The level trees of every window on the document, in the windows' order.
    virtual std::vector<ILevelTree*> GetLevelTrees() const = 0;
};

// The level save of the editor: CTrLevel::Save(path, 2 = ask, rebuild, messages) under a
// wait cursor; exceptions become a failed save with a message.
bool SaveLevelFile(CTrLevel& level, const std::string& path);

}  // namespace lithoscope

// Only what the user does changes a level: keys released while a menu, a dialog or a drag
// has the keyboard, arrows pressed to walk the tree, drags and drops, all through real X
// events on real levels.
#include <gtest/gtest.h>

#include "E2eEditor.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class InputEndToEnd : public test::EditorEndToEnd {
protected:
    // A copy of a real level in the test's folder; "" when the levels are not there.
    std::string RealLevel(const std::string& relative, const std::string& name) {
        const std::string dir = test::RealLevelsDir();
        if (dir.empty()) return "";
        const std::vector<uint8_t> bytes = test::ReadFileBytes(dir + "/" + relative);
        if (bytes.empty()) return "";
        const std::string path = dir_.file(name);
        test::WriteFileBytes(path, bytes);
        return path;
    }
    // The level as saved now, and as saved straight after loading the file it came from.
    std::vector<uint8_t> SavedBytes(CTrLevel& level, const std::string& name) {
        const std::string path = dir_.file(name);
        EXPECT_TRUE(level.Save(path, 1, false, false, &App().m_catalog));
        return test::ReadFileBytes(path);
    }
    std::vector<uint8_t> PristineBytes(const std::string& levelPath, const std::string& name) {
        CTrLevel fresh;
        EXPECT_TRUE(fresh.Load(levelPath, false, false, &App().m_catalog));
        return SavedBytes(fresh, name);
    }
    // Clicks the first static mesh of the tree; true once its mesh pane shows it.
    bool SelectFirstStaticMesh(CLithoscopeDoc* doc) {
        CFileTree* tree = TreeOf(doc);
        if (!tree) return false;
        tree->Expand(tree->GetRootItem());
        const wxTreeItemId item = FirstChildItem(*tree, tree->m_pStaticMeshesNode);
        if (!item.IsOk()) return false;
        return Drive(At(ScreenPoint(*tree, item)) + " click 1", [&] { return MeshPane(doc) != nullptr; });
    }
    static CEditMesh* MeshPane(CLithoscopeDoc* doc) {
        CEditPaneBase* pane = nullptr;
        if (doc && doc->GetLevelView() && doc->GetLevelView()->GetChildFrame())
            doc->GetLevelView()->GetChildFrame()->GetEditPane(&pane);
        auto* mesh = dynamic_cast<CEditMesh*>(pane);
        return mesh && mesh->GetGlWindow() ? mesh : nullptr;
    }
};

TEST_F(InputEndToEnd, ShiftReleasedInAContextMenuDoesNotStayHeld) {
    const std::string path = RealLevel("tr1/01-Caves.PHD", "caves.phd");
    if (path.empty()) GTEST_SKIP() << "no real levels";
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    ASSERT_TRUE(SelectFirstStaticMesh(doc));
    // Shift+F10 opens the node's menu; Shift is let go while the menu has the keyboard.
    DriveAll("keydown shift key F10 sleep 0.8 keyup shift sleep 0.3 key Escape sleep 0.4 key Up sleep 0.4 "
             "key Down sleep 0.6");
    Pump(500);
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(SavedBytes(doc->m_level, "after.phd") == PristineBytes(path, "before.phd"));
}

}  // namespace

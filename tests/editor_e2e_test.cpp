// The editor driven by real X events (xdotool) on a display with a window manager: context
// menus from the right button, the Menu key and Shift+F10 run their commands.
#include <gtest/gtest.h>

#include <functional>

#include <wx/app.h>

#include "E2eEditor.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/tree/LevelTree.h"
#include "fixtures/SampleLevel.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class EndToEnd : public test::EditorEndToEnd {};

TEST_F(EndToEnd, RightClickMenuKeyAndShiftF10OpenNodeMenusWhoseCommandsRun) {
    const std::string path = dir_.file("sample.tr2");
    test::WriteFileBytes(path, test::BuildSampleLevelTr2());
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    CTrLevel& level = doc->m_level;
    ASSERT_EQ(level.moveableList.size(), 1u);
    ASSERT_EQ(level.staticMeshList.size(), 1u);

    // Right button on the moveable, the third entry ("Delete"), Yes: the node is gone and
    // the tree goes on working.
    tree->Expand(tree->GetRootItem());
    const wxPoint moveable = ScreenPoint(*tree, FirstChildItem(*tree, tree->m_pMoveablesNode));
    g_messages.Answer(MsgAnswer::Yes);
    EXPECT_TRUE(Drive(At(moveable) + " click 3 sleep 0.8 key Down Down Down sleep 0.2 key Return",
                      [&] { return level.moveableList.empty(); }));
    EXPECT_TRUE(g_messages.Saw("Are you sure you want to delete this moveable ?"));
    EXPECT_FALSE(FirstChildItem(*tree, tree->m_pMoveablesNode).IsOk());
    EXPECT_TRUE(doc->IsModified());

    // The Menu key on the static mesh the left button selected: the last entry ("Delete").
    g_messages.clear();
    g_messages.Answer(MsgAnswer::Yes);
    const wxPoint mesh = ScreenPoint(*tree, FirstChildItem(*tree, tree->m_pStaticMeshesNode));
    EXPECT_TRUE(Drive(At(mesh) + " click 1 sleep 0.4 key Menu sleep 0.8 key Up sleep 0.2 key Return",
                      [&] { return level.staticMeshList.empty(); }));
    EXPECT_TRUE(g_messages.Saw("Are you sure you want to delete this static mesh ?"));

    // Shift+F10 on the sprite: its last entry asks for a picture; a screenshot of the menu.
    std::string asked;
    SetOpenFileChooser([&](const std::string& filter) {
        asked = filter;
        return std::string();
    });
    const wxPoint sprite = ScreenPoint(*tree, FirstChildItem(*tree, tree->m_pSpritesNode));
    const std::string shot = dir_.file("menu.png");
    const pid_t camera = session_->XdoAsync("sleep 1.4 exec import -window root " + shot);
    EXPECT_TRUE(Drive(At(sprite) + " click 1 sleep 0.4 key shift+F10 sleep 1.8 key Up sleep 0.2 key Return",
                      [&] { return !asked.empty(); }));
    EXPECT_EQ(asked.rfind("Gfx files (*.tga;*.bmp;*.gif)", 0), 0u);
    PumpUntil([&] { return test::XSession::Finished(camera); }, 5000);
    (void)camera;
}

}  // namespace

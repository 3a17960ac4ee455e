// The editor driven by real X events (xdotool) on a display with a window manager: context
// menus from the right button, the Menu key and Shift+F10 run their commands; a moveable
// dragged from one level's tree to another's is copied there and saved with it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>

#include <wx/app.h>

#include "E2eEditor.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/shell/ChildFrame.h"
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

TEST_F(EndToEnd, MoveableDraggedToAnotherLevelIsCopiedAndSavedWithIt) {
    const std::string sourcePath = dir_.file("source.tr2");
    const std::string targetPath = dir_.file("target.tr2");
    test::WriteFileBytes(sourcePath, test::BuildSampleLevelTr2());
    test::WriteFileBytes(targetPath, test::BuildSampleLevelTr2());
    // The target's moveable gets another id: the source's push block (67) is new there.
    {
        CTrLevel target;
        ASSERT_TRUE(target.Load(targetPath, false, false, &App().m_catalog));
        ASSERT_EQ(target.moveableList.size(), 1u);
        target.moveableList[0]->objectId = 68;
        for (TrItemRecord& item : target.itemList)
            if (item.objectId() == 67) item.setS16(0, 68);
        ASSERT_TRUE(target.Save(targetPath, 1, false, false, &App().m_catalog));
    }
    CLithoscopeDoc* source = Open(sourcePath);
    CLithoscopeDoc* target = Open(targetPath);
    ASSERT_TRUE(source && target);
    CFileTree* sourceTree = TreeOf(source);
    CFileTree* targetTree = TreeOf(target);
    ASSERT_TRUE(sourceTree && targetTree);
    const CTrMvb& original = *source->m_level.moveableList[0];
    ASSERT_EQ(original.objectId, 67);

    // Where the target's moveable is (the drop), with the target window in front; then
    // the source window in front, where the drag starts.
    targetTree->Expand(targetTree->GetRootItem());
    const wxPoint drop = ScreenPoint(*targetTree, FirstChildItem(*targetTree, targetTree->m_pMoveablesNode));
    source->GetLevelView()->GetChildFrame()->Activate();
    Pump(400);
    sourceTree->Expand(sourceTree->GetRootItem());
    const wxPoint from = ScreenPoint(*sourceTree, FirstChildItem(*sourceTree, sourceTree->m_pMoveablesNode));
    // The drag rests on the tab strip above the trees, so the target's tab comes to the front.
    std::string path = At(from) + " mousedown 1 sleep 0.3";
    for (int dy = 4; dy <= 24; dy += 4) path += " " + At(from - wxPoint(0, dy)) + " sleep 0.05";
    path += OverTabStrip();
    path += " " + At(drop - wxPoint(0, 20)) + " sleep 0.2 " + At(drop) + " sleep 0.4 mouseup 1";
    EXPECT_TRUE(Drive(path, [&] { return target->m_level.moveableList.size() == 2; }, 30000));
    Shot("after-drop.png");

    // A copy: the source keeps its moveable; the target saves and loads again with it.
    ASSERT_EQ(source->m_level.moveableList.size(), 1u);
    ASSERT_EQ(target->m_level.moveableList.size(), 2u);
    EXPECT_TRUE(target->IsModified());
    EXPECT_FALSE(source->IsModified());
    const std::string saved = dir_.file("saved.tr2");
    ASSERT_TRUE(target->OnSaveDocument(saved));
    CTrLevel reloaded;
    ASSERT_TRUE(reloaded.Load(saved, false, false, &App().m_catalog));
    CTrMvb* copy = reloaded.FindMoveable(67);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(reloaded.FindMoveable(68), nullptr);
    EXPECT_EQ(copy->meshCount(), original.meshCount());
    EXPECT_EQ(copy->animationCount(), original.animationCount());
    EXPECT_EQ(copy->textureCount(), original.textureCount());
}

}  // namespace

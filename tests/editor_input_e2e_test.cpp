// Only what the user does changes a level. Through real X events on real levels: keys let
// go while a popup menu, a file chooser or a drag has the keyboard, arrows pressed to walk
// the tree, drags with Shift pressed on the way, the wheel, and the 3D view under a modal
// question while a level is saved.
#include <gtest/gtest.h>

#include <cmath>

#include "E2eEditor.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/SplitterWnd.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "editor/view3d/ViewCameraInput.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

float CameraDistance(COpenGLWnd& gl) {
    CVector3 d;
    VecSub(d, gl.Camera().eye, gl.Camera().target);
    return d.Length();
}

class InputEndToEnd : public test::EditorEndToEnd {
protected:
    // A copy of a real level in the test's folder; "" when the levels folder does not hold it.
    std::string RealLevel(const std::string& relative, const std::string& name) {
        const std::string dir = test::RealLevelsDir();
        if (dir.empty() || !FileExists(dir + "/" + relative)) return "";
        const std::vector<uint8_t> bytes = test::ReadFileBytes(dir + "/" + relative);
        if (bytes.empty()) return "";
        const std::string path = dir_.file(name);
        test::WriteFileBytes(path, bytes);
        return path;
    }
    // The document is not modified and every object is as in the level's file.
    void ExpectUntouched(CLithoscopeDoc* doc, const std::string& path, const char* what) {
        EXPECT_FALSE(doc->IsModified()) << what;
        CTrLevel fresh;
        ASSERT_TRUE(fresh.Load(path, false, false, &App().m_catalog));
        EXPECT_TRUE(test::ObjectImages(doc->m_level) == test::ObjectImages(fresh)) << what;
    }
    // Saved by the editor, the document gives the bytes of its file loaded and saved again.
    void ExpectSavesAsLoaded(CLithoscopeDoc* doc, const std::string& path) {
        const std::string now = dir_.file("saved-now.phd"), then = dir_.file("saved-then.phd");
        CTrLevel fresh;
        ASSERT_TRUE(fresh.Load(path, false, false, &App().m_catalog));
        ASSERT_TRUE(fresh.Save(then, 1, false, false, &App().m_catalog));
        ASSERT_TRUE(doc->OnSaveDocument(wxString::FromUTF8(now.c_str())));
        EXPECT_TRUE(test::ReadFileBytes(now) == test::ReadFileBytes(then));
    }
    // The first static mesh of the level's tree, shown by a click; null when it isn't.
    CHandleMesh* ClickFirstStaticMesh(CLithoscopeDoc* doc) {
        CFileTree* tree = TreeOf(doc);
        if (!tree) return nullptr;
        tree->Expand(tree->GetRootItem());
        const wxTreeItemId item = FirstChildItem(*tree, tree->m_pStaticMeshesNode);
        if (!item.IsOk()) return nullptr;
        if (!Drive(At(ScreenPoint(*tree, item)) + " click 1", [&] { return MeshPane(doc) != nullptr; }))
            return nullptr;
        return dynamic_cast<CHandleMesh*>(tree->GetNode(item));
    }
    // A copy of Caves open in the editor with its first static mesh shown. No node when
    // the real levels are not there (the test is skipped) or it could not be shown (failed).
    struct Shown {
        std::string path;
        CLithoscopeDoc* doc = nullptr;
        CHandleMesh* node = nullptr;
    };
    void OpenCaves(Shown& shown) {
        shown.path = RealLevel("tr1/01-Caves.PHD", "caves.phd");
        if (shown.path.empty()) GTEST_SKIP() << "the real levels hold no tr1/01-Caves.PHD";
        shown.doc = Open(shown.path);
        if (shown.doc) shown.node = ClickFirstStaticMesh(shown.doc);
        EXPECT_NE(shown.node, nullptr) << "Caves' first static mesh shown";
    }
    static CEditMesh* MeshPane(CLithoscopeDoc* doc) {
        CEditPaneBase* pane = nullptr;
        if (doc && doc->GetLevelView() && doc->GetLevelView()->GetChildFrame())
            doc->GetLevelView()->GetChildFrame()->GetEditPane(&pane);
        auto* mesh = dynamic_cast<CEditMesh*>(pane);
        return mesh && mesh->GetGlWindow() ? mesh : nullptr;
    }
    static wxPoint Centre(wxWindow& w) {
        return w.ClientToScreen(wxPoint(w.GetClientSize().x / 2, w.GetClientSize().y / 2));
    }
};

TEST_F(InputEndToEnd, ShiftLetGoInAContextMenuIsNotHeldAfterwards) {
    Shown caves;
    OpenCaves(caves);
    if (!caves.node) return;
    CLithoscopeDoc* doc = caves.doc;
    // Shift+F10 opens the node's menu and Shift is let go while the menu has the keyboard;
    // then the arrows walk the tree, away from the mesh and back.
    DriveAll("keydown shift key F10 sleep 0.8 keyup shift sleep 0.3 key Escape sleep 0.4 key Up sleep 0.4 "
             "key Down sleep 0.6");
    Pump(300);
    ExpectUntouched(doc, caves.path, "Shift+F10");

    // Held in the main window, the same keys do move the mesh.
    ASSERT_NE(MeshPane(doc), nullptr);
    TrMeshRecord& mesh = caves.node->StaticMesh()->meshes[0];
    const int x0 = mesh.vertices[0].x;
    DriveAll("keydown shift sleep 0.3 key Right sleep 0.3 keyup shift sleep 0.3");
    EXPECT_GT(mesh.vertices[0].x, x0);
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(InputEndToEnd, ShiftHeldWhileTheExportChooserOpensIsLetGoThere) {
    Shown caves;
    OpenCaves(caves);
    if (!caves.node) return;
    CLithoscopeDoc* doc = caves.doc;
    CFileTree* tree = TreeOf(doc);
    const wxPoint item = ScreenPoint(*tree, caves.node->GetItem());
    // Shift goes down in the tree, the menu's second entry ("Export to 3DS", clicked: a menu
    // takes no arrows with Shift) opens the toolkit's file chooser, and Shift comes up in
    // the chooser, where a name is typed.
    const std::string out = dir_.file("plant.3ds");
    DriveAll({"keydown shift " + At(item) + " click 3 sleep 0.8 " + At(item + wxPoint(60, 41)) +
                  " sleep 0.3 click 1 sleep 2.5 keyup shift sleep 0.3 key ctrl+a type '" + out + "'",
              "sleep 8 key Return"});
    EXPECT_TRUE(FileExists(out));
    DriveAll("sleep 0.5 key Up sleep 0.4 key Down sleep 0.6");
    Pump(300);
    ExpectUntouched(doc, caves.path, "export");
    ExpectSavesAsLoaded(doc, caves.path);
}

TEST_F(InputEndToEnd, DragsAcrossTreesChangeNeitherLevelButTheTileAsked) {
    const std::string sourcePath = RealLevel("tr4/title-b.tr4", "source.tr4");
    const std::string targetPath = RealLevel("tr4/title-trng.tr4", "target.tr4");
    if (sourcePath.empty() || targetPath.empty())
        GTEST_SKIP() << "the real levels hold no tr4/title-b.tr4 and tr4/title-trng.tr4";
    CLithoscopeDoc* source = Open(sourcePath);
    CLithoscopeDoc* target = Open(targetPath);
    ASSERT_TRUE(source && target);
    CFileTree* sourceTree = TreeOf(source);
    CFileTree* targetTree = TreeOf(target);
    ASSERT_TRUE(sourceTree && targetTree);
    g_messages.clear();
    auto front = [&](CLithoscopeDoc* doc) {
        doc->GetLevelView()->GetChildFrame()->Activate();
        Pump(400);
    };
    // The screen point of the first node of a collection (of the tile: collection null),
    // with only that collection open.
    auto nodePoint = [&](CFileTree& tree, CHandleBase* collection) {
        tree.Expand(tree.GetRootItem());
        for (CHandleBase* c : {tree.m_pMoveablesNode, tree.m_pStaticMeshesNode, tree.m_pSpritesNode})
            if (c != collection) tree.Collapse(c->GetItem());
        wxTreeItemId item;
        if (collection) {
            tree.Expand(collection->GetItem());
            item = FirstChildItem(tree, collection);
        } else {
            wxTreeItemIdValue cookie;
            item = tree.GetFirstChild(tree.GetRootItem(), cookie);
            while (item.IsOk() && tree.GetNode(item)->GetType() != HandleTypeTile)
                item = tree.GetNextChild(tree.GetRootItem(), cookie);
        }
        // The toolkit scrolls to the selected row once the rows moved: that first.
        Pump(400);
        const wxPoint p = ScreenPoint(tree, item);
        EXPECT_TRUE(tree.GetScreenRect().Contains(p));
        return p;
    };
    // The target, in front, gets a narrow tree, wider inside than shown: a drag near its
    // right edge scrolls it sideways.
    front(target);
    target->GetLevelView()->GetChildFrame()->GetOuterSplitter()->SetSashPosition(150);
    Pump(300);

    // A drag from the source's node over its other nodes, resting on each place of the tab
    // strip so that the target's tab comes to the front, onto the target's node; keys go
    // with it where given. Then, for one, a rest at the target tree's right edge on the
    // same row until the drop.
    auto dragPath = [&](const wxPoint& from, const wxPoint& drop, const std::string& overSource,
                        const std::string& overTabs, bool rightEdge) {
        std::string p = At(from) + " mousedown 1 sleep 0.3";
        for (int dy = 4; dy <= 60; dy += 8) p += " " + At(from + wxPoint(dy / 4, dy)) + " sleep 0.05";
        p += " " + overSource;
        for (int dy = 60; dy >= 0; dy -= 12) p += " " + At(from + wxPoint(4, dy)) + " sleep 0.1";
        p += OverTabStrip() + " " + overTabs;
        p += " " + At(drop - wxPoint(0, 20)) + " sleep 0.2 " + At(drop) + " sleep 0.4 " + At(drop + wxPoint(2, 0));
        if (rightEdge) {
            const int edge = targetTree->GetScreenRect().GetRight() - 6;
            for (int x = drop.x + 10; x < edge; x += 10) p += " " + At(wxPoint(x, drop.y)) + " sleep 0.02";
            p += " " + At(wxPoint(edge, drop.y)) + " sleep 1.5";
        }
        return p + " sleep 0.3 mouseup 1 sleep 0.5";
    };
    // Moveables, static meshes and sprites onto their kind in the other level: without
    // Shift, with Shift pressed once the drag runs, and last with Shift held as the drag
    // starts and let go in it. The drop reaches the target (the node it was let go on is
    // the one highlighted), and nothing changes.
    const test::ObjectImageMap sourceBefore = test::ObjectImages(source->m_level);
    const test::ObjectImageMap targetBefore = test::ObjectImages(target->m_level);
    struct Drag {
        CHandleBase* CFileTree::*collection;
        std::string keysBefore, overSource, overTabs, keysAfter;
        bool rightEdge;
    };
    const std::vector<Drag> drags = {
        {&CFileTree::m_pMoveablesNode, "", "", "", "", false},
        {&CFileTree::m_pStaticMeshesNode, "", "", "", "", true},
        {&CFileTree::m_pSpritesNode, "", "", "", "", false},
        {&CFileTree::m_pMoveablesNode, "", "keydown shift sleep 0.2", "", " keyup shift", false},
        {&CFileTree::m_pStaticMeshesNode, "", "keydown shift sleep 0.2", "", " keyup shift", false},
        {&CFileTree::m_pSpritesNode, "", "keydown shift sleep 0.2", "", " keyup shift", false},
        {&CFileTree::m_pStaticMeshesNode, "keydown shift sleep 0.3 ", "", "keyup shift sleep 0.3", "", false},
    };
    for (const Drag& d : drags) {
        front(target);
        const wxPoint drop = nodePoint(*targetTree, targetTree->*d.collection);
        const wxTreeItemId dropItem = FirstChildItem(*targetTree, targetTree->*d.collection);
        front(source);
        const wxPoint from = nodePoint(*sourceTree, sourceTree->*d.collection);
        // The drag runs a loop of its own, where timers still fire.
        bool hovered = false;
        wxTimer probe;
        probe.Bind(wxEVT_TIMER, [&](wxTimerEvent&) { hovered = hovered || targetTree->m_hDropItem == dropItem; });
        probe.Start(50);
        EXPECT_TRUE(Drive(d.keysBefore + dragPath(from, drop, d.overSource, d.overTabs, d.rightEdge) + d.keysAfter,
                          [&] { return !g_hDragSourceTree; }, 40000));
        probe.Stop();
        Pump(500);
        EXPECT_TRUE(hovered) << &d - &drags[0];
        if (d.rightEdge) {
            int x = -1, y = -1;
            targetTree->GetViewStart(&x, &y);
            EXPECT_EQ(x, 0) << "the target tree shows its expanders again";
            Shot("after-drop.png");
        }
    }
    // The target's static mesh shown, the arrows walk the tree: the Shift let go in the
    // drag stays up (held, it would move the mesh).
    front(target);
    EXPECT_TRUE(Drive(At(nodePoint(*targetTree, targetTree->m_pStaticMeshesNode)) + " click 1 sleep 0.6",
                      [&] { return MeshPane(target) != nullptr; }));
    DriveAll("key Down sleep 0.4 key Up sleep 0.4 key Down sleep 0.4 key Up sleep 0.6");
    EXPECT_TRUE(g_messages.shown().empty());
    EXPECT_FALSE(source->IsModified() || target->IsModified());
    EXPECT_TRUE(test::ObjectImages(source->m_level) == sourceBefore);
    EXPECT_TRUE(test::ObjectImages(target->m_level) == targetBefore);

    // The tile asks, in a real message box answered No; then the keyboard is where it was:
    // Ctrl+S asks for a file name.
    front(target);
    const wxPoint tileDrop = nodePoint(*targetTree, nullptr);
    front(source);
    const wxPoint tile = nodePoint(*sourceTree, nullptr);
    int asked = 0;
    SetSaveFileChooser([&](const SaveFileRequest&) {
        ++asked;
        return std::string();
    });
    {
        test::RealMessageBoxes boxes;
        ScopedMessageBackend real(&boxes);
        DriveAll({dragPath(tile, tileDrop, "", "", false),
                  // The box: the toolkit names its untitled windows (the drag icon among them)
                  // after the program too; the box is the one at least 100 pixels wide. No is
                  // left of Yes.
                  "exec --sync --args 3 sh -c 'until xdotool search --onlyvisible --name ^Lithoscope$ getwindowgeometry %@ "
                  "| grep -q \"Geometry: [0-9][0-9][0-9]x\"; do sleep 0.2; done' sleep 0.8 key Left sleep 0.3 key Return "
                  "sleep 1 key ctrl+s sleep 1"},
                 40000);
        Pump(500);
        EXPECT_EQ(boxes.texts, std::vector<std::string>{"Copy the tile ?"});
    }
    EXPECT_EQ(asked, 1) << "Ctrl+S after the question";
    EXPECT_FALSE(target->IsModified());
    ExpectSavesAsLoaded(source, sourcePath);
    ExpectSavesAsLoaded(target, targetPath);
}

TEST_F(InputEndToEnd, OneWheelNotchZoomsOnceAndOutUndoesIn) {
    Shown caves;
    OpenCaves(caves);
    if (!caves.node) return;
    CLithoscopeDoc* doc = caves.doc;
    COpenGLWnd& gl = *MeshPane(doc)->GetGlWindow();
    const std::string over = At(Centre(gl));
    DriveAll(over + " sleep 0.3");
    const float d0 = CameraDistance(gl);
    DriveAll("click 4 sleep 0.5");
    const float d1 = CameraDistance(gl);
    EXPECT_NEAR(d1 / d0, kWheelNotchScale, 1e-3f) << "one notch in";
    DriveAll("click 5 sleep 0.5");
    EXPECT_NEAR(CameraDistance(gl) / d0, 1.0f, 1e-3f) << "one notch out";
    DriveAll("click 5 sleep 0.3 click 5 sleep 0.3 click 4 sleep 0.3 click 4 sleep 0.5");
    EXPECT_NEAR(CameraDistance(gl) / d0, 1.0f, 1e-3f) << "two out, two in";
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(InputEndToEnd, ViewUnderAQuestionOfTheSaveShowsItsOwnPicture) {
    Shown caves;
    OpenCaves(caves);
    if (!caves.node) return;
    CLithoscopeDoc* doc = caves.doc;
    COpenGLWnd& gl = *MeshPane(doc)->GetGlWindow();
    gl.SetAutoCamera(false);
    Pump(500);
    const wxPoint corner = gl.GetScreenPosition();
    const wxSize size = gl.GetClientSize();
    // A strip along the view's bottom: the chooser covers it, the progress window and the
    // question, centred over the main window, do not.
    const wxRect strip(corner.x + 4, corner.y + size.y * 88 / 100, size.x - 8, size.y * 8 / 100);
    const test::ScreenImage before = test::XSession::ReadPng(Shot("before.png"));

    // Ctrl+S: the toolkit's chooser over the view, a new name, then the save asks its
    // question in a real message box; the screen is taken while it is up.
    test::RealMessageBoxes boxes;
    ScopedMessageBackend real(&boxes);
    const std::string saved = dir_.file("saved.phd");
    const std::string shot = dir_.file("during.png");
    DriveAll({"key ctrl+s sleep 2.5 key ctrl+a type '" + saved + "'", "sleep 5 key Return",
              "sleep 9 exec import -window root '" + shot + "'", "sleep 11 key Return"},
             40000);
    Pump(500);
    ASSERT_EQ(boxes.texts.size(), 1u);
    EXPECT_EQ(boxes.texts[0], "Do you want to keep the unused textures in the level ?");
    EXPECT_TRUE(FileExists(saved));
    const test::ScreenImage during = test::XSession::ReadPng(shot);
    ASSERT_FALSE(during.empty());
    int same = 0, total = 0;
    for (int y = strip.GetTop(); y < strip.GetBottom(); y += 2)
        for (int x = strip.GetLeft(); x < strip.GetRight(); x += 2, ++total)
            same += before.At(x, y) == during.At(x, y);
    EXPECT_GT(same, total * 95 / 100) << same << " of " << total << " pixels";
}

}  // namespace

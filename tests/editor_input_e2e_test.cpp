// Only what the user does changes a level. Through real X events on real levels: keys let
// go while a popup menu, a file chooser or a drag has the keyboard, arrows pressed to walk
// the tree, drags with Shift pressed on the way, the wheel, and the 3D view under a modal
// question while a level is saved.
#include <gtest/gtest.h>

#include <cmath>
#include <map>

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

using Images = std::map<std::string, std::vector<uint8_t>>;

// The object-file image of every moveable, static mesh and sprite list, by kind and id.
Images ObjectImages(const CTrLevel& level) {
    Images images;
    for (const auto& m : level.moveableList) images["moveable " + std::to_string(m->objectId)] = m->Serialize();
    for (const auto& s : level.staticMeshList) images["static " + std::to_string(s->objectId)] = s->Serialize();
    for (const auto& s : level.spriteList) images["sprite " + std::to_string(s->objectId)] = s->Serialize();
    return images;
}

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
        EXPECT_TRUE(ObjectImages(doc->m_level) == ObjectImages(fresh)) << what;
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

TEST_F(InputEndToEnd, DragsAcrossTreesChangeOnlyTheObjectDropped) {
    const std::string sourcePath = RealLevel("tr1/01-Caves.PHD", "caves.phd");
    const std::string targetPath = RealLevel("tr1/09-Tomb-of-Tihocan.PHD", "tihocan.phd");
    if (sourcePath.empty() || targetPath.empty())
        GTEST_SKIP() << "the real levels hold no tr1/01-Caves.PHD and tr1/09-Tomb-of-Tihocan.PHD";
    CLithoscopeDoc* source = Open(sourcePath);
    CLithoscopeDoc* target = Open(targetPath);
    ASSERT_TRUE(source && target);
    CFileTree* sourceTree = TreeOf(source);
    CFileTree* targetTree = TreeOf(target);
    ASSERT_TRUE(sourceTree && targetTree);

    // The target, in front, gets a narrow tree, wider inside than shown: a drag near its
    // right edge scrolls it sideways. Where the drops go is taken with it in front.
    target->GetLevelView()->GetChildFrame()->GetOuterSplitter()->SetSashPosition(150);
    Pump(300);
    targetTree->Expand(targetTree->GetRootItem());
    const wxTreeItemId dropItem = FirstChildItem(*targetTree, targetTree->m_pStaticMeshesNode);
    ASSERT_TRUE(dropItem.IsOk());
    const wxPoint drop = ScreenPoint(*targetTree, dropItem);
    ASSERT_GT(targetTree->GetVirtualSize().x, targetTree->GetClientSize().x);
    const wxPoint rightEdge(targetTree->GetScreenRect().GetRight() - 6, drop.y);

    // The source in front, its first static mesh shown, and the arrows pressed to walk
    // its tree.
    source->GetLevelView()->GetChildFrame()->Activate();
    Pump(400);
    CHandleMesh* dragged = ClickFirstStaticMesh(source);
    ASSERT_NE(dragged, nullptr);
    DriveAll("key Down sleep 0.3 key Right sleep 0.3 key Up sleep 0.3 key Left sleep 0.5");
    const wxPoint from = ScreenPoint(*sourceTree, dragged->GetItem());
    const int32_t id = dragged->StaticMesh()->objectId;
    const std::vector<uint8_t> image = dragged->StaticMesh()->Serialize();
    const Images sourceBefore = ObjectImages(source->m_level);
    const Images targetBefore = ObjectImages(target->m_level);

    // The drag passes over the source's other nodes, rests on each place of the tab strip
    // so that the target's tab comes to the front, highlights the drop node, then rests at
    // the tree's right edge on the same row until the drop. Keys go with it where given.
    auto dragPath = [&](const std::string& overSource, const std::string& overTabs) {
        std::string p = At(from) + " mousedown 1 sleep 0.3";
        for (int dy = 4; dy <= 60; dy += 8) p += " " + At(from + wxPoint(dy / 4, dy)) + " sleep 0.05";
        p += " " + overSource;
        for (int dy = 60; dy >= 0; dy -= 12) p += " " + At(from + wxPoint(4, dy)) + " sleep 0.1";
        p += OverTabStrip() + " " + overTabs;
        p += " " + At(drop - wxPoint(0, 20)) + " sleep 0.2 " + At(drop) + " sleep 0.2 " + At(drop + wxPoint(2, 0));
        for (int x = drop.x + 10; x < rightEdge.x; x += 10) p += " " + At(wxPoint(x, drop.y)) + " sleep 0.02";
        return p + " " + At(rightEdge) + " sleep 1.5 mouseup 1";
    };

    // Shift held as the drag starts and let go during it, where the drag has the keyboard:
    // a copy. Then the arrows walk the trees: the key let go stays up.
    EXPECT_TRUE(Drive("keydown shift sleep 0.3 " + dragPath("", "keyup shift sleep 0.3"),
                      [&] { return target->IsModified(); }, 40000));
    Pump(500);
    int x = -1, y = -1;
    targetTree->GetViewStart(&x, &y);
    EXPECT_EQ(x, 0) << "the target tree shows its expanders again";
    Shot("after-copy.png");
    DriveAll("key Down sleep 0.4 key Up sleep 0.4 key Down sleep 0.4 key Up sleep 0.6");
    ExpectUntouched(source, sourcePath, "copy drag");
    Images expected = targetBefore;
    expected["static " + std::to_string(id)] = image;
    EXPECT_TRUE(ObjectImages(target->m_level) == expected);

    // Shift pressed once the drag has started: a move. The object leaves the source, which
    // keeps everything else as it was; the target has it, byte for byte.
    source->GetLevelView()->GetChildFrame()->Activate();
    Pump(400);
    ASSERT_TRUE(ClickFirstStaticMesh(source) == dragged);
    const size_t statics = source->m_level.staticMeshList.size();
    EXPECT_TRUE(Drive(dragPath("keydown shift sleep 0.2", "") + " sleep 0.3 keyup shift",
                      [&] { return source->m_level.staticMeshList.size() + 1 == statics; }, 40000));
    Pump(500);
    DriveAll("key Down sleep 0.4 key Up sleep 0.6");
    Images remaining = sourceBefore;
    remaining.erase("static " + std::to_string(id));
    EXPECT_TRUE(ObjectImages(source->m_level) == remaining);
    EXPECT_TRUE(ObjectImages(target->m_level) == expected);
    targetTree->GetViewStart(&x, &y);
    EXPECT_EQ(x, 0);
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

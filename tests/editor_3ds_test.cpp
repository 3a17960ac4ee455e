// The 3D Studio commands of the tree: the handlers with their dialogs answered, and "Export
// to 3DS" run from a node's context menu through real X events.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>

#include "E2eEditor.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/dialogs/DlgImport3ds.h"
#include "editor/dialogs/DlgObjects.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/tree/HandleCollections.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "fixtures/SampleLevel.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class Editor3dsTest : public test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        std::string path = dir_.file("sample.tr2");
        test::WriteFileBytes(path, test::BuildSampleLevelTr2());
        doc_ = Open(path);
        ASSERT_NE(doc_, nullptr);
        tree_ = TreeOf(doc_);
        ASSERT_NE(tree_, nullptr);
        previousRunner_ = SetModalDialogRunner(ModalDialogRunner());
        SetModalDialogRunner(previousRunner_);
    }
    void TearDown() override {
        SetModalDialogRunner(previousRunner_);
        EditorTest::TearDown();
    }
    CHandleBase* FirstChild(CHandleBase* node) {
        wxTreeItemIdValue cookie;
        wxTreeItemId c = tree_->GetFirstChild(node->GetItem(), cookie);
        return c.IsOk() ? tree_->GetNode(c) : nullptr;
    }
    void Command(CHandleBase* node, int id) {
        tree_->m_pMenuNode = node;
        tree_->OnCommand(id);
    }
    CTrLevel& Level() { return doc_->m_level; }

    CLithoscopeDoc* doc_ = nullptr;
    CFileTree* tree_ = nullptr;
    ModalDialogRunner previousRunner_;
};

TEST_F(Editor3dsTest, CommandsExportAndImportThroughTheirDialogs) {
    CHandleBase* moveable = FirstChild(tree_->m_pMoveablesNode);
    CHandleBase* staticMesh = FirstChild(tree_->m_pStaticMeshesNode);
    ASSERT_TRUE(moveable && staticMesh);
    CTrMvb& mvb = *Level().moveableList[0];
    ASSERT_EQ(mvb.animationCount(), 1);
    std::string savePath, openPath;
    SetSaveFileChooser([&](const SaveFileRequest& r) {
        EXPECT_EQ(r.filter, "3DS files (*.3ds)|*.3ds");
        return savePath;
    });
    SetOpenFileChooser([&](const std::string& filter) {
        EXPECT_EQ(filter, "3DS files (*.3ds)|*.3ds||");
        return openPath;
    });

    // "Export to 3DS" of the moveable, with its animation: the file and its picture.
    SetModalDialogRunner([](wxDialog& d) {
        auto& picker = dynamic_cast<CExportMvbl&>(d);
        picker.WithAnimationBox()->SetValue(true);
        picker.OnWithAnimation();
        picker.OnExport();
        return int(wxID_OK);
    });
    savePath = dir_.file("push.3ds");
    Command(moveable, 32797);
    EXPECT_TRUE(FileExists(savePath));
    EXPECT_TRUE(FileExists(dir_.file("push.tga")));

    // "Import from 3DS", adding the animation read from the file.
    SetModalDialogRunner([](wxDialog& d) {
        auto& dialog = dynamic_cast<CImport3DS&>(d);
        EXPECT_FALSE(dialog.List()->IsEnabled());
        dialog.AnimationButton()->SetValue(true);
        dialog.OnKind();
        EXPECT_TRUE(dialog.List()->IsEnabled());
        EXPECT_FALSE(dialog.KeepDummiesBox()->IsEnabled());
        dialog.OnImport();
        return int(wxID_OK);
    });
    openPath = savePath;
    doc_->Modify(false);
    Command(moveable, 32787);
    EXPECT_EQ(mvb.animationCount(), 2);
    EXPECT_TRUE(doc_->IsModified());

    // Meshes from a file of another mesh count: taken with their tree, the animations kept;
    // their frames turn one mesh of the two, and a message says so.
    CTrMvb two;
    two.SetMeshes({&mvb.meshes[0], &mvb.meshes[0]});
    two.textures = mvb.textures;
    two.width = mvb.width;
    two.height = mvb.height;
    two.bitsPerPixel = mvb.bitsPerPixel;
    two.pixels = mvb.pixels;
    two.meshTree.assign(1, TrMeshTreeEntry{0, 100, 0, 0});
    ASSERT_TRUE(ExportMoveableTo3ds(&two, dir_.file("two.3ds").c_str(), "two", &Level(), -1));
    SetModalDialogRunner([](wxDialog& d) {
        dynamic_cast<CImport3DS&>(d).OnImport();  // meshes, the default
        return int(wxID_OK);
    });
    openPath = dir_.file("two.3ds");
    Command(moveable, 32787);
    EXPECT_TRUE(g_messages.Saw("The moveable now has 2 meshes, but the frames of its animations "
                               "hold a rotation for only 1 of them"));
    EXPECT_EQ(mvb.meshCount(), 2u);
    ASSERT_EQ(mvb.meshTree.size(), 1u);
    EXPECT_EQ(mvb.meshTree[0].dx, 100);
    EXPECT_EQ(mvb.animationCount(), 2);

    // A file that is no 3DS file: the reason, and the moveable as it was.
    const std::string junk = dir_.file("junk.3ds");
    test::WriteFileBytes(junk, std::vector<uint8_t>(64, 0x4D));
    openPath = junk;
    Command(moveable, 32787);
    EXPECT_TRUE(g_messages.Saw("Erreur 3DS:1"));
    EXPECT_EQ(mvb.animationCount(), 2);

    // The static mesh: out and back in, flags 2 and its id kept.
    CTrStatMsh& sm = *Level().staticMeshList[0];
    const int32_t id = sm.objectId;
    savePath = dir_.file("pyramid.3ds");
    Command(staticMesh, 32802);
    ASSERT_TRUE(FileExists(savePath));
    openPath = savePath;
    Command(staticMesh, 32803);
    EXPECT_EQ(sm.flags, 2);
    EXPECT_EQ(sm.objectId, id);

    // A failed export says why and leaves the files as they were: here the .3ds can't
    // replace a folder of that name, so the picture written first is put back.
    const std::string blocked = dir_.file("blocked.3ds");
    ASSERT_EQ(::mkdir(blocked.c_str(), 0755), 0);
    test::WriteFileBytes(dir_.file("blocked.tga"), {1, 2, 3});
    g_messages.clear();
    savePath = blocked;
    Command(staticMesh, 32802);
    EXPECT_TRUE(g_messages.Saw("Could not export the 3DS file"));
    EXPECT_EQ(test::ReadFileBytes(dir_.file("blocked.tga")), (std::vector<uint8_t>{1, 2, 3}));
    EXPECT_TRUE(IsDirectory(blocked));

    // A moveable whose meshes are all dummies: its tree and keys only, and a word on it.
    SetModalDialogRunner([](wxDialog& d) {
        dynamic_cast<CExportMvbl&>(d).OnExport();
        return int(wxID_OK);
    });
    const std::vector<TrMeshRecord> meshes = mvb.meshes;
    for (TrMeshRecord& m : mvb.meshes) {
        m = TrMeshRecord();
        m.dummy = 1;
    }
    g_messages.clear();
    savePath = dir_.file("dummies.3ds");
    Command(moveable, 32797);
    EXPECT_TRUE(FileExists(savePath));
    EXPECT_FALSE(FileExists(dir_.file("dummies.tga")));
    ASSERT_EQ(g_messages.shown().size(), 1u);
    EXPECT_EQ(g_messages.shown()[0].text, kNoMeshInMoveable3ds);
    EXPECT_EQ(g_messages.shown()[0].icon, MsgIcon::Information);
    mvb.meshes = meshes;

    // New objects from a 3DS file: a moveable with the id asked for, a static mesh with id 0.
    SetModalDialogRunner([](wxDialog& d) {
        dynamic_cast<CDlgGetObjId&>(d).m_nObjectId = 77;
        return int(wxID_OK);
    });
    openPath = dir_.file("push.3ds");
    Command(tree_->m_pMoveablesNode, CmdMoveablesImport3ds);
    ASSERT_EQ(Level().moveableList.size(), 2u);
    EXPECT_EQ(Level().moveableList[1]->objectId, 77);
    openPath = dir_.file("pyramid.3ds");
    Command(tree_->m_pStaticMeshesNode, CmdStaticMeshesImport3ds);
    ASSERT_EQ(Level().staticMeshList.size(), 2u);
    EXPECT_EQ(Level().staticMeshList[1]->objectId, 0);
    EXPECT_EQ(Level().staticMeshList[1]->flags, 2);
}

// The same commands from a node's context menu, driven by real X events.
class Editor3dsMenuEndToEnd : public test::EditorEndToEnd {};

TEST_F(Editor3dsMenuEndToEnd, ExportFromTheContextMenuWithRealEvents) {
    const std::string level = dir_.file("sample.tr2");
    test::WriteFileBytes(level, test::BuildSampleLevelTr2());
    CLithoscopeDoc* doc = Open(level);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    const wxTreeItemId item = FirstChildItem(*tree, tree->m_pStaticMeshesNode);
    ASSERT_TRUE(item.IsOk());

    // Right click on the node, the second entry of its menu ("Export to 3DS"), then the
    // file name typed into the save dialog, and Return once it is typed.
    const std::string target = dir_.file("from-menu.3ds");
    DriveAll({At(ScreenPoint(*tree, item)) + " sleep 0.3 click 3 sleep 1 key Down sleep 0.2 key Down sleep 0.2 key Return" +
                  " sleep 2.5 key ctrl+a type '" + target + "'",
              "sleep 7 key Return"});
    EXPECT_TRUE(PumpUntil([&] { return FileExists(target); }, 10000)) << "the menu's export wrote nothing";
    EXPECT_TRUE(FileExists(dir_.file("rom-menu.tga")));  // the name's last 8 characters

    // "Clear mesh" (the first entry), then "Export to 3DS": a real message box says there is
    // nothing to draw, before any file is asked for; Return closes it.
    test::RealMessageBoxes boxes;
    ScopedMessageBackend real(&boxes);
    bool asked = false;
    SetSaveFileChooser([&](const SaveFileRequest&) {
        asked = true;
        return dir_.file("cleared.3ds");
    });
    const char* shots = std::getenv("LITHOSCOPE_SHOTS");  // the box on screen, as Shot keeps it
    const std::string shot = (shots ? std::string(shots) : dir_.path()) + "/nothing-to-draw.png";
    DriveAll(At(ScreenPoint(*tree, item)) + " sleep 0.3 click 3 sleep 1 key Down sleep 0.2 key Return sleep 1");
    ASSERT_FALSE(HasFacesToExport3ds(doc->m_level.staticMeshList[0]->meshes[0]));
    DriveAll({At(ScreenPoint(*tree, item)) + " sleep 0.3 click 3 sleep 1 key Down sleep 0.2 key Down sleep 0.2 key Return",
              "sleep 4 exec import -window root '" + shot + "'", "sleep 6 key Return"});
    EXPECT_EQ(boxes.texts, std::vector<std::string>{kNothingToExport3ds});
    EXPECT_FALSE(asked);
    EXPECT_FALSE(FileExists(dir_.file("cleared.3ds")));
    EXPECT_FALSE(test::XSession::ReadPng(shot).empty());

    // The import dialog: a real click on "Animation" enables the animation choices.
    CImport3DS import(doc->m_level.moveableList[0]->animations.get(), 0, App().GetMainFrame());
    import.Show();
    import.TransferDataToWindow();
    Pump(1000);
    wxRadioButton* animation = import.AnimationButton();
    EXPECT_FALSE(import.List()->IsEnabled());
    Shot("import-dialog-opened.png");
    EXPECT_TRUE(Drive(At(animation->ClientToScreen(wxPoint(8, animation->GetSize().y / 2))) + " sleep 0.2 click 1",
                      [&] { return import.List()->IsEnabled(); }, 10000));
    EXPECT_FALSE(import.KeepDummiesBox()->IsEnabled());
    Pump(500);
    Shot("import-dialog.png");
    import.Hide();
}

}  // namespace

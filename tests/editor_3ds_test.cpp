// The 3D Studio commands of the tree: the handlers with their dialogs answered, and "Export
// to 3DS" run from a node's context menu through real X events.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>

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
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

extern char** environ;

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class Editor3dsTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_messages.clear();
        App().m_catalog.Load(std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog");
        std::string path = dir_.file("sample.tr2");
        test::WriteFileBytes(path, test::BuildSampleLevelTr2());
        doc_ = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->CreateDocument(path, wxDOC_SILENT));
        ASSERT_NE(doc_, nullptr);
        tree_ = dynamic_cast<CFileTree*>(doc_->GetLevelView()->GetTree());
        ASSERT_NE(tree_, nullptr);
        previousRunner_ = SetModalDialogRunner(ModalDialogRunner());
        SetModalDialogRunner(previousRunner_);
    }
    void TearDown() override {
        SetModalDialogRunner(previousRunner_);
        SetOpenFileChooser(OpenFileChooser());
        SetSaveFileChooser(SaveFileChooser());
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
        g_messages.clear();
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

    test::TempDir dir_;
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

    // Meshes from a file of another mesh count: refused, nothing changes.
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
    EXPECT_TRUE(g_messages.Saw("Imported 3DS file and current moveable must have the same number of meshes !"));
    EXPECT_EQ(mvb.meshCount(), 1u);

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

// A program run in the background, ended (and waited for) at destruction.
class Child {
public:
    explicit Child(const std::vector<std::string>& args) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], nullptr, nullptr, argv.data(), environ) != 0) pid_ = -1;
    }
    ~Child() {
        if (pid_ <= 0) return;
        if (!done_) ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    bool Running() {
        if (pid_ <= 0 || done_) return false;
        done_ = ::waitpid(pid_, nullptr, WNOHANG) == pid_;
        return !done_;
    }

private:
    pid_t pid_ = -1;
    bool done_ = false;
};

bool OnPath(const char* program) {
    return std::system(("command -v " + std::string(program) + " >/dev/null").c_str()) == 0;
}

// Pumps the editor's events until done() or the time runs out.
template <class Done>
bool PumpUntil(Done done, double seconds) {
    for (int i = 0; i < int(seconds * 50); ++i) {
        if (done()) return true;
        wxTheApp->Yield(true);
        wxMilliSleep(20);
    }
    return done();
}

// A picture of the screen in $LITHOSCOPE_SHOTS, when it is set (to look at by eye).
void Screenshot(const std::string& name) {
    if (const char* shots = std::getenv("LITHOSCOPE_SHOTS")) {
        Child shot({"import", "-window", "root", std::string(shots) + "/" + name});
        PumpUntil([&] { return !shot.Running(); }, 10.0);
    }
}

TEST_F(Editor3dsTest, ExportFromTheContextMenuWithRealEvents) {
    if (!OnPath("xdotool") || !OnPath("openbox") || !std::getenv("DISPLAY"))
        GTEST_SKIP() << "needs xdotool, openbox and a display";
    Child windowManager({"openbox"});
    CMainFrame* frame = App().GetMainFrame();
    ASSERT_NE(frame, nullptr);
    frame->Show();
    frame->Raise();
    PumpUntil([] { return false; }, 1.0);

    CHandleBase* staticMesh = FirstChild(tree_->m_pStaticMeshesNode);
    ASSERT_NE(staticMesh, nullptr);
    tree_->EnsureVisible(staticMesh->GetItem());
    wxRect rect;
    ASSERT_TRUE(tree_->GetBoundingRect(staticMesh->GetItem(), rect, true));
    const wxPoint at = tree_->ClientToScreen(rect.GetPosition() + wxPoint(rect.width / 2, rect.height / 2));

    // Right click on the node, the second entry of its menu ("Export to 3DS"), then the
    // file name typed into the save dialog.
    const std::string target = dir_.file("from-menu.3ds");
    const std::string script = StrFormat(
        "sleep 0.5; xdotool mousemove %d %d; sleep 0.3; xdotool click 3; sleep 1;"
        "xdotool key Down; sleep 0.2; xdotool key Down; sleep 0.2; xdotool key Return;"
        "xdotool search --sync --onlyvisible --name 'Select a file' >/dev/null; sleep 1;"
        "xdotool key ctrl+a; xdotool type --delay 15 '%s'; sleep 0.5; xdotool key Return",
        at.x, at.y, target.c_str());
    Child driver({"bash", "-c", script});
    EXPECT_TRUE(PumpUntil([&] { return FileExists(target); }, 30.0)) << "the menu's export wrote nothing";
    EXPECT_TRUE(FileExists(dir_.file("rom-menu.tga")));  // the name's last 8 characters
    PumpUntil([&] { return !driver.Running(); }, 10.0);

    // The import dialog: a real click on "Animation" enables the animation choices.
    CImport3DS dialog(Level().moveableList[0]->animations.get(), 0, frame);
    dialog.Show();
    dialog.TransferDataToWindow();
    PumpUntil([] { return false; }, 1.0);
    wxRadioButton* animation = dialog.AnimationButton();
    const wxPoint button = animation->ClientToScreen(wxPoint(8, animation->GetSize().y / 2));
    EXPECT_FALSE(dialog.List()->IsEnabled());
    Screenshot("import-dialog-opened.png");
    Child click({"bash", "-c", StrFormat("xdotool mousemove %d %d; sleep 0.2; xdotool click 1", button.x, button.y)});
    EXPECT_TRUE(PumpUntil([&] { return dialog.List()->IsEnabled(); }, 10.0));
    EXPECT_FALSE(dialog.KeepDummiesBox()->IsEnabled());
    PumpUntil([] { return false; }, 0.5);
    Screenshot("import-dialog.png");
    dialog.Hide();
}

}  // namespace

// The 3D Studio commands in the running editor, driven by real X events: the moveable's
// "Export to 3DS" and "Import from 3DS" dialogs open on the animation the toolbox plays, the
// toolbox shows the moveable as each import left it, a new moveable's id is typed and taken
// with Enter, and a static mesh imported from a .3ds file is drawn lit, as its exported
// original was.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <chrono>
#include <cstdlib>
#include <functional>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/radiobut.h>
#include <wx/spinctrl.h>
#include <wx/timer.h>
#include <wx/weakref.h>

#include "E2eEditor.h"
#include "GlReadback.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "editor/dialogs/DlgImport3ds.h"
#include "editor/dialogs/DlgObjects.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/toolbox/TlboxMoveablePages.h"
#include "editor/toolbox/ToolboxViews.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "fixtures/Db3dsBytes.h"
#include "fixtures/SampleLevel.h"
#include "interchange3ds/ChunkData3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrAnimData.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Files.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class Editor3dsEndToEnd : public test::EditorEndToEnd {
protected:
    void SetUp() override {
        EditorEndToEnd::SetUp();
        if (IsSkipped()) return;
        // Dialogs run modally for real; once shown, the test's hand works on them.
        previousRunner_ = SetModalDialogRunner([this](wxDialog& d) {
            auto* timer = new wxTimer;
            timer->Bind(wxEVT_TIMER, [this, &d, timer](wxTimerEvent&) {
                if (onShown_) onShown_(d);
                timer->Stop();
            });
            timer->StartOnce(600);
            const int code = d.ShowModal();
            timer->Stop();
            delete timer;
            return code;
        });
        const std::string path = dir_.file("sample.tr2");
        test::WriteFileBytes(path, test::BuildSampleLevelTr2());
        doc_ = Open(path);
        ASSERT_NE(doc_, nullptr);
        tree_ = TreeOf(doc_);
        ASSERT_NE(tree_, nullptr);
    }
    void TearDown() override {
        if (!session_->Usable()) return;
        SetModalDialogRunner(previousRunner_);
        EditorEndToEnd::TearDown();
    }

    // The left edge of a check box or radio button, where its mark is.
    static wxPoint Mark(wxWindow* w) { return w->ClientToScreen(wxPoint(8, w->GetClientSize().y / 2)); }
    CHandleBase* FirstChild(CHandleBase* node) {
        const wxTreeItemId c = FirstChildItem(*tree_, node);
        return c.IsOk() ? tree_->GetNode(c) : nullptr;
    }
    CChildFrame* Frame() { return doc_->GetLevelView()->GetChildFrame(); }
    // A left click on the node selects it.
    bool Click(CHandleBase* node) {
        return Drive(At(ScreenPoint(*tree_, node->GetItem())) + " sleep 0.2 click 1",
                     [&] { return tree_->GetNode(tree_->GetSelection()) == node; });
    }
    // xdotool words that move down to a menu's entry (1 = first).
    static std::string Downs(int entry) {
        std::string keys;
        for (int i = 0; i < entry; ++i) keys += " key Down sleep 0.15";
        return keys;
    }
    // Right click on the node, then the menu entry at that place.
    bool RunMenuEntry(CHandleBase* node, int entry, const std::function<bool()>& done) {
        return Drive(At(ScreenPoint(*tree_, node->GetItem())) + " sleep 0.3 click 3 sleep 1" + Downs(entry) +
                         " key Return",
                     done, 20000);
    }

    CLithoscopeDoc* doc_ = nullptr;
    CFileTree* tree_ = nullptr;
    ModalDialogRunner previousRunner_;
    std::function<void(wxDialog&)> onShown_;
};

TEST_F(Editor3dsEndToEnd, MoveableDialogsOpenOnThePlayingAnimationAndTheToolboxFollowsEachImport) {
    // The push block gets two more animations, of 9 and 17 frames.
    CTrMvb& mvb = *doc_->m_level.moveableList[0];
    ASSERT_EQ(mvb.animationCount(), 1);
    const CAnimTrack& first = *mvb.animations->GetTrack(0);
    for (uint32_t frames : {9u, 17u}) {
        auto track = std::make_unique<CTRAnimTrack>(0, frames, first.interval, 30.0f);
        for (const CAnimKey& key : first.keys)
            if (uint32_t(key.frame) < frames) track->AddKey(key);
        mvb.animations->AddTrack(std::move(track));
    }
    CHandleBase* moveable = FirstChild(tree_->m_pMoveablesNode);
    ASSERT_NE(moveable, nullptr);

    // A click on the node shows it; its toolbox plays animation #002 as chosen in its list.
    ASSERT_TRUE(Click(moveable));
    auto* toolbox = dynamic_cast<CToolbox2Moveable*>(Frame()->GetToolboxView(EditPaneMoveable));
    ASSERT_NE(toolbox, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return toolbox->GetAnimPage() != nullptr; }, 5000));
    wxChoice* list = toolbox->GetAnimPage()->GetAnimationList();
    ASSERT_EQ(list->GetCount(), 4u);  // "No animation" and the three
    list->SetSelection(2);
    wxCommandEvent chosen(wxEVT_CHOICE, list->GetId());
    chosen.SetInt(2);
    chosen.SetEventObject(list);
    list->GetEventHandler()->ProcessEvent(chosen);
    ASSERT_TRUE(PumpUntil([&] { return toolbox->GetCurrentAnim() == 2; }, 5000));

    // "Export to 3DS" (the fourth entry): "With animation" ticked, "Export" clicked, and
    // the file holds the 9 frames of the animation that was playing.
    std::string listed;
    onShown_ = [&](wxDialog& d) {
        auto* picker = dynamic_cast<CExportMvbl*>(&d);
        if (!picker) return;
        listed = picker->List()->GetStringSelection().utf8_str().data();
        Shot("export-picker.png");
        session_->XdoAsync(At(Mark(picker->WithAnimationBox())) + " sleep 0.2 click 1 sleep 0.4 " +
                           At(Centre(d.FindWindow(wxID_OK))) + " sleep 0.2 click 1");
    };
    const std::string exported = dir_.file("anim.3ds");
    SetSaveFileChooser([&](const SaveFileRequest&) { return exported; });
    ASSERT_TRUE(RunMenuEntry(moveable, 4, [&] { return test::ReadFileBytes(exported).size() > 0; }));
    EXPECT_EQ(listed, "Animation #002");
    CTrMvb back;
    ASSERT_TRUE(ImportMoveableFrom3ds(&back, exported.c_str(), false, false));
    ASSERT_EQ(back.animationCount(), 1);
    EXPECT_EQ(back.animations->GetTrack(0)->frameCount, 9u);

    // "Import from 3DS" (the fifth entry): "Animation", "Replace this anim ..." and
    // "Import" clicked: the playing animation is the one replaced.
    const std::string source = dir_.file("first.3ds");
    ASSERT_TRUE(ExportMoveableTo3ds(&mvb, source.c_str(), "first", &doc_->m_level, 0));
    listed.clear();
    onShown_ = [&](wxDialog& d) {
        auto* dialog = dynamic_cast<CImport3DS*>(&d);
        if (!dialog) return;
        listed = dialog->List()->GetStringSelection().utf8_str().data();
        session_->XdoAsync(At(Mark(dialog->AnimationButton())) + " sleep 0.2 click 1 sleep 0.4 " +
                           At(Mark(dialog->ReplaceButton())) + " sleep 0.2 click 1 sleep 0.4 " +
                           At(Centre(d.FindWindow(wxID_OK))) + " sleep 0.2 click 1");
    };
    SetOpenFileChooser([&](const std::string&) { return source; });
    ASSERT_TRUE(RunMenuEntry(moveable, 5, [&] { return mvb.animations->GetTrack(1)->frameCount == 32; }));
    EXPECT_EQ(listed, "Animation #002");
    ASSERT_EQ(mvb.animationCount(), 3);
    EXPECT_EQ(mvb.animations->GetTrack(0)->frameCount, 32u);
    EXPECT_EQ(mvb.animations->GetTrack(2)->frameCount, 17u);
    // The toolbox shows the moveable as it now is: nothing plays, and #002 played again
    // has the frames it took.
    const CTlboxMoveableAnimLogic& anim = toolbox->GetAnimPage()->Logic();
    EXPECT_EQ(list->GetSelection(), 0);
    EXPECT_EQ(anim.FrameCountText(), "");
    list->SetSelection(2);
    list->GetEventHandler()->ProcessEvent(chosen);
    EXPECT_TRUE(PumpUntil([&] { return anim.FrameCountText() == "/ 32"; }, 5000)) << anim.FrameCountText();

    // "Animation" and "Import" (adding it): the toolbox lists the fourth animation at once.
    onShown_ = [&](wxDialog& d) {
        if (auto* dialog = dynamic_cast<CImport3DS*>(&d))
            session_->XdoAsync(At(Mark(dialog->AnimationButton())) + " sleep 0.2 click 1 sleep 0.4 " +
                               At(Centre(d.FindWindow(wxID_OK))) + " sleep 0.2 click 1");
    };
    ASSERT_TRUE(RunMenuEntry(moveable, 5, [&] { return mvb.animationCount() == 4; }));
    Pump(300);
    ASSERT_EQ(list->GetCount(), 5u);
    EXPECT_EQ(list->GetString(4), "Animation #004");

    // A new moveable from the file: its id typed and Enter pressed in the "New object Id" box.
    // A box that Enter leaves open is cancelled after a while.
    wxWeakRef<wxDialog> asked;
    wxTimer cancel;
    cancel.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
        if (asked && asked->IsModal()) asked->EndModal(wxID_CANCEL);
    });
    onShown_ = [&](wxDialog& d) {
        auto* ask = dynamic_cast<CDlgGetObjId*>(&d);
        if (!ask) return;
        session_->XdoAsync(At(ask->IdField()->ClientToScreen(wxPoint(10, ask->IdField()->GetClientSize().y / 2))) +
                           " click 1 sleep 0.2 key ctrl+a sleep 0.1 key 7 7 sleep 0.2 key Return");
        asked = &d;
        cancel.StartOnce(8000);
    };
    auto& list2 = doc_->m_level.moveableList;
    ASSERT_TRUE(RunMenuEntry(tree_->m_pMoveablesNode, 1, [&] { return list2.size() == 2; }));
    EXPECT_EQ(list2.back()->objectId, 77);
}

// A moveable's animation 70000 frames long, and a mesh whose object's name is longer than
// its field: each import is refused in a real message box that says why, and the object
// stays as it was.
TEST_F(Editor3dsEndToEnd, RefusedImportsSayWhyInAMessageBox) {
    CTrMvb& mvb = *doc_->m_level.moveableList[0];
    const std::string source = dir_.file("block.3ds"), longer = dir_.file("longer.3ds");
    ASSERT_TRUE(ExportMoveableTo3ds(&mvb, source.c_str(), "block", &doc_->m_level, 0));
    {
        test::ReadDatabase3dsFixture in(test::ReadFileBytes(source));
        auto* header = ReadChunkDataAs3ds<KfHeaderData3ds>(test::Find3ds(in.db()->topChunk.get(), 0xB00A));
        ASSERT_NE(header, nullptr);
        header->animLength = 70000;
        test::WriteFileBytes(longer, test::WriteDatabaseBytes3ds(in.db()));
    }
    CHandleBase* moveable = FirstChild(tree_->m_pMoveablesNode);
    CHandleBase* staticMesh = FirstChild(tree_->m_pStaticMeshesNode);
    ASSERT_TRUE(moveable && staticMesh);
    const std::vector<uint8_t> mvbWas = mvb.Serialize();
    const std::vector<uint8_t> meshWas = doc_->m_level.staticMeshList[0]->Serialize();

    // The moveable's "Import from 3DS" (the fifth entry) with "Animation" and "Import"; a
    // static mesh's (the third entry) of a file whose objects are named "LongNameX_a" and
    // "LongNameX_b". The box is on the screen for its picture, then Return closes it.
    onShown_ = [&](wxDialog& d) {
        if (auto* dialog = dynamic_cast<CImport3DS*>(&d))
            session_->XdoAsync(At(Mark(dialog->AnimationButton())) + " sleep 0.2 click 1 sleep 0.4 " +
                               At(Centre(d.FindWindow(wxID_OK))) + " sleep 0.2 click 1");
    };
    const std::string damaged = test::DamagedInputsDir();
    const struct {
        CHandleBase* node;
        int entry;
        std::string file, shot, says;
    } imports[] = {
        {moveable, 5, longer, "refused-length.png",
         "the animation length (70000 frames) is out of range (at most 32767 frames)"},
        {staticMesh, 3, damaged.empty() ? "" : damaged + "/object-names-longer-than-their-field.3ds",
         "refused-name.png", "object name \"LongNameX_a\" is longer than its field (at most 10 characters)"},
    };
    test::RealMessageBoxes boxes;
    ScopedMessageBackend real(&boxes);
    for (const auto& i : imports) {
        if (i.file.empty()) continue;  // no damaged inputs
        SetOpenFileChooser([&](const std::string&) { return i.file; });
        boxes.texts.clear();
        DriveAll({At(ScreenPoint(*tree_, i.node->GetItem())) + " sleep 0.3 click 3 sleep 1" + Downs(i.entry) +
                      " key Return",
                  "sleep 7 exec import -window root '" + ShotPath(i.shot) + "'", "sleep 9 key Return"},
                 40000);
        ASSERT_EQ(boxes.texts.size(), 1u) << i.shot;
        EXPECT_NE(boxes.texts[0].find(i.says), std::string::npos) << boxes.texts[0];
    }
    EXPECT_EQ(mvb.Serialize(), mvbWas);
    EXPECT_EQ(doc_->m_level.staticMeshList[0]->Serialize(), meshWas);
}

// Whether the pixel at i of R, G, B bytes differs from the colour 0xBBGGRR by more than
// the threshold, over its three bytes.
bool Differs(const std::vector<uint8_t>& rgb, size_t i, uint32_t colour, int threshold = 24) {
    return std::abs(rgb[i] - int(colour & 0xFF)) + std::abs(rgb[i + 1] - int((colour >> 8) & 0xFF)) +
               std::abs(rgb[i + 2] - int((colour >> 16) & 0xFF)) > threshold;
}

// The GL view's pixels of the shown object: how many differ from the background, and their
// mean brightness (0-255).
void LitPixels(COpenGLWnd& gl, int* count, double* brightness) {
    int width = 0, height = 0;
    const std::vector<uint8_t> rgb = test::RenderAndRead(gl, &width, &height);
    *count = 0;
    double sum = 0;
    for (size_t i = 0; i + 2 < rgb.size(); i += 3) {
        if (!Differs(rgb, i, gl.GetBackgroundColor())) continue;
        ++*count;
        sum += (rgb[i] + rgb[i + 1] + rgb[i + 2]) / 3.0;
    }
    *brightness = *count ? sum / *count : 0;
}

TEST_F(Editor3dsEndToEnd, StaticMeshImportedFrom3dsIsDrawnLit) {
    CHandleBase* node = FirstChild(tree_->m_pStaticMeshesNode);
    ASSERT_NE(node, nullptr);
    ASSERT_TRUE(Click(node));
    CEditPaneBase* pane = nullptr;
    Frame()->GetEditPane(&pane);
    auto* meshPane = dynamic_cast<CEditMesh*>(pane);
    ASSERT_NE(meshPane, nullptr);
    COpenGLWnd* gl = meshPane->GetGlWindow();
    gl->SetAutoCamera(false);
    int before = 0, after = 0;
    double lit = 0, imported = 0;
    LitPixels(*gl, &before, &lit);
    ASSERT_GT(before, 200);

    // "Export to 3DS", then "Import from 3DS" of the file, from the node's menu.
    const std::string path = dir_.file("pyramid.3ds");
    SetSaveFileChooser([&](const SaveFileRequest&) { return path; });
    SetOpenFileChooser([&](const std::string&) { return path; });
    ASSERT_TRUE(RunMenuEntry(node, 2, [&] { return test::ReadFileBytes(path).size() > 0; }));
    doc_->Modify(false);
    ASSERT_TRUE(RunMenuEntry(node, 3, [&] { return doc_->IsModified(); }));
    const TrMeshRecord& mesh = static_cast<CTrStatMsh*>(node->GetObject())->meshes[0];
    ASSERT_FALSE(mesh.hasNormals);
    ASSERT_TRUE(PumpUntil([&] { return tree_->GetNode(tree_->GetSelection()) == node; }, 2000));
    Frame()->GetEditPane(&pane);
    meshPane = dynamic_cast<CEditMesh*>(pane);
    ASSERT_NE(meshPane, nullptr);
    gl = meshPane->GetGlWindow();
    gl->SetAutoCamera(false);
    Pump(200);
    LitPixels(*gl, &after, &imported);
    Shot("imported-static-mesh.png");
    EXPECT_GT(after, before / 2);
    EXPECT_GT(imported, lit * 0.7) << "the imported mesh is drawn darker than its original";
}

// HILTOP's Lara exported to 3DS and imported back with "Meshes", nothing changed between:
// she is drawn as before, without lines along the edges of her faces. Then a moveable with
// fewer meshes takes her meshes the same way, and its animations play on them.
TEST_F(Editor3dsEndToEnd, LaraComesBackAsDrawnAndAMoveableTakesMoreMeshes) {
    std::string hiltop;
    for (const test::RealLevel& file : test::RealLevelFiles())
        if (EqualsNoCase(file.path.substr(file.path.rfind('/') + 1), "HILTOP.TR2")) hiltop = file.path;
    if (hiltop.empty()) GTEST_SKIP() << "no HILTOP.TR2 among the real levels";
    doc_ = Open(hiltop);
    ASSERT_NE(doc_, nullptr);
    tree_ = TreeOf(doc_);
    ASSERT_NE(tree_, nullptr);
    tree_->Expand(tree_->m_pMoveablesNode->GetItem());
    auto node = [&](const CTrMvb* mvb) {
        const wxTreeItemId item = ItemOf(*tree_, tree_->m_pMoveablesNode, mvb);
        return item.IsOk() ? tree_->GetNode(item) : nullptr;
    };
    auto glOf = [&](CHandleBase* n) -> COpenGLWnd* {
        CEditPaneBase* pane = nullptr;
        Frame()->GetEditPane(&pane);
        auto* gfx = dynamic_cast<CEditMoveable*>(pane);
        return gfx && gfx->GetNode() == n ? gfx->GetGlWindow() : nullptr;
    };
    // The camera stays where it is fitted: both pictures are taken from the same place.
    App().GetMainFrame()->SetManualCamera(true);
    struct AutoCameraBack {
        ~AutoCameraBack() { App().GetMainFrame()->SetManualCamera(false); }
    } autoCameraBack;
    CTrMvb& lara = *doc_->m_level.moveableList[0];
    ASSERT_EQ(lara.objectId, 0);
    CHandleBase* laraNode = node(&lara);
    ASSERT_NE(laraNode, nullptr);
    ASSERT_TRUE(Click(laraNode));
    ASSERT_TRUE(PumpUntil([&] { return glOf(laraNode) != nullptr; }, 5000));
    // Lara at rest, the wheel turned over the view to bring her close.
    int width = 0, height = 0;
    auto look = [&](const char* name) {
        COpenGLWnd& gl = *glOf(laraNode);
        EXPECT_FALSE(gl.GetAutoCamera());
        EXPECT_TRUE(Drive(At(Centre(&gl)) + " sleep 0.2 click --repeat 5 --delay 100 4",
                          [] { return true; }));
        Pump(300);
        gl.StartAnimPlayback(-1);
        std::vector<uint8_t> rgb = test::RenderAndRead(gl, &width, &height);
        Shot(name);
        return rgb;
    };
    const std::vector<uint8_t> before = look("hiltop-lara-before.png");

    // "Export to 3DS" without animation, then "Import from 3DS" of that file with "Meshes".
    const std::string path = dir_.file("lara.3ds");
    onShown_ = [&](wxDialog& d) {
        if (dynamic_cast<CExportMvbl*>(&d) || dynamic_cast<CImport3DS*>(&d))
            session_->XdoAsync(At(Centre(d.FindWindow(wxID_OK))) + " sleep 0.2 click 1");
    };
    SetSaveFileChooser([&](const SaveFileRequest&) { return path; });
    SetOpenFileChooser([&](const std::string&) { return path; });
    ASSERT_TRUE(RunMenuEntry(laraNode, 4, [&] { return test::ReadFileBytes(path).size() > 0; }));
    doc_->Modify(false);
    ASSERT_TRUE(RunMenuEntry(laraNode, 5, [&] { return doc_->IsModified(); }));
    ASSERT_TRUE(PumpUntil([&] { return glOf(laraNode) != nullptr; }, 5000));
    const int oldWidth = width, oldHeight = height;
    const std::vector<uint8_t> after = look("hiltop-lara-after.png");
    ASSERT_EQ(width, oldWidth);
    ASSERT_EQ(height, oldHeight);
    const uint32_t background = glOf(laraNode)->GetBackgroundColor();
    size_t drawn = 0, changed = 0;
    for (size_t i = 0; i + 2 < before.size(); i += 3) {
        drawn += Differs(before, i, background);
        changed += Differs(before, i, after[i] | after[i + 1] << 8 | after[i + 2] << 16, 60);
    }
    // Lines along the edges of her faces changed a fifth of her pixels.
    ASSERT_GT(drawn, 2000u);
    EXPECT_LT(changed, drawn / 40) << "of " << drawn << " pixels of Lara";

    // The animated moveable of the fewest meshes (three at least) takes her meshes: a message
    // says that its frames turn only its own number of them, and its first animation plays
    // on them.
    CTrMvb* small = nullptr;
    for (auto& m : doc_->m_level.moveableList)
        if (m->animationCount() > 0 && m->meshCount() >= 3 &&
            (!small || m->meshCount() < small->meshCount()))
            small = m.get();
    ASSERT_NE(small, nullptr);
    const size_t own = small->meshCount();
    ASSERT_LT(own, lara.meshCount());
    CHandleBase* smallNode = node(small);
    ASSERT_NE(smallNode, nullptr);
    g_messages.clear();
    ASSERT_TRUE(RunMenuEntry(smallNode, 5, [&] { return small->meshCount() == lara.meshCount(); }));
    EXPECT_TRUE(g_messages.Saw(StrFormat("hold a rotation for only %zu of them", own)));
    ASSERT_TRUE(Click(smallNode));
    ASSERT_TRUE(PumpUntil([&] { return glOf(smallNode) != nullptr; }, 5000));
    COpenGLWnd& gl = *glOf(smallNode);
    gl.StartAnimPlayback(0);
    const uint64_t frames = gl.FrameCount();
    Pump(1500);
    EXPECT_GT(gl.FrameCount(), frames + 10);
    EXPECT_TRUE(gl.IsPlaying());
    Shot("hiltop-more-meshes-playing.png");
    int played = 0;
    double brightness = 0;
    LitPixels(gl, &played, &brightness);
    EXPECT_GT(played, 2000);
}

}  // namespace

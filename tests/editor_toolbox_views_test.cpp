// The toolbox views in the running editor, driven by real X events (xdotool, with openbox):
// the Animation page lists a moveable's animations, F5/F6 step through them, a dragged
// slider moves the frame the pane shows; a state change added with the page's buttons and
// edits, and a mesh radius typed into its edit, mark the document modified and survive
// Save and reload; values out of range are refused with their message; the sprite page
// sets how the pane shows the sprites; the toolbox fix hides the row and binds anyway.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <functional>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/listctrl.h>
#include <wx/radiobut.h>
#include <wx/slider.h>

#include "E2eEditor.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "batch/CmdLine.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/toolbox/TlboxControls.h"
#include "editor/toolbox/TlboxMeshPages.h"
#include "editor/toolbox/TlboxMoveablePages.h"
#include "editor/toolbox/TlboxSpritePage.h"
#include "editor/toolbox/TlboxTrackPages.h"
#include "editor/toolbox/ToolboxViews.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "level/TrAnimData.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

// A real level with Lara (3 animations or more, the second one of 12 frames or more), a
// static mesh and a sprite sequence; "" when there is none.
std::string PickLevel() {
    for (const test::RealLevel& l : test::RealLevelFiles()) {
        if (l.unsupported) continue;
        CTrLevel level;
        ScriptedMessageBackend quiet;
        ScopedMessageBackend scope(&quiet);
        if (!level.Load(l.path, false, false)) continue;
        const CTrMvb* lara = level.FindMoveable(0);
        if (lara && lara->animationCount() >= 3 && lara->GetTrack(1)->frameCount >= 12 &&
            !level.staticMeshList.empty() && !level.spriteList.empty())
            return l.path;
    }
    return "";
}

class ToolboxViews : public test::EditorEndToEnd {
protected:
    static void SetUpTestSuite() {
        EditorEndToEnd::SetUpTestSuite();
        level_ = PickLevel();
    }
    void SetUp() override {
        if (level_.empty()) GTEST_SKIP() << "no real level with Lara, a static mesh and sprites";
        EditorEndToEnd::SetUp();
        if (IsSkipped()) return;
        const std::string path = dir_.file("level" + level_.substr(level_.rfind('.')));
        test::WriteFileBytes(path, test::ReadFileBytes(level_));
        doc_ = EditorTest::Open(path);
        ASSERT_NE(doc_, nullptr);
        frame_ = doc_->GetLevelView()->GetChildFrame();
        tree_ = TreeOf(doc_);
        ASSERT_TRUE(frame_ && tree_);
        Wait([] { return false; }, 300);
        g_messages.clear();
    }
    void TearDown() override {
        g_bToolboxFix = false;
        if (App().GetMainFrame()) App().GetMainFrame()->ShowToolbox(false, true);
        EditorEndToEnd::TearDown();
    }

    static bool Wait(const std::function<bool()>& done, int ms = 5000) { return PumpUntil(done, ms); }
    // xdotool in the background while the editor handles what it does.
    static bool Xdo(const std::string& words, const std::function<bool()>& done = [] { return true; }) {
        return Drive(words, done, 10000);
    }
    static wxPoint Centre(const wxWindow* w) { return w->ClientToScreen(wxPoint(w->GetClientSize().x / 2, w->GetClientSize().y / 2)); }
    static bool Click(const wxWindow* w, const std::function<bool()>& done = [] { return true; }) {
        return Xdo(At(Centre(w)) + " click 1 sleep 0.2", done);
    }
    // Clicks an edit, replaces its text and leaves it with Tab.
    static void Type(const wxWindow* edit, const std::string& text) {
        Xdo(At(Centre(edit)) + " click 1 sleep 0.2 key ctrl+a type -- '" + text + "'");
        Xdo("key Tab sleep 0.2");
    }
    // Clicks a node of the tree and waits for its pane.
    void Select(CHandleBase* node, int kind) {
        tree_->EnsureVisible(node->GetItem());
        Wait([] { return false; }, 200);
        wxRect rect;
        tree_->GetBoundingRect(node->GetItem(), rect, true);
        const wxPoint p = tree_->ClientToScreen(wxPoint(rect.GetLeft() + 8, rect.GetTop() + rect.GetHeight() / 2));
        EXPECT_TRUE(Xdo(At(p) + " click 1", [&] { return frame_->GetEditPane() == kind && tree_->GetNode(tree_->GetSelection()) == node; }));
    }
    std::vector<CHandleBase*> Children(CHandleBase* parent) {
        tree_->Expand(parent->GetItem());
        std::vector<CHandleBase*> out;
        wxTreeItemIdValue cookie;
        for (wxTreeItemId c = tree_->GetFirstChild(parent->GetItem(), cookie); c.IsOk();
             c = tree_->GetNextChild(parent->GetItem(), cookie))
            if (CHandleBase* node = tree_->GetNode(c)) out.push_back(node);
        return out;
    }
    CHandleBase* Lara() {
        for (CHandleBase* node : Children(tree_->m_pMoveablesNode))
            if (static_cast<CTrMvb*>(node->GetObject())->objectId == 0) return node;
        return nullptr;
    }
    // Lara clicked in the tree, the moveable toolbox shown on a page.
    CToolbox2Moveable* ShowLara(size_t page) {
        lara_ = Lara();
        if (!lara_) return nullptr;
        Select(lara_, EditPaneMoveable);
        auto* view = dynamic_cast<CToolbox2Moveable*>(frame_->GetToolboxView(EditPaneMoveable));
        if (view) ShowPage(*view, page);
        return view;
    }
    // Shows the toolbox row and the page of a tab, clicked on its tab.
    void ShowPage(CToolboxBase& view, size_t page) {
        App().GetMainFrame()->ShowToolbox(true, true);
        Wait([&] { return view.IsShownOnScreen(); });
        Wait([] { return false; }, 300);  // the row settles
        CToolboxSheet& sheet = *view.GetSheet();
        for (int x = 2; x < sheet.GetClientSize().x && sheet.GetSelection() != int(page); x += 6)
            if (sheet.HitTest(wxPoint(x, 12)) == int(page)) {
                Xdo(At(sheet.ClientToScreen(wxPoint(x + 6, 12))) + " click 1", [&] { return sheet.GetSelection() == int(page); });
                break;
            }
        EXPECT_EQ(sheet.GetSelection(), int(page));
        EXPECT_EQ(sheet.CurrentPage(), sheet.Pages()[page]);
    }
    static int Changed(const test::ScreenImage& a, const test::ScreenImage& b) {
        int n = 0;
        for (size_t i = 0; i < a.rgb.size() && i < b.rgb.size(); ++i) n += std::abs(a.rgb[i] - b.rgb[i]) > 24;
        return n;
    }
    bool Saved(CTrLevel& again) {
        const std::string saved = dir_.file("saved" + level_.substr(level_.rfind('.')));
        return doc_->OnSaveDocument(saved) && again.Load(saved, false, false, &App().m_catalog);
    }

    inline static std::string level_;
    CLithoscopeDoc* doc_ = nullptr;
    CChildFrame* frame_ = nullptr;
    CFileTree* tree_ = nullptr;
    CHandleBase* lara_ = nullptr;
};

TEST_F(ToolboxViews, AnimationPageListsStepsWithF5F6AndItsSliderMovesThePaneFrame) {
    CToolbox2Moveable* view = ShowLara(1);
    ASSERT_NE(view, nullptr);
    CHandleBase* lara = lara_;
    EXPECT_EQ(view->GetNode(), lara);
    CTlboxMoveableAnim& page = *view->GetAnimPage();
    CTrMvb& mvb = *static_cast<CTrMvb*>(lara->GetObject());
    wxChoice& list = *page.GetAnimationList();
    ASSERT_EQ(int(list.GetCount()), mvb.animationCount() + 1);
    EXPECT_EQ(list.GetString(0), "No animation");
    EXPECT_EQ(list.GetString(2), "Animation #002");
    auto* pane = dynamic_cast<CEditMoveable*>(view->GetPane());
    ASSERT_NE(pane, nullptr);
    COpenGLWnd& gl = *pane->GetGlWindow();
    gl.SetAutoCamera(false);

    // F6 twice plays the second animation; its values reach the page.
    // (Each press is seen by the next idle tick: one press at a time.)
    Xdo("key F6", [&] { return list.GetSelection() == 1; });
    Xdo("key F6", [&] { return list.GetSelection() == 2 && gl.IsPlaying() && gl.CurrentAnimation() == 1; });
    EXPECT_EQ(gl.GetCaption(), "Animation #002");
    EXPECT_EQ(page.GetCurrentAnim(), 2);
    EXPECT_EQ(page.Logic().FrameCountText(), StrFormat("/ %u", mvb.GetTrack(1)->frameCount));

    // Manual mode; a drag along the frame slider moves the frame the pane shows.
    wxButton* automatic = nullptr;
    for (wxWindow* w : page.GetFrameSlider()->GetParent()->GetChildren())
        if (auto* b = dynamic_cast<wxButton*>(w); b && b->GetLabel() == "Automatic") automatic = b;
    ASSERT_NE(automatic, nullptr);
    Click(automatic, [&] { return !gl.GetAutomaticPlayback(); });
    EXPECT_EQ(automatic->GetLabel(), "Manual");
    Wait([] { return false; }, 300);
    wxSlider& slider = *page.GetFrameSlider();
    const CAnimTrack& track = *mvb.animations->CurrentTrack();
    const float before = track.time;
    const test::ScreenImage still = ShotOf(&gl, "still.png");
    const int y = slider.GetSize().y / 2;
    const wxPoint from = slider.ClientToScreen(wxPoint(slider.GetSize().x / 10, y));
    const wxPoint to = slider.ClientToScreen(wxPoint(slider.GetSize().x * 8 / 10, y));
    std::string drag = At(from) + " mousedown 1 sleep 0.2";
    for (int i = 1; i <= 6; ++i) drag += " " + At(from + (to - from) * i / 6) + " sleep 0.1";
    Xdo(drag + " mouseup 1 sleep 0.3");
    EXPECT_GT(slider.GetValue(), slider.GetMax() / 2);
    EXPECT_NEAR(track.time, float(slider.GetValue() - 1), 1.0f);
    EXPECT_NE(track.time, before);
    EXPECT_EQ(page.Logic().FrameText(), std::to_string(slider.GetValue()));
    EXPECT_GT(Changed(still, ShotOf(&gl, "moved.png")), 100) << "the pane shows another frame";
    EXPECT_FALSE(doc_->IsModified());

    // F5 on the State changes page: the previous animation, and the page follows it.
    ShowPage(*view, 2);
    Xdo("key F5", [&] { return list.GetSelection() == 1; });
    EXPECT_EQ(gl.CurrentAnimation(), 0);
    EXPECT_EQ(view->GetStateChangesPage()->GetList()->GetItemCount(), mvb.GetTrack(0)->GetTotalRangeCount());

    // Another moveable rebuilds the list; Lara again keeps it as it is.
    CHandleBase* other = Children(tree_->m_pMoveablesNode).back();
    Select(other, EditPaneMoveable);
    EXPECT_TRUE(view->LastBindChanged());
    EXPECT_EQ(int(list.GetCount()), static_cast<CTrMvb*>(other->GetObject())->animationCount() + 1);
    EXPECT_EQ(list.GetSelection(), 0);
}

TEST_F(ToolboxViews, StateChangeAddedWithThePageSurvivesSaveAndBadValuesAreRefused) {
    CToolbox2Moveable* view = ShowLara(2);
    ASSERT_NE(view, nullptr);
    CHandleBase* lara = lara_;
    CTlboxMoveableStCh& page = *view->GetStateChangesPage();
    wxChoice& animations = *view->GetAnimPage()->GetAnimationList();
    Xdo("key F6", [&] { return animations.GetSelection() == 1; });
    Xdo("key F6", [&] { return animations.GetSelection() == 2; });
    CTrMvb& mvb = *static_cast<CTrMvb*>(lara->GetObject());
    CTRAnimTrack& track = *mvb.GetTrack(1);
    ASSERT_EQ(page.GetList()->GetItemCount(), track.GetTotalRangeCount());
    doc_->Modify(false);

    // Add: a range of state 0, selected, its values in the edits.
    const std::vector<wxButton*>& buttons = page.GetButtons();
    ASSERT_EQ(buttons.size(), 3u);
    Click(buttons[0], [&] { return page.GetList()->GetItemCount() == track.GetTotalRangeCount() && track.FindStateChange(0, nullptr); });
    EXPECT_TRUE(doc_->IsModified());
    const std::vector<CTlboxEdit*>& edits = page.GetEdits();
    EXPECT_EQ(edits[1]->GetValue() + edits[2]->GetValue() + edits[3]->GetValue(), "111");

    // Typed values and Modify: the range moves to state 77.
    const std::string frames = std::to_string(track.frameCount);
    const char* values[5] = {"77", "2", frames.c_str(), "1", "1"};
    for (int i = 0; i < 5; ++i) Type(edits[size_t(i)], values[i]);
    Click(buttons[2], [&] { return track.FindStateChange(77, nullptr) != nullptr; });
    const CTRStateChange* moved = track.FindStateChange(77, nullptr);
    ASSERT_NE(moved, nullptr);
    ASSERT_EQ(moved->ranges.size(), 1u);
    EXPECT_EQ(StrFormat("%d %d %d %d", moved->ranges[0].lowFrame, moved->ranges[0].highFrame,
                        moved->ranges[0].nextAnim, moved->ranges[0].nextFrame),
              StrFormat("1 %u 0 0", track.frameCount - 1));
    const long row = page.GetList()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
    ASSERT_GE(row, 0);
    EXPECT_EQ(page.GetList()->GetItemText(row, 0), "77");

    // A high frame past the animation: refused with its message, nothing stored.
    Type(edits[2], std::to_string(track.frameCount + 1));
    g_messages.clear();
    Click(buttons[2], [] { return g_messages.Saw("Invalid high frame"); });
    EXPECT_TRUE(g_messages.Saw(StrFormat("Invalid high frame (%u) : the animation has only %u frames !",
                                         track.frameCount + 1, track.frameCount)));
    EXPECT_EQ(moved->ranges[0].highFrame, int32_t(track.frameCount) - 1);

    const std::string before = StrFormat("%d-%d", moved->ranges[0].lowFrame, moved->ranges[0].highFrame);
    CTrLevel again;
    ASSERT_TRUE(Saved(again));
    const CTrMvb* reloaded = again.FindMoveable(0);
    ASSERT_NE(reloaded, nullptr);
    const CTRStateChange* kept = reloaded->GetTrack(1)->FindStateChange(77, nullptr);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(StrFormat("%d-%d", kept->ranges.at(0).lowFrame, kept->ranges.at(0).highFrame), before);
}

TEST_F(ToolboxViews, MeshRadiusTypedMarksModifiedSurvivesSaveAndNegativeIsRefused) {
    CHandleBase* lara = Lara();
    ASSERT_NE(lara, nullptr);
    std::vector<CHandleBase*> meshes = Children(lara);
    ASSERT_GE(meshes.size(), 2u);
    auto* meshNode = dynamic_cast<CHandleMesh*>(meshes[1]);
    ASSERT_NE(meshNode, nullptr);
    Select(meshNode, EditPaneMesh);
    auto* view = dynamic_cast<CToolbox2Mesh*>(frame_->GetToolboxView(EditPaneMesh));
    ASSERT_NE(view, nullptr);
    ShowPage(*view, 0);
    CTlboxMeshMain& page = *view->GetMeshPage();
    TrMeshRecord& mesh = static_cast<CTrMvb*>(lara->GetObject())->meshes[size_t(meshNode->m_nMeshIndex)];
    EXPECT_EQ(page.Logic().Radius(), mesh.radius);
    doc_->Modify(false);

    // The radius edit is the only enabled edit of a moveable's mesh.
    CTlboxEdit* radius = nullptr;
    std::function<void(wxWindow*)> find = [&](wxWindow* w) {
        for (wxWindow* c : w->GetChildren()) {
            if (auto* e = dynamic_cast<CTlboxEdit*>(c); e && e->IsEnabled()) radius = e;
            find(c);
        }
    };
    find(&page);
    ASSERT_NE(radius, nullptr);
    Type(radius, "321");
    Wait([&] { return mesh.radius == 321; });
    EXPECT_EQ(mesh.radius, 321);
    EXPECT_TRUE(doc_->IsModified());

    Type(radius, "-5");
    Wait([] { return g_messages.Saw("Invalid radius"); });
    EXPECT_TRUE(g_messages.Saw("Invalid radius (-5) : a radius can't be negative !"));
    EXPECT_EQ(mesh.radius, 321);
    EXPECT_EQ(radius->GetValue(), "321");

    // The show button beside "Collision sphere:" switches the pane's sphere.
    wxButton* sphere = nullptr;
    for (wxWindow* w : radius->GetParent()->GetChildren())
        if (auto* b = dynamic_cast<wxButton*>(w); b && b->GetLabel() == "Show") sphere = b;
    ASSERT_NE(sphere, nullptr);
    auto* pane = dynamic_cast<CEditMesh*>(view->GetPane());
    ASSERT_NE(pane, nullptr);
    Click(sphere, [&] { return pane->GetGlWindow()->DisplayFlags().showCollisionSphere; });
    EXPECT_EQ(sphere->GetLabel(), "Hide");

    // Saving repopulates the tree: its nodes go, the level's objects stay.
    const size_t index = size_t(meshNode->m_nMeshIndex);
    CTrLevel again;
    ASSERT_TRUE(Saved(again));
    EXPECT_EQ(again.FindMoveable(0)->meshes.at(index).radius, 321);
}

TEST_F(ToolboxViews, SpritePageSetsTheDisplayAndTheFixHidesTheRowButBinds) {
    std::vector<CHandleBase*> sprites = Children(tree_->m_pSpritesNode);
    ASSERT_GE(sprites.size(), 2u);
    auto* view = dynamic_cast<CToolbox2Sprite*>(frame_->GetToolboxView(EditPaneSprite));
    ASSERT_NE(view, nullptr);
    Select(sprites[0], EditPaneSprite);
    ShowPage(*view, 0);

    // With the fix on and the row shown, the next node hides the row and is bound.
    g_bToolboxFix = true;
    Select(sprites[1], EditPaneSprite);
    EXPECT_FALSE(App().GetMainFrame()->m_bToolboxShown);
    EXPECT_FALSE(view->IsShownOnScreen());
    EXPECT_EQ(view->GetNode(), sprites[1]);
    g_bToolboxFix = false;
    ShowPage(*view, 0);

    CTlboxSpriteMain& page = *view->GetSpritePage();
    const auto* list = static_cast<CTrLstSpr*>(sprites[1]->GetObject());
    EXPECT_EQ(page.Logic().Title(), StrFormat("%s (%ld sprites)", sprites[1]->GetName(), long(list->sprites.size())));
    auto* pane = dynamic_cast<CEditSprite*>(view->GetPane());
    ASSERT_NE(pane, nullptr);
    const SpriteDisplayValues& shown = pane->GetGlWindow()->SpriteDisplay();
    wxRadioButton* listMode = nullptr;
    CTlboxEdit* width = nullptr;
    for (wxWindow* w : page.GetChildren()) {
        if (auto* e = dynamic_cast<CTlboxEdit*>(w)) width = e;  // the last edit: "Width:"
        for (wxWindow* c : w->GetChildren())
            if (auto* r = dynamic_cast<wxRadioButton*>(c); r && r->GetLabel() == "List") listMode = r;
    }
    ASSERT_TRUE(listMode && width);
    Click(listMode, [&] { return !shown.animated; });
    EXPECT_FALSE(shown.animated);

    Type(width, "abc");
    Wait([] { return g_messages.Saw("Enter a number."); });
    EXPECT_TRUE(g_messages.Saw("Enter a number."));
    EXPECT_EQ(shown.rowWidth, 256.0f);
    EXPECT_EQ(width->GetValue(), "256");
    Type(width, "64");
    Wait([&] { return shown.rowWidth == 64.0f; });
    EXPECT_EQ(shown.rowWidth, 64.0f);
    EXPECT_FALSE(doc_->IsModified());
}

}  // namespace

namespace {

// The windows of a class under a window, in the order they were made.
template <class W>
std::vector<W*> Controls(wxWindow* parent, const wxString& label = wxString()) {
    std::vector<W*> out;
    for (wxWindow* c : parent->GetChildren()) {
        if (auto* w = dynamic_cast<W*>(c); w && (label.empty() || w->GetLabel() == label)) out.push_back(w);
        for (W* w : Controls<W>(c, label)) out.push_back(w);
    }
    return out;
}

TEST_F(ToolboxViews, AnimCommandModifiedWithThePageAndTheDeletedMoveableLeavesThePagesEmpty) {
    CToolbox2Moveable* view = ShowLara(3);
    ASSERT_NE(view, nullptr);
    CTlboxMoveableCmd& page = *view->GetCommandsPage();
    CTrMvb& mvb = *static_cast<CTrMvb*>(lara_->GetObject());
    Xdo("key F6", [&] { return view->GetCurrentAnim() == 1; });
    CTRAnimTrack& track = *mvb.GetTrack(0);
    const int before = track.commandTotal();
    ASSERT_EQ(page.GetList()->GetItemCount(), before);
    ASSERT_TRUE(doc_->m_level.soundList && !doc_->m_level.soundList->empty());
    const int sound = doc_->m_level.soundList->begin()->first;

    // Add, then a play-sound command typed into the edits: stored with its frame from 0,
    // the sound copied to the moveable.
    const std::vector<wxButton*>& buttons = page.GetButtons();
    ASSERT_EQ(buttons.size(), 5u);
    Click(buttons[0], [&] { return track.commandTotal() == before + 1; });
    const std::vector<CTlboxEdit*>& edits = page.GetEdits();
    Type(edits[0], "5");
    Type(edits[1], "2");
    Type(edits[2], std::to_string(sound));
    Click(buttons[4], [&] { return track.commands.back().code == 5; });
    EXPECT_EQ(StrFormat("%d %d", track.commands.back().operands[0], track.commands.back().operands[1]),
              StrFormat("1 %d", sound));
    EXPECT_EQ(page.GetList()->GetItemText(before, 2), std::to_string(sound));
    ASSERT_TRUE(mvb.sounds);
    EXPECT_TRUE(mvb.sounds->Contains(sound));
    if (before > 0) {
        Click(buttons[2], [&] { return track.commands[size_t(before) - 1].code == 5; });
        EXPECT_EQ(page.GetList()->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED), before - 1);
    }
    EXPECT_TRUE(doc_->IsModified());

    // The moveable goes: the view forgets it and its pages go empty.
    g_messages.Answer(MsgAnswer::Yes);
    dynamic_cast<CHandleMoveable&>(*lara_).DeleteMoveable();
    Wait([&] { return view->GetNode() == nullptr; });
    EXPECT_EQ(view->GetNode(), nullptr);
    EXPECT_EQ(view->GetAnimPage()->GetAnimationList()->GetCount(), 1u);
    EXPECT_EQ(page.GetList()->GetItemCount(), 0);
    Xdo("key F6");
    EXPECT_EQ(view->GetCurrentAnim(), 0);
}

TEST_F(ToolboxViews, StaticMeshBoxesSelectedMoveWithCtrlAndTakeTheTypedSize) {
    std::vector<CHandleBase*> statics = Children(tree_->m_pStaticMeshesNode);
    ASSERT_FALSE(statics.empty());
    Select(statics[0], EditPaneMesh);
    auto* view = dynamic_cast<CToolbox2Mesh*>(frame_->GetToolboxView(EditPaneMesh));
    ASSERT_NE(view, nullptr);
    ShowPage(*view, 0);
    auto& mesh = *static_cast<CTrStatMsh*>(statics[0]->GetObject());
    CTlboxMeshMain& page = *view->GetMeshPage();
    // Every page fills the sheet.
    for (CToolboxItfBase* p : view->GetSheet()->Pages()) EXPECT_EQ(p->GetSize(), page.GetSize());
    doc_->Modify(false);

    // Only the collision box is selected: Ctrl with Right moves it alone.
    std::vector<wxCheckBox*> select = Controls<wxCheckBox>(&page, "Select");
    ASSERT_EQ(select.size(), 2u);
    Click(select[1], [&] { return view->IsCollisionBoxEditOn() == 1; });
    EXPECT_EQ(view->IsVisibilityBoxEditOn(), 0);
    const BoundingBox visibility = mesh.visibilityBox, collision = mesh.collisionBox;
    Xdo("keydown ctrl keydown Right sleep 0.4 keyup Right keyup ctrl", [&] { return mesh.collisionBox.min.x > collision.min.x; });
    EXPECT_GT(mesh.collisionBox.min.x, collision.min.x);
    EXPECT_FLOAT_EQ(mesh.collisionBox.max.x - mesh.collisionBox.min.x, collision.max.x - collision.min.x);
    EXPECT_FLOAT_EQ(mesh.visibilityBox.min.x, visibility.min.x);
    EXPECT_TRUE(doc_->IsModified());

    // X of the visibility box typed: the box keeps its centre (in whole units).
    std::vector<CTlboxEdit*> edits = Controls<CTlboxEdit>(&page);
    ASSERT_EQ(edits.size(), 8u);  // object id, radius, three sizes of each box
    const float centre = std::trunc((visibility.min.x + visibility.max.x) * 0.5f);
    Type(edits[2], "20");
    Wait([&] { return mesh.visibilityBox.max.x - mesh.visibilityBox.min.x == 20.0f; });
    EXPECT_FLOAT_EQ(mesh.visibilityBox.min.x, centre - 10.0f);
    EXPECT_FLOAT_EQ(mesh.visibilityBox.max.x, centre + 10.0f);
    EXPECT_EQ(page.Logic().BoxSize(TlboxVisibilityBox, 0), 20);
}

}  // namespace

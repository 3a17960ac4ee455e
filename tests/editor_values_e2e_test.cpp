// Values typed into the editor stick or are refused with a message, and nothing the user
// only looks at gets modified: the moveable toolbox's Animation page, Save (a Save As)
// with the titles and tree that follow it, the recent-file list, and the sound pane's
// detail edits, driven by real X events on real levels.
#include <unistd.h>

#include <climits>

#include <wx/listbox.h>
#include <wx/listctrl.h>
#include <wx/notebook.h>
#include <wx/toolbar.h>

#include "E2eEditor.h"
#include "batch/AppSettings.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/SplitterWnd.h"
#include "editor/common/CommandIds.h"
#include "editor/common/WxStrings.h"
#include "editor/sound/SoundPane.h"
#include "editor/toolbox/TlboxControls.h"
#include "editor/toolbox/TlboxMeshPages.h"
#include "editor/toolbox/TlboxMoveablePages.h"
#include "editor/toolbox/TlboxSpritePage.h"
#include "editor/toolbox/TlboxTrackPages.h"
#include "editor/toolbox/ToolboxViews.h"
#include "editor/tree/NodeHandlers.h"
#include "level/GameCatalog.h"
#include "level/LevelLog.h"
#include "level/SoundList.h"
#include "level/TrAnimData.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

// A real level of the version (0: any) that has what want asks for.
std::string RealLevel(int version, const std::function<bool(CTrLevel&)>& want) {
    for (const test::RealLevel& l : test::RealLevelFiles()) {
        if (l.unsupported) continue;
        CTrLevel level;
        if (!level.Load(l.path, false, false, &App().m_catalog)) continue;
        if ((version == 0 || level.version == version) && want(level)) return l.path;
    }
    return std::string();
}

// The first moveable with two animations or more.
int AnimatedMoveable(const CTrLevel& level) {
    for (size_t i = 0; i < level.moveableList.size(); ++i)
        if (level.moveableList[i]->animationCount() >= 2 && level.moveableList[i]->GetTrack(1)) return int(i);
    return -1;
}

class Values : public test::EditorEndToEnd {
protected:
    using EditorEndToEnd::Drive;
    static bool Drive(const std::string& words) { return Drive(words, [] { return true; }); }

    // Screen point inside a window, from its top left corner.
    static wxPoint Inside(const wxWindow* w, int dx, int dy) { return w->ClientToScreen(wxPoint(dx, dy)); }
    // Key names that type text (xdotool's "type" would take the rest of the line).
    static std::string Keys(const std::string& text) {
        std::string keys;
        for (char c : text) keys += c == '-' ? " minus" : c == '.' ? " period" : std::string(" ") + c;
        return keys;
    }
    // Click into a text field, replace its text and end with the given key.
    static std::string TypeInto(const wxWindow* edit, const std::string& text, const std::string& end) {
        return At(Centre(edit)) + " click 1 sleep 0.2 key ctrl+a sleep 0.1 key" + Keys(text) + " sleep 0.1 key " +
               end + " sleep 0.3";
    }

    static CChildFrame* FrameOf(CLithoscopeDoc* doc) {
        return doc && doc->GetLevelView() ? doc->GetLevelView()->GetChildFrame() : nullptr;
    }
    static CEditPaneBase* PaneOf(CLithoscopeDoc* doc) {
        CEditPaneBase* pane = nullptr;
        if (CChildFrame* frame = FrameOf(doc)) frame->GetEditPane(&pane);
        return pane;
    }
    // The item of a root child of that type (expanded first).
    static wxTreeItemId CollectionItem(CFileTree& tree, int32_t type) {
        tree.Expand(tree.GetRootItem());
        return FindChild(tree, tree.GetRootItem(), [type](CHandleBase* n) { return n && n->GetType() == type; });
    }
    // Screen point of a toolbar tool: the pointer sweeps along the toolbar's middle and the
    // toolbar tells which tool it enters where.
    static wxPoint ToolPoint(wxToolBar* bar, int id) {
        std::vector<std::pair<int, int>> entered;  // tool, x on the screen
        auto onEnter = [&](wxCommandEvent& e) {
            e.Skip();
            entered.emplace_back(e.GetSelection(), wxGetMousePosition().x);
        };
        bar->Bind(wxEVT_TOOL_ENTER, onEnter);
        const int y = bar->GetClientSize().y / 2;
        std::string sweep;
        const int width = std::min(bar->GetClientSize().x, 480);  // the tools sit on the left
        for (int x = 0; x < width; x += 4) sweep += At(bar->ClientToScreen(wxPoint(x, y))) + " sleep 0.01 ";
        Drive(sweep + At(Inside(App().GetMainFrame(), 300, 300)));
        bar->Unbind(wxEVT_TOOL_ENTER, onEnter);
        for (size_t i = 0; i < entered.size(); ++i)
            if (entered[i].first == id) return wxPoint(entered[i].second + 5, bar->ClientToScreen(wxPoint(0, y)).y);
        return wxPoint(-1, -1);
    }
    // Screen point of a notebook tab.
    static wxPoint TabPoint(wxNotebook* book, int page) {
        for (int y = 2; y < 40; y += 2)
            for (int x = 2; x < book->GetClientSize().x; x += 4)
                if (book->HitTest(wxPoint(x, y)) == page) return book->ClientToScreen(wxPoint(x + 8, y + 4));
        return wxPoint(-1, -1);
    }
    // Clicks an item of doc's tree until the pane of that kind shows it (a moveable's with its
    // 3D view).
    static bool ShowItem(CLithoscopeDoc* doc, const wxTreeItemId& item, int kind) {
        CFileTree& tree = *TreeOf(doc);
        return Drive(At(ScreenPoint(tree, item)) + " click 1", [&] {
            auto* gfx = dynamic_cast<CEditGfxBase*>(PaneOf(doc));
            return FrameOf(doc)->GetEditPane() == kind && tree.GetSelection() == item &&
                   (kind != EditPaneMoveable || (gfx && gfx->GetGlWindow()));
        });
    }
    // The moveable toolbox of doc on the screen (the toolbar's button shows it when it is
    // hidden), the page of that tab in front (-1: as it is).
    static CToolbox2Moveable* ShownMoveableToolbox(CLithoscopeDoc* doc, int tab) {
        auto* toolbox = dynamic_cast<CToolbox2Moveable*>(FrameOf(doc)->GetToolboxView(EditPaneMoveable));
        if (!toolbox) return nullptr;
        Pump(300);
        const bool shown = toolbox->IsShownOnScreen() ||
                           Drive(At(ToolPoint(App().GetMainFrame()->GetToolBar(), ID_VIEW_TOOLBOX)) + " click 1",
                                 [&] { return toolbox->IsShownOnScreen(); });
        EXPECT_TRUE(shown);
        EXPECT_TRUE(tab < 0 || Drive(At(TabPoint(toolbox->GetSheet(), tab)) + " click 1", [&] {
                        return toolbox->GetSheet()->GetPage(size_t(tab))->IsShownOnScreen();
                    }));
        return toolbox;
    }
    // Titles of the child frames that show doc.
    static std::vector<std::string> Titles(CLithoscopeDoc* doc) {
        std::vector<std::string> out;
        for (wxObject* o : doc->GetViews())
            if (auto* v = dynamic_cast<wxView*>(o); v && v->GetFrame())
                out.push_back(v->GetFrame()->GetLabel().utf8_string());
        return out;
    }
    static bool Shows(const wxTextCtrl* edit, const std::string& text) { return edit->GetValue().utf8_string() == text; }
};

TEST_F(Values, AnimationPageValuesStickOrAreRefusedAndNoAnimationEmptiesThem) {
    const std::string path = RealLevel(0, [](CTrLevel& l) { return AnimatedMoveable(l) >= 0; });
    if (path.empty()) GTEST_SKIP() << "no real level with an animated moveable";
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    const int mi = AnimatedMoveable(doc->m_level);
    CTrMvb& mvb = *doc->m_level.moveableList[size_t(mi)];
    const wxTreeItemId moveables = CollectionItem(*tree, HandleTypeMoveables);
    tree->Expand(moveables);
    const wxTreeItemId item = FindChild(*tree, moveables, [&](CHandleBase* n) {
        auto* node = dynamic_cast<CHandleMoveable*>(n);
        return node && node->Moveable() == &mvb;
    });
    ASSERT_TRUE(item.IsOk());

    // Select the moveable, show the toolbox, open its Animation page: nothing is modified.
    EXPECT_TRUE(ShowItem(doc, item, EditPaneMoveable));
    CToolbox2Moveable* toolbox = ShownMoveableToolbox(doc, 1);
    ASSERT_NE(toolbox, nullptr);
    CTlboxMoveableAnim* page = toolbox->GetAnimPage();
    ASSERT_TRUE(page->IsShownOnScreen());
    const std::vector<CTlboxEdit*> edits = page->ValueEdits();
    CTlboxEdit *stateId = edits[0], *speedLow = edits[3], *speed = edits[4], *acceleration = edits[5];

    // F6 twice from the 3D view: the second animation plays and its values show.
    auto* pane = dynamic_cast<CEditMoveable*>(PaneOf(doc));
    ASSERT_NE(pane, nullptr);
    const std::string f6 = At(Centre(pane)) + " click 1 sleep 0.3 key F6 sleep 0.6 key F6 sleep 0.6";
    EXPECT_TRUE(Drive(f6, [&] { return page->Logic().GetCurrentAnim() == 2; }));
    CTRAnimTrack& track = *mvb.GetTrack(1);
    const int16_t speedBefore = int16_t(track.speedHigh);
    EXPECT_TRUE(Shows(speed, std::to_string(speedBefore)));
    EXPECT_TRUE(Shows(stateId, std::to_string(track.stateId)));
    // Tabbing through the values changes nothing.
    EXPECT_TRUE(Drive(At(Centre(stateId)) + " click 1 sleep 0.2 key Tab sleep 0.2 key Tab sleep 0.2 key Tab sleep 0.2"));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_TRUE(g_messages.shown().empty());

    // Return and Tab commit what was typed: the track holds it and the edit keeps showing it.
    const int newSpeed = speedBefore == 20 ? 21 : 20;
    EXPECT_TRUE(Drive(TypeInto(speed, std::to_string(newSpeed), "Return"), [&] { return track.speedHigh == newSpeed; }));
    EXPECT_TRUE(Shows(speed, std::to_string(newSpeed)));
    const int newState = (track.stateId + 1) & 0xFFFF;
    EXPECT_TRUE(Drive(TypeInto(stateId, std::to_string(newState), "Tab"), [&] { return track.stateId == newState; }));
    EXPECT_TRUE(Drive(TypeInto(speedLow, "-5", "Tab"), [&] { return track.speedLow == -5; }));
    EXPECT_TRUE(Drive(TypeInto(acceleration, "1.5", "Return"), [&] { return track.acceleration == 1.5f; }));
    Pump(300);
    EXPECT_TRUE(Shows(stateId, std::to_string(newState)));
    EXPECT_TRUE(Shows(speedLow, "-5"));
    EXPECT_TRUE(Shows(speed, std::to_string(newSpeed)));
    EXPECT_TRUE(Shows(acceleration, "1.500000"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(g_messages.shown().empty());
    Shot("animation-page.png");

    // What a level can't hold is refused with a message; the track and the edit keep the value.
    const std::vector<std::pair<CTlboxEdit*, std::string>> refused = {
        {speed, "70000"}, {speedLow, "40000"}, {acceleration, "40000"}, {stateId, "70000"}};
    for (const auto& [edit, text] : refused) {
        g_messages.clear();
        const std::string before = edit->GetValue().utf8_string();
        EXPECT_TRUE(Drive(TypeInto(edit, text, "Return"), [&] { return !g_messages.shown().empty(); }))
            << "no message for " << text;
        EXPECT_TRUE(Shows(edit, before));
    }
    EXPECT_EQ(track.speedHigh, newSpeed);
    EXPECT_EQ(track.speedLow, -5);
    EXPECT_EQ(track.acceleration, 1.5f);
    EXPECT_EQ(track.stateId, newState);
    EXPECT_EQ(g_messages.shown().back().caption, "Lithoscope");

    // The values stay with the animation: another one and back shows them again.
    EXPECT_TRUE(Drive(At(Centre(pane)) + " click 1 sleep 0.3 key F5 sleep 0.6 key F6 sleep 0.6",
                      [&] { return page->Logic().GetCurrentAnim() == 2; }));
    Pump(300);
    EXPECT_TRUE(Shows(speed, std::to_string(newSpeed)));
    EXPECT_TRUE(Shows(acceleration, "1.500000"));

    // F5 back to "No animation": the page shows what a newly bound moveable shows, and the
    // frame counter stays empty.
    EXPECT_TRUE(Drive(At(Centre(pane)) + " click 1 sleep 0.3 key F5 sleep 0.6 key F5 sleep 0.6",
                      [&] { return page->Logic().GetCurrentAnim() == 0; }));
    Pump(800);
    EXPECT_EQ(page->GetAnimationList()->GetSelection(), 0);
    std::vector<std::string> shownTexts;
    for (CTlboxEdit* e : edits) shownTexts.push_back(e->GetValue().utf8_string());
    EXPECT_EQ(shownTexts, (std::vector<std::string>{"", "0", "0", "", "", ""}));
    EXPECT_EQ(page->Logic().FrameText(), "");
    EXPECT_EQ(page->Logic().CurrentAnimText(), "");
    Shot("no-animation.png");
}

// Every F5 or F6 press steps the animation once, whichever pane has the focus: the 3D
// view, the toolbox (a text field too) or the tree; F6 and Shift+F6 move the focus on.
TEST_F(Values, F5AndF6StepTheAnimationOncePerPressWhereverTheFocusIs) {
    auto lara = [](const CTrLevel& l) { return !l.moveableList.empty() && l.moveableList[0]->animationCount() >= 2; };
    const std::string path = RealLevel(2, lara);
    if (path.empty()) GTEST_SKIP() << "no real Tomb Raider II level with an animated Lara";
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    tree->Expand(CollectionItem(*tree, HandleTypeMoveables));
    ASSERT_TRUE(ShowItem(doc, FirstChildItem(*tree, tree->m_pMoveablesNode), EditPaneMoveable));
    CChildFrame* frame = FrameOf(doc);
    CToolbox2Moveable* toolbox = ShownMoveableToolbox(doc, 1);
    ASSERT_NE(toolbox, nullptr);
    CTlboxMoveableAnim* page = toolbox->GetAnimPage();
    ASSERT_TRUE(page->IsShownOnScreen());
    ASSERT_EQ(page->GetAnimationList()->GetSelection(), 0);

    const int count = doc->m_level.moveableList[0]->animationCount();
    const wxWindow* panes[3] = {frame->GetOuterSplitter()->GetPaneWindow(0), PaneOf(doc), toolbox};
    auto focusedPane = [&] {
        for (const wxWindow* w = wxWindow::FindFocus(); w; w = w->GetParent())
            for (int i = 0; i < 3; ++i)
                if (w == panes[i]) return i;
        return -1;
    };
    // One press, about as far from the last as a user's; then the selection and the pane
    // that has the focus.
    int expected = 0;
    auto press = [&](const std::string& key) {
        expected = key == "F5" ? std::max(expected - 1, 0) : std::min(expected + 1, count);
        Drive("key " + key + " sleep 0.3", [&] { return page->GetAnimationList()->GetSelection() == expected; });
        Pump(100);
        return page->GetAnimationList()->GetSelection();
    };

    // Ten times F6 from the 3D view: the focus goes round the panes, each press steps.
    ASSERT_TRUE(Drive(At(Centre(PaneOf(doc))) + " click 1 sleep 0.3", [&] { return focusedPane() == 1; }));
    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(press("F6"), expected) << "press " << i;
        EXPECT_EQ(focusedPane(), (1 + i) % 3) << "press " << i;
    }
    EXPECT_EQ(expected, std::min(10, count));
    EXPECT_EQ(page->GetAnimationList()->GetStringSelection().utf8_string(), StrFormat("Animation #%.3d", expected));
    Shot("f6-ten-presses.png");
    // Shift+F6 goes back a pane; it is an F6 press too.
    EXPECT_EQ(press("shift+F6"), expected);
    EXPECT_EQ(focusedPane(), 1);

    // F5 in a text field of the toolbox: it types nothing there and steps back.
    CTlboxEdit* stateId = page->ValueEdits()[0];
    ASSERT_TRUE(Drive(At(Centre(stateId)) + " click 1 sleep 0.3", [&] { return wxWindow::FindFocus() == stateId; }));
    for (int i = 1; i <= 3; ++i) EXPECT_EQ(press("F5"), expected) << "F5 " << i << " in the text field";
    EXPECT_EQ(wxWindow::FindFocus(), stateId);
    // F6 from there to the tree, F5 in the tree.
    EXPECT_EQ(press("F6"), expected);
    EXPECT_EQ(focusedPane(), 0);
    for (int i = 1; i <= 2; ++i) EXPECT_EQ(press("F5"), expected) << "F5 " << i << " in the tree";
    EXPECT_EQ(page->Logic().GetCurrentAnim(), expected);
    EXPECT_FALSE(doc->IsModified());
}

// What a view shows follows the edit at once: the reason a level is refused, the splitter
// sizes a closed window leaves, a moveable's, static mesh's and sprite's tree label after
// an Object Id edit, the whole name on the moveable's Main page, and the extents of a
// moveable whose meshes were cleared.
TEST_F(Values, ViewsFollowTheEditAtOnce) {
    const std::string real = RealLevel(2, [](CTrLevel& l) {
        return l.moveableList.size() > 2 && !l.staticMeshList.empty() && !l.spriteList.empty();
    });
    if (real.empty()) GTEST_SKIP() << "no real Tomb Raider II level with static meshes and sprites";
    CMainFrame* main = App().GetMainFrame();
    auto documents = [] { return App().GetDocManager()->GetDocuments().size(); };
    std::string chosen;
    SetOpenFileChooser([&](const std::string&) { return chosen; });
    const std::string ctrlO = At(Inside(main, 200, 200)) + " click 1 sleep 0.3 key ctrl+o sleep 0.5";

    // A cut level: the box says why below "Unknown file type !", as the log does.
    std::vector<uint8_t> bytes = test::ReadFileBytes(real);
    bytes.resize(bytes.size() / 2);
    chosen = dir_.file("cut.tr2");
    test::WriteFileBytes(chosen, bytes);
    g_messages.clear();
    EXPECT_TRUE(Drive(ctrlO, [&] { return !g_messages.shown().empty(); }));
    ASSERT_FALSE(g_messages.shown().empty());
    const std::string& text = g_messages.shown()[0].text;
    EXPECT_EQ(text.substr(0, text.find('\n')), "Unknown file type !");
    EXPECT_EQ(text.substr(text.find('\n') + 1), LevelLog().refusal);
    EXPECT_EQ(LevelLog().refusal.rfind("Level not read: ", 0), 0u) << text;
    EXPECT_EQ(documents(), 0u);

    // A window opened and closed at once leaves sizes that read back as sizes.
    chosen = real;
    g_messages.clear();
    EXPECT_TRUE(Drive(ctrlO, [&] { return documents() == 1; }));
    EXPECT_TRUE(Drive(At(Inside(main, 200, 200)) + " click 1 sleep 0.3 key alt+f sleep 0.6 key c",
                      [&] { return documents() == 0; }));
    for (const char* entry : {"Panes_0", "Panes_1"}) {
        int hiddenColumn = 0, size0 = -1, hiddenRow = 0, size1 = -1;
        const std::string sizes = GetProfileString("SplitterWnd", entry, "");
        EXPECT_EQ(std::sscanf(sizes.c_str(), "%d %d %d %d", &hiddenColumn, &size0, &hiddenRow, &size1), 4) << sizes;
        EXPECT_TRUE(size0 >= 0 && size1 >= 0) << entry << "=" << sizes;
    }

    CLithoscopeDoc* doc = Open(real);
    ASSERT_NE(doc, nullptr);
    g_messages.clear();  // what the load said of the level
    CFileTree* tree = TreeOf(doc);
    CTrLevel& level = doc->m_level;
    CGameCatalog& catalog = App().m_catalog;
    const int game = CGameCatalog::GameIndexFromVersion(level.version);
    // Clicks item n of a collection; the pane of that kind shows it.
    auto show = [&](int32_t collection, size_t n, int kind) {
        const wxTreeItemId parent = CollectionItem(*tree, collection);
        tree->Expand(parent);
        size_t i = 0;
        const wxTreeItemId item = FindChild(*tree, parent, [&](CHandleBase* node) { return node && i++ == n; });
        EXPECT_TRUE(ShowItem(doc, item, kind));
        Pump(300);
        return item;
    };

    // A moveable that borrows its body takes the id whose catalog name is the longest one
    // that no moveable of the level has.
    size_t mi = 1;
    while (mi < level.moveableList.size() && level.moveableList[mi]->useBodyFrom == -1) ++mi;
    if (mi == level.moveableList.size()) mi = 1;
    CTrMvb& mvb = *level.moveableList[mi];
    const wxTreeItemId mvbItem = show(HandleTypeMoveables, mi, EditPaneMoveable);
    CToolbox2Moveable* toolbox = ShownMoveableToolbox(doc, 0);
    ASSERT_NE(toolbox, nullptr);
    CTlboxMoveableMain* page = toolbox->GetMainPage();
    int32_t longest = -1;
    std::string longName;
    for (int32_t id = 0; id < 400; ++id) {
        const std::string name = catalog.GetMoveableEntry(game, level.name, id)->name;
        if (name.size() > longName.size() && !level.FindMoveable(id)) {
            longest = id;
            longName = name;
        }
    }
    EXPECT_TRUE(Drive(TypeInto(page->GetObjectIdEdit(), std::to_string(longest), "Tab"),
                      [&] { return mvb.objectId == longest; }));
    Pump(300);
    const auto entry = catalog.GetMoveableEntry(game, level.name, longest);
    EXPECT_EQ(tree->GetItemText(mvbItem).utf8_string(), longName);
    EXPECT_EQ(tree->GetItemImage(mvbItem), entry->icon);
    EXPECT_EQ(mvb.useBodyFrom, entry->useBodyFrom);
    EXPECT_EQ(page->Logic().RealMeshesEnabled(), entry->useBodyFrom != -1);
    // The Name field shows all of it.
    CTlboxName* name = page->GetNameText();
    EXPECT_EQ(name->GetLabelText().utf8_string(), longName);
    EXPECT_GE(name->GetSize().x, name->GetTextExtent(name->GetLabelText()).x);
    Shot("main-page-long-name.png");

    // Clear meshes of a moveable without dummies: no mesh is left, whose extents are 0,0,0.
    auto solid = [](const CTrMvb& m) {
        return !m.meshes.empty() && std::none_of(m.meshes.begin(), m.meshes.end(), [](const TrMeshRecord& r) {
            return r.dummy || r.vertices.empty();
        });
    };
    size_t ci = 1;
    while (ci < level.moveableList.size() && (ci == mi || !solid(*level.moveableList[ci]))) ++ci;
    ASSERT_LT(ci, level.moveableList.size());
    CTrMvb& clear = *level.moveableList[ci];
    const wxTreeItemId clearItem = show(HandleTypeMoveables, ci, EditPaneMoveable);
    EXPECT_NE(page->Logic().ExtentsText(), "0,0,0");
    auto cleared = [&] {
        return std::all_of(clear.meshes.begin(), clear.meshes.end(), [](const TrMeshRecord& m) { return m.vertices.empty(); });
    };
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, clearItem)) + " click 3 sleep 0.8 key Down sleep 0.2 key Return", cleared));
    Pump(300);
    EXPECT_EQ(page->Logic().ExtentsText(), "0,0,0");
    EXPECT_EQ(page->GetExtentsText()->GetLabelText().utf8_string(), "0,0,0");

    // A static mesh and a sprite take another id: their labels follow.
    for (const bool mesh : {true, false}) {
        SCOPED_TRACE(mesh ? "static mesh" : "sprite");
        int32_t& id = mesh ? level.staticMeshList[0]->objectId : level.spriteList[0]->objectId;
        auto caption = [&](int32_t n) {
            if (mesh) {
                const CatalogStaticMeshEntry e = catalog.GetStaticMeshEntry(game, level.name, n);
                return CatalogCaption{e.name, e.icon};
            }
            const CatalogSpriteEntry e = catalog.GetSpriteEntry(game, level.name, n);
            return CatalogCaption{e.name, e.icon};
        };
        const int kind = mesh ? EditPaneMesh : EditPaneSprite;
        const wxTreeItemId item = show(mesh ? HandleTypeStaticMeshes : HandleTypeSprites, 0, kind);
        auto* view = FrameOf(doc)->GetToolboxView(kind);
        CTlboxEdit* edit = mesh ? dynamic_cast<CToolbox2Mesh*>(view)->GetMeshPage()->GetObjectIdEdit()
                                : dynamic_cast<CToolbox2Sprite*>(view)->GetSpritePage()->GetObjectIdEdit();
        const std::string before = tree->GetItemText(item).utf8_string();
        int32_t other = id + 1;
        while (caption(other).text == before) ++other;
        EXPECT_TRUE(Drive(TypeInto(edit, std::to_string(other), "Tab"), [&] { return id == other; }));
        Pump(200);
        EXPECT_EQ(tree->GetItemText(item).utf8_string(), caption(other).text);
        EXPECT_EQ(tree->GetItemImage(item), caption(other).icon);
    }
    EXPECT_TRUE(g_messages.shown().empty()) << g_messages.shown()[0].text;
}

// The "State changes" and "Anim commands" lists show the playing animation's rows each
// time an animation starts: after "No animation", after another moveable, and after a save,
// when the saved moveable is clicked again.
TEST_F(Values, TrackListsFollowThePlayingAnimationAndTheSavedNodeShowsAgain) {
    // Lara, whose first animation has state changes and commands.
    auto laraTrack = [](const CTrLevel& l) { return l.moveableList.size() > 1 ? l.moveableList[0]->GetTrack(0) : nullptr; };
    const std::string path = RealLevel(2, [&](CTrLevel& l) {
        return laraTrack(l) && laraTrack(l)->GetTotalRangeCount() > 0 && !laraTrack(l)->commands.empty();
    });
    if (path.empty()) GTEST_SKIP() << "no real Tomb Raider II level whose Lara has state changes";
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    tree->Expand(CollectionItem(*tree, HandleTypeMoveables));
    // The item of moveable n, found anew (a save rebuilds the items); a click on it.
    auto item = [&](size_t n) {
        CTrMvb* mvb = doc->m_level.moveableList[n].get();
        return FindChild(*tree, tree->m_pMoveablesNode->GetItem(), [mvb](CHandleBase* node) {
            return node && node->GetObject() == mvb;
        });
    };
    auto click = [&](size_t n) { return ShowItem(doc, item(n), EditPaneMoveable); };
    ASSERT_TRUE(click(0));
    CToolbox2Moveable* toolbox = ShownMoveableToolbox(doc, -1);
    ASSERT_NE(toolbox, nullptr);
    CMainFrame* main = App().GetMainFrame();

    const CTRAnimTrack& first = *laraTrack(doc->m_level);
    CTlboxTrackPage* pages[2] = {toolbox->GetStateChangesPage(), toolbox->GetCommandsPage()};
    const int rows[2] = {int(first.GetTotalRangeCount()), int(first.commands.size())};
    // F5 or F6 pressed in the 3D view; then the rows the page's list shows.
    auto press = [&](const std::string& key, int page) {
        Drive(At(Centre(PaneOf(doc))) + " click 1 sleep 0.3 key " + key + " sleep 0.6");
        Pump(300);
        return pages[page]->GetList()->GetItemCount();
    };
    for (int page = 0; page < 2; ++page) {
        SCOPED_TRACE(page == 0 ? "State changes" : "Anim commands");
        EXPECT_TRUE(Drive(At(TabPoint(toolbox->GetSheet(), page + 2)) + " click 1",
                          [&] { return pages[page]->IsShownOnScreen(); }));
        for (const char* key : {"F5", "F6", "F5", "F6"}) EXPECT_EQ(press(key, page), key[1] == '5' ? 0 : rows[page]);
        // Another moveable and back.
        ASSERT_TRUE(click(1));
        ASSERT_TRUE(click(0));
        EXPECT_EQ(press("F6", page), rows[page]);
    }

    // Saved: the pane is the empty one; the moveable's new item shows it again when clicked.
    std::string saved = dir_.file("saved" + path.substr(path.rfind('.')));
    SetSaveFileChooser([&](const SaveFileRequest&) { return saved; });
    const wxPoint save = ToolPoint(main->GetToolBar(), wxID_SAVE);
    EXPECT_TRUE(Drive(At(save) + " click 1", [&] { return FileExists(saved); }));
    Pump(500);
    EXPECT_EQ(FrameOf(doc)->GetEditPane(), EditPaneEmpty);
    ASSERT_TRUE(click(0));
    EXPECT_EQ(press("F6", 1), rows[1]);
    Shot("anim-commands-after-save.png");

    // A node the save keeps stays selected: a click on it shows it again.
    const wxTreeItemId sounds = CollectionItem(*tree, HandleTypeSounds);
    auto showsSounds = [&] { return FrameOf(doc)->GetEditPane() == EditPaneSounds; };
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, sounds)) + " click 1", showsSounds));
    saved = dir_.file("again" + path.substr(path.rfind('.')));
    EXPECT_TRUE(Drive(At(save) + " click 1", [&] { return FileExists(saved); }));
    Pump(500);
    EXPECT_EQ(FrameOf(doc)->GetEditPane(), EditPaneEmpty);
    EXPECT_EQ(tree->GetSelection(), sounds);
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, sounds)) + " click 1", showsSounds));
}

TEST_F(Values, SaveIsAlwaysASaveAsWhoseNameEveryWindowShows) {
    const std::string path = RealLevel(2, [](CTrLevel& l) { return !l.moveableList.empty(); });
    if (path.empty()) GTEST_SKIP() << "no real Tomb Raider II level";
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    EXPECT_FALSE(doc->IsModified());
    CMainFrame* main = App().GetMainFrame();
    Pump(300);
    EXPECT_TRUE(main->GetToolBar()->GetToolEnabled(wxID_SAVE));

    // The toolbar's Save on an unmodified level: the save dialog, then the level under its
    // new name, in the title and the tree.
    std::vector<std::string> asked;
    std::string answer = dir_.file("renamed.tr2");
    SetSaveFileChooser([&](const SaveFileRequest& r) {
        asked.push_back(r.initialPath);
        return answer;
    });
    const wxPoint save = ToolPoint(main->GetToolBar(), wxID_SAVE);
    ASSERT_GE(save.x, 0);
    EXPECT_TRUE(Drive(At(save) + " click 1", [&] { return FileExists(answer); }));
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0], path);
    Pump(300);
    EXPECT_EQ(FromWx(doc->GetFilename()), answer);
    EXPECT_EQ(tree->GetItemText(tree->GetRootItem()).utf8_string(), "renamed");
    EXPECT_EQ(Titles(doc), std::vector<std::string>{"renamed.tr2"});
    EXPECT_FALSE(doc->IsModified());

    // Ctrl+S from the tree: the dialog again; Cancel writes nothing.
    answer.clear();
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, tree->GetRootItem())) + " click 1 sleep 0.3 key ctrl+s",
                      [&] { return asked.size() == 2; }));
    EXPECT_EQ(asked.back(), dir_.file("renamed.tr2"));

    // A second window from Window > New Window; a change in the first marks both.
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, tree->GetRootItem())) + " click 1 sleep 0.3 key alt+w sleep 0.6 key n",
                      [&] { return doc->GetViews().size() == 2; }));
    CFileTree* second = dynamic_cast<CFileTree*>(dynamic_cast<CLithoscopeView*>(doc->GetViews().back())->GetTree());
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->GetItemText(second->GetRootItem()).utf8_string(), "renamed");
    FrameOf(doc)->Activate();
    Pump(400);
    const wxTreeItemId moveables = CollectionItem(*tree, HandleTypeMoveables);
    tree->Expand(moveables);
    const size_t count = doc->m_level.moveableList.size();
    g_messages.Answer(MsgAnswer::Yes);
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, FindChild(*tree, moveables, [](CHandleBase* n) { return n != nullptr; }))) +
                          " click 3 sleep 0.8 key Down Down Down sleep 0.2 key Return",
                      [&] { return doc->m_level.moveableList.size() == count - 1; }));
    Pump(300);
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Titles(doc), (std::vector<std::string>{"renamed.tr2*", "renamed.tr2*"}));
    Shot("two-windows-modified.png");

    // Saved under a third name: both windows drop the mark and show the name.
    answer = dir_.file("third.tr2");
    EXPECT_TRUE(Drive(At(save) + " click 1", [&] { return FileExists(answer); }));
    Pump(300);
    EXPECT_EQ(Titles(doc), (std::vector<std::string>{"third.tr2", "third.tr2"}));
    EXPECT_EQ(tree->GetItemText(tree->GetRootItem()).utf8_string(), "third");
    EXPECT_EQ(second->GetItemText(second->GetRootItem()).utf8_string(), "third");
}

TEST_F(Values, RecentFilesKeepAbsolutePathsThatOpenFromAnotherFolder) {
    const std::string path = RealLevel(0, [](CTrLevel&) { return true; });
    if (path.empty()) GTEST_SKIP() << "no real level";
    char cwd[PATH_MAX];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    const std::string folder = path.substr(0, path.rfind('/'));
    const std::string name = FileNameOf(path);
    ASSERT_EQ(chdir(folder.c_str()), 0);
    // Ctrl+O, the file chosen by its relative name.
    SetOpenFileChooser([&](const std::string&) { return name; });
    CMainFrame* main = App().GetMainFrame();
    auto docs = [] { return App().GetDocManager()->GetDocuments().size(); };
    EXPECT_TRUE(Drive(At(Inside(main, 200, 200)) + " click 1 sleep 0.3 key ctrl+o", [&] { return docs() == 1; }));
    ASSERT_EQ(docs(), 1u);
    auto* doc = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->GetDocuments().front());
    EXPECT_EQ(FromWx(doc->GetFilename()), path);
    const std::vector<std::string> recent = LoadRecentFiles();
    ASSERT_FALSE(recent.empty());
    EXPECT_EQ(recent.front(), path);

    // Closed, then opened again from File > 1 while the editor works in another folder.
    App().GetDocManager()->CloseDocuments(true);
    Pump(300);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    EXPECT_TRUE(Drive(At(Inside(main, 200, 200)) + " click 1 sleep 0.3 key alt+f sleep 0.6 key 1",
                      [&] { return docs() == 1; }));
    EXPECT_EQ(chdir(cwd), 0);
    ASSERT_EQ(docs(), 1u);
    doc = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->GetDocuments().front());
    EXPECT_TRUE(doc->m_bLoaded);
    EXPECT_EQ(FromWx(doc->GetFilename()), path);
    EXPECT_TRUE(g_messages.shown().empty());
}

// The sound pane of a level: each edit takes what its field holds, says so when it refuses,
// and only a change marks the level.
struct SoundCase {
    int version;
    int volume;          // accepted
    int refusedVolume;   // refused
    std::string message;
    int pitch;           // accepted
};

TEST_F(Values, SoundPaneTakesWhatEachEditionStoresAndSaysSoOtherwise) {
    const std::vector<SoundCase> cases = {
        {2, 20000, 40000, "Please enter an integer between -32768 and 32767.", -128},
        {4, 200, 300, "Please enter an integer between 0 and 255.", -128},
    };
    int tried = 0;
    for (const SoundCase& c : cases) {
        SCOPED_TRACE("version " + std::to_string(c.version));
        const std::string path = RealLevel(c.version, [](CTrLevel& l) { return l.soundList && l.soundList->size() >= 2; });
        if (path.empty()) continue;
        ++tried;
        CLithoscopeDoc* doc = Open(path);
        ASSERT_NE(doc, nullptr);
        CFileTree* tree = TreeOf(doc);
        const wxTreeItemId sounds = CollectionItem(*tree, HandleTypeSounds);
        ASSERT_TRUE(sounds.IsOk());
        EXPECT_TRUE(Drive(At(ScreenPoint(*tree, sounds)) + " click 1",
                          [&] { return dynamic_cast<CEditSounds*>(PaneOf(doc)) != nullptr; }));
        auto* pane = dynamic_cast<CEditSounds*>(PaneOf(doc));
        ASSERT_NE(pane, nullptr);
        auto* used = dynamic_cast<wxListBox*>(pane->FindWindow(1109));
        auto* volume = dynamic_cast<wxTextCtrl*>(pane->FindWindow(1120));
        auto* range = dynamic_cast<wxTextCtrl*>(pane->FindWindow(1119));
        auto* pitch = dynamic_cast<wxTextCtrl*>(pane->FindWindow(1117));
        ASSERT_TRUE(used && volume && range && pitch);
        const int k = pane->Model().Used().front();
        const TrSoundRecord* record = doc->m_level.soundList->Find(k);
        ASSERT_NE(record, nullptr);

        // The first used sound; its values shown, clicking through them changes nothing.
        EXPECT_TRUE(Drive(At(Inside(used, 20, 8)) + " click 1", [&] { return used->GetSelection() == 0; }));
        SoundDetails shown;
        ASSERT_TRUE(pane->Model().GetDetails(k, shown));
        EXPECT_TRUE(Shows(volume, std::to_string(shown.volume)));
        EXPECT_TRUE(Drive(At(Centre(volume)) + " click 1 sleep 0.2 " + At(Centre(range)) + " click 1 sleep 0.2 " +
                          At(Centre(pitch)) + " click 1 sleep 0.3"));
        EXPECT_FALSE(doc->IsModified());

        // Out of the field: the message, with its caption; the edit shows the stored value.
        g_messages.clear();
        EXPECT_TRUE(Drive(TypeInto(volume, std::to_string(c.refusedVolume), "Tab") + " " + At(Centre(range)) +
                              " click 1 sleep 0.3",
                          [&] { return !g_messages.shown().empty(); }));
        ASSERT_FALSE(g_messages.shown().empty());
        EXPECT_EQ(g_messages.shown()[0].text, c.message);
        EXPECT_EQ(g_messages.shown()[0].caption, "Lithoscope");
        EXPECT_TRUE(Shows(volume, std::to_string(shown.volume)));
        EXPECT_FALSE(doc->IsModified());

        // Within it: stored, and shown again when the sound is selected again.
        g_messages.clear();
        EXPECT_TRUE(Drive(TypeInto(volume, std::to_string(c.volume), "Tab") + " " + At(Centre(range)) +
                          " click 1 sleep 0.2 " + TypeInto(pitch, std::to_string(c.pitch), "Tab") + " " +
                          At(Centre(range)) + " click 1 sleep 0.3"));
        SoundDetails now;
        ASSERT_TRUE(pane->Model().GetDetails(k, now));
        EXPECT_EQ(now.volume, c.volume);
        EXPECT_EQ(now.pitch, c.pitch);
        EXPECT_TRUE(doc->IsModified());
        EXPECT_TRUE(g_messages.shown().empty()) << g_messages.shown()[0].text;
        EXPECT_TRUE(Drive(At(Inside(used, 20, 8 + used->GetCharHeight() + 6)) + " click 1 sleep 0.3 " +
                          At(Inside(used, 20, 8)) + " click 1 sleep 0.3",
                          [&] { return used->GetSelection() == 0; }));
        EXPECT_TRUE(Shows(volume, std::to_string(c.volume)));
        EXPECT_TRUE(Shows(pitch, std::to_string(c.pitch)));
        Shot("sound-pane-" + std::to_string(c.version) + ".png");
        App().GetDocManager()->CloseDocuments(true);
        Pump(300);
    }
    if (tried == 0) GTEST_SKIP() << "no real level with sounds";
}

// The sound pane's fields always belong to the row they show: rows removed, added and
// selected by clicks and keys, each followed by a field left with Tab, change nothing but
// the sounds removed.
TEST_F(Values, SoundFieldsFollowTheSelectedRowAsRowsComeAndGo) {
    auto enough = [](CTrLevel& l) { return l.soundList && l.soundList->size() >= 4; };
    std::string path = RealLevel(2, enough);
    if (path.empty()) path = RealLevel(3, enough);
    if (path.empty()) GTEST_SKIP() << "no Tomb Raider II or III level with sounds";
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    EXPECT_TRUE(Drive(At(ScreenPoint(*tree, CollectionItem(*tree, HandleTypeSounds))) + " click 1",
                      [&] { return dynamic_cast<CEditSounds*>(PaneOf(doc)) != nullptr; }));
    auto* pane = dynamic_cast<CEditSounds*>(PaneOf(doc));
    ASSERT_NE(pane, nullptr);
    auto* used = dynamic_cast<wxListBox*>(pane->FindWindow(1109));
    auto* catalog = dynamic_cast<wxListBox*>(pane->FindWindow(1110));
    std::vector<wxTextCtrl*> edits;  // samples, volume, range, loop, pitch, chance
    for (int id : {1118, 1120, 1119, 1121, 1117, 1147}) edits.push_back(dynamic_cast<wxTextCtrl*>(pane->FindWindow(id)));
    ASSERT_TRUE(used && catalog && std::count(edits.begin(), edits.end(), nullptr) == 0);
    const CSoundPaneModel& model = pane->Model();
    g_messages.clear();
    const std::string add = At(Centre(pane->FindWindow(1111))) + " click 1 sleep 0.4 ";
    const std::string remove = At(Centre(pane->FindWindow(1112))) + " click 1 sleep 0.4 ";
    // A click in the list (on whatever row shows first), then Home.
    const std::string firstRow = At(Inside(used, 20, 8)) + " click 1 sleep 0.3 key Home sleep 0.3 ";
    auto tabOutOf = [&](int edit) { return At(Centre(edits[size_t(edit)])) + " click 1 sleep 0.2 key Tab sleep 0.3 "; };
    // The fields show the selected row's values, or nothing (disabled) without one.
    auto showsSelected = [&](const char* step) {
        SCOPED_TRACE(step);
        const int row = used->GetSelection();
        if (row == wxNOT_FOUND) {
            for (wxTextCtrl* e : edits) EXPECT_TRUE(Shows(e, "") && !e->IsEnabled());
            return;
        }
        SoundDetails d;
        ASSERT_TRUE(model.GetDetails(model.Used()[size_t(row)], d));
        const int values[] = {d.samples, d.volume, d.range, d.loop, d.pitch, d.chance};
        for (size_t i = 0; i < edits.size(); ++i) EXPECT_TRUE(Shows(edits[i], std::to_string(values[i]))) << i;
    };
    std::vector<int> removed;
    showsSelected("no row selected yet");

    // The last row goes; the row above comes up; Chance left with Tab.
    EXPECT_TRUE(Drive(firstRow + "key End sleep 0.3", [&] { return used->GetSelection() + 1 == int(used->GetCount()); }));
    showsSelected("End");
    removed.push_back(model.Used().back());
    EXPECT_TRUE(Drive(remove, [&] { return model.Record(removed.back()) == nullptr; }));
    showsSelected("<< of the last row");
    EXPECT_TRUE(Drive(tabOutOf(5)));
    // A catalog sound comes in and goes again, from the end of the list.
    const int added = model.Available().front();
    EXPECT_TRUE(Drive(At(Inside(catalog, 20, 8)) + " click 1 sleep 0.3 " + add, [&] { return model.Record(added) != nullptr; }));
    showsSelected(">>");
    EXPECT_TRUE(Drive(tabOutOf(1) + firstRow + "key End sleep 0.3 " + tabOutOf(4)));
    showsSelected("End onto the added row");
    EXPECT_TRUE(Drive(firstRow + "key End sleep 0.3 " + remove, [&] { return model.Record(added) == nullptr; }));
    showsSelected("<< of the added row");
    // A row in the middle goes; the one after it comes up.
    EXPECT_TRUE(Drive(tabOutOf(5) + firstRow + "key Down sleep 0.3", [&] { return used->GetSelection() == 1; }));
    removed.push_back(model.Used()[1]);
    EXPECT_TRUE(Drive(remove, [&] { return model.Record(removed.back()) == nullptr; }));
    showsSelected("<< of the second row");
    EXPECT_TRUE(Drive(tabOutOf(4) + tabOutOf(1) + firstRow + "key End sleep 0.3 key Up sleep 0.3"));
    showsSelected("Up");
    Shot("sound-pane-rows.png");
    EXPECT_TRUE(g_messages.shown().empty()) << g_messages.shown()[0].text;

    // Saved, the level is the one loaded with those sounds removed, byte for byte.
    const std::string now = dir_.file("sounds-now.tr2"), then = dir_.file("sounds-then.tr2");
    ASSERT_TRUE(doc->OnSaveDocument(wxString::FromUTF8(now.c_str())));
    CTrLevel fresh;
    ASSERT_TRUE(fresh.Load(path, false, false, &App().m_catalog));
    for (int k : removed) fresh.soundList->Erase(k);
    ASSERT_TRUE(fresh.Save(then, 1, false, false, &App().m_catalog));
    EXPECT_TRUE(test::ReadFileBytes(now) == test::ReadFileBytes(then));
}

}  // namespace

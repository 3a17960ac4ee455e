// Lara of Tomb Raider III and IV, whose mesh slots are placeholders (dummies), selected in
// the tree with real X events: her 3D view shows her skin's body, much as "Lara skin"
// beside her does; the moveable page's "Show real meshes instead of dummy meshes" turns
// it into the dummies' markers and back.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>

#include <wx/app.h>
#include <wx/checkbox.h>

#include "E2eEditor.h"
#include "E2eSession.h"
#include "EditorTestSupport.h"
#include "GlReadback.h"
#include "TestSupport.h"
#include "editor/panes/EditGfx.h"
#include "editor/panes/EditPane.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

// What the GL view shows: which pixels differ from the background, and how many are the
// pure blue of a dummy's marker.
struct Silhouette {
    int width = 0, height = 0;
    std::vector<bool> covered;
    int area = 0, markerBlue = 0;
};

Silhouette Grab(COpenGLWnd& gl) {
    Silhouette s;
    const std::vector<uint8_t> rgb = test::RenderAndRead(gl, &s.width, &s.height);
    const uint8_t* bg = rgb.data();  // a corner shows the background
    s.covered.resize(rgb.size() / 3);
    for (size_t i = 0; i < s.covered.size(); ++i) {
        const uint8_t* p = &rgb[3 * i];
        s.covered[i] = std::abs(p[0] - bg[0]) + std::abs(p[1] - bg[1]) + std::abs(p[2] - bg[2]) > 24;
        s.area += s.covered[i];
        s.markerBlue += p[0] < 40 && p[1] < 40 && p[2] > 200;
    }
    return s;
}

// The covered pixels' bounding box, sampled on a grid of 16 x 48 cells (a cell is covered
// when a third of its pixels are), so that views framed at another scale compare.
std::vector<bool> Shape(const Silhouette& s, double* aspect) {
    int x0 = s.width, y0 = s.height, x1 = -1, y1 = -1;
    for (int y = 0; y < s.height; ++y)
        for (int x = 0; x < s.width; ++x)
            if (s.covered[size_t(y) * size_t(s.width) + size_t(x)]) {
                x0 = std::min(x0, x), x1 = std::max(x1, x);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
    constexpr int kW = 16, kH = 48;
    std::vector<bool> grid(kW * kH, false);
    *aspect = 0;
    if (x1 < 0) return grid;
    const int w = x1 - x0 + 1, h = y1 - y0 + 1;
    *aspect = double(h) / w;
    for (int gy = 0; gy < kH; ++gy)
        for (int gx = 0; gx < kW; ++gx) {
            int in = 0, all = 0;
            for (int y = y0 + gy * h / kH; y < y0 + (gy + 1) * h / kH; ++y)
                for (int x = x0 + gx * w / kW; x < x0 + (gx + 1) * w / kW; ++x, ++all)
                    in += s.covered[size_t(y) * size_t(s.width) + size_t(x)];
            grid[size_t(gy * kW + gx)] = all > 0 && 3 * in >= all;
        }
    return grid;
}

// How alike two views' shapes are: shared cells over the cells of either, 0 when their
// boxes' proportions differ by more than a fifth.
double Likeness(const Silhouette& a, const Silhouette& b) {
    double aspectA = 0, aspectB = 0;
    const std::vector<bool> ga = Shape(a, &aspectA), gb = Shape(b, &aspectB);
    if (aspectA <= 0 || aspectB <= 0 || std::abs(aspectA / aspectB - 1) > 0.2) return 0;
    int both = 0, either = 0;
    for (size_t i = 0; i < ga.size(); ++i) {
        both += ga[i] && gb[i];
        either += ga[i] || gb[i];
    }
    return either ? double(both) / either : 0;
}

// Tomb Raider III and IV files, told by their first word.
bool Tr3OrTr4(const std::string& path) {
    const std::vector<uint8_t> b = test::ReadFileBytes(path);
    if (b.size() < 4) return false;
    const uint32_t w = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    return (w & 0xFF00FFFFu) == 0xFF000038u || (w & 0xFF00FFFFu) == 0xFF000034u || w == 0x00345254;
}

class DummiesEndToEnd : public test::EditorEndToEnd {
protected:
    void SetUp() override {
        if (test::RealLevelsDir().empty()) GTEST_SKIP() << "no real levels";
        // Lara and her skin each without the moveable shown with them (her hair, its
        // joints), as the display options can ask: each view then shows one body.
        App().SetShowAssociatedMoveable(false);
        EditorEndToEnd::SetUp();
    }
    void TearDown() override {
        App().SetShowAssociatedMoveable(true);
        EditorEndToEnd::TearDown();
    }

    static std::string ClickAt(const wxPoint& p) { return At(p) + " sleep 0.2 click 1"; }

    // The moveable node of that object id under the tree's moveables.
    static CHandleMoveable* MoveableNode(CFileTree& tree, int32_t id) {
        tree.Expand(tree.m_pMoveablesNode->GetItem());
        wxTreeItemIdValue cookie;
        const wxTreeItemId parent = tree.m_pMoveablesNode->GetItem();
        for (wxTreeItemId c = tree.GetFirstChild(parent, cookie); c.IsOk(); c = tree.GetNextChild(parent, cookie)) {
            auto* node = dynamic_cast<CHandleMoveable*>(tree.GetNode(c));
            if (node && node->Moveable() && node->Moveable()->objectId == id) return node;
        }
        return nullptr;
    }
    // Clicks the node's text and waits for its moveable pane.
    static CEditGfxBase* ClickNode(CFileTree& tree, CHandleBase* node, CChildFrame& frame) {
        const wxPoint p = ScreenPoint(tree, node->GetItem());
        CEditGfxBase* shown = nullptr;
        EXPECT_TRUE(Drive(ClickAt(p), [&] {
            CEditPaneBase* pane = nullptr;
            frame.GetEditPane(&pane);
            auto* gfx = dynamic_cast<CEditGfxBase*>(pane);
            if (gfx && gfx->GetNode() == node && gfx->GetGlWindow()) shown = gfx;
            return shown != nullptr;
        }));
        Pump(300);
        return shown;
    }
};

// Every Tomb Raider III and IV level: "Lara skin", then Lara, clicked in the tree, each
// drawn in her rest pose (playback stopped) and compared pixel by pixel. On the first such level the
// toolbox is shown from the View menu and the check box clicked off and on again.
TEST_F(DummiesEndToEnd, LaraOfTr3AndTr4ShowsHerSkinsBody) {
    int shown = 0;
    for (const test::RealLevel& file : test::RealLevelFiles()) {
        if (file.unsupported || !Tr3OrTr4(file.path)) continue;
        SCOPED_TRACE(file.path);
        auto* doc = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->CreateDocument(file.path, wxDOC_SILENT));
        ASSERT_NE(doc, nullptr);
        Pump(300);
        ASSERT_GE(doc->m_level.version, TrVersion3);
        CFileTree* tree = dynamic_cast<CFileTree*>(doc->GetLevelView()->GetTree());
        ASSERT_NE(tree, nullptr);
        CChildFrame& frame = *doc->GetLevelView()->GetChildFrame();
        CHandleMoveable* lara = MoveableNode(*tree, 0);
        ASSERT_NE(lara, nullptr);
        CTrMvb& laraMvb = *lara->Moveable();
        CHandleMoveable* skin = MoveableNode(*tree, laraMvb.useBodyFrom);
        ASSERT_NE(skin, nullptr) << "Lara's body " << laraMvb.useBodyFrom;
        const std::string name = file.path.substr(file.path.rfind('/') + 1);

        CEditGfxBase* pane = ClickNode(*tree, skin, frame);
        ASSERT_NE(pane, nullptr);
        pane->GetGlWindow()->StartAnimPlayback(-1);
        const Silhouette body = Grab(*pane->GetGlWindow());
        pane = ClickNode(*tree, lara, frame);
        ASSERT_NE(pane, nullptr);
        COpenGLWnd& gl = *pane->GetGlWindow();
        gl.StartAnimPlayback(-1);
        const Silhouette real = Grab(gl);
        Shot(name + "-lara.png");
        EXPECT_GT(real.area, real.width * real.height / 200);
        EXPECT_EQ(real.markerBlue, 0);
        EXPECT_GT(Likeness(real, body), 0.6) << "Lara and her skin look alike";

        if (shown++ == 0) {
            // Real meshes off: the dummies' blue markers, and no body; then on again.
            EXPECT_TRUE(Drive("key alt+v sleep 0.5 key o", [&] {
                const wxWindow* view = frame.GetToolboxView(EditPaneMoveable);
                return view && view->IsShownOnScreen();
            }));
            Pump(300);
            auto* box = dynamic_cast<wxCheckBox*>(wxWindow::FindWindowByLabel(
                "Show real meshes instead of dummy meshes", frame.GetToolboxView(EditPaneMoveable)));
            ASSERT_NE(box, nullptr);
            ASSERT_TRUE(box->IsEnabled());
            ASSERT_TRUE(box->GetValue());
            const wxPoint check = box->ClientToScreen(wxPoint(8, box->GetSize().y / 2));
            EXPECT_TRUE(Drive(ClickAt(check), [&] { return laraMvb.showRealMeshes == 0; }));
            Pump(200);
            gl.StartAnimPlayback(-1);
            const Silhouette dummies = Grab(gl);
            Shot(name + "-dummies.png");
            EXPECT_GT(dummies.markerBlue, 0);
            EXPECT_LT(dummies.area, real.area / 2);
            EXPECT_LT(Likeness(dummies, body), 0.5);
            EXPECT_TRUE(Drive(ClickAt(check), [&] { return laraMvb.showRealMeshes == 1; }));
            Pump(200);
            gl.StartAnimPlayback(-1);
            const Silhouette again = Grab(gl);
            EXPECT_EQ(again.markerBlue, 0);
            EXPECT_GT(again.area, 2 * dummies.area);
        }
        App().GetDocManager()->CloseDocuments(true);
        Pump(200);
    }
    if (shown == 0) GTEST_SKIP() << "no Tomb Raider III or IV level";
}

}  // namespace

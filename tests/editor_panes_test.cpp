// The edit panes on the real levels of every version: what the tree selects is drawn in the
// 3D view (read back from the GL buffer), animations play, the camera follows real mouse
// drags, the keys edit the shown mesh, and the panes let go of nodes and objects that go.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <set>
#include <thread>

#include <wx/uiaction.h>
#include <wx/textctrl.h>

#include "EditorTestSupport.h"
#include "GlReadback.h"
#include "TestSupport.h"
#include "editor/panes/EditGfx.h"
#include "editor/panes/EditTile.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/toolbox/ToolboxBase.h"
#include "editor/tree/HandleBase.h"
#include "editor/tree/LevelTree.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/view3d/GlWindow.h"
#include "editor/view3d/KeyState.h"
#include "level/TrLevel.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

// A toolbox view that records what the panes and the 3D view tell it.
class CRecordingToolbox : public CToolboxBase,
                          public ITlboxMeshItfMain,
                          public ITlboxMoveableItfAnim,
                          public ITlboxSpriteItfMain {
public:
    CRecordingToolbox(wxWindow* parent, int kind) : CToolboxBase(parent, kind) {
        SetMinSize(wxSize(-1, 80));
    }
    bool BindObject(CHandleBase* node, CEditGfxBase* pane) override {
        ++binds;
        return CToolboxBase::BindObject(node, pane);
    }
    void Tick() override { ++ticks; }
    int IsVisibilityBoxEditOn() override { return 1; }
    int IsCollisionBoxEditOn() override { return 0; }
    void SetAnim(int index) override { anims.push_back(index); }
    void SetFrame(int current, int count) override {
        frames.push_back(current);
        frameCount = count;
    }
    void SetKey(int, int count) override { keyCount = count; }
    void SetFramerate(int n) override { framerate = n; }
    void SetNext(int, int) override { ++nexts; }
    void SetValue(float) override { ++values; }
    bool IsAutomatic() override { return true; }
    int GetCurrentAnim() override { return anims.empty() ? 0 : anims.back() + 1; }
    void SetDisplayMode(bool animated) override { displayModes.push_back(animated); }

    int binds = 0, ticks = 0, frameCount = 0, keyCount = 0, framerate = 0, nexts = 0, values = 0;
    std::vector<int> anims, frames;
    std::vector<bool> displayModes;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
};

Picture Grab(COpenGLWnd& gl) {
    Picture p;
    p.rgb = test::RenderAndRead(gl, &p.width, &p.height);
    return p;
}

bool Differs(const uint8_t* a, const uint8_t* b) {
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]) > 24;
}

// Pixels unlike the background colour, and how many colours they have (textures give many).
void Coverage(const Picture& p, uint32_t background, int* unlike, int* colours) {
    const uint8_t bg[3] = {uint8_t(background), uint8_t(background >> 8), uint8_t(background >> 16)};
    std::set<int> seen;
    *unlike = 0;
    for (size_t i = 0; i + 2 < p.rgb.size(); i += 3) {
        if (!Differs(&p.rgb[i], bg)) continue;
        ++*unlike;
        seen.insert((p.rgb[i] >> 3) << 10 | (p.rgb[i + 1] >> 3) << 5 | p.rgb[i + 2] >> 3);
    }
    *colours = int(seen.size());
}

int Changed(const Picture& a, const Picture& b) {
    if (a.rgb.size() != b.rgb.size()) return int(a.rgb.size() / 3);
    int n = 0;
    for (size_t i = 0; i + 2 < a.rgb.size(); i += 3) n += Differs(&a.rgb[i], &b.rgb[i]);
    return n;
}

void Pump(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (std::chrono::steady_clock::now() < end) {
        wxYield();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// The version a level file's first word tells (0 for none).
int FileVersion(const std::string& path) {
    const std::vector<uint8_t> b = test::ReadFileBytes(path);
    if (b.size() < 4) return 0;
    const uint32_t w = uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    if (w == 0x20) return 1;
    if (w == 0x2D) return 2;
    if ((w & 0xFF00FFFFu) == 0xFF000038u || (w & 0xFF00FFFFu) == 0xFF000034u) return 3;
    if (w == 0x00345254) return 4;
    return 0;
}

size_t FaceCount(const CTrLstMsh& list) {
    size_t n = 0;
    for (const TrMeshRecord& m : list.meshes) n += m.texturedRectangles.size() + m.texturedTriangles.size();
    return n;
}

// How much of a static mesh a user sees in the fitted view: its opaque faces that face the
// eye, each by how large it looks from there. Additive faces barely show on the background,
// and faces turned away are culled.
double VisibleOpaqueArea(const CTrStatMsh& sm) {
    if (sm.meshes.empty()) return 0;
    BoundingBox box, own;  // the fitted box holds the origin
    sm.GetBoundingBox(&own, 0, nullptr);
    box.Union(own);
    const double largest = std::max({box.max.x - box.min.x, box.max.y - box.min.y, box.max.z - box.min.z});
    if (!(largest > 0)) return 0;
    // The fitted eye is at (0, 0.7, 2) of the view scaled to the box, where a level point
    // (x, y, z) is drawn at (x, -y, -z).
    const double eye[3] = {0, -0.7 * largest, -2.0 * largest};
    const TrMeshRecord& mesh = sm.meshes[0];
    double total = 0;
    auto add = [&](auto& face, int corners) {
        const size_t t = face.texture() & 0x7FFF;
        if (t >= sm.textures.size() || (sm.textures[t].attributes() & 3) || (face.effects() & 1)) return;
        // Corners are drawn from the last to the first; front faces turn counter-clockwise.
        double p[4][3];
        for (int k = 0; k < corners; ++k) {
            const size_t v = face.vertex(corners - 1 - k);
            if (v >= mesh.vertices.size()) return;
            p[k][0] = mesh.vertices[v].x;
            p[k][1] = mesh.vertices[v].y;
            p[k][2] = mesh.vertices[v].z;
        }
        for (int i = 1; i + 1 < corners; ++i) {
            double a[3], b[3], to[3];
            for (int c = 0; c < 3; ++c) {
                a[c] = p[i][c] - p[0][c];
                b[c] = p[i + 1][c] - p[0][c];
                to[c] = eye[c] - p[0][c];
            }
            const double n[3] = {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
            const double facing = n[0] * to[0] + n[1] * to[1] + n[2] * to[2];
            const double distance = std::sqrt(to[0] * to[0] + to[1] * to[1] + to[2] * to[2]);
            if (facing > 0 && distance > 0) total += facing / (distance * distance * distance);
        }
    };
    for (const TrMeshTriangle& f : mesh.texturedTriangles) add(f, 3);
    for (const TrMeshRectangle& f : mesh.texturedRectangles) add(f, 4);
    return total;
}

class PanesTest : public test::EditorTest {
protected:
    void SetUp() override {
        EditorTest::SetUp();
        previous_ = SetToolboxViewFactory(
            [](int kind, wxWindow* parent) -> wxWindow* { return new CRecordingToolbox(parent, kind); });
    }
    void TearDown() override {
        EditorTest::TearDown();
        SetToolboxViewFactory(previous_);
        CKeyState::Instance().Clear();
    }
    static CLithoscopeDoc* Open(const std::string& path) {
        CLithoscopeDoc* doc = EditorTest::Open(path);
        Pump(100);
        return doc;
    }
    static std::vector<CHandleBase*> Children(CFileTree& tree, CHandleBase* parent) {
        std::vector<CHandleBase*> out;
        if (!parent) return out;
        tree.Expand(parent->GetItem());
        wxTreeItemIdValue cookie;
        for (wxTreeItemId c = tree.GetFirstChild(parent->GetItem(), cookie); c.IsOk();
             c = tree.GetNextChild(parent->GetItem(), cookie))
            if (CHandleBase* node = tree.GetNode(c)) out.push_back(node);
        return out;
    }
    // Selects a node as a click would and gives the pane of its kind.
    template <class Pane>
    Pane* Select(CFileTree& tree, CHandleBase* node, CChildFrame* frame) {
        tree.SelectItem(node->GetItem());
        Pump(60);
        CEditPaneBase* pane = nullptr;
        frame->GetEditPane(&pane);
        return dynamic_cast<Pane*>(pane);
    }

    ToolboxViewFactory previous_;
};

TEST_F(PanesTest, RealLevelsOfEveryVersionShowTheirObjects) {
    if (test::RealLevelsDir().empty()) GTEST_SKIP() << "no real levels";
    std::set<int> versions;
    for (const test::RealLevel& level : test::RealLevelFiles()) {
        const int version = level.unsupported ? 0 : FileVersion(level.path);
        if (version == 0 || versions.count(version)) continue;
        versions.insert(version);
        SCOPED_TRACE(level.path);
        CLithoscopeDoc* doc = Open(level.path);
        ASSERT_NE(doc, nullptr);
        CFileTree* tree = TreeOf(doc);
        ASSERT_NE(tree, nullptr);
        CChildFrame* frame = doc->GetLevelView()->GetChildFrame();
        auto* moveableToolbox = dynamic_cast<CRecordingToolbox*>(frame->GetToolboxView(EditPaneMoveable));
        auto* meshToolbox = dynamic_cast<CRecordingToolbox*>(frame->GetToolboxView(EditPaneMesh));
        auto* spriteToolbox = dynamic_cast<CRecordingToolbox*>(frame->GetToolboxView(EditPaneSprite));
        ASSERT_TRUE(moveableToolbox && meshToolbox && spriteToolbox);

        // The largest moveable: drawn, textured, and bound to the toolbox.
        std::vector<CHandleBase*> moveables = Children(*tree, tree->m_pMoveablesNode);
        ASSERT_FALSE(moveables.empty());
        CHandleBase* largest = moveables[0];
        CHandleBase* lara = nullptr;
        for (CHandleBase* node : moveables) {
            auto* mvb = static_cast<CTrMvb*>(node->GetObject());
            if (FaceCount(*mvb) > FaceCount(*static_cast<CTrMvb*>(largest->GetObject()))) largest = node;
            if (mvb->objectId == 0) lara = node;
        }
        auto* moveablePane = Select<CEditMoveable>(*tree, largest, frame);
        ASSERT_NE(moveablePane, nullptr);
        COpenGLWnd* gl = moveablePane->GetGlWindow();
        ASSERT_NE(gl, nullptr);
        EXPECT_GT(gl->GetClientSize().x, 100);
        EXPECT_EQ(moveableToolbox->GetNode(), largest);
        EXPECT_EQ(moveableToolbox->GetPane(), moveablePane);
        gl->SetAutoCamera(false);
        int unlike = 0, colours = 0;
        Coverage(Grab(*gl), gl->GetBackgroundColor(), &unlike, &colours);
        EXPECT_GT(unlike, 400) << "moveable";
        EXPECT_GT(colours, 12) << "moveable";

        // Lara's first animation plays: the picture changes and the toolbox follows.
        ASSERT_NE(lara, nullptr);
        moveablePane = Select<CEditMoveable>(*tree, lara, frame);
        ASSERT_NE(moveablePane, nullptr);
        gl = moveablePane->GetGlWindow();
        gl->SetAutoCamera(false);
        moveableToolbox->anims.clear();
        moveableToolbox->frames.clear();
        moveablePane->StartAnimPlayback(0);
        ASSERT_TRUE(gl->IsPlaying());
        ASSERT_EQ(moveableToolbox->anims, std::vector<int>{0});
        EXPECT_GT(moveableToolbox->frameCount, 0);
        EXPECT_GT(moveableToolbox->keyCount, 0);
        const Picture first = Grab(*gl);
        int most = 0;
        for (int i = 0; i < 12; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            most = std::max(most, Changed(first, Grab(*gl)));
        }
        EXPECT_GT(most, 50) << "animation";
        EXPECT_GT(moveableToolbox->values, 0);
        EXPECT_TRUE(std::any_of(moveableToolbox->frames.begin(), moveableToolbox->frames.end(),
                                [](int f) { return f > 0; }));

        // A real mouse drag turns the camera.
        moveablePane->StartAnimPlayback(-1);
        frame->Raise();
        Pump(50);
        const Picture still = Grab(*gl);
        std::this_thread::sleep_for(std::chrono::milliseconds(40));
        const Picture before = Grab(*gl);
        EXPECT_EQ(Changed(still, before), 0);
        const CVector3 eye = gl->Camera().eye;
        const wxPoint centre = gl->ClientToScreen(wxPoint(gl->GetClientSize().x / 2, gl->GetClientSize().y / 2));
        wxUIActionSimulator sim;
        sim.MouseMove(centre);
        Pump(30);
        sim.MouseDown();
        Pump(30);
        for (int step = 1; step <= 6; ++step) {
            sim.MouseMove(centre + wxPoint(10 * step, 3 * step));
            Pump(20);
        }
        sim.MouseUp();
        for (int i = 0; i < 100 && CVector3::IsEqual(eye, gl->Camera().eye); ++i) Pump(10);
        EXPECT_FALSE(CVector3::IsEqual(eye, gl->Camera().eye)) << "drag";
        EXPECT_GT(Changed(before, Grab(*gl)), 100) << "drag";

        // The static mesh a user sees most of: drawn and textured; Shift with an arrow key
        // moves it.
        std::vector<CHandleBase*> statics = Children(*tree, tree->m_pStaticMeshesNode);
        CHandleBase* stat = nullptr;
        double seen = 0;
        for (CHandleBase* node : statics) {
            const double area = VisibleOpaqueArea(*static_cast<CTrStatMsh*>(node->GetObject()));
            if (area > seen) {
                seen = area;
                stat = node;
            }
        }
        if (stat) {
            auto* meshPane = Select<CEditMesh>(*tree, stat, frame);
            ASSERT_NE(meshPane, nullptr);
            EXPECT_EQ(meshToolbox->GetNode(), stat);
            gl = meshPane->GetGlWindow();
            gl->SetAutoCamera(false);
            Coverage(Grab(*gl), gl->GetBackgroundColor(), &unlike, &colours);
            EXPECT_GT(unlike, 200) << "static mesh";
            EXPECT_GT(colours, 8) << "static mesh";

            // Held keys move it at every idle tick, and only while held.
            TrMeshRecord& mesh = static_cast<CTrStatMsh*>(stat->GetObject())->meshes[0];
            const int x0 = mesh.vertices[0].x;
            doc->Modify(false);
            sim.KeyDown(WXK_SHIFT);
            sim.KeyDown(WXK_RIGHT);
            for (int i = 0; i < 200 && mesh.vertices[0].x == x0; ++i) Pump(10);
            sim.KeyUp(WXK_RIGHT);
            sim.KeyUp(WXK_SHIFT);
            Pump(100);
            const int x1 = mesh.vertices[0].x;
            EXPECT_GT(x1, x0) << "Shift+Right";
            EXPECT_TRUE(doc->IsModified());
            EXPECT_FALSE(CKeyState::Instance().IsDown(WXK_SHIFT));
            Pump(100);
            EXPECT_EQ(mesh.vertices[0].x, x1) << "released";

            // The same keys typed into a text field are text: the mesh stays, the level too.
            auto* field = new wxTextCtrl(frame, wxID_ANY);
            field->SetFocus();
            Pump(50);
            doc->Modify(false);
            sim.KeyDown(WXK_SHIFT);
            sim.KeyDown(WXK_RIGHT);
            sim.Char(WXK_NUMPAD_SUBTRACT);
            Pump(300);
            sim.KeyUp(WXK_RIGHT);
            sim.KeyUp(WXK_SHIFT);
            Pump(100);
            EXPECT_EQ(mesh.vertices[0].x, x1) << "typed into a field";
            EXPECT_FALSE(doc->IsModified());
            field->Destroy();
            tree->SetFocus();
            Pump(50);

            // The static meshes repopulate: the shown node is gone, so the frame shows the
            // empty pane and the toolbox forgets the node.
            tree->RepopulateExpandedCollections();
            EXPECT_EQ(frame->GetEditPane(), EditPaneEmpty);
            EXPECT_EQ(meshToolbox->GetNode(), nullptr);
        }

        // A sprite sequence: drawn; the sprite page is told its display mode.
        std::vector<CHandleBase*> sprites = Children(*tree, tree->m_pSpritesNode);
        CHandleBase* sprite = nullptr;
        int area = 0;
        for (CHandleBase* node : sprites) {
            const auto* list = static_cast<CTrLstSpr*>(node->GetObject());
            if (list->sprites.empty()) continue;
            const TrSpriteFrameRecord& s = list->sprites[0];
            const int a = (s.right() - s.left()) * (s.bottom() - s.top());
            if (a > area) {
                area = a;
                sprite = node;
            }
        }
        ASSERT_NE(sprite, nullptr);
        auto* spritePane = Select<CEditSprite>(*tree, sprite, frame);
        ASSERT_NE(spritePane, nullptr);
        EXPECT_EQ(spriteToolbox->displayModes.size(), 1u);
        ASSERT_NE(spritePane->GetSpriteDisplay(), nullptr);
        spritePane->GetSpriteDisplay()->SetSpriteDisplayMode(false);  // every sprite, side by side
        gl = spritePane->GetGlWindow();
        Coverage(Grab(*gl), gl->GetBackgroundColor(), &unlike, &colours);
        EXPECT_GT(unlike, 100) << "sprites";
        EXPECT_GT(colours, 4) << "sprites";

        // The Tomb Raider IV "Font & sky" tile: its pages as a picture.
        if (version == 4) {
            CHandleBase* tile = nullptr;
            for (CHandleBase* node : Children(*tree, tree->GetNode(tree->GetRootItem())))
                if (node->GetType() == HandleTypeTile) tile = node;
            ASSERT_NE(tile, nullptr);
            auto* tilePane = Select<CEditTile>(*tree, tile, frame);
            ASSERT_NE(tilePane, nullptr);
            for (int i = 0; i < 50 && !tilePane->GetPicture().IsOk(); ++i) Pump(10);
            if (!tilePane->GetPicture().IsOk()) {
                EXPECT_TRUE(tilePane->BuildPicture());
            }
            const wxImage image = tilePane->GetPicture().ConvertToImage();
            EXPECT_EQ(image.GetWidth(), 256);
            EXPECT_GE(image.GetHeight(), 256);
            std::set<int> seen;
            for (int i = 0; i < image.GetWidth() * image.GetHeight(); ++i)
                seen.insert(image.GetData()[3 * i] << 16 | image.GetData()[3 * i + 1] << 8 | image.GetData()[3 * i + 2]);
            EXPECT_GT(seen.size(), 16u) << "tile";
        }

        // After a save the pane gives everything back and the empty pane shows.
        doc->GetLevelView()->ResetAfterSave(false);
        EXPECT_EQ(frame->GetEditPane(), EditPaneEmpty);
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
    }
    EXPECT_EQ(versions.size(), 4u);
}

TEST_F(PanesTest, TickDoubleClickAndDeletionOfTheShownMoveable) {
    if (test::RealLevelsDir().empty()) GTEST_SKIP() << "no real levels";
    std::string path;
    for (const test::RealLevel& level : test::RealLevelFiles())
        if (!level.unsupported && FileVersion(level.path) == 2) path = level.path;
    ASSERT_FALSE(path.empty());
    CLithoscopeDoc* doc = Open(path);
    ASSERT_NE(doc, nullptr);
    CFileTree* tree = TreeOf(doc);
    CChildFrame* frame = doc->GetLevelView()->GetChildFrame();
    auto* toolbox = dynamic_cast<CRecordingToolbox*>(frame->GetToolboxView(EditPaneMoveable));
    std::vector<CHandleBase*> moveables = Children(*tree, tree->m_pMoveablesNode);
    ASSERT_GE(moveables.size(), 2u);
    auto* pane = Select<CEditMoveable>(*tree, moveables[1], frame);
    ASSERT_NE(pane, nullptr);
    COpenGLWnd* gl = pane->GetGlWindow();

    // The idle tick asks for more idle time, draws and ticks the toolbox.
    const int ticks = toolbox->ticks;
    EXPECT_TRUE(App().OnIdleTick());
    EXPECT_EQ(toolbox->ticks, ticks + 1);

    // A double click gives the fitted camera back.
    const CVector3 fitted = gl->Camera().eye;
    gl->DollyCamera(0.5f);
    EXPECT_FALSE(CVector3::IsEqual(fitted, gl->Camera().eye));
    pane->OnLeftDoubleClick(20, 20);
    EXPECT_TRUE(CVector3::IsEqual(fitted, gl->Camera().eye));

    // The same node again keeps the window and binds without a change of object.
    pane->SetHandle(moveables[1]);
    EXPECT_EQ(pane->GetGlWindow(), gl);
    EXPECT_FALSE(toolbox->LastBindChanged());

    // Deleting the shown moveable frees the 3D window before the object goes.
    g_messages.Answer(MsgAnswer::Yes);
    dynamic_cast<CHandleMoveable&>(*moveables[1]).DeleteMoveable();
    Pump(50);
    CEditPaneBase* now = nullptr;
    frame->GetEditPane(&now);
    if (auto* gfx = dynamic_cast<CEditGfxBase*>(now)) {
        EXPECT_EQ(gfx->GetGlWindow(), nullptr);
    }
    App().OnIdleTick();
}

}  // namespace

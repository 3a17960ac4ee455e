// A save through the File menu, driven by real X events: the level stays open with the
// objects a load of the saved file gives, so a moveable with coloured faces looks the same in
// the 3D view before and after File > Save As (Tomb Raider I to III, whose coloured faces are
// drawn through the palette tile).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <set>

#include <wx/app.h>

#include "E2eSession.h"
#include "EditorTestSupport.h"
#include "TestSupport.h"
#include "fixtures/LevelBuilder.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/shell/ModalHook.h"
#include "editor/tree/LevelTree.h"
#include "editor/view3d/GlWindow.h"
#include "level/ObjectModel.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

test::XSession* g_session = nullptr;

class SaveEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { g_session = new test::XSession; }
    static void TearDownTestSuite() {
        delete g_session;
        g_session = nullptr;
    }
    void SetUp() override {
        if (!g_session->Usable()) GTEST_SKIP() << g_session->Problem();
        App().m_catalog.Load(std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog");
        App().GetMainFrame()->SetSize(0, 0, 1024, 768);
        App().GetMainFrame()->Raise();
        // A camera that stays where it starts: pictures taken at other times compare.
        App().GetMainFrame()->SetManualCamera(true);
        Wait([] { return false; }, 300);
    }
    void TearDown() override {
        SetSaveFileChooser(SaveFileChooser());
        App().GetMainFrame()->SetManualCamera(false);
        App().GetDocManager()->CloseDocuments(true);
        App().ProcessIdle();
        g_messages.clear();
    }

    // Runs the editor's events until done() holds or the time is up.
    static bool Wait(const std::function<bool()>& done, int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            wxTheApp->Yield(true);
            wxTheApp->ProcessIdle();
            if (done()) return true;
            wxMilliSleep(20);
        }
        return done();
    }
    // xdotool in the background while the editor handles what it sends.
    static bool Send(const std::string& words, const std::function<bool()>& done) {
        const pid_t pid = g_session->XdoAsync(words);
        EXPECT_GT(pid, 0);
        const bool ok = Wait([&] { return test::XSession::Finished(pid) && done(); }, 20000);
        Wait([&] { return test::XSession::Finished(pid); }, 5000);
        return ok;
    }

    // The node of moveable `id` in the tree, clicked: its pane's GL window.
    static COpenGLWnd* ClickMoveable(CFileTree& tree, CChildFrame& frame, int32_t id) {
        tree.Expand(tree.m_pMoveablesNode->GetItem());
        Wait([] { return false; }, 200);
        wxTreeItemIdValue cookie;
        wxTreeItemId item;
        for (wxTreeItemId c = tree.GetFirstChild(tree.m_pMoveablesNode->GetItem(), cookie); c.IsOk();
             c = tree.GetNextChild(tree.m_pMoveablesNode->GetItem(), cookie)) {
            CHandleBase* node = tree.GetNode(c);
            if (node && static_cast<CTrMvb*>(node->GetObject())->objectId == id) item = c;
        }
        if (!item.IsOk()) return nullptr;
        tree.EnsureVisible(item);
        Wait([] { return false; }, 200);
        wxRect rect;
        tree.GetBoundingRect(item, rect, true);
        const wxPoint at = tree.ClientToScreen(wxPoint(rect.GetLeft() + std::min(12, rect.GetWidth() / 2),
                                                       rect.GetTop() + rect.GetHeight() / 2));
        COpenGLWnd* gl = nullptr;
        Send("mousemove " + std::to_string(at.x) + " " + std::to_string(at.y) + " click 1", [&] {
            CEditPaneBase* pane = nullptr;
            frame.GetEditPane(&pane);
            auto* gfx = dynamic_cast<CEditGfxBase*>(pane);
            gl = gfx ? gfx->GetGlWindow() : nullptr;
            return gl && tree.GetSelection() == item;
        });
        Wait([] { return false; }, 800);  // drawn by the idle ticks
        return gl;
    }

    // The GL view as the screen shows it, and a copy of the screen for a look.
    test::ScreenImage View(COpenGLWnd& gl, const std::string& shot) {
        const std::string path = dir_.file(shot);
        EXPECT_TRUE(g_session->Screenshot(path));
        const test::ScreenImage screen = test::XSession::ReadPng(path);
        const wxPoint origin = gl.ClientToScreen(wxPoint(0, 0));
        const wxSize size = gl.GetClientSize();
        test::ScreenImage view;
        view.width = size.x;
        view.height = size.y;
        for (int y = 0; y < size.y; ++y)
            for (int x = 0; x < size.x; ++x) {
                const uint32_t c = screen.At(origin.x + x, origin.y + y);
                view.rgb.insert(view.rgb.end(), {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
            }
        return view;
    }

    test::TempDir dir_;
};

// Faces of a moveable drawn through the palette tile (coloured in the file).
size_t SwatchFaces(const CTrMvb& mvb) {
    size_t n = 0;
    auto count = [&](const auto& faces) {
        for (const auto& f : faces) {
            const size_t t = f.texture() & 0x7FFF;
            n += t < mvb.textures.size() && PaletteTileEntry(mvb.textures[t]) >= 0;
        }
    };
    for (const TrMeshRecord& m : mvb.meshes) {
        count(m.texturedRectangles);
        count(m.texturedTriangles);
    }
    return n;
}

// Pixels whose colour differs by more than a rounding step.
int Changed(const test::ScreenImage& a, const test::ScreenImage& b) {
    if (a.rgb.size() != b.rgb.size()) return int(std::max(a.rgb.size(), b.rgb.size()) / 3);
    int n = 0;
    for (size_t i = 0; i + 2 < a.rgb.size(); i += 3)
        n += std::abs(a.rgb[i] - b.rgb[i]) + std::abs(a.rgb[i + 1] - b.rgb[i + 1]) +
                 std::abs(a.rgb[i + 2] - b.rgb[i + 2]) > 24;
    return n;
}
// Pixels of the object (not the background colour, 0xBBGGRR), and how many of them are
// object in one picture and background in the other.
struct Outline {
    int pixels = 0, differing = 0;
};
Outline CompareOutlines(const test::ScreenImage& a, const test::ScreenImage& b, uint32_t background) {
    Outline out;
    auto object = [&](const test::ScreenImage& p, size_t i) {
        return std::abs(p.rgb[i] - int(background & 0xFF)) + std::abs(p.rgb[i + 1] - int((background >> 8) & 0xFF)) +
                   std::abs(p.rgb[i + 2] - int((background >> 16) & 0xFF)) > 24;
    };
    for (size_t i = 0; i + 2 < a.rgb.size() && i + 2 < b.rgb.size(); i += 3) {
        out.pixels += object(a, i);
        out.differing += object(a, i) != object(b, i);
    }
    return out;
}

// The moveable with the most faces coloured in the file (Lara in Tomb Raider I), drawn before File > Save
// As, after it, and from the saved file opened again: after the save it has every face it
// had (the texels sit elsewhere on the new pages, so the sampled colours may move a
// little), and it looks exactly as the saved file shows it.
TEST_F(SaveEndToEnd, ColouredFacesStayDrawnThroughFileSaveAs) {
    std::set<int> versions;
    for (const test::RealLevel& real : test::RealLevelFiles()) {
        const std::vector<uint8_t> head = test::ReadFileBytes(real.path);
        const uint32_t magic = head.size() >= 4 ? test::Le32(head, 0) : 0;
        const int version = real.unsupported ? 0 : magic == 0x20 ? 1 : magic == 0x2D ? 2
                                                 : (magic & 0xFFFF) == 0x38 ? 3 : 0;
        if (version == 0 || versions.count(version)) continue;  // one level of each version
        SCOPED_TRACE(real.path);
        auto* doc = dynamic_cast<CLithoscopeDoc*>(
            App().GetDocManager()->CreateDocument(real.path, wxDOC_SILENT));
        ASSERT_NE(doc, nullptr);
        // The moveable with the most faces coloured in the file.
        int32_t id = 0;
        size_t most = 0;
        for (const auto& mvb : doc->m_level.moveableList)
            if (SwatchFaces(*mvb) > most) {
                most = SwatchFaces(*mvb);
                id = mvb->objectId;
            }
        if (most == 0) {
            App().GetDocManager()->CloseDocuments(true);
            continue;
        }
        versions.insert(version);
        Wait([] { return false; }, 300);
        CFileTree* tree = dynamic_cast<CFileTree*>(doc->GetLevelView()->GetTree());
        CChildFrame* frame = doc->GetLevelView()->GetChildFrame();
        ASSERT_TRUE(tree && frame);
        const std::string name = "v" + std::to_string(version);

        COpenGLWnd* gl = ClickMoveable(*tree, *frame, id);
        ASSERT_NE(gl, nullptr);
        const uint32_t background = gl->GetBackgroundColor();
        const test::ScreenImage before = View(*gl, name + "-before.png");

        // File > Save As, into a new file.
        const std::string saved = dir_.file(name + "-saved" + real.path.substr(real.path.rfind('.')));
        std::string offered;
        SetSaveFileChooser([&](const SaveFileRequest& request) {
            offered = request.initialPath;
            return saved;
        });
        g_messages.clear();
        ASSERT_TRUE(Send("key alt+f sleep 0.6 key a",
                         [&] { return std::string(doc->GetFilename().utf8_str()) == saved; }));
        EXPECT_EQ(offered, real.path);
        EXPECT_FALSE(doc->IsModified());
        EXPECT_EQ(frame->GetEditPane(), EditPaneEmpty);

        gl = ClickMoveable(*tree, *frame, id);
        ASSERT_NE(gl, nullptr);
        const test::ScreenImage after = View(*gl, name + "-after.png");
        const Outline outline = CompareOutlines(before, after, background);
        EXPECT_GT(outline.pixels, 2000);
        EXPECT_LE(outline.differing, outline.pixels / 200) << "of " << outline.pixels;

        // The saved file opened again shows the same picture.
        App().GetDocManager()->CloseDocuments(true);
        doc = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->CreateDocument(saved, wxDOC_SILENT));
        ASSERT_NE(doc, nullptr);
        Wait([] { return false; }, 300);
        tree = dynamic_cast<CFileTree*>(doc->GetLevelView()->GetTree());
        frame = doc->GetLevelView()->GetChildFrame();
        gl = ClickMoveable(*tree, *frame, id);
        ASSERT_NE(gl, nullptr);
        EXPECT_EQ(Changed(after, View(*gl, name + "-reopened.png")), 0);
        App().GetDocManager()->CloseDocuments(true);
        Wait([] { return false; }, 200);
    }
    if (versions.empty()) GTEST_SKIP() << "no real Tomb Raider I to III level with coloured faces";
}

}  // namespace

// A save through the File menu, driven by real X events: the level stays open with the
// objects a load of the saved file gives, so a moveable with coloured faces looks the same in
// the 3D view before and after File > Save As (Tomb Raider I to III, whose coloured faces are
// drawn through the palette tile).
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "E2eEditor.h"
#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/common/ModalHook.h"
#include "editor/common/WxMessageBackend.h"
#include "editor/view3d/GlWindow.h"
#include "fixtures/LevelBuilder.h"
#include "fixtures/ObjectModelFixtures.h"
#include "level/ObjectModel.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

class SaveEndToEnd : public test::EditorEndToEnd {
protected:
    void SetUp() override {
        EditorEndToEnd::SetUp();
        // A camera that stays where it starts: pictures taken at other times compare.
        App().GetMainFrame()->SetManualCamera(true);
    }
    void TearDown() override {
        App().GetMainFrame()->SetManualCamera(false);
        EditorEndToEnd::TearDown();
    }

    // The node of moveable `id` in the tree, clicked: its pane's GL window.
    static COpenGLWnd* ClickMoveable(CFileTree& tree, CChildFrame& frame, int32_t id) {
        tree.Expand(tree.m_pMoveablesNode->GetItem());
        Pump(200);
        const wxTreeItemId item = FindChild(tree, tree.m_pMoveablesNode->GetItem(), [id](CHandleBase* node) {
            return node && static_cast<CTrMvb*>(node->GetObject())->objectId == id;
        });
        if (!item.IsOk()) return nullptr;
        COpenGLWnd* gl = nullptr;
        Drive(At(ScreenPoint(tree, item)) + " click 1", [&] {
            CEditPaneBase* pane = nullptr;
            frame.GetEditPane(&pane);
            auto* gfx = dynamic_cast<CEditGfxBase*>(pane);
            gl = gfx ? gfx->GetGlWindow() : nullptr;
            return gl && tree.GetSelection() == item;
        }, 20000);
        Pump(800);  // drawn by the idle ticks
        return gl;
    }

    // The GL view as the screen shows it, and a copy of the screen for a look.
    test::ScreenImage View(COpenGLWnd& gl, const std::string& shot) {
        const test::ScreenImage screen = test::XSession::ReadPng(Shot(shot));
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
        CLithoscopeDoc* doc = Open(real.path);
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
        Pump(300);
        CFileTree* tree = TreeOf(doc);
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
        ASSERT_TRUE(Drive("key alt+f sleep 0.6 key a",
                          [&] { return std::string(doc->GetFilename().utf8_str()) == saved; }, 20000));
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
        doc = Open(saved);
        ASSERT_NE(doc, nullptr);
        Pump(300);
        tree = TreeOf(doc);
        frame = doc->GetLevelView()->GetChildFrame();
        gl = ClickMoveable(*tree, *frame, id);
        ASSERT_NE(gl, nullptr);
        EXPECT_EQ(Changed(after, View(*gl, name + "-reopened.png")), 0);
        App().GetDocManager()->CloseDocuments(true);
        Pump(200);
    }
    if (versions.empty()) GTEST_SKIP() << "no real Tomb Raider I to III level with coloured faces";
}

// Messages shown as the editor shows them (boxes on the screen), and recorded.
class ShownMessages : public IMessageBackend {
public:
    MsgAnswer Show(const MessageRequest& request) override {
        shown.push_back(request);
        return gui_.Show(request);
    }
    std::vector<MessageRequest> shown;

private:
    CWxMessageBackend gui_;
};

// A moveable of another level imported into a Tomb Raider IV level from its .trmvb ("Import
// from .TRMVB" on the moveables node), then File > Save As: the sounds whose samples the
// level lacks are left out, and a warning box names them before the save ends.
TEST_F(SaveEndToEnd, SoundsLeftOutOfATr4LevelAreNamedAtTheSave) {
    std::string tr4, other;
    for (const test::RealLevel& real : test::RealLevelFiles()) {
        if (real.unsupported) continue;
        // Tomb Raider I moveables carry no sounds: the other level is of II or III.
        const uint8_t magic = test::ReadFileBytes(real.path).at(0);
        if (magic == 'T' && tr4.empty()) tr4 = real.path;
        if ((magic == 0x2D || magic == 0x38) && other.empty()) other = real.path;
    }
    if (tr4.empty() || other.empty()) GTEST_SKIP() << "no real Tomb Raider IV level and other level";

    // The other level's moveable with the most sounds, as a moveable file.
    const std::string trmvb = dir_.file("noisy.trmvb");
    {
        CTrLevel level;
        ASSERT_TRUE(level.Load(other, false, false, &App().m_catalog));
        const CTrMvb* noisy = nullptr;
        for (const auto& mvb : level.moveableList)
            if (mvb->sounds && (!noisy || mvb->sounds->size() > noisy->sounds->size())) noisy = mvb.get();
        ASSERT_TRUE(noisy && noisy->sounds && !noisy->sounds->empty());
        ASSERT_TRUE(noisy->SaveFile(trmvb));
    }
    CLithoscopeDoc* doc = Open(tr4);
    ASSERT_NE(doc, nullptr);
    CTrLevel& level = doc->m_level;
    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    tree->Expand(tree->GetRootItem());
    const size_t before = level.moveableList.size();
    SetOpenFileChooser([&](const std::string&) { return trmvb; });
    g_messages.clear();
    ASSERT_TRUE(Drive(At(ScreenPoint(*tree, tree->m_pMoveablesNode->GetItem())) +
                          " click 3 sleep 0.8 key Down Down sleep 0.2 key Return",
                      [&] { return level.moveableList.size() == before + 1; }));
    // The import names the sounds that will be silent.
    const std::string note = g_messages.shown().empty() ? "" : g_messages.shown().back().text;

    // File > Save As; the box (the only window titled just "Lithoscope") is photographed and
    // closed by Return.
    ShownMessages messages;
    ScopedMessageBackend shown(&messages);
    const std::string saved = dir_.file("with-import.tr4");
    SetSaveFileChooser([&](const SaveFileRequest&) { return saved; });
    const std::string box = ShotPath("sounds-left-out.png");
    ASSERT_TRUE(Drive("key alt+f sleep 0.6 key a" + ShootBoxThenReturn(box),
                      [&] { return std::string(doc->GetFilename().utf8_str()) == saved; }, 60000));
    ASSERT_FALSE(level.soundsLeftOut.empty());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(messages.shown[0].text, SoundsLeftOutMessage(level.soundsLeftOut));
    for (const TrSoundLeftOut& s : level.soundsLeftOut) {
        const std::string id = "#" + std::to_string(s.internalIndex);
        EXPECT_TRUE(note.find(id + ",") != std::string::npos || note.find(id + ".") != std::string::npos)
            << note;
    }
    EXPECT_FALSE(doc->IsModified());
    EXPECT_FALSE(test::XSession::ReadPng(box).empty());
}


// In a Tomb Raider IV level: the moveable that shares the most sounds ("Delete" in its menu,
// then File > Save As) goes without them: the saved level plays them from the same samples.
// Then a Tomb Raider I moveable, whose list of sounds is empty, comes in ("Import from
// .TRMVB" on the moveables node): a box names the sounds it plays that the level lacks.
TEST_F(SaveEndToEnd, ATr4LevelKeepsTheSoundsOfADeletedMoveableThatOthersPlay) {
    std::string tr4, tr1;
    for (const test::RealLevel& real : test::RealLevelFiles()) {
        if (real.unsupported) continue;
        const std::vector<uint8_t> head = test::ReadFileBytes(real.path);
        if (head.at(0) == 'T' && tr4.empty()) tr4 = real.path;
        if (test::Le32(head, 0) == 0x20 && tr1.empty()) tr1 = real.path;
    }
    if (tr4.empty()) GTEST_SKIP() << "no real Tomb Raider IV level";
    CLithoscopeDoc* doc = Open(tr4);
    ASSERT_NE(doc, nullptr);
    CTrLevel& level = doc->m_level;
    // Each moveable's sounds that another one plays too.
    auto shared = [&](size_t i) {
        std::set<int32_t> out;
        const std::vector<int32_t> own = level.moveableList[i]->PlayedSounds();
        for (size_t j = 0; j < level.moveableList.size(); ++j)
            for (int32_t k : level.moveableList[j]->PlayedSounds())
                if (j != i && level.soundList->Contains(k) &&
                    std::find(own.begin(), own.end(), k) != own.end())
                    out.insert(k);
        return out;
    };
    size_t victim = 0;
    for (size_t i = 1; i < level.moveableList.size(); ++i)
        if (shared(i).size() > shared(victim).size()) victim = i;
    const std::set<int32_t> kept = shared(victim);
    if (kept.empty()) GTEST_SKIP() << "no moveable shares a sound";
    std::vector<std::vector<uint8_t>> sounds;
    for (int32_t k : kept) sounds.push_back(test::SlotSound(level, k));
    const size_t count = level.moveableList.size();

    CFileTree* tree = TreeOf(doc);
    ASSERT_NE(tree, nullptr);
    tree->Expand(tree->GetRootItem());
    tree->Expand(tree->m_pMoveablesNode->GetItem());
    Pump(200);
    const wxTreeItemId item = ItemOf(*tree, tree->m_pMoveablesNode, level.moveableList[victim].get());
    ASSERT_TRUE(item.IsOk());
    g_messages.clear();
    g_messages.Answer(MsgAnswer::Yes);
    ASSERT_TRUE(Drive(At(ScreenPoint(*tree, item)) + " click 3 sleep 0.8 key Down Down Down sleep 0.2 key Return",
                      [&] { return level.moveableList.size() == count - 1; }));
    EXPECT_TRUE(g_messages.Saw("Are you sure you want to delete this moveable ?"));
    Pump(300);
    Shot("tr4-deleted.png");

    const std::string saved = dir_.file("deleted.tr4");
    SetSaveFileChooser([&](const SaveFileRequest&) { return saved; });
    g_messages.clear();
    ASSERT_TRUE(Drive("key alt+f sleep 0.6 key a",
                      [&] { return std::string(doc->GetFilename().utf8_str()) == saved; }, 30000));
    EXPECT_TRUE(level.soundsLeftOut.empty());
    EXPECT_FALSE(g_messages.Saw("Some sounds could not be saved"));
    {
        CTrLevel written;
        ASSERT_TRUE(written.Load(saved, true, false));
        size_t n = 0;
        for (int32_t k : kept) EXPECT_EQ(test::SlotSound(written, k), sounds[n++]) << "sound " << k;
    }

    // A Tomb Raider I moveable's animations play sounds its list does not carry.
    if (tr1.empty()) return;
    const std::string trmvb = dir_.file("tr1.trmvb");
    std::string silent;
    {
        CTrLevel other;
        ASSERT_TRUE(other.Load(tr1, false, false));
        const CTrMvb* noisy = nullptr;
        for (const auto& mvb : other.moveableList)
            if (!noisy || mvb->PlayedSounds().size() > noisy->PlayedSounds().size()) noisy = mvb.get();
        ASSERT_TRUE(noisy && noisy->sounds && noisy->sounds->empty());
        for (int32_t k : noisy->PlayedSounds())
            if (!level.soundList->Contains(k)) silent += (silent.empty() ? "#" : ", #") + std::to_string(k);
        ASSERT_TRUE(noisy->SaveFile(trmvb));
    }
    ASSERT_FALSE(silent.empty());
    ShownMessages messages;
    ScopedMessageBackend shown(&messages);
    SetOpenFileChooser([&](const std::string&) { return trmvb; });
    const std::string box = ShotPath("silent-sounds.png");
    const size_t before = level.moveableList.size();
    ASSERT_TRUE(Drive(At(ScreenPoint(*tree, tree->m_pMoveablesNode->GetItem())) +
                          " click 3 sleep 0.8 key Down Down sleep 0.2 key Return" + ShootBoxThenReturn(box),
                      [&] { return level.moveableList.size() == before + 1; }, 60000));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "The animations of this moveable play sounds that this level "
                                      "does not have. They will be silent: " + silent + ".");
    EXPECT_FALSE(test::XSession::ReadPng(box).empty());
}

}  // namespace

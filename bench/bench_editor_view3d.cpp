// The moveable pane with the largest moveable of the real levels (most textured faces),
// its first animation playing, the 3D view 800 x 600: frames per second through the
// editor's own idle loop and of bare frame drawing, and the time from the tree selection to
// the first frame drawn. Needs a display (xvfb-run -a on a machine without one).
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/timer.h>

#include "editor/panes/EditGfx.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/EditorMain.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/tree/LevelTree.h"
#include "editor/view3d/GlWindow.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "bench/BenchLevels.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

size_t Faces(const CTrMvb& m) {
    size_t n = 0;
    for (const TrMeshRecord& mesh : m.meshes) n += mesh.texturedRectangles.size() + mesh.texturedTriangles.size();
    return n;
}

void Pump(double seconds) {
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (Clock::now() < end) {
        wxYield();
        wxTheApp->ProcessIdle();
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "";
    if (dir.empty()) dir = std::getenv("LITHOSCOPE_LEVELS_DIR") ? std::getenv("LITHOSCOPE_LEVELS_DIR") : "";
    if (dir.empty()) dir = std::string(LITHOSCOPE_SOURCE_DIR) + "/../shared/testdata/levels";
    std::vector<std::string> files;
    Walk(dir, files);
    std::sort(files.begin(), files.end());

    char tmpl[] = "/tmp/lithoscope-bench-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const std::string tmp = tmpl;
    ::setenv("LITHOSCOPE_CONFIG_DIR", tmp.c_str(), 1);
    ScriptedMessageBackend quiet;  // no message box may wait for a click
    SetMessageBackend(&quiet);

    // The largest moveable of all levels (loaded from copies: a load writes its log beside it).
    std::string bestLevel;
    int bestId = -1;
    size_t bestFaces = 0;
    for (const std::string& path : files) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes)) continue;
        const std::string copy = tmp + "/" + path.substr(path.find_last_of('/') + 1);
        if (!WriteFileSafely(copy, bytes.data(), bytes.size())) continue;
        CTrLevel level;
        if (level.Load(copy, false, false))
            for (const auto& m : level.moveableList)
                if (m->animationCount() > 0 && Faces(*m) > bestFaces) {
                    bestFaces = Faces(*m);
                    bestId = m->objectId;
                    bestLevel = copy;
                }
    }
    if (bestLevel.empty()) {
        std::printf("no moveable found under %s\n", dir.c_str());
        return 0;
    }

    static char arg0[] = "lithoscope";
    static char* args[] = {arg0, nullptr};
    if (!StartEditorInProcess(1, args)) return 1;
    CLithoscopeApp& app = CLithoscopeApp::Get();
    app.m_catalog.Load(std::string(LITHOSCOPE_SOURCE_DIR) + "/resources/catalog");
    auto* doc = dynamic_cast<CLithoscopeDoc*>(app.GetDocManager()->CreateDocument(bestLevel, wxDOC_SILENT));
    if (!doc) return 1;
    Pump(0.3);
    CFileTree* tree = dynamic_cast<CFileTree*>(doc->GetLevelView()->GetTree());
    CChildFrame* frame = doc->GetLevelView()->GetChildFrame();
    tree->Expand(tree->m_pMoveablesNode->GetItem());
    CHandleBase* node = nullptr;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId c = tree->GetFirstChild(tree->m_pMoveablesNode->GetItem(), cookie); c.IsOk();
         c = tree->GetNextChild(tree->m_pMoveablesNode->GetItem(), cookie))
        if (CHandleBase* n = tree->GetNode(c))
            if (n->GetObject() && static_cast<CTrMvb*>(n->GetObject())->objectId == bestId) node = n;
    if (!node) return 1;

    // Selection to first frame: a new pane (twice: the first one also makes the caption
    // font and starts the GL driver), then from another moveable with the pane in place.
    CHandleBase* other = nullptr;
    for (wxTreeItemId c = tree->GetFirstChild(tree->m_pMoveablesNode->GetItem(), cookie); c.IsOk() && !other;
         c = tree->GetNextChild(tree->m_pMoveablesNode->GetItem(), cookie))
        if (tree->GetNode(c) && tree->GetNode(c) != node) other = tree->GetNode(c);
    const char* what[3] = {"new pane, first in the run", "new pane", "pane in place"};
    double selectMs[3] = {0, 0, 0}, handlerMs[3] = {0, 0, 0};
    COpenGLWnd* gl = nullptr;
    for (int pass = 0; pass < 3; ++pass) {
        tree->SelectItem(pass == 2 && other ? other->GetItem() : tree->GetRootItem());
        Pump(0.3);
        const auto t0 = Clock::now();
        tree->SelectItem(node->GetItem());
        handlerMs[pass] = Seconds(t0, Clock::now()) * 1000;
        CEditPaneBase* pane = nullptr;
        frame->GetEditPane(&pane);
        auto* moveablePane = dynamic_cast<CEditMoveable*>(pane);
        gl = moveablePane ? moveablePane->GetGlWindow() : nullptr;
        if (!gl) return 1;
        const uint64_t before = gl->FrameCount();
        while (gl->FrameCount() == before && Seconds(t0, Clock::now()) < 5) {
            wxYield();
            app.ProcessIdle();
        }
        selectMs[pass] = Seconds(t0, Clock::now()) * 1000;
    }

    // The 3D view at 800 x 600.
    CMainFrame* main = app.GetMainFrame();
    for (int i = 0; i < 4; ++i) {
        const wxSize now = gl->GetClientSize();
        main->SetSize(main->GetSize() + wxSize(800 - now.x, 600 - now.y));
        Pump(0.2);
    }
    CEditPaneBase* pane = nullptr;
    frame->GetEditPane(&pane);
    static_cast<CEditMoveable*>(pane)->StartAnimPlayback(0);
    gl->SetAutoCamera(true);
    Pump(0.5);

    // The editor's own loop: idle ticks invalidate the view, paints draw it.
    const double kLoopSeconds = 5;
    const uint64_t f0 = gl->FrameCount();
    wxTimer stop;
    stop.Bind(wxEVT_TIMER, [&app](wxTimerEvent&) { app.ExitMainLoop(); });
    stop.StartOnce(int(kLoopSeconds * 1000));
    const auto l0 = Clock::now();
    wxWakeUpIdle();  // the loop's idle events start with it
    app.MainLoop();
    const double loopFps = double(gl->FrameCount() - f0) / Seconds(l0, Clock::now());

    // Bare frames: drawn and swapped back to back.
    const int kFrames = 300;
    const auto b0 = Clock::now();
    for (int i = 0; i < kFrames; ++i) gl->RenderFrame(true);
    const double bareFps = kFrames / Seconds(b0, Clock::now());

    const wxSize size = gl->GetClientSize();
    std::printf("level %s, moveable %d (%zu textured faces), view %dx%d, animation 0 playing\n",
                bestLevel.substr(bestLevel.find_last_of('/') + 1).c_str(), bestId, bestFaces, size.x, size.y);
    for (int pass = 0; pass < 3; ++pass)
        std::printf("selection to first frame (%s): %.1f ms, %.1f ms of it in the selection handler\n", what[pass],
                    selectMs[pass], handlerMs[pass]);
    std::printf("frames per second: %.1f in the editor's loop, %.1f bare\n", loopFps, bareFps);

    StopEditorInProcess();
    SetMessageBackend(nullptr);
    std::vector<std::string> left;
    Walk(tmp, left);
    for (const std::string& f : left) std::remove(f.c_str());
    ::rmdir(tmp.c_str());
    return 0;
}

#include "editor/shell/EditorMain.h"

#include <cstdio>
#include <cstdlib>

#include <wx/app.h>
#include <wx/init.h>

#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/MainFrame.h"

namespace lithoscope {

int RunEditor(int argc, char** argv) {
    // Without a display GTK can't start; say so plainly instead of failing inside wx.
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        std::fprintf(stderr,
                     "lithoscope: the interactive editor is not available: no display (DISPLAY "
                     "is not set); batch conversion: lithoscope s OPTIONS MODE IN [OUT]\n");
        return 1;
    }
    // The GL view needs GLX: on a Wayland desktop run through its X server.
    setenv("GDK_BACKEND", "x11", 0);
    // The application object is made here: a wx application macro inside a static library
    // would be dropped by the linker.
    wxApp::SetInstance(new CLithoscopeApp);
    return wxEntry(argc, argv);
}

bool StartEditorInProcess(int argc, char** argv) {
    wxApp::SetInstance(new CLithoscopeApp);
    if (!wxEntryStart(argc, argv)) return false;
    if (!wxTheApp->CallOnInit()) {
        wxEntryCleanup();
        return false;
    }
    return true;
}

void StopEditorInProcess() {
    if (!wxTheApp) return;
    auto& app = CLithoscopeApp::Get();
    if (wxDocManager* manager = app.GetDocManager()) manager->CloseDocuments(true);
    if (CMainFrame* frame = app.GetMainFrame()) frame->Destroy();
    app.ProcessIdle();
    app.OnExit();
    wxEntryCleanup();
}

}  // namespace lithoscope

// The module's entry (kEditorEntryName).
extern "C" int LithoscopeRunEditor(int argc, char** argv) { return lithoscope::RunEditor(argc, argv); }

#if defined(__SANITIZE_ADDRESS__)
// The desktop libraries under wx keep caches for the whole process; only our own leaks count.
extern "C" const char* __lsan_default_suppressions() { return lithoscope::kDesktopLeakSuppressions; }
#endif

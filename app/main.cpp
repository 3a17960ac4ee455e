// The one program: "s" on the command line runs the batch converter with no display;
// anything else loads the editor module beside the program and starts the editor, so that
// a batch run never loads the GUI libraries.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "batch/BatchMode.h"
#include "batch/CmdLine.h"
#include "editor/shell/EditorMain.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace {

int StartEditor(int argc, char** argv) {
    const std::string module = lithoscope::ExecutableFolder() + lithoscope::kEditorModuleName;
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        std::fprintf(stderr, "lithoscope: the interactive editor can't be loaded: %s\n", ::dlerror());
        return 1;
    }
    auto entry = reinterpret_cast<lithoscope::EditorEntry>(::dlsym(handle, lithoscope::kEditorEntryName));
    if (!entry) {
        std::fprintf(stderr, "lithoscope: %s has no editor entry\n", module.c_str());
        return 1;
    }
    return entry(argc, argv);  // the module stays loaded until the process ends
}

}  // namespace

int main(int argc, char** argv) {
    // No exception leaves the program: a failure of either mode ends it with status 255 and
    // its reason.
    try {
        lithoscope::CCmdLine cmdLine;
        lithoscope::ParseCommandLine(argc, argv, cmdLine);
        if (cmdLine.m_bBatch) return lithoscope::ProcessStatus(lithoscope::RunBatch(cmdLine));
        return StartEditor(argc, argv);
    } catch (...) {
        lithoscope::ReportEndingException();
    }
    return lithoscope::ProcessStatus(lithoscope::kBatchLoadFailed);
}

#if defined(__SANITIZE_ADDRESS__)
// The suppressions of the desktop libraries that the editor module loads.
extern "C" const char* __lsan_default_suppressions() { return lithoscope::kDesktopLeakSuppressions; }
#endif

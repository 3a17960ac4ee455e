#pragma once
// Entry of the interactive editor; main() calls it once batch mode is ruled out, through
// the editor module that it loads beside itself.
namespace lithoscope {

// The module's file name and its entry, a C function with RunEditor's signature.
constexpr const char* kEditorModuleName = "lithoscope-editor.so";
constexpr const char* kEditorEntryName = "LithoscopeRunEditor";
using EditorEntry = int (*)(int argc, char** argv);

// Leaks of the desktop libraries under wx, which keep caches for the whole process: not
// ours (the leak checker's suppressions in sanitizer builds).
constexpr const char* kDesktopLeakSuppressions =
    "leak:libfontconfig\nleak:libdbus\nleak:libglib\nleak:libgobject\nleak:libgio\n"
    "leak:libgtk\nleak:libgdk\nleak:libpango\nleak:libcairo\nleak:libX11\n"
    "leak:libharfbuzz\nleak:libatk\nleak:libatspi\nleak:libEGL\nleak:libGLX\n"
    "leak:libGL\nleak:libgallium\nleak:swrast\nleak:libLLVM\n";

// Runs the editor until its main window closes; returns the process status.
int RunEditor(int argc, char** argv);

// The editor started without running its message loop, for the suites: true when the
// start-up sequence succeeded. StopEditorInProcess closes every window and cleans up.
bool StartEditorInProcess(int argc, char** argv);
void StopEditorInProcess();

}  // namespace lithoscope

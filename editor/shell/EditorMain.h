#pragma once
// Entry of the interactive editor; main() calls it once batch mode is ruled out.
namespace lithoscope {

// Runs the editor until its main window closes; returns the process status.
int RunEditor(int argc, char** argv);

// The editor started without running its message loop, for the suites: true when the
// start-up sequence succeeded. StopEditorInProcess closes every window and cleans up.
bool StartEditorInProcess(int argc, char** argv);
void StopEditorInProcess();

}  // namespace lithoscope

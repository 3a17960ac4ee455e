// The one program: "s" on the command line runs the batch converter with no display;
// anything else starts the editor.
#include "batch/BatchMode.h"
#include "batch/CmdLine.h"
#include "editor/shell/EditorMain.h"

int main(int argc, char** argv) {
    lithoscope::CCmdLine cmdLine;
    lithoscope::ParseCommandLine(argc, argv, cmdLine);
    if (cmdLine.m_bBatch) return lithoscope::ProcessStatus(lithoscope::RunBatch(cmdLine));
    return lithoscope::RunEditor(argc, argv);
}

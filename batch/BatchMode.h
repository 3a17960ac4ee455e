#pragma once
// The batch conversion: load one level, save it again, end with an exit code. Runs with no
// display: messages go to the console, progress (when the option bits ask) to standard error.
#include <string>

namespace lithoscope {

class CCmdLine;

// Exit codes of the batch run, and the process statuses they become.
constexpr int kBatchSaved = 0;
constexpr int kBatchLoadFailed = -1;  // status 255
constexpr int kBatchSaveFailed = -2;  // status 254

// Option bits of the first word after "s".
constexpr int kBatchLoadMessages = 1;
constexpr int kBatchSaveMessages = 2;

// The batch run of a parsed command line that holds "s": 0, -1 or -2.
int RunBatch(const CCmdLine& cmdLine);

// The status the process ends with for an exit code (-1 gives 255, -2 gives 254).
inline int ProcessStatus(int exitCode) { return exitCode & 0xFF; }

}  // namespace lithoscope

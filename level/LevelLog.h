#pragma once
// The level log: one text file beside the level most recently loaded, lines ended by
// "\r\n", opened and closed for every line, and the count of errors found and fixed.
#include <cstdint>
#include <cstdio>
#include <string>

namespace lithoscope {

struct LevelLogState {
    LevelLogState() = default;
    LevelLogState(const LevelLogState&) = delete;
    LevelLogState& operator=(const LevelLogState&) = delete;
    ~LevelLogState();

    std::string logPath;
    int32_t errorCount = 0;
    int32_t currentMoveable = -1;  // moveable being built, -1 outside the builder
    uint64_t lastFreeMemory = 0;
    // The line that says why the last load refused its level ("" when none).
    std::string refusal;
    // The last load or save failed for want of memory, not for its level.
    bool outOfMemory = false;

    // The log stays open between lines (each line is flushed): opening it once a line
    // cost more than the work the lines describe.
    std::FILE* file = nullptr;
    std::string openPath;
    void Close();
};

// The one process-wide log state.
LevelLogState& LevelLog();

// levelPath with the extension of its file name replaced by suffix; a path whose file
// name has no '.' gets suffix appended.
std::string GetLogPath(const std::string& levelPath, const std::string& suffix);

// Start of a load: the log path from the level path, the old log deleted, the error
// counter 0, no current moveable, no refusal and no want of memory.
void StartLevelLog(const std::string& levelPath);

// Appends one line; countAsError raises the error counter even when the file can't be
// opened; withMemory adds a line with the free memory.
void AppendLogLine(const std::string& text, bool countAsError = false, bool withMemory = false);

}  // namespace lithoscope

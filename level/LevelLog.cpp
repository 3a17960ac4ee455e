#include "level/LevelLog.h"

#include <cstdio>

#include "platform/Files.h"
#include "platform/System.h"

namespace lithoscope {

LevelLogState::~LevelLogState() { Close(); }

void LevelLogState::Close() {
    if (file) std::fclose(file);
    file = nullptr;
    openPath.clear();
}

LevelLogState& LevelLog() {
    static LevelLogState state;
    return state;
}

std::string GetLogPath(const std::string& levelPath, const std::string& suffix) {
    // Only a '.' in the file name counts: a dotted folder name must not move the log.
    size_t nameStart = levelPath.find_last_of('/');
    nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
    size_t dot = levelPath.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return levelPath + suffix;
    return levelPath.substr(0, dot) + suffix;
}

void StartLevelLog(const std::string& levelPath) {
    LevelLogState& log = LevelLog();
    log.Close();
    log.logPath = GetLogPath(levelPath, "_log.txt");
    if (log.logPath != levelPath) std::remove(log.logPath.c_str());
    log.errorCount = 0;
    log.currentMoveable = -1;
    log.refusal.clear();
    log.outOfMemory = false;
}

void AppendLogLine(const std::string& text, bool countAsError, bool withMemory) {
    LevelLogState& log = LevelLog();
    if (countAsError) ++log.errorCount;
    if (withMemory) log.lastFreeMemory = AvailableMemoryBytes();
    if (log.logPath.empty()) return;
    if (!log.file || log.openPath != log.logPath) {
        log.Close();
        log.file = std::fopen(log.logPath.c_str(), "a+b");
        if (!log.file) return;
        log.openPath = log.logPath;
    }
    std::FILE* f = log.file;
    std::fprintf(f, "%s\r\n", text.c_str());
    if (withMemory)
        std::fprintf(f, "\tFree Memory (Now) = 0x%llX\r\n",
                     static_cast<unsigned long long>(log.lastFreeMemory));
    std::fflush(f);
}

}  // namespace lithoscope

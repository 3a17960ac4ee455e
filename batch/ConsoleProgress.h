#pragma once
// Progress of a level load or save as one line on standard error, in place of the progress
// windows when there is no display (batch mode with its option bits set).
#include <cstdint>
#include <cstdio>
#include <string>

#include "level/LevelProgress.h"

namespace lithoscope {

class CConsoleProgress : public ILevelProgress {
public:
    // kind "load" or "save"; the line goes to out (standard error by default). On a
    // terminal the line is redrawn in place; otherwise a line is printed only when a bar
    // passes a quarter, so a log gets a few lines, not thousands.
    CConsoleProgress(const std::string& kind, const std::string& title, FILE* out = stderr);
    ~CConsoleProgress() override;

    void SetMainRange(uint32_t max) override;
    void SetMainPos(uint32_t pos) override;
    void SetBuildRange(uint32_t max) override;
    void SetBuildPos(uint32_t pos) override;
    void SetRepackRange(uint32_t max) override;
    void SetRepackPos(uint32_t pos) override;
    void SetTileCounts(uint32_t oldCount, uint32_t newCount) override;
    void Close() override;

    // The line as it stands.
    std::string Line() const;

private:
    struct Bar {
        uint32_t max = 0;
        uint32_t pos = 0;
    };
    int Percent(const Bar& bar) const;
    void Update();

    FILE* out_;
    bool saving_;
    bool terminal_;
    bool closed_ = false;
    std::string title_;
    Bar main_, build_, repack_;
    bool haveTiles_ = false;
    uint32_t oldTiles_ = 0, newTiles_ = 0;
    std::string shown_;
};

// Installs the console progress as the level I/O's window factory for the lifetime of the
// object, and puts the previous factory back after.
class ScopedConsoleProgress {
public:
    ScopedConsoleProgress();
    ~ScopedConsoleProgress();
    ScopedConsoleProgress(const ScopedConsoleProgress&) = delete;
    ScopedConsoleProgress& operator=(const ScopedConsoleProgress&) = delete;

private:
    LevelProgressFactory previous_;
};

}  // namespace lithoscope

#include "batch/ConsoleProgress.h"

#include <unistd.h>

namespace lithoscope {

CConsoleProgress::CConsoleProgress(const std::string& kind, const std::string& title, FILE* out)
    : out_(out ? out : stderr),
      saving_(kind == "save"),
      terminal_(isatty(fileno(out_)) != 0),
      title_(title) {}

CConsoleProgress::~CConsoleProgress() { Close(); }

void CConsoleProgress::SetMainRange(uint32_t max) { main_.max = max; Update(); }
void CConsoleProgress::SetMainPos(uint32_t pos) { main_.pos = pos; Update(); }
void CConsoleProgress::SetBuildRange(uint32_t max) { build_.max = max; Update(); }
void CConsoleProgress::SetBuildPos(uint32_t pos) { build_.pos = pos; Update(); }
void CConsoleProgress::SetRepackRange(uint32_t max) { repack_.max = max; Update(); }
void CConsoleProgress::SetRepackPos(uint32_t pos) { repack_.pos = pos; Update(); }

void CConsoleProgress::SetTileCounts(uint32_t oldCount, uint32_t newCount) {
    haveTiles_ = true;
    oldTiles_ = oldCount;
    newTiles_ = newCount;
    Update();
}

int CConsoleProgress::Percent(const Bar& bar) const {
    if (bar.max == 0) return 0;
    if (bar.pos >= bar.max) return 100;
    int p = int(uint64_t(bar.pos) * 100 / bar.max);
    // Away from a terminal, only quarters count.
    return terminal_ ? p : p / 25 * 25;
}

std::string CConsoleProgress::Line() const {
    std::string line = std::string(saving_ ? "Level saving" : "Level loading");
    if (!title_.empty()) line += " " + title_;
    line += ": " + std::string(saving_ ? "Saving " : "Loading ") +
            std::to_string(Percent(main_)) + "%";
    line += ", Converting " + std::to_string(Percent(build_)) + "%";
    if (saving_) {
        line += ", Converting " + std::to_string(Percent(repack_)) + "%";
        if (haveTiles_)
            line += ", tiles " + std::to_string(oldTiles_) + " -> " + std::to_string(newTiles_);
    }
    return line;
}

void CConsoleProgress::Update() {
    if (closed_) return;
    std::string line = Line();
    if (line == shown_) return;
    if (terminal_) {
        std::string pad(shown_.size() > line.size() ? shown_.size() - line.size() : 0, ' ');
        std::fprintf(out_, "\r%s%s", line.c_str(), pad.c_str());
    } else {
        std::fprintf(out_, "%s\n", line.c_str());
    }
    std::fflush(out_);
    shown_ = line;
}

void CConsoleProgress::Close() {
    if (closed_) return;
    closed_ = true;
    if (terminal_ && !shown_.empty()) {
        std::fputc('\n', out_);
        std::fflush(out_);
    }
}

ScopedConsoleProgress::ScopedConsoleProgress()
    : previous_(SetLevelProgressFactory([](const std::string& kind, const std::string& title) {
          return std::unique_ptr<ILevelProgress>(std::make_unique<CConsoleProgress>(kind, title));
      })) {}

ScopedConsoleProgress::~ScopedConsoleProgress() { SetLevelProgressFactory(previous_); }

}  // namespace lithoscope

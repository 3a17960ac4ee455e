#pragma once
// The progress window that level loading and saving drive while messages are on. The
// level library never creates a window itself: the GUI (or batch mode) installs a factory,
// and without one no progress is shown.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lithoscope {

class ILevelProgress {
public:
    virtual ~ILevelProgress() = default;
    // Main bar ("Loading" / "Saving"): bytes of the file image or of the level data.
    virtual void SetMainRange(uint32_t max) = 0;
    virtual void SetMainPos(uint32_t pos) = 0;
    // Build bar ("Converting"): objects built from the arrays.
    virtual void SetBuildRange(uint32_t max) = 0;
    virtual void SetBuildPos(uint32_t pos) = 0;
    // Repack bar (save only): object model written back into the arrays.
    virtual void SetRepackRange(uint32_t max) = 0;
    virtual void SetRepackPos(uint32_t pos) = 0;
    // Save only: texture pages before and after repacking.
    virtual void SetTileCounts(uint32_t oldCount, uint32_t newCount) = 0;
    // Hides and destroys the window; nothing is called after it.
    virtual void Close() = 0;
};

// Makes the window for a load (kind "load") or a save (kind "save"), titled with the
// level's name, shown modeless; may return null.
using LevelProgressFactory =
    std::function<std::unique_ptr<ILevelProgress>(const std::string& kind,
                                                  const std::string& title)>;

// Installs the factory (an empty one removes it); returns the previous one.
LevelProgressFactory SetLevelProgressFactory(LevelProgressFactory factory);
// The window of the installed factory, or null when none is installed.
std::unique_ptr<ILevelProgress> CreateLevelProgress(const std::string& kind,
                                                    const std::string& title);

// Dispatches pending window messages once; load, save and the image builders call it
// before they start. The GUI installs it; without one it does nothing.
using PendingMessagePump = std::function<void()>;
PendingMessagePump SetPendingMessagePump(PendingMessagePump pump);
void PumpPendingMessages();

}  // namespace lithoscope

#pragma once
// What the moveable "Animation" page reads from and writes to the bound moveable's tracks.
// Animation, frame and key numbers are shown from 1 and stored from 0.
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

class CTrMvb;
class CTRAnimTrack;

class CTlboxMoveableAnimLogic {
public:
    void Bind(CTrMvb* moveable);
    bool IsEnabled() const;

    // "No animation" then "Animation #%.3d" numbered from 1.
    std::vector<std::string> ListItems() const;

    // Pushed by the window: the playing animation (0-based).
    void SetAnim(int index);
    // 1-based; 0 when nothing plays.
    int GetCurrentAnim() const { return currentAnim_; }

    const std::string& StateIdText() const { return stateIdText_; }
    const std::string& SpeedLowText() const { return speedLowText_; }
    const std::string& SpeedHighText() const { return speedHighText_; }
    const std::string& AccelerationText() const { return accelerationText_; }
    uint32_t NextAnim() const { return nextAnim_; }
    uint32_t NextFrame() const { return nextFrame_; }
    bool Hex() const { return hex_; }

    // Focus-lost handlers of the edits; they change nothing without a current track.
    void SetStateIdText(const std::string& text);
    void SetSpeedLowText(const std::string& text);
    void SetSpeedHighText(const std::string& text);
    void SetAccelerationText(const std::string& text);
    // 1-based values; 0 leaves that part unchanged. Returns false for a number outside the
    // moveable's animations or the next animation's frames (nothing is written).
    bool SetNextAnim(uint32_t value);
    bool SetNextFrame(uint32_t value);
    void ToggleHex();

private:
    CTRAnimTrack* Current() const;
    void WriteSpeeds();
    void ShowSpeedValues();

    CTrMvb* moveable_ = nullptr;
    int currentAnim_ = 0;
    std::string stateIdText_, speedLowText_, speedHighText_, accelerationText_;
    uint32_t nextAnim_ = 0, nextFrame_ = 0;
    int32_t speedLow_ = 0, speedHigh_ = 0;
    float acceleration_ = 0.0f;
    bool hex_ = false;
};

}  // namespace lithoscope

#pragma once
// What the moveable toolbox's "Animation" page reads from and writes to the bound
// moveable's animations, and how it drives the playback of the moveable pane's OpenGL
// window. The window reports where playback stands through the ITlboxMoveableItfAnim
// calls below (SetAnim, SetFrame, SetKey, SetFramerate, SetNext, SetValue).
// Animation, frame and key numbers are shown from 1 and stored from 0.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/toolbox/TlboxLogicBase.h"

namespace lithoscope {

class CTrMvb;
class CTRAnimTrack;

// The animation playback of the moveable pane's OpenGL window.
class IAnimPlayback {
public:
    virtual ~IAnimPlayback() = default;
    // Plays animation index from its start; -1 stops playback.
    virtual void StartAnimPlayback(int index) = 0;
    virtual void SetAnimFrame(int frame) = 0;
    virtual void SetAnimKey(int key) = 0;
    virtual void SetAnimFraction(float value) = 0;
    // Moves playback by steps frames of the track's speed (+1 forward, -1 back).
    virtual void StepAnimation(int steps) = 0;
    // 0..1; 0.5 is the animation's own speed.
    virtual void SetReplaySpeed(float x) = 0;
    // With restart, the current animation starts again.
    virtual void SetChainAnimations(bool chain, bool restart) = 0;
    virtual void SetInterpolate(bool on) = 0;
    // The window's automatic-playback flag.
    virtual void SetAutomaticPlayback(bool on) = 0;
    virtual void SetCaption(const std::string& text) = 0;
};

class CTlboxMoveableAnimLogic : public CTlboxLogicBase {
public:
    // moveable and playback may be null (playback: the pane has no window yet).
    void Bind(CTrMvb* moveable, IAnimPlayback* playback);
    // Hands chain, automatic and interpolate to the window; with force (another object)
    // rebuilds the list and resets the replay values.
    void Update(bool force);
    bool IsEnabled() const;

    // The list: "No animation", then "Animation #%.3d" numbered from 1. Row r stands for
    // animation r - 1 (-1: none).
    const std::vector<std::string>& ListItems() const { return items_; }
    int ListSelection() const { return selection_; }
    // The user picks a row: playback starts there (row 0 stops it).
    void SelectAnimation(int row);
    void OnAnimationSelected();
    // F6 selects the next animation, F5 the previous one (F5 on the first gives "No
    // animation"). True when the selection moved.
    bool OnKeyTick(bool f5Pressed, bool f6Pressed);

    // ITlboxMoveableItfAnim: what the window reports.
    void SetAnim(int index);
    void SetFrame(int current, int count);
    void SetKey(int current, int count);
    void SetFramerate(int n);
    void SetNext(int anim, int frame);
    void SetValue(float value);
    bool IsAutomatic() const { return automatic_; }
    // 1-based; 0 when no animation has played since the list was built.
    int GetCurrentAnim() const;

    // Page values.
    const std::string& CurrentAnimText() const { return currentAnimText_; }
    const std::string& FrameText() const { return frameText_; }
    const std::string& FrameCountText() const { return frameCountText_; }  // "/ %ld"
    const std::string& KeyText() const { return keyText_; }
    const std::string& KeyCountText() const { return keyCountText_; }
    const std::string& StateIdText() const { return stateIdText_; }
    const std::string& SpeedLowText() const { return speedLowText_; }
    const std::string& SpeedHighText() const { return speedHighText_; }
    const std::string& AccelerationText() const { return accelerationText_; }
    const std::string& InterpText() const { return interpText_; }
    uint32_t Framerate() const { return framerate_; }
    uint32_t ReplaySpeed() const { return replaySpeed_; }  // slider 1..100
    uint32_t NextAnim() const { return nextAnim_; }
    uint32_t NextFrame() const { return nextFrame_; }
    // Sliders: range 1..max, position.
    int FrameSliderMax() const { return frameMax_; }
    int FrameSliderPos() const { return framePos_; }
    int KeySliderMax() const { return keyMax_; }
    int KeySliderPos() const { return keyPos_; }
    bool Chain() const { return chain_; }
    bool Interpolate() const { return interpolate_; }
    bool Hex() const { return hex_; }
    // Button texts: the mode each flag is in.
    const char* ChainText() const { return chain_ ? "Chain" : "Loop"; }
    const char* AutomaticText() const { return automatic_ ? "Automatic" : "Manual"; }
    const char* InterpolateText() const { return interpolate_ ? "on" : "off"; }
    const char* HexText() const { return hex_ ? "Hex" : "Dec"; }

    // Edits of the playing animation (focus lost). Nothing changes without one.
    // State id: the leading decimal integer (none gives 0); outside 0..65535 it is refused
    // with a message. The speed words take what a level's 16-bit words hold (the
    // "Unknown:" word 0000..FFFF in hexadecimal, -32768..32767 in decimal) and the
    // acceleration what its 16.16 fixed point holds; other values are refused with a
    // message. After each edit the three texts show what the track holds.
    void SetStateIdText(const std::string& text);
    void SetSpeedLowText(const std::string& text);
    void SetSpeedHighText(const std::string& text);
    void SetAccelerationText(const std::string& text);
    // 1-based; 0 leaves that part as it is. A number past the moveable's animations or
    // the next animation's frames is refused with a message and changes nothing. A new
    // next animation too short for the kept next frame restarts it at its first frame.
    void SetNextAnimText(const std::string& text);
    void SetNextFrameText(const std::string& text);
    bool SetNextAnim(uint32_t value);
    bool SetNextFrame(uint32_t value);

    // Replay controls. The frame and key sliders and the step spin act in manual mode only.
    void ToggleChain();
    void ToggleAutomatic();
    void ToggleInterpolate();
    void ToggleHex();
    void SetFramePosition(int position);
    void SetKeyPosition(int position);
    void Step(bool up);
    // A fraction 0..1 between the current key and the next.
    void SetInterpText(const std::string& text);
    void SetReplayPosition(int position);

private:
    CTRAnimTrack* Current() const;
    // An animation row is selected: the window's reports belong to it.
    bool IsPlaying() const { return selection_ != 0; }
    // Empties what the page shows of the playing animation.
    void ClearPlaying();
    // Writes the three speed values into the playing track; modified when they differ.
    void WriteSpeeds();
    // The track's speed values, shown.
    void ReloadSpeeds();
    void ShowSpeedValues();
    void ShowNext();
    int AnimationCount() const;

    CTrMvb* moveable_ = nullptr;
    IAnimPlayback* playback_ = nullptr;
    std::vector<std::string> items_{"No animation"};
    int selection_ = 0;
    std::string currentAnimText_, frameText_, frameCountText_, keyText_, keyCountText_;
    std::string stateIdText_, speedLowText_, speedHighText_, accelerationText_, interpText_;
    uint32_t framerate_ = 0, replaySpeed_ = 50, nextAnim_ = 0, nextFrame_ = 0;
    int frameMax_ = 0, framePos_ = 0, keyMax_ = 0, keyPos_ = 0;
    int32_t speedLow_ = 0, speedHigh_ = 0;
    float acceleration_ = 0.0f;
    bool chain_ = false, automatic_ = true, interpolate_ = true, hex_ = false;
};

}  // namespace lithoscope

#pragma once
// The modeless progress windows of level loading ("Level loading": "Loading" and
// "Converting") and saving ("Level saving": two "Converting" bars, "Saving" and the tile
// count), and the ILevelProgress the level library drives them through.
#include <cstdint>
#include <memory>
#include <string>

#include <wx/dialog.h>

#include "level/LevelProgress.h"

class wxGauge;
class wxStaticText;

namespace lithoscope {

// One bar as the level library sets it; wx gauges take int, so large ranges are scaled.
class CProgressBarState {
public:
    void SetRange(uint32_t max);
    void SetPos(uint32_t pos);  // kept within the range
    uint32_t range() const { return range_; }
    uint32_t pos() const { return pos_; }
    int GaugeRange() const { return int(range_ >> shift_); }
    int GaugePos() const { return int(pos_ >> shift_); }

private:
    uint32_t range_ = 0;
    uint32_t pos_ = 0;
    int shift_ = 0;
};

std::string LoadCaption(const std::string& levelName);   // "Loading level %s"
std::string SaveCaption(const std::string& levelName);   // "Saving level %s"
std::string TileCountText(long oldCount, long newCount); // "%ld (old num: %ld)"

class CDlgLevelLS : public wxDialog {
public:
    std::string m_strLevelName;
    wxGauge* m_conversionBar = nullptr;

    // Creates the window without a parent and shows it, modeless.
    bool CreateAndShow();
    // Sets a bar and repaints it now.
    void SetBar(wxGauge* bar, const CProgressBarState& state);

protected:
    virtual std::string Caption() const = 0;
    virtual void BuildControls() = 0;
    wxGauge* AddBarRow(wxSizer* grid, const char* label);
};

class CDlgLevelLoad : public CDlgLevelLS {
public:
    wxGauge* m_readingBar = nullptr;

protected:
    std::string Caption() const override { return LoadCaption(m_strLevelName); }
    void BuildControls() override;
};

class CDlgLevelSave : public CDlgLevelLS {
public:
    wxGauge* m_writingBar = nullptr;
    wxGauge* m_preparingBar = nullptr;
    std::string m_strTileCount;
    // The tile-count text becomes "%ld (old num: %ld)" of newCount and oldCount, shown now.
    void SetTileCounts(long oldCount, long newCount);

protected:
    std::string Caption() const override { return SaveCaption(m_strLevelName); }
    void BuildControls() override;

private:
    wxStaticText* tileText_ = nullptr;
};

// The ILevelProgress of one load or save: its window and the state of its bars.
class CLevelProgressWindow : public ILevelProgress {
public:
    CLevelProgressWindow(bool saving, const std::string& levelName);
    ~CLevelProgressWindow() override;

    void SetMainRange(uint32_t max) override;
    void SetMainPos(uint32_t pos) override;
    void SetBuildRange(uint32_t max) override;
    void SetBuildPos(uint32_t pos) override;
    void SetRepackRange(uint32_t max) override;
    void SetRepackPos(uint32_t pos) override;
    void SetTileCounts(uint32_t oldCount, uint32_t newCount) override;
    void Close() override;

    // Main bar: "Loading" or "Saving"; build: "Converting" (load second row, save third);
    // repack: "Converting" (save first row).
    const CProgressBarState& main() const { return main_; }
    const CProgressBarState& build() const { return build_; }
    const CProgressBarState& repack() const { return repack_; }
    CDlgLevelLS* dialog() const { return dialog_; }

private:
    void Show(wxGauge* bar, const CProgressBarState& state);
    wxGauge* MainBar() const;
    wxGauge* RepackBar() const;

    bool saving_;
    CDlgLevelLS* dialog_ = nullptr;  // destroyed by Close
    CProgressBarState main_, build_, repack_;
};

// Installs the factory of these windows and the pending-message pump (UI events only, so
// no command of the user runs in the middle of a load or save).
void InstallLevelProgressWindows();
void RemoveLevelProgressWindows();

}  // namespace lithoscope

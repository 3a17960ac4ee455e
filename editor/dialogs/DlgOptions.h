#pragma once
// The three options dialogs of the main frame: original level paths, display, sound.
// Their rules sit in plain functions and members; the windows only show them.
#include <array>
#include <cstdint>
#include <string>

#include <wx/dialog.h>

class wxTextCtrl;
class wxCheckBox;

namespace lithoscope {

// ---- "Original level paths" ----------------------------------------------------------------
// Fields in the dialog's order: Tomb Raider I, II, III, IV, I Gold, II Gold, III Gold.
constexpr int kLevelPathFields = 7;
// Catalog game of a field (0, 2, 4, 6, 1, 3, 5) and the game number of its browse title.
int LevelPathFieldGame(int field);
int LevelPathFieldGameNumber(int field);
// "Choose the folder of the original Tomb Raider %ld levels:"
std::string LevelPathBrowseTitle(int field);
// A data path ends with the separator; an empty one becomes "/".
std::string WithTrailingSeparator(const std::string& path);

class CDiagLevelPath : public wxDialog {
public:
    explicit CDiagLevelPath(wxWindow* parent);
    // Folder paths by field, all empty at construction.
    std::array<std::string, kLevelPathFields> m_paths;

    // The "..." button of a field: the folder chooser's result replaces the text.
    void OnBrowse(int field);
    // OK: reads the fields back, then appends the separator where missing, in the order
    // I, I Gold, II, II Gold, III, III Gold, IV.
    void OnOK();

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;
    wxTextCtrl* Field(int field) const { return fields_[size_t(field)]; }

private:
    std::array<wxTextCtrl*, kLevelPathFields> fields_{};
};

// ---- "Display options" ---------------------------------------------------------------------
class CDlgDisplayOpt : public wxDialog {
public:
    explicit CDlgDisplayOpt(wxWindow* parent);
    int m_nFriendlyNames = 0;
    int m_nIcons = 0;
    int m_nRealMeshes = 0;
    int m_nAssociatedMoveable = 0;
    uint32_t m_crBackground = 0;  // 0x00BBGGRR

    // "Change background color": the colour chooser on the current colour.
    void OnChangeBackground();

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

private:
    wxCheckBox* friendly_ = nullptr;
    wxCheckBox* icons_ = nullptr;
    wxCheckBox* realMeshes_ = nullptr;
    wxCheckBox* associated_ = nullptr;
};

// ---- "Sound options" -----------------------------------------------------------------------
class CDlgSoundOpt : public wxDialog {
public:
    explicit CDlgSoundOpt(wxWindow* parent);
    int m_nUncompressedSounds = 0;

    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

private:
    wxCheckBox* uncompressed_ = nullptr;
};

// Colours as the registry and the GL window keep them: red in the low byte.
constexpr uint32_t MakeRgb(uint8_t r, uint8_t g, uint8_t b) {
    return uint32_t(r) | (uint32_t(g) << 8) | (uint32_t(b) << 16);
}

}  // namespace lithoscope

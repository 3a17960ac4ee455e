#pragma once
// The application's five display and sound settings and the start-up steps that need no
// window: data paths, catalog, settings, recent files. Kept apart from the wx application
// so the suites drive them without a display.
#include <string>
#include <vector>

namespace lithoscope {

class CGameCatalog;

// Section of every value below, and of the catalog's data paths.
constexpr const char* kSettingsSection = "Settings";
// The recent-file list: "File1" ... "File10" of this section.
constexpr const char* kRecentFileSection = "Recent File List";
constexpr int kRecentFileCount = 10;

class CLithoscopeSettings {
public:
    // The catalog (not owned) follows the friendly-names setting; may be null.
    explicit CLithoscopeSettings(CGameCatalog* catalog = nullptr) : settingsCatalog_(catalog) {}
    virtual ~CLithoscopeSettings() = default;

    // Each stores 1 or 0 and writes the same value at once under "Settings".
    void SetShowFriendlyNamesInTreeview(bool on);
    void SetShowIconInFrontOfItemInTreeview(bool on);
    void SetShowRealMeshes(bool on);
    void SetShowAssociatedMoveable(bool on);
    void SetSaveUncompressedSounds(bool on);

    // Reads the five values in their order (defaults 1, 1, 1, 1, 0) and hands each to its
    // setter, so each is written back as 0 or 1.
    void ReadSettings();

    int m_bShowFriendlyNamesInTreeview = 1;
    int m_bShowIconInFrontOfItemInTreeview = 1;
    int m_bShowRealMeshes = 1;
    int m_bShowAssociatedMoveable = 1;
    int m_bSaveUncompressedSounds = 0;

protected:
    void SetSettingsCatalog(CGameCatalog* catalog) { settingsCatalog_ = catalog; }

private:
    CGameCatalog* settingsCatalog_;
};

// Start-up steps 5 to 7: the seven data paths into the catalog (each written back), the
// catalog from programFolder + "Resources/", then the five settings.
void PrepareCatalogAndSettings(CGameCatalog& catalog, CLithoscopeSettings& settings,
                               const std::string& programFolder);

// The recent-file list as stored: "File1" first, empty entries skipped, at most 10.
std::vector<std::string> LoadRecentFiles();
void SaveRecentFiles(const std::vector<std::string>& files);

}  // namespace lithoscope

#include "batch/AppSettings.h"

#include "level/GameCatalog.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

namespace lithoscope {

namespace {

int Store(int& member, const char* name, bool on) {
    member = on ? 1 : 0;
    WriteProfileInt(kSettingsSection, name, member);  // an unwritable file is no reason to stop
    return member;
}

}  // namespace

void CLithoscopeSettings::SetShowFriendlyNamesInTreeview(bool on) {
    Store(m_bShowFriendlyNamesInTreeview, "ShowFriendlyNamesInTreeview", on);
    if (settingsCatalog_) settingsCatalog_->SetShowFriendlyNames(on);
}

void CLithoscopeSettings::SetShowIconInFrontOfItemInTreeview(bool on) {
    Store(m_bShowIconInFrontOfItemInTreeview, "ShowIconInFrontOfItemInTreeview", on);
}

void CLithoscopeSettings::SetShowRealMeshes(bool on) {
    Store(m_bShowRealMeshes, "ShowRealMeshes", on);
}

void CLithoscopeSettings::SetShowAssociatedMoveable(bool on) {
    Store(m_bShowAssociatedMoveable, "ShowAssociatedMoveable", on);
}

void CLithoscopeSettings::SetSaveUncompressedSounds(bool on) {
    Store(m_bSaveUncompressedSounds, "SaveUncompressedSounds", on);
}

void CLithoscopeSettings::ReadSettings() {
    m_bShowFriendlyNamesInTreeview = GetProfileInt(kSettingsSection, "ShowFriendlyNamesInTreeview", 1);
    SetShowFriendlyNamesInTreeview(m_bShowFriendlyNamesInTreeview != 0);
    m_bShowIconInFrontOfItemInTreeview =
        GetProfileInt(kSettingsSection, "ShowIconInFrontOfItemInTreeview", 1);
    SetShowIconInFrontOfItemInTreeview(m_bShowIconInFrontOfItemInTreeview != 0);
    m_bShowRealMeshes = GetProfileInt(kSettingsSection, "ShowRealMeshes", 1);
    SetShowRealMeshes(m_bShowRealMeshes != 0);
    m_bShowAssociatedMoveable = GetProfileInt(kSettingsSection, "ShowAssociatedMoveable", 1);
    SetShowAssociatedMoveable(m_bShowAssociatedMoveable != 0);
    m_bSaveUncompressedSounds = GetProfileInt(kSettingsSection, "SaveUncompressedSounds", 0);
    SetSaveUncompressedSounds(m_bSaveUncompressedSounds != 0);
}

void PrepareCatalogAndSettings(CGameCatalog& catalog, CLithoscopeSettings& settings,
                               const std::string& programFolder) {
    // Start-up writes every value back: the file is written once, if at all.
    SettingsWriteBatch batch;
    catalog.ReadDataPaths(kDefaultDataPath);
    catalog.Load(programFolder + "Resources/");
    settings.ReadSettings();
}

std::vector<std::string> LoadRecentFiles() {
    std::vector<std::string> files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        std::string f = GetProfileString(kRecentFileSection, StrFormat("File%d", i), "");
        if (!f.empty()) files.push_back(f);
    }
    return files;
}

void SaveRecentFiles(const std::vector<std::string>& files) {
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const size_t at = size_t(i - 1);
        WriteProfileString(kRecentFileSection, StrFormat("File%d", i),
                           at < files.size() ? files[at] : std::string());
    }
}

}  // namespace lithoscope

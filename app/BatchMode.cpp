#include "app/BatchMode.h"

#include <cstdio>
#include <exception>

#include "app/CmdLine.h"
#include "app/ConsoleProgress.h"
#include "level/GameCatalog.h"
#include "level/ObjectModel.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

namespace lithoscope {

namespace {

const char kSettings[] = "Settings";

bool ReadBackSetting(const char* name, int defaultValue) {
    bool on = GetProfileInt(kSettings, name, defaultValue) != 0;
    WriteProfileInt(kSettings, name, on ? 1 : 0);  // a read-only settings file is no reason to stop
    return on;
}

}  // namespace

StartupSettings ReadStartupSettings() {
    StartupSettings s;
    s.showFriendlyNamesInTreeview = ReadBackSetting("ShowFriendlyNamesInTreeview", 1);
    s.showIconInFrontOfItemInTreeview = ReadBackSetting("ShowIconInFrontOfItemInTreeview", 1);
    s.showRealMeshes = ReadBackSetting("ShowRealMeshes", 1);
    s.showAssociatedMoveable = ReadBackSetting("ShowAssociatedMoveable", 1);
    s.saveUncompressedSounds = ReadBackSetting("SaveUncompressedSounds", 0);
    return s;
}

int RunBatch(const CCmdLine& cmdLine) {
    const std::string& input = cmdLine.m_szInputPath;
    const std::string output = cmdLine.m_szOutputPath.empty() ? input : cmdLine.m_szOutputPath;
    if (input.empty()) return kBatchSaved;

    // Settings first: the level writer follows SaveUncompressedSounds as an interactive save does.
    ReadStartupSettings();

    // Messages go to the console; progress windows become a line on standard error.
    ConsoleMessageBackend console;
    ScopedMessageBackend messages(&console);
    ScopedConsoleProgress progress;

    // The catalog, as at an interactive start: the object model names moveables from it.
    CGameCatalog catalog;
    catalog.ReadDataPaths(kDefaultDataPath);
    catalog.Load(CGameCatalog::DefaultFolder());
    SetLevelCatalog(&catalog);
    struct Detach {
        ~Detach() { SetLevelCatalog(nullptr); }
    } detach;

    const bool loadMessages = (cmdLine.m_nBatchOptions & kBatchLoadMessages) != 0;
    const bool saveMessages = (cmdLine.m_nBatchOptions & kBatchSaveMessages) != 0;
    int code = kBatchLoadFailed;
    CTrLevel level;
    try {
        if (level.Load(input, false, loadMessages)) {
            code = kBatchSaveFailed;
            if (level.Save(output, cmdLine.m_nSaveMode, false, saveMessages)) code = kBatchSaved;
        }
    } catch (const std::exception& e) {
        // Nothing may escape the run; the code says which step failed.
        std::fprintf(stderr, "lithoscope: %s: %s\n", code == kBatchLoadFailed ? "load" : "save",
                     e.what());
    }
    level.Free();
    return code;
}

}  // namespace lithoscope

#include "batch/BatchMode.h"

#include <cstdio>
#include <exception>
#include <new>

#include "batch/AppSettings.h"
#include "batch/CmdLine.h"
#include "batch/ConsoleProgress.h"
#include "level/GameCatalog.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/System.h"

namespace lithoscope {

int RunBatch(const CCmdLine& cmdLine) {
    const std::string& input = cmdLine.m_szInputPath;
    const std::string output = cmdLine.m_szOutputPath.empty() ? input : cmdLine.m_szOutputPath;
    if (input.empty()) return kBatchSaved;
    PrepareHeapForBatchRun();

    // Messages go to the console; progress windows become a line on standard error.
    ConsoleMessageBackend console;
    ScopedMessageBackend messages(&console);
    ScopedConsoleProgress progress;

    const bool loadMessages = (cmdLine.m_nBatchOptions & kBatchLoadMessages) != 0;
    const bool saveMessages = (cmdLine.m_nBatchOptions & kBatchSaveMessages) != 0;
    int code = kBatchLoadFailed;
    const char* step = "start";
    CTrLevel level;
    level.rebuildAfterSave = false;  // freed right after the save
    try {
        // Data paths, catalog and settings as at an interactive start: the object model
        // names moveables from the catalog, and the writer follows SaveUncompressedSounds.
        CGameCatalog catalog;
        CLithoscopeSettings settings(&catalog);
        PrepareCatalogAndSettings(catalog, settings, ExecutableFolder());
        step = "load";
        if (level.Load(input, false, loadMessages, &catalog)) {
            code = kBatchSaveFailed;
            step = "save";
            // The catalog names the objects of a build; the level is not built again after
            // its save, so the catalog goes before the save needs the memory.
            catalog.Clear();
            if (level.Save(output, cmdLine.m_nSaveMode, false, saveMessages, nullptr)) code = kBatchSaved;
        } else if (loadMessages && !LevelLog().refusal.empty()) {
            // "Unknown file type !" alone does not say what is wrong; the log's line does.
            std::fprintf(stderr, "%s\n", LevelLog().refusal.c_str());
        }
        // Memory the system would not give is said whatever the option bits.
        if (code != kBatchSaved && LevelLog().outOfMemory) {
            std::fprintf(stderr, "lithoscope: %s: not enough memory\n", step);
            code = kBatchLoadFailed;
        }
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "lithoscope: %s: not enough memory\n", step);
        code = kBatchLoadFailed;
    } catch (const std::exception& e) {
        // Nothing may escape the run; the code says which step failed.
        std::fprintf(stderr, "lithoscope: %s: %s\n", step, e.what());
    } catch (...) {
        std::fprintf(stderr, "lithoscope: %s: failed\n", step);
    }
    level.Free();
    return code;
}

}  // namespace lithoscope

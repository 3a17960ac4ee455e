#include "editor/common/LevelDocument.h"

#include <exception>

#include <wx/utils.h>

#include "editor/common/EditorHost.h"
#include "editor/common/EditorMessages.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

bool g_bSavingLevel = false;

bool SaveLevelFile(CTrLevel& level, const std::string& path) {
    wxBusyCursor wait;
    try {
        return level.Save(path, 2, false, true, EditorHost() ? &EditorHost()->GetGameCatalog() : nullptr);
    } catch (const std::exception& e) {
        ShowError(StrFormat("The level could not be saved: %s", e.what()));
        return false;
    }
}

}  // namespace lithoscope

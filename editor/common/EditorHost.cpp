#include "editor/common/EditorHost.h"

#include "level/GameCatalog.h"

namespace lithoscope {

namespace {
IEditorHost*& Host() {
    static IEditorHost* host = nullptr;
    return host;
}
}  // namespace

IEditorHost* EditorHost() { return Host(); }

IEditorHost* SetEditorHost(IEditorHost* host) {
    IEditorHost* previous = Host();
    Host() = host;
    return previous;
}

IMainWindow* MainWindow() { return Host() ? Host()->GetMainWindow() : nullptr; }

CGameCatalog& EditorCatalog() {
    static CGameCatalog empty;
    return Host() ? Host()->GetGameCatalog() : empty;
}

}  // namespace lithoscope

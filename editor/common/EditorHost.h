#pragma once
// The application and its main window as the rooms below shell/ see them: the catalog and
// settings of the run, and the view switches of the main window. The application installs
// itself as the host when it is made.
#include <cstdint>

namespace lithoscope {

class CGameCatalog;
class CLithoscopeSettings;

// The main window's switches that the panes, the 3D views and the toolboxes follow.
class IMainWindow {
public:
    virtual ~IMainWindow() = default;
    // The object toolbox row: shown or not; store keeps the choice for later panes.
    virtual bool IsToolboxShown() const = 0;
    virtual void ShowToolbox(bool show, bool store) = 0;
    virtual bool IsManualCamera() const = 0;
    virtual void SetManualCamera(bool manual) = 0;
    virtual bool IsAxisShown() const = 0;
    // The 3D views' background, 0x00BBGGRR.
    virtual uint32_t GetBackgroundColor() const = 0;
};

class IEditorHost {
public:
    virtual ~IEditorHost() = default;
    virtual CGameCatalog& GetGameCatalog() = 0;
    virtual CLithoscopeSettings& GetSettings() = 0;
    // Null before the main window exists and after it went.
    virtual IMainWindow* GetMainWindow() const = 0;
};

// The running editor's host, or null when none runs.
IEditorHost* EditorHost();
// Returns the host installed before.
IEditorHost* SetEditorHost(IEditorHost* host);
// The host's main window, or null.
IMainWindow* MainWindow();
// The host's catalog; without a host, an empty one.
CGameCatalog& EditorCatalog();

}  // namespace lithoscope

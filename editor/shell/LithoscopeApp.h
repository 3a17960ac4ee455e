#pragma once
// The application object: owns the game catalog and the five settings for the run,
// prepares the editor at start-up and drives the 3D view's animation when idle.
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/docview.h>

#include "batch/AppSettings.h"
#include "editor/common/EditorHost.h"
#include "level/GameCatalog.h"

namespace lithoscope {

class CCmdLine;
class CMainFrame;
class CWxMessageBackend;
class IMessageBackend;

// The document manager: a recent-file list of 10, kept in the settings file; "&New",
// "&Print..." and "Print Pre&view" have no handler and are shown disabled.
class CDocManager : public wxDocManager {
public:
    CDocManager();
    wxFileHistory* OnCreateFileHistory() override;
    // Titles of new documents: the template's new-file name "Lithoscope" and a number.
    wxString MakeNewDocumentName() override;
    void LoadRecentFiles();
    void SaveRecentFiles();
    // Documents and recent files are known by absolute paths.
    wxDocument* CreateDocument(const wxString& path, long flags = 0) override;
    // The recent-file list is written whenever it changes.
    void AddFileToHistory(const wxString& file) override;
    void RemoveFileFromHistory(size_t i) override;
    // File Open: the open-file chooser with the levels' filter (any case) and "All files".
    wxDocTemplate* SelectDocumentPath(wxDocTemplate** templates, int noTemplates, wxString& path,
                                      long flags, bool save = false) override;

private:
    int newDocuments_ = 0;
};

// The one document template: any file goes to the level loader, which tells the user
// when it is no level; its extension does not decide.
class CLevelTemplate : public wxDocTemplate {
public:
    using wxDocTemplate::wxDocTemplate;
    bool FileMatchesTemplate(const wxString& path) override { return true; }
};

// File Open's filter.
constexpr const char* kOpenFilter = "Tomb Raider Files (*.phd,*.tub;*.tr2;*.tr4)|*.phd;*.tub;*.tr2;*.tr4";

// The About box's line: program name and version.
std::string AboutText();
constexpr const char* kProgramVersion = "1.083";

// The application is the editor's host: the rooms below reach its catalog, settings and
// main window through IEditorHost.
class CLithoscopeApp : public wxApp, public CLithoscopeSettings, public IEditorHost {
public:
    CLithoscopeApp();
    ~CLithoscopeApp() override;

    static CLithoscopeApp& Get() { return *static_cast<CLithoscopeApp*>(wxTheApp); }
    // The running application's catalog, or null when no editor application runs.
    static CGameCatalog* Catalog() {
        auto* app = dynamic_cast<CLithoscopeApp*>(wxTheApp);
        return app ? &app->m_catalog : nullptr;
    }

    bool OnInit() override;
    int OnExit() override;
    // An exception that ends the main loop: its reason goes to standard error (memory may
    // be too short for a window), and the program ends with status 255.
    void OnUnhandledException() override;
    // The start-up sequence; false ends the application.
    bool InitInstance();
    // The idle tick of the active edit pane: true asks for more idle time.
    bool OnIdleTick();
    void OnAppAbout();

    // The command-line steps after the parse: fix flag, start-up action (a new empty
    // document unless the command line is empty or holds "nofix"/"forcefix"), and the
    // words that name an existing file, opened as by the shell. False when the start-up
    // action fails.
    bool ApplyCommandLine(const CCmdLine& cmdLine, int argc, char** argv);

    // IEditorHost
    CGameCatalog& GetGameCatalog() override { return m_catalog; }
    CLithoscopeSettings& GetSettings() override { return *this; }
    IMainWindow* GetMainWindow() const override;

    CDocManager* GetDocManager() const { return m_pDocManager.get(); }
    CMainFrame* GetMainFrame() const { return m_pMainFrame; }
    const std::string& ProgramFolder() const { return m_strProgramFolder; }

    CGameCatalog m_catalog;

private:
    void OnIdle(wxIdleEvent& event);

    std::unique_ptr<CDocManager> m_pDocManager;
    CMainFrame* m_pMainFrame = nullptr;  // the window tree owns it
    std::unique_ptr<CWxMessageBackend> m_pMessages;
    IMessageBackend* m_pPreviousMessages = nullptr;
    std::string m_strProgramFolder;
    IEditorHost* m_pPreviousHost = nullptr;
};

}  // namespace lithoscope

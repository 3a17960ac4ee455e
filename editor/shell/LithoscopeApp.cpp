#include "editor/shell/LithoscopeApp.h"

#include "level/ObjectModel.h"

#include <wx/dnd.h>
#include <wx/filehistory.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/msgdlg.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>
#include <wx/button.h>

#include "batch/CmdLine.h"
#include "editor/common/ModalHook.h"
#include "editor/common/WxMessageBackend.h"
#include "editor/common/WxStrings.h"
#include "editor/dialogs/DlgLevelProgress.h"
#include "editor/panes/EditPane.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/sound/SoundPane.h"
#include "editor/toolbox/ToolboxViews.h"
#include "editor/view3d/GlWindow.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

// ---- document manager ------------------------------------------------------------------------

CDocManager::CDocManager() : wxDocManager(0, false) {
    Initialize();  // here, not in the base: the base would make wx's list of 9
    auto disabled = [](wxUpdateUIEvent& e) { e.Enable(false); };
    auto ignored = [](wxCommandEvent&) {};
    for (int id : {int(wxID_NEW), int(wxID_PRINT), int(wxID_PREVIEW)}) {
        Bind(wxEVT_UPDATE_UI, disabled, id);
        Bind(wxEVT_MENU, ignored, id);
    }
}

wxFileHistory* CDocManager::OnCreateFileHistory() { return new wxFileHistory(kRecentFileCount); }

wxString CDocManager::MakeNewDocumentName() { return wxString::Format("Lithoscope%d", ++newDocuments_); }

void CDocManager::LoadRecentFiles() {
    wxFileHistory* history = GetFileHistory();
    if (!history) return;
    const std::vector<std::string> files = lithoscope::LoadRecentFiles();
    // The first entry is the most recent: add from the oldest.
    for (auto it = files.rbegin(); it != files.rend(); ++it) history->AddFileToHistory(ToWx(*it));
}

namespace {
// Paths are kept absolute: a relative one means another file once the folder changes.
wxString AbsolutePath(const wxString& path) {
    if (path.empty()) return path;
    wxFileName name(path);
    name.MakeAbsolute();
    return name.GetFullPath();
}
}  // namespace

wxDocument* CDocManager::CreateDocument(const wxString& path, long flags) {
    return wxDocManager::CreateDocument(AbsolutePath(path), flags);
}

void CDocManager::AddFileToHistory(const wxString& file) {
    wxDocManager::AddFileToHistory(AbsolutePath(file));
    SaveRecentFiles();
}

void CDocManager::RemoveFileFromHistory(size_t i) {
    wxDocManager::RemoveFileFromHistory(i);
    SaveRecentFiles();
}

wxDocTemplate* CDocManager::SelectDocumentPath(wxDocTemplate** templates, int noTemplates,
                                               wxString& path, long, bool) {
    if (noTemplates < 1) return nullptr;
    const std::string chosen = ChooseOpenFile(kOpenFilter);
    if (chosen.empty()) return nullptr;
    path = AbsolutePath(ToWx(chosen));
    return templates[0];
}

void CDocManager::SaveRecentFiles() {
    wxFileHistory* history = GetFileHistory();
    if (!history) return;
    std::vector<std::string> files;
    for (size_t i = 0; i < history->GetCount(); ++i) files.push_back(FromWx(history->GetHistoryFile(i)));
    lithoscope::SaveRecentFiles(files);
}

// ---- About box -------------------------------------------------------------------------------

std::string AboutText() { return StrFormat("Lithoscope Version %s", kProgramVersion); }

namespace {

class CAboutDlg : public wxDialog {
public:
    explicit CAboutDlg(wxWindow* parent) : wxDialog(parent, wxID_ANY, "About Lithoscope") {
        auto* row = new wxBoxSizer(wxHORIZONTAL);
        row->Add(new wxStaticBitmap(this, wxID_ANY, DocumentIcon(kDocumentIcon)), 0, wxALL, 8);
        row->Add(new wxStaticText(this, wxID_ANY, ToWx(AboutText())), 1, wxALIGN_CENTER_VERTICAL | wxALL, 8);
        auto* outer = new wxBoxSizer(wxVERTICAL);
        outer->Add(row, 1, wxEXPAND);
        outer->Add(new wxButton(this, wxID_OK, "OK"), 0, wxALIGN_RIGHT | wxALL, 8);
        SetSizerAndFit(outer);
    }
};

// Files dropped on the main frame open as by File Open.
class CDropOpen : public wxFileDropTarget {
public:
    bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& files) override {
        wxDocManager* manager = CLithoscopeApp::Get().GetDocManager();
        if (!manager) return false;
        for (const wxString& f : files) manager->CreateDocument(f, wxDOC_SILENT);
        return true;
    }
};

}  // namespace

// ---- application -----------------------------------------------------------------------------

CLithoscopeApp::CLithoscopeApp() : CLithoscopeSettings(nullptr) {
    SetSettingsCatalog(&m_catalog);
    SetAppName("Lithoscope");
    SetVendorName("Morvane Inc.");
    m_pPreviousHost = SetEditorHost(this);
}

CLithoscopeApp::~CLithoscopeApp() {
    if (EditorHost() == this) SetEditorHost(m_pPreviousHost);
}

IMainWindow* CLithoscopeApp::GetMainWindow() const { return m_pMainFrame; }

bool CLithoscopeApp::OnInit() { return InitInstance(); }

bool CLithoscopeApp::InitInstance() {
    // Messages of the whole run go to message boxes.
    // (A backend installed by whoever embeds the editor, e.g. a test script, stays.)
    m_pMessages = std::make_unique<CWxMessageBackend>();
    m_pPreviousMessages = SetMessageBackend(m_pMessages.get());
    if (m_pPreviousMessages) SetMessageBackend(m_pPreviousMessages);
    InstallLevelProgressWindows();
    RegisterSoundPane();
    RegisterEditPanes();
    RegisterToolboxViews();
    wxInitAllImageHandlers();

    // 1. The program folder. 2-3. The picture component and OLE have no counterpart here.
    m_strProgramFolder = ExecutableFolder();

    // 4. The settings key and the recent-file list of 10.
    m_pDocManager = std::make_unique<CDocManager>();

    // 5-7. Data paths, catalog, the five settings.
    PrepareCatalogAndSettings(m_catalog, *this, m_strProgramFolder);

    // 8. The document template.
    new CLevelTemplate(m_pDocManager.get(), "Tomb Raider Files (*.phd,*.tub;*.tr2;*.tr4)",
                      "*.phd;*.tub;*.tr2;*.tr4", "", "phd", "Lithos", "Lithoscope",
                      wxCLASSINFO(CLithoscopeDoc), wxCLASSINFO(CLithoscopeView));

    // 9. The main frame; it accepts dropped files.
    m_pMainFrame = new CMainFrame;
    if (!m_pMainFrame->Create(m_pDocManager.get(), "Lithoscope")) {
        m_pMainFrame->Destroy();
        m_pMainFrame = nullptr;
        return false;
    }
    SetTopWindow(m_pMainFrame);
    m_pMainFrame->SetDropTarget(new CDropOpen);
    m_pDocManager->LoadRecentFiles();
    Bind(wxEVT_IDLE, &CLithoscopeApp::OnIdle, this);
    Bind(wxEVT_MENU, [this](wxCommandEvent&) { OnAppAbout(); }, wxID_ABOUT);

    // 10. Shell registration has no counterpart. 11. The command line.
    CCmdLine cmdLine;
    ParseCommandLine(argc, argv, cmdLine);
    m_pMainFrame->Show(true);  // 12, before the documents so their windows have a parent shown
    WarmUpOpenGL(m_pMainFrame->GetStatusBar());
    if (!ApplyCommandLine(cmdLine, argc, argv)) return false;
    return true;
}

bool CLithoscopeApp::ApplyCommandLine(const CCmdLine& cmdLine, int count, char** words) {
    g_bToolboxFix = ToolboxFixFromCommandLine(cmdLine);
    // Shell open: the words that name an existing file.
    std::vector<std::string> files;
    if (!cmdLine.m_bBatch)
        for (int i = 1; i < count; ++i)
            if (words[i] && FileExists(words[i]) && !IsDirectory(words[i])) files.push_back(words[i]);
    // The start-up action; a level opened by the shell takes the place of the empty document.
    if (files.empty() && StartupCreatesDocument(cmdLine, count <= 1)) {
        if (!m_pDocManager->CreateDocument(wxEmptyString, wxDOC_NEW)) return false;
    }
    for (const std::string& f : files) m_pDocManager->CreateDocument(ToWx(f), wxDOC_SILENT);
    return true;
}

int CLithoscopeApp::OnExit() {
    if (m_pDocManager) {
        m_pDocManager->SaveRecentFiles();
        m_pDocManager.reset();
    }
    m_pMainFrame = nullptr;
    RemoveLevelProgressWindows();
    StopEditPanes();
    if (m_pMessages) {
        if (!m_pPreviousMessages) SetMessageBackend(nullptr);
        m_pMessages.reset();
    }
    return wxApp::OnExit();
}

void CLithoscopeApp::OnUnhandledException() {
    ReportEndingException();
}

bool CLithoscopeApp::OnIdleTick() {
    if (g_bSavingLevel) return false;
    CLithoscopeView* view = GetActiveLevelView();
    return view ? view->TickEditPane() : false;
}

void CLithoscopeApp::OnIdle(wxIdleEvent& event) {
    event.Skip();  // the framework's own idle work
    if (OnIdleTick()) event.RequestMore();
}

void CLithoscopeApp::OnAppAbout() {
    CAboutDlg dialog(m_pMainFrame);
    RunModalDialog(dialog);
}

}  // namespace lithoscope

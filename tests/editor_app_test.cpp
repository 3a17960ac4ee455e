// Start-up, settings, the recent-file list, the command-line start-up actions, the idle
// tick and the main frame's commands, on a running editor (under a virtual display).
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include <wx/app.h>
#include <wx/filehistory.h>
#include <wx/menu.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include "TestSupport.h"
#include "fixtures/LevelBuilder.h"
#include "batch/CmdLine.h"
#include "EditorTestSupport.h"
#include "batch/AppSettings.h"
#include "editor/shell/ChildFrame.h"
#include "editor/common/CommandIds.h"
#include "editor/dialogs/DlgOptions.h"
#include "editor/shell/EditorMain.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/common/ModalHook.h"
#include "editor/common/WxMessageBackend.h"
#include "level/GameCatalog.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {

CMainFrame& Frame() { return *App().GetMainFrame(); }
size_t DocumentCount() { return App().GetDocManager()->GetDocuments().GetCount(); }

void CloseAllDocuments() {
    App().GetDocManager()->CloseDocuments(true);
    App().ProcessIdle();
}

CCmdLine Parsed(std::vector<std::string> words, std::vector<char*>& argv) {
    static std::vector<std::string> keep;
    keep = words;
    keep.insert(keep.begin(), "lithoscope");
    argv.clear();
    for (auto& w : keep) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    CCmdLine c;
    ParseCommandLine(int(keep.size()), argv.data(), c);
    return c;
}

// Sends a menu command to the main frame as the menu would.
void Command(int id) {
    wxCommandEvent e(wxEVT_MENU, id);
    e.SetEventObject(&Frame());
    Frame().ProcessWindowEvent(e);
}

}  // namespace

TEST(EditorStartup, FirstStartWritesEveryValueOfSettings) {
    // The suite's editor started on an empty settings folder.
    for (const char* path : {"TR1 Data Path", "TR1Gold Data Path", "TR2 Data Path", "TR2Gold Data Path",
                             "TR3 Data Path", "TR3Gold Data Path", "TR4 Data Path"})
        EXPECT_EQ(GetProfileString("Settings", path, "unset"), "/") << path;
    for (const char* on : {"ShowFriendlyNamesInTreeview", "ShowIconInFrontOfItemInTreeview",
                           "ShowRealMeshes", "ShowAssociatedMoveable"})
        EXPECT_EQ(GetProfileInt("Settings", on, 7), 1) << on;
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 0);
    EXPECT_EQ(App().m_bShowFriendlyNamesInTreeview, 1);
    EXPECT_EQ(App().m_bSaveUncompressedSounds, 0);
    EXPECT_EQ(App().m_catalog.DataPath(6), "/");
    // An empty command line: no document at start.
    EXPECT_EQ(DocumentCount(), 0u);
    EXPECT_EQ(App().GetAppName(), "Lithoscope");
}

TEST(EditorStartup, StoredValuesAreReadAsFlagsAndWrittenBack) {
    test::ScopedConfigDir config;
    WriteProfileInt("Settings", "ShowRealMeshes", 5);
    WriteProfileInt("Settings", "SaveUncompressedSounds", 5);
    WriteProfileInt("Settings", "ShowIconInFrontOfItemInTreeview", 0);
    WriteProfileString("Settings", "TR2 Data Path", "/games/tr2/");
    CGameCatalog catalog;
    CLithoscopeSettings settings(&catalog);
    PrepareCatalogAndSettings(catalog, settings, FolderOf(test::ProgramPath()));
    EXPECT_EQ(settings.m_bShowRealMeshes, 1);
    EXPECT_EQ(settings.m_bSaveUncompressedSounds, 1);
    EXPECT_EQ(settings.m_bShowIconInFrontOfItemInTreeview, 0);
    EXPECT_EQ(settings.m_bShowFriendlyNamesInTreeview, 1);
    EXPECT_EQ(GetProfileInt("Settings", "ShowRealMeshes", 7), 1);
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 1);
    EXPECT_EQ(GetProfileInt("Settings", "ShowIconInFrontOfItemInTreeview", 7), 0);
    EXPECT_EQ(catalog.DataPath(2), "/games/tr2/");
    EXPECT_EQ(catalog.DataPath(0), "/");
    // The catalog comes from the "Resources" folder beside the program.
    EXPECT_TRUE(catalog.HasCatalog());

    // Setters store 0 or 1 and write at once; friendly names reach the catalog.
    settings.SetShowFriendlyNamesInTreeview(false);
    EXPECT_EQ(settings.m_bShowFriendlyNamesInTreeview, 0);
    EXPECT_FALSE(catalog.ShowFriendlyNames());
    EXPECT_EQ(GetProfileInt("Settings", "ShowFriendlyNamesInTreeview", 7), 0);
    settings.SetShowAssociatedMoveable(false);
    EXPECT_EQ(GetProfileInt("Settings", "ShowAssociatedMoveable", 7), 0);
}

TEST(EditorStartup, RecentFileListKeepsTen) {
    test::ScopedConfigDir config;
    wxFileHistory* history = App().GetDocManager()->GetFileHistory();
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->GetMaxFiles(), 10u);
    while (history->GetCount()) history->RemoveFileFromHistory(0);
    for (int i = 1; i <= 12; ++i) history->AddFileToHistory(wxString::Format("/levels/l%02d.tr2", i));
    EXPECT_EQ(history->GetCount(), 10u);
    App().GetDocManager()->SaveRecentFiles();
    EXPECT_EQ(GetProfileString(kRecentFileSection, "File1", ""), "/levels/l12.tr2");
    EXPECT_EQ(GetProfileString(kRecentFileSection, "File10", ""), "/levels/l03.tr2");
    const std::vector<std::string> stored = LoadRecentFiles();
    ASSERT_EQ(stored.size(), 10u);
    EXPECT_EQ(stored.back(), "/levels/l03.tr2");
    // Read back in the same order.
    while (history->GetCount()) history->RemoveFileFromHistory(0);
    App().GetDocManager()->LoadRecentFiles();
    ASSERT_EQ(history->GetCount(), 10u);
    EXPECT_EQ(history->GetHistoryFile(0), "/levels/l12.tr2");
    EXPECT_EQ(history->GetHistoryFile(9), "/levels/l03.tr2");
    while (history->GetCount()) history->RemoveFileFromHistory(0);
}

TEST(EditorStartup, CommandLineStartupActions) {
    std::vector<char*> argv;
    // An ignored word: a new empty document, fix flag from the platform (off on Linux).
    g_bToolboxFix = true;
    CCmdLine c = Parsed({"S"}, argv);
    ASSERT_TRUE(App().ApplyCommandLine(c, int(argv.size()) - 1, argv.data()));
    EXPECT_EQ(DocumentCount(), 1u);
    EXPECT_FALSE(g_bToolboxFix);
    auto* doc = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->GetDocuments()[0]);
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(doc->m_level.version, 0);
    EXPECT_EQ(doc->GetTitle().substr(0, 10), "Lithoscope");
    EXPECT_FALSE(doc->IsModified());
    ASSERT_NE(doc->GetLevelView(), nullptr);
    ASSERT_NE(doc->GetLevelView()->GetTree(), nullptr);  // an empty tree, no root node
    CloseAllDocuments();
    EXPECT_EQ(DocumentCount(), 0u);

    // "nofix" and "forcefix": the flag, and no document.
    c = Parsed({"nofix", "forcefix"}, argv);
    ASSERT_TRUE(App().ApplyCommandLine(c, int(argv.size()) - 1, argv.data()));
    EXPECT_FALSE(g_bToolboxFix);
    EXPECT_EQ(DocumentCount(), 0u);
    c = Parsed({"forcefix"}, argv);
    ASSERT_TRUE(App().ApplyCommandLine(c, int(argv.size()) - 1, argv.data()));
    EXPECT_TRUE(g_bToolboxFix);
    EXPECT_EQ(DocumentCount(), 0u);
    // No word: nothing.
    c = Parsed({}, argv);
    ASSERT_TRUE(App().ApplyCommandLine(c, int(argv.size()) - 1, argv.data()));
    EXPECT_EQ(DocumentCount(), 0u);

    // A word naming a level file opens it, in place of the empty document.
    test::TempDir dir;
    test::FixtureOptions o;
    o.version = 2;
    const std::string level = dir.file("shell.tr2");
    test::WriteFileBytes(level, test::BuildFixtureLevel(o).file);
    c = Parsed({level}, argv);
    ASSERT_TRUE(App().ApplyCommandLine(c, int(argv.size()) - 1, argv.data()));
    ASSERT_EQ(DocumentCount(), 1u);
    auto* opened = dynamic_cast<CLithoscopeDoc*>(App().GetDocManager()->GetDocuments()[0]);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->m_level.version, 2);
    EXPECT_EQ(opened->GetPath(), level);
    CloseAllDocuments();
}

TEST(EditorStartup, IdleTickOnlyWithAnActiveDocumentAndNoSave) {
    CloseAllDocuments();
    EXPECT_FALSE(App().OnIdleTick());
    // A pane whose tick asks for more idle time.
    struct TickingPane : CEditPaneBase {
        explicit TickingPane(wxWindow* p) : CEditPaneBase(p, EditPaneMesh) {}
        bool Tick() override { ++ticks; return true; }
        int ticks = 0;
    };
    TickingPane* pane = nullptr;
    EditPaneFactory previous = SetEditPaneFactory([&pane](int kind, wxWindow* parent) -> CEditPaneBase* {
        return kind == EditPaneMesh ? (pane = new TickingPane(parent)) : nullptr;
    });
    ASSERT_NE(App().GetDocManager()->CreateDocument(wxEmptyString, wxDOC_NEW), nullptr);
    CLithoscopeView* view = GetActiveLevelView();
    ASSERT_NE(view, nullptr);
    view->GetChildFrame()->SetEditPane(EditPaneMesh);
    ASSERT_NE(pane, nullptr);
    EXPECT_TRUE(App().OnIdleTick());
    EXPECT_EQ(pane->ticks, 1);
    g_bSavingLevel = true;
    EXPECT_FALSE(App().OnIdleTick());
    EXPECT_EQ(pane->ticks, 1);
    g_bSavingLevel = false;
    SetEditPaneFactory(previous);
    CloseAllDocuments();
}

// An exception that ends the main loop (wx calls the handler inside its catch) is said on
// standard error, where a run short of memory can still say it.
TEST(EditorStartup, UnhandledExceptionsAreSaidOnStandardError) {
    testing::internal::CaptureStderr();
    try {
        throw std::bad_alloc();
    } catch (...) {
        App().OnUnhandledException();
    }
    try {
        throw std::runtime_error("the level is gone");
    } catch (...) {
        App().OnUnhandledException();
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "lithoscope: not enough memory\nlithoscope: the level is gone\n");
}

TEST(EditorMainFrame, ViewSwitchesAndToolbarButtons) {
    CloseAllDocuments();
    CMainFrame& f = Frame();
    EXPECT_FALSE(f.m_bToolboxShown);
    EXPECT_FALSE(f.m_bManualCamera);
    EXPECT_FALSE(f.m_bShowAxis);
    EXPECT_EQ(f.m_crBackground, 0xC0C0C0u);
    // Toolbar 128 by position: the three check buttons at 12, 13, 14.
    wxToolBar* bar = f.GetMainToolBar();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->GetToolsCount(), 15u);
    EXPECT_EQ(bar->GetToolByPos(0)->GetId(), wxID_NEW);
    EXPECT_EQ(bar->GetToolByPos(2)->GetId(), wxID_SAVE);
    EXPECT_TRUE(bar->GetToolByPos(3)->IsSeparator());
    EXPECT_EQ(bar->GetToolByPos(10)->GetId(), wxID_ABOUT);
    EXPECT_EQ(bar->GetToolByPos(12)->GetId(), ID_VIEW_TOOLBOX);
    EXPECT_EQ(bar->GetToolByPos(13)->GetId(), ID_MANUAL_CAMERA);
    EXPECT_EQ(bar->GetToolByPos(14)->GetId(), ID_SHOW_AXIS);
    // With no document the buttons work and keep their state.
    Command(ID_MANUAL_CAMERA);
    EXPECT_TRUE(f.m_bManualCamera);
    EXPECT_TRUE(f.IsButtonChecked(13));
    Command(ID_SHOW_AXIS);
    EXPECT_TRUE(f.m_bShowAxis);
    EXPECT_TRUE(f.IsButtonChecked(14));
    Command(ID_VIEW_TOOLBOX);
    EXPECT_TRUE(f.m_bToolboxShown);
    EXPECT_TRUE(f.IsButtonChecked(12));
    // Re-applying without storing keeps the state.
    f.ShowToolbox(false, false);
    EXPECT_TRUE(f.m_bToolboxShown);
    EXPECT_TRUE(f.IsButtonChecked(12));
    Command(ID_MANUAL_CAMERA);
    Command(ID_SHOW_AXIS);
    Command(ID_VIEW_TOOLBOX);
    EXPECT_FALSE(f.m_bManualCamera || f.m_bShowAxis || f.m_bToolboxShown);
    EXPECT_FALSE(f.IsButtonChecked(12) || f.IsButtonChecked(13) || f.IsButtonChecked(14));

    // Menu 128 has no "Rendering" or "Options"; menu 129 has them.
    wxMenuBar* m128 = f.GetMenuBar();
    ASSERT_NE(m128, nullptr);
    EXPECT_EQ(m128->FindMenu("Rendering"), wxNOT_FOUND);
    EXPECT_EQ(m128->FindMenu("Misc"), 3);
    std::unique_ptr<wxMenuBar> m129(CMainFrame::CreateMenu129(nullptr));
    EXPECT_EQ(m129->GetMenuCount(), 7u);
    EXPECT_NE(m129->FindItem(ID_MANUAL_CAMERA), nullptr);
    EXPECT_NE(m129->FindItem(ID_OPTIONS_SOUND), nullptr);
    EXPECT_EQ(m129->FindItem(wxID_SAVE), nullptr);  // Save only by Ctrl+S and the toolbar
}

TEST(EditorMainFrame, CommandsWithoutHandlerAreDisabled) {
    for (int id : {int(wxID_NEW), int(ID_MISC_DEBUG), int(ID_MERGE_LEVEL), int(wxID_CUT),
                   int(wxID_COPY), int(wxID_PASTE), int(wxID_UNDO), int(wxID_PRINT), int(wxID_PREVIEW)}) {
        wxUpdateUIEvent e(id);
        e.SetEventObject(&Frame());
        e.Enable(true);
        Frame().ProcessWindowEvent(e);
        EXPECT_TRUE(e.GetSetEnabled()) << id;
        EXPECT_FALSE(e.GetEnabled()) << id;
    }
    wxUpdateUIEvent open(wxID_OPEN);
    open.SetEventObject(&Frame());
    Frame().ProcessWindowEvent(open);
    EXPECT_FALSE(open.GetSetEnabled() && !open.GetEnabled());
    // "&New" does nothing: no document appears.
    CloseAllDocuments();
    Command(wxID_NEW);
    EXPECT_EQ(DocumentCount(), 0u);
}

TEST(EditorMainFrame, ToolboxToggleLaysOutEveryChildFrame) {
    CloseAllDocuments();
    auto* manager = App().GetDocManager();
    ASSERT_NE(manager->CreateDocument(wxEmptyString, wxDOC_NEW), nullptr);
    ASSERT_NE(manager->CreateDocument(wxEmptyString, wxDOC_NEW), nullptr);
    std::vector<CChildFrame*> frames = Frame().ChildFrames();
    ASSERT_EQ(frames.size(), 2u);
    // The walk gives both, then null, then starts again.
    EXPECT_EQ(Frame().GetNextChildFrame(), frames[0]);
    EXPECT_EQ(Frame().GetNextChildFrame(), frames[1]);
    EXPECT_EQ(Frame().GetNextChildFrame(), nullptr);
    EXPECT_EQ(Frame().GetNextChildFrame(), frames[0]);
    while (Frame().GetNextChildFrame()) {}
    Command(ID_VIEW_TOOLBOX);
    EXPECT_TRUE(frames[0]->IsToolboxShown());
    EXPECT_TRUE(frames[1]->IsToolboxShown());
    Command(ID_VIEW_TOOLBOX);
    EXPECT_FALSE(frames[0]->IsToolboxShown());
    EXPECT_FALSE(frames[1]->IsToolboxShown());
    CloseAllDocuments();
}

TEST(EditorMainFrame, DisplayOptionsApplyOrCancel) {
    CloseAllDocuments();
    test::ScopedConfigDir config;
    CMainFrame& f = Frame();
    // Cancel changes nothing, in memory or in the settings file.
    SetModalDialogRunner([](wxDialog& d) {
        auto& dlg = dynamic_cast<CDlgDisplayOpt&>(d);
        EXPECT_EQ(dlg.m_nFriendlyNames, 1);
        EXPECT_EQ(dlg.m_crBackground, 0xC0C0C0u);
        dlg.m_nIcons = 0;
        return int(wxID_CANCEL);
    });
    Command(ID_OPTIONS_DISPLAY);
    EXPECT_EQ(App().m_bShowIconInFrontOfItemInTreeview, 1);
    EXPECT_EQ(GetProfileInt("Settings", "ShowIconInFrontOfItemInTreeview", 7), 7);
    // Apply: colour and the four settings, each written.
    SetModalDialogRunner([](wxDialog& d) {
        auto& dlg = dynamic_cast<CDlgDisplayOpt&>(d);
        dlg.m_nIcons = 0;
        dlg.m_nRealMeshes = 0;
        dlg.m_crBackground = MakeRgb(10, 20, 30);
        dlg.TransferDataToWindow();  // as the user ticking the boxes
        dlg.TransferDataFromWindow();
        return int(wxID_OK);
    });
    Command(ID_OPTIONS_DISPLAY);
    EXPECT_EQ(f.m_crBackground, MakeRgb(10, 20, 30));
    EXPECT_EQ(App().m_bShowIconInFrontOfItemInTreeview, 0);
    EXPECT_EQ(App().m_bShowRealMeshes, 0);
    EXPECT_EQ(App().m_bShowFriendlyNamesInTreeview, 1);
    EXPECT_EQ(GetProfileInt("Settings", "ShowIconInFrontOfItemInTreeview", 7), 0);
    EXPECT_EQ(GetProfileInt("Settings", "ShowRealMeshes", 7), 0);
    EXPECT_EQ(GetProfileInt("Settings", "ShowFriendlyNamesInTreeview", 7), 1);
    App().SetShowIconInFrontOfItemInTreeview(true);
    App().SetShowRealMeshes(true);
    f.m_crBackground = MakeRgb(192, 192, 192);

    // Sound options.
    SetModalDialogRunner([](wxDialog& d) {
        auto& dlg = dynamic_cast<CDlgSoundOpt&>(d);
        EXPECT_EQ(dlg.m_nUncompressedSounds, 0);
        dlg.m_nUncompressedSounds = 1;
        return int(wxID_OK);
    });
    Command(ID_OPTIONS_SOUND);
    EXPECT_EQ(App().m_bSaveUncompressedSounds, 1);
    EXPECT_EQ(GetProfileInt("Settings", "SaveUncompressedSounds", 7), 1);
    App().SetSaveUncompressedSounds(false);

    // Level paths: fields in the order I, II, III, IV, I Gold, II Gold, III Gold.
    App().m_catalog.SetDataPath(4, "/g/tr3/");
    App().m_catalog.SetDataPath(1, "/g/tr1gold/");
    SetModalDialogRunner([](wxDialog& d) {
        auto& dlg = dynamic_cast<CDiagLevelPath&>(d);
        EXPECT_EQ(dlg.m_paths[2], "/g/tr3/");
        EXPECT_EQ(dlg.m_paths[4], "/g/tr1gold/");
        EXPECT_EQ(dlg.Field(2)->GetValue(), "/g/tr3/");
        dlg.Field(3)->ChangeValue("/g/TR4");  // Tomb Raider IV row
        dlg.Field(5)->ChangeValue("");        // II Gold row
        dlg.OnOK();
        return int(wxID_OK);
    });
    Command(ID_OPTIONS_LEVEL_PATHS);
    EXPECT_EQ(App().m_catalog.DataPath(6), "/g/TR4/");
    EXPECT_EQ(App().m_catalog.DataPath(3), "/");
    EXPECT_EQ(App().m_catalog.DataPath(4), "/g/tr3/");
    EXPECT_EQ(GetProfileString("Settings", "TR4 Data Path", ""), "/g/TR4/");
    EXPECT_EQ(GetProfileString("Settings", "TR1Gold Data Path", ""), "/g/tr1gold/");

    SetModalDialogRunner([](wxDialog& d) {
        ADD_FAILURE() << "unexpected modal dialog";
        return int(wxID_CANCEL);
    });
}

TEST(EditorMainFrame, AboutBox) {
    EXPECT_EQ(AboutText(), "Lithoscope Version 1.083");
    std::string title;
    SetModalDialogRunner([&title](wxDialog& d) {
        title = d.GetTitle().utf8_str().data();
        return int(wxID_OK);
    });
    Command(wxID_ABOUT);
    EXPECT_EQ(title, "About Lithoscope");
    SetModalDialogRunner([](wxDialog&) { ADD_FAILURE() << "unexpected modal dialog"; return int(wxID_CANCEL); });
}

TEST(EditorMessages, WxBoxStylesAndAnswers) {
    EXPECT_EQ(MessageBoxStyle(MsgButtons::YesNo, MsgIcon::Warning) & (wxYES_NO | wxICON_EXCLAMATION),
              long(wxYES_NO | wxICON_EXCLAMATION));
    EXPECT_TRUE(MessageBoxStyle(MsgButtons::Ok, MsgIcon::Error) & wxICON_ERROR);
    EXPECT_TRUE(MessageBoxStyle(MsgButtons::Ok, MsgIcon::Error) & wxSTAY_ON_TOP);
    EXPECT_FALSE(MessageBoxStyle(MsgButtons::Ok, MsgIcon::Error) & wxCANCEL);
    MessageRequest r;
    r.safeAnswer = MsgAnswer::Yes;
    EXPECT_EQ(AnswerFromWxResult(wxID_NO, r), MsgAnswer::No);
    EXPECT_EQ(AnswerFromWxResult(wxID_CANCEL, r), MsgAnswer::Cancel);
    EXPECT_EQ(AnswerFromWxResult(-1, r), MsgAnswer::Yes);
}

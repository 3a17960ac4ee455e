// Child frames and their splitters, the progress windows and the small dialogs, on a
// running editor (under a virtual display).
#include <gtest/gtest.h>

#include <climits>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/gauge.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "TestSupport.h"
#include "EditorTestSupport.h"
#include "editor/shell/ChildFrame.h"
#include "editor/dialogs/DlgLevelProgress.h"
#include "editor/dialogs/DlgObjects.h"
#include "editor/dialogs/DlgOptions.h"
#include "editor/shell/EditorMain.h"
#include "editor/shell/LithoscopeApp.h"
#include "editor/shell/LithoscopeDoc.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/shell/MainFrame.h"
#include "editor/common/ModalHook.h"
#include "editor/shell/SplitterWnd.h"
#include "level/LevelProgress.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

using namespace lithoscope;
using lithoscope::test::App;
using lithoscope::test::g_messages;

namespace {




// Lets the windows take their sizes.
void Settle() {
    for (int i = 0; i < 10; ++i) {
        wxTheApp->Yield(true);
        App().ProcessIdle();
        wxMilliSleep(5);
    }
}

CChildFrame* NewDocumentFrame() {
    wxDocument* doc = App().GetDocManager()->CreateDocument(wxEmptyString, wxDOC_NEW);
    if (!doc) return nullptr;
    auto* view = dynamic_cast<CLithoscopeView*>(doc->GetFirstView());
    Settle();
    return view ? view->GetChildFrame() : nullptr;
}

}  // namespace

TEST(EditorSplitter, FixedPaneRuleAndSizeText) {
    // The toolbox row (pane 1) keeps its minimum + 15; the edit pane gets the rest.
    PaneSizes s = FixedPaneLayout(1, 160, 500);
    EXPECT_EQ(s.size0, 325);
    EXPECT_EQ(s.size1, 175);
    // Smaller than the toolbox: all of it to the toolbox, a zero-height edit pane.
    s = FixedPaneLayout(1, 300, 200);
    EXPECT_EQ(s.size0, 0);
    EXPECT_EQ(s.size1, 200);
    // Exactly the minimum: the 15 extra pixels can't be given.
    s = FixedPaneLayout(1, 200, 205);
    EXPECT_EQ(s.size0, 0);
    EXPECT_EQ(s.size1, 205);
    s = FixedPaneLayout(0, 10, 100);
    EXPECT_EQ(s.size0, 25);
    EXPECT_EQ(s.size1, 75);
    EXPECT_EQ(FormatPaneSizes(-1, 250, -1, 600), "-1 250 -1 600");
    EXPECT_EQ(FormatPaneSizes(-1, -1, 1, -1), "-1 100 1 100");
    EXPECT_EQ(FormatPaneSizes(-1, 100, 1, -104), "-1 100 1 100");
}

TEST(EditorChildFrame, NewFrameLayout) {
    CChildFrame* frame = NewDocumentFrame();
    ASSERT_NE(frame, nullptr);
    ST_SplitterWnd* outer = frame->GetOuterSplitter();
    ST_SplitterWnd* nested = frame->GetNestedSplitter();
    ASSERT_NE(outer, nullptr);
    ASSERT_NE(nested, nullptr);
    EXPECT_EQ(outer->GetIdentifier(), 0);
    EXPECT_EQ(nested->GetIdentifier(), 1);
    EXPECT_TRUE(outer->IsSplitColumns());
    EXPECT_FALSE(nested->IsSplitColumns());
    EXPECT_EQ(outer->GetChildSplitter(1), nested);
    // The level view 250 wide, the empty pane, no toolbox row.
    EXPECT_EQ(outer->GetPaneSize(0), 250);
    CEditPaneBase* pane = nullptr;
    EXPECT_EQ(frame->GetEditPane(&pane), EditPaneEmpty);
    ASSERT_NE(pane, nullptr);
    EXPECT_NE(dynamic_cast<CEditEmpty*>(pane), nullptr);
    EXPECT_TRUE(nested->IsPaneHidden(1));
    EXPECT_EQ(nested->GetHiddenRow(), 1);
    EXPECT_EQ(nested->GetFixedPane(), 1);
    EXPECT_EQ(nested->GetPaneSize(1), 0);
    // Three toolbox views in the lower pane, in the order mesh, moveable, sprite.
    ASSERT_EQ(nested->GetPaneViews(1).size(), 3u);
    EXPECT_EQ(frame->GetToolboxView(EditPaneMesh), nested->GetPaneViews(1)[0]);
    EXPECT_EQ(frame->GetToolboxView(EditPaneMoveable), nested->GetPaneViews(1)[1]);
    EXPECT_EQ(frame->GetToolboxView(EditPaneSprite), nested->GetPaneViews(1)[2]);
    EXPECT_EQ(frame->GetToolboxView(EditPaneEmpty), nullptr);
    EXPECT_EQ(frame->GetToolboxView(EditPaneSounds), nullptr);
    EXPECT_EQ(frame->GetLevelView(), GetActiveLevelView());
    EXPECT_EQ(frame->GetLargeIcon(), kDocumentIcon);
    App().GetDocManager()->CloseDocuments(true);
    App().ProcessIdle();
}

TEST(EditorChildFrame, PaneSwitchAndToolboxRowAndSizesOnClose) {
    test::ScopedConfigDir config;
    CChildFrame* frame = NewDocumentFrame();
    ASSERT_NE(frame, nullptr);
    ST_SplitterWnd* nested = frame->GetNestedSplitter();
    CMainFrame& main = *App().GetMainFrame();
    const int h = MeasureToolboxHeight(frame->GetToolboxView(EditPaneMesh));
    ASSERT_GT(h, 0);

    // A mesh node with the toolbox on: the row shows the mesh toolbox at its height + 15.
    main.ShowToolbox(true, true);
    frame->SetEditPane(EditPaneMesh);
    main.ShowToolbox(false, false);  // what the tree does after each selection
    Settle();
    EXPECT_EQ(frame->GetEditPane(), EditPaneMesh);
    EXPECT_FALSE(nested->IsPaneHidden(1));
    EXPECT_EQ(nested->GetCurrentView(1), 0);
    const int total = nested->GetClientSize().y - nested->GetSashSize();
    ASSERT_GT(total, h + 15);
    EXPECT_EQ(nested->GetPaneSize(1), h + 15);
    EXPECT_EQ(nested->GetPaneSize(0), total - h - 15);

    // A sprite node: the sprite toolbox.
    frame->SetEditPane(EditPaneSprite);
    main.ShowToolbox(false, false);
    EXPECT_EQ(nested->GetCurrentView(1), 2);
    EXPECT_FALSE(nested->IsPaneHidden(1));
    frame->SetEditPane(EditPaneMesh);
    main.ShowToolbox(false, false);
    Settle();

    // A sound node hides the row but keeps the user's choice.
    frame->SetEditPane(EditPaneSounds);
    EXPECT_TRUE(nested->IsPaneHidden(1));
    EXPECT_TRUE(frame->IsToolboxShown());
    EXPECT_EQ(nested->GetSavedSize(1), h + 15);
    EXPECT_EQ(nested->GetSavedMin(1), h);

    // Closing writes both splitters; the nested one with its row hidden and the sizes
    // from before hiding.
    const int outer0 = frame->GetOuterSplitter()->GetPaneSize(0);
    const int outer1 = frame->GetOuterSplitter()->GetPaneSize(1);
    App().GetDocManager()->CloseDocuments(true);
    App().ProcessIdle();
    EXPECT_EQ(GetProfileString("SplitterWnd", "Panes_1", ""),
              FormatPaneSizes(-1, total - h - 15, 1, h + 15));
    EXPECT_EQ(GetProfileString("SplitterWnd", "Panes_0", ""), FormatPaneSizes(-1, outer0, -1, outer1));
    EXPECT_EQ(outer0, 250);
    main.ShowToolbox(false, true);
}

TEST(EditorChildFrame, ToolboxOffKeepsRowHiddenForEveryKind) {
    CChildFrame* frame = NewDocumentFrame();
    ASSERT_NE(frame, nullptr);
    CMainFrame& main = *App().GetMainFrame();
    main.ShowToolbox(false, true);
    for (int kind : {1, 2, 3, 4, 5, 9}) {
        frame->SetEditPane(kind);
        main.ShowToolbox(false, false);
        EXPECT_TRUE(frame->GetNestedSplitter()->IsPaneHidden(1)) << kind;
        CEditPaneBase* pane = nullptr;
        EXPECT_EQ(frame->GetEditPane(&pane), kind);
        EXPECT_NE(pane, nullptr) << kind;  // a pane is always there
    }
    App().GetDocManager()->CloseDocuments(true);
    App().ProcessIdle();
}

TEST(EditorProgress, LoadWindowBars) {
    ASSERT_TRUE(bool(SetLevelProgressFactory(LevelProgressFactory())));  // the app installed one
    InstallLevelProgressWindows();
    std::unique_ptr<ILevelProgress> p = CreateLevelProgress("load", "LEVEL1.PHD");
    auto* w = dynamic_cast<CLevelProgressWindow*>(p.get());
    ASSERT_NE(w, nullptr);
    auto* dlg = dynamic_cast<CDlgLevelLoad*>(w->dialog());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->GetTitle(), "Loading level LEVEL1.PHD");
    EXPECT_TRUE(dlg->IsShown());
    w->SetMainRange(1000);
    w->SetMainPos(250);
    EXPECT_EQ(dlg->m_readingBar->GetRange(), 1000);
    EXPECT_EQ(dlg->m_readingBar->GetValue(), 250);
    w->SetBuildRange(10);
    w->SetBuildPos(20);  // past the end: held at the end
    EXPECT_EQ(w->build().pos(), 10u);
    EXPECT_EQ(dlg->m_conversionBar->GetRange(), 10);
    EXPECT_EQ(dlg->m_conversionBar->GetValue(), 10);
    // The repack bar and the tile count belong to the save window only.
    w->SetRepackRange(5);
    w->SetTileCounts(1, 2);
    w->Close();
    EXPECT_EQ(w->dialog(), nullptr);
    w->SetMainPos(10);  // harmless after closing
}

TEST(EditorProgress, SaveWindowBarsAndTileCount) {
    CLevelProgressWindow w(true, "CUT1.TR4");
    auto* dlg = dynamic_cast<CDlgLevelSave*>(w.dialog());
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->GetTitle(), "Saving level CUT1.TR4");
    w.SetRepackRange(40);
    w.SetRepackPos(10);
    EXPECT_EQ(dlg->m_preparingBar->GetRange(), 40);
    EXPECT_EQ(dlg->m_preparingBar->GetValue(), 10);
    w.SetBuildRange(8);
    w.SetBuildPos(4);
    EXPECT_EQ(dlg->m_conversionBar->GetValue(), 4);
    w.SetMainRange(UINT32_MAX);  // wider than a gauge: scaled
    w.SetMainPos(UINT32_MAX / 2);
    EXPECT_GT(dlg->m_writingBar->GetRange(), 0);
    EXPECT_LE(dlg->m_writingBar->GetRange(), INT_MAX);
    EXPECT_NEAR(double(dlg->m_writingBar->GetValue()) / dlg->m_writingBar->GetRange(), 0.5, 0.01);
    w.SetTileCounts(120, 87);
    EXPECT_EQ(dlg->m_strTileCount, "87 (old num: 120)");
    EXPECT_EQ(TileCountText(120, 87), "87 (old num: 120)");
    EXPECT_EQ(LoadCaption("A"), "Loading level A");
    CProgressBarState bar;
    bar.SetPos(5);  // no range yet
    EXPECT_EQ(bar.pos(), 0u);
}

TEST(EditorDialogs, LevelPaths) {
    EXPECT_EQ(LevelPathBrowseTitle(3), "Choose the folder of the original Tomb Raider 4 levels:");
    EXPECT_EQ(LevelPathBrowseTitle(5), "Choose the folder of the original Tomb Raider 2 levels:");
    EXPECT_EQ(LevelPathBrowseTitle(4), "Choose the folder of the original Tomb Raider 1 levels:");
    EXPECT_EQ(WithTrailingSeparator("/c/TR2"), "/c/TR2/");
    EXPECT_EQ(WithTrailingSeparator("/c/TR2/"), "/c/TR2/");
    EXPECT_EQ(WithTrailingSeparator(""), "/");
    for (int f = 0, expect[] = {0, 2, 4, 6, 1, 3, 5}; f < 7; ++f) EXPECT_EQ(LevelPathFieldGame(f), expect[f]);

    CDiagLevelPath dlg(App().GetMainFrame());
    std::string asked;
    std::string answer = "/data/tr4";
    FolderChooser previous = SetFolderChooser([&](const std::string& title) { asked = title; return answer; });
    dlg.OnBrowse(3);
    EXPECT_EQ(asked, LevelPathBrowseTitle(3));
    EXPECT_EQ(dlg.m_paths[3], "/data/tr4");
    EXPECT_EQ(dlg.Field(3)->GetValue(), "/data/tr4");
    answer.clear();  // Cancel
    dlg.OnBrowse(3);
    EXPECT_EQ(dlg.m_paths[3], "/data/tr4");
    SetFolderChooser(previous);
    dlg.m_paths[0] = "/c/TR1/";
    dlg.TransferDataToWindow();
    dlg.OnOK();
    EXPECT_EQ(dlg.m_paths[0], "/c/TR1/");
    EXPECT_EQ(dlg.m_paths[3], "/data/tr4/");
    EXPECT_EQ(dlg.m_paths[6], "/");
    EXPECT_EQ(dlg.GetReturnCode(), wxID_OK);
}

TEST(EditorDialogs, ExportImportAndObjectId) {
    CExportMvblChoice four(4, 9);
    ASSERT_EQ(four.entries().size(), 4u);
    EXPECT_EQ(four.entries()[0].text, "Animation #001");
    EXPECT_EQ(four.entries()[3].text, "Animation #004");
    EXPECT_EQ(four.entries()[3].data, 3);
    EXPECT_EQ(four.preselected(), 3);
    EXPECT_EQ(CExportMvblChoice(4, -1).preselected(), 3);  // compared unsigned
    EXPECT_EQ(CExportMvblChoice(4, 1).preselected(), 1);
    EXPECT_EQ(CExportMvblChoice(0, 0).preselected(), -1);
    EXPECT_EQ(CExportMvblChoice::ExportResult(true, 2, four.entries()), 2);
    EXPECT_EQ(CExportMvblChoice::ExportResult(false, 2, four.entries()), -1);
    EXPECT_EQ(CExportMvblChoice::ExportResult(true, -1, {}), -1);

    // No animations: ticking "With animation" and exporting gives -1.
    CExportMvbl exporter(nullptr, 0, App().GetMainFrame());
    EXPECT_FALSE(exporter.List()->IsEnabled());
    EXPECT_EQ(exporter.List()->GetCount(), 0u);
    exporter.WithAnimationBox()->SetValue(true);
    exporter.OnWithAnimation();
    EXPECT_TRUE(exporter.List()->IsEnabled());
    exporter.OnExport();
    EXPECT_EQ(exporter.m_nSelectedAnim, -1);
    EXPECT_EQ(exporter.GetReturnCode(), wxID_OK);

    CImportData import(App().GetMainFrame());
    EXPECT_TRUE(import.GetAnimations());
    EXPECT_TRUE(import.GetMeshes());
    EXPECT_EQ(import.m_nKeepDummies, 0);
    import.TransferDataToWindow();
    import.m_nMeshes = 0;
    import.TransferDataFromWindow();  // the box still ticked
    EXPECT_TRUE(import.GetMeshes());

    CDlgGetObjId id(App().GetMainFrame());
    id.m_nObjectId = 412;
    id.TransferDataToWindow();
    id.m_nObjectId = 0;
    id.TransferDataFromWindow();
    EXPECT_EQ(id.m_nObjectId, 412);
    CDlgSoundOpt sound(App().GetMainFrame());
    EXPECT_EQ(sound.GetTitle(), "Sound options");
}

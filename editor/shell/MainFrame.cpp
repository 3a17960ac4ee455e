#include "editor/shell/MainFrame.h"

#include <algorithm>

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/artprov.h>
#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/menu.h>
#include <wx/statusbr.h>
#include <wx/toolbar.h>
#include <wx/utils.h>

#include "batch/AppSettings.h"
#include "editor/common/CommandIds.h"
#include "editor/common/ModalHook.h"
#include "editor/dialogs/DlgOptions.h"
#include "editor/shell/ChildFrame.h"
#include "editor/shell/LithoscopeView.h"
#include "level/GameCatalog.h"

namespace lithoscope {

namespace {

// A 16 by 15 button face with a letter, for the buttons without a stock picture.
wxBitmap LetterButton(const char* letter) {
    wxBitmap bitmap(16, 15);
    wxMemoryDC dc(bitmap);
    dc.SetBackground(*wxLIGHT_GREY_BRUSH);
    dc.Clear();
    dc.SetTextForeground(*wxBLACK);
    dc.SetFont(wxFont(8, wxFONTFAMILY_SWISS, wxFONTSTYLE_NORMAL, wxFONTWEIGHT_BOLD));
    dc.DrawText(letter, 3, 0);
    dc.SelectObject(wxNullBitmap);
    return bitmap;
}

wxBitmap Stock(const wxArtID& id) { return wxArtProvider::GetBitmap(id, wxART_TOOLBAR, wxSize(16, 15)); }

}  // namespace

CMainFrame::CMainFrame() : m_crBackground(MakeRgb(192, 192, 192)) {}

bool CMainFrame::Create(wxDocManager* manager, const wxString& title) {
    if (!wxDocMDIParentFrame::Create(manager, nullptr, wxID_ANY, title, wxDefaultPosition,
                                     wxSize(1024, 768)))
        return false;
    // On a small screen the window fits it.
    const wxRect screen = wxGetClientDisplayRect();
    SetSize(std::min(1024, screen.width), std::min(768, screen.height));
    SetMenuBar(CreateMenu128(manager));

    // Toolbar 128, buttons 16 by 15, by position.
    m_pToolBar = CreateToolBar(wxTB_FLAT | wxTB_HORIZONTAL | wxTB_DOCKABLE);
    if (!m_pToolBar) return false;
    m_pToolBar->SetToolBitmapSize(wxSize(16, 15));
    m_pToolBar->AddTool(wxID_NEW, "New", Stock(wxART_NEW), "New");
    m_pToolBar->AddTool(wxID_OPEN, "Open", Stock(wxART_FILE_OPEN), "Open");
    m_pToolBar->AddTool(wxID_SAVE, "Save", Stock(wxART_FILE_SAVE), "Save");
    m_pToolBar->AddSeparator();
    m_pToolBar->AddTool(wxID_CUT, "Cut", Stock(wxART_CUT), "Cut");
    m_pToolBar->AddTool(wxID_COPY, "Copy", Stock(wxART_COPY), "Copy");
    m_pToolBar->AddTool(wxID_PASTE, "Paste", Stock(wxART_PASTE), "Paste");
    m_pToolBar->AddSeparator();
    m_pToolBar->AddTool(wxID_PRINT, "Print", Stock(wxART_PRINT), "Print");
    m_pToolBar->AddSeparator();
    m_pToolBar->AddTool(wxID_ABOUT, "About", Stock(wxART_HELP), "About");
    m_pToolBar->AddSeparator();
    m_pToolBar->AddCheckTool(ID_VIEW_TOOLBOX, "Object toolbox", LetterButton("T"), wxNullBitmap,
                             "Toggle object toolbox", "Show or hide the object toolbox");
    m_pToolBar->AddCheckTool(ID_MANUAL_CAMERA, "Manual camera", LetterButton("C"), wxNullBitmap,
                             "Camera mode", "Switch to manual camera mode");
    m_pToolBar->AddCheckTool(ID_SHOW_AXIS, "Show axis", LetterButton("A"), wxNullBitmap,
                             "Show axis", "Show origin plane and coordinates axis");
    if (!m_pToolBar->Realize()) return false;
    CheckButton(kToolboxButtonPos, m_bToolboxShown);
    CheckButton(kManualCameraButtonPos, m_bManualCamera);
    CheckButton(kShowAxisButtonPos, m_bShowAxis);

    // Message pane, Caps Lock, Num Lock, Scroll Lock.
    wxStatusBar* status = CreateStatusBar(4);
    if (!status) return false;
    const int widths[4] = {-1, 40, 40, 40};
    status->SetStatusWidths(4, widths);
    status->SetStatusText("Ready", 0);
    Bind(wxEVT_IDLE, [this](wxIdleEvent& e) {
        e.Skip();
        UpdateIndicators();
    });

    SetAcceleratorTable(MainAccelerators());

    for (int id : {int(ID_VIEW_TOOLBOX), int(ID_MANUAL_CAMERA), int(ID_SHOW_AXIS),
                   int(ID_OPTIONS_LEVEL_PATHS), int(ID_OPTIONS_DISPLAY), int(ID_OPTIONS_SOUND),
                   int(ID_VIEW_TOOLBAR), int(ID_VIEW_STATUS_BAR), int(ID_WINDOW_CASCADE),
                   int(ID_WINDOW_TILE), int(ID_WINDOW_ARRANGE), int(ID_WINDOW_NEW),
                   int(ID_NEXT_PANE), int(ID_PREV_PANE)})
        Bind(wxEVT_MENU, &CMainFrame::OnCommand, this, id);
    for (int id : {int(ID_VIEW_TOOLBOX), int(ID_MANUAL_CAMERA), int(ID_SHOW_AXIS),
                   int(ID_VIEW_TOOLBAR), int(ID_VIEW_STATUS_BAR)})
        Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateCheck, this, id);
    // Commands without a handler are shown disabled.
    for (int id : {int(wxID_NEW), int(ID_MISC_DEBUG), int(ID_MERGE_LEVEL), int(wxID_UNDO),
                   int(wxID_CUT), int(wxID_COPY), int(wxID_PASTE), int(wxID_PRINT),
                   int(wxID_PREVIEW)})
        Bind(wxEVT_UPDATE_UI, &CMainFrame::OnUpdateDisabled, this, id);
    // What needs a document window.
    for (int id : {int(ID_WINDOW_NEW), int(ID_NEXT_PANE), int(ID_PREV_PANE)})
        Bind(wxEVT_UPDATE_UI, [this](wxUpdateUIEvent& e) { e.Enable(GetActiveChild() != nullptr); }, id);
    return true;
}

bool CMainFrame::IsButtonChecked(int position) const {
    if (!m_pToolBar) return false;
    const wxToolBarToolBase* tool = m_pToolBar->GetToolByPos(position);
    return tool && tool->IsToggled();
}

void CMainFrame::CheckButton(int position, bool checked) {
    if (!m_pToolBar) return;
    if (const wxToolBarToolBase* tool = m_pToolBar->GetToolByPos(position))
        m_pToolBar->ToggleTool(tool->GetId(), checked);
}

void CMainFrame::ShowToolbox(bool show, bool store) {
    if (store) m_bToolboxShown = show;
    CheckButton(kToolboxButtonPos, m_bToolboxShown);
    for (CChildFrame* child : ChildFrames()) child->LayoutToolbox(m_bToolboxShown);
}

void CMainFrame::SetManualCamera(bool manual) {
    m_bManualCamera = manual;
    CheckButton(kManualCameraButtonPos, m_bManualCamera);
    if (CLithoscopeView* view = GetActiveLevelView()) view->SetManualCamera(manual);
}

void CMainFrame::SetShowAxis(bool show) {
    m_bShowAxis = show;
    CheckButton(kShowAxisButtonPos, m_bShowAxis);
    if (CLithoscopeView* view = GetActiveLevelView()) view->SetShowAxis(show);
}

std::vector<CChildFrame*> CMainFrame::ChildFrames() const {
    std::vector<CChildFrame*> frames;
    const wxWindow* client = GetClientWindow();
    if (!client) return frames;
    for (wxWindow* w : client->GetChildren())
        if (auto* child = dynamic_cast<CChildFrame*>(w))
            if (!child->IsBeingDeleted()) frames.push_back(child);
    return frames;
}

CChildFrame* CMainFrame::GetNextChildFrame() {
    const std::vector<CChildFrame*> frames = ChildFrames();
    m_nChildWalk = m_nChildWalk < 0 ? 0 : m_nChildWalk + 1;
    if (size_t(m_nChildWalk) >= frames.size()) {
        m_nChildWalk = -1;
        return nullptr;
    }
    return frames[size_t(m_nChildWalk)];
}

void CMainFrame::OnOptionsDisplay() {
    CLithoscopeSettings& app = EditorHost()->GetSettings();
    CDlgDisplayOpt dialog(this);
    dialog.m_crBackground = m_crBackground;
    dialog.m_nFriendlyNames = app.m_bShowFriendlyNamesInTreeview;
    dialog.m_nIcons = app.m_bShowIconInFrontOfItemInTreeview;
    dialog.m_nRealMeshes = app.m_bShowRealMeshes;
    dialog.m_nAssociatedMoveable = app.m_bShowAssociatedMoveable;
    if (RunModalDialog(dialog) != wxID_OK) return;
    m_crBackground = dialog.m_crBackground;
    if (CLithoscopeView* view = ActivateLevelView()) {
        view->SetBackgroundColor(m_crBackground);
        view->ShowTreeIcons(dialog.m_nIcons != 0);
    }
    app.SetShowFriendlyNamesInTreeview(dialog.m_nFriendlyNames != 0);
    app.SetShowIconInFrontOfItemInTreeview(dialog.m_nIcons != 0);
    app.SetShowRealMeshes(dialog.m_nRealMeshes != 0);
    app.SetShowAssociatedMoveable(dialog.m_nAssociatedMoveable != 0);
}

void CMainFrame::OnOptionsLevelPaths() {
    CGameCatalog& catalog = EditorCatalog();
    CDiagLevelPath dialog(this);
    for (int f = 0; f < kLevelPathFields; ++f) dialog.m_paths[size_t(f)] = catalog.DataPath(LevelPathFieldGame(f));
    if (RunModalDialog(dialog) != wxID_OK) return;
    for (int game = 0; game < kLevelPathFields; ++game)
        for (int f = 0; f < kLevelPathFields; ++f)
            if (LevelPathFieldGame(f) == game) catalog.SetDataPath(game, dialog.m_paths[size_t(f)]);
}

void CMainFrame::OnOptionsSound() {
    CLithoscopeSettings& app = EditorHost()->GetSettings();
    CDlgSoundOpt dialog(this);
    dialog.m_nUncompressedSounds = app.m_bSaveUncompressedSounds;
    if (RunModalDialog(dialog) != wxID_OK) return;
    app.SetSaveUncompressedSounds(dialog.m_nUncompressedSounds != 0);
}

void CMainFrame::OnCommand(wxCommandEvent& event) {
    switch (event.GetId()) {
        case ID_VIEW_TOOLBOX: ShowToolbox(!m_bToolboxShown, true); break;
        case ID_MANUAL_CAMERA: SetManualCamera(!m_bManualCamera); break;
        case ID_SHOW_AXIS: SetShowAxis(!m_bShowAxis); break;
        case ID_OPTIONS_LEVEL_PATHS: OnOptionsLevelPaths(); break;
        case ID_OPTIONS_DISPLAY: OnOptionsDisplay(); break;
        case ID_OPTIONS_SOUND: OnOptionsSound(); break;
        case ID_VIEW_TOOLBAR:
            if (m_pToolBar) {
                m_pToolBar->Show(!m_pToolBar->IsShown());
                SendSizeEvent();
            }
            break;
        case ID_VIEW_STATUS_BAR:
            if (wxStatusBar* s = GetStatusBar()) {
                s->Show(!s->IsShown());
                SendSizeEvent();
            }
            break;
        case ID_WINDOW_NEW: OnWindowNew(); break;
        case ID_NEXT_PANE:
        case ID_PREV_PANE:
            if (auto* child = dynamic_cast<CChildFrame*>(GetActiveChild()))
                child->ActivateNextPane(event.GetId() == ID_PREV_PANE);
            break;
        case ID_WINDOW_CASCADE: Cascade(); break;
        case ID_WINDOW_TILE: Tile(); break;
        case ID_WINDOW_ARRANGE: ArrangeIcons(); break;
        default: event.Skip(); break;
    }
}

void CMainFrame::OnUpdateCheck(wxUpdateUIEvent& event) {
    switch (event.GetId()) {
        case ID_VIEW_TOOLBOX: event.Check(m_bToolboxShown); break;
        case ID_MANUAL_CAMERA: event.Check(m_bManualCamera); break;
        case ID_SHOW_AXIS: event.Check(m_bShowAxis); break;
        case ID_VIEW_TOOLBAR: event.Check(m_pToolBar && m_pToolBar->IsShown()); break;
        case ID_VIEW_STATUS_BAR: event.Check(GetStatusBar() && GetStatusBar()->IsShown()); break;
        default: break;
    }
}

void CMainFrame::OnUpdateDisabled(wxUpdateUIEvent& event) { event.Enable(false); }

const char* LockIndicatorText(int pane, bool on) {
    static const char* const kNames[] = {"CAP", "NUM", "SCRL"};
    return on && pane >= 1 && pane <= 3 ? kNames[pane - 1] : "";
}

wxString MainFrameTitle(const wxString& documentName) {
    return documentName.empty() ? wxString("Lithoscope") : "Lithoscope - " + documentName;
}

void CMainFrame::UpdateIndicators() {
    if (wxStatusBar* status = GetStatusBar()) {
        const bool locks[3] = {wxGetKeyState(WXK_CAPITAL), wxGetKeyState(WXK_NUMLOCK),
                               wxGetKeyState(WXK_SCROLL)};
        for (int pane = 1; pane <= 3; ++pane) {
            const wxString text = LockIndicatorText(pane, locks[pane - 1]);
            if (status->GetStatusText(pane) != text) status->SetStatusText(text, pane);
        }
    }
    wxString name;
    if (auto* child = dynamic_cast<CChildFrame*>(GetActiveChild()))
        if (wxDocument* doc = child->GetDocument()) name = doc->GetUserReadableName();
    const wxString title = MainFrameTitle(name);
    if (GetTitle() != title) SetTitle(title);
}

void CMainFrame::OnWindowNew() {
    auto* child = dynamic_cast<CChildFrame*>(GetActiveChild());
    wxDocument* doc = child ? child->GetDocument() : nullptr;
    wxDocTemplate* tmpl = doc ? doc->GetDocumentTemplate() : nullptr;
    if (!tmpl) return;
    if (auto* view = dynamic_cast<CLithoscopeView*>(tmpl->CreateView(doc))) view->OnInitialUpdate();
}

}  // namespace lithoscope

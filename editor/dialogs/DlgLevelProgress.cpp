#include "editor/dialogs/DlgLevelProgress.h"

#include <climits>

#include <wx/evtloop.h>
#include <wx/gauge.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/time.h>

#include "editor/common/ModalHook.h"
#include "editor/common/WxStrings.h"
#include "platform/Messages.h"

namespace lithoscope {

// ---- bars ------------------------------------------------------------------------------

void CProgressBarState::SetRange(uint32_t max) {
    range_ = max;
    shift_ = 0;
    while ((range_ >> shift_) > uint32_t(INT_MAX)) ++shift_;
    if (pos_ > range_) pos_ = range_;
}

void CProgressBarState::SetPos(uint32_t pos) { pos_ = pos > range_ ? range_ : pos; }

std::string LoadCaption(const std::string& levelName) {
    return StrFormat("Loading level %s", levelName.c_str());
}
std::string SaveCaption(const std::string& levelName) {
    return StrFormat("Saving level %s", levelName.c_str());
}
std::string TileCountText(long oldCount, long newCount) {
    return StrFormat("%ld (old num: %ld)", newCount, oldCount);
}

// ---- windows -----------------------------------------------------------------------------

bool CDlgLevelLS::CreateAndShow() {
    if (!Create(DialogParent(), wxID_ANY, ToWx(Caption()), wxDefaultPosition, wxDefaultSize,
                wxCAPTION | wxSTAY_ON_TOP))
        return false;
    BuildControls();
    CentreOnScreen();
    Show();
    Update();
    return true;
}

wxGauge* CDlgLevelLS::AddBarRow(wxSizer* grid, const char* label) {
    grid->Add(new wxStaticText(this, wxID_ANY, label), 0, wxALIGN_CENTER_VERTICAL);
    wxGauge* bar = new wxGauge(this, wxID_ANY, 100, wxDefaultPosition, wxSize(260, -1));
    grid->Add(bar, 1, wxEXPAND);
    return bar;
}

void CDlgLevelLS::SetBar(wxGauge* bar, const CProgressBarState& state) {
    if (!bar) return;
    const int range = state.GaugeRange() > 0 ? state.GaugeRange() : 1;
    if (bar->GetRange() != range) bar->SetRange(range);
    bar->SetValue(state.GaugePos() < range ? state.GaugePos() : range);
}

void CDlgLevelLoad::BuildControls() {
    auto* grid = new wxFlexGridSizer(2, 8, 8);
    grid->AddGrowableCol(1);
    m_readingBar = AddBarRow(grid, "Loading:");
    m_conversionBar = AddBarRow(grid, "Converting:");
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(grid, 1, wxEXPAND | wxALL, 12);
    SetSizerAndFit(outer);
}

void CDlgLevelSave::BuildControls() {
    auto* grid = new wxFlexGridSizer(2, 8, 8);
    grid->AddGrowableCol(1);
    m_preparingBar = AddBarRow(grid, "Converting:");
    grid->Add(new wxStaticText(this, wxID_ANY, "Num tiles:"), 0, wxALIGN_CENTER_VERTICAL);
    tileText_ = new wxStaticText(this, wxID_ANY, ToWx(m_strTileCount));
    grid->Add(tileText_, 1, wxEXPAND);
    m_conversionBar = AddBarRow(grid, "Converting:");
    m_writingBar = AddBarRow(grid, "Saving:");
    auto* outer = new wxBoxSizer(wxVERTICAL);
    outer->Add(grid, 1, wxEXPAND | wxALL, 12);
    SetSizerAndFit(outer);
}

void CDlgLevelSave::SetTileCounts(long oldCount, long newCount) {
    m_strTileCount = TileCountText(oldCount, newCount);
    if (tileText_) {
        tileText_->SetLabel(ToWx(m_strTileCount));
        tileText_->Update();
    }
}

// ---- the progress interface ------------------------------------------------------------

namespace {

// Repaints the window while the level library works: at most every 50 ms, UI events only.
void RepaintNow() {
    static wxLongLong last = 0;
    const wxLongLong now = wxGetLocalTimeMillis();
    if (now - last < 50) return;
    last = now;
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
}

}  // namespace

CLevelProgressWindow::CLevelProgressWindow(bool saving, const std::string& levelName)
    : saving_(saving) {
    CDlgLevelLS* dialog = saving ? static_cast<CDlgLevelLS*>(new CDlgLevelSave)
                                 : static_cast<CDlgLevelLS*>(new CDlgLevelLoad);
    dialog->m_strLevelName = levelName;
    if (dialog->CreateAndShow()) {
        dialog_ = dialog;
    } else {
        delete dialog;  // never created as a window
    }
}

CLevelProgressWindow::~CLevelProgressWindow() { Close(); }

wxGauge* CLevelProgressWindow::MainBar() const {
    if (!dialog_) return nullptr;
    return saving_ ? static_cast<CDlgLevelSave*>(dialog_)->m_writingBar
                   : static_cast<CDlgLevelLoad*>(dialog_)->m_readingBar;
}

wxGauge* CLevelProgressWindow::RepackBar() const {
    if (!dialog_ || !saving_) return nullptr;
    return static_cast<CDlgLevelSave*>(dialog_)->m_preparingBar;
}

void CLevelProgressWindow::Show(wxGauge* bar, const CProgressBarState& state) {
    if (!dialog_ || !bar) return;
    dialog_->SetBar(bar, state);
    RepaintNow();
}

void CLevelProgressWindow::SetMainRange(uint32_t max) { main_.SetRange(max); Show(MainBar(), main_); }
void CLevelProgressWindow::SetMainPos(uint32_t pos) { main_.SetPos(pos); Show(MainBar(), main_); }
void CLevelProgressWindow::SetBuildRange(uint32_t max) {
    build_.SetRange(max);
    Show(dialog_ ? dialog_->m_conversionBar : nullptr, build_);
}
void CLevelProgressWindow::SetBuildPos(uint32_t pos) {
    build_.SetPos(pos);
    Show(dialog_ ? dialog_->m_conversionBar : nullptr, build_);
}
void CLevelProgressWindow::SetRepackRange(uint32_t max) { repack_.SetRange(max); Show(RepackBar(), repack_); }
void CLevelProgressWindow::SetRepackPos(uint32_t pos) { repack_.SetPos(pos); Show(RepackBar(), repack_); }

void CLevelProgressWindow::SetTileCounts(uint32_t oldCount, uint32_t newCount) {
    if (dialog_ && saving_) static_cast<CDlgLevelSave*>(dialog_)->SetTileCounts(long(oldCount), long(newCount));
}

void CLevelProgressWindow::Close() {
    if (!dialog_) return;
    dialog_->Hide();
    dialog_->Destroy();
    dialog_ = nullptr;
}

void InstallLevelProgressWindows() {
    SetLevelProgressFactory([](const std::string& kind, const std::string& title)
                                -> std::unique_ptr<ILevelProgress> {
        return std::make_unique<CLevelProgressWindow>(kind == "save", title);
    });
    SetPendingMessagePump([] {
        if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
    });
}

void RemoveLevelProgressWindows() {
    SetLevelProgressFactory(LevelProgressFactory());
    SetPendingMessagePump(PendingMessagePump());
}

}  // namespace lithoscope

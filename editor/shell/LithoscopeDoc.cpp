#include "editor/shell/LithoscopeDoc.h"

#include <cstdio>
#include <exception>

#include <wx/utils.h>

#include "editor/common/EditorHost.h"
#include "editor/common/EditorMessages.h"
#include "editor/common/ModalHook.h"
#include "editor/common/WxStrings.h"
#include "editor/shell/LithoscopeView.h"
#include "editor/view3d/GlWindow.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

wxIMPLEMENT_DYNAMIC_CLASS(CLithoscopeDoc, wxDocument);

namespace {
// Sets the saving flag for a scope, whatever way it ends.
class SavingFlag {
public:
    SavingFlag() { g_bSavingLevel = true; }
    ~SavingFlag() { g_bSavingLevel = false; }
};
}  // namespace

CLithoscopeDoc::~CLithoscopeDoc() { m_level.Free(); }

std::string CLithoscopeDoc::GetPath() const { return FromWx(GetFilename()); }

CLithoscopeView* CLithoscopeDoc::GetLevelView() const {
    return dynamic_cast<CLithoscopeView*>(GetFirstView());
}

std::vector<ILevelTree*> CLithoscopeDoc::GetLevelTrees() const {
    std::vector<ILevelTree*> trees;
    for (wxObject* v : GetViews())
        if (auto* view = dynamic_cast<CLithoscopeView*>(v))
            if (view->GetTree()) trees.push_back(view->GetTree());
    return trees;
}

void CLithoscopeDoc::Modify(bool modified) {
    const bool was = IsModified();
    wxDocument::Modify(modified);
    if (was == modified) return;
    for (wxObject* v : GetViews())
        if (auto* view = dynamic_cast<wxView*>(v); view && view != GetFirstView()) view->OnChangeFilename();
}

bool CLithoscopeDoc::OnNewDocument() {
    if (!wxDocument::OnNewDocument()) return false;
    // The level stays empty (version 0): the tree gets no root node.
    if (CLithoscopeView* view = GetLevelView()) view->OnInitialUpdate();
    return true;
}

bool CLithoscopeDoc::OnOpenDocument(const wxString& wxPath) {
    const std::string path = FromWx(wxPath);
    // The framework's step: the file must open for reading; the document is emptied.
    if (!ConfirmReadableFile(path)) return false;
    m_level.Free();
    Modify(false);
    m_level.sayWhyRefused = true;  // "Unknown file type !" alone does not say what is wrong
    try {
        m_bLoaded = m_level.Load(path, false, true, EditorHost() ? &EditorHost()->GetGameCatalog() : nullptr);
    } catch (const std::exception& e) {
        ShowError(StrFormat("The level could not be loaded: %s", e.what()));
        m_level.Free();
        m_bLoaded = false;
    }
    if (!m_bLoaded) return false;
    // The title first: the windows take it when they hear of the new path.
    SetTitle(ToWx(FileNameOf(path)));
    SetFilename(wxPath, true);
    SetDocumentSaved(true);
    Modify(false);
    if (CLithoscopeView* view = GetLevelView()) view->OnInitialUpdate();
    return true;
}

bool CLithoscopeDoc::Save() { return DoSave(GetPath(), true); }
bool CLithoscopeDoc::SaveAs() { return DoSave(GetPath(), true); }

bool CLithoscopeDoc::DoSave(const std::string& path, bool /*replace*/) {
    const std::string chosen = ChooseSaveFile(GetDocumentWindow(), {path, kSaveFilter});
    if (chosen.empty()) return false;  // Cancel: nothing written, still modified
    wxBusyCursor wait;
    return OnSaveDocument(ToWx(chosen));
}

bool CLithoscopeDoc::OnSaveDocument(const wxString& wxPath) {
    const std::string path = FromWx(wxPath);
    bool saved = false;
    // The views show what they show now until the save is done.
    COpenGLWnd::KeepLastFrames();
    {
        SavingFlag saving;
        // The document's own view saves: the level it shows is this document's.
        CLithoscopeView* view = GetLevelView();
        saved = view ? view->SaveLevel(path) : SaveLevelFile(m_level, path);
        if (saved) {
            Modify(false);
            // The title first: every window of the document takes it with the new path.
            SetTitle(ToWx(FileNameOf(path)));
            SetFilename(wxPath, true);
            SetDocumentSaved(true);
            if (wxDocManager* manager = GetDocumentManager()) manager->AddFileToHistory(wxPath);
            for (wxObject* v : GetViews())
                if (auto* levelView = dynamic_cast<CLithoscopeView*>(v)) levelView->ResetAfterSave(true);
        }
    }
    return saved;
}

bool CLithoscopeDoc::OnSaveModified() {
    if (!IsModified()) return true;
    const std::string name = FromWx(GetUserReadableName());
    switch (ShowMessage(StrFormat("Save changes to %s?", name.c_str()), kEditorCaption,
                        MsgButtons::YesNoCancel, MsgIcon::Warning, MsgAnswer::Cancel)) {
        case MsgAnswer::Yes: return Save();
        case MsgAnswer::No: Modify(false); return true;
        default: return false;
    }
}

}  // namespace lithoscope

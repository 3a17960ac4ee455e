// Mesh, moveable, sprite and tile nodes: menus, object files and textures.
#include "editor/tree/NodeHandlers.h"

#include <algorithm>

#include <wx/menu.h>
#include <wx/utils.h>

#include "editor/common/EditorMessages.h"
#include "editor/common/ModalHook.h"
#include "editor/common/PaneInterfaces.h"
#include "editor/dialogs/DlgObjects.h"
#include "level/Anim.h"
#include "level/FairyExport.h"
#include "level/GameCatalog.h"
#include "level/SoundList.h"
#include "level/TrAnimData.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

const char kPictureFilter[] =
    "Gfx files (*.tga;*.bmp;*.gif)|*.tga;*.bmp;*.gif|Others (*.fli;*.flc;*.cel)|*.fli;*.flc;*.cel||";
const char kTgaFilter[] = "TGA files (*.tga)|*.tga||";

// When the path lacks the full extension word, every short form becomes the full one.
std::string CompleteExtension(std::string path, const std::string& shortForm,
                              const std::string& fullForm) {
    if (path.find(fullForm) != std::string::npos) return path;
    for (size_t at = path.find(shortForm); at != std::string::npos;
         at = path.find(shortForm, at + fullForm.size()))
        path.replace(at, shortForm.size(), fullForm);
    return path;
}

void ReportWriteFailure(const std::string& path, const std::string& error) {
    ShowError("Could not write the file " + path + (error.empty() ? std::string() : ":\n\n" + error));
}

void ReportReplaceFailure(uint32_t width, uint32_t height) {
    ShowError(StrFormat(
        "Could not replace the texture. Please, make sure that:\n\n    - your graphic file is a "
        "valid one\n    - your texture is %ldx%ld",
        long(width), long(height)));
}

// Removes the items placed with that object id (Tomb Raider I only keeps no orphans).
void RemoveItemsOf(CTrLevel& level, int32_t objectId) {
    auto& items = level.itemList;
    items.erase(std::remove_if(items.begin(), items.end(),
                               [&](const TrItemRecord& it) { return it.objectId() == objectId; }),
                items.end());
}

void RemoveSoundsOf(CTrLevel& level, const CTrMvb& mvb) {
    if (level.soundList && mvb.sounds) level.soundList->Merge(*mvb.sounds, true);
}

}  // namespace

void ReportSilentSounds(const CTrLevel& level, const CTrMvb& moveable) {
    if (!level.soundList) return;
    std::string ids;
    for (int32_t id : moveable.PlayedSounds()) {
        const TrSoundRecord* r = level.soundList->Find(id);
        // Tomb Raider IV plays only samples of its own (the save leaves the others out).
        if (!r || id >= CTrSoundList::MapSlots(level) ||
            (level.version == TrVersion4 && !HeldSamples(level, *r).held))
            ids += (ids.empty() ? "#" : ", #") + std::to_string(id);
    }
    if (ids.empty()) return;
    ShowMessage("The animations of this moveable play sounds that this level does not have. They "
                "will be silent: " + ids + ".",
                kEditorCaption, MsgButtons::Ok, MsgIcon::Warning);
}

namespace {

void Refresh(CHandleBase& node) {
    node.OnModified(true);
    node.ShowInPane(node.GetName());
}

}  // namespace

// The node's text with "/" made "-", as a proposed file name.
static std::string ProposedName(const CHandleBase& node) {
    std::string name = node.GetName();
    std::replace(name.begin(), name.end(), '/', '-');
    return name;
}

std::string AskSavePath(const CHandleBase& node, const std::string& filter, const std::string& ext) {
    SaveFileRequest request;
    request.initialPath = ProposedName(node) + "." + ext;
    // MFC filters end with "||"; the chooser takes wx's form.
    request.filter = filter;
    while (!request.filter.empty() && request.filter.back() == '|') request.filter.pop_back();
    std::string path = ChooseSaveFile(nullptr, request);
    if (!path.empty() && FileNameOf(path).find('.') == std::string::npos) path += "." + ext;
    return path;
}

static CurrentAnimationQuery& AnimationQuery() {
    static CurrentAnimationQuery query;
    return query;
}

CurrentAnimationQuery SetCurrentAnimationQuery(CurrentAnimationQuery query) {
    CurrentAnimationQuery previous = std::move(AnimationQuery());
    AnimationQuery() = std::move(query);
    return previous;
}

bool ExportObjectTexture(CHandleBase& node, const std::string& chosenPath) {
    auto* gfx = static_cast<CTrObjGfx*>(node.GetType() == HandleTypeSprite
                                            ? static_cast<CTrObjGfx*>(static_cast<CTrLstSpr*>(node.GetObject()))
                                            : static_cast<CTrObjGfx*>(static_cast<CTrMvb*>(node.GetObject())));
    if (!gfx) return false;
    std::string path = chosenPath.empty() ? AskSavePath(node, kTgaFilter, "tga") : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    std::string error;
    if (!gfx->ExportTga(path, false, &error)) {
        ReportWriteFailure(path, error);
        return false;
    }
    return true;
}

bool ReplaceObjectTexture(CHandleBase& node, const std::string& chosenPath) {
    CTrObjGfx* gfx = node.GetType() == HandleTypeSprite
                         ? static_cast<CTrObjGfx*>(static_cast<CTrLstSpr*>(node.GetObject()))
                         : static_cast<CTrObjGfx*>(static_cast<CTrMvb*>(node.GetObject()));
    if (!gfx) return false;
    std::string path = chosenPath.empty() ? ChooseOpenFile(kPictureFilter) : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    if (!gfx->ReplaceTexture(path)) {
        ReportReplaceFailure(gfx->width, gfx->height);
        return false;
    }
    Refresh(node);
    return true;
}

// ---- CHandleMesh ----

CHandleMesh::CHandleMesh(CNodeTree* tree, void* object, bool isStatic, int32_t meshIndex)
    : CHandleBase(tree, object, EditPaneMesh), m_bStatic(isStatic), m_nMeshIndex(isStatic ? 0 : meshIndex) {}

CHandleMesh::~CHandleMesh() { ReleaseContextMenu(); }

CTrStatMsh* CHandleMesh::StaticMesh() const {
    return m_bStatic ? static_cast<CTrStatMsh*>(m_pObject) : nullptr;
}
CTrMvb* CHandleMesh::Moveable() const {
    return m_bStatic ? nullptr : static_cast<CTrMvb*>(m_pObject);
}

std::unique_ptr<CTrLstMsh> CHandleMesh::OneMeshList() const {
    CTrMvb* mvb = Moveable();
    if (!mvb || m_nMeshIndex < 0 || uint32_t(m_nMeshIndex) >= mvb->meshCount()) return nullptr;
    return std::make_unique<CTrLstMsh>(*mvb, m_nMeshIndex, 0, 0);
}

wxMenu* CHandleMesh::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = new wxMenu;
    if (m_bStatic) {
        AppendCommand(*m_pMenu, 32804, "Clear mesh");
        AppendCommand(*m_pMenu, 32802, "Export to 3DS");
        AppendCommand(*m_pMenu, 32803, "Import from 3DS");
        AppendCommand(*m_pMenu, 32805, "Export as .TRSMH");
        AppendCommand(*m_pMenu, 32806, "Import from .TRSMH");
        AppendCommand(*m_pMenu, 32812, "Export texture as .TGA");
        AppendCommand(*m_pMenu, 32813, "Load && replace texture");
        AppendCommand(*m_pMenu, 32832, "Delete");
    } else {
        AppendCommand(*m_pMenu, 32786, "Clear mesh");
        AppendCommand(*m_pMenu, 32780, "Export to 3DS");
        AppendCommand(*m_pMenu, 32781, "Import from 3DS");
        AppendCommand(*m_pMenu, 32791, "Export as .TRMSH");
        AppendCommand(*m_pMenu, 32792, "Import from .TRMSH");
        AppendCommand(*m_pMenu, 32838, "Export texture as .TGA");
        AppendCommand(*m_pMenu, 32839, "Load && replace texture");
    }
    return m_pMenu;
}

void CHandleMesh::ReleaseContextMenu() {
    delete m_pMenu;
    m_pMenu = nullptr;
}

void CHandleMesh::OnCommand(int id) {
    switch (id) {
    case 32786: case 32804: ClearMesh(); break;
    case 32791: case 32805: ExportMeshFile(); break;
    case 32792: case 32806: ImportMeshFile(nullptr); break;
    case 32838: case 32812: ExportMeshTexture(); break;
    case 32839: case 32813: ReplaceMeshTexture(); break;
    case 32832: if (m_bStatic) DeleteStaticMesh(); break;
    case 32780: case 32802: ExportMesh3ds(); break;
    case 32781: case 32803: ImportMesh3ds(); break;
    default: break;
    }
}

void CHandleMesh::ShowInPane(const std::string&) {
    if (IEditPane* pane = GetEditPane()) pane->SetHandle(this);
}

void CHandleMesh::OnModified(bool refreshPane) {
    if (refreshPane) ObjectChangedInPlace();
    SetModified();
}

void CHandleMesh::ShowCatalogName() {
    CTrStatMsh* mesh = m_bStatic ? StaticMesh() : nullptr;
    if (!mesh) return;  // a moveable's mesh is named by its place
    const CatalogStaticMeshEntry e = GetCatalog().GetStaticMeshEntry(GetGameIndex(), GetLevelName(), mesh->objectId);
    SetLabel(e.name, e.icon);
}

void CHandleMesh::ClearMesh() {
    auto* list = static_cast<CTrLstMsh*>(m_bStatic ? static_cast<CTrLstMsh*>(StaticMesh())
                                                   : static_cast<CTrLstMsh*>(Moveable()));
    if (!list || uint32_t(m_nMeshIndex) >= list->meshCount()) return;
    list->ClearMesh(unsigned(m_nMeshIndex));
    Refresh(*this);
}

bool CHandleMesh::ExportMeshFile(const std::string& chosenPath) {
    const std::string ext = m_bStatic ? "trsmh" : "trmsh";
    std::string path = chosenPath;
    if (path.empty()) {
        path = AskSavePath(*this,
                           m_bStatic ? "TR Static Mesh files (*.trsmh)|*.trsmh||"
                                     : "TR Mesh files (*.trmsh)|*.trmsh||",
                           ext);
        if (path.empty()) return false;
    }
    path = CompleteExtension(path, m_bStatic ? ".trs" : ".trm", "." + ext);
    wxBusyCursor wait;
    std::string error;
    bool ok = false;
    if (m_bStatic) {
        ok = StaticMesh() && StaticMesh()->SaveFile(path, &error);
    } else {
        auto one = OneMeshList();
        ok = one && one->SaveFile(path, &error);
    }
    if (!ok) ReportWriteFailure(path, error);
    return ok;
}

bool CHandleMesh::ExportMeshTexture(const std::string& chosenPath) {
    std::string path = chosenPath.empty() ? AskSavePath(*this, kTgaFilter, "tga") : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    std::string error;
    bool ok = false;
    if (m_bStatic) {
        ok = StaticMesh() && StaticMesh()->ExportTga(path, false, &error);
    } else {
        auto one = OneMeshList();
        ok = one && one->ExportTga(path, false, &error);
    }
    if (!ok) ReportWriteFailure(path, error);
    return ok;
}

bool CHandleMesh::ReplaceMeshTexture(const std::string& chosenPath) {
    std::string path = chosenPath.empty() ? ChooseOpenFile(kPictureFilter) : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    bool ok = false;
    uint32_t w = 0, h = 0;
    if (m_bStatic) {
        if (CTrStatMsh* sm = StaticMesh()) {
            ok = sm->ReplaceTexture(path);
            w = sm->width;
            h = sm->height;
        }
    } else if (CTrMvb* mvb = Moveable()) {
        w = mvb->width;
        h = mvb->height;
        auto one = OneMeshList();
        ok = one && one->ReplaceTexture(path) && mvb->ReplaceMesh(*one, 0, unsigned(m_nMeshIndex));
    }
    if (!ok) {
        ReportReplaceFailure(w, h);
        return false;
    }
    Refresh(*this);
    return true;
}

void CHandleMesh::ImportMeshFile(CTrStatMsh* source) {
    if (source) {
        if (CTrStatMsh* sm = StaticMesh()) {
            int32_t id = sm->objectId;
            sm->Clear(true);
            sm->TakeOver(*source);
            sm->objectId = id;
            OnModified(true);
        }
        ShowInPane(m_szName);
        return;
    }
    std::string path = ChooseOpenFile(m_bStatic ? "TR Static Mesh files (*.trsmh)|*.trsmh||"
                                                    : "TR Mesh files (*.trmsh)|*.trmsh||");
    if (!path.empty()) ImportMeshFileFrom(path);
}

void CHandleMesh::ImportMeshFileFrom(const std::string& path) {
    wxBusyCursor wait;
    bool ok = false;
    if (CTrStatMsh* sm = StaticMesh()) {
        const int32_t id = sm->objectId;
        if (auto loaded = CTrStatMsh::LoadFile(path)) {
            sm->Clear(true);
            sm->TakeOver(*loaded);
            sm->objectId = id;
            ok = true;
        } else {
            ShowError("Could not import this static mesh because of a version mismatch:\n\n - the "
                      "static mesh was produced with an old Lithoscope release and its format is "
                      "not supported anymore !");
        }
    } else if (CTrMvb* mvb = Moveable()) {
        const int32_t id = mvb->objectId;
        auto loaded = CTrLstMsh::LoadFile(path);
        if (!loaded) {
            ShowError("Could not import this mesh because of a version mismatch:\n\n - the mesh "
                      "was produced with an old Lithoscope release and its format is not "
                      "supported anymore !");
        } else if (loaded->meshCount() > 0 && mvb->ReplaceMesh(*loaded, 0, unsigned(m_nMeshIndex))) {
            ok = true;
        } else {
            ShowError("Could not import this mesh: the file holds no usable mesh.");
        }
        mvb->objectId = id;
    }
    if (ok) OnModified(true);
    ShowInPane(m_szName);
}

void CHandleMesh::DeleteStaticMesh() {
    if (!m_bStatic || !Confirm("Are you sure you want to delete this static mesh ?")) return;
    auto& list = m_pLevel->staticMeshList;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == m_pObject; });
    if (it == list.end()) return;
    if (IEditPane* pane = GetEditPane()) pane->ReleaseResources();
    list.erase(it);  // deletes the object
    m_pObject = nullptr;
    OnModified(false);
    RepopulateCollection(HandleTypeStaticMeshes);
}

// ---- CHandleMoveable ----

CHandleMoveable::CHandleMoveable(CNodeTree* tree, CTrMvb* moveable)
    : CHandleBase(tree, moveable, EditPaneMoveable) {}

CHandleMoveable::~CHandleMoveable() { ReleaseContextMenu(); }

CTrMvb* CHandleMoveable::Moveable() const { return static_cast<CTrMvb*>(m_pObject); }

wxMenu* CHandleMoveable::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = new wxMenu;
    AppendCommand(*m_pMenu, 32788, "Clear meshes");
    AppendCommand(*m_pMenu, 32825, "Remove sounds");
    AppendCommand(*m_pMenu, 32834, "Delete");
    AppendCommand(*m_pMenu, 32797, "Export to 3DS");
    AppendCommand(*m_pMenu, 32787, "Import from 3DS");
    AppendCommand(*m_pMenu, 32841, "Export to Fairy");
    AppendCommand(*m_pMenu, 32798, "Export as .TRMVB");
    AppendCommand(*m_pMenu, 32799, "Import from .TRMVB");
    AppendCommand(*m_pMenu, 32814, "Export texture as .TGA");
    AppendCommand(*m_pMenu, 32815, "Load && replace texture");
    return m_pMenu;
}

void CHandleMoveable::ReleaseContextMenu() {
    delete m_pMenu;
    m_pMenu = nullptr;
}

void CHandleMoveable::OnCommand(int id) {
    switch (id) {
    case 32788: ClearMoveableMeshes(); break;
    case 32825: RemoveMoveableSounds(); break;
    case 32834: DeleteMoveable(); break;
    case 32841: ExportMoveableFairy(); break;
    case 32798: ExportMoveableFile(); break;
    case 32799: ImportMoveableFile(nullptr); break;
    case 32814: ExportObjectTexture(*this); break;
    case 32815: ReplaceObjectTexture(*this); break;
    case 32797: ExportMoveable3ds(); break;
    case 32787: ImportMoveable3ds(); break;
    default: break;
    }
}

void CHandleMoveable::Populate(bool repopulate) {
    CTrMvb* mvb = Moveable();
    if (repopulate || !mvb || m_pLevel->version < 1 || m_pLevel->version > 4) return;
    for (uint32_t i = 0; i < mvb->meshCount(); ++i)
        InsertChild(new CHandleMesh(m_pTree, mvb, false, int32_t(i)),
                    StrFormat("Mesh_%.3d (#%.4d)", int(i), int(i) + int(mvb->firstMesh)), 0, false);
}

void CHandleMoveable::ShowInPane(const std::string&) {
    if (IEditPane* pane = GetEditPane()) pane->SetHandle(this);
}

void CHandleMoveable::OnModified(bool refreshPane) {
    if (refreshPane) ObjectChangedInPlace();
    SetModified();
}

void CHandleMoveable::ShowCatalogName() {
    CTrMvb* mvb = Moveable();
    if (!mvb) return;
    // The moveable's description follows its id, as a load would give it: the collection
    // names it from there when it fills again, and its body and companion come from it.
    std::unique_ptr<CatalogMoveableEntry> entry =
        GetCatalog().GetMoveableEntry(GetGameIndex(), GetLevelName(), mvb->objectId);
    const bool companions = mvb->useBodyFrom != entry->useBodyFrom || mvb->showWith != entry->showWith;
    mvb->useBodyFrom = entry->useBodyFrom;
    mvb->showWith = entry->showWith;
    SetLabel(entry->name, entry->icon);
    mvb->SetCatalogEntry(std::move(entry));
    // The pane showing it draws the new body and companion.
    if (companions && m_pTree && m_hItem.IsOk() && m_pTree->GetSelection() == m_hItem) ShowInPane(m_szName);
}

void CHandleMoveable::ClearMoveableMeshes() {
    CTrMvb* mvb = Moveable();
    if (!mvb) return;
    for (uint32_t i = 0; i < mvb->meshCount(); ++i) mvb->ClearMesh(i);
    Refresh(*this);
}

void CHandleMoveable::RemoveMoveableSounds() {
    CTrMvb* mvb = Moveable();
    if (!mvb) return;
    RemoveSoundsOf(*m_pLevel, *mvb);
    if (mvb->animations) {
        for (int t = 0; t < mvb->animations->count(); ++t) {
            auto* track = dynamic_cast<CTRAnimTrack*>(mvb->animations->GetTrack(t));
            if (!track) continue;
            for (int c = track->commandTotal() - 1; c >= 0; --c) {
                const TrAnimCommand& cmd = track->commands[size_t(c)];
                if (!cmd.IsSoundCommand()) continue;
                if (cmd.code == 5 && mvb->sounds) mvb->sounds->Erase(cmd.operands[1] & 0x3FFF);
                track->EraseCommand(c);
            }
        }
    }
    m_pLevel->MergeMoveableSounds();
    Refresh(*this);
}

void CHandleMoveable::DeleteMoveable() {
    CTrMvb* mvb = Moveable();
    if (!mvb || !Confirm("Are you sure you want to delete this moveable ?")) return;
    RemoveSoundsOf(*m_pLevel, *mvb);
    auto& list = m_pLevel->moveableList;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == mvb; });
    if (it != list.end()) {
        if (m_pLevel->version == TrVersion1) RemoveItemsOf(*m_pLevel, mvb->objectId);
        if (IEditPane* pane = GetEditPane()) pane->ReleaseResources();
        // The mesh children point at the moveable: they go before it does.
        if (m_bExpanded) DeleteChildren();
        list.erase(it);
        m_pObject = nullptr;
        OnModified(false);
        // Shared sounds come back from the remaining moveables; the repopulation comes
        // last as it may delete this node.
        m_pLevel->MergeMoveableSounds();
        RepopulateCollection(HandleTypeMoveables);
        return;
    }
    m_pLevel->MergeMoveableSounds();
}

int CHandleMoveable::CurrentAnimation() const {
    const int shown = AnimationQuery() ? AnimationQuery()(m_pFrame) : 0;
    return shown > 0 ? shown - 1 : 0;
}

bool CHandleMoveable::ExportMoveableFairy(const std::string& chosenPath) {
    CTrMvb* mvb = Moveable();
    if (!mvb) return false;
    CExportMvbl picker(mvb->animations.get(), CurrentAnimation(), DialogParent());
    if (RunModalDialog(picker) != wxID_OK) return false;
    const int anim = picker.m_nSelectedAnim;
    std::string path = chosenPath.empty()
                           ? AskSavePath(*this, "Fairy files (*.fkeys)|*.fkeys||", "fkeys")
                           : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    std::string error;
    if (!ExportMoveableFkeys(mvb, path, m_pLevel, anim, &error)) {
        ReportWriteFailure(path, error);
        return false;
    }
    return true;
}

bool CHandleMoveable::ExportMoveableFile(const std::string& chosenPath) {
    CTrMvb* mvb = Moveable();
    if (!mvb) return false;
    std::string path = chosenPath.empty()
                           ? AskSavePath(*this, "TR Moveable files (*.trmvb)|*.trmvb||", "trmvb")
                           : chosenPath;
    if (path.empty()) return false;
    path = CompleteExtension(path, ".trm", ".trmvb");
    wxBusyCursor wait;
    std::string error;
    if (!mvb->SaveFile(path, &error)) {
        ReportWriteFailure(path, error);
        return false;
    }
    return true;
}

void CHandleMoveable::ImportMoveableFile(CTrMvb* source) {
    CTrMvb* mvb = Moveable();
    if (!mvb) return;
    if (source) {
        const int32_t oldId = mvb->objectId;
        RemoveSoundsOf(*m_pLevel, *mvb);
        // Mesh children hold indices into the old meshes.
        if (m_bExpanded) DeleteChildren();
        mvb->Clear(true);
        mvb->TakeOver(*source, true, true);
        RebuildMeshChildren();
        FinishImport(oldId, true);
        return;
    }
    CImportData choices(DialogParent());
    if (RunModalDialog(choices) != wxID_OK) return;
    std::string path = ChooseOpenFile("TR moveable files (*.trmvb)|*.trmvb||");
    if (!path.empty())
        ImportMoveableFileFrom(path, choices.GetMeshes(), choices.GetAnimations(),
                               choices.m_nKeepDummies != 0);
}

void CHandleMoveable::RebuildMeshChildren() {
    if (!m_bExpanded) return;
    m_bExpanded = false;
    Populate(false);
    m_bExpanded = true;
}

void CHandleMoveable::ImportMoveableFileFrom(const std::string& path, bool meshes, bool animations,
                                             bool keepDummies) {
    CTrMvb* mvb = Moveable();
    if (!mvb) return;
    wxBusyCursor wait;
    const int32_t oldId = mvb->objectId;
    auto loaded = CTrMvb::LoadFile(path);
    if (!loaded) {
        ShowError("Could not import this moveable because of a version mismatch:\n\n - the "
                  "moveable was produced with an old Lithoscope release and its format is not "
                  "supported anymore !");
        return;
    }
    if (!animations && meshes && loaded->meshCount() != mvb->meshCount()) {
        ShowError("Can't import only meshes from this moveable because it has a different number "
                  "of meshes than the current one !");
        return;
    }
    if (animations) RemoveSoundsOf(*m_pLevel, *mvb);
    loaded->useBodyFrom = mvb->useBodyFrom;
    loaded->showWith = mvb->showWith;
    loaded->showRealMeshes = mvb->showRealMeshes;
    loaded->showAssociated = mvb->showAssociated;
    if (keepDummies) loaded->CopyDummyMeshes(*mvb);
    // Mesh children hold indices into the old meshes.
    if (meshes && m_bExpanded) DeleteChildren();
    mvb->ClearParts(true, meshes, animations);
    mvb->TakeOver(*loaded, meshes, animations);
    if (!animations) mvb->objectId = oldId;
    if (meshes) RebuildMeshChildren();
    FinishImport(oldId, animations);
}

void CHandleMoveable::FinishImport(int32_t oldId, bool animationsTaken) {
    CTrMvb* mvb = Moveable();
    if (animationsTaken) {
        if (m_pLevel->soundList && mvb->sounds) m_pLevel->soundList->Merge(*mvb->sounds, false);
        m_pLevel->MergeMoveableSounds();
        if (mvb->sounds) KeepLevelSamples(*m_pLevel, *mvb->sounds);
        ReportSilentSounds(*m_pLevel, *mvb);
    }
    {
        wxBusyCursor wait;
        for (TrItemRecord& item : m_pLevel->itemList)
            if (item.objectId() == oldId) item.setS16(0, int16_t(mvb->objectId));
    }
    Refresh(*this);
}

// ---- makers ----

CHandleBase* CreateMoveableNode(CNodeTree* tree, CTrMvb* moveable) {
    return new CHandleMoveable(tree, moveable);
}
CHandleBase* CreateStaticMeshNode(CNodeTree* tree, CTrStatMsh* mesh) {
    return new CHandleMesh(tree, mesh, true, 0);
}

}  // namespace lithoscope

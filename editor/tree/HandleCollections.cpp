// Root node, the object collections and the sounds node.
#include "editor/tree/HandleCollections.h"

#include <cstdio>

#include <wx/menu.h>
#include <wx/utils.h>

#include "batch/AppSettings.h"
#include "editor/common/EditorHost.h"
#include "editor/common/EditorMessages.h"
#include "editor/common/ModalHook.h"
#include "editor/common/PaneInterfaces.h"
#include "editor/tree/NodeHandlers.h"
#include "level/GameCatalog.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
std::string MismatchText(const char* what) {
    return std::string("Could not import this ") + what +
           " because of a version mismatch:\n\n - the " + what +
           " was produced with an old Lithoscope release and its format is not supported "
           "anymore !";
}

bool LevelVersionValid(const CTrLevel* level) {
    return level && level->version >= 1 && level->version <= 4;
}

// Inserts a collection under the root, with a placeholder, and expands it at once.
CHandleBase* AddCollection(CHandleBase& root, CHandleBase* node, const char* tag) {
    CatalogCaption caption =
        root.GetCatalog().GetSectionCaption(root.GetGameIndex(), root.GetLevelName(), tag);
    wxTreeItemId item = root.InsertChild(node, caption.text, caption.icon, true);
    if (!item.IsOk()) return nullptr;
    node->m_hItem = wxTreeItemId();  // set by the first expansion
    node->Expand(item);
    return node;
}
}  // namespace

CHandleBase* CreateRootNode(CNodeTree* tree) { return new CHandleRootTR123(tree); }

std::string ExportAllFileName(const std::string& folder, const std::string& levelName,
                              int32_t kind, int n) {
    const char* tag = kind == TrKindMoveable ? "MVB" : kind == TrKindStaticMesh ? "SMH" : "SPR";
    const char* ext = kind == TrKindMoveable ? "trmvb" : kind == TrKindStaticMesh ? "trsmh" : "trspr";
    std::string cut = levelName.substr(0, kind == TrKindMoveable ? 20 : 19);
    char number[16];
    std::snprintf(number, sizeof number, "%.3d", n);
    return JoinPath(folder, cut + "_" + tag + number + "." + ext);
}

// ---- root ----

CHandleRootTR123::~CHandleRootTR123() { delete m_pMenu; }

void CHandleRootTR123::Populate(bool repopulate) {
    if (repopulate || !m_pTree) return;
    m_pTree->m_pMoveablesNode = AddCollection(*this, new CHandleMoveables(m_pTree), "moveables");
    m_pTree->m_pStaticMeshesNode =
        AddCollection(*this, new CHandleStaticMeshes(m_pTree), "static_meshes");
    m_pTree->m_pSpritesNode = AddCollection(*this, new CHandleSprites(m_pTree), "sprites");
    if (m_pLevel && m_pLevel->version > 3) {
        CHandleBase* tile = CreateTileNode(m_pTree, &m_pLevel->miscChunk, 1);
        InsertChild(tile, "Font & sky", GetCatalog().GetIconId("Sky"), false);
    }
    CatalogCaption sounds = GetCatalog().GetSectionCaption(GetGameIndex(), GetLevelName(), "sounds");
    InsertChild(new CHandleSounds(m_pTree), sounds.text, sounds.icon, false);
}

wxMenu* CHandleRootTR123::CreateContextMenu() {
    ReleaseContextMenu();
    const CatalogMenu* popup = GetCatalog().PopupMenu(GetGameIndex());
    if (!popup) return nullptr;
    m_pMenu = BuildCatalogMenu(*popup);
    return m_pMenu;
}

void CHandleRootTR123::ReleaseContextMenu() {
    delete m_pMenu;
    m_pMenu = nullptr;
}

void CHandleRootTR123::OnCommand(int id) { AddResourcesFromLevel(id); }

void CHandleRootTR123::AddResourcesFromLevel(int id) {
    if (!m_pTree || !m_pLevel) return;
    const int game = GetGameIndex();
    const ResourceMenuItem* item = GetCatalog().FindResourceItem(game, id);
    if (!item) return;
    const std::string folder = GetCatalog().DataPath(game);
    std::string path = FindFileNoCase(folder, item->file);
    if (path.empty()) path = folder + item->file;
    auto source = std::make_unique<CTrLevel>();
    if (!source->Load(path, false, true, &GetCatalog())) {
        ShowError("Can't load the level " + path + " to get the data");
        return;
    }
    auto* moveables = static_cast<CHandleMoveables*>(m_pTree->m_pMoveablesNode);
    auto* statics = static_cast<CHandleStaticMeshes*>(m_pTree->m_pStaticMeshesNode);
    auto* sprites = static_cast<CHandleSprites*>(m_pTree->m_pSpritesNode);
    std::string errors;
    char line[512];
    for (const CatalogResource& r : item->resources) {
        // Each step looks the collections up again: a repopulation replaces their children.
        switch (r.kind) {
        case TrKindStaticMesh:
            if (CTrStatMsh* mesh = source->FindStaticMesh(r.id)) {
                CHandleBase* node = statics ? statics->FindChildNode(r.id) : nullptr;
                if (node) node->ImportMeshFile(mesh);
                else if (statics) statics->ImportNewStaticMeshFile(mesh);
            } else {
                std::snprintf(line, sizeof line, "Could not find static mesh #%ld in level %s\n",
                              long(r.id), item->file.c_str());
                errors += line;
            }
            break;
        case TrKindMoveable:
            if (CTrMvb* mvb = source->FindMoveable(r.id)) {
                CHandleBase* node = moveables ? moveables->FindChildNode(r.id) : nullptr;
                if (node) node->ImportMoveableFile(mvb);
                else if (moveables) moveables->ImportNewMoveableFile(mvb);
            } else {
                std::snprintf(line, sizeof line, "Could not find moveable #%ld in level %s\n",
                              long(r.id), item->file.c_str());
                errors += line;
            }
            break;
        case TrKindSprite:
            if (CTrLstSpr* spr = source->FindSpriteSequence(r.id)) {
                CHandleBase* node = sprites ? sprites->FindChildNode(r.id) : nullptr;
                if (node) node->ImportSpriteFile(spr);
                else if (sprites) sprites->ImportNewSpriteFile(spr);
            } else {
                std::snprintf(line, sizeof line, "Could not find sprite #%ld in level %s\n",
                              long(r.id), item->file.c_str());
                errors += line;
            }
            break;
        default: break;
        }
    }
    if (errors.empty()) ShowMessage("Resource(s) successfully added !", kEditorCaption);
    else ShowError(errors);
}

// ---- sounds ----

void CHandleSounds::ShowInPane(const std::string&) {
    if (IEditPane* pane = GetEditPane()) pane->SetHandle(this);
}

// ---- collections ----

CHandleCollection::~CHandleCollection() { delete m_pMenu; }

void CHandleCollection::ReleaseContextMenu() {
    delete m_pMenu;
    m_pMenu = nullptr;
}

void CHandleCollection::Populate(bool repopulate) {
    if (!m_pTree) return;
    std::vector<void*> objects = LevelVersionValid(m_pLevel) ? CurrentObjects() : std::vector<void*>();
    // A re-expansion of unchanged children keeps them: the control may be expanding the
    // collection to show the very child it is selecting.
    if (repopulate && m_pTree->IsExpanding() && objects == m_shown) return;
    if (repopulate) DeleteChildren();
    m_shown = objects;
    if (LevelVersionValid(m_pLevel)) AddChildren();
}

namespace {
template <class List>
std::vector<void*> ObjectsOf(const List& list) {
    std::vector<void*> out;
    for (const auto& p : list) out.push_back(p.get());
    return out;
}
}  // namespace

std::vector<void*> CHandleMoveables::CurrentObjects() const { return ObjectsOf(m_pLevel->moveableList); }
std::vector<void*> CHandleStaticMeshes::CurrentObjects() const {
    return ObjectsOf(m_pLevel->staticMeshList);
}
std::vector<void*> CHandleSprites::CurrentObjects() const { return ObjectsOf(m_pLevel->spriteList); }

namespace {
wxMenu* CollectionMenu(std::initializer_list<std::pair<int, const char*>> items) {
    auto* menu = new wxMenu;
    for (const auto& it : items) AppendCommand(*menu, it.first, it.second);
    return menu;
}

// Runs the folder chooser when folder is empty; "" for Cancel.
std::string ExportFolder(const std::string& folder, const char* title) {
    return folder.empty() ? ChooseFolder(title) : folder;
}

void ReportFailedWrites(const std::string& failed) {
    if (!failed.empty()) ShowError("Could not write:\n" + failed);
}
}  // namespace

void CHandleMoveables::AddChildren() {
    const CLithoscopeSettings& settings = EditorHost()->GetSettings();
    const bool real = settings.m_bShowRealMeshes != 0;
    const bool associated = settings.m_bShowAssociatedMoveable != 0;
    for (auto& mvb : m_pLevel->moveableList) {
        if (!mvb) continue;
        std::string name;
        int icon = 0;
        if (mvb->catalogEntry) {
            name = mvb->catalogEntry->name;
            icon = mvb->catalogEntry->icon;
            mvb->useBodyFrom = mvb->catalogEntry->useBodyFrom;
            mvb->showWith = mvb->catalogEntry->showWith;
        } else {
            auto entry = GetCatalog().GetMoveableEntry(GetGameIndex(), GetLevelName(), mvb->objectId);
            if (entry) {
                name = entry->name;
                icon = entry->icon;
            }
        }
        mvb->showRealMeshes = real ? 1 : 0;
        mvb->showAssociated = associated ? 1 : 0;
        InsertChild(CreateMoveableNode(m_pTree, mvb.get()), name, icon, true);
    }
}

wxMenu* CHandleMoveables::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = CollectionMenu({{CmdMoveablesImport3ds, "Import from 3DS"},
                              {CmdMoveablesImportFile, "Import from .TRMVB"},
                              {CmdMoveablesExportAll, "Export all as TRMVB"}});
    return m_pMenu;
}

void CHandleMoveables::OnCommand(int id) {
    switch (id) {
    case CmdMoveablesImport3ds: ImportNewMoveableFrom3ds(); break;
    case CmdMoveablesImportFile: ImportNewMoveableFile(nullptr); break;
    case CmdMoveablesExportAll: ExportAllMoveables(); break;
    default: break;
    }
}

void CHandleMoveables::ImportNewMoveableFile(CTrMvb* source) {
    if (!m_pLevel) return;
    ObjPtr<CTrMvb> mvb(new CTrMvb);
    if (source) {
        wxBusyCursor wait;
        mvb->Clear(true);
        mvb->TakeOver(*source, true, true);
    } else {
        std::string path = ChooseOpenFile("TR Moveable files (*.trmvb)|*.trmvb||");
        if (path.empty()) return;
        wxBusyCursor wait;
        std::unique_ptr<CTrMvb> loaded = CTrMvb::LoadFile(path);
        if (!loaded) {
            ShowError(MismatchText("moveable"));
            return;
        }
        mvb->Clear(true);
        mvb->TakeOver(*loaded, true, true);
    }
    mvb->SetCatalogEntry(GetCatalog().GetMoveableEntry(GetGameIndex(), GetLevelName(), mvb->objectId));
    if (m_pLevel->soundList)
        if (const CTrSoundList* own = MoveableSoundList(*mvb)) m_pLevel->soundList->Merge(*own, false);
    if (mvb->sounds) KeepLevelSamples(*m_pLevel, *mvb->sounds);
    ReportSilentSounds(*m_pLevel, *mvb);
    m_pLevel->moveableList.push_back(std::move(mvb));
    SetModified();
    RepopulateCollection(HandleTypeMoveables);
}

bool CHandleMoveables::ExportAllMoveables(const std::string& chosen) {
    if (!m_pLevel) return false;
    std::string folder = ExportFolder(chosen, "Choose a folder to save the TRMVB in:");
    if (folder.empty()) return false;
    wxBusyCursor wait;
    std::string failed;
    int n = 0;
    for (const auto& mvb : m_pLevel->moveableList) {
        if (!mvb) continue;
        std::string path = ExportAllFileName(folder, m_pLevel->name, TrKindMoveable, n++);
        if (!mvb->SaveFile(path)) failed += path + "\n";
    }
    ReportFailedWrites(failed);
    return true;
}

void CHandleStaticMeshes::AddChildren() {
    for (auto& mesh : m_pLevel->staticMeshList) {
        if (!mesh) continue;
        CatalogStaticMeshEntry e =
            GetCatalog().GetStaticMeshEntry(GetGameIndex(), GetLevelName(), mesh->objectId);
        InsertChild(CreateStaticMeshNode(m_pTree, mesh.get()), e.name, e.icon, false);
    }
}

wxMenu* CHandleStaticMeshes::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = CollectionMenu({{CmdStaticMeshesImport3ds, "Import from 3DS"},
                              {CmdStaticMeshesImportFile, "Import from .TRSMH"},
                              {CmdStaticMeshesExportAll, "Export all as TRSMH"}});
    return m_pMenu;
}

void CHandleStaticMeshes::OnCommand(int id) {
    switch (id) {
    case CmdStaticMeshesImport3ds: ImportNewStaticMeshFrom3ds(); break;
    case CmdStaticMeshesImportFile: ImportNewStaticMeshFile(nullptr); break;
    case CmdStaticMeshesExportAll: ExportAllStaticMeshes(); break;
    default: break;
    }
}

void CHandleStaticMeshes::ImportNewStaticMeshFile(CTrStatMsh* source) {
    if (!m_pLevel) return;
    ObjPtr<CTrStatMsh> mesh(new CTrStatMsh);
    if (source) {
        wxBusyCursor wait;
        mesh->Clear(true);
        mesh->TakeOver(*source);
    } else {
        std::string path = ChooseOpenFile("TR Static Mesh files (*.trsmh)|*.trsmh||");
        if (path.empty()) return;
        wxBusyCursor wait;
        std::unique_ptr<CTrStatMsh> loaded = CTrStatMsh::LoadFile(path);
        if (!loaded) {
            ShowError(MismatchText("static mesh"));
            return;
        }
        mesh->Clear(true);
        mesh->TakeOver(*loaded);
    }
    m_pLevel->staticMeshList.push_back(std::move(mesh));
    SetModified();
    RepopulateCollection(HandleTypeStaticMeshes);
}

bool CHandleStaticMeshes::ExportAllStaticMeshes(const std::string& chosen) {
    if (!m_pLevel) return false;
    std::string folder = ExportFolder(chosen, "Choose a folder to save the TRSMH in:");
    if (folder.empty()) return false;
    wxBusyCursor wait;
    std::string failed;
    int n = 0;
    // Built afresh from the level's records: the level as loaded or last saved.
    for (const TrStaticMeshRecord& record : m_pLevel->staticMeshes) {
        std::string path = ExportAllFileName(folder, m_pLevel->name, TrKindStaticMesh, n++);
        try {
            CTrStatMsh mesh(record, *m_pLevel);
            if (!mesh.SaveFile(path)) failed += path + "\n";
        } catch (const std::exception&) {
            failed += path + "\n";
        }
    }
    ReportFailedWrites(failed);
    return true;
}

void CHandleSprites::AddChildren() {
    for (auto& spr : m_pLevel->spriteList) {
        if (!spr) continue;
        CatalogSpriteEntry e = GetCatalog().GetSpriteEntry(GetGameIndex(), GetLevelName(), spr->objectId);
        InsertChild(CreateSpriteNode(m_pTree, spr.get(), e.animated != 0, int32_t(e.zoom)), e.name,
                    e.icon, false);
    }
}

wxMenu* CHandleSprites::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = CollectionMenu({{CmdSpritesImportFile, "Import from .TRSPR"},
                              {CmdSpritesExportAll, "Export all as TRSPR"}});
    return m_pMenu;
}

void CHandleSprites::OnCommand(int id) {
    switch (id) {
    case CmdSpritesImportFile: ImportNewSpriteFile(nullptr); break;
    case CmdSpritesExportAll: ExportAllSprites(); break;
    default: break;
    }
}

void CHandleSprites::ImportNewSpriteFile(CTrLstSpr* source) {
    if (!m_pLevel) return;
    ObjPtr<CTrLstSpr> spr(new CTrLstSpr);
    if (source) {
        wxBusyCursor wait;
        spr->Clear(true);
        spr->TakeOver(*source);
    } else {
        std::string path = ChooseOpenFile("TR Sprite files (*.trspr)|*.trspr||");
        if (path.empty()) return;
        wxBusyCursor wait;
        std::unique_ptr<CTrLstSpr> loaded = CTrLstSpr::LoadFile(path);
        if (!loaded) {
            ShowError(MismatchText("sprite"));
            return;
        }
        spr->Clear(true);
        spr->TakeOver(*loaded);
    }
    m_pLevel->spriteList.push_back(std::move(spr));
    SetModified();
    RepopulateCollection(HandleTypeSprites);
}

bool CHandleSprites::ExportAllSprites(const std::string& chosen) {
    if (!m_pLevel) return false;
    std::string folder = ExportFolder(chosen, "Choose a folder to save the TRSPR in:");
    if (folder.empty()) return false;
    wxBusyCursor wait;
    std::string failed;
    int n = 0;
    for (const auto& spr : m_pLevel->spriteList) {
        if (!spr) continue;
        std::string path = ExportAllFileName(folder, m_pLevel->name, TrKindSprite, n++);
        if (!spr->SaveFile(path)) failed += path + "\n";
    }
    ReportFailedWrites(failed);
    return true;
}

}  // namespace lithoscope

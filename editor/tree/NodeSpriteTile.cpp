// Sprite and tile nodes: sprite files, the sprite's page, and the tiles' pixels.
#include <algorithm>
#include <cstring>

#include <wx/menu.h>
#include <wx/utils.h>

#include "editor/common/EditorMessages.h"
#include "editor/common/ModalHook.h"
#include "editor/common/PaneInterfaces.h"
#include "editor/tree/NodeHandlers.h"
#include "editor/tree/TreeDrag.h"
#include "level/GameCatalog.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstSpr.h"
#include "platform/Messages.h"
#include "platform/System.h"

namespace lithoscope {

// ---- CHandleSprite ----

CHandleSprite::CHandleSprite(CNodeTree* tree, CTrLstSpr* sprite, bool animated, float zoom)
    : CHandleBase(tree, sprite, EditPaneSprite), m_bAnimated(animated ? 1 : 0), m_fZoom(zoom) {}

CHandleSprite::~CHandleSprite() { ReleaseContextMenu(); }

CTrLstSpr* CHandleSprite::Sprite() const { return static_cast<CTrLstSpr*>(m_pObject); }

wxMenu* CHandleSprite::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = new wxMenu;
    AppendCommand(*m_pMenu, 32833, "Delete");
    AppendCommand(*m_pMenu, 32808, "Export as .TRSPR");
    AppendCommand(*m_pMenu, 32809, "Import from .TRSPR");
    AppendCommand(*m_pMenu, 32816, "Export texture as .TGA");
    AppendCommand(*m_pMenu, 32817, "Load && replace texture");
    return m_pMenu;
}

void CHandleSprite::ReleaseContextMenu() {
    delete m_pMenu;
    m_pMenu = nullptr;
}

void CHandleSprite::OnCommand(int id) {
    switch (id) {
    case 32833: DeleteSprite(); break;
    case 32808: ExportSpriteFile(); break;
    case 32809: ImportSpriteFile(nullptr); break;
    case 32816: ExportObjectTexture(*this); break;
    case 32817: ReplaceObjectTexture(*this); break;
    default: break;
    }
}

void CHandleSprite::ShowInPane(const std::string&) {
    if (IEditPane* pane = GetEditPane()) pane->SetHandle(this);
}

void CHandleSprite::OnModified(bool refreshPane) {
    if (refreshPane) ObjectChangedInPlace();
    SetModified();
}

void CHandleSprite::ShowCatalogName() {
    CTrLstSpr* spr = Sprite();
    if (!spr) return;
    // The display mode and zoom stay as the user has them.
    const CatalogSpriteEntry e = GetCatalog().GetSpriteEntry(GetGameIndex(), GetLevelName(), spr->objectId);
    SetLabel(e.name, e.icon);
}

bool CHandleSprite::ExportSpriteFile(const std::string& chosenPath) {
    CTrLstSpr* spr = Sprite();
    if (!spr) return false;
    std::string path =
        chosenPath.empty() ? AskSavePath(*this, "TR Sprite files (*.trspr)|*.trspr", "trspr") : chosenPath;
    if (path.empty()) return false;
    if (path.find(".trspr") == std::string::npos)
        for (size_t at = path.find(".trs"); at != std::string::npos; at = path.find(".trs", at + 6))
            path.replace(at, 4, ".trspr");
    wxBusyCursor wait;
    std::string error;
    if (!spr->SaveFile(path, &error)) {
        ShowError("Could not write the file " + path + (error.empty() ? "" : ":\n\n" + error));
        return false;
    }
    return true;
}

void CHandleSprite::ImportSpriteFile(CTrLstSpr* source) {
    CTrLstSpr* spr = Sprite();
    if (!spr) return;
    if (source) {
        spr->Clear(true);
        spr->TakeOver(*source);
        OnModified(true);
        ShowInPane(m_szName);
        return;
    }
    std::string path = ChooseOpenFile("TR Sprite files (*.trspr)|*.trspr||");
    if (!path.empty()) ImportSpriteFileFrom(path);
}

void CHandleSprite::ImportSpriteFileFrom(const std::string& path) {
    CTrLstSpr* spr = Sprite();
    if (!spr) return;
    wxBusyCursor wait;
    auto loaded = CTrLstSpr::LoadFile(path);
    if (!loaded) {
        ShowError("Could not import this sprite because of a version mismatch:\n\n - the sprite "
                  "was produced with an old Lithoscope release and its format is not supported "
                  "anymore !");
        return;
    }
    ImportSpriteFile(loaded.get());
}

void CHandleSprite::DeleteSprite() {
    CTrLstSpr* spr = Sprite();
    if (!spr || !Confirm("Are you sure you want to delete this sprite ?")) return;
    auto& list = m_pLevel->spriteList;
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& p) { return p.get() == spr; });
    if (it == list.end()) return;
    if (m_pLevel->version == TrVersion1) {
        const int32_t id = spr->objectId;
        auto& items = m_pLevel->itemList;
        items.erase(std::remove_if(items.begin(), items.end(),
                                   [&](const TrItemRecord& i) { return i.objectId() == id; }),
                    items.end());
    }
    if (IEditPane* pane = GetEditPane()) pane->ReleaseResources();
    list.erase(it);
    m_pObject = nullptr;
    OnModified(false);
    RepopulateCollection(HandleTypeSprites);
}

// ---- CHandleTile ----

CHandleTile::CHandleTile(CNodeTree* tree, void* object, int tileKind)
    : CHandleBase(tree, object, EditPaneTile), m_nTileKind(tileKind) {}

CHandleTile::~CHandleTile() { ReleaseContextMenu(); }

wxMenu* CHandleTile::CreateContextMenu() {
    ReleaseContextMenu();
    m_pMenu = new wxMenu;
    AppendCommand(*m_pMenu, 32772, "Export as TGA");
    AppendCommand(*m_pMenu, 32774, "Load && replace");
    return m_pMenu;
}

void CHandleTile::ReleaseContextMenu() {
    delete m_pMenu;
    m_pMenu = nullptr;
}

void CHandleTile::OnCommand(int id) {
    if (id == 32772) ExportTileTga();
    else if (id == 32774) ReplaceTile();
}

void CHandleTile::ShowInPane(const std::string&) {
    if (IEditPane* pane = GetEditPane()) pane->SetHandle(this);
}

void CHandleTile::DropOnto(CHandleBase* target, bool) { CopyTileTo(target); }

void CHandleTile::CopyTileTo(CHandleBase* target) {
    auto* to = dynamic_cast<CHandleTile*>(target);
    if (!to || to == this) return;
    lithoscope::CopyTileTo(m_pObject, m_nTileKind, to->m_pObject, to->m_nTileKind, to);
}

bool CHandleTile::ExportTileTga(const std::string& chosenPath) {
    if (!m_pObject) return false;
    std::string path = chosenPath.empty() ? AskSavePath(*this, "TGA files (*.tga)|*.tga", "tga") : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    std::vector<uint8_t> bgra;
    int rows = 256;
    if (m_nTileKind == 1 || m_nTileKind == 2) {
        const bool is32 = m_nTileKind == 1;
        std::vector<uint8_t> raw;
        uint32_t count = 0;
        if (DecompressChunk(*static_cast<const TrPackedChunk*>(m_pObject), is32, raw, &count) != 0 ||
            raw.empty()) {
            ShowError("Could not unpack the tile's pixels.");
            return false;
        }
        rows = int(raw.size() / (is32 ? 1024 : 512));
        bgra.resize(size_t(rows) * 1024);
        ConvertPageToBgra(raw.data(), 256, rows, is32 ? 32 : 16, nullptr, bgra.data(), false);
    } else {
        bgra.resize(256 * 256 * 4);
        ConvertPageToBgra(m_pObject, 256, 256, 16, nullptr, bgra.data(), false);
    }
    std::string error;
    if (!WriteTga32(path, bgra.data(), 256, rows, 4, false, &error)) {
        ShowError("Could not write the file " + path + (error.empty() ? "" : ":\n\n" + error));
        return false;
    }
    return true;
}

bool CHandleTile::ReplaceTile(const std::string& chosenPath) {
    if (!m_pObject) return false;
    std::string path = chosenPath.empty()
                           ? ChooseOpenFile("Gfx files (*.tga;*.bmp;*.gif)|*.tga;*.bmp;*.gif|"
                                                "Others (*.fli;*.flc;*.cel)|*.fli;*.flc;*.cel||")
                           : chosenPath;
    if (path.empty()) return false;
    wxBusyCursor wait;
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
    int r = LoadPictureRGBA(path, &width, &height, &rgba);
    if (r == -1) {
        ShowError("Can't instantiate the ReadPic component: try to register it typing \"regsvr32 "
                  "ReadPic.dll\" in the folder where ReadPic.dll can be found.");
        return false;
    }
    if (r != 0) {
        ShowError(StrFormat("Error %ld loading the file (maybe an unknown format).", long(r)));
        return false;
    }
    if (m_nTileKind == 1 || m_nTileKind == 2) {
        if (width != 256) {
            ShowError("Invalid width. It must be 256 pixels.");
            return false;
        }
        const bool is32 = m_nTileKind == 1;
        std::vector<uint8_t> converted(size_t(width) * size_t(height) * (is32 ? 4 : 2));
        ConvertRgbaPixels(converted.data(), width, height, is32, rgba.data());
        TrPackedChunk packed;
        if (CompressToChunk(converted.data(), converted.size(), packed) != 0) {
            ShowError("Could not pack the tile's pixels.");
            return false;
        }
        *static_cast<TrPackedChunk*>(m_pObject) = std::move(packed);
    } else {
        std::vector<uint8_t> canvas = CopyImageToCanvas(rgba.data(), width, height, 256, 256);
        if (canvas.empty()) {
            // Larger than the page: refused rather than half-copied.
            ShowError("Invalid size. The picture must fit in 256x256 pixels.");
            return false;
        }
        ConvertRgbaPixels(m_pObject, 256, 256, false, canvas.data());
    }
    ShowInPane(m_szName);
    SetModified();
    return true;
}

CHandleBase* CreateSpriteNode(CNodeTree* tree, CTrLstSpr* sprite, bool animated, int32_t zoom) {
    return new CHandleSprite(tree, sprite, animated, float(zoom));
}
CHandleBase* CreateTileNode(CNodeTree* tree, TrPackedChunk* chunk, int tileKind) {
    return new CHandleTile(tree, chunk, tileKind);
}

}  // namespace lithoscope

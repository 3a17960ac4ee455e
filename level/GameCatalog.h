#pragma once
// The game catalog: what the level files don't carry about the seven game editions.
// Friendly names and tree icons of levels, moveables, sprites, static meshes and the
// collection nodes, moveable states, sprite flags, sound names, the "Add resource" menus
// and the folders of each edition's own levels. Its lookups never fail: what is not
// catalogued gets a default name and icon 0.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "level/XmlMarkup.h"

namespace lithoscope {

// Kinds of catalogued things; the first three are the object kinds of the object files.
enum CatalogKind : int32_t {
    CatalogKindNone = 0,
    CatalogKindStaticMesh = 2,
    CatalogKindMoveable = 3,
    CatalogKindSprite = 6,
    CatalogKindLevel = 7,
};

constexpr int kCatalogGameCount = 7;
constexpr uint8_t kCatalogNoGame = 255;

// One resource of an "Add resource" item: an object of the item's level file.
struct CatalogResource {
    int32_t kind = CatalogKindNone;  // 0 for an unrecognised prefix
    int32_t id = 0;
};

// One "Add resource" item: its menu text, the game level that holds the resources.
struct ResourceMenuItem {
    static constexpr size_t kMaxText = 127;
    std::string name;
    std::string file;
    std::vector<CatalogResource> resources;
};

// A menu as a plain tree; the editor turns it into real menus. An entry is either an
// item (command = index in the edition's item vector) or a submenu.
struct CatalogMenu;
struct CatalogMenuEntry {
    std::string caption;
    int32_t command = -1;                 // -1 for a submenu
    std::unique_ptr<CatalogMenu> submenu;  // null for an item
};
struct CatalogMenu {
    std::vector<CatalogMenuEntry> entries;
};

// The sound of one sound id: its name and where its samples start in the game's samples.
struct SoundNameEntry {
    std::string name;
    int32_t sampleCount = 0;
    int32_t firstSample = 0;
};

// The tree icons as one strip 16 pixels high, cell n at x = 16 * n; R, G, B, A bytes.
struct CatalogIconStrip {
    static constexpr int kCell = 16;
    int32_t cellCount = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;
};

struct CatalogLevelEntry {
    int32_t kind = CatalogKindLevel;
    int32_t id = 0;
    std::string levelId;
    std::string displayName;
    int32_t cutscene = 0;
    int32_t icon = 0;
};

struct CatalogMoveableEntry {
    int32_t kind = CatalogKindMoveable;
    int32_t id = 0;
    std::string name;
    int32_t icon = 0;
    int32_t useBodyFrom = -1;
    int32_t showWith = -1;
    // State id -> state name; none when the moveable is not catalogued.
    std::optional<std::map<int32_t, std::string>> states;
};

struct CatalogSpriteEntry {
    int32_t kind = CatalogKindSprite;
    int32_t id = 0;
    std::string name;
    int32_t icon = 0;
    int32_t animated = 1;
    float zoom = 0.0f;
};

struct CatalogStaticMeshEntry {
    int32_t kind = CatalogKindStaticMesh;
    int32_t id = 0;
    std::string name;
    int32_t icon = 0;
};

struct CatalogCaption {
    std::string text;
    int32_t icon = 0;
};

// Default data path of an edition never set: one separator.
constexpr const char* kDefaultDataPath = "/";

class CGameCatalog {
public:
    // Catalog file names, looked up ignoring case in the catalog folder.
    static constexpr const char* kCatalogFile = "TRCatalog.xml";
    static constexpr const char* kMenuFile = "MenuResource.txt";
    static constexpr const char* kIconStripFile = "TreeIcons.png";
    static constexpr const char* kSettingsSection = "Settings";
    // Largest catalog files read; a larger one is skipped with a warning. Each is many
    // times the largest the games need: the menus of all four games take about 240 KB, a
    // sound-name list (a line per sample of a game) about 10 KB, the icon strip a few KB.
    static constexpr uint64_t kMaxMenuFileBytes = uint64_t(1) << 20;
    static constexpr uint64_t kMaxSoundFileBytes = uint64_t(256) << 10;
    static constexpr uint64_t kMaxIconStripBytes = uint64_t(1) << 20;
    static constexpr uint64_t kMaxIconStripPixels = uint64_t(1) << 20;  // 4096 icons

    CGameCatalog();
    ~CGameCatalog();
    CGameCatalog(const CGameCatalog&) = delete;
    CGameCatalog& operator=(const CGameCatalog&) = delete;

    // The "Resources" folder beside the program, with its trailing '/'.
    static std::string DefaultFolder();

    // Reads the menus, the sound names, the icon strip and "TRCatalog.xml" from folder
    // (null: the folder of the last load, "./" at first). Missing files leave their part
    // empty; a bad "TRCatalog.xml" is reported through ShowMessage.
    void Load(const char* folder = nullptr);
    void Load(const std::string& folder) { Load(folder.c_str()); }
    void Clear();
    const std::string& Folder() const { return folder_; }

    // Editions.
    static uint8_t GameIndexFromName(const std::string& name);
    static std::string GameName(int index);
    static uint8_t GameIndexFromVersion(int32_t version);
    // File of the edition's sound names and settings value of its data path ("" for none).
    static std::string SoundFileName(int index);
    static std::string DataPathValueName(int index);

    // Data paths: kept here and in the settings file.
    void SetDataPath(int index, const std::string& path);
    const std::string& DataPath(int index) const;
    // Reads the seven data paths from the settings file (defaultPath where absent) and
    // sets each through SetDataPath, which writes it back.
    void ReadDataPaths(const std::string& defaultPath);

    // Friendly names: catalogued names are used only while this is on (default on).
    void SetShowFriendlyNames(bool on) { friendlyNames_ = on; }
    bool ShowFriendlyNames() const { return friendlyNames_; }

    // Sound names, by internal index.
    std::string GetSoundName(int index, int internalIndex) const;
    int32_t GetSoundFirstSample(int index, int internalIndex) const;
    int32_t GetSoundSampleCount(int index, int internalIndex) const;
    const std::vector<SoundNameEntry>& SoundNames(int index) const;

    // "Add resource": the edition's popup (one entry "Add resource" holding the submenus;
    // null before a load or for no edition) and its items by command id. The menu file is
    // read at the load and taken apart at the first of these calls.
    const CatalogMenu* PopupMenu(int index) const;
    const std::vector<ResourceMenuItem>& ResourceItems(int index) const;
    const ResourceMenuItem* FindResourceItem(int index, int command) const;

    // Tree icons: null until loaded.
    const CatalogIconStrip* IconStrip() const { return iconStrip_.get(); }
    int32_t GetIconId(const std::string& name);

    // Positions the reader inside the entry; see the lookups below.
    bool FindEntry(int index, const std::string& levelId, const std::string& sectionTag,
                   const std::string& elementTag, const std::string& id);
    CatalogCaption GetSectionCaption(int index, const std::string& levelId,
                                     const std::string& sectionTag);
    CatalogLevelEntry GetLevelEntry(int index, const std::string& levelId);
    std::unique_ptr<CatalogMoveableEntry> GetMoveableEntry(int index, const std::string& levelId,
                                                           int32_t id);
    CatalogSpriteEntry GetSpriteEntry(int index, const std::string& levelId, int32_t id);
    CatalogStaticMeshEntry GetStaticMeshEntry(int index, const std::string& levelId, int32_t id);

    // Whether "TRCatalog.xml" was read.
    bool HasCatalog() const { return catalogLoaded_; }

private:
    struct Menus {
        std::vector<ResourceMenuItem> items;
        std::unique_ptr<CatalogMenu> popup;
    };
    struct Edition {
        std::vector<SoundNameEntry> sounds;
        std::string dataPath;
        std::unique_ptr<MarkupPosition> gamePosition;
        std::unique_ptr<MarkupPosition> levelsPosition;
    };

    static bool ValidIndex(int index) { return index >= 0 && index < kCatalogGameCount; }
    std::string PathOf(const char* name) const;
    void ReadMenuFile(Menus& menus, int index, const std::vector<std::string>& lines) const;
    // The menus of every edition from the menu file, once after each load.
    void TakeApartMenus() const;
    void ReadSoundFile(int index);
    void ReadIconStrip();
    void ReadCatalogXml();
    bool EnterChildWith(const std::string& tag, const std::string& id);
    // The catalogued name when friendly names are on and it isn't empty, else fallback.
    std::string FriendlyName(const std::string& catalogued, const std::string& fallback) const;

    Edition editions_[kCatalogGameCount];
    mutable Menus menus_[kCatalogGameCount];
    mutable std::string menuText_;  // the menu file, not yet taken apart
    mutable bool menusPending_ = false;
    std::string folder_ = "./";
    std::unique_ptr<CatalogIconStrip> iconStrip_;
    std::unique_ptr<CXmlMarkup> xml_;  // a fresh reader for each load
    std::unique_ptr<MarkupPosition> iconsPosition_;
    bool catalogLoaded_ = false;
    bool friendlyNames_ = true;
};

// Text-file helpers of the catalog readers, open for the tests.
namespace catalog_detail {
// Reads a catalog file of at most maxBytes; false when it can't be read. A larger file is
// not read: a warning names the file and what it should hold ("a sound-name list").
bool ReadCatalogFile(const std::string& path, uint64_t maxBytes, const char* holds,
                     std::vector<uint8_t>& bytes);
// Reads a text file's lines as ReadCatalogFile reads the file; false when it can't be read.
bool ReadTextLines(const std::string& path, uint64_t maxBytes, const char* holds,
                   std::vector<std::string>& lines);
// The warning for a catalog file larger than maxBytes.
std::string TooLargeFileText(const std::string& path, uint64_t size, uint64_t maxBytes,
                             const char* holds);
// Lines of a text, "\n" or "\r\n" ended, each without its line end and cut at 1023 chars.
std::vector<std::string> SplitLines(const std::string& text);
// Leading decimal digits (after blanks and a sign), 0 when there are none.
int32_t ReadNumber(const std::string& text);
// A decimal number with an optional fraction and exponent, 0 when there is none.
float ReadDecimal(const std::string& text);
}  // namespace catalog_detail

}  // namespace lithoscope

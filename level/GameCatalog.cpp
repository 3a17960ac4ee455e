#include "level/GameCatalog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/Settings.h"

namespace lithoscope {

namespace {

const char* const kGameNames[kCatalogGameCount] = {"TR1", "TR1Gold", "TR2", "TR2Gold",
                                                   "TR3", "TR3Gold", "TR4"};
const char* const kWarningCaption = "Lithoscope";

void Warn(const std::string& text) {
    ShowMessage(text, kWarningCaption, MsgButtons::Ok, MsgIcon::Warning, MsgAnswer::Ok);
}

}  // namespace

CGameCatalog::CGameCatalog() : xml_(std::make_unique<CXmlMarkup>()) {}

CGameCatalog::~CGameCatalog() { Clear(); }

std::string CGameCatalog::DefaultFolder() { return ExecutableFolder() + "Resources/"; }

// --- editions -----------------------------------------------------------------------------

uint8_t CGameCatalog::GameIndexFromName(const std::string& name) {
    for (int i = 0; i < kCatalogGameCount; ++i)
        if (name == kGameNames[i]) return uint8_t(i);
    return kCatalogNoGame;
}

std::string CGameCatalog::GameName(int index) {
    return ValidIndex(index) ? kGameNames[index] : "TR???";
}

uint8_t CGameCatalog::GameIndexFromVersion(int32_t version) {
    switch (version) {
        case 1: return 0;
        case 3: return 4;
        case 4: return 6;
        default: return 2;
    }
}

std::string CGameCatalog::SoundFileName(int index) {
    return ValidIndex(index) ? "SFX_" + GameName(index) + ".txt" : std::string();
}

std::string CGameCatalog::DataPathValueName(int index) {
    return ValidIndex(index) ? GameName(index) + " Data Path" : std::string();
}

// --- data paths ---------------------------------------------------------------------------

void CGameCatalog::SetDataPath(int index, const std::string& path) {
    if (!ValidIndex(index)) return;
    editions_[index].dataPath = path;
    WriteProfileString(kSettingsSection, DataPathValueName(index), path);
}

const std::string& CGameCatalog::DataPath(int index) const {
    static const std::string kNone;
    return ValidIndex(index) ? editions_[index].dataPath : kNone;
}

void CGameCatalog::ReadDataPaths(const std::string& defaultPath) {
    for (int i = 0; i < kCatalogGameCount; ++i)
        SetDataPath(i, GetProfileString(kSettingsSection, DataPathValueName(i), defaultPath));
}

// --- load and clear -----------------------------------------------------------------------

void CGameCatalog::Clear() {
    for (Menus& m : menus_) {
        m.items.clear();
        m.popup.reset();
    }
    menuText_.clear();
    menusPending_ = false;
    for (Edition& e : editions_) {
        e.sounds.clear();
        e.gamePosition.reset();
        e.levelsPosition.reset();
    }
    iconsPosition_.reset();
    iconStrip_.reset();
    xml_ = std::make_unique<CXmlMarkup>();
    catalogLoaded_ = false;
}

namespace {

// Why a file gave the XML reader no text: missing, unreadable, no regular file, or empty.
std::string UnreadReason(const std::string& path) {
    std::string notRegular;
    const int fd = OpenRegularFileForReading(path, &notRegular);
    if (fd < 0) return notRegular.empty() ? std::strerror(errno) : NotRegularFileText("it", notRegular);
    struct stat st;
    const bool empty = ::fstat(fd, &st) == 0 && st.st_size == 0;
    ::close(fd);
    return empty ? "the file is empty" : "the file can't be read";
}

}  // namespace

std::string CGameCatalog::PathOf(const char* name) const { return FindFileNoCase(folder_, name); }

void CGameCatalog::Load(const char* folder) {
    Clear();
    if (folder) folder_ = folder;

    std::vector<uint8_t> menuFile;
    if (catalog_detail::ReadCatalogFile(PathOf(kMenuFile), kMaxMenuFileBytes, "a resource menu",
                                        menuFile))
        menuText_.assign(menuFile.begin(), menuFile.end());
    menusPending_ = true;
    for (int i = 0; i < kCatalogGameCount; ++i) ReadSoundFile(i);
    ReadIconStrip();
    ReadCatalogXml();
}

void CGameCatalog::TakeApartMenus() const {
    if (!menusPending_) return;
    menusPending_ = false;
    const std::vector<std::string> lines = catalog_detail::SplitLines(menuText_);
    std::string().swap(menuText_);
    for (int i = 0; i < kCatalogGameCount; ++i) {
        Menus& m = menus_[i];
        m.popup = std::make_unique<CatalogMenu>();
        CatalogMenuEntry addResource;
        addResource.caption = "Add resource";
        addResource.submenu = std::make_unique<CatalogMenu>();
        m.popup->entries.push_back(std::move(addResource));
        ReadMenuFile(m, i, lines);
    }
}

void CGameCatalog::ReadCatalogXml() {
    std::string path = PathOf(kCatalogFile);
    if (path.empty()) path = JoinPath(folder_, kCatalogFile);
    if (!xml_->LoadFile(path)) {
        std::string why = xml_->GetErrorText();
        if (why.empty()) why = UnreadReason(path);
        Warn(StrFormat("Can't read the catalog: file %s not found or bad format (error: %s) !",
                       path.c_str(), why.c_str()));
        return;
    }
    catalogLoaded_ = true;
    CXmlMarkup& x = *xml_;
    x.ResetPosition();
    // The root's icons section, then its games (after the icons section when there is one).
    if (x.FindChild("icons")) {
        x.EnterChild();
        iconsPosition_ = x.SavePosition();
        x.LeaveToParent();
    }
    while (x.FindChild("game")) {
        const std::string id = x.GetChildAttribute("id");
        const uint8_t g = GameIndexFromName(id);
        if (g == kCatalogNoGame) {
            Warn(StrFormat("Catalog parsing: invalid id '%s' for the <game> tag !", id.c_str()));
            continue;
        }
        Edition& e = editions_[g];
        x.EnterChild();
        e.gamePosition = x.SavePosition();
        e.levelsPosition.reset();
        if (x.FindChild("levels")) {
            x.EnterChild();
            e.levelsPosition = x.SavePosition();
            x.LeaveToParent();
        }
        x.LeaveToParent();
    }
    x.ResetPosition();
}

// --- lookups ------------------------------------------------------------------------------

std::string CGameCatalog::FriendlyName(const std::string& catalogued,
                                       const std::string& fallback) const {
    return friendlyNames_ && !catalogued.empty() ? catalogued : fallback;
}

int32_t CGameCatalog::GetIconId(const std::string& name) {
    if (!iconsPosition_ || name.empty()) return 0;
    CXmlMarkup& x = *xml_;
    std::unique_ptr<MarkupPosition> saved = x.SavePosition();
    int32_t icon = 0;
    if (x.RestorePosition(iconsPosition_.get())) {
        while (x.FindChild("icon")) {
            if (EqualsNoCase(x.GetChildAttribute("name"), name)) {
                icon = catalog_detail::ReadNumber(x.GetChildAttribute("id"));
                break;
            }
        }
    }
    if (saved)
        x.RestorePosition(saved.get());
    else
        x.ResetPosition();
    return icon;
}

bool CGameCatalog::EnterChildWith(const std::string& tag, const std::string& id) {
    if (tag.empty()) return false;
    CXmlMarkup& x = *xml_;
    if (id.empty()) return x.FindChild(tag.c_str()) && x.EnterChild();
    return x.FindChildWith(tag.c_str(), "id", id) && x.EnterChild();
}

bool CGameCatalog::FindEntry(int index, const std::string& levelId, const std::string& sectionTag,
                             const std::string& elementTag, const std::string& id) {
    if (!ValidIndex(index) || !catalogLoaded_) return false;
    CXmlMarkup& x = *xml_;
    const Edition& e = editions_[index];
    // The level's own sections first, then the edition-wide ones.
    if (e.levelsPosition && !levelId.empty() && x.RestorePosition(e.levelsPosition.get()) &&
        EnterChildWith("level", levelId)) {
        if (sectionTag.empty()) return true;
        if (!elementTag.empty()) {
            if (EnterChildWith(sectionTag, std::string()) && EnterChildWith(elementTag, id))
                return true;
        } else if (EnterChildWith(sectionTag, id)) {
            return true;
        }
    }
    if (e.gamePosition && x.RestorePosition(e.gamePosition.get())) {
        if (!elementTag.empty())
            return EnterChildWith(sectionTag, std::string()) && EnterChildWith(elementTag, id);
        return EnterChildWith(sectionTag, id);
    }
    return false;
}

CatalogCaption CGameCatalog::GetSectionCaption(int index, const std::string& levelId,
                                               const std::string& sectionTag) {
    CatalogCaption c;
    c.text = sectionTag;
    if (FindEntry(index, levelId, sectionTag, std::string(), std::string())) {
        c.text = FriendlyName(xml_->GetAttribute("name"), sectionTag);
        c.icon = GetIconId(xml_->GetAttribute("icon"));
    }
    return c;
}

CatalogLevelEntry CGameCatalog::GetLevelEntry(int index, const std::string& levelId) {
    CatalogLevelEntry entry;
    entry.levelId = levelId;
    entry.displayName = levelId;
    if (FindEntry(index, levelId, std::string(), std::string(), std::string())) {
        entry.displayName = FriendlyName(xml_->GetAttribute("name"), levelId);
        entry.cutscene = EqualsNoCase(xml_->GetAttribute("type"), "cutscene") ? 1 : 0;
        entry.icon = GetIconId(xml_->GetAttribute("icon"));
    }
    return entry;
}

std::unique_ptr<CatalogMoveableEntry> CGameCatalog::GetMoveableEntry(int index,
                                                                     const std::string& levelId,
                                                                     int32_t id) {
    auto entry = std::make_unique<CatalogMoveableEntry>();
    entry->id = id;
    const std::string fallback = StrFormat("Moveable #%.3d", id);
    entry->name = fallback;
    if (!FindEntry(index, levelId, "moveables", "moveable", std::to_string(id))) return entry;
    CXmlMarkup& x = *xml_;
    entry->name = FriendlyName(x.GetAttribute("name"), fallback);
    const std::string body = x.GetAttribute("use_body_from");
    const std::string with = x.GetAttribute("show_with");
    entry->useBodyFrom = body.empty() ? -1 : catalog_detail::ReadNumber(body);
    entry->showWith = with.empty() ? -1 : catalog_detail::ReadNumber(with);
    entry->icon = GetIconId(x.GetAttribute("icon"));
    entry->states.emplace();
    while (x.FindChild("state"))  // the first of a repeated id stays
        entry->states->emplace(catalog_detail::ReadNumber(x.GetChildAttribute("id")),
                               x.GetChildAttribute("name"));
    return entry;
}

CatalogSpriteEntry CGameCatalog::GetSpriteEntry(int index, const std::string& levelId,
                                                int32_t id) {
    CatalogSpriteEntry entry;
    entry.id = id;
    const std::string fallback = StrFormat("Sprite #%.3d", id);
    entry.name = fallback;
    if (FindEntry(index, levelId, "sprites", "sprite", std::to_string(id))) {
        CXmlMarkup& x = *xml_;
        entry.name = FriendlyName(x.GetAttribute("name"), fallback);
        entry.animated = EqualsNoCase(x.GetAttribute("type"), "animated") ? 1 : 0;
        entry.zoom = catalog_detail::ReadDecimal(x.GetAttribute("zoom"));
        entry.icon = GetIconId(x.GetAttribute("icon"));
    }
    return entry;
}

CatalogStaticMeshEntry CGameCatalog::GetStaticMeshEntry(int index, const std::string& levelId,
                                                        int32_t id) {
    CatalogStaticMeshEntry entry;
    entry.id = id;
    const std::string fallback = StrFormat("Static_mesh #%.3d", id);
    entry.name = fallback;
    if (FindEntry(index, levelId, "static_meshes", "static_mesh", std::to_string(id))) {
        entry.name = FriendlyName(xml_->GetAttribute("name"), fallback);
        entry.icon = GetIconId(xml_->GetAttribute("icon"));
    }
    return entry;
}

// --- sounds and menus ---------------------------------------------------------------------

const std::vector<SoundNameEntry>& CGameCatalog::SoundNames(int index) const {
    static const std::vector<SoundNameEntry> kNone;
    return ValidIndex(index) ? editions_[index].sounds : kNone;
}

std::string CGameCatalog::GetSoundName(int index, int internalIndex) const {
    const std::vector<SoundNameEntry>& sounds = SoundNames(index);
    if (internalIndex >= 0 && size_t(internalIndex) < sounds.size())
        return sounds[size_t(internalIndex)].name;
    return StrFormat("! Unknown internal index #%.3d !", internalIndex);
}

int32_t CGameCatalog::GetSoundFirstSample(int index, int internalIndex) const {
    const std::vector<SoundNameEntry>& sounds = SoundNames(index);
    if (internalIndex >= 0 && size_t(internalIndex) < sounds.size())
        return sounds[size_t(internalIndex)].firstSample;
    return 0;
}

int32_t CGameCatalog::GetSoundSampleCount(int index, int internalIndex) const {
    const std::vector<SoundNameEntry>& sounds = SoundNames(index);
    if (internalIndex >= 0 && size_t(internalIndex) < sounds.size())
        return sounds[size_t(internalIndex)].sampleCount;
    return 0;
}

const CatalogMenu* CGameCatalog::PopupMenu(int index) const {
    if (!ValidIndex(index)) return nullptr;
    TakeApartMenus();
    return menus_[index].popup.get();
}

const std::vector<ResourceMenuItem>& CGameCatalog::ResourceItems(int index) const {
    static const std::vector<ResourceMenuItem> kNone;
    if (!ValidIndex(index)) return kNone;
    TakeApartMenus();
    return menus_[index].items;
}

const ResourceMenuItem* CGameCatalog::FindResourceItem(int index, int command) const {
    const std::vector<ResourceMenuItem>& items = ResourceItems(index);
    if (command < 0 || size_t(command) >= items.size()) return nullptr;
    return &items[size_t(command)];
}

}  // namespace lithoscope

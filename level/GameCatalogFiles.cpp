// The catalog's text files ("MenuResource.txt", "SFX_<edition>.txt") and its icon strip.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>

#include "level/GameCatalog.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/System.h"

namespace lithoscope {

namespace catalog_detail {

namespace {
constexpr size_t kMaxLine = 1023;

bool StartsNoCase(const std::string& line, const char* prefix) {
    const size_t n = std::strlen(prefix);
    return line.size() >= n && ::strncasecmp(line.c_str(), prefix, n) == 0 &&
           std::memchr(line.data(), '\0', n) == nullptr;
}

std::vector<std::string> SplitAt(const std::string& text, char separator) {
    std::vector<std::string> pieces;
    size_t start = 0;
    for (;;) {
        size_t at = text.find(separator, start);
        if (at == std::string::npos) {
            pieces.push_back(text.substr(start));
            return pieces;
        }
        pieces.push_back(text.substr(start, at - start));
        start = at + 1;
    }
}

std::string Cut(const std::string& text, size_t max) {
    return text.size() > max ? text.substr(0, max) : text;
}
}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
    // "\n", "\r\n" and a lone "\r" all end a line, so no carriage return reaches a name.
    std::vector<std::string> lines;
    const char* p = text.data();
    const char* const end = p + text.size();
    while (p < end) {
        const char* e = p;
        while (e < end && *e != '\r' && *e != '\n') ++e;
        // The rest of an overlong line is dropped.
        lines.emplace_back(p, std::min<size_t>(size_t(e - p), kMaxLine));
        if (e == end) break;
        p = e + (*e == '\r' && e + 1 < end && e[1] == '\n' ? 2 : 1);
    }
    return lines;
}

std::string TooLargeFileText(const std::string& path, uint64_t size, uint64_t maxBytes,
                             const char* holds) {
    return StrFormat("Catalog parsing: file %s skipped: %llu bytes, more than %s holds (at "
                     "most %llu) !",
                     path.c_str(), static_cast<unsigned long long>(size), holds,
                     static_cast<unsigned long long>(maxBytes));
}

bool ReadCatalogFile(const std::string& path, uint64_t maxBytes, const char* holds,
                     std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (path.empty()) return false;
    if (ReadWholeFile(path, bytes, nullptr, maxBytes)) return true;
    struct stat st;
    if (errno == EFBIG && ::stat(path.c_str(), &st) == 0)
        ShowMessage(TooLargeFileText(path, uint64_t(st.st_size), maxBytes, holds), "Lithoscope",
                    MsgButtons::Ok, MsgIcon::Warning, MsgAnswer::Ok);
    return false;
}

bool ReadTextLines(const std::string& path, uint64_t maxBytes, const char* holds,
                   std::vector<std::string>& lines) {
    lines.clear();
    std::vector<uint8_t> bytes;
    if (!ReadCatalogFile(path, maxBytes, holds, bytes)) return false;
    lines = SplitLines(std::string(bytes.begin(), bytes.end()));
    return true;
}

int32_t ReadNumber(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > int64_t(INT32_MAX) + 1) value = int64_t(INT32_MAX) + 1;  // clamp
    }
    if (negative) value = -value;
    if (value > INT32_MAX) value = INT32_MAX;
    return int32_t(value);
}

float ReadDecimal(const std::string& text) {
    // Locale-independent: a decimal point is always '.'.
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    // Only digits, a sign, a point and an exponent: no "inf" or "nan".
    if (i >= text.size() || !(std::strchr("-.0123456789", text[i]) && text[i] != '\0')) return 0.0f;
    double value = 0.0;
    auto r = std::from_chars(text.data() + i, text.data() + text.size(), value,
                             std::chars_format::general);
    if (r.ec != std::errc() || !std::isfinite(value) || std::fabs(value) > 3.0e38) return 0.0f;
    return float(value);
}

}  // namespace catalog_detail

using catalog_detail::Cut;
using catalog_detail::SplitAt;
using catalog_detail::StartsNoCase;

namespace {
const char* MenuSectionOf(int index) {
    switch (index) {
        case 0: return "[TR1]";
        case 2: return "[TR2]";
        case 4: return "[TR3]";
        case 6: return "[TR4]";
        default: return nullptr;  // the Gold editions have no section
    }
}

CatalogResource ParseResource(const std::string& piece) {
    CatalogResource r;
    const std::string prefix = piece.substr(0, 3);
    if (EqualsNoCase(prefix, "mvb"))
        r.kind = CatalogKindMoveable;
    else if (EqualsNoCase(prefix, "spr"))
        r.kind = CatalogKindSprite;
    else if (EqualsNoCase(prefix, "msh"))
        r.kind = CatalogKindStaticMesh;
    r.id = piece.size() > 4 ? catalog_detail::ReadNumber(piece.substr(4)) : 0;
    return r;
}
}  // namespace

void CGameCatalog::ReadMenuFile(Menus& e, int index, const std::vector<std::string>& lines) const {
    const char* section = MenuSectionOf(index);
    if (!section || !e.popup || e.popup->entries.empty()) return;
    constexpr int kMaxDepth = 9;
    // open[d]: the submenu that takes submenus of depth d + 1; 0 is "Add resource".
    CatalogMenu* open[kMaxDepth + 1] = {};
    open[0] = e.popup->entries[0].submenu.get();
    CatalogMenu* target = open[0];  // the most recently opened submenu
    bool inSection = false;
    for (const std::string& line : lines) {
        if (!inSection) {
            inSection = StartsNoCase(line, section);
            continue;
        }
        if (StartsNoCase(line, "[END]")) break;
        if (line.find(':') == std::string::npos) {
            const size_t lb = line.find('[');
            if (lb == std::string::npos) continue;
            const size_t rb = line.find(']', lb + 1);
            if (rb == std::string::npos) continue;
            // Depth is the column of the '['; column 0 and columns past 9 are ignored.
            if (lb < 1 || lb > size_t(kMaxDepth)) continue;
            const int depth = int(lb);
            int parent = depth - 1;
            while (!open[parent]) --parent;  // deeper than any open menu: the deepest one
            CatalogMenuEntry entry;
            entry.caption = line.substr(lb + 1, rb - lb - 1);
            entry.submenu = std::make_unique<CatalogMenu>();
            CatalogMenu* sub = entry.submenu.get();
            open[parent]->entries.push_back(std::move(entry));
            open[depth] = sub;
            for (int d = depth + 1; d <= kMaxDepth; ++d) open[d] = nullptr;
            target = sub;
            continue;
        }
        // name:file:resources
        const std::vector<std::string> pieces = SplitAt(line, ':');
        ResourceMenuItem item;
        const size_t nameStart = pieces[0].find_first_not_of(" \t");
        item.name = Cut(nameStart == std::string::npos ? std::string() : pieces[0].substr(nameStart),
                        ResourceMenuItem::kMaxText);
        item.file = Cut(pieces.size() > 1 ? pieces[1] : std::string(), ResourceMenuItem::kMaxText);
        if (pieces.size() > 2) {
            const std::vector<std::string> resources = SplitAt(pieces[2], ';');
            // Every piece but the last (what follows the final ';') is a resource.
            for (size_t i = 0; i + 1 < resources.size(); ++i)
                item.resources.push_back(ParseResource(resources[i]));
        }
        CatalogMenuEntry entry;
        entry.caption = item.name;
        entry.command = int32_t(e.items.size());
        e.items.push_back(std::move(item));
        target->entries.push_back(std::move(entry));
    }
}

void CGameCatalog::ReadSoundFile(int index) {
    std::vector<std::string> lines;
    const std::string path = PathOf(SoundFileName(index).c_str());
    if (!catalog_detail::ReadTextLines(path, kMaxSoundFileBytes, "a sound-name list", lines))
        return;
    std::vector<SoundNameEntry>& sounds = editions_[index].sounds;
    int32_t previousId = -1;
    int32_t sample = 0;  // sample lines before this one
    int outOfOrder = 0;
    size_t firstOutOfOrder = 0;
    for (size_t n = 0; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        const size_t first = line.find("--");
        if (first == std::string::npos) continue;
        const int32_t id = catalog_detail::ReadNumber(line.substr(0, 4));
        const int32_t thisSample = sample++;
        if (id == previousId && !sounds.empty()) {
            ++sounds.back().sampleCount;
            continue;
        }
        if (id < previousId || id < 0) {
            // Kept out of the list so later names keep their ids; the line still stands
            // for one sample of the game's sample file.
            if (outOfOrder++ == 0) firstOutOfOrder = n + 1;
            continue;
        }
        for (int32_t unused = previousId + 1; unused < id; ++unused) {
            // "! Not used (id #%.3d) !" without a formatter: ids here are never negative.
            std::string digits = std::to_string(unused);
            if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
            sounds.push_back({"! Not used (id #" + digits + ") !", 0, 0});
        }
        // Between the first "--" and the second (or the line end), less the separator
        // before it and the one after it (the line end is already gone).
        const size_t start = first + 2;
        const size_t second = line.find("--", start);
        std::string part =
            line.substr(start, second == std::string::npos ? std::string::npos : second - start);
        std::string name;
        if (second != std::string::npos)
            name = part.size() >= 2 ? part.substr(1, part.size() - 2) : std::string();
        else
            name = part.size() >= 1 ? part.substr(1) : std::string();
        sounds.push_back({name, 1, thisSample});
        previousId = id;
    }
    if (outOfOrder)
        ShowMessage(StrFormat("Catalog parsing: %d line(s) of %s skipped: sound id lower than "
                              "the one before (first at line %zu) !",
                              outOfOrder, path.c_str(), firstOutOfOrder),
                    "Lithoscope", MsgButtons::Ok, MsgIcon::Warning, MsgAnswer::Ok);
}

void CGameCatalog::ReadIconStrip() {
    const std::string path = PathOf(kIconStripFile);
    if (path.empty()) return;
    int w = 0, h = 0;
    std::vector<uint8_t> grid;
    errno = 0;
    const int read = LoadPictureRGBA(path, &w, &h, &grid, kMaxIconStripBytes, kMaxIconStripPixels);
    const int err = errno;
    if (read == 4 || (read == 2 && err == EFBIG)) {
        struct stat st;
        if (::stat(path.c_str(), &st) == 0)
            ShowMessage(read == 4 ? StrFormat("Catalog parsing: file %s skipped: %d x %d pixels, "
                                              "more than an icon strip holds (at most %llu) !",
                                              path.c_str(), w, h,
                                              static_cast<unsigned long long>(kMaxIconStripPixels))
                                  : catalog_detail::TooLargeFileText(path, uint64_t(st.st_size),
                                                                     kMaxIconStripBytes,
                                                                     "an icon strip"),
                        "Lithoscope", MsgButtons::Ok, MsgIcon::Warning, MsgAnswer::Ok);
    }
    if (read != 0) return;
    constexpr int kCell = CatalogIconStrip::kCell;
    const int columns = w / kCell, rows = h / kCell;
    if (columns <= 0 || rows <= 0) return;
    // Cell rows side by side: strip cell = row * columns + column.
    auto strip = std::make_unique<CatalogIconStrip>();
    strip->cellCount = columns * rows;
    strip->width = strip->cellCount * kCell;
    strip->height = kCell;
    strip->pixels.assign(size_t(strip->width) * kCell * 4, 0);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c)
            for (int y = 0; y < kCell; ++y) {
                const size_t from = (size_t(r * kCell + y) * size_t(w) + size_t(c * kCell)) * 4;
                const size_t to =
                    (size_t(y) * size_t(strip->width) + size_t(r * columns + c) * kCell) * 4;
                std::memcpy(&strip->pixels[to], &grid[from], kCell * 4);
            }
    iconStrip_ = std::move(strip);
}

}  // namespace lithoscope

#include "platform/Settings.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <vector>

#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// A settings file holds a few dozen lines; anything past this is no settings file, and is
// neither read nor written.
constexpr size_t kMaxSettingsBytes = size_t(1) << 20;
const char kByteOrderMark[] = "\xEF\xBB\xBF";

// One line of the file: its text and the end it had ("\n", "\r\n", "\r", or none for a
// last line without one).
struct Line {
    std::string text;
    std::string end;
};

// The file is kept as its lines, so that a write changes the lines of the values it sets
// and nothing else: comments, blank lines, line ends, a byte-order mark and values this
// program does not know stay.
struct Store {
    bool loaded = false;
    int batches = 0;     // open SettingsWriteBatch scopes
    bool dirty = false;  // written while a batch was open
    // The file exists but could not be read: it is never written over.
    bool unreadable = false;
    bool byteOrderMark = false;
    std::string newLineEnd = "\n";  // the file's first line end: new lines get it too
    std::string path;
    std::vector<Line> lines;
};

Store& TheStore() {
    static Store s;
    return s;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t");
    return s.substr(a, b - a + 1);
}

// Where a comment starts in text from at on: a ';' or '#' at at itself or after a blank;
// npos for none.
size_t CommentAt(const std::string& text, size_t at) {
    for (size_t i = at; i < text.size(); ++i)
        if ((text[i] == ';' || text[i] == '#') && (i == at || IsBlank(text[i - 1]))) return i;
    return std::string::npos;
}

// A line as the reader sees it.
struct ParsedLine {
    enum Kind { Other, Section, Value } kind = Other;
    std::string name;    // section or value name
    std::string value;   // without quotes and a comment after it
    size_t valueAt = 0;  // where the value starts in the line
    size_t valueEnd = 0; // where it ends: what follows (blanks, a comment) stays on a write
};

ParsedLine Parse(const std::string& line) {
    ParsedLine p;
    const std::string t = Trim(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') return p;
    if (t.front() == '[' && t.back() == ']') {
        p.kind = ParsedLine::Section;
        p.name = t.substr(1, t.size() - 2);
        return p;
    }
    const size_t eq = line.find('=');
    if (eq == std::string::npos) return p;
    p.kind = ParsedLine::Value;
    p.name = Trim(line.substr(0, eq));
    p.valueAt = eq + 1;
    while (p.valueAt < line.size() && IsBlank(line[p.valueAt])) ++p.valueAt;
    // "a value in quotes": up to the quote after which only blanks or a comment follow.
    if (p.valueAt < line.size() && line[p.valueAt] == '"') {
        for (size_t q = line.find('"', p.valueAt + 1); q != std::string::npos; q = line.find('"', q + 1)) {
            const size_t rest = line.find_first_not_of(" \t", q + 1);
            if (rest == std::string::npos || CommentAt(line, rest) == rest) {
                p.value = line.substr(p.valueAt + 1, q - p.valueAt - 1);
                p.valueEnd = q + 1;
                return p;
            }
        }
    }
    const size_t comment = CommentAt(line, p.valueAt);
    p.value = Trim(line.substr(p.valueAt, comment == std::string::npos ? std::string::npos
                                                                       : comment - p.valueAt));
    p.valueEnd = p.valueAt + p.value.size();
    return p;
}

// A value as a line holds it: in quotes when it would not read back as itself.
std::string Quoted(const std::string& value) {
    const bool plain = value.empty() ||
                       (!IsBlank(value.front()) && !IsBlank(value.back()) && value.front() != '"' &&
                        CommentAt(value, 0) == std::string::npos);
    return plain ? value : "\"" + value + "\"";
}

// Says once per file and run that a settings file is left alone.
void WarnUnreadable(const std::string& path, const std::string& why) {
    static std::set<std::string> warned;
    if (!warned.insert(path).second) return;
    std::fprintf(stderr,
                 "lithoscope: %s; the settings are the defaults for this run and the file is "
                 "left as it is\n",
                 why.c_str());
}

// Reads the settings file, refusing unread one larger than a settings file can be.
bool ReadSettingsFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& why) {
    std::string notRegular;
    const int fd = OpenRegularFileForReading(path, &notRegular);
    if (fd < 0) {
        why = notRegular.empty() ? "can't open " + path + ": " + std::strerror(errno)
                                 : NotRegularFileText(path, notRegular);
        return false;
    }
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0;
    why = ok ? std::string() : "can't read " + path + ": " + std::strerror(errno);
    // At most one byte more than allowed: a file that grew since is caught too.
    if (ok && uint64_t(st.st_size) <= kMaxSettingsBytes) bytes.resize(size_t(st.st_size) + 1);
    size_t got = 0;
    while (ok && got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = "can't read " + path + ": " + std::strerror(errno);
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(fd);
    if (!why.empty()) return false;
    if (got > kMaxSettingsBytes || (ok && uint64_t(st.st_size) > kMaxSettingsBytes)) {
        why = StrFormat("%s is %llu bytes, more than a settings file can be (%zu)", path.c_str(),
                        (unsigned long long)std::max<uint64_t>(uint64_t(st.st_size), got),
                        kMaxSettingsBytes);
        return false;
    }
    bytes.resize(got);
    return true;
}

void Load(Store& s) {
    if (s.loaded && s.path == SettingsFilePath()) return;
    const int batches = s.batches;  // reading the file does not end a batch
    s = Store();
    s.batches = batches;
    s.loaded = true;
    s.path = SettingsFilePath();
    // A missing file (or a link to one) is a first start; anything else that can't be
    // read is somebody's file that a write would lose.
    struct stat st;
    if (::stat(s.path.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR)) return;
    std::vector<uint8_t> bytes;
    std::string why;
    if (!ReadSettingsFile(s.path, bytes, why)) {
        s.unreadable = true;
        WarnUnreadable(s.path, why);
        return;
    }
    const std::string text(bytes.begin(), bytes.end());
    size_t at = 0;
    if (text.compare(0, 3, kByteOrderMark) == 0) {
        s.byteOrderMark = true;
        at = 3;
    }
    // Lines end with "\n", "\r\n" or a lone "\r".
    bool firstEnd = true;
    while (at < text.size()) {
        const size_t stop = text.find_first_of("\r\n", at);
        Line line;
        line.text = text.substr(at, stop == std::string::npos ? std::string::npos : stop - at);
        if (stop == std::string::npos) {
            at = text.size();
        } else {
            const size_t width = text.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
            line.end = text.substr(stop, width);
            at = stop + width;
            if (firstEnd) s.newLineEnd = line.end;
            firstEnd = false;
        }
        s.lines.push_back(std::move(line));
    }
}

// The first value of that name in a section of that name.
bool Find(Store& s, const std::string& section, const std::string& name, std::string* value) {
    Load(s);
    bool inSection = false;
    for (const Line& line : s.lines) {
        const ParsedLine p = Parse(line.text);
        if (p.kind == ParsedLine::Section) inSection = EqualsNoCase(p.name, section);
        if (p.kind == ParsedLine::Value && inSection && EqualsNoCase(p.name, name)) {
            *value = p.value;
            return true;
        }
    }
    return false;
}

bool MakeFolders(const std::string& folder) {
    std::string partial;
    for (size_t i = 0; i < folder.size(); ++i) {
        partial += folder[i];
        if (folder[i] == '/' && partial.size() > 1) {
            if (::mkdir(partial.c_str(), 0777) != 0 && errno != EEXIST) return false;
        }
    }
    return true;
}

bool Save(Store& s) {
    if (s.unreadable) return false;
    std::string text = s.byteOrderMark ? kByteOrderMark : "";
    for (size_t i = 0; i < s.lines.size(); ++i) {
        const Line& line = s.lines[i];
        // A last line without its end gets one when lines come after it.
        text += line.text + (line.end.empty() && i + 1 < s.lines.size() ? s.newLineEnd : line.end);
    }
    int linkError = 0;
    const std::string target = ResolveLinkTarget(s.path, &linkError);
    if (linkError || !MakeFolders(FolderOf(target))) return false;
    return WriteFileSafely(s.path, text.data(), text.size());
}

// Sets every line of the value in its section(s); a new value goes after the last value
// of the first such section, a new section at the end. True when a line changed.
bool SetLines(Store& s, const std::string& section, const std::string& name,
              const std::string& value) {
    bool inSection = false, set = false, changed = false;
    size_t insertAt = std::string::npos;  // after the first section's last value
    bool firstSectionDone = false;
    for (size_t i = 0; i < s.lines.size(); ++i) {
        std::string& text = s.lines[i].text;
        const ParsedLine p = Parse(text);
        if (p.kind == ParsedLine::Section) {
            if (inSection) firstSectionDone = true;
            inSection = EqualsNoCase(p.name, section);
            if (inSection && insertAt == std::string::npos) insertAt = i + 1;
            continue;
        }
        if (!inSection || p.kind != ParsedLine::Value) continue;
        if (!firstSectionDone) insertAt = i + 1;
        if (!EqualsNoCase(p.name, name)) continue;
        set = true;
        if (p.value == value) continue;
        // The name, its spacing and a comment after the value as the file had them.
        text = text.substr(0, p.valueAt) + Quoted(value) + text.substr(p.valueEnd);
        changed = true;
    }
    if (set) return changed;
    if (insertAt == std::string::npos) {
        if (!s.lines.empty() && !Trim(s.lines.back().text).empty()) s.lines.push_back({"", s.newLineEnd});
        s.lines.push_back({"[" + section + "]", s.newLineEnd});
        insertAt = s.lines.size();
    }
    s.lines.insert(s.lines.begin() + ptrdiff_t(insertAt), Line{name + "=" + Quoted(value), s.newLineEnd});
    return true;
}

bool Write(const std::string& section, const std::string& name, const std::string& value) {
    Store& s = TheStore();
    Load(s);
    if (!SetLines(s, section, name, value)) return !s.unreadable;
    if (s.batches > 0) {
        s.dirty = true;
        return !s.unreadable;
    }
    return Save(s);
}

}  // namespace

SettingsWriteBatch::SettingsWriteBatch() { ++TheStore().batches; }

SettingsWriteBatch::~SettingsWriteBatch() {
    Store& s = TheStore();
    if (--s.batches == 0 && s.dirty) {
        s.dirty = false;
        Save(s);  // as with a single write, an unwritable file is not fatal here
    }
}

std::string SettingsFolder() {
    const char* over = std::getenv("LITHOSCOPE_CONFIG_DIR");
    std::string folder;
    if (over && *over) {
        folder = over;
    } else {
        const char* xdg = std::getenv("XDG_CONFIG_HOME");
        if (xdg && *xdg) {
            folder = JoinPath(xdg, "Lithoscope");
        } else {
            const char* home = std::getenv("HOME");
            folder = JoinPath(JoinPath(home && *home ? home : ".", ".config"), "Lithoscope");
        }
    }
    if (folder.back() != '/') folder += '/';
    return folder;
}

std::string SettingsFilePath() { return SettingsFolder() + "settings.ini"; }

int GetProfileInt(const std::string& section, const std::string& name, int defaultValue) {
    std::string v;
    if (!Find(TheStore(), section, name, &v) || v.empty()) return defaultValue;
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    if (end == v.c_str()) return defaultValue;
    return int(n);
}

std::string GetProfileString(const std::string& section, const std::string& name,
                             const std::string& defaultValue) {
    std::string v;
    return Find(TheStore(), section, name, &v) ? v : defaultValue;
}

bool WriteProfileInt(const std::string& section, const std::string& name, int value) {
    return Write(section, name, std::to_string(value));
}

bool WriteProfileString(const std::string& section, const std::string& name,
                        const std::string& value) {
    return Write(section, name, value);
}

void ReloadSettings() {
    const int batches = TheStore().batches;  // a reload inside a batch stays inside it
    TheStore() = Store();
    TheStore().batches = batches;
}

}  // namespace lithoscope

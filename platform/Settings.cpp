#include "platform/Settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <vector>

#include "platform/Files.h"

namespace lithoscope {

namespace {

// The file is kept as its lines, so that a write changes the lines of the values it sets
// and nothing else: comments, blank lines and values this program does not know stay.
struct Store {
    bool loaded = false;
    int batches = 0;     // open SettingsWriteBatch scopes
    bool dirty = false;  // written while a batch was open
    // The file exists but could not be read: it is never written over.
    bool unreadable = false;
    bool crlf = false;  // the file's lines end with "\r\n": new lines get them too
    std::string path;
    std::vector<std::string> lines;  // each with its '\r' if it had one, without its '\n'
};

Store& TheStore() {
    static Store s;
    return s;
}

std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string::npos) return std::string();
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

// A line as the reader sees it.
struct ParsedLine {
    enum Kind { Other, Section, Value } kind = Other;
    std::string name;   // section or value name
    std::string value;
    size_t valueAt = 0;  // where the value starts in the line
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
    p.value = Trim(line.substr(eq + 1));
    p.valueAt = line.find_first_not_of(" \t\r", eq + 1);
    if (p.valueAt == std::string::npos) p.valueAt = line.size();
    return p;
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
    if (!ReadWholeFile(s.path, bytes, &why)) {
        s.unreadable = true;
        WarnUnreadable(s.path, why);
        return;
    }
    std::string line;
    for (uint8_t c : bytes) {
        if (c != '\n') {
            line += char(c);
            continue;
        }
        if (s.lines.empty()) s.crlf = !line.empty() && line.back() == '\r';
        s.lines.push_back(std::move(line));
        line.clear();
    }
    if (!line.empty()) s.lines.push_back(line);  // a last line without its end
}

// The first value of that name in a section of that name.
bool Find(Store& s, const std::string& section, const std::string& name, std::string* value) {
    Load(s);
    bool inSection = false;
    for (const std::string& line : s.lines) {
        const ParsedLine p = Parse(line);
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
    std::string text;
    for (const std::string& line : s.lines) text += line + "\n";
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
        const ParsedLine p = Parse(s.lines[i]);
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
        // The name and its spacing as the file had them.
        const bool cr = s.lines[i].back() == '\r';
        s.lines[i] = s.lines[i].substr(0, p.valueAt) + value + (cr ? "\r" : "");
        changed = true;
    }
    if (set) return changed;
    if (insertAt == std::string::npos) {
        const std::string end = s.crlf ? "\r" : "";
        if (!s.lines.empty() && !Trim(s.lines.back()).empty()) s.lines.push_back(end);
        s.lines.push_back("[" + section + "]" + end);
        insertAt = s.lines.size();
    }
    s.lines.insert(s.lines.begin() + ptrdiff_t(insertAt), name + "=" + value + (s.crlf ? "\r" : ""));
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

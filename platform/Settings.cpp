#include "platform/Settings.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

#include "platform/Files.h"

namespace lithoscope {

namespace {

struct Store {
    bool loaded = false;
    int batches = 0;     // open SettingsWriteBatch scopes
    bool dirty = false;  // written while a batch was open
    std::string path;
    // section -> name -> value, sections and names kept in their first spelling
    std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> data;
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

void Load(Store& s) {
    if (s.loaded && s.path == SettingsFilePath()) return;
    const int batches = s.batches;  // reading the file does not end a batch
    s = Store();
    s.batches = batches;
    s.loaded = true;
    s.path = SettingsFilePath();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(s.path, bytes)) return;
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::string line;
    std::vector<std::pair<std::string, std::string>>* section = nullptr;
    while (std::getline(in, line)) {
        std::string t = Trim(line);
        if (t.empty() || t[0] == ';' || t[0] == '#') continue;
        if (t.front() == '[' && t.back() == ']') {
            s.data.emplace_back(t.substr(1, t.size() - 2), decltype(s.data)::value_type::second_type());
            section = &s.data.back().second;
            continue;
        }
        size_t eq = t.find('=');
        if (!section || eq == std::string::npos) continue;
        section->emplace_back(Trim(t.substr(0, eq)), Trim(t.substr(eq + 1)));
    }
}

const std::string* Find(Store& s, const std::string& section, const std::string& name) {
    Load(s);
    for (auto& sec : s.data)
        if (EqualsNoCase(sec.first, section))
            for (auto& kv : sec.second)
                if (EqualsNoCase(kv.first, name)) return &kv.second;
    return nullptr;
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
    std::string text;
    for (auto& sec : s.data) {
        text += "[" + sec.first + "]\n";
        for (auto& kv : sec.second) text += kv.first + "=" + kv.second + "\n";
        text += "\n";
    }
    if (!MakeFolders(SettingsFolder())) return false;
    return WriteFileSafely(s.path, text.data(), text.size());
}

bool Write(const std::string& section, const std::string& name, const std::string& value) {
    Store& s = TheStore();
    Load(s);
    decltype(s.data)::value_type* sec = nullptr;
    for (auto& candidate : s.data)
        if (EqualsNoCase(candidate.first, section)) sec = &candidate;
    if (!sec) {
        s.data.emplace_back(section, decltype(s.data)::value_type::second_type());
        sec = &s.data.back();
    }
    bool set = false, changed = false;
    for (auto& kv : sec->second)
        if (EqualsNoCase(kv.first, name)) {
            changed = changed || kv.second != value;
            kv.second = value;
            set = true;
        }
    if (!set) sec->second.emplace_back(name, value);
    if (set && !changed) return true;
    if (s.batches > 0) {
        s.dirty = true;
        return true;
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
    const std::string* v = Find(TheStore(), section, name);
    if (!v || v->empty()) return defaultValue;
    char* end = nullptr;
    long n = std::strtol(v->c_str(), &end, 10);
    if (end == v->c_str()) return defaultValue;
    return int(n);
}

std::string GetProfileString(const std::string& section, const std::string& name,
                             const std::string& defaultValue) {
    const std::string* v = Find(TheStore(), section, name);
    return v ? *v : defaultValue;
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

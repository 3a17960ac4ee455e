#pragma once
// Per-user settings in place of the registry's application key: sections and value names
// as the registry had them, kept in "settings.ini" under $XDG_CONFIG_HOME/Lithoscope/
// (default ~/.config/Lithoscope/), or under $LITHOSCOPE_CONFIG_DIR when that is set.
#include <string>

namespace lithoscope {

// Folder of the settings file, with its trailing '/'.
std::string SettingsFolder();
// Full path of the settings file.
std::string SettingsFilePath();

// The profile calls: reads take the default when the value is absent or unreadable;
// writes store the value at once and return false when the file can't be written. A write
// changes only the value part of the lines it sets: comments (also after a value, from a
// ';' or '#' after a blank), blank lines, values the program does not know, a UTF-8
// byte-order mark and the line ends ("\n", "\r\n" or "\r") stay as they were, and a link is
// written through to its file. A value in double quotes is read without them; one that
// would not read back as itself is written in them. A settings file that exists but can't
// be read (no permission, a named pipe, larger than 1 MiB...) is said once on standard
// error; the run goes on with the defaults and never writes that file.
int GetProfileInt(const std::string& section, const std::string& name, int defaultValue);
std::string GetProfileString(const std::string& section, const std::string& name,
                             const std::string& defaultValue);
bool WriteProfileInt(const std::string& section, const std::string& name, int value);
bool WriteProfileString(const std::string& section, const std::string& name,
                        const std::string& value);

// While one is alive, writes change the values at once but the file is written only once,
// when the last one goes (start-up reads and writes back every setting). Writes of a value
// the file holds already never write the file.
class SettingsWriteBatch {
public:
    SettingsWriteBatch();
    ~SettingsWriteBatch();
    SettingsWriteBatch(const SettingsWriteBatch&) = delete;
    SettingsWriteBatch& operator=(const SettingsWriteBatch&) = delete;
};

// Forgets what was read, so the next call reads the file again (tests switch folders).
void ReloadSettings();

}  // namespace lithoscope

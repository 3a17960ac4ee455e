#pragma once
// File helpers: safe replacement of a file, whole-file reads, path pieces and lookups
// that ignore case (names that must match the original game's files).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

// Writes data to a temporary file in the target's folder, flushes it to disk and renames
// it over path. On any failure the old file is untouched, the temporary file is removed,
// error (when given) says why, and the result is false. An existing target that is not
// writable is refused.
bool WriteFileSafely(const std::string& path, const void* data, size_t size,
                     std::string* error = nullptr);

// Failure injection for tests: the stage at which the next safe writes fail.
enum class SafeWriteFault { None, Create, Write, Flush, Rename };
void SetSafeWriteFault(SafeWriteFault fault);

// Reads a whole file; false (error set) when it can't be opened or read.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out,
                   std::string* error = nullptr);

bool FileExists(const std::string& path);
bool IsDirectory(const std::string& path);
// Folder part with its trailing '/', or "" when the path has none.
std::string FolderOf(const std::string& path);
// File name without its folder.
std::string FileNameOf(const std::string& path);
// File name without folder and extension (the extension is the part after the last '.'
// of the file name itself).
std::string StemOf(const std::string& path);
// Extension of the file name itself, with its '.', or "".
std::string ExtensionOf(const std::string& path);
// folder + name, with one '/' between them.
std::string JoinPath(const std::string& folder, const std::string& name);
// Full path of the entry of folder whose name equals name ignoring case, or "".
std::string FindFileNoCase(const std::string& folder, const std::string& name);
// Case-insensitive comparison of narrow strings.
bool EqualsNoCase(const std::string& a, const std::string& b);
// Folder of the running program, with its trailing '/'.
std::string ExecutableFolder();

}  // namespace lithoscope

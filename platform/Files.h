#pragma once
// File helpers: safe replacement of a file, whole-file reads, path pieces and lookups
// that ignore case (names that must match the original game's files).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

// Writes data to a temporary file in the target's folder, flushes it to disk and renames
// it over path. A symbolic link is written through: its target gets the new bytes and the
// link stays. An existing file keeps its permission bits, and its owner and group where
// the process may set them. On any failure the old file is untouched, the temporary file
// is removed, error (when given) says why, errno holds the cause, and the result is false.
// An existing target that is not writable, or is not a regular file, and a chain of links
// the system would not follow are refused. A signal that ends the process during the write
// (Ctrl+C, Ctrl+\, SIGTERM...: see TempFileGuard.h) removes the temporary file first.
bool WriteFileSafely(const std::string& path, const void* data, size_t size,
                     std::string* error = nullptr);

// 0 when WriteFileSafely may write path (its folder is writable, and an existing target is
// a writable regular file), else the errno that says why not; notRegular (when given) then
// says what else stands there.
int CheckWritable(const std::string& path, std::string* notRegular = nullptr);

// The path a symbolic link finally names (links in the last part of the path followed,
// relative ones from the link's folder); path itself when it is no link. A link to a file
// that does not exist yet gives that file. A chain of more links than the system follows
// (40), or a loop, sets error (when given) to ELOOP; a link that can't be read, to its
// errno; the result is then the link where it stopped. Otherwise error is 0.
std::string ResolveLinkTarget(const std::string& path, int* error = nullptr);

// Failure injection for tests: the stage at which the next safe writes fail. Stop halts
// the process (SIGSTOP) halfway through writing the temporary file and goes on when it is
// continued, so that a test can interrupt the write. The variable
// LITHOSCOPE_SAFE_WRITE_FAULT ("create", "write", "flush", "rename", "stop") sets it for a
// whole run of the program.
enum class SafeWriteFault { None, Create, Write, Flush, Rename, Stop };
void SetSafeWriteFault(SafeWriteFault fault);

// Opens an existing file for reading without ever waiting on it: a named pipe, a device,
// a socket or a folder is refused unread. Returns the descriptor, or -1 with errno set;
// notRegular (when given) then says what stands there instead ("a named pipe"...), or is
// empty when the file could not be opened at all.
int OpenRegularFileForReading(const std::string& path, std::string* notRegular = nullptr);

// "<path> is a named pipe, not a regular file" for what OpenRegularFileForReading said.
std::string NotRegularFileText(const std::string& path, const std::string& notRegular);

// Reads a whole regular file; false (error set) when it can't be opened or read, or is
// something else than a regular file, or holds more than maxBytes (errno EFBIG).
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& out,
                   std::string* error = nullptr, uint64_t maxBytes = UINT64_MAX);

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

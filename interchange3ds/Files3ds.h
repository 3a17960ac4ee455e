#pragma once
// 3D Studio toolkit: the table of open files. Every value read or written by the toolkit goes
// to the table's current file; chunks remember the table index of the file they came from.
//
// Files are held in memory: a file opened for reading is read whole when it is opened (the
// chunk data of a database read from it is decoded from those bytes on demand), and a file
// opened for writing collects its bytes in a buffer that CloseFile3ds hands to
// WriteFileSafely, so a failed write never leaves a half-written file in place of the user's.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

constexpr uint8_t kNoFile3ds = 255;     // index of no file / of a chunk made in memory
constexpr int kMaxOpenFiles3ds = 252;   // slots 0..251
constexpr int kFileBufferSize3ds = 8192;

enum FileMode3ds : int { FILE_MODE_READ3DS = 1, FILE_MODE_WRITE3DS = 2 };

struct File3ds {
    bool isOpen = false;              // stands for the stdio stream: true once opened
    std::string name;                 // the path passed to the open ("" for none)
    int mode = 0;                     // FILE_MODE_READ3DS or FILE_MODE_WRITE3DS
    uint8_t index = kNoFile3ds;       // table slot, 255 when in no slot
    int bufferSize = 0;               // kFileBufferSize3ds once opened
    // 1 when a later open for writing took over this file's path while it was open for
    // reading: the record keeps reading its own bytes and no longer stands for the path.
    uint8_t moved = 0;
    bool memoryOnly = false;          // made by OpenMemoryFile3ds/CreateMemoryFile3ds: no disk file
    uint32_t serial = 0;              // unique per open, so chunks can tell a reused slot
    // Set when a database write to this file failed: closing it then leaves the disk alone.
    bool discard = false;

    std::vector<uint8_t> bytes;       // read: the file's content; write: what was written
    size_t position = 0;              // stream position
    // Reads stop at this offset (short read past it); the chunk reader narrows it to the
    // chunk being decoded. SIZE_MAX when unbounded.
    size_t readLimit = SIZE_MAX;
};

File3ds* OpenFile3ds(const char* name, const char* mode);
void CloseFile3ds(File3ds* file);
void CloseAllFiles3ds();
File3ds* FindOpenFile3ds(const char* name);
File3ds* GetOpenFile3ds(uint8_t index);
bool IsFileOpen3ds(uint8_t index);
void SelectFile3ds(uint8_t index);
void SetCurrentFile3ds(File3ds* file);
File3ds* GetCurrentFile3ds();
uint8_t GetCurrentFileIndex3ds();
uint32_t FileTell3ds();
void FileSeek3ds(uint32_t position);

// From-memory entries (tests, fuzzing, callers holding bytes already): a read-mode file over
// a copy of the given bytes, and a write-mode file whose bytes stay in memory (closing it
// writes nothing to disk). name is a label for FindOpenFile3ds and may be null.
File3ds* OpenMemoryFile3ds(const char* name, const uint8_t* data, size_t size);
File3ds* CreateMemoryFile3ds(const char* name);
// The bytes of a file: what was read or what has been written so far.
const std::vector<uint8_t>* FileBytes3ds(const File3ds* file);
// Number of slots in use or once used (the table's high-water mark).
uint8_t GetFileTableCount3ds();

}  // namespace lithoscope

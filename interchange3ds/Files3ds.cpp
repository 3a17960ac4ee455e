#include "interchange3ds/Files3ds.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <new>

#include "interchange3ds/Errors3ds.h"
#include "platform/Files.h"

namespace lithoscope {

namespace {

// Slots in use or once used; null for an empty slot. Made on the first registration.
std::unique_ptr<std::vector<std::unique_ptr<File3ds>>> g_table;
File3ds* g_current = nullptr;
uint8_t g_currentIndex = 0;
uint32_t g_nextSerial = 1;

constexpr size_t kMaxModeLength = 31;

// Puts a fresh record into the first empty slot (or a new one at the end).
File3ds* Register(std::unique_ptr<File3ds> record) {
    if (!g_table) g_table = std::make_unique<std::vector<std::unique_ptr<File3ds>>>();
    auto& slots = *g_table;
    size_t slot = 0;
    while (slot < slots.size() && slots[slot]) ++slot;
    if (slot >= size_t(kMaxOpenFiles3ds)) {
        PushError3ds(ERR_TOO_MANY_FILES);
        return nullptr;
    }
    if (slot == slots.size()) slots.emplace_back();
    record->index = uint8_t(slot);
    record->serial = g_nextSerial++;
    if (g_nextSerial == 0) g_nextSerial = 1;
    slots[slot] = std::move(record);
    return slots[slot].get();
}

// Takes a record out of its slot and frees it (only when the slot really holds it).
void Unregister(File3ds* record) {
    if (!record || !g_table) return;
    auto& slots = *g_table;
    for (auto& slot : slots) {
        if (slot.get() == record) {
            if (g_current == record) {
                g_current = nullptr;
                g_currentIndex = kNoFile3ds;
            }
            slot.reset();
            return;
        }
    }
}

// Undoes the registration of a fresh record that is not kept: the slot it took is given
// back, and the count with it when the slot was the last one.
void UndoRegister(File3ds* record) {
    bool last = g_table && !g_table->empty() && g_table->back().get() == record;
    Unregister(record);
    if (last) g_table->pop_back();
}

bool InTable(const File3ds* record) {
    if (!record || !g_table) return false;
    for (auto& slot : *g_table)
        if (slot.get() == record) return true;
    return false;
}

// Mode scan: the first 'r' or 'w', whichever comes first.
int ScanMode(const char* mode) {
    if (std::strlen(mode) > kMaxModeLength) {
        PushError3ds(ERR_STRING_TOO_LONG);
        return 0;
    }
    for (const char* p = mode; *p; ++p) {
        if (*p == 'r') return FILE_MODE_READ3DS;
        if (*p == 'w') return FILE_MODE_WRITE3DS;
    }
    return 0;
}

bool OpenForReading(File3ds* record) {
    struct stat st;
    if (::stat(record->name.c_str(), &st) != 0 || S_ISDIR(st.st_mode) ||
        uint64_t(st.st_size) > 0xFFFFFFFFull)  // chunk lengths are 32-bit
        return false;
    return ReadWholeFile(record->name, record->bytes);
}

// The bytes are written at close; refuse now what could not be written then.
bool CanWrite(const std::string& path) {
    if (path.empty()) return false;
    std::string folder = FolderOf(path);
    if (folder.empty()) folder = ".";
    if (!IsDirectory(folder) || ::access(folder.c_str(), W_OK) != 0) return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode) || ::access(path.c_str(), W_OK) != 0) return false;
    }
    return true;
}

// Closes one record; false when its bytes could not be written.
bool CloseRecord(File3ds* record) {
    bool ok = true;
    if (record->isOpen && record->mode == FILE_MODE_WRITE3DS && !record->memoryOnly &&
        !record->discard) {
        ok = WriteFileSafely(record->name, record->bytes.data(), record->bytes.size());
    }
    // A moved record reads its own bytes; there is no temporary file to delete.
    Unregister(record);
    return ok;
}

}  // namespace

File3ds* OpenFile3ds(const char* name, const char* mode) {
    if (!name || !mode) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    try {
        File3ds* match = FindOpenFile3ds(name);
        File3ds* record = Register(std::make_unique<File3ds>());
        if (!record) return nullptr;
        record->name = name;
        int wanted = ScanMode(mode);
        if (wanted == 0) {
            PushError3ds(ERR_INIT_FAILED);
            UndoRegister(record);  // a failed open keeps no slot
            return nullptr;
        }
        record->mode = wanted;
        if (match) {
            if (match->mode == wanted) {
                UndoRegister(record);
                return match;
            }
            if (match->mode == FILE_MODE_READ3DS) {
                // The reader keeps its bytes and its position; it no longer stands for the
                // path, which the new record will replace safely when it is closed.
                match->moved = 1;
            } else if (!CloseRecord(match)) {
                PushError3ds(ERR_CLOSING_FILE);
                UndoRegister(record);
                return nullptr;
            }
        }
        bool opened = wanted == FILE_MODE_READ3DS ? OpenForReading(record) : CanWrite(record->name);
        if (!opened) {
            PushError3ds(ERR_OPENING_FILE);
            UndoRegister(record);
            return nullptr;
        }
        record->isOpen = true;
        record->position = 0;
        record->bufferSize = kFileBufferSize3ds;
        return record;
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        return nullptr;
    }
}

File3ds* OpenMemoryFile3ds(const char* name, const uint8_t* data, size_t size) {
    if (!data && size != 0) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    if (uint64_t(size) > 0xFFFFFFFFull) {
        PushError3ds(ERR_OPENING_FILE);
        return nullptr;
    }
    try {
        auto fresh = std::make_unique<File3ds>();
        if (name) fresh->name = name;
        fresh->mode = FILE_MODE_READ3DS;
        fresh->memoryOnly = true;
        if (size) fresh->bytes.assign(data, data + size);
        File3ds* record = Register(std::move(fresh));
        if (!record) return nullptr;
        record->isOpen = true;
        record->bufferSize = kFileBufferSize3ds;
        return record;
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        return nullptr;
    }
}

File3ds* CreateMemoryFile3ds(const char* name) {
    try {
        auto fresh = std::make_unique<File3ds>();
        if (name) fresh->name = name;
        fresh->mode = FILE_MODE_WRITE3DS;
        fresh->memoryOnly = true;
        File3ds* record = Register(std::move(fresh));
        if (!record) return nullptr;
        record->isOpen = true;
        record->bufferSize = kFileBufferSize3ds;
        return record;
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        return nullptr;
    }
}

const std::vector<uint8_t>* FileBytes3ds(const File3ds* file) {
    return InTable(file) ? &file->bytes : nullptr;
}

uint8_t GetFileTableCount3ds() { return g_table ? uint8_t(g_table->size()) : 0; }

void CloseFile3ds(File3ds* file) {
    if (!file || !InTable(file)) return;
    if (!CloseRecord(file)) PushError3ds(ERR_CLOSING_FILE);
}

void CloseAllFiles3ds() {
    if (g_table) {
        auto& slots = *g_table;
        for (size_t i = 0; i < slots.size(); ++i) {
            if (!slots[i]) continue;
            // Stops (keeping the table) at a close that fails; an error already pending
            // from earlier calls does not keep the other files open.
            if (!CloseRecord(slots[i].get())) {
                PushError3ds(ERR_CLOSING_FILE);
                return;
            }
        }
    }
    g_table.reset();
    g_current = nullptr;
    g_currentIndex = 0;
}

File3ds* FindOpenFile3ds(const char* name) {
    if (!name || !g_table) return nullptr;
    for (auto& slot : *g_table) {
        if (slot && !slot->moved && !slot->memoryOnly && slot->name == name) return slot.get();
    }
    return nullptr;
}

File3ds* GetOpenFile3ds(uint8_t index) {
    if (!g_table || index >= g_table->size()) return nullptr;
    return (*g_table)[index].get();
}

bool IsFileOpen3ds(uint8_t index) { return index != kNoFile3ds && GetOpenFile3ds(index) != nullptr; }

void SelectFile3ds(uint8_t index) {
    File3ds* f = GetOpenFile3ds(index);
    if (f) SetCurrentFile3ds(f);
}

void SetCurrentFile3ds(File3ds* file) {
    g_current = file;
    g_currentIndex = file ? file->index : kNoFile3ds;
}

File3ds* GetCurrentFile3ds() { return g_current; }
uint8_t GetCurrentFileIndex3ds() { return g_currentIndex; }

uint32_t FileTell3ds() { return g_current ? uint32_t(g_current->position) : 0; }

void FileSeek3ds(uint32_t position) {
    if (g_current) g_current->position = position;
}

}  // namespace lithoscope

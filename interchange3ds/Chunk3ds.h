#pragma once
// 3D Studio toolkit: the chunk tree and the database.
//
// A ".3ds" file is a tree of chunks: uint16 tag, uint32 length (the 6-byte header, the
// chunk's own data and all its sub-chunks), then the data, then the sub-chunks. A database
// read from a file holds only the tree; each chunk's data is decoded from its source file on
// first use (ReadChunkData3ds), so that file stays open until the database is released.
//
// The reader is bounded: a chunk whose length is below its header or runs past its parent or
// the file, nesting deeper than kMaxChunkDepth3ds and counts or strings that run past their
// chunk push errors (ERR_INVALID_CHUNK or ERR_READING_FILE under ERR_READING_DATABASE).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interchange3ds/ChunkData3ds.h"
#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"

namespace lithoscope {

constexpr int kMaxChunkDepth3ds = 64;

struct Chunk3ds {
    uint32_t tag = 0;       // only the low 16 bits are stored in a file
    uint32_t size = 0;      // the length as read, or as last written; 0 for a new chunk
    uint32_t position = 0;  // offset of the header in the source file
    std::unique_ptr<ChunkData3ds> data;  // decoded data, null until loaded or made
    std::unique_ptr<Chunk3ds> next;      // next sibling
    std::unique_ptr<Chunk3ds> child;     // first child
    uint8_t readIndex = kNoFile3ds;      // source file's table index; 255: made in memory
    uint8_t writeIndex = kNoFile3ds;     // 255 until written
    // The length and the file (by its serial) the chunk was read from, for reloading data.
    uint32_t sourceSize = 0;
    uint32_t sourceSerial = 0;

    Chunk3ds() = default;
    Chunk3ds(const Chunk3ds&) = delete;
    Chunk3ds& operator=(const Chunk3ds&) = delete;
    ~Chunk3ds();  // frees the sibling chain after it without recursion

    Chunk3ds* Next() const { return next.get(); }
    Chunk3ds* Child() const { return child.get(); }
};

struct NameListEntry3ds {
    std::string name;
    bool hasName = false;     // an entry without a name matches no lookup
    Chunk3ds* chunk = nullptr;  // not owned
};

struct NameList3ds {
    std::vector<NameListEntry3ds> list;
    uint32_t count() const { return uint32_t(list.size()); }
};

struct StringList3ds {
    std::vector<std::string> list;
    uint32_t count() const { return uint32_t(list.size()); }
    uint32_t capacity() const { return list.empty() ? 5u : uint32_t(list.size()); }
};

enum DatabaseKind3ds : int {
    DbUnknown3ds = 0,
    DbMeshFile3ds = 1,      // 0x4D4D
    DbProjectFile3ds = 2,   // 0xC23D
    DbMaterialFile3ds = 3,  // 0x3DAA
};

// The name lists point into the tree: a change that adds, clears or removes named objects,
// materials or nodes must mark the list stale (Mark...Stale3ds) before the next lookup.
struct Database3ds {
    std::unique_ptr<Chunk3ds> topChunk;
    uint8_t objListStale = 1, matListStale = 1, nodeListStale = 1;
    std::unique_ptr<NameList3ds> objList, matList, nodeList;
};

// Typed access to a chunk's data (null when the chunk has none or it is another layout).
template <class T>
T* ChunkDataAs3ds(Chunk3ds* chunk) {
    return chunk ? dynamic_cast<T*>(chunk->data.get()) : nullptr;
}

// Chunks.
void NewChunk3ds(Chunk3ds** out);
void NewChunkTag3ds(Chunk3ds** out, uint32_t tag);
// Frees the chunk, its data, subtree and the sibling chain after it; nulls the pointer.
// For top chunks and detached chunks only.
void ReleaseChunk3ds(Chunk3ds** chunk);
// Frees subtree and data, resets to tag 0 (never written), keeps the place among siblings.
void ClearChunk3ds(Chunk3ds* chunk);
void FindChunk3ds(Chunk3ds* from, uint32_t tag, Chunk3ds** out);
void FindNextChunk3ds(Chunk3ds* from, uint32_t tag, Chunk3ds** out);
// Both take ownership of child (a detached chunk from NewChunk3ds or CopyChunk3ds).
void AppendChildChunk3ds(Chunk3ds* parent, Chunk3ds* child);
void InsertChildChunk3ds(Chunk3ds* parent, Chunk3ds* child);
void PutChildChunk3ds(Chunk3ds* parent, uint32_t tag, Chunk3ds** out);
void CopyChunk3ds(Chunk3ds* from, Chunk3ds** out);
ChunkData3ds* NewChunkWithData3ds(Chunk3ds** out, uint32_t tag);
ChunkData3ds* ReadChunkData3ds(Chunk3ds* chunk);
void DropChunkData3ds(Chunk3ds* chunk);
int ChunkOrderRank3ds(uint32_t tag);

template <class T>
T* NewChunkWithDataAs3ds(Chunk3ds** out, uint32_t tag) {
    return dynamic_cast<T*>(NewChunkWithData3ds(out, tag));
}
template <class T>
T* ReadChunkDataAs3ds(Chunk3ds* chunk) {
    return dynamic_cast<T*>(ReadChunkData3ds(chunk));
}

// Lists.
void InitNameList3ds(NameList3ds** list, uint32_t count);
void ReleaseNameList3ds(NameList3ds** list);
void InitStringList3ds(StringList3ds** list, uint32_t count);
void ReleaseStringList3ds(StringList3ds** list);

// Database.
void InitDatabase3ds(Database3ds** db);
void ReleaseDatabase3ds(Database3ds** db);
void CreateNewDatabase3ds(Database3ds* db, int kind);
void ReadDatabase3ds(File3ds* file, Database3ds* db);
void WriteDatabase3ds(File3ds* file, Database3ds* db);
int GetDatabaseKind3ds(Database3ds* db);

void UpdateObjectList3ds(Database3ds* db);
void UpdateMaterialList3ds(Database3ds* db);
void UpdateNodeList3ds(Database3ds* db);
void MarkObjectListStale3ds(Database3ds* db);
void MarkMaterialListStale3ds(Database3ds* db);
void MarkNodeListStale3ds(Database3ds* db);

void FindNamedObject3ds(Database3ds* db, const char* name, Chunk3ds** out);
void FindMaterialEntry3ds(Database3ds* db, const char* name, Chunk3ds** out);
Chunk3ds* GetMaterialEntryByIndex3ds(Database3ds* db, uint32_t index);
Chunk3ds* FindNodeByName3ds(Database3ds* db, const char* name, uint32_t tag);
Chunk3ds* GetNodeByIndex3ds(Database3ds* db, uint32_t index, uint32_t tag);

// Version chunks: file version (kind 1), mesh version and keyframer header revision
// (kinds 1 and 2) for release 0..3; the toolkit always uses release 2.
void PutVersionChunks3ds(Chunk3ds* top, int release);
constexpr int kToolkitRelease3ds = 2;

// Keyframer node names: after a read each node gets its parent's name in a 0x80F0
// pseudo-chunk under its header; before a write those names become parent indices again.
void ComposeKeyframeNames3ds(Database3ds* db);
void SplitKeyframeNames3ds(Chunk3ds* top);

}  // namespace lithoscope

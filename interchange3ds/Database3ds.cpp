// The database: reading a file into a chunk tree, writing a tree, version chunks and the
// name lists of objects, materials and keyframer nodes.
#include <cstring>
#include <new>

#include "interchange3ds/Chunk3ds.h"
#include "interchange3ds/Keyframer3ds.h"
#include "interchange3ds/Material3ds.h"
#include "interchange3ds/Mesh3ds.h"
#include "interchange3ds/Values3ds.h"

namespace lithoscope {

namespace {

bool Pending() { return g_bErrorPending3ds; }

bool IsTopTag(uint32_t tag) {
    return tag == Tag3ds::MeshFile || tag == Tag3ds::ProjectFile || tag == Tag3ds::MaterialLibrary;
}

int KindOfTag(uint32_t tag) {
    switch (tag) {
    case Tag3ds::MeshFile: return DbMeshFile3ds;
    case Tag3ds::ProjectFile: return DbProjectFile3ds;
    case Tag3ds::MaterialLibrary: return DbMaterialFile3ds;
    default: return DbUnknown3ds;
    }
}

Chunk3ds* DirectChild(Chunk3ds* parent, uint32_t tag) {
    Chunk3ds* found = nullptr;
    if (parent) FindNextChunk3ds(parent->Child(), tag, &found);
    return found;
}

// Reads one sub-chunk header at pos inside [.., end) and makes its chunk. Null with an error
// pushed when the header does not fit or the length is below the header or runs past end;
// with runsPast set instead (and no error) when allowPastEnd is true.
std::unique_ptr<Chunk3ds> ReadSubHeader(File3ds* file, uint32_t pos, uint32_t end,
                                        bool allowPastEnd, bool* runsPast) {
    if (end - pos < kChunkHeaderSize3ds) {
        PushError3ds(ERR_INVALID_CHUNK);
        return nullptr;
    }
    auto chunk = std::make_unique<Chunk3ds>();
    chunk->position = pos;
    chunk->readIndex = file->index;
    chunk->sourceSerial = file->serial;
    file->readLimit = end;
    FileSeek3ds(pos);
    uint32_t tag = 0, size = 0;
    ReadHeader3ds(&tag, &size);
    if (Pending()) return nullptr;
    chunk->tag = tag;
    chunk->size = size;
    chunk->sourceSize = size;
    if (size < kChunkHeaderSize3ds || size > end - pos) {
        if (allowPastEnd) {
            *runsPast = true;
            return chunk;
        }
        PushError3ds(ERR_INVALID_CHUNK);
        return nullptr;
    }
    return chunk;
}

bool ReadChildren(File3ds* file, Chunk3ds* chunk, int depth);

// An extended-data entry holds items 0x8002-0x800F; any other tag ends it, and an item that
// runs past the entry is dropped, reading on after its header.
bool ReadEntryChildren(File3ds* file, Chunk3ds* entry, int depth) {
    const uint32_t end = entry->position + entry->size;
    uint32_t pos = entry->position + kChunkHeaderSize3ds;
    Chunk3ds* last = nullptr;
    while (pos < end) {
        if (end - pos < kChunkHeaderSize3ds) {
            PushError3ds(ERR_INVALID_CHUNK);
            return false;
        }
        bool runsPast = false;
        std::unique_ptr<Chunk3ds> item = ReadSubHeader(file, pos, end, true, &runsPast);
        if (!item) return false;
        if (item->tag < Tag3ds::ExtendedFirstItem || item->tag > Tag3ds::ExtendedLastItem) break;
        if (runsPast) {
            pos += kChunkHeaderSize3ds;
            continue;
        }
        Chunk3ds* raw = item.get();
        if (last)
            last->next = std::move(item);
        else
            entry->child = std::move(item);
        last = raw;
        if (!ReadChildren(file, raw, depth + 1)) return false;
        pos += raw->size;
    }
    return true;
}

// Reads the sub-chunks of a chunk whose header is already read, in file order.
bool ReadChildren(File3ds* file, Chunk3ds* chunk, int depth) {
    if (depth > kMaxChunkDepth3ds) {
        PushError3ds(ERR_INVALID_CHUNK);
        PushError3ds(ERR_READING_DATABASE);
        return false;
    }
    const uint32_t end = chunk->position + chunk->size;
    SetCurrentFile3ds(file);
    file->readLimit = end;
    SkipChunkFixedData3ds(chunk);
    if (Pending()) {
        PushError3ds(ERR_READING_DATABASE);
        return false;
    }
    uint32_t pos = FileTell3ds();
    Chunk3ds* last = nullptr;
    while (pos < end) {
        bool unused = false;
        std::unique_ptr<Chunk3ds> sub = ReadSubHeader(file, pos, end, false, &unused);
        if (!sub) {
            PushError3ds(ERR_READING_DATABASE);
            return false;
        }
        Chunk3ds* raw = sub.get();
        if (last)
            last->next = std::move(sub);
        else
            chunk->child = std::move(sub);
        last = raw;
        bool ok = raw->tag == Tag3ds::ExtendedEntry ? ReadEntryChildren(file, raw, depth + 1)
                                                      : ReadChildren(file, raw, depth + 1);
        if (!ok) {
            PushError3ds(ERR_READING_DATABASE);
            return false;
        }
        pos += raw->size;
    }
    return true;
}

// Writes a chunk, its data and its children; the length is patched in afterwards.
bool WriteChunk(File3ds* out, Chunk3ds* chunk) {
    if (chunk->tag == 0 || chunk->tag == Tag3ds::ParentName) return true;
    SetCurrentFile3ds(out);
    chunk->writeIndex = out->index;
    const uint32_t start = FileTell3ds();
    ReadChunkData3ds(chunk);
    if (Pending()) return false;
    SetCurrentFile3ds(out);
    FileSeek3ds(start);
    WriteHeader3ds(chunk->tag, chunk->size);
    WriteChunkData3ds(chunk);
    if (Pending()) return false;
    // A block that stands for the whole body already holds the sub-chunks.
    if (!(chunk->data && chunk->data->IsWholeBody())) {
        for (Chunk3ds* c = chunk->Child(); c; c = c->Next()) {
            if (!WriteChunk(out, c)) return false;
        }
    }
    SetCurrentFile3ds(out);
    chunk->size = FinishHeader3ds(start, chunk->size);
    return !Pending();
}

void PutFileVersion(Chunk3ds* top, uint32_t version) {
    if (!top) {
        PushError3ds(ERR_INVALID_DATA);
        return;
    }
    Chunk3ds* c = nullptr;
    PutChildChunk3ds(top, Tag3ds::FileVersion, &c);
    if (Pending()) return;
    if (auto* d = dynamic_cast<UInt32Data3ds*>(AllocChunkData3ds(c))) d->value = version;
}

void PutMeshVersion(Chunk3ds* top, uint32_t version) {
    if (!top) {
        PushError3ds(ERR_INVALID_DATA);
        return;
    }
    Chunk3ds* mdata = DirectChild(top, Tag3ds::EditorData);
    if (!mdata) {
        NewChunkTag3ds(&mdata, Tag3ds::EditorData);
        if (!mdata) return;
        InsertChildChunk3ds(top, mdata);
    }
    Chunk3ds* c = nullptr;
    PutChildChunk3ds(mdata, Tag3ds::MeshVersion, &c);
    if (Pending()) return;
    if (auto* d = dynamic_cast<UInt32Data3ds*>(AllocChunkData3ds(c))) d->value = version;
}

void PutKeyframerRevision(Chunk3ds* top, uint16_t revision) {
    if (!top) {
        PushError3ds(ERR_INVALID_DATABASE);
        return;
    }
    Chunk3ds* kf = DirectChild(top, Tag3ds::KeyframerData);
    if (!kf) {
        NewChunkTag3ds(&kf, Tag3ds::KeyframerData);
        if (!kf) return;
        InsertChildChunk3ds(top, kf);
    }
    Chunk3ds* header = DirectChild(kf, Tag3ds::KeyframeHeader);
    if (!header) {
        NewChunkTag3ds(&header, Tag3ds::KeyframeHeader);
        if (!header) return;
        InsertChildChunk3ds(kf, header);
        auto* d = dynamic_cast<KfHeaderData3ds*>(AllocChunkData3ds(header));
        if (!d) return;
        d->revision = revision;
        d->animLength = 30;
        return;
    }
    auto* d = ReadChunkDataAs3ds<KfHeaderData3ds>(header);
    if (Pending()) return;
    if (!d) {
        d = dynamic_cast<KfHeaderData3ds*>(AllocChunkData3ds(header));
        if (!d) return;
        d->animLength = 30;
    }
    d->revision = revision;
}

bool CheckDatabase(Database3ds* db) {
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!db->topChunk) {
        PushError3ds(ERR_INVALID_DATABASE);
        return false;
    }
    return true;
}

std::unique_ptr<NameList3ds> FreshList() { return std::make_unique<NameList3ds>(); }

}  // namespace

void PutVersionChunks3ds(Chunk3ds* top, int release) {
    static const uint32_t kFile[4] = {1, 2, 3, 4};
    static const uint32_t kMesh[4] = {1, 2, 3, 4};
    static const uint16_t kKeyframer[4] = {1, 2, 5, 6};
    if (release < 0 || release > 3) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    const int kind = top ? KindOfTag(top->tag) : DbMeshFile3ds;
    try {
        if (kind == DbMeshFile3ds) {
            PutFileVersion(top, kFile[release]);
            if (Pending()) return;
        }
        if (kind == DbMeshFile3ds || kind == DbProjectFile3ds) {
            PutMeshVersion(top, kMesh[release]);
            if (Pending()) return;
            PutKeyframerRevision(top, kKeyframer[release]);
        }
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void InitDatabase3ds(Database3ds** db) {
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    try {
        if (!*db) *db = std::make_unique<Database3ds>().release();
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        return;
    }
    Database3ds* d = *db;
    d->topChunk.reset();
    d->objListStale = d->matListStale = d->nodeListStale = 1;
    d->objList.reset();
    d->matList.reset();
    d->nodeList.reset();
}

void ReleaseDatabase3ds(Database3ds** db) {
    if (!db || !*db) return;
    std::unique_ptr<Database3ds> owned(*db);
    *db = nullptr;
}

void CreateNewDatabase3ds(Database3ds* db, int kind) {
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    Chunk3ds* top = nullptr;
    NewChunk3ds(&top);
    if (!top) {
        PushError3ds(ERR_CREATING_DATABASE);
        return;
    }
    static const uint32_t kTopTags[4] = {0, Tag3ds::MeshFile, Tag3ds::ProjectFile,
                                         Tag3ds::MaterialLibrary};
    top->tag = (kind >= 1 && kind <= 3) ? kTopTags[kind] : 0;
    // A database given a new tree drops the old one and its lists.
    db->topChunk.reset(top);
    db->objListStale = db->matListStale = db->nodeListStale = 1;
    PutVersionChunks3ds(top, kToolkitRelease3ds);
    if (Pending()) PushError3ds(ERR_CREATING_DATABASE);
}

void ReadDatabase3ds(File3ds* file, Database3ds* db) {
    if (!file || !db) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (GetOpenFile3ds(file->index) != file || !file->isOpen || file->mode != FILE_MODE_READ3DS)
        return;
    try {
        db->topChunk = std::make_unique<Chunk3ds>();
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        PushError3ds(ERR_CREATING_DATABASE);
        return;
    }
    db->objListStale = db->matListStale = db->nodeListStale = 1;
    Chunk3ds* top = db->topChunk.get();
    top->readIndex = file->index;
    top->sourceSerial = file->serial;
    SetCurrentFile3ds(file);
    file->readLimit = SIZE_MAX;
    FileSeek3ds(0);
    uint32_t tag = 0, size = 0;
    ReadHeader3ds(&tag, &size);
    top->tag = tag;
    top->size = size;
    top->sourceSize = size;
    if (Pending()) {
        PushError3ds(ERR_CREATING_DATABASE);
        return;
    }
    if (!IsTopTag(tag)) return;  // read as a database of kind 0, without children
    bool ok = false;
    try {
        if (size < kChunkHeaderSize3ds || size > file->bytes.size()) {
            // A length below its header or past the end of the file (a truncated file).
            PushError3ds(ERR_INVALID_CHUNK);
            PushError3ds(ERR_READING_DATABASE);
        } else {
            ok = ReadChildren(file, top, 1);
        }
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
    file->readLimit = SIZE_MAX;
    if (!ok) {
        PushError3ds(ERR_CREATING_DATABASE);
        return;
    }
    ComposeKeyframeNames3ds(db);
    if (Pending()) PushError3ds(ERR_CREATING_DATABASE);
}

void WriteDatabase3ds(File3ds* file, Database3ds* db) {
    if (!file || !db) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!db->topChunk) {
        PushError3ds(ERR_INVALID_DATABASE);
        return;
    }
    Chunk3ds* top = db->topChunk.get();
    PutVersionChunks3ds(top, kToolkitRelease3ds);
    if (Pending()) {
        PushError3ds(ERR_WRITING_DATABASE);
        return;
    }
    if (GetOpenFile3ds(file->index) != file || !file->isOpen || file->mode != FILE_MODE_WRITE3DS)
        return;
    SplitKeyframeNames3ds(top);
    if (Pending()) {
        PushError3ds(ERR_WRITING_DATABASE);
        return;
    }
    // The file holds exactly the tree written now.
    file->bytes.clear();
    file->discard = false;
    SetCurrentFile3ds(file);
    FileSeek3ds(0);
    bool ok = false;
    try {
        ok = WriteChunk(file, top);
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
    SetCurrentFile3ds(file);
    if (!ok || Pending()) {
        file->discard = true;  // never saved over the user's file
        PushError3ds(ERR_WRITING_DATABASE);
    }
}

int GetDatabaseKind3ds(Database3ds* db) {
    if (!db || !db->topChunk) return DbUnknown3ds;
    return KindOfTag(db->topChunk->tag);
}

void MarkObjectListStale3ds(Database3ds* db) {
    if (!db) PushError3ds(ERR_INVALID_ARG); else db->objListStale = 1;
}
void MarkMaterialListStale3ds(Database3ds* db) {
    if (!db) PushError3ds(ERR_INVALID_ARG); else db->matListStale = 1;
}
void MarkNodeListStale3ds(Database3ds* db) {
    if (!db) PushError3ds(ERR_INVALID_ARG); else db->nodeListStale = 1;
}

void UpdateObjectList3ds(Database3ds* db) {
    if (!CheckDatabase(db) || !db->objListStale) return;
    db->objListStale = 0;
    db->objList.reset();
    try {
        auto list = FreshList();
        Chunk3ds* mdata = nullptr;
        FindChunk3ds(db->topChunk.get(), Tag3ds::EditorData, &mdata);
        Chunk3ds* obj = nullptr;
        if (mdata) FindNextChunk3ds(mdata->Child(), Tag3ds::NamedObject, &obj);
        for (; obj; FindNextChunk3ds(obj->Next(), Tag3ds::NamedObject, &obj)) {
            auto* name = ReadChunkDataAs3ds<StringData3ds>(obj);
            if (Pending()) break;
            NameListEntry3ds e;
            e.chunk = obj;
            if (name) {
                // Listed as the records hold them: cut to their fields.
                e.name = FieldName3ds(name->value, sizeof Mesh3ds().name);
                e.hasName = true;
            }
            list->list.push_back(std::move(e));
        }
        db->objList = std::move(list);
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void UpdateMaterialList3ds(Database3ds* db) {
    if (!CheckDatabase(db) || !db->matListStale) return;
    db->matListStale = 0;
    db->matList.reset();
    try {
        auto list = FreshList();
        Chunk3ds* parent = nullptr;
        FindChunk3ds(db->topChunk.get(), Tag3ds::EditorData, &parent);
        if (!parent) FindChunk3ds(db->topChunk.get(), Tag3ds::MaterialLibrary, &parent);
        Chunk3ds* entry = nullptr;
        if (parent) FindNextChunk3ds(parent->Child(), Tag3ds::MatEntry, &entry);
        for (; entry; FindNextChunk3ds(entry->Next(), Tag3ds::MatEntry, &entry)) {
            NameListEntry3ds e;
            e.chunk = entry;
            // An entry without a name chunk is listed without a name.
            if (Chunk3ds* nameChunk = DirectChild(entry, Tag3ds::MatName)) {
                auto* name = ReadChunkDataAs3ds<StringData3ds>(nameChunk);
                if (Pending()) break;
                if (name) {
                    e.name = FieldName3ds(name->value, sizeof Material3ds().name);
                    e.hasName = true;
                }
            }
            list->list.push_back(std::move(e));
        }
        db->matList = std::move(list);
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void UpdateNodeList3ds(Database3ds* db) {
    if (!CheckDatabase(db) || !db->nodeListStale) return;
    db->nodeListStale = 0;
    db->nodeList.reset();
    try {
        auto list = FreshList();
        Chunk3ds* kf = nullptr;
        FindChunk3ds(db->topChunk.get(), Tag3ds::KeyframerData, &kf);
        for (Chunk3ds* node = kf ? kf->Child() : nullptr; node; node = node->Next()) {
            if (node->tag < Tag3ds::AmbientNode || node->tag > Tag3ds::SpotlightNode) continue;
            NameListEntry3ds e;
            e.chunk = node;
            if (Chunk3ds* header = DirectChild(node, Tag3ds::NodeHeader)) {
                auto* h = ReadChunkDataAs3ds<NodeHeaderData3ds>(header);
                if (Pending()) break;
                if (h) {
                    e.name = FieldName3ds(h->objName, sizeof ObjectMotion3ds().name);
                    e.hasName = true;
                    if (node->tag == Tag3ds::ObjectNode) {
                        if (Chunk3ds* inst = DirectChild(node, Tag3ds::InstanceName)) {
                            auto* s = ReadChunkDataAs3ds<StringData3ds>(inst);
                            if (Pending()) break;
                            if (s) e.name += "." + FieldName3ds(s->value, kInstanceField3ds);
                        }
                    }
                }
            }
            list->list.push_back(std::move(e));
        }
        db->nodeList = std::move(list);
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void FindNamedObject3ds(Database3ds* db, const char* name, Chunk3ds** out) {
    if (out) *out = nullptr;
    if (!db || !name || !out) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    UpdateObjectList3ds(db);
    if (Pending() || !db->objList) return;
    for (const NameListEntry3ds& e : db->objList->list) {
        if (e.hasName && e.name == name) {
            *out = e.chunk;
            return;
        }
    }
}

namespace {
bool CheckMaterialDatabase(Database3ds* db) {
    if (!CheckDatabase(db)) return false;
    if (GetDatabaseKind3ds(db) == DbUnknown3ds) {
        PushError3ds(ERR_WRONG_DATABASE);
        return false;
    }
    return true;
}
}  // namespace

void FindMaterialEntry3ds(Database3ds* db, const char* name, Chunk3ds** out) {
    if (out) *out = nullptr;
    if (!name || !out) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckMaterialDatabase(db)) return;
    UpdateMaterialList3ds(db);
    if (Pending() || !db->matList) return;
    for (const NameListEntry3ds& e : db->matList->list) {
        if (e.hasName && e.name == name) {
            *out = e.chunk;
            return;
        }
    }
}

Chunk3ds* GetMaterialEntryByIndex3ds(Database3ds* db, uint32_t index) {
    if (!CheckMaterialDatabase(db)) return nullptr;
    UpdateMaterialList3ds(db);
    if (Pending() || !db->matList || index >= db->matList->count()) return nullptr;
    return db->matList->list[index].chunk;
}

Chunk3ds* FindNodeByName3ds(Database3ds* db, const char* name, uint32_t tag) {
    if (!db || !name) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    UpdateNodeList3ds(db);
    if (Pending() || !db->nodeList) return nullptr;
    for (const NameListEntry3ds& e : db->nodeList->list) {
        if (e.chunk->tag == tag && e.hasName && e.name == name) return e.chunk;
    }
    return nullptr;
}

Chunk3ds* GetNodeByIndex3ds(Database3ds* db, uint32_t index, uint32_t tag) {
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    UpdateNodeList3ds(db);
    if (Pending() || !db->nodeList) return nullptr;
    uint32_t seen = 0;
    for (const NameListEntry3ds& e : db->nodeList->list) {
        if (e.chunk->tag != tag) continue;
        if (seen++ == index) return e.chunk;
    }
    return nullptr;
}

}  // namespace lithoscope

// Chunks: creation, release, search, ranked insertion, copies and on-demand data.
#include "interchange3ds/Chunk3ds.h"

#include <new>

#include "interchange3ds/Values3ds.h"

namespace lithoscope {

Chunk3ds::~Chunk3ds() {
    // Unlink the siblings one by one so a long chain does not recurse.
    std::unique_ptr<Chunk3ds> n = std::move(next);
    while (n) {
        std::unique_ptr<Chunk3ds> after = std::move(n->next);
        n.reset();
        n = std::move(after);
    }
}

namespace {

// The file a chunk was read from, while it is still open (and not a reused slot).
File3ds* SourceFile(const Chunk3ds* chunk) {
    if (chunk->readIndex == kNoFile3ds) return nullptr;
    File3ds* f = GetOpenFile3ds(chunk->readIndex);
    if (!f || !f->isOpen || f->serial != chunk->sourceSerial || f->mode != FILE_MODE_READ3DS)
        return nullptr;
    return f;
}

void CopyInto(Chunk3ds* from, Chunk3ds* to) {
    to->tag = from->tag;
    to->size = from->size;
    to->position = from->position;
    to->readIndex = from->readIndex;
    to->writeIndex = from->writeIndex;
    to->sourceSize = from->sourceSize;
    to->sourceSerial = from->sourceSerial;
    if (from->data) {
        // Data that can be loaded again from its file is handed over; the rest is copied.
        if (from->readIndex != kNoFile3ds && SourceFile(from))
            to->data = std::move(from->data);
        else
            CopyChunkData3ds(from, to);
    }
}

std::unique_ptr<Chunk3ds> CopyTree(Chunk3ds* from) {
    auto copy = std::make_unique<Chunk3ds>();
    CopyInto(from, copy.get());
    if (g_bErrorPending3ds) return copy;
    Chunk3ds* last = nullptr;
    for (Chunk3ds* c = from->Child(); c; c = c->Next()) {
        std::unique_ptr<Chunk3ds> sub = CopyTree(c);
        Chunk3ds* raw = sub.get();
        if (last)
            last->next = std::move(sub);
        else
            copy->child = std::move(sub);
        last = raw;
        if (g_bErrorPending3ds) break;
    }
    return copy;
}

Chunk3ds* FindDepthFirst(Chunk3ds* from, uint32_t tag) {
    if (from->tag == tag) return from;
    for (Chunk3ds* c = from->Child(); c; c = c->Next()) {
        if (Chunk3ds* found = FindDepthFirst(c, tag)) return found;
    }
    return nullptr;
}

}  // namespace

void NewChunk3ds(Chunk3ds** out) {
    if (!out) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    try {
        *out = std::make_unique<Chunk3ds>().release();
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void NewChunkTag3ds(Chunk3ds** out, uint32_t tag) {
    NewChunk3ds(out);
    if (out && *out) (*out)->tag = tag;
}

void ReleaseChunk3ds(Chunk3ds** chunk) {
    if (!chunk || !*chunk) return;
    std::unique_ptr<Chunk3ds> owned(*chunk);
    *chunk = nullptr;
}

void ClearChunk3ds(Chunk3ds* chunk) {
    if (!chunk) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    chunk->child.reset();
    chunk->data.reset();
    chunk->tag = 0;
    chunk->size = 0;
    chunk->position = 0;
    chunk->readIndex = kNoFile3ds;
    chunk->writeIndex = kNoFile3ds;
    chunk->sourceSize = 0;
    chunk->sourceSerial = 0;
}

void FindChunk3ds(Chunk3ds* from, uint32_t tag, Chunk3ds** out) {
    if (!from || !out) {
        PushError3ds(ERR_INVALID_ARG);
        if (out) *out = nullptr;
        return;
    }
    *out = FindDepthFirst(from, tag);
}

void FindNextChunk3ds(Chunk3ds* from, uint32_t tag, Chunk3ds** out) {
    if (!out) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    *out = nullptr;
    for (Chunk3ds* c = from; c; c = c->Next()) {
        if (c->tag == tag) {
            *out = c;
            return;
        }
    }
}

void AppendChildChunk3ds(Chunk3ds* parent, Chunk3ds* child) {
    if (!parent || !child) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    std::unique_ptr<Chunk3ds>* slot = &parent->child;
    while (*slot) slot = &(*slot)->next;
    slot->reset(child);
}

void InsertChildChunk3ds(Chunk3ds* parent, Chunk3ds* child) {
    if (!parent || !child) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    const int rank = ChunkOrderRank3ds(child->tag);
    std::unique_ptr<Chunk3ds>* slot = &parent->child;
    if (!*slot) {
        slot->reset(child);
        return;
    }
    for (;;) {
        Chunk3ds* current = slot->get();
        if (ChunkOrderRank3ds(current->tag) < rank) {
            // In front of the first sibling of lower rank.
            Chunk3ds* tail = child;
            while (tail->next) tail = tail->next.get();
            tail->next = std::move(*slot);
            slot->reset(child);
            return;
        }
        if (!current->next) {
            current->next.reset(child);
            return;
        }
        slot = &current->next;
    }
}

void PutChildChunk3ds(Chunk3ds* parent, uint32_t tag, Chunk3ds** out) {
    if (!parent || !out) {
        PushError3ds(ERR_INVALID_ARG);
        if (out) *out = nullptr;
        return;
    }
    *out = nullptr;
    Chunk3ds* existing = nullptr;
    FindNextChunk3ds(parent->Child(), tag, &existing);
    if (existing) {
        ClearChunk3ds(existing);
        existing->tag = tag;
        *out = existing;
        return;
    }
    Chunk3ds* fresh = nullptr;
    NewChunkTag3ds(&fresh, tag);
    if (!fresh) return;
    InsertChildChunk3ds(parent, fresh);
    *out = fresh;
}

void CopyChunk3ds(Chunk3ds* from, Chunk3ds** out) {
    if (!from || !out) {
        PushError3ds(ERR_INVALID_ARG);
        if (out) *out = nullptr;
        return;
    }
    *out = nullptr;
    try {
        *out = CopyTree(from).release();
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

ChunkData3ds* NewChunkWithData3ds(Chunk3ds** out, uint32_t tag) {
    NewChunkTag3ds(out, tag);
    if (!out || !*out) return nullptr;
    return AllocChunkData3ds(*out);
}

ChunkData3ds* ReadChunkData3ds(Chunk3ds* chunk) {
    if (!chunk) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    if (chunk->data || chunk->readIndex == kNoFile3ds || IsContainerTag3ds(chunk->tag))
        return chunk->data.get();
    File3ds* source = SourceFile(chunk);
    if (!source || chunk->sourceSize < kChunkHeaderSize3ds) {
        // The file the chunk was read from is gone: its data can't be loaded.
        PushError3ds(ERR_READING_FILE);
        return nullptr;
    }
    File3ds* previous = GetCurrentFile3ds();
    size_t previousLimit = source->readLimit;
    SetCurrentFile3ds(source);
    source->readLimit = size_t(chunk->position) + chunk->sourceSize;
    FileSeek3ds(chunk->position + kChunkHeaderSize3ds);
    chunk->data = DecodeChunkData3ds(chunk->tag, chunk->sourceSize - kChunkHeaderSize3ds);
    source->readLimit = previousLimit;
    SetCurrentFile3ds(previous);
    return chunk->data.get();
}

void DropChunkData3ds(Chunk3ds* chunk) {
    if (!chunk) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (SourceFile(chunk)) chunk->data.reset();
}

int ChunkOrderRank3ds(uint32_t tag) {
    switch (tag) {
    case 0x0000: return 35;
    case 0x2D2D: return 34;
    case 0x2D3D: return 33;
    case 0x4D4D: return 32;
    case 0x0002: return 31;
    case 0x3D3D: return 30;
    case 0xB000: return 29;
    case 0x0011: return 28;
    case 0x0012: return 27;
    case 0x3D3E: return 26;
    case 0xAFFF: return 25;
    case 0xB00A: return 24;
    case 0x0100: return 23;
    case 0x7001: return 22;
    case 0x1400: return 21;
    case 0x1420: return 20;
    case 0x1450: return 19;
    case 0x1460: return 18;
    case 0x1500: return 17;
    case 0x2100: return 16;
    case 0x1200: return 15;
    case 0x1100: return 14;
    case 0x1300: return 13;
    case 0x1101: case 0x1201: case 0x1301: return 12;
    case 0x2200: return 11;
    case 0x2302: return 10;
    case 0x2300: return 9;
    case 0x3000: return 8;
    case 0x4000: return 7;
    case 0xB008: return 6;
    case 0xB009: return 5;
    case 0xB002: case 0xB003: case 0xB004: case 0xB006: case 0xB007: return 4;
    case 0xB001: return 3;
    case 0x4100: case 0x4600: case 0x4700: return 2;
    case 0x4010: return 1;
    default: return 0;
    }
}

void InitNameList3ds(NameList3ds** list, uint32_t count) {
    if (!list) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    try {
        if (!*list) *list = std::make_unique<NameList3ds>().release();
        (*list)->list.assign(count, NameListEntry3ds());
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void ReleaseNameList3ds(NameList3ds** list) {
    if (!list || !*list) return;
    std::unique_ptr<NameList3ds> owned(*list);
    *list = nullptr;
}

void InitStringList3ds(StringList3ds** list, uint32_t count) {
    if (!list) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    try {
        if (!*list) *list = std::make_unique<StringList3ds>().release();
        (*list)->list.assign(count, std::string());
        (*list)->list.reserve(count ? count : 5);
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void ReleaseStringList3ds(StringList3ds** list) {
    if (!list) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!*list) return;
    std::unique_ptr<StringList3ds> owned(*list);
    *list = nullptr;
}

}  // namespace lithoscope

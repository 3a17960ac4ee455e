// Save preparation: the object model written back into the level's flat arrays. Every
// texture the objects, rooms and animated textures use is repacked into fresh object
// pages and renumbered; meshes, moveables, static meshes, sprites, items and sounds
// replace their arrays.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

#include "level/Fragment.h"
#include "level/LevelLog.h"
#include "level/LevelProgress.h"
#include "level/ObjectModel.h"
#include "level/Pixels.h"
#include "level/SavePrepInternal.h"
#include "level/SoundList.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

constexpr size_t kRoomRectangleWord = 8;
constexpr size_t kRoomTriangleWord = 6;

bool FourthCornerEmpty(const TrObjectTextureRecord& t) {
    const uint8_t* c = t.corner(3);
    return c[0] == 0 && c[1] == 0 && c[2] == 0 && c[3] == 0;
}

template <class F>
void ForEachRoomFaceWord(CTrLevel& level, F f) {
    for (TrRoomRecord& room : level.rooms) {
        for (TrRoomRectangle& q : room.rectangles) f(&q.b[kRoomRectangleWord]);
        for (TrRoomTriangle& t : room.triangles) f(&t.b[kRoomTriangleWord]);
    }
}

template <class F>
void ForEachAnimatedMember(std::vector<uint16_t>& words, F f) {
    if (words.empty()) return;
    const size_t ranges = words[0];
    size_t pos = 1;
    for (size_t r = 0; r < ranges && pos < words.size(); ++r) {
        const size_t count = size_t(words[pos++]) + 1;
        for (size_t j = 0; j < count && pos < words.size(); ++j) f(words[pos++]);
    }
}

// Sprite sequences and sprite textures from the sprite lists, whose texture records the
// packer has moved onto the new object pages.
void WriteSprites(CTrLevel& level, ILevelProgress* progress, uint32_t& repackPos) {
    const bool tr4 = level.version == TrVersion4;
    std::vector<TrSpriteSequenceRecord> sequences;
    std::vector<TrSpriteTextureRecord> sprites;
    for (const auto& list : level.spriteList) {
        if (!list) continue;
        TrSpriteSequenceRecord seq;
        seq.setS32(0, list->objectId);
        seq.setS16(4, int16_t(-int32_t(Fits(list->sprites.size(), 0x7FFF, "sprites of a sequence"))));
        seq.setS16(6, int16_t(Fits(sprites.size(), 0x7FFF, "first sprite of a sequence")));
        sequences.push_back(seq);
        for (const TrSpriteFrameRecord& frame : list->sprites) {
            TrSpriteTextureRecord s;
            const unsigned g = uint16_t(frame.textureIndex());
            if (g >= list->textures.size()) {
                AppendLogLine(StrFormat("Sprite sequence %d: a sprite uses texture %u of %u; "
                                        "written empty",
                                        int(list->objectId), g, unsigned(list->textures.size())),
                              true);
                sprites.push_back(s);
                continue;
            }
            const TrObjectTextureRecord& t = list->textures[g];
            const int x0 = t.corner(0)[1], y0 = t.corner(0)[3];
            const int w = int(t.corner(1)[1]) - x0;
            const int h = int(t.corner(2)[3]) - y0;
            if (tr4) {
                s.setU16(0, Fits16(uint32_t(t.page()) + level.roomPageCount, "page of a sprite"));
                s.setU8(2, frame.sourceX());
                s.setU8(3, frame.sourceY());
                s.setU16(4, uint16_t(w << 8));
                s.setU16(6, uint16_t(h << 8));
                s.setS16(8, int16_t(x0));
                s.setS16(10, int16_t(y0));
                s.setS16(12, int16_t(x0 + w + 1));
                s.setS16(14, int16_t(y0 + h + 1));
            } else {
                s.setU16(0, t.page());
                s.setU8(2, uint8_t(x0));
                s.setU8(3, uint8_t(y0));
                s.setU16(4, uint16_t(w * 256 + 255));
                s.setU16(6, uint16_t(h * 256 + 255));
                s.setS16(8, frame.left());
                s.setS16(10, frame.top());
                s.setS16(12, frame.right());
                s.setS16(14, frame.bottom());
            }
            sprites.push_back(s);
        }
        if (progress) progress->SetRepackPos(++repackPos);
    }
    level.spriteSequences = std::move(sequences);
    level.spriteTextures = std::move(sprites);
}

// Every texel of the fragments without a file pixel that fits gets the one the save writes
// for it (Tomb Raider I: with the colour its index loads as), in copies of its source: merges
// then compare what the file will hold, and the level loaded from it merges alike.
void SettleFilePixels(CTrLevel& level, std::vector<CFragment>& fragments, FilePixelPlanes& planes,
                      std::vector<std::vector<uint16_t>>& sourcePages,
                      std::vector<std::vector<uint32_t>>& sourcePlanes, uint64_t& charged) {
    const int version = level.version;
    std::unordered_map<const uint16_t*, std::vector<CFragment*>> bySource;
    std::vector<const uint16_t*> sources;  // in fragment order
    for (CFragment& f : fragments) {
        if (f.references.empty() || !f.pixels || f.stride <= 0 || f.sourceRows <= 0) continue;
        std::vector<CFragment*>& users = bySource[f.pixels];
        if (users.empty()) sources.push_back(f.pixels);
        users.push_back(&f);
    }
    CPage8Indexer indexer(level.palette, version == TrVersion1, level.colourIndices);
    uint16_t colours[256];
    Tr1EntryColours(level.palette, colours);
    colours[0] = 0;
    for (const uint16_t* source : sources) {
        const std::vector<CFragment*>& users = bySource[source];
        const size_t stride = size_t(users[0]->stride), n = stride * size_t(users[0]->sourceRows);
        auto found = planes.find(source);
        const uint32_t* plane = found == planes.end() ? nullptr : found->second;
        // Calls f(i) for every texel of the users, while it returns true.
        auto texels = [&](auto f) {
            for (const CFragment* u : users)
                for (int y = std::max<int>(u->y1, 0); y <= u->y2 && y < u->sourceRows; ++y)
                    for (int x = std::max<int>(u->x1, 0); x <= u->x2 && size_t(x) < stride; ++x)
                        if (!f(size_t(y) * stride + size_t(x))) return;
        };
        auto fits = [&](size_t i) { return plane && FilePixelFits(version, plane[i], source[i]); };
        bool settled = true;
        texels([&](size_t i) { return settled = fits(i); });
        if (settled) continue;
        // Copies until the pages are packed.
        const uint64_t bytes = n * (sizeof(uint32_t) + (version == TrVersion1 ? sizeof(uint16_t) : 0));
        level.memory.Charge(bytes, "the texture copies");
        charged += bytes;
        std::vector<uint32_t> filled(n, 0);
        if (plane) std::copy(plane, plane + n, filled.begin());
        std::vector<uint16_t> pixels;
        if (version == TrVersion1) pixels.assign(source, source + n);
        texels([&](size_t i) {
            if (fits(i)) return true;
            const uint16_t px = source[i];
            if (version == TrVersion4) {
                // B, G, R, A as the 32-bit pages are made from the 16-bit ones.
                filled[i] = uint32_t((px & 31) << 3) | uint32_t(((px >> 5) & 31) << 3) << 8 |
                            uint32_t(((px >> 10) & 31) << 3) << 16 |
                            ((px & 0x8000) ? 0xFF000000u : 0);
            } else {
                const uint8_t index = indexer(px);
                const uint16_t loads = version == TrVersion1 ? colours[index] : px;
                if (version == TrVersion1) pixels[i] = loads;
                filled[i] = IndexFilePixel(loads, index);
            }
            return true;
        });
        const uint16_t* settledSource = source;
        if (version == TrVersion1) {
            sourcePages.push_back(std::move(pixels));
            settledSource = sourcePages.back().data();
        }
        sourcePlanes.push_back(std::move(filled));
        planes[settledSource] = sourcePlanes.back().data();
        for (CFragment* u : users) u->pixels = settledSource;
    }
}

// How the mesh of pointer 0 takes part in the packing: it is written when a slot is saved
// as pointer 0, and a load of the file has it only then.
enum class ZeroMeshUse {
    Packed,     // none, or written for certain (a dummy or an empty static mesh names it)
    Left,       // no slot can name it: not written, not packed
    Undecided,  // only slots that show it (KeepsZeroMesh) may name it: decided by the packing
};

ZeroMeshUse ZeroMeshUseOf(const CTrLevel& level, const SaveArrays& arrays) {
    if (!level.zeroMesh || level.zeroMesh->meshes.empty()) return ZeroMeshUse::Packed;
    bool showing = false;
    for (const auto& mv : level.moveableList) {
        if (!mv) continue;
        for (size_t i = 0; i < mv->meshes.size(); ++i) {
            if (mv->meshes[i].dummy) return ZeroMeshUse::Packed;
            if (KeepsZeroMesh(arrays.version, mv->objectId, i)) showing = true;
        }
    }
    for (const auto& s : level.staticMeshList)
        if (s && (s->meshes.empty() || s->meshes[0].dummy)) return ZeroMeshUse::Packed;
    return showing ? ZeroMeshUse::Undecided : ZeroMeshUse::Left;
}

// The slots that show the mesh of pointer 0 and hold it as the packing will number it are
// saved as pointer 0. When none is, the mesh is not written, and its uses (the last ones
// added) leave the fragments.
void DecideZeroSlots(CTrLevel& level, SaveArrays& arrays, std::vector<CFragment>& fragments) {
    const std::unordered_map<const void*, uint32_t> numbers = CFragment::FaceNumbers(fragments);
    const TrMeshRecord& zero = level.zeroMesh->meshes[0];
    bool used = false;
    for (const auto& mv : level.moveableList) {
        if (!mv) continue;
        std::vector<bool>& slots = arrays.zeroSlots[mv.get()];
        slots.assign(mv->meshes.size(), false);
        for (size_t i = 0; i < mv->meshes.size(); ++i)
            if (KeepsZeroMesh(arrays.version, mv->objectId, i) &&
                arrays.SameOnceNumbered(mv->meshes[i], zero, numbers))
                used = slots[i] = true;
    }
    arrays.zeroDecided = true;
    if (used) return;
    std::unordered_set<const void*> owners;
    for (TrMeshRecord& m : level.zeroMesh->meshes) {
        for (TrMeshRectangle& r : m.texturedRectangles) owners.insert(&r.b[8]);
        for (TrMeshTriangle& t : m.texturedTriangles) owners.insert(&t.b[6]);
    }
    for (CFragment& f : fragments)
        f.references.erase(std::remove_if(f.references.begin(), f.references.end(),
                                          [&](const FragmentRef& r) {
                                              return r.kind == FragFace && owners.count(r.owner);
                                          }),
                           f.references.end());
}

void Prepare(CTrLevel& level, ILevelProgress* progress, bool keepUnused, LevelSaveRollback& rollback) {
    const bool tr4 = level.version == TrVersion4;
    const uint32_t repackRange = uint32_t(level.staticMeshList.size() + 2 * level.moveableList.size() +
                                          level.spriteList.size() + 6);
    if (progress) progress->SetRepackRange(repackRange);
    uint32_t repackPos = 0;

    // Faces that were coloured in the file are so again; their swatches are not packed.
    // Tomb Raider IV has no coloured faces: those of objects from the other editions stay on
    // the swatches, and what the palette tile keeps on them is not written.
    if (tr4)
        ClearPaletteTileFaceMarks(level);
    else
        RestoreColouredFaces(level);

    // The moveables' animations first: nothing in them moves with the textures, and a level
    // that keeps no copy lets go of its keys before the pages are packed.
    SaveArrays arrays(level.version);
    for (const auto& mv : level.moveableList) {
        if (!mv) continue;
        arrays.AddMoveableAnimations(*mv);
        if (!rollback.KeepsCopy()) mv->animations = std::make_unique<CAnimMgr>();
    }
    arrays.FinishAnimations();

    // Fragments of every texture use, the unused textures when they are kept. The mesh of
    // pointer 0 is packed only when it is written: a load of the file has it only then.
    const ZeroMeshUse zeroUse = ZeroMeshUseOf(level, arrays);
    std::vector<std::vector<uint16_t>> sourcePages;
    std::vector<std::vector<uint32_t>> sourcePlanes;
    FilePixelPlanes planes;
    ObjPtr<CTrLstMsh> zeroMeshApart;
    if (zeroUse != ZeroMeshUse::Packed) zeroMeshApart = std::move(level.zeroMesh);
    std::vector<CFragment> fragments =
        CFragment::CollectLevelFragments(level, sourcePages, &planes, &sourcePlanes);
    if (zeroMeshApart) level.zeroMesh = std::move(zeroMeshApart);
    if (keepUnused) {
        for (const TrObjectTextureRecord& t : level.unusedObjectTextures) {
            const unsigned tile = t.page() & 0xFF;
            if (tile >= level.pages.size()) {
                AppendLogLine(StrFormat("ERROR: unused texture on page %u past the %u pages, "
                                        "dropped",
                                        tile, unsigned(level.pages.size())),
                              true);
                continue;
            }
            const bool triangle = tr4 ? (t.page() & 0x8000) != 0 : FourthCornerEmpty(t);
            CFragment::Add(fragments, t, triangle ? 3 : 4, 0, nullptr, false,
                           level.pages[tile].data(), 256, 256, false);
        }
    }
    // What the packing copies and makes is charged to the level's memory; the copies and
    // the pages replaced are given back.
    uint64_t copies = 0;
    struct Copies {
        LevelMemory& memory;
        uint64_t& bytes;
        ~Copies() { memory.Refund(bytes); }
    } giveBack{level.memory, copies};
    // Undecided: after every other use, so that dropping its uses leaves the others as a
    // packing without it would have them.
    if (zeroUse == ZeroMeshUse::Undecided)
        CFragment::AddObjectFaces(*level.zeroMesh, fragments, nullptr, sourcePages, &planes,
                                  &sourcePlanes);
    SettleFilePixels(level, fragments, planes, sourcePages, sourcePlanes, copies);
    // Tomb Raider I to III records end before byte 22: what memory keeps there (the palette
    // tile's marks, imported sizes) must not keep apart textures the file holds alike. Tomb
    // Raider IV writes those bytes: only the palette tile's mark goes.
    for (CFragment& f : fragments)
        for (FragmentRef& ref : f.references) {
            if (tr4)
                ClearPaletteTileMark(ref.texture);
            else
                std::fill(ref.texture.b.begin() + 22, ref.texture.b.end(), 0);
        }
    if (fragments.size() > 1) CFragment::SortBySize(fragments, 0, int(fragments.size()) - 1);
    CFragment::MergeDuplicates(fragments, &planes);
    if (zeroUse == ZeroMeshUse::Undecided) DecideZeroSlots(level, arrays, fragments);
    std::vector<TrPage> packed;
    std::vector<std::vector<uint32_t>> packedFile;
    // Tomb Raider I files hold no 16-bit pages: free texels take the colour of the index
    // the file gets for white, the one a load of the file gives them.
    uint16_t freePixel = 0xFFFF;
    uint32_t freeFilePixel = 0;
    if (level.version == TrVersion1) {
        CPage8Indexer indexer(level.palette, true, level.colourIndices);
        uint16_t colours[256];
        Tr1EntryColours(level.palette, colours);
        const uint8_t index = indexer(freePixel);
        freePixel = colours[index];
        freeFilePixel = IndexFilePixel(freePixel, index);
    }
    // The pages held for this packing since the objects were built are the packed pages'.
    level.memory.Refund(level.objectTally.packedPages);
    level.objectTally.bytes -= std::min(level.objectTally.bytes, level.objectTally.packedPages);
    level.objectTally.packedPages = 0;
    const uint32_t made = CFragment::BuildPagesFromFragments(fragments, packed, packedFile, &planes,
                                                             freePixel, freeFilePixel, &level.memory);
    const uint16_t oldObjectPages = level.objectPageCount;
    const uint32_t oldPageCount = level.pageCount();
    const uint32_t newObjectPages = uint32_t(packed.size());
    if (progress) progress->SetRepackPos(++repackPos);

    // Object textures: the packed ones, then the Tomb Raider IV room textures.
    const uint32_t m = made;
    Fits(uint64_t(m) + level.roomTextures.size(), 0x8000, "number of object textures");
    std::vector<TrObjectTextureRecord> textures = CFragment::Representatives(fragments);
    for (TrObjectTextureRecord& t : textures)
        t.setU16(2, uint16_t(t.page() + level.roomPageCount));
    if (!level.roomTextures.empty()) {
        // Room textures on object pages were repacked with them and their users (marked
        // 0x4000) now name the packed textures: the records go. The others follow the
        // packed textures in their order.
        const unsigned firstObjectPage = level.roomPageCount;
        const unsigned endObjectPage = firstObjectPage + oldObjectPages;
        std::vector<uint32_t> remap(level.roomTextures.size());
        for (size_t i = 0; i < level.roomTextures.size(); ++i) {
            TrObjectTextureRecord t = level.roomTextures[i];
            const unsigned tile = t.page() & 0x7FFF;
            remap[i] = m + uint32_t(textures.size() - m);
            if (tile >= firstObjectPage && tile < endObjectPage) continue;
            if (t.page() & 0x4000)
                t.setU16(2, uint16_t((t.page() & ~0x4000) + newObjectPages));
            textures.push_back(t);
        }
        auto roomIndex = [&](uint16_t index) {
            return index < remap.size() ? remap[index] : uint32_t(index) + m;
        };
        ForEachRoomFaceWord(level, [&](uint8_t* word) {
            const uint16_t w = GetU16(word);
            PutU16(word, (w & 0x4000) ? uint16_t(w & ~0x4000)
                                      : uint16_t((w & 0x8000) | (roomIndex(w & 0x3FFF) & 0x7FFF)));
        });
        ForEachAnimatedMember(level.animatedTextures, [&](uint16_t& member) {
            member = (member & 0x4000) ? uint16_t(member & ~0x4000) : uint16_t(roomIndex(member));
        });
        std::vector<TrObjectTextureRecord>().swap(level.roomTextures);
    }
    for (TrObjectTextureRecord& t : textures) {
        if (tr4) {
            ReplaceCoordinateBytes(t, 1, 0);
        } else {
            t.setU16(2, uint16_t(t.page() & 0x7FFF));
        }
    }
    level.objectTextures = std::move(textures);

    // Pages: room pages, the new object pages, bump pages.
    {
        // Each page moves with its file pixels; the new object pages take the packed ones.
        std::vector<TrPage> pages;
        std::vector<std::vector<uint32_t>> filePixels;
        auto keep = [&](size_t p) {
            pages.push_back(std::move(level.pages[p]));
            filePixels.push_back(p < level.pageFilePixels.size() ? std::move(level.pageFilePixels[p])
                                                                 : std::vector<uint32_t>());
        };
        const size_t roomPages = tr4 ? std::min<size_t>(level.roomPageCount, level.pages.size()) : 0;
        pages.reserve(roomPages + newObjectPages + (tr4 ? level.bumpPageCount : 0));
        for (size_t p = 0; p < roomPages; ++p) keep(p);
        for (uint32_t k = 0; k < newObjectPages; ++k) {
            pages.push_back(std::move(packed[k]));
            filePixels.push_back(std::move(packedFile[k]));
        }
        if (tr4) {
            const size_t bumpStart = size_t(level.roomPageCount) + oldObjectPages;
            for (size_t p = bumpStart; p < level.pages.size(); ++p) keep(p);
        }
        // The pages not kept go (a level that keeps a copy holds them there).
        const uint64_t kept = pages.size() - newObjectPages;
        level.memory.Refund((oldPageCount > kept ? oldPageCount - kept : 0) *
                            uint64_t(kPage16Bytes + kPage32Bytes));
        level.pages = std::move(pages);
        level.pageFilePixels = std::move(filePixels);
        level.objectPageCount = Fits16(newObjectPages, "number of object pages");
    }
    // The packing is done with: its buffers go before the arrays are written.
    std::vector<CFragment>().swap(fragments);
    FilePixelPlanes().swap(planes);
    std::vector<std::vector<uint16_t>>().swap(sourcePages);
    std::vector<std::vector<uint32_t>>().swap(sourcePlanes);
    std::vector<TrPage>().swap(packed);
    std::vector<std::vector<uint32_t>>().swap(packedFile);
    level.memory.Refund(copies);
    copies = 0;
    if (!rollback.KeepsCopy()) {
        // Nothing goes back to the objects' own pages: what the save needs is packed.
        auto dropPage = [](CTrObjGfx& object) {
            std::vector<uint8_t>().swap(object.pixels);
            std::vector<uint32_t>().swap(object.filePixels);
        };
        for (auto& m : level.moveableList)
            if (m) dropPage(*m);
        for (auto& s : level.staticMeshList)
            if (s) dropPage(*s);
        for (auto& s : level.spriteList)
            if (s) dropPage(*s);
        if (level.zeroMesh) dropPage(*level.zeroMesh);
    }
    if (progress) {
        progress->SetTileCounts(oldPageCount, level.pageCount());
        progress->SetRepackPos(repackPos = 5);
    }

    WriteSprites(level, progress, repackPos);

    // Meshes, moveables, static meshes. Pointer 0 names the mesh at offset 0, which the
    // games show for it: the level's own mesh of pointer 0, else an empty mesh. Nothing
    // else may stand there, as its pointer would read back as 0.
    if (level.zeroMesh && !level.zeroMesh->meshes.empty())
        arrays.zeroMesh = arrays.LevelForm(level.zeroMesh->meshes[0]);
    bool zeroUsed = false, othersStored = false;
    for (const auto& mv : level.moveableList)
        if (mv)
            for (size_t i = 0; i < mv->meshes.size(); ++i)
                (arrays.UsesZeroPointer(*mv, i) ? zeroUsed : othersStored) = true;
    for (const auto& s : level.staticMeshList)
        if (s) (s->meshes.empty() || s->meshes[0].dummy ? zeroUsed : othersStored) = true;
    if (zeroUsed && arrays.zeroMesh)
        arrays.meshes.push_back(std::make_unique<TrMeshRecord>(*arrays.zeroMesh));
    else if (zeroUsed || othersStored)
        arrays.meshes.push_back(std::make_unique<TrMeshRecord>());
    for (const auto& mv : level.moveableList) {
        if (!mv) continue;
        arrays.AddMoveable(*mv);
        if (progress) progress->SetRepackPos(repackPos += 2);
    }
    for (const auto& s : level.staticMeshList) {
        if (!s) continue;
        arrays.AddStaticMesh(*s);
        if (progress) progress->SetRepackPos(++repackPos);
    }
    level.meshes = std::move(arrays.meshes);
    level.meshPointers = std::move(arrays.meshPointers);
    level.zeroMeshEntry = zeroUsed ? 0 : CTrLevel::kNoZeroMesh;
    level.animations = std::move(arrays.animations);
    level.stateChanges = std::move(arrays.stateChanges);
    level.animDispatches = std::move(arrays.animDispatches);
    level.animCommands = std::move(arrays.animCommands);
    level.meshTrees = std::move(arrays.meshTrees);
    level.frames = std::move(arrays.frames);
    level.moveables = std::move(arrays.moveables);
    level.staticMeshes = std::move(arrays.staticMeshes);

    level.items = level.itemList;
    if (level.soundList) level.soundsLeftOut = level.soundList->WriteToLevel(level);

    rollback.RetireObjectModel();
    if (progress) progress->SetRepackPos(repackRange);
}

}  // namespace

std::unique_ptr<LevelSaveRollback> PrepareLevelForSave(CTrLevel& level, ILevelProgress* progress,
                                                       bool keepUnused) {
    // A level dropped after the save (the batch run) needs no copy to go back to.
    auto rollback = std::make_unique<LevelSaveRollback>(level, level.rebuildAfterSave);
    // A level never built (loaded without its objects) is written as it stands.
    if (!level.soundList) return rollback;
    try {
        Prepare(level, progress, keepUnused, *rollback);
    } catch (...) {
        rollback->Restore();
        throw;
    }
    return rollback;
}

void CTrLevel::PrepareForSave(ILevelProgress* progress, bool keepUnused) {
    PrepareLevelForSave(*this, progress, keepUnused);
}

// ---- Rollback -------------------------------------------------------------------------

LevelSaveRollback::LevelSaveRollback(CTrLevel& level, bool keepCopy)
    : level_(level), keepCopy_(keepCopy) {
    if (!keepCopy) return;
    pages_ = level.pages;
    pageFilePixels_ = level.pageFilePixels;
    rooms_ = level.rooms;
    meshes_.reserve(level.meshes.size());
    for (const auto& m : level.meshes) {
        if (!m) {
            meshes_.emplace_back();
            continue;
        }
        meshes_.push_back(std::make_unique<TrMeshRecord>(*m));
    }
    meshPointers_ = level.meshPointers;
    zeroMeshEntry_ = level.zeroMeshEntry;
    animations_ = level.animations;
    stateChanges_ = level.stateChanges;
    animDispatches_ = level.animDispatches;
    animCommands_ = level.animCommands;
    meshTrees_ = level.meshTrees;
    frames_ = level.frames;
    moveables_ = level.moveables;
    staticMeshes_ = level.staticMeshes;
    spriteSequences_ = level.spriteSequences;
    items_ = level.items;
    spriteTextures_ = level.spriteTextures;
    animatedTextures_ = level.animatedTextures;
    objectTextures_ = level.objectTextures;
    roomTextures_ = level.roomTextures;
    unusedObjectTextures_ = level.unusedObjectTextures;
    soundMap_.assign(level.soundMap, level.soundMap + 2048);
    soundDetails_ = level.soundDetails;
    sampleIndices_ = level.sampleIndices;
    objectPageCount_ = level.objectPageCount;

    auto faces = [](const CTrLstMsh& object) {
        std::vector<MeshFaces> out;
        out.reserve(object.meshes.size());
        for (const TrMeshRecord& m : object.meshes)
            out.push_back({m.texturedRectangles, m.texturedTriangles, m.colouredRectangles,
                           m.colouredTriangles});
        return out;
    };
    for (const auto& mv : level.moveableList) moveableFaces_.push_back(mv ? faces(*mv) : std::vector<MeshFaces>());
    for (const auto& s : level.staticMeshList) {
        std::vector<MeshFaces> f = s ? faces(*s) : std::vector<MeshFaces>();
        staticFaces_.push_back(f.empty() ? MeshFaces() : std::move(f[0]));
    }
    for (const auto& s : level.spriteList)
        spriteTextureRecords_.push_back(s ? s->textures : std::vector<TrObjectTextureRecord>());
    if (level.zeroMesh) zeroMeshFaces_ = faces(*level.zeroMesh);
}

LevelSaveRollback::~LevelSaveRollback() = default;

void LevelSaveRollback::RetireObjectModel() {
    if (retired_) return;
    moveableList_ = std::move(level_.moveableList);
    staticMeshList_ = std::move(level_.staticMeshList);
    spriteList_ = std::move(level_.spriteList);
    itemList_ = std::move(level_.itemList);
    soundList_ = std::move(level_.soundList);
    zeroMesh_ = std::move(level_.zeroMesh);
    level_.moveableList.clear();
    level_.staticMeshList.clear();
    level_.spriteList.clear();
    level_.itemList.clear();
    std::vector<TrObjectTextureRecord>().swap(level_.unusedObjectTextures);
    retired_ = true;
    if (!keepCopy_) {
        std::vector<ObjPtr<CTrMvb>>().swap(moveableList_);
        std::vector<ObjPtr<CTrStatMsh>>().swap(staticMeshList_);
        std::vector<ObjPtr<CTrLstSpr>>().swap(spriteList_);
        std::vector<TrItemRecord>().swap(itemList_);
        soundList_.reset();
        zeroMesh_.reset();
    }
    // The objects are no longer the level's: what they took is free for the save and the
    // objects built after it.
    retiredBytes_ = level_.objectTally.bytes;
    level_.memory.Refund(retiredBytes_);
    level_.objectTally.bytes = 0;
}

void LevelSaveRollback::Restore() {
    if (restored_ || !keepCopy_) return;
    restored_ = true;
    CTrLevel& l = level_;
    l.pages = std::move(pages_);
    l.pageFilePixels = std::move(pageFilePixels_);
    l.rooms = std::move(rooms_);
    l.meshes = std::move(meshes_);
    l.meshPointers = std::move(meshPointers_);
    l.zeroMeshEntry = zeroMeshEntry_;
    l.animations = std::move(animations_);
    l.stateChanges = std::move(stateChanges_);
    l.animDispatches = std::move(animDispatches_);
    l.animCommands = std::move(animCommands_);
    l.meshTrees = std::move(meshTrees_);
    l.frames = std::move(frames_);
    l.moveables = std::move(moveables_);
    l.staticMeshes = std::move(staticMeshes_);
    l.spriteSequences = std::move(spriteSequences_);
    l.items = std::move(items_);
    l.spriteTextures = std::move(spriteTextures_);
    l.animatedTextures = std::move(animatedTextures_);
    l.objectTextures = std::move(objectTextures_);
    l.roomTextures = std::move(roomTextures_);
    l.unusedObjectTextures = std::move(unusedObjectTextures_);
    std::copy(soundMap_.begin(), soundMap_.end(), l.soundMap);
    l.soundDetails = std::move(soundDetails_);
    l.sampleIndices = std::move(sampleIndices_);
    l.objectPageCount = objectPageCount_;
    if (retired_) {
        l.memory.Keep(retiredBytes_);
        l.objectTally.bytes = retiredBytes_;
        l.moveableList = std::move(moveableList_);
        l.staticMeshList = std::move(staticMeshList_);
        l.spriteList = std::move(spriteList_);
        l.itemList = std::move(itemList_);
        l.soundList = std::move(soundList_);
        l.zeroMesh = std::move(zeroMesh_);
    }

    // The repacking rewrote the objects' face words and sprite textures.
    auto putFaces = [](CTrLstMsh& object, std::vector<MeshFaces>& saved) {
        for (size_t i = 0; i < object.meshes.size() && i < saved.size(); ++i) {
            object.meshes[i].texturedRectangles = std::move(saved[i].rectangles);
            object.meshes[i].texturedTriangles = std::move(saved[i].triangles);
            object.meshes[i].colouredRectangles = std::move(saved[i].colouredRectangles);
            object.meshes[i].colouredTriangles = std::move(saved[i].colouredTriangles);
        }
    };
    for (size_t i = 0; i < l.moveableList.size() && i < moveableFaces_.size(); ++i)
        if (l.moveableList[i]) putFaces(*l.moveableList[i], moveableFaces_[i]);
    for (size_t i = 0; i < l.staticMeshList.size() && i < staticFaces_.size(); ++i) {
        if (!l.staticMeshList[i] || l.staticMeshList[i]->meshes.empty()) continue;
        std::vector<MeshFaces> one(1);
        one[0] = std::move(staticFaces_[i]);
        putFaces(*l.staticMeshList[i], one);
    }
    if (l.zeroMesh) putFaces(*l.zeroMesh, zeroMeshFaces_);
    for (size_t i = 0; i < l.spriteList.size() && i < spriteTextureRecords_.size(); ++i)
        if (l.spriteList[i]) l.spriteList[i]->textures = std::move(spriteTextureRecords_[i]);
}

}  // namespace lithoscope

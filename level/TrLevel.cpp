#include "level/TrLevel.h"

#include <cstring>

#include "level/LevelErrors.h"
#include "level/SoundList.h"
#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

namespace lithoscope {

template <>
void ObjDeleter<CTrMvb>::operator()(CTrMvb* p) const { delete p; }
template <>
void ObjDeleter<CTrLstMsh>::operator()(CTrLstMsh* p) const { delete p; }
template <>
void ObjDeleter<CTrStatMsh>::operator()(CTrStatMsh* p) const { delete p; }
template <>
void ObjDeleter<CTrLstSpr>::operator()(CTrLstSpr* p) const { delete p; }
template <>
void ObjDeleter<CTrSoundList>::operator()(CTrSoundList* p) const { delete p; }

namespace {
template <class V>
void Release(V& v) {
    V().swap(v);
}
}  // namespace

std::string MoreThanALevelHolds(uint64_t bytes, const char* what) {
    return StrFormat("%s: %llu bytes, more than a level holds (at most %llu)", what,
                     static_cast<unsigned long long>(bytes),
                     static_cast<unsigned long long>(kMaxLevelBytes));
}

void LevelMemory::Charge(uint64_t bytes, const char* what) {
    if (bytes > kMaxLevelMemory || held_ > kMaxLevelMemory - bytes)
        throw LevelError(StrFormat("%s would take the level to more than %llu MB of memory, "
                                   "more than any level takes: counts or sizes are damaged",
                                   what, static_cast<unsigned long long>(kMaxLevelMemory >> 20)));
    held_ += bytes;
    if (held_ > peak_) peak_ = held_;
}

CTrLevel::CTrLevel() = default;

CTrLevel::~CTrLevel() { Free(); }

std::unordered_map<const uint16_t*, const uint32_t*> CTrLevel::FilePlanes() const {
    std::unordered_map<const uint16_t*, const uint32_t*> planes;
    for (size_t p = 0; p < pages.size() && p < pageFilePixels.size(); ++p)
        if (pageFilePixels[p].size() == kPagePixels && pages[p].size() == kPagePixels)
            planes[pages[p].data()] = pageFilePixels[p].data();
    return planes;
}

void CTrLevel::Free() {
    Release(pages);
    Release(pageFilePixels);
    Release(colourIndices);
    Release(rooms);
    Release(floorData);
    Release(meshes);
    Release(meshPointers);
    zeroMeshEntry = kNoZeroMesh;
    // The object model goes before the arrays it was built from.
    zeroMesh.reset();
    Release(moveableList);
    Release(staticMeshList);
    Release(spriteList);
    Release(itemList);
    Release(animations);
    Release(stateChanges);
    Release(animDispatches);
    Release(animCommands);
    Release(meshTrees);
    Release(frames);
    Release(moveables);
    Release(staticMeshes);
    Release(spriteSequences);
    Release(items);
    Release(spriteTextures);
    Release(animatedTextures);
    Release(objectTextures);
    Release(soundSources);
    Release(soundDetails);
    Release(sampleIndices);
    Release(sampleData);
    Release(cameras);
    Release(boxes);
    Release(overlaps);
    Release(zones);
    Release(aiObjects);
    Release(demoData);
    soundList.reset();
    Release(soundsLeftOut);
    Release(unusedObjectTextures);
    Release(samples);
    pages32Chunk.clear();
    pages16Chunk.clear();
    miscChunk.clear();
    Release(flybyCameras);
    Release(roomTextures);
    Release(trailing);

    version = TrVersionUnknown;
    std::memset(palette, 0, sizeof palette);
    std::memset(palette16, 0, sizeof palette16);
    std::memset(soundMap, 0, sizeof soundMap);
    std::memset(lightMap, 0, sizeof lightMap);
    roomPageCount = objectPageCount = bumpPageCount = 0;
    texMarkerByte = 0;
    soundMapMode = 0;
    path.clear();
    name.clear();
    isTub = 0;
    objectTally = ObjectModelTally();
    memory.Reset();
}

CTrMvb* CTrLevel::FindMoveable(int id) const {
    for (const auto& m : moveableList)
        if (m && m->objectId == id) return m.get();
    return nullptr;
}

CTrStatMsh* CTrLevel::FindStaticMesh(int id) const {
    for (const auto& s : staticMeshList)
        if (s && s->objectId == id) return s.get();
    return nullptr;
}

CTrLstSpr* CTrLevel::FindSpriteSequence(int id) const {
    for (const auto& s : spriteList)
        if (s && s->objectId == id) return s.get();
    return nullptr;
}

}  // namespace lithoscope

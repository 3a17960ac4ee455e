#pragma once
// Shared by the save preparation's files: the arrays being written and the checks that a
// value still fits its field.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "level/LevelErrors.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

class CTrMvb;
class CTrStatMsh;

// A value of `what` that must fit a field of at most max: else the save is refused.
inline uint32_t Fits(uint64_t value, uint64_t max, const char* what) {
    if (value > max)
        throw OverflowError(StrFormat("%s (%llu) no longer fits its field (at most %llu)", what,
                                      static_cast<unsigned long long>(value),
                                      static_cast<unsigned long long>(max)));
    return uint32_t(value);
}
inline uint16_t Fits16(uint64_t value, const char* what) { return uint16_t(Fits(value, 0xFFFF, what)); }

// Rounds towards zero into an int16, clamped to its range.
inline int16_t TruncS16(float v) {
    if (!(v > -32768.0f)) return -32768;  // also NaN
    if (v > 32767.0f) return 32767;
    return int16_t(v);
}

// The new mesh, animation and moveable arrays, filled object by object.
struct SaveArrays {
    explicit SaveArrays(int gameVersion) : version(gameVersion) {}

    // A mesh of an object as the level holds it: Tomb Raider I and II lights inverted
    // back, no display box, no marks.
    std::unique_ptr<TrMeshRecord> LevelForm(const TrMeshRecord& mesh) const;
    // Stores one mesh of an object: dummies are not stored and get pointer 0; the others a
    // copy in level form at the next index. Returns the pointer value.
    uint32_t StoreMesh(const TrMeshRecord& mesh);
    // Whether mesh slot i of the moveable is written as pointer 0: a dummy, or a slot that
    // shows the mesh of pointer 0 (KeepsZeroMesh) and holds that very mesh once packed
    // (zeroSlots, when zeroDecided, says so for the slots decided before the packing).
    bool UsesZeroPointer(const CTrMvb& moveable, size_t i) const;
    // Whether meshes a and b are the same in level form once the packing has numbered
    // their faces as numbers says (CFragment::FaceNumbers).
    bool SameOnceNumbered(const TrMeshRecord& a, const TrMeshRecord& b,
                          const std::unordered_map<const void*, uint32_t>& numbers) const;
    // One moveable: its animations, state changes, dispatches, commands and frames
    // (AddMoveableAnimations), then, in the same order of moveables, its record, mesh tree
    // and meshes (AddMoveable). Each part fills arrays of its own, so the animations of
    // every moveable can be written before any mesh.
    void AddMoveableAnimations(const CTrMvb& moveable);
    void AddMoveable(const CTrMvb& moveable);
    // One static mesh: its mesh and record.
    void AddStaticMesh(const CTrStatMsh& staticMesh);
    // Next frames of animations and dispatches made absolute.
    void FinishAnimations();

    int version;
    // The mesh of pointer 0 in level form, when the level has one.
    std::unique_ptr<TrMeshRecord> zeroMesh;
    bool zeroDecided = false;
    std::map<const CTrMvb*, std::vector<bool>> zeroSlots;
    std::vector<std::unique_ptr<TrMeshRecord>> meshes;
    std::vector<uint32_t> meshPointers;
    std::vector<TrAnimationRecord> animations;
    std::vector<TrStateChangeRecord> stateChanges;
    std::vector<TrAnimDispatchRecord> animDispatches;
    // The first animation of the moveable of each animation and dispatch, for its links.
    std::vector<uint32_t> linkFirst, dispatchFirst;
    // Where each moveable's animations went, in the order they were added: the record's
    // frame offset and first animation word.
    struct AnimationPlace {
        uint32_t frameOffset;
        uint16_t firstAnimation;
    };
    std::vector<AnimationPlace> animationPlaces;
    size_t movablesPlaced = 0;
    // Scratch of AddMoveableAnimations: one track's frame words, and where each key ends.
    std::vector<int16_t> keyWords;
    std::vector<size_t> keyEnds;
    std::vector<int16_t> animCommands;
    std::vector<int32_t> meshTrees;
    std::vector<int16_t> frames;
    std::vector<TrMoveableRecord> moveables;
    std::vector<TrStaticMeshRecord> staticMeshes;
};

}  // namespace lithoscope

#pragma once
// Moveables (.trmvb): a mesh list with the mesh tree that places each mesh relative to its
// parent, the animations (a CAnimMgr of CTRAnimTrack) and the sounds they play.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "level/Anim.h"
#include "level/GameCatalog.h"
#include "level/SoundList.h"
#include "level/TrAnimData.h"
#include "level/TrLstMsh.h"

namespace lithoscope {

class CTrLevel;

// Places mesh i (entry i - 1) relative to its parent, in level axes.
struct TrMeshTreeEntry {
    static constexpr size_t kSize = 16;
    static constexpr int32_t kPop = 1;   // take the parent position from the stack first
    static constexpr int32_t kPush = 2;  // save the parent position before placing
    int32_t flags = 0;
    int32_t dx = 0;
    int32_t dy = 0;
    int32_t dz = 0;
    bool operator==(const TrMeshTreeEntry& o) const {
        return flags == o.flags && dx == o.dx && dy == o.dy && dz == o.dz;
    }
};

// Whether mesh slot meshIndex of a moveable with that id shows the mesh its pointer 0
// names, rather than being a dummy: Lara's meshes before Tomb Raider III, and mesh 1 of
// object 1 from Tomb Raider III on.
bool KeepsZeroMesh(int32_t gameVersion, int32_t objectId, size_t meshIndex);

class CTrMvb;
// Words a frame may take in a level: its size is a byte. Tomb Raider I frames count their
// rotations in a word of their own and have no such bound.
constexpr size_t kMaxFrameWords = 255;
// Words the longest frame of the moveable's animations would take in a level of that
// version with meshCount meshes: a box, the root offset, then each rotation in one word or
// two (a rotation the frame lacks in two). 0 for Tomb Raider I and for no frame.
size_t LongestFrameWords(int32_t gameVersion, const CTrMvb& moveable, size_t meshCount);

class CTrMvb : public CTrLstMsh {
public:
    static constexpr uint8_t kFormat = 3;
    static constexpr int32_t kFileGameVersion = 4;
    // Positions the bounding-box walk can save.
    static constexpr int kTreeStackDepth = 3;

    // An empty moveable: format 3, kind 3, game version 4, no meshes, an empty animation
    // manager and sound list.
    CTrMvb();
    // From a .trmvb image. Any header loads (the moveable reports format 3, kind 3, game
    // version 4); a short, lying or damaged image throws a LevelError.
    explicit CTrMvb(const std::vector<uint8_t>& buffer);
    explicit CTrMvb(ByteReader&& in);
    // From a level's moveable record: meshes with their own page, mesh tree, every
    // animation decoded and checked, the sounds of its play-sound commands. Repairs are
    // logged in the level log. With a catalog, the moveable's entry is attached.
    CTrMvb(const TrMoveableRecord& record, CTrLevel& level, CGameCatalog* catalog = nullptr);
    ~CTrMvb() override;
    CTrMvb(const CTrMvb&) = delete;
    CTrMvb& operator=(const CTrMvb&) = delete;

    static std::unique_ptr<CTrMvb> LoadFile(const std::string& path) {
        return LoadObjectFile<CTrMvb>(path);
    }

    int GetSize() const override;
    void Clear(bool chain) override;
    // The box over the mesh tree (meshIndex -1: all meshes placed by the tree; otherwise
    // that mesh's own box).
    void GetBoundingBox(BoundingBox* out, int meshIndex, const CMatrix4* transform) const override;

    // animations: tree, manager, sounds and display links freed; always: catalog entry,
    // firstMesh, noAnimations; chain and meshes: the mesh list too.
    void ClearParts(bool chain, bool meshes, bool animations);
    // A new empty manager and sound list; the tree stays.
    void ResetAnimations();
    // A copy of meshCount - 1 entries (meshCount 0: the current mesh count).
    void SetMeshTree(const TrMeshTreeEntry* entries, int meshCount);
    void SetCatalogEntry(std::unique_ptr<CatalogMoveableEntry> entry);
    // The catalog's entry for this moveable's id in the level of that version and name.
    void AttachCatalogEntry(CGameCatalog& catalog, int32_t levelVersion,
                            const std::string& levelName);
    // Moves the parts of another moveable here; the donor keeps nothing of what moved.
    void TakeOver(CTrMvb& donor, bool meshes, bool animations);

    // Animation i as a Tomb Raider track; null when absent.
    CTRAnimTrack* GetTrack(int i) const;
    int32_t animationCount() const { return animations ? animations->count() : 0; }
    // The sound ids its play-sound commands play, ascending, each once.
    std::vector<int32_t> PlayedSounds() const;

    std::vector<TrMeshTreeEntry> meshTree;  // meshCount - 1 entries
    std::unique_ptr<CAnimMgr> animations;
    std::unique_ptr<CTrSoundList> sounds;
    uint8_t noAnimations = 0;
    std::unique_ptr<CatalogMoveableEntry> catalogEntry;
    int32_t useBodyFrom = -1;
    int32_t showWith = -1;
    uint8_t showRealMeshes = 0;
    uint8_t showAssociated = 0;
    int32_t firstMesh = -1;

    // Operands a command stores in the moveable part: at most four, none for a code
    // without an operand count.
    static uint32_t StoredOperands(const TrAnimCommand& command);

protected:
    void SerializeParts(ByteWriter& out) const override;

private:
    void ResetDisplayState();
    void ReadMoveablePart(ByteReader& in);
    // Entry i - 1 of the tree, or a zero entry past its end.
    TrMeshTreeEntry TreeEntry(size_t i) const;
    // Construction from a level.
    void BuildFromLevel(const TrMoveableRecord& record, CTrLevel& level);
    void BuildAnimations(const TrMoveableRecord& record, CTrLevel& level, int position);
    void CollectSounds(const CTrLevel& level, int position);
};

}  // namespace lithoscope

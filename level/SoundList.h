#pragma once
// Sounds keyed by internal index (sound-map slot), for the level and for each moveable.
// A level's list is built from its sound map, sound details and sample indices and is
// written back into them before a save; a moveable's list travels in its object file.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "level/ByteIO.h"
#include "level/TrRecords.h"

namespace lithoscope {

class CTrLevel;
class CTrMvb;
struct TrSoundLeftOut;

struct TrSoundRecord {
    int32_t internalIndex = 0;   // the sound id: its slot in the sound map
    uint32_t firstSample = 0;    // sample-index table entry of the first sample
    uint16_t sampleCount = 0;    // bits 2-7 of flags
    int32_t volume = 0;          // detail word 1, sign-extended (16 bits in a level)
    int16_t chance = 0;          // detail word 2
    int16_t flags = 0;           // detail word 3: loop mode, sample count, TR4 flags
    int16_t sampleIndex = 0;     // detail word 0 as read from the level; 0 otherwise
    // Version of the level whose sample-index table firstSample is an entry of; 0 when not
    // known.
    int8_t sampleVersion = 0;
    // The sample-index entries of all sampleCount samples, in order, for a record read
    // from a level (every version); empty in copies and in records read from a buffer.
    std::vector<uint32_t> sampleRefs;

    // sampleRefs[j] when kept, else firstSample + j.
    uint32_t GetSampleRef(size_t j) const;
    // The record's fields without sampleRefs.
    TrSoundRecord CopyWithoutRefs() const;
};

class CTrSoundList {
public:
    using Records = std::map<int32_t, std::unique_ptr<TrSoundRecord>>;

    // Bytes of one serialised record, and of the count in front of them.
    static constexpr size_t kRecordBytes = 18;
    static constexpr size_t kHeaderBytes = 4;

    CTrSoundList() = default;
    // Built from the level's sound map, details and sample indices; entries that point
    // outside the detail or sample-index tables are skipped and logged as errors.
    explicit CTrSoundList(const CTrLevel& level);
    // Reads the serialised form; a repeated index replaces the earlier record. Throws
    // FormatError on a damaged buffer.
    CTrSoundList(const uint8_t* data, size_t size);
    // Same, from the reader's position; leaves the reader after the list.
    explicit CTrSoundList(ByteReader& in);
    virtual ~CTrSoundList() = default;

    CTrSoundList(const CTrSoundList&) = delete;
    CTrSoundList& operator=(const CTrSoundList&) = delete;

    // Slots of the level's sound map: 256 (TR1), 2048 (TR4 with the long map), else 370.
    static int MapSlots(const CTrLevel& level);

    // 18 x records + 4.
    uint32_t GetSerializedSize() const;
    std::vector<uint8_t> Serialize(int* size) const;
    // Writes the serialised form at the writer's position.
    void Serialize(ByteWriter& out) const;

    // False, and the record stays with the caller, when its index is present; else the
    // list takes it.
    bool Insert(std::unique_ptr<TrSoundRecord>&& record);
    // False when the index is present; else a new record from the detail, of a level of
    // sampleVersion.
    bool InsertFromDetail(int internalIndex, const TrSoundDetailRecord& detail,
                          uint32_t firstSample, int sampleVersion = 0);
    // The level's sound of that slot, as a level-built record but without its sample
    // references. False when present here, or when the level has no usable sound there
    // (a slot outside the map is logged; broken map entries are reported by the level's
    // own list).
    bool InsertFromLevel(const CTrLevel& level, int internalIndex);
    // False when from lacks the index or this list has it; else copies from's record
    // (without its sample references).
    bool CopyEntry(const CTrSoundList& from, int internalIndex);
    bool Contains(int internalIndex) const;
    TrSoundRecord* Find(int internalIndex);
    const TrSoundRecord* Find(int internalIndex) const;
    // Frees and removes the record; absent: nothing.
    void Erase(int internalIndex);
    // Every record's firstSample is an entry of a level of that version (a list read from
    // an object file: the version its header names).
    void SetSampleVersion(int version);
    // For every index of from: remove -> erased here; else copied here when absent.
    void Merge(const CTrSoundList& from, bool remove);

    // Replaces the level's sound map and sound details, numbered in index order. Tomb
    // Raider I to III get a new sample-index table, each sound's entries in turn; Tomb
    // Raider IV keeps its table (a table position is the level sample that plays) and
    // writes each sound at the samples the level holds for it (TrHeldSamples).
    // Records without a slot in the level's map, and samples the level does not hold,
    // are left out with a log line; the sounds so left out (or cut short) are returned.
    std::vector<TrSoundLeftOut> WriteToLevel(CTrLevel& level) const;

    size_t size() const { return records_.size(); }
    bool empty() const { return records_.empty(); }
    const Records& records() const { return records_; }
    Records::const_iterator begin() const { return records_.begin(); }
    Records::const_iterator end() const { return records_.end(); }

private:
    void Read(ByteReader& in);
    // The record of one map slot, or null when the slot holds no usable sound; report logs
    // the level's defects as errors.
    static std::unique_ptr<TrSoundRecord> RecordFromLevel(const CTrLevel& level, int slot,
                                                          bool report);

    Records records_;
};

// Where a Tomb Raider IV level holds the samples a sound plays: the table position of its
// first sample (a detail's sample word) and how many of its samples follow there.
struct TrHeldSamples {
    bool held = false;
    uint32_t first = 0;
    uint32_t count = 0;
};
// A record read from the level keeps its position. Any other record (a copy, or one of an
// object file) names its first sample by its table entry: the sample's number in the set of
// Tomb Raider IV samples a level is made from. Sets differ between levels, so the entry is
// taken only where it agrees with the level: at the sample the level's map plays for the
// record's slot; for a slot without a sound, at samples no other sound plays, the entries
// that follow matching the record's further samples, its own position first. Records of
// other versions number other games' samples: not held.
TrHeldSamples HeldSamples(const CTrLevel& level, const TrSoundRecord& record);

// A moveable taken into a Tomb Raider IV level: each of its records that numbers another
// edition's samples gives way to the level's record of that sound when the level holds its
// samples, and goes otherwise, as the moveable is rebuilt at the next save. So no object
// file of this level numbers another edition's samples. Other editions: nothing changes.
void KeepLevelSamples(const CTrLevel& level, CTrSoundList& moveableSounds);

// What a save tells the user about the sounds it left out, a line per reason.
std::string SoundsLeftOutMessage(const std::vector<TrSoundLeftOut>& leftOut);

// The bytes of the WAVE that starts at offset in a Tomb Raider I level's sample data (the
// "RIFF" head and the length it gives), 0 when none starts there or it runs past the data.
size_t SampleWaveSize(const CTrLevel& level, uint32_t offset);

// The moveable's own sound list, or null when it has none. CTrLevel::MergeMoveableSounds
// reaches the moveables' lists only through this.
const CTrSoundList* MoveableSoundList(const CTrMvb& moveable);

}  // namespace lithoscope

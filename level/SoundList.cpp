#include "level/SoundList.h"

#include <algorithm>
#include <cstring>

#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

constexpr uint16_t kCountMask = 0x00FC;  // bits 2-7 of the flags word: sample count

uint16_t SampleCountOf(int16_t flags) { return uint16_t((uint16_t(flags) >> 2) & 0x3F); }

int16_t WithSampleCount(int16_t flags, uint32_t count) {
    return int16_t((uint16_t(flags) & ~kCountMask) | ((std::min<uint32_t>(count, 0x3F)) << 2));
}

// Tomb Raider I sample-index entries are byte offsets into the level's sample data.
bool IsOwnSampleOffset(const CTrLevel& level, uint32_t ref) {
    return level.version != TrVersion1 || ref < level.sampleDataSize();
}

}  // namespace

size_t SampleWaveSize(const CTrLevel& level, uint32_t offset) {
    const std::vector<uint8_t>& data = level.sampleData;
    if (offset > data.size() || data.size() - offset < 8 || std::memcmp(&data[offset], "RIFF", 4) != 0)
        return 0;
    const size_t length = GetU32(&data[offset + 4]);
    return length > data.size() - offset - 8 ? 0 : length + 8;
}

uint32_t TrSoundRecord::GetSampleRef(size_t j) const {
    if (j < sampleRefs.size()) return sampleRefs[j];
    return firstSample + uint32_t(j);
}

TrSoundRecord TrSoundRecord::CopyWithoutRefs() const {
    TrSoundRecord r;
    r.internalIndex = internalIndex;
    r.firstSample = firstSample;
    r.sampleCount = sampleCount;
    r.volume = volume;
    r.chance = chance;
    r.flags = flags;
    r.sampleIndex = sampleIndex;
    r.sampleVersion = sampleVersion;
    return r;
}

int CTrSoundList::MapSlots(const CTrLevel& level) {
    if (level.version == TrVersion1) return 256;
    if (level.version == TrVersion4 && level.soundMapMode == 130) return 2048;
    return 370;
}

std::unique_ptr<TrSoundRecord> CTrSoundList::RecordFromLevel(const CTrLevel& level, int slot,
                                                             bool report) {
    const uint32_t detailCount = level.soundDetailCount();
    const uint32_t tableSize = level.sampleIndexCount();
    const int16_t m = level.soundMap[slot];
    if (m == -1) return nullptr;
    if (m < 0 || uint32_t(m) >= detailCount) {
        if (report)
            AppendLogLine(StrFormat("Sound #%d: sound map entry %d is not one of the %u sound "
                                    "details, sound skipped",
                                    slot, m, detailCount),
                          true);
        return nullptr;
    }
    const TrSoundDetailRecord& d = level.soundDetails[size_t(m)];
    const uint32_t first = d.sample();
    if (first >= tableSize) {
        if (report)
            AppendLogLine(StrFormat("Sound #%d: its first sample %u is past the %u sample "
                                    "indices, sound skipped",
                                    slot, first, tableSize),
                          true);
        return nullptr;
    }
    auto r = std::make_unique<TrSoundRecord>();
    r->internalIndex = slot;
    r->firstSample = level.sampleIndices[first];
    r->volume = d.s16(2);
    r->chance = d.s16(4);
    r->flags = d.s16(6);
    r->sampleCount = SampleCountOf(r->flags);
    r->sampleIndex = int16_t(first);
    r->sampleVersion = int8_t(level.version);
    const uint32_t available = tableSize - first;
    if (r->sampleCount > available) {
        if (report)
            AppendLogLine(StrFormat("Sound #%d: its %u samples from sample index %u run past "
                                    "the %u sample indices, %u kept",
                                    slot, unsigned(r->sampleCount), first, tableSize, available),
                          true);
        r->sampleCount = uint16_t(available);
        r->flags = WithSampleCount(r->flags, available);
    }
    // Every entry is kept, so writing back reproduces tables whose entries are not
    // consecutive (always the case for the byte offsets of Tomb Raider I).
    r->sampleRefs.assign(level.sampleIndices.begin() + first,
                         level.sampleIndices.begin() + first + r->sampleCount);
    return r;
}

CTrSoundList::CTrSoundList(const CTrLevel& level) {
    const int slots = MapSlots(level);
    for (int i = 0; i < slots; ++i)
        if (auto r = RecordFromLevel(level, i, true)) records_[i] = std::move(r);
}

CTrSoundList::CTrSoundList(const uint8_t* data, size_t size) {
    ByteReader in(data, size, "sound list");
    Read(in);
}

CTrSoundList::CTrSoundList(ByteReader& in) {
    const std::string section = in.section();
    in.setSection("sound list");
    Read(in);
    in.setSection(section);
}

void CTrSoundList::Read(ByteReader& in) {
    const int32_t n = in.s32();
    if (n < 0) in.fail("negative record count");
    in.need(uint32_t(n), kRecordBytes);
    for (int32_t k = 0; k < n; ++k) {
        auto r = std::make_unique<TrSoundRecord>();
        r->internalIndex = in.s32();
        if (r->internalIndex < 0) in.fail("negative internal index");
        r->firstSample = in.u32();
        r->volume = in.s32();
        r->sampleCount = in.u16();
        r->chance = in.s16();
        r->flags = in.s16();
        records_[r->internalIndex] = std::move(r);
    }
}

uint32_t CTrSoundList::GetSerializedSize() const {
    return uint32_t(kRecordBytes * records_.size() + kHeaderBytes);
}

std::vector<uint8_t> CTrSoundList::Serialize(int* size) const {
    std::vector<uint8_t> buffer(GetSerializedSize());
    ByteWriter out(buffer);
    Serialize(out);
    if (size) *size = int(buffer.size());
    return buffer;
}

void CTrSoundList::Serialize(ByteWriter& out) const {
    out.s32(int32_t(records_.size()));
    for (const auto& [index, r] : records_) {
        out.s32(index);
        out.u32(r->firstSample);
        out.s32(r->volume);
        out.u16(r->sampleCount);
        out.s16(r->chance);
        out.s16(r->flags);
    }
}

bool CTrSoundList::Insert(std::unique_ptr<TrSoundRecord>&& record) {
    if (!record || Contains(record->internalIndex)) return false;
    const int32_t index = record->internalIndex;
    records_[index] = std::move(record);
    return true;
}

bool CTrSoundList::InsertFromDetail(int internalIndex, const TrSoundDetailRecord& detail,
                                    uint32_t firstSample, int sampleVersion) {
    if (Contains(internalIndex)) return false;
    auto r = std::make_unique<TrSoundRecord>();
    r->internalIndex = internalIndex;
    r->firstSample = firstSample;
    r->volume = detail.s16(2);
    r->chance = detail.s16(4);
    r->flags = detail.s16(6);
    r->sampleCount = SampleCountOf(r->flags);
    r->sampleIndex = int16_t(detail.sample());
    r->sampleVersion = int8_t(sampleVersion);
    records_[internalIndex] = std::move(r);
    return true;
}

bool CTrSoundList::InsertFromLevel(const CTrLevel& level, int internalIndex) {
    if (Contains(internalIndex)) return false;
    if (internalIndex < 0 || internalIndex >= MapSlots(level)) {
        AppendLogLine(StrFormat("Sound #%d is not in the %d-entry sound map of the level, "
                                "sound skipped",
                                internalIndex, MapSlots(level)));
        return false;
    }
    std::unique_ptr<TrSoundRecord> r = RecordFromLevel(level, internalIndex, false);
    if (!r) return false;
    r->sampleRefs.clear();
    records_[internalIndex] = std::move(r);
    return true;
}

bool CTrSoundList::CopyEntry(const CTrSoundList& from, int internalIndex) {
    const TrSoundRecord* source = from.Find(internalIndex);
    if (!source || Contains(internalIndex)) return false;
    records_[internalIndex] = std::make_unique<TrSoundRecord>(source->CopyWithoutRefs());
    return true;
}

bool CTrSoundList::Contains(int internalIndex) const {
    return records_.count(internalIndex) != 0;
}

TrSoundRecord* CTrSoundList::Find(int internalIndex) {
    auto it = records_.find(internalIndex);
    return it == records_.end() ? nullptr : it->second.get();
}

const TrSoundRecord* CTrSoundList::Find(int internalIndex) const {
    auto it = records_.find(internalIndex);
    return it == records_.end() ? nullptr : it->second.get();
}

void CTrSoundList::Erase(int internalIndex) { records_.erase(internalIndex); }

void CTrSoundList::SetSampleVersion(int version) {
    for (auto& entry : records_) entry.second->sampleVersion = int8_t(version);
}

void CTrSoundList::Merge(const CTrSoundList& from, bool remove) {
    if (&from == this) {
        // Every index is present already; removing takes them all.
        if (remove) records_.clear();
        return;
    }
    for (const auto& [index, r] : from.records_) {
        if (remove)
            Erase(index);
        else if (!Contains(index))
            records_[index] = std::make_unique<TrSoundRecord>(r->CopyWithoutRefs());
    }
}

TrHeldSamples HeldSamples(const CTrLevel& level, const TrSoundRecord& r) {
    const std::vector<uint32_t>& table = level.sampleIndices;
    const uint32_t positions =
        std::min<uint32_t>(uint32_t(table.size()), uint32_t(level.samples.size()));
    TrHeldSamples held;
    auto at = [&](uint32_t first) {
        held.held = true;
        held.first = first;
        held.count = std::min<uint32_t>(r.sampleCount, positions - first);
        return held;
    };
    const uint32_t own = uint16_t(r.sampleIndex);
    if (!r.sampleRefs.empty()) return own < positions ? at(own) : held;
    if (r.sampleVersion != TrVersion4) return held;

    // The level's map as loaded or last saved: the first sample of the sound of a slot.
    const int slots = CTrSoundList::MapSlots(level);
    auto detailOf = [&](int slot) -> const TrSoundDetailRecord* {
        const int16_t m = level.soundMap[slot];
        return m >= 0 && uint32_t(m) < level.soundDetailCount() ? &level.soundDetails[size_t(m)]
                                                                 : nullptr;
    };
    // The entry must name the sample this level plays for the slot.
    if (r.internalIndex >= 0 && r.internalIndex < slots)
        if (const TrSoundDetailRecord* d = detailOf(r.internalIndex)) {
            const uint32_t p = d->sample();
            return p < positions && table[p] == r.firstSample ? at(p) : held;
        }
    // A slot without a sound: samples no other sound plays, with the record's entries (a
    // sound's samples are consecutive entries of the set).
    std::vector<bool> taken(positions, false);
    for (int slot = 0; slot < slots; ++slot)
        if (const TrSoundDetailRecord* d = detailOf(slot))
            for (uint32_t p = d->sample(), end = p + SampleCountOf(d->s16(6));
                 p < end && p < positions; ++p)
                taken[p] = true;
    auto fits = [&](uint32_t p) {
        for (uint32_t j = 0; j < std::max<uint32_t>(r.sampleCount, 1) && p + j < positions; ++j)
            if (taken[p + j] || table[p + j] != r.GetSampleRef(j)) return false;
        return p < positions;
    };
    if (fits(own)) return at(own);
    for (uint32_t p = 0; p < positions; ++p)
        if (fits(p)) return at(p);
    return held;
}

void KeepLevelSamples(const CTrLevel& level, CTrSoundList& moveableSounds) {
    if (level.version != TrVersion4) return;
    std::vector<int32_t> foreign;
    for (const auto& [index, r] : moveableSounds)
        if (r->sampleVersion != 0 && r->sampleVersion != TrVersion4) foreign.push_back(index);
    for (int32_t index : foreign) {
        moveableSounds.Erase(index);
        const TrSoundRecord* own = level.soundList ? level.soundList->Find(index) : nullptr;
        if (own && own->sampleVersion == TrVersion4 && HeldSamples(level, *own).held)
            moveableSounds.Insert(std::make_unique<TrSoundRecord>(own->CopyWithoutRefs()));
    }
}

std::vector<TrSoundLeftOut> CTrSoundList::WriteToLevel(CTrLevel& level) const {
    const int slots = MapSlots(level);
    std::vector<TrSoundDetailRecord> details;
    details.reserve(records_.size());
    std::vector<uint32_t> table;
    std::vector<TrSoundLeftOut> leftOut;
    // Logged as "Sound #n" and the reason, and kept for the save to tell.
    auto leave = [&](int32_t index, const std::string& why, const char* logged) {
        AppendLogLine(StrFormat("Sound #%d%s%s", int(index), logged, why.c_str()));
        leftOut.push_back({index, why});
    };
    // Tomb Raider IV plays the level's sample at a detail's table position, so the table
    // and every position stay as they are.
    const bool keepPositions = level.version == TrVersion4;
    if (keepPositions) table = level.sampleIndices;
    const uint32_t positions =
        std::min<uint32_t>(uint32_t(table.size()), uint32_t(level.samples.size()));
    // The level's map stays as it is until every record has found its samples.
    std::vector<int16_t> map(size_t(slots), int16_t(-1));

    std::vector<uint32_t> refs;
    for (const auto& [index, r] : records_) {
        if (index < 0 || index >= slots) {
            leave(index,
                  StrFormat("has no slot in the %d-entry sound map of the level, sound not written",
                            slots),
                  " ");
            continue;
        }
        uint32_t first = 0;
        uint32_t kept = 0;
        if (keepPositions) {
            const TrHeldSamples held = HeldSamples(level, *r);
            if (!held.held) {
                leave(index,
                      StrFormat("its samples are not among the %u samples of the level, sound not "
                                "written",
                                positions),
                      ": ");
                continue;
            }
            first = held.first;
            kept = held.count;
        } else {
            refs.clear();
            uint32_t ref = 0;
            for (uint32_t j = 0; j < r->sampleCount; ++j) {
                if (level.version == TrVersion1 && j > 0 && j >= r->sampleRefs.size()) {
                    // Byte offsets: a sound's samples are waves that follow each other.
                    const size_t size = SampleWaveSize(level, ref);
                    if (size == 0) break;
                    ref += uint32_t(size);
                } else {
                    ref = r->GetSampleRef(j);
                }
                if (IsOwnSampleOffset(level, ref)) refs.push_back(ref);
            }
            first = uint32_t(table.size());
            kept = uint32_t(refs.size());
            if (kept == 0 && r->sampleCount != 0) {
                leave(index,
                      StrFormat("none of its %u samples is in the %u bytes of sample data of the "
                                "level, sound not written",
                                unsigned(r->sampleCount), level.sampleDataSize()),
                      ": ");
                continue;
            }
        }
        int16_t flags = r->flags;
        if (kept < r->sampleCount) {
            leave(index,
                  StrFormat("%u of its %u samples are past the samples of the level, dropped",
                            unsigned(r->sampleCount - kept), unsigned(r->sampleCount)),
                  ": ");
            flags = WithSampleCount(flags, kept);
        }
        // The detail's sample field is 16 bits wide.
        if (first > 0xFFFF) {
            leave(index,
                  StrFormat("its first sample %u does not fit a sound detail, sound not written",
                            first),
                  ": ");
            continue;
        }
        TrSoundDetailRecord d;
        d.setU16(0, uint16_t(first));
        d.setU16(2, uint16_t(r->volume));
        d.setS16(4, r->chance);
        d.setS16(6, flags);
        map[size_t(index)] = int16_t(details.size());
        details.push_back(d);
        if (!keepPositions) table.insert(table.end(), refs.begin(), refs.end());
    }
    std::copy(map.begin(), map.end(), level.soundMap);
    level.soundDetails = std::move(details);
    level.sampleIndices = std::move(table);
    return leftOut;
}

std::string SoundsLeftOutMessage(const std::vector<TrSoundLeftOut>& leftOut) {
    // One line per reason, with the sounds it took, in the order they came.
    std::vector<std::pair<std::string, std::string>> lines;
    for (const TrSoundLeftOut& s : leftOut) {
        auto it = std::find_if(lines.begin(), lines.end(),
                               [&](const auto& l) { return l.first == s.why; });
        if (it == lines.end()) {
            lines.push_back({s.why, ""});
            it = lines.end() - 1;
        }
        it->second += (it->second.empty() ? "#" : ", #") + std::to_string(s.internalIndex);
    }
    std::string text = "Some sounds could not be saved with the level:\n";
    for (const auto& [why, sounds] : lines) text += "\n" + sounds + ": " + why + ".";
    return text + "\n\nThe log of the level lists them too.";
}

void CTrLevel::MergeMoveableSounds() {
    for (const auto& moveable : moveableList) {
        if (!moveable) continue;
        const CTrSoundList* sounds = MoveableSoundList(*moveable);
        if (!sounds) continue;
        if (!soundList) soundList.reset(new CTrSoundList());
        soundList->Merge(*sounds, false);
        // Tomb Raider IV: a sound whose samples the level lacks gives way to the moveable's
        // record of it when the level holds that one's.
        if (version != TrVersion4) continue;
        for (const auto& [index, r] : *sounds) {
            const TrSoundRecord* mine = soundList->Find(index);
            if (mine && mine != r.get() && !HeldSamples(*this, *mine).held &&
                HeldSamples(*this, *r).held) {
                soundList->Erase(index);
                soundList->CopyEntry(*sounds, index);
            }
        }
    }
}

}  // namespace lithoscope

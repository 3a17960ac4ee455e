#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "fixtures/ObjectModelFixtures.h"
#include "level/LevelErrors.h"
#include "level/LevelLog.h"
#include "level/SoundList.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {

TrSoundDetailRecord Detail(uint16_t sample, uint16_t volume, int16_t chance, uint16_t flags) {
    TrSoundDetailRecord d;
    d.setU16(0, sample);
    d.setU16(2, volume);
    d.setS16(4, chance);
    d.setU16(6, flags);
    return d;
}

void NoSounds(CTrLevel& level, int version) {
    level.version = version;
    std::fill(std::begin(level.soundMap), std::end(level.soundMap), int16_t(-1));
}

// Captures the level log in a temporary folder.
class LogCapture {
public:
    LogCapture() { StartLevelLog(dir_.file("level.tr2")); }
    ~LogCapture() {
        LevelLog().logPath.clear();
        LevelLog().errorCount = 0;
    }
    std::string Text() const {
        std::vector<uint8_t> b;
        ReadWholeFile(dir_.file("level_log.txt"), b);  // no line yet: no file
        return std::string(b.begin(), b.end());
    }
    int Lines() const {
        std::string t = Text();
        return int(std::count(t.begin(), t.end(), '\n'));
    }

private:
    test::TempDir dir_;
};

std::unique_ptr<TrSoundRecord> Record(int index, uint32_t first, uint16_t count, int16_t flags) {
    auto r = std::make_unique<TrSoundRecord>();
    r->internalIndex = index;
    r->firstSample = first;
    r->sampleCount = count;
    r->flags = flags;
    r->volume = 0x7FFF;
    return r;
}

std::vector<uint8_t> Bytes(std::initializer_list<int> v) {
    std::vector<uint8_t> out;
    for (int b : v) out.push_back(uint8_t(b));
    return out;
}

std::vector<int32_t> Indices(const std::vector<TrSoundLeftOut>& leftOut) {
    std::vector<int32_t> out;
    for (const TrSoundLeftOut& s : leftOut) out.push_back(s.internalIndex);
    return out;
}

}  // namespace

TEST(SoundList, MapSizeFollowsVersionAndLongMapMarker) {
    CTrLevel level;
    level.version = TrVersion1;
    EXPECT_EQ(CTrSoundList::MapSlots(level), 256);
    level.version = TrVersion2;
    EXPECT_EQ(CTrSoundList::MapSlots(level), 370);
    level.version = TrVersion3;
    EXPECT_EQ(CTrSoundList::MapSlots(level), 370);
    level.version = TrVersion4;
    EXPECT_EQ(CTrSoundList::MapSlots(level), 370);
    level.soundMapMode = 130;
    EXPECT_EQ(CTrSoundList::MapSlots(level), 2048);
    // The marker means nothing outside Tomb Raider IV.
    level.version = TrVersion3;
    EXPECT_EQ(CTrSoundList::MapSlots(level), 370);
}

TEST(SoundList, BuiltFromTheLevelsSoundMapDetailsAndSampleIndices) {
    LogCapture log;
    CTrLevel level;
    NoSounds(level, TrVersion2);
    level.soundDetails = {Detail(0, 0x7FFF, 0, 0x0014),    // five samples
                          Detail(5, 0xFFFF, 100, 0x0004),  // one sample, volume -1
                          Detail(6, 0x1234, -7, 0x0309)};  // two samples, loop 1, pitch 3
    level.sampleIndices = {10, 11, 12, 13, 14, 40, 60, 61};
    level.soundMap[0] = 1;
    level.soundMap[5] = 0;
    level.soundMap[369] = 2;
    level.soundMap[370] = 0;  // past the 370 slots of a TR2 map: not a sound

    CTrSoundList list(level);
    ASSERT_EQ(list.size(), 3u);
    std::vector<int> order;
    for (const auto& [index, r] : list) order.push_back(index);
    EXPECT_EQ(order, (std::vector<int>{0, 5, 369}));

    const TrSoundRecord* r0 = list.Find(0);
    ASSERT_NE(r0, nullptr);
    EXPECT_EQ(r0->internalIndex, 0);
    EXPECT_EQ(r0->firstSample, 40u);
    EXPECT_EQ(r0->sampleCount, 1);
    EXPECT_EQ(r0->volume, -1);
    EXPECT_EQ(r0->chance, 100);
    EXPECT_EQ(r0->flags, 0x0004);
    EXPECT_EQ(r0->sampleIndex, 5);

    const TrSoundRecord* r5 = list.Find(5);
    ASSERT_NE(r5, nullptr);
    EXPECT_EQ(r5->firstSample, 10u);
    EXPECT_EQ(r5->sampleCount, 5);
    EXPECT_EQ(r5->volume, 0x7FFF);
    EXPECT_EQ(r5->sampleIndex, 0);

    const TrSoundRecord* r369 = list.Find(369);
    ASSERT_NE(r369, nullptr);
    EXPECT_EQ(r369->firstSample, 60u);
    EXPECT_EQ(r369->sampleCount, 2);
    EXPECT_EQ(r369->volume, 0x1234);
    EXPECT_EQ(r369->chance, -7);
    EXPECT_EQ(r369->flags, 0x0309);
    EXPECT_EQ(r369->GetSampleRef(1), 61u);
    EXPECT_EQ(LevelLog().errorCount, 0);

    // A level whose map is all -1 has no sounds.
    CTrLevel silent;
    NoSounds(silent, TrVersion3);
    silent.soundDetails = level.soundDetails;
    silent.sampleIndices = level.sampleIndices;
    EXPECT_TRUE(CTrSoundList(silent).empty());
}

TEST(SoundList, SlotCountOfEachMapSize) {
    CTrLevel level;
    NoSounds(level, TrVersion1);
    level.soundDetails = {Detail(0, 0x7FFF, 0, 0x0004)};
    level.sampleIndices = {0};
    level.soundMap[255] = 0;
    level.soundMap[256] = 0;
    level.soundMap[2047] = 0;
    CTrSoundList tr1(level);
    EXPECT_EQ(tr1.size(), 1u);
    EXPECT_TRUE(tr1.Contains(255));

    level.version = TrVersion4;
    EXPECT_EQ(CTrSoundList(level).size(), 2u);  // 255 and 256
    level.soundMapMode = 130;
    CTrSoundList longMap(level);
    EXPECT_EQ(longMap.size(), 3u);
    EXPECT_TRUE(longMap.Contains(2047));
}

TEST(SoundList, TombRaiderOneKeepsEverySampleOffset) {
    CTrLevel level;
    NoSounds(level, TrVersion1);
    level.sampleData.resize(9000);
    // Byte offsets into the sample data: not consecutive numbers.
    level.sampleIndices = {0, 1000, 5000, 8000};
    level.soundDetails = {Detail(1, 0x4000, 3, 0x000C)};  // three samples from entry 1
    level.soundMap[7] = 0;
    CTrSoundList list(level);
    const TrSoundRecord* r = list.Find(7);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->firstSample, 1000u);
    EXPECT_EQ(r->sampleRefs, (std::vector<uint32_t>{1000, 5000, 8000}));
    EXPECT_EQ(r->GetSampleRef(2), 8000u);
    EXPECT_EQ(r->GetSampleRef(3), 1003u);  // past the kept ones: counted from the first

    list.WriteToLevel(level);
    EXPECT_EQ(level.soundMap[7], 0);
    EXPECT_EQ(level.sampleIndices, (std::vector<uint32_t>{1000, 5000, 8000}));
    ASSERT_EQ(level.soundDetailCount(), 1u);
    EXPECT_EQ(level.soundDetails[0], Detail(0, 0x4000, 3, 0x000C));
}

TEST(SoundList, WriteBackNumbersDetailsAndSamplesInIndexOrder) {
    LogCapture log;
    CTrLevel level;
    NoSounds(level, TrVersion2);
    level.soundMap[1] = 0;  // replaced by the write
    level.soundDetails = {Detail(0, 1, 1, 4)};
    level.sampleIndices = {99};

    CTrSoundList list;
    EXPECT_TRUE(list.InsertFromDetail(300, Detail(9, 0x0100, 3, 0x0014), 100));
    EXPECT_TRUE(list.InsertFromDetail(2, Detail(4, 0x8001, -2, 0x0008), 7));
    const TrSoundRecord* r300 = list.Find(300);
    ASSERT_NE(r300, nullptr);
    EXPECT_EQ(r300->sampleCount, 5);  // flags 0x0014
    EXPECT_EQ(r300->sampleIndex, 9);
    EXPECT_EQ(list.Find(2)->volume, -32767);
    EXPECT_TRUE(list.Find(2)->sampleRefs.empty());

    list.WriteToLevel(level);
    for (int i = 0; i < 370; ++i) {
        if (i == 2 || i == 300) continue;
        EXPECT_EQ(level.soundMap[i], -1) << i;
    }
    EXPECT_EQ(level.soundMap[2], 0);
    EXPECT_EQ(level.soundMap[300], 1);
    ASSERT_EQ(level.soundDetailCount(), 2u);
    EXPECT_EQ(level.soundDetails[0], Detail(0, 0x8001, -2, 0x0008));
    EXPECT_EQ(level.soundDetails[1], Detail(2, 0x0100, 3, 0x0014));
    // Two entries from 7, then the five samples of flags 0x0014 from 100.
    EXPECT_EQ(level.sampleIndices, (std::vector<uint32_t>{7, 8, 100, 101, 102, 103, 104}));
    EXPECT_EQ(log.Lines(), 0);

    // An empty list writes a map of -1 and empty tables; slots past the map are left.
    level.soundMap[370] = 12;
    CTrSoundList().WriteToLevel(level);
    EXPECT_TRUE(std::all_of(level.soundMap, level.soundMap + 370,
                            [](int16_t m) { return m == -1; }));
    EXPECT_EQ(level.soundMap[370], 12);
    EXPECT_EQ(level.soundDetailCount(), 0u);
    EXPECT_EQ(level.sampleIndexCount(), 0u);
}

TEST(SoundList, InsertContainsEraseAndCopyEntry) {
    CTrSoundList list;
    EXPECT_FALSE(list.Contains(4));
    auto first = Record(4, 10, 1, 4);
    EXPECT_TRUE(list.Insert(std::move(first)));
    EXPECT_EQ(first, nullptr);  // taken
    EXPECT_TRUE(list.Contains(4));

    // A present index: false, and the record stays with the caller.
    auto second = Record(4, 99, 2, 8);
    EXPECT_FALSE(list.Insert(std::move(second)));
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->firstSample, 99u);
    EXPECT_EQ(list.Find(4)->firstSample, 10u);
    EXPECT_FALSE(list.InsertFromDetail(4, Detail(0, 0, 0, 8), 55));
    EXPECT_EQ(list.Find(4)->firstSample, 10u);
    EXPECT_FALSE(list.Insert(nullptr));

    list.Erase(4);
    EXPECT_FALSE(list.Contains(4));
    list.Erase(4);  // absent: nothing
    EXPECT_TRUE(list.empty());

    CTrSoundList level;
    auto withRefs = Record(20, 1000, 2, 8);
    withRefs->sampleRefs = {1000, 7000};
    withRefs->sampleIndex = 6;
    withRefs->chance = 12;
    level.Insert(std::move(withRefs));
    EXPECT_FALSE(list.CopyEntry(level, 21));  // the source lacks it
    EXPECT_TRUE(list.CopyEntry(level, 20));
    const TrSoundRecord* copy = list.Find(20);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, level.Find(20));
    EXPECT_EQ(copy->firstSample, 1000u);
    EXPECT_EQ(copy->sampleCount, 2);
    EXPECT_EQ(copy->chance, 12);
    EXPECT_EQ(copy->sampleIndex, 6);
    EXPECT_TRUE(copy->sampleRefs.empty());
    EXPECT_EQ(copy->GetSampleRef(1), 1001u);
    level.Find(20)->chance = 1;
    EXPECT_FALSE(list.CopyEntry(level, 20));  // present here: unchanged
    EXPECT_EQ(list.Find(20)->chance, 12);
}

TEST(SoundList, MergeCopiesOnlyAbsentEntriesAndRemoveErasesExactlyTheOthers) {
    CTrSoundList mine;
    mine.Insert(Record(1, 10, 1, 4));
    mine.Insert(Record(2, 20, 1, 4));
    CTrSoundList theirs;
    theirs.Insert(Record(2, 200, 2, 8));
    auto three = Record(3, 300, 1, 4);
    three->sampleRefs = {300};
    theirs.Insert(std::move(three));

    mine.Merge(theirs, false);
    ASSERT_EQ(mine.size(), 3u);
    EXPECT_EQ(mine.Find(2)->firstSample, 20u);  // already present: kept as it was
    EXPECT_EQ(mine.Find(3)->firstSample, 300u);
    EXPECT_TRUE(mine.Find(3)->sampleRefs.empty());
    EXPECT_EQ(theirs.size(), 2u);

    // Into itself: nothing changes.
    mine.Merge(mine, false);
    EXPECT_EQ(mine.size(), 3u);
    EXPECT_EQ(mine.Find(1)->firstSample, 10u);

    mine.Merge(theirs, true);
    ASSERT_EQ(mine.size(), 1u);
    EXPECT_TRUE(mine.Contains(1));
    EXPECT_EQ(theirs.size(), 2u);
    // Indices that this list lacks are ignored.
    CTrSoundList other;
    other.Insert(Record(50, 0, 1, 4));
    mine.Merge(other, true);
    EXPECT_EQ(mine.size(), 1u);

    theirs.Merge(theirs, true);
    EXPECT_TRUE(theirs.empty());
}

TEST(SoundList, SerialisedFormRoundTrips) {
    CTrSoundList empty;
    int size = -1;
    EXPECT_EQ(empty.GetSerializedSize(), 4u);
    EXPECT_EQ(empty.Serialize(&size), Bytes({0, 0, 0, 0}));
    EXPECT_EQ(size, 4);

    CTrSoundList list;
    auto r = Record(0x102, 0x0A0B0C0D, 5, 0x0014);
    r->volume = -2;
    r->chance = -3;
    r->sampleIndex = 77;
    r->sampleRefs = {1, 2, 3, 4, 5};
    list.Insert(std::move(r));
    list.Insert(Record(7, 1, 1, 4));
    EXPECT_EQ(list.GetSerializedSize(), 40u);
    std::vector<uint8_t> bytes = list.Serialize(&size);
    EXPECT_EQ(size, 40);
    EXPECT_EQ(bytes, Bytes({2, 0, 0, 0,
                            7, 0, 0, 0, 1, 0, 0, 0, 0xFF, 0x7F, 0, 0, 1, 0, 0, 0, 4, 0,
                            0x02, 0x01, 0, 0, 0x0D, 0x0C, 0x0B, 0x0A, 0xFE, 0xFF, 0xFF, 0xFF,
                            5, 0, 0xFD, 0xFF, 0x14, 0}));

    CTrSoundList back(bytes.data(), bytes.size());
    ASSERT_EQ(back.size(), 2u);
    const TrSoundRecord* b = back.Find(0x102);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->firstSample, 0x0A0B0C0Du);
    EXPECT_EQ(b->volume, -2);
    EXPECT_EQ(b->sampleCount, 5);
    EXPECT_EQ(b->chance, -3);
    EXPECT_EQ(b->flags, 0x0014);
    EXPECT_EQ(b->sampleIndex, 0);
    EXPECT_TRUE(b->sampleRefs.empty());
    EXPECT_EQ(back.Serialize(nullptr), bytes);

    // A repeated index replaces the earlier record.
    std::vector<uint8_t> twice = Bytes({2, 0, 0, 0,
                                        9, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4, 0,
                                        9, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 4, 0});
    CTrSoundList replaced(twice.data(), twice.size());
    ASSERT_EQ(replaced.size(), 1u);
    EXPECT_EQ(replaced.Find(9)->firstSample, 2u);

    // Inside a larger buffer: read from the reader's position, left after the list.
    std::vector<uint8_t> outer = {0xAA};
    outer.insert(outer.end(), bytes.begin(), bytes.end());
    outer.push_back(0xBB);
    ByteReader in(outer, "moveable");
    in.u8();
    CTrSoundList inner(in);
    EXPECT_EQ(inner.size(), 2u);
    EXPECT_EQ(in.pos(), 41u);
    EXPECT_EQ(in.section(), "moveable");
    std::vector<uint8_t> into(list.GetSerializedSize() + 2, 0);
    ByteWriter out(into);
    out.u8(0xCC);
    list.Serialize(out);
    EXPECT_EQ(out.pos(), 41u);
    EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), into.begin() + 1));
}

TEST(SoundList, DamagedBuffersThrowFormatError) {
    CTrSoundList list;
    list.Insert(Record(3, 1, 1, 4));
    list.Insert(Record(8, 2, 1, 4));
    const std::vector<uint8_t> good = list.Serialize(nullptr);
    // Every truncation fails.
    for (size_t n = 0; n < good.size(); ++n)
        EXPECT_THROW(CTrSoundList(good.data(), n), FormatError) << n;
    EXPECT_THROW(CTrSoundList(nullptr, 0), FormatError);

    // A huge count with few bytes is refused before anything is allocated.
    std::vector<uint8_t> huge = Bytes({0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3, 4});
    EXPECT_THROW(CTrSoundList(huge.data(), huge.size()), FormatError);
    std::vector<uint8_t> negative = Bytes({0xFF, 0xFF, 0xFF, 0xFF});
    EXPECT_THROW(CTrSoundList(negative.data(), negative.size()), FormatError);
    // A count one record short of the bytes.
    std::vector<uint8_t> oneShort = good;
    oneShort[0] = 3;
    EXPECT_THROW(CTrSoundList(oneShort.data(), oneShort.size()), FormatError);
    // A negative internal index is no sound id.
    std::vector<uint8_t> badIndex = good;
    badIndex[4 + 3] = 0x80;
    try {
        CTrSoundList bad(badIndex.data(), badIndex.size());
        ADD_FAILURE() << "negative index accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.section(), "sound list");
        EXPECT_EQ(e.offset(), 8u);
    }
}

TEST(SoundList, LevelDefectsAreSkippedAndCountedAsErrors) {
    LogCapture log;
    CTrLevel level;
    NoSounds(level, TrVersion3);
    level.soundDetails = {Detail(0, 0x7FFF, 0, 0x0004),   // fine
                          Detail(9, 0x7FFF, 0, 0x0004),   // sample entry past the table
                          Detail(2, 0x7FFF, 0, 0x0011)};  // four samples, only two entries
    level.sampleIndices = {5, 6, 7, 8};
    level.soundMap[0] = 0;
    level.soundMap[1] = 3;   // past the three details
    level.soundMap[2] = -2;  // negative, not -1
    level.soundMap[3] = 1;
    level.soundMap[4] = 2;
    level.soundMap[5] = 0x7FFF;

    CTrSoundList list(level);
    EXPECT_EQ(LevelLog().errorCount, 5);
    EXPECT_EQ(log.Lines(), 5);
    const std::string text = log.Text();
    EXPECT_NE(text.find("Sound #1: sound map entry 3 is not one of the 3 sound details"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Sound #3: its first sample 9 is past the 4 sample indices"),
              std::string::npos)
        << text;
    ASSERT_EQ(list.size(), 2u);
    EXPECT_TRUE(list.Contains(0));
    const TrSoundRecord* clamped = list.Find(4);
    ASSERT_NE(clamped, nullptr);
    EXPECT_EQ(clamped->sampleCount, 2);
    EXPECT_EQ(clamped->flags, 0x0009);  // loop mode kept, count 2
    EXPECT_EQ(clamped->sampleRefs, (std::vector<uint32_t>{7, 8}));

    // Written back, the level is consistent again.
    list.WriteToLevel(level);
    EXPECT_EQ(level.soundMap[1], -1);
    EXPECT_EQ(level.soundMap[5], -1);
    EXPECT_EQ(level.soundMap[4], 1);
    EXPECT_EQ(level.soundDetails[1], Detail(1, 0x7FFF, 0, 0x0009));
    EXPECT_EQ(level.sampleIndices, (std::vector<uint32_t>{5, 7, 8}));
}

TEST(SoundList, RecordsWithoutASlotAreNotWritten) {
    LogCapture log;
    // Records as read from a level: sample k at table position k.
    CTrSoundList list;
    int k = 0;
    for (int index : {-1, 369, 370, 2047, 5000}) {
        auto r = Record(index, uint32_t(40 + k), 1, 4);
        r->sampleRefs = {uint32_t(40 + k)};
        r->sampleIndex = int16_t(k++);
        list.Insert(std::move(r));
    }

    CTrLevel level;
    NoSounds(level, TrVersion2);
    level.soundMap[370] = 55;
    EXPECT_EQ(Indices(list.WriteToLevel(level)), (std::vector<int32_t>{-1, 370, 2047, 5000}));
    EXPECT_EQ(level.soundMap[369], 0);
    EXPECT_EQ(level.soundMap[370], 55);  // outside the map: untouched
    EXPECT_EQ(level.soundDetailCount(), 1u);
    EXPECT_EQ(level.sampleIndices, (std::vector<uint32_t>{41}));
    EXPECT_EQ(log.Lines(), 4);
    EXPECT_NE(log.Text().find("Sound #5000 has no slot in the 370-entry sound map"),
              std::string::npos);
    EXPECT_EQ(LevelLog().errorCount, 0);  // not a defect of this level

    CTrLevel longMap;
    NoSounds(longMap, TrVersion4);
    longMap.soundMapMode = 130;
    longMap.samples.resize(5);
    longMap.sampleIndices = {40, 41, 42, 43, 44};
    list.WriteToLevel(longMap);
    EXPECT_EQ(longMap.soundMap[369], 0);
    EXPECT_EQ(longMap.soundMap[370], 1);
    EXPECT_EQ(longMap.soundMap[2047], 2);
    ASSERT_EQ(longMap.soundDetailCount(), 3u);
    EXPECT_EQ(longMap.soundDetails[2].sample(), 3);
    EXPECT_EQ(longMap.sampleIndices, (std::vector<uint32_t>{40, 41, 42, 43, 44}));
}

TEST(SoundList, SamplesPastTheLevelsOwnAreDropped) {
    LogCapture log;
    // Tomb Raider IV: a detail's table position is the level sample it plays.
    CTrSoundList list;
    auto widened = Record(1, 102, 3, 0x010E);  // three samples from position 2; loop 2
    widened->sampleRefs = {102};               // (its count raised after the build)
    widened->sampleIndex = 2;
    list.Insert(std::move(widened));
    auto past = Record(2, 104, 1, 0x0004);
    past->sampleRefs = {104};
    past->sampleIndex = 4;
    list.Insert(std::move(past));
    auto foreign = Record(3, 0, 1, 0x0004);  // from another level: no samples here
    list.Insert(std::move(foreign));
    auto own = Record(5, 100, 1, 0x0004);
    own->sampleRefs = {100};
    list.Insert(std::move(own));

    CTrLevel tr4;
    NoSounds(tr4, TrVersion4);
    tr4.samples.resize(4);
    tr4.sampleIndices = {100, 101, 102, 103};
    // Each sound left out or cut short is handed back for the save to tell.
    EXPECT_EQ(Indices(list.WriteToLevel(tr4)), (std::vector<int32_t>{1, 2, 3}));
    EXPECT_EQ(tr4.soundMap[1], 0);
    EXPECT_EQ(tr4.soundMap[2], -1);
    EXPECT_EQ(tr4.soundMap[3], -1);
    EXPECT_EQ(tr4.soundMap[5], 1);
    ASSERT_EQ(tr4.soundDetailCount(), 2u);
    EXPECT_EQ(tr4.soundDetails[0], Detail(2, 0x7FFF, 0, 0x010A));  // two samples now
    EXPECT_EQ(tr4.soundDetails[1], Detail(0, 0x7FFF, 0, 0x0004));
    EXPECT_EQ(tr4.sampleIndices, (std::vector<uint32_t>{100, 101, 102, 103}));
    EXPECT_EQ(log.Lines(), 3);
    EXPECT_NE(log.Text().find("Sound #1: 1 of its 3 samples are past the samples of the "
                              "level, dropped"),
              std::string::npos)
        << log.Text();
    EXPECT_NE(log.Text().find("Sound #3: its samples are not among the 4 samples"),
              std::string::npos);
    // Fewer samples than table entries: the samples bound the positions.
    tr4.samples.resize(2);
    list.WriteToLevel(tr4);
    EXPECT_EQ(tr4.soundMap[1], -1);
    EXPECT_EQ(tr4.soundMap[5], 0);

    // Tomb Raider I: byte offsets into the sample data.
    CTrSoundList offsets;
    auto r = Record(4, 0, 3, 0x000C);
    r->sampleRefs = {0, 500, 120};
    offsets.Insert(std::move(r));
    auto gone = Record(6, 300, 1, 0x0004);
    gone->sampleRefs = {300};
    offsets.Insert(std::move(gone));
    CTrLevel tr1;
    NoSounds(tr1, TrVersion1);
    tr1.sampleData.resize(200);
    EXPECT_EQ(Indices(offsets.WriteToLevel(tr1)), (std::vector<int32_t>{4, 6}));
    EXPECT_EQ(tr1.soundMap[4], 0);
    EXPECT_EQ(tr1.soundMap[6], -1);
    EXPECT_EQ(tr1.sampleIndices, (std::vector<uint32_t>{0, 120}));
    ASSERT_EQ(tr1.soundDetailCount(), 1u);
    EXPECT_EQ(tr1.soundDetails[0].u16(6), 0x0008);

    // Tomb Raider II and III samples live in the game's file: nothing to check against.
    CTrSoundList catalog;
    catalog.Insert(Record(1, 2, 3, 0x000C));
    catalog.Insert(Record(2, 9, 1, 0x0004));
    CTrLevel tr2;
    NoSounds(tr2, TrVersion2);
    catalog.WriteToLevel(tr2);
    EXPECT_EQ(tr2.sampleIndices, (std::vector<uint32_t>{2, 3, 4, 9}));
}

TEST(SoundList, TombRaiderFourSoundsKeepTheirSamplesWhenOthersGo) {
    CTrLevel level;
    NoSounds(level, TrVersion4);
    level.samples.resize(4);
    // The table values are the game's own numbers, not positions.
    level.sampleIndices = {7, 58, 59, 147};
    level.soundDetails = {Detail(0, 0x0A4C, 0, 0x0004), Detail(1, 0x0DA6, 0, 0x4008),
                          Detail(3, 0x0A33, 0x1300, 0x0004)};
    level.soundMap[0] = 0;
    level.soundMap[10] = 1;
    level.soundMap[20] = 2;

    CTrSoundList list(level);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list.Find(20)->firstSample, 147u);
    EXPECT_EQ(list.Find(20)->sampleIndex, 3);

    // Unchanged: the same tables.
    CTrLevel copy;
    NoSounds(copy, TrVersion4);
    copy.samples.resize(4);
    copy.sampleIndices = level.sampleIndices;
    list.WriteToLevel(copy);
    EXPECT_EQ(copy.soundDetails, level.soundDetails);
    EXPECT_EQ(copy.sampleIndices, level.sampleIndices);
    EXPECT_TRUE(std::equal(copy.soundMap, copy.soundMap + 370, level.soundMap));

    // Without the middle sound the last one still plays its own sample at position 3.
    list.Erase(10);
    list.WriteToLevel(level);
    EXPECT_EQ(level.soundMap[10], -1);
    EXPECT_EQ(level.soundMap[20], 1);
    ASSERT_EQ(level.soundDetailCount(), 2u);
    EXPECT_EQ(level.soundDetails[1], Detail(3, 0x0A33, 0x1300, 0x0004));
    EXPECT_EQ(level.sampleIndices, (std::vector<uint32_t>{7, 58, 59, 147}));
}

// Copies (of a moveable) and records read from object files have no sample references:
// a copy finds its samples at its own position, a record of a Tomb Raider IV file by its
// table entries, which number the samples of the game's set, not positions.
TEST(SoundList, TombRaiderFourRecordsWithoutReferencesFindTheLevelsSamples) {
    LogCapture log;
    CTrLevel level;
    NoSounds(level, TrVersion4);
    level.samples.resize(6);
    level.sampleIndices = {7, 58, 59, 147, 58, 300};  // 58 twice
    CTrSoundList list;
    auto add = [&](int index, uint32_t first, uint16_t count, int version, int16_t position) {
        auto r = Record(index, first, count, int16_t(count << 2));
        r->sampleVersion = int8_t(version);
        r->sampleIndex = position;
        list.Insert(std::move(r));
    };
    add(1, 58, 1, TrVersion4, 4);    // a copy: its own position, not the first 58
    add(2, 147, 1, TrVersion4, 0);   // from a file: entry 147 is at 3
    add(3, 58, 2, TrVersion4, 0);    // 58 and 59 follow each other at 1
    add(4, 59, 2, TrVersion4, 0);    // 59 is not followed by 60: not this level's sound
    add(5, 300, 3, TrVersion4, 0);   // two samples past the end
    add(6, 58, 1, TrVersion2, 0);    // a Tomb Raider II sample number
    add(7, 7, 1, 0, 0);              // of no known level
    add(8, 7, 1, TrVersion4, 0);     // from a file, at 0

    EXPECT_EQ(Indices(list.WriteToLevel(level)), (std::vector<int32_t>{4, 5, 6, 7}));
    std::vector<std::pair<int, int>> written;  // slot, first sample position
    for (int i = 0; i < 370; ++i)
        if (level.soundMap[i] != -1)
            written.push_back({i, level.soundDetails.at(size_t(level.soundMap[i])).sample()});
    EXPECT_EQ(written, (std::vector<std::pair<int, int>>{{1, 4}, {2, 3}, {3, 1}, {5, 5}, {8, 0}}));
    EXPECT_EQ(level.soundDetails[2].u16(6), 0x0008);  // both samples of #3
    EXPECT_EQ(level.soundDetails[3].u16(6), 0x0004);  // #5 cut to one
    EXPECT_EQ(level.sampleIndices, (std::vector<uint32_t>{7, 58, 59, 147, 58, 300}));
    EXPECT_NE(log.Text().find("Sound #6: its samples are not among the 6 samples"),
              std::string::npos);

    // Now the level plays them: an entry must agree with the sample of its slot, and a slot
    // without a sound takes no sample another sound plays.
    auto fromFile = [](int index, uint32_t first) {
        TrSoundRecord r = Record(index, first, 1, 0x0004)->CopyWithoutRefs();
        r.sampleVersion = TrVersion4;
        return r;
    };
    EXPECT_TRUE(HeldSamples(level, fromFile(2, 147)).held);
    EXPECT_FALSE(HeldSamples(level, fromFile(2, 58)).held);   // another set's numbers
    EXPECT_FALSE(HeldSamples(level, fromFile(10, 58)).held);  // played by #1 and #3
    EXPECT_FALSE(HeldSamples(level, fromFile(10, 147)).held);
    level.sampleIndices.push_back(400);
    level.samples.resize(7);
    const TrHeldSamples free = HeldSamples(level, fromFile(10, 400));
    EXPECT_TRUE(free.held && free.first == 6);

    // Such a record gives way to a moveable's record of the sound that the level holds.
    level.soundList.reset(new CTrSoundList());
    level.soundList->Insert(std::make_unique<TrSoundRecord>(fromFile(2, 58)));
    level.moveableList.emplace_back(new CTrMvb);
    level.moveableList[0]->sounds->Insert(std::make_unique<TrSoundRecord>(fromFile(2, 147)));
    level.moveableList[0]->sounds->Insert(std::make_unique<TrSoundRecord>(fromFile(10, 147)));
    level.MergeMoveableSounds();
    EXPECT_EQ(level.soundList->Find(2)->firstSample, 147u);
    EXPECT_EQ(level.soundList->size(), 2u);

    // A record read from the level, and a copy of it, play where the level had it.
    level.soundMap[9] = 0;
    level.soundDetails = {Detail(4, 0x7FFF, 0, 0x0004)};
    CTrSoundList own(level);
    CTrSoundList copy;
    copy.Merge(own, false);
    ASSERT_TRUE(copy.Find(9) && copy.Find(9)->sampleRefs.empty());
    for (const CTrSoundList* l : {&own, &copy}) {
        const TrHeldSamples held = HeldSamples(level, *l->Find(9));
        EXPECT_TRUE(held.held && held.first == 4 && held.count == 1);
    }
}

TEST(SoundList, MergeMoveableSoundsLeavesTheLevelListAloneWithoutMoveableSounds) {
    CTrLevel level;
    level.MergeMoveableSounds();
    EXPECT_EQ(level.soundList, nullptr);
    level.soundList.reset(new CTrSoundList());
    level.soundList->Insert(Record(3, 1, 1, 4));
    level.MergeMoveableSounds();
    EXPECT_EQ(level.soundList->size(), 1u);
}

TEST(SoundList, InsertFromLevelTakesOnlyUsableSoundsOfTheMap) {
    LogCapture log;
    CTrLevel level;
    NoSounds(level, TrVersion2);
    level.soundDetails = {Detail(1, 0x6000, 9, 0x0008), Detail(7, 0x6000, 9, 0x0004)};
    level.sampleIndices = {3, 20, 21};
    level.soundMap[12] = 0;
    level.soundMap[13] = 1;  // sample entry past the table
    level.soundMap[14] = 2;  // past the details

    CTrSoundList moveable;
    EXPECT_TRUE(moveable.InsertFromLevel(level, 12));
    const TrSoundRecord* r = moveable.Find(12);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->firstSample, 20u);
    EXPECT_EQ(r->sampleCount, 2);
    EXPECT_EQ(r->volume, 0x6000);
    EXPECT_EQ(r->sampleIndex, 1);
    EXPECT_TRUE(r->sampleRefs.empty());
    EXPECT_FALSE(moveable.InsertFromLevel(level, 12));  // present
    EXPECT_FALSE(moveable.InsertFromLevel(level, 11));  // no sound in that slot
    EXPECT_FALSE(moveable.InsertFromLevel(level, 13));
    EXPECT_FALSE(moveable.InsertFromLevel(level, 14));
    EXPECT_EQ(log.Lines(), 0);  // the level's own list reports those
    // Sound ids past the 370 slots (play-sound operands reach 0x3FFF).
    EXPECT_FALSE(moveable.InsertFromLevel(level, 370));
    EXPECT_FALSE(moveable.InsertFromLevel(level, 0x3FFF));
    EXPECT_FALSE(moveable.InsertFromLevel(level, -1));
    EXPECT_EQ(log.Lines(), 3);
    EXPECT_EQ(LevelLog().errorCount, 0);
    EXPECT_EQ(moveable.size(), 1u);
}

// Real levels: the list built from each level and written back gives the level's own
// sound map, details and sample indices (the game levels keep them in map order).
TEST(SoundListRealLevels, BuiltAndWrittenBackGivesTheSameSoundTables) {
    const std::vector<test::RealLevel> files = test::RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    ScriptedMessageBackend messages;
    ScopedMessageBackend scoped(&messages);
    test::TempDir dir;
    int checked = 0;
    for (const test::RealLevel& file : files) {
        SCOPED_TRACE(file.path);
        const std::string& copy = file.path;  // already a copy of the shared level
        CTrLevel level;
        if (file.unsupported) {
            EXPECT_FALSE(level.Load(copy, true, false));
            continue;
        }
        if (!level.Load(copy, true, false)) {
            std::cout << "not loaded, not checked: " << file.path << "\n";
            continue;
        }
        const int slots = CTrSoundList::MapSlots(level);
        const std::vector<int16_t> map(level.soundMap, level.soundMap + slots);
        const std::vector<TrSoundDetailRecord> details = level.soundDetails;
        const std::vector<uint32_t> indices = level.sampleIndices;

        const int errorsBefore = LevelLog().errorCount;
        CTrSoundList list(level);
        EXPECT_EQ(LevelLog().errorCount, errorsBefore);
        EXPECT_EQ(list.size(), size_t(std::count_if(map.begin(), map.end(),
                                                    [](int16_t m) { return m != -1; })));
        for (const auto& [index, r] : list) {
            EXPECT_EQ(r->sampleCount, (uint16_t(r->flags) >> 2) & 0x3F) << index;
            EXPECT_EQ(r->sampleRefs.size(), r->sampleCount) << index;
        }

        // The serialised form keeps every stored field.
        const std::vector<uint8_t> bytes = list.Serialize(nullptr);
        ASSERT_EQ(bytes.size(), list.GetSerializedSize());
        CTrSoundList back(bytes.data(), bytes.size());
        ASSERT_EQ(back.size(), list.size());
        for (const auto& [index, r] : list) {
            const TrSoundRecord* b = back.Find(index);
            ASSERT_NE(b, nullptr) << index;
            EXPECT_EQ(b->firstSample, r->firstSample);
            EXPECT_EQ(b->sampleCount, r->sampleCount);
            EXPECT_EQ(b->volume, r->volume);
            EXPECT_EQ(b->chance, r->chance);
            EXPECT_EQ(b->flags, r->flags);
        }

        // Garbage in the tables must not survive into the comparison. (A Tomb Raider IV
        // table stays: it goes with the level's samples.)
        std::fill(level.soundMap, level.soundMap + slots, int16_t(0x1234));
        level.soundDetails.assign(3, TrSoundDetailRecord());
        if (level.version != TrVersion4) level.sampleIndices.assign(5, 0xDEAD);
        list.WriteToLevel(level);
        EXPECT_EQ(std::vector<int16_t>(level.soundMap, level.soundMap + slots), map);
        EXPECT_EQ(level.soundDetails, details);
        EXPECT_EQ(level.sampleIndices, indices);
        // Without the sample references kept (as read back from a moveable file), a Tomb
        // Raider I sound's samples are the waves that follow its first one.
        if (level.version == TrVersion1) {
            level.sampleIndices.assign(5, 0xDEAD);
            back.WriteToLevel(level);
            EXPECT_EQ(level.sampleIndices, indices);
        }
        ++checked;
    }
    if (checked == 0) GTEST_SKIP() << "no real level could be loaded";
}

namespace {

// The steps of the tree's commands on the sound lists. Delete: the moveable's sounds
// leave, the others' come back. Replace (by an object file, or "Add resource" with a
// moveable of another level): the same, then the newcomer's sounds.
void DeleteMoveable(CTrLevel& level, size_t i) {
    level.soundList->Merge(*level.moveableList[i]->sounds, true);
    level.moveableList.erase(level.moveableList.begin() + long(i));
    level.MergeMoveableSounds();
}
void ReplaceMoveable(CTrLevel& level, size_t i, CTrMvb& source) {
    CTrMvb& mvb = *level.moveableList[i];
    level.soundList->Merge(*mvb.sounds, true);
    mvb.Clear(true);
    mvb.TakeOver(source, true, true);
    level.soundList->Merge(*mvb.sounds, false);
    level.MergeMoveableSounds();
    KeepLevelSamples(level, *mvb.sounds);
}

}  // namespace

// Tomb Raider IV keeps every sample of the level: a moveable that goes (deleted, or replaced
// by one of another level) leaves every sound another moveable plays at the samples it
// played; moveables replaced by their own object files give the sounds of a batch save.
TEST(SoundListRealLevels, TombRaiderFourMoveablesGoAndComeBackKeepingTheSamplesTheyPlay) {
    test::QuietMessages quiet;
    test::ScopedConfigDir config;
    test::TempDir dir;
    std::vector<std::string> levels;
    for (const test::RealLevel& file : test::RealLevelFiles())
        if (!file.unsupported && test::ReadFileBytes(file.path).at(0) == 'T')
            levels.push_back(file.path);
    if (levels.empty()) GTEST_SKIP() << "no real Tomb Raider IV level";
    int edits = 0;
    for (const std::string& file : levels) {
        SCOPED_TRACE(file);
        CTrLevel original, batch;
        ASSERT_TRUE(original.Load(file, false, false));
        ASSERT_EQ(original.version, TrVersion4);
        const int slots = CTrSoundList::MapSlots(original);
        const std::string batchPath = dir.file("batch.tr4");
        ASSERT_TRUE(original.Save(batchPath, 1, false, false));
        ASSERT_TRUE(batch.Load(batchPath, true, false));
        ASSERT_TRUE(original.Load(file, false, false));
        // The noisiest moveable of another level (or of this one) stands in.
        const std::string& donor = levels[(size_t(&file - levels.data()) + 1) % levels.size()];

        for (size_t i = 0; i < original.moveableList.size(); ++i) {
            if (original.moveableList[i]->sounds->empty()) continue;
            std::set<int32_t> others;
            for (size_t j = 0; j < original.moveableList.size(); ++j)
                if (j != i)
                    for (int32_t k : original.moveableList[j]->PlayedSounds())
                        if (k < slots && !test::SlotSound(batch, k).empty()) others.insert(k);
            for (bool deleted : {true, false}) {
                SCOPED_TRACE((deleted ? "deleted " : "replaced ") + std::to_string(i));
                CTrLevel level, source, saved;
                ASSERT_TRUE(level.Load(file, false, false));
                if (deleted) {
                    DeleteMoveable(level, i);
                } else {
                    ASSERT_TRUE(source.Load(donor, false, false));
                    CTrMvb* noisy = source.moveableList.at(0).get();
                    for (const auto& mvb : source.moveableList)
                        if (mvb->sounds->size() > noisy->sounds->size()) noisy = mvb.get();
                    ReplaceMoveable(level, i, *noisy);
                }
                const std::string path = dir.file("edited.tr4");
                ASSERT_TRUE(level.Save(path, 1, false, false));
                if (deleted) {
                    EXPECT_TRUE(level.soundsLeftOut.empty());
                }
                ASSERT_TRUE(saved.Load(path, true, false));
                for (int32_t k : others)
                    EXPECT_EQ(test::SlotSound(saved, k), test::SlotSound(batch, k)) << "sound " << k;
                ++edits;
            }
        }

        for (size_t i = 0; i < original.moveableList.size(); ++i) {
            CTrMvb loaded(original.moveableList[i]->Serialize());
            ReplaceMoveable(original, i, loaded);
        }
        const std::string path = dir.file("imported.tr4");
        ASSERT_TRUE(original.Save(path, 1, false, false));
        EXPECT_TRUE(original.soundsLeftOut.empty());
        CTrLevel saved;
        ASSERT_TRUE(saved.Load(path, true, false));
        EXPECT_EQ(saved.soundDetails, batch.soundDetails);
        for (int k = 0; k < slots; ++k)
            EXPECT_EQ(test::SlotSound(saved, k), test::SlotSound(batch, k)) << "sound " << k;
    }
    EXPECT_GT(edits, 0);
}

// A moveable of every other edition's real levels, taken into a Tomb Raider IV level as an
// object file and exported again: the file holds only the level's own sounds, each as the
// level has it, so another Tomb Raider IV level reads no foreign sample numbers from it.
TEST(SoundListRealLevels, TombRaiderFourExportsNoOtherEditionsSamples) {
    test::QuietMessages quiet;
    test::ScopedConfigDir config;
    std::vector<std::string> tr4, others;
    for (const test::RealLevel& file : test::RealLevelFiles())
        if (!file.unsupported)
            (test::ReadFileBytes(file.path).at(0) == 'T' ? tr4 : others).push_back(file.path);
    if (tr4.empty() || others.empty()) GTEST_SKIP() << "no real levels of two editions";
    CTrLevel level;
    ASSERT_TRUE(level.Load(tr4.front(), false, false));
    size_t foreign = 0, kept = 0;
    for (const std::string& file : others) {
        SCOPED_TRACE(file);
        CTrLevel source;
        ASSERT_TRUE(source.Load(file, false, false));
        CTrMvb* noisy = source.moveableList.at(0).get();
        for (const auto& mvb : source.moveableList)
            if (mvb->sounds->size() > noisy->sounds->size()) noisy = mvb.get();
        CTrMvb fromFile(noisy->Serialize());
        foreign += fromFile.sounds->size();
        ReplaceMoveable(level, 0, fromFile);
        CTrMvb exported(level.moveableList[0]->Serialize());
        for (const auto& [index, r] : *exported.sounds) {
            const TrSoundRecord* own = level.soundList->Find(index);
            ASSERT_TRUE(own && own->sampleVersion == TrVersion4) << "sound " << index;
            EXPECT_TRUE(HeldSamples(level, *r).held) << "sound " << index;
            EXPECT_EQ(r->firstSample, own->firstSample) << "sound " << index;
            ++kept;
        }
    }
    EXPECT_GT(foreign, 0u);
    std::cout << foreign << " sounds of other editions, " << kept << " kept as the level's\n";
}

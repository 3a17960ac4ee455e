#pragma once
// What one level may hold, for the load and the save alike: a save writes nothing that a
// load would refuse, and a load takes in no level that a save could not write again.
#include <cstdint>
#include <string>

namespace lithoscope {

// The largest real levels are a few MB, files and level data alike: a file, a Tomb Raider
// IV level-data chunk or the level data a save writes beyond this is no level.
constexpr uint64_t kMaxLevelBytes = uint64_t(64) << 20;
// Levels hold a few tens of texture pages; each costs 384 KB once read.
constexpr uint64_t kMaxPages = 256;
// Memory that a level's own bytes decide (the file, the inflated level data, pages,
// samples, arrays, mesh copies, the object model and what the save's repacking of its
// textures takes): the largest real level takes about 45 MB of it. Kept so that a load
// and the save after it stay within 256 MB: the save adds its level data, its packed
// chunks and its image, each at most a level's bytes.
constexpr uint64_t kMaxLevelMemory = uint64_t(128) << 20;

// "... more than a level holds (at most ...)" for a size in bytes.
std::string MoreThanALevelHolds(uint64_t bytes, const char* what);

// The memory a level takes, counted before each allocation whose size its bytes decide.
// Parts that live as long as the level stay counted until Reset; buffers of one step are
// given back (ScopedCharge).
class LevelMemory {
public:
    // Throws LevelError, naming what, when the bytes would take the level past
    // kMaxLevelMemory; nothing is counted then.
    void Charge(uint64_t bytes, const char* what);
    void Refund(uint64_t bytes) { held_ = bytes < held_ ? held_ - bytes : 0; }
    // Counts bytes that come back to the level (a save put back as it was), bound or not.
    void Keep(uint64_t bytes) {
        held_ += bytes;
        if (held_ > peak_) peak_ = held_;
    }
    void Reset() { held_ = peak_ = 0; }
    uint64_t held() const { return held_; }
    // The most held at once since the last Reset.
    uint64_t peak() const { return peak_; }

private:
    uint64_t held_ = 0;
    uint64_t peak_ = 0;
};

// A charge given back when it goes out of scope, or earlier by Refund.
class ScopedCharge {
public:
    ScopedCharge(LevelMemory& memory, uint64_t bytes, const char* what) : memory_(memory) {
        memory.Charge(bytes, what);
        bytes_ = bytes;
    }
    ~ScopedCharge() { Refund(); }
    ScopedCharge(const ScopedCharge&) = delete;
    ScopedCharge& operator=(const ScopedCharge&) = delete;
    void Refund() {
        memory_.Refund(bytes_);
        bytes_ = 0;
    }

private:
    LevelMemory& memory_;
    uint64_t bytes_ = 0;
};

}  // namespace lithoscope

#pragma once
// Bounded little-endian readers and writers over byte spans. Every count read from a
// file goes through need() before anything is allocated for it.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "level/LevelErrors.h"

namespace lithoscope {

class ByteReader {
public:
    ByteReader(const uint8_t* data, size_t size, std::string section = "data")
        : data_(data), size_(size), section_(std::move(section)) {}
    ByteReader(const std::vector<uint8_t>& v, std::string section = "data")
        : ByteReader(v.data(), v.size(), std::move(section)) {}

    size_t pos() const { return pos_; }
    size_t size() const { return size_; }
    size_t left() const { return size_ - pos_; }
    const uint8_t* data() const { return data_; }
    const uint8_t* cursor() const { return data_ + pos_; }
    void setSection(const std::string& s) { section_ = s; }
    const std::string& section() const { return section_; }

    // Throws unless count records of size bytes remain (checked in 64 bits).
    void need(uint64_t count, uint64_t size) const {
        if (size != 0 && count > (uint64_t(1) << 40) / size) fail("count too large");
        if (count * size > left()) fail("runs past the end");
    }
    void seek(size_t p) {
        if (p > size_) fail("seek past the end");
        pos_ = p;
    }
    void skip(size_t n) { need(n, 1); pos_ += n; }

    uint8_t u8() { need(1, 1); return data_[pos_++]; }
    int8_t s8() { return int8_t(u8()); }
    uint16_t u16() {
        need(1, 2);
        uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return v;
    }
    int16_t s16() { return int16_t(u16()); }
    uint32_t u32() {
        need(1, 4);
        uint32_t v = uint32_t(data_[pos_]) | (uint32_t(data_[pos_ + 1]) << 8) |
                     (uint32_t(data_[pos_ + 2]) << 16) | (uint32_t(data_[pos_ + 3]) << 24);
        pos_ += 4;
        return v;
    }
    int32_t s32() { return int32_t(u32()); }
    float f32() {
        uint32_t u = u32();
        float f;
        std::memcpy(&f, &u, 4);
        return f;
    }
    void bytes(void* out, size_t n) {
        need(n, 1);
        if (n) std::memcpy(out, data_ + pos_, n);
        pos_ += n;
    }
    std::vector<uint8_t> take(size_t n) {
        need(n, 1);
        std::vector<uint8_t> v(data_ + pos_, data_ + pos_ + n);
        pos_ += n;
        return v;
    }

    [[noreturn]] void fail(const std::string& why) const { throw FormatError(section_, pos_, why); }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
    std::string section_;
};

// Writes into a buffer of a fixed capacity (the computed size); writing past it throws,
// so a size function that disagrees with its writer is caught at once.
class ByteWriter {
public:
    ByteWriter(uint8_t* data, size_t capacity) : data_(data), cap_(capacity) {}
    explicit ByteWriter(std::vector<uint8_t>& v) : data_(v.data()), cap_(v.size()) {}

    size_t pos() const { return pos_; }
    size_t capacity() const { return cap_; }
    size_t left() const { return cap_ - pos_; }
    uint8_t* data() const { return data_; }

    void u8(uint8_t v) { room(1); data_[pos_++] = v; }
    void s8(int8_t v) { u8(uint8_t(v)); }
    void u16(uint16_t v) {
        room(2);
        data_[pos_] = uint8_t(v);
        data_[pos_ + 1] = uint8_t(v >> 8);
        pos_ += 2;
    }
    void s16(int16_t v) { u16(uint16_t(v)); }
    void u32(uint32_t v) {
        room(4);
        for (int i = 0; i < 4; ++i) data_[pos_ + i] = uint8_t(v >> (8 * i));
        pos_ += 4;
    }
    void s32(int32_t v) { u32(uint32_t(v)); }
    void f32(float f) {
        uint32_t u;
        std::memcpy(&u, &f, 4);
        u32(u);
    }
    void bytes(const void* p, size_t n) {
        room(n);
        if (n) std::memcpy(data_ + pos_, p, n);
        pos_ += n;
    }
    void zeros(size_t n) {
        room(n);
        std::memset(data_ + pos_, 0, n);
        pos_ += n;
    }
    // Overwrites 4 bytes at an earlier position (sizes known only after the fact).
    void patchU32(size_t at, uint32_t v) {
        if (at + 4 > pos_) throw LevelError("patch outside the written bytes");
        for (int i = 0; i < 4; ++i) data_[at + i] = uint8_t(v >> (8 * i));
    }

private:
    void room(size_t n) const {
        if (n > cap_ - pos_) throw LevelError("writer overflow at " + std::to_string(pos_));
    }
    uint8_t* data_;
    size_t cap_;
    size_t pos_ = 0;
};

// Little-endian access inside fixed byte slots of records carried verbatim.
inline uint16_t GetU16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline int16_t GetS16(const uint8_t* p) { return int16_t(GetU16(p)); }
inline uint32_t GetU32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline int32_t GetS32(const uint8_t* p) { return int32_t(GetU32(p)); }
inline void PutU16(uint8_t* p, uint16_t v) { p[0] = uint8_t(v); p[1] = uint8_t(v >> 8); }
inline void PutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}

}  // namespace lithoscope

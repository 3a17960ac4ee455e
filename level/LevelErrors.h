#pragma once
// Errors raised inside the level library. They become the user's message texts only
// at the edge that shows them (load, save, object-file commands).
#include <cstddef>
#include <stdexcept>
#include <string>

namespace lithoscope {

class LevelError : public std::runtime_error {
public:
    explicit LevelError(const std::string& what) : std::runtime_error(what) {}
};

// A file whose bytes do not fit the layout: names the section and the byte offset.
class FormatError : public LevelError {
public:
    FormatError(const std::string& section, size_t offset, const std::string& detail = "")
        : LevelError(section + " at offset " + std::to_string(offset) +
                     (detail.empty() ? "" : ": " + detail)),
          section_(section), offset_(offset) {}
    const std::string& section() const { return section_; }
    size_t offset() const { return offset_; }

private:
    std::string section_;
    size_t offset_;
};

class UnsupportedVersionError : public LevelError {
public:
    explicit UnsupportedVersionError(unsigned magic)
        : LevelError("unknown file version word " + std::to_string(magic)), magic_(magic) {}
    unsigned magic() const { return magic_; }

private:
    unsigned magic_;
};

class EncryptedLevelError : public LevelError {
public:
    EncryptedLevelError() : LevelError("encrypted TR4 level") {}
};

class IoError : public LevelError {
public:
    explicit IoError(const std::string& what) : LevelError(what) {}
};

// Thrown by object constructors that are handed a buffer of the wrong kind or version;
// only the object classes' file loaders catch it.
class RejectedObjectBuffer : public LevelError {
public:
    explicit RejectedObjectBuffer(const std::string& why) : LevelError(why) {}
};

// A value that no longer fits its field when a level or object is written.
class OverflowError : public LevelError {
public:
    explicit OverflowError(const std::string& what) : LevelError(what) {}
};

}  // namespace lithoscope

#pragma once
// 3D Studio toolkit: the value reader and writer. Every value moves between memory and the
// current file (Files3ds.h) through these primitives, little-endian. A read that gets fewer
// bytes than it needs pushes ERR_READING_FILE and yields 0 (compound reads keep the defaults
// of the fields they did not reach); a write that fails pushes ERR_WRITING_FILE.
#include <cstddef>
#include <cstdint>
#include <string>

namespace lithoscope {

struct Point3ds {
    float x, y, z;
};

struct TexVert3ds {
    float u, v;
};

struct Face3ds {
    uint16_t a, b, c, flags;
};

// File form of a key track's header (the keys follow it).
struct TrackHeader3ds {
    uint16_t flags;
    uint32_t reserved1, reserved2;  // kept and written back, default 0
    uint32_t keyCount;              // default 1
};

// One key's header in memory: 28 bytes. In the file only the floats whose flag bits are set
// follow frame and flags: bit 0 tension, 1 continuity, 2 bias, 3 ease to, 4 ease from.
struct KeyHeader3ds {
    int32_t frame;
    uint16_t flags;
    float tension, continuity, bias, easeTo, easeFrom;
};

enum KeyFlags3ds : uint16_t {
    KEY_USE_TENS3DS = 0x01,
    KEY_USE_CONT3DS = 0x02,
    KEY_USE_BIAS3DS = 0x04,
    KEY_USE_EASE_TO3DS = 0x08,
    KEY_USE_EASE_FROM3DS = 0x10,
};

constexpr uint32_t kChunkHeaderSize3ds = 6;

// Raw bytes; the base of every other read and write.
void ReadBytes3ds(void* out, size_t count);
void WriteBytes3ds(const void* data, size_t count);
// Bytes left before the current file's read limit (or its end).
size_t BytesLeft3ds();

void ReadByte3ds(uint8_t* out);
void ReadUShort3ds(uint16_t* out);
void ReadULong3ds(uint32_t* out);
void ReadFloat3ds(float* out);
void ReadPoint3ds(Point3ds* out);          // defaults (0, 0, 0)
void ReadTexVert3ds(TexVert3ds* out);      // defaults (0, 0)
void ReadFace3ds(Face3ds* out);            // defaults (0, 1, 2, 0)
void ReadTrackHeader3ds(TrackHeader3ds* out);  // defaults (0, 0, 0, 1)
void ReadKeyHeader3ds(KeyHeader3ds* out);  // absent floats 0
// Chunk header: uint16 tag, uint32 length (header included).
void ReadHeader3ds(uint32_t* tag, uint32_t* size);

void WriteByte3ds(uint8_t value);
void WriteUShort3ds(uint16_t value);
void WriteULong3ds(uint32_t value);
void WriteFloat3ds(float value);
void WritePoint3ds(const Point3ds& value);
void WriteTexVert3ds(const TexVert3ds& value);
void WriteFace3ds(const Face3ds& value);
void WriteTrackHeader3ds(const TrackHeader3ds& value);
void WriteKeyHeader3ds(const KeyHeader3ds& value);
// Writes tag and size at the current position; returns that position, where FinishHeader3ds
// later patches the length.
uint32_t WriteHeader3ds(uint32_t tag, uint32_t size);
// Patches the length of the chunk whose header starts at start to (current position -
// start) when it differs from recorded; leaves the position at the end. Returns the length.
uint32_t FinishHeader3ds(uint32_t start, uint32_t recorded);

// Bounded string read: bytes up to the NUL, at most maxLength characters. A string that fills
// maxLength + 1 bytes without a NUL (or runs out of bytes) pushes ERR_READING_FILE.
void ReadString3ds(std::string* out, uint32_t maxLength);
// The same for a name whose field holds maxLength characters: one that runs past its field
// also leaves a note (Warnings3ds) naming it and the field, what ("object name").
void ReadName3ds(std::string* out, uint32_t maxLength, const char* what);
// The note of a name longer than its field: what "name" is longer than its field (at most
// maxLength characters). Unprintable bytes show as '?', a very long name is shortened.
std::string LongNameNote3ds(const char* what, const std::string& name, uint32_t maxLength);
// Fixed-field read: a string of at most fieldLength - 1 characters in a field of fieldLength
// bytes; the rest of the field is skipped.
void ReadFixedString3ds(std::string* out, uint32_t fieldLength);
// Bytes up to and with the NUL.
void WriteString3ds(const std::string& value);
// The text, then NULs up to fieldLength bytes (a longer text is cut to fieldLength - 1).
void WritePaddedString3ds(const std::string& value, uint32_t fieldLength);
// A name longer than maxLength characters pushes ERR_STRING_TOO_LONG (with the note of
// LongNameNote3ds when what is given); true when it fits.
bool CheckNameLength3ds(const std::string& value, uint32_t maxLength, const char* what = nullptr);

}  // namespace lithoscope

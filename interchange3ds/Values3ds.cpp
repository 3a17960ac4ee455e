#include "interchange3ds/Values3ds.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"
#include "level/ByteIO.h"

namespace lithoscope {

namespace {

File3ds* Reading() {
    File3ds* f = GetCurrentFile3ds();
    return (f && f->isOpen && f->mode == FILE_MODE_READ3DS) ? f : nullptr;
}

File3ds* Writing() {
    File3ds* f = GetCurrentFile3ds();
    return (f && f->isOpen && f->mode == FILE_MODE_WRITE3DS) ? f : nullptr;
}

// End of what a read may reach: the file's end or its read limit.
size_t ReadEnd(const File3ds* f) { return std::min(f->bytes.size(), f->readLimit); }

bool ReadRaw(void* out, size_t count) {
    File3ds* f = Reading();
    if (!f) {
        std::memset(out, 0, count);
        PushError3ds(ERR_READING_FILE);
        return false;
    }
    size_t end = ReadEnd(f);
    try {
        ByteReader reader(f->bytes.data(), end, "3ds");
        reader.seek(f->position);
        reader.bytes(out, count);
        f->position = reader.pos();
        return true;
    } catch (const FormatError&) {
        // A short read: what was there is consumed, the value reads as 0.
        std::memset(out, 0, count);
        if (f->position < end) f->position = end;
        PushError3ds(ERR_READING_FILE);
        return false;
    }
}

}  // namespace

void ReadBytes3ds(void* out, size_t count) { ReadRaw(out, count); }

size_t BytesLeft3ds() {
    File3ds* f = Reading();
    if (!f) return 0;
    size_t end = ReadEnd(f);
    return f->position < end ? end - f->position : 0;
}

void WriteBytes3ds(const void* data, size_t count) {
    File3ds* f = Writing();
    if (!f || uint64_t(f->position) + count > 0xFFFFFFFFull) {
        if (f) f->discard = true;
        PushError3ds(ERR_WRITING_FILE);
        return;
    }
    try {
        if (f->bytes.size() < f->position + count) f->bytes.resize(f->position + count);
        if (count) {
            ByteWriter writer(f->bytes.data() + f->position, count);
            writer.bytes(data, count);
        }
        f->position += count;
    } catch (const std::bad_alloc&) {
        f->discard = true;
        PushError3ds(ERR_NO_MEM);
    }
}

void ReadByte3ds(uint8_t* out) {
    uint8_t b = 0;
    ReadRaw(&b, 1);
    if (out) *out = b;
}

void ReadUShort3ds(uint16_t* out) {
    uint8_t b[2];
    ReadRaw(b, 2);
    if (out) *out = GetU16(b);
}

void ReadULong3ds(uint32_t* out) {
    uint8_t b[4];
    ReadRaw(b, 4);
    if (out) *out = GetU32(b);
}

void ReadFloat3ds(float* out) {
    uint8_t b[4];
    ReadRaw(b, 4);
    uint32_t u = GetU32(b);
    float v;
    std::memcpy(&v, &u, 4);
    if (out) *out = v;
}

namespace {
// Compound reads stop at their first failed field; a local flag keeps an error left pending
// by an earlier call from stopping them.
struct FieldReader {
    bool failed = false;
    void f32(float* v) {
        if (failed) return;
        uint8_t b[4];
        if (!ReadRaw(b, 4)) { failed = true; return; }
        uint32_t u = GetU32(b);
        std::memcpy(v, &u, 4);
    }
    void u16(uint16_t* v) {
        if (failed) return;
        uint8_t b[2];
        if (!ReadRaw(b, 2)) { failed = true; return; }
        *v = GetU16(b);
    }
    void u32(uint32_t* v) {
        if (failed) return;
        uint8_t b[4];
        if (!ReadRaw(b, 4)) { failed = true; return; }
        *v = GetU32(b);
    }
};
}  // namespace

void ReadPoint3ds(Point3ds* out) {
    Point3ds p{0, 0, 0};
    FieldReader r;
    r.f32(&p.x);
    r.f32(&p.y);
    r.f32(&p.z);
    if (out) *out = p;
}

void ReadTexVert3ds(TexVert3ds* out) {
    TexVert3ds t{0, 0};
    FieldReader r;
    r.f32(&t.u);
    r.f32(&t.v);
    if (out) *out = t;
}

void ReadFace3ds(Face3ds* out) {
    Face3ds f{0, 1, 2, 0};
    FieldReader r;
    r.u16(&f.a);
    r.u16(&f.b);
    r.u16(&f.c);
    r.u16(&f.flags);
    if (out) *out = f;
}

void ReadTrackHeader3ds(TrackHeader3ds* out) {
    TrackHeader3ds h{0, 0, 0, 1};
    FieldReader r;
    r.u16(&h.flags);
    r.u32(&h.reserved1);
    r.u32(&h.reserved2);
    r.u32(&h.keyCount);
    if (out) *out = h;
}

void ReadKeyHeader3ds(KeyHeader3ds* out) {
    KeyHeader3ds k{0, 0, 0, 0, 0, 0, 0};
    FieldReader r;
    uint32_t frame = 0;
    r.u32(&frame);
    k.frame = int32_t(frame);
    r.u16(&k.flags);
    if (k.flags & KEY_USE_TENS3DS) r.f32(&k.tension);
    if (k.flags & KEY_USE_CONT3DS) r.f32(&k.continuity);
    if (k.flags & KEY_USE_BIAS3DS) r.f32(&k.bias);
    if (k.flags & KEY_USE_EASE_TO3DS) r.f32(&k.easeTo);
    if (k.flags & KEY_USE_EASE_FROM3DS) r.f32(&k.easeFrom);
    if (out) *out = k;
}

void ReadHeader3ds(uint32_t* tag, uint32_t* size) {
    uint16_t t = 0;
    uint32_t s = 0;
    FieldReader r;
    r.u16(&t);
    r.u32(&s);
    if (tag) *tag = t;
    if (size) *size = s;
}

void WriteByte3ds(uint8_t value) { WriteBytes3ds(&value, 1); }

void WriteUShort3ds(uint16_t value) {
    uint8_t b[2];
    PutU16(b, value);
    WriteBytes3ds(b, 2);
}

void WriteULong3ds(uint32_t value) {
    uint8_t b[4];
    PutU32(b, value);
    WriteBytes3ds(b, 4);
}

void WriteFloat3ds(float value) {
    uint32_t u;
    std::memcpy(&u, &value, 4);
    WriteULong3ds(u);
}

void WritePoint3ds(const Point3ds& value) {
    WriteFloat3ds(value.x);
    WriteFloat3ds(value.y);
    WriteFloat3ds(value.z);
}

void WriteTexVert3ds(const TexVert3ds& value) {
    WriteFloat3ds(value.u);
    WriteFloat3ds(value.v);
}

void WriteFace3ds(const Face3ds& value) {
    WriteUShort3ds(value.a);
    WriteUShort3ds(value.b);
    WriteUShort3ds(value.c);
    WriteUShort3ds(value.flags);
}

void WriteTrackHeader3ds(const TrackHeader3ds& value) {
    WriteUShort3ds(value.flags);
    WriteULong3ds(value.reserved1);
    WriteULong3ds(value.reserved2);
    WriteULong3ds(value.keyCount);
}

void WriteKeyHeader3ds(const KeyHeader3ds& value) {
    WriteULong3ds(uint32_t(value.frame));
    WriteUShort3ds(value.flags);
    if (value.flags & KEY_USE_TENS3DS) WriteFloat3ds(value.tension);
    if (value.flags & KEY_USE_CONT3DS) WriteFloat3ds(value.continuity);
    if (value.flags & KEY_USE_BIAS3DS) WriteFloat3ds(value.bias);
    if (value.flags & KEY_USE_EASE_TO3DS) WriteFloat3ds(value.easeTo);
    if (value.flags & KEY_USE_EASE_FROM3DS) WriteFloat3ds(value.easeFrom);
}

uint32_t WriteHeader3ds(uint32_t tag, uint32_t size) {
    uint32_t start = FileTell3ds();
    WriteUShort3ds(uint16_t(tag));
    WriteULong3ds(size);
    return start;
}

uint32_t FinishHeader3ds(uint32_t start, uint32_t recorded) {
    uint32_t end = FileTell3ds();
    uint32_t length = end - start;
    if (length != recorded) {
        FileSeek3ds(start + 2);
        WriteULong3ds(length);
        FileSeek3ds(end);
    }
    return length;
}

namespace {
// Reads a NUL-terminated string of at most maxLength characters; what, when given, names
// the field in the note of a string that runs past it.
void ReadBoundedString(std::string* out, uint32_t maxLength, const char* what) {
    if (out) out->clear();
    File3ds* f = Reading();
    if (!f) {
        PushError3ds(ERR_READING_FILE);
        return;
    }
    size_t end = ReadEnd(f);
    size_t avail = f->position < end ? end - f->position : 0;
    size_t field = size_t(maxLength) + 1;
    size_t scan = std::min(avail, field);
    const uint8_t* start = f->bytes.data() + (f->position < end ? f->position : 0);
    const void* nul = scan ? std::memchr(start, 0, scan) : nullptr;
    if (!nul) {
        // No NUL within the field, or the bytes ran out first.
        if (what && avail > maxLength) {
            // The name as far as its NUL (or its chunk's end), for the note.
            const void* end = std::memchr(start, 0, avail);
            const size_t length = end ? size_t(static_cast<const uint8_t*>(end) - start) : avail;
            PushWarning3ds(LongNameNote3ds(what, std::string(reinterpret_cast<const char*>(start), length),
                                           maxLength));
        }
        f->position += scan;
        PushError3ds(ERR_READING_FILE);
        return;
    }
    size_t length = size_t(static_cast<const uint8_t*>(nul) - start);
    if (out) out->assign(reinterpret_cast<const char*>(start), length);
    f->position += length + 1;
}
}  // namespace

void ReadString3ds(std::string* out, uint32_t maxLength) { ReadBoundedString(out, maxLength, nullptr); }

void ReadName3ds(std::string* out, uint32_t maxLength, const char* what) {
    ReadBoundedString(out, maxLength, what ? what : "name");
}

std::string LongNameNote3ds(const char* what, const std::string& name, uint32_t maxLength) {
    constexpr size_t kShown = 64;
    std::string shown;
    for (size_t i = 0; i < name.size() && i < kShown; ++i) {
        const unsigned char c = static_cast<unsigned char>(name[i]);
        shown += c >= 0x20 && c != 0x7F ? char(c) : '?';
    }
    if (name.size() > kShown) shown += "...";
    return std::string(what ? what : "name") + " \"" + shown + "\" is longer than its field (at most " +
           std::to_string(maxLength) + " characters)";
}

void ReadFixedString3ds(std::string* out, uint32_t fieldLength) {
    if (out) out->clear();
    if (fieldLength == 0) return;
    File3ds* f = Reading();
    size_t field = fieldLength;
    if (!f || BytesLeft3ds() < field) {
        if (f) f->position = std::max(f->position, ReadEnd(f));
        PushError3ds(ERR_READING_FILE);
        return;
    }
    const uint8_t* start = f->bytes.data() + f->position;
    const void* nul = std::memchr(start, 0, field);
    f->position += field;
    if (!nul) {
        PushError3ds(ERR_READING_FILE);
        return;
    }
    if (out) out->assign(reinterpret_cast<const char*>(start),
                         size_t(static_cast<const uint8_t*>(nul) - start));
}

void WriteString3ds(const std::string& value) {
    WriteBytes3ds(value.c_str(), std::strlen(value.c_str()) + 1);
}

void WritePaddedString3ds(const std::string& value, uint32_t fieldLength) {
    if (fieldLength == 0) return;
    std::vector<uint8_t> field(fieldLength, 0);
    size_t n = std::min(std::strlen(value.c_str()), size_t(fieldLength - 1));
    std::memcpy(field.data(), value.c_str(), n);
    WriteBytes3ds(field.data(), field.size());
}

bool CheckNameLength3ds(const std::string& value, uint32_t maxLength, const char* what) {
    if (std::strlen(value.c_str()) > maxLength) {
        if (what) PushWarning3ds(LongNameNote3ds(what, value.c_str(), maxLength));
        PushError3ds(ERR_STRING_TOO_LONG);
        return false;
    }
    return true;
}

}  // namespace lithoscope

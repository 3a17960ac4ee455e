#pragma once
// Record slots of the level arrays. Each kind has one slot size for every version, large
// enough for its largest file form; a smaller file record fills the start of its slot and
// is written back at its version's size. Apart from the fields the system interprets,
// records are carried byte for byte.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "level/ByteIO.h"

namespace lithoscope {

template <size_t N>
struct TrSlot {
    static constexpr size_t kSlotSize = N;
    std::array<uint8_t, N> b{};

    uint8_t u8(size_t o) const { return b[o]; }
    uint16_t u16(size_t o) const { return GetU16(&b[o]); }
    int16_t s16(size_t o) const { return GetS16(&b[o]); }
    uint32_t u32(size_t o) const { return GetU32(&b[o]); }
    int32_t s32(size_t o) const { return GetS32(&b[o]); }
    void setU8(size_t o, uint8_t v) { b[o] = v; }
    void setU16(size_t o, uint16_t v) { PutU16(&b[o], v); }
    void setS16(size_t o, int16_t v) { PutU16(&b[o], uint16_t(v)); }
    void setU32(size_t o, uint32_t v) { PutU32(&b[o], v); }
    void setS32(size_t o, int32_t v) { PutU32(&b[o], uint32_t(v)); }
    bool operator==(const TrSlot& o) const { return b == o.b; }
    bool operator!=(const TrSlot& o) const { return b != o.b; }
};

// Room parts (slots of the largest file form).
struct TrRoomVertex : TrSlot<12> {};      // V1: 8 bytes in the file, V2-V4: 12
struct TrRoomRectangle : TrSlot<12> {};   // 10 in the file; texture word at 8
struct TrRoomTriangle : TrSlot<10> {};    // 8 in the file; texture word at 6
struct TrRoomSprite : TrSlot<4> {};
struct TrRoomPortal : TrSlot<32> {};
struct TrRoomSector : TrSlot<8> {};
struct TrRoomLight : TrSlot<46> {};       // 18 (V1), 24 (V2, V3), 46 (V4)
struct TrRoomStatic : TrSlot<20> {};      // 18 (V1), 20

struct TrRoomRecord {
    int32_t info[4] = {0, 0, 0, 0};
    std::vector<TrRoomVertex> vertices;
    std::vector<TrRoomRectangle> rectangles;
    std::vector<TrRoomTriangle> triangles;
    std::vector<TrRoomSprite> sprites;
    std::vector<TrRoomPortal> portals;
    uint16_t sectorCountZ = 0;
    uint16_t sectorCountX = 0;
    std::vector<TrRoomSector> sectors;  // sectorCountZ x sectorCountX
    int16_t ambient = 0;
    int16_t ambient2 = 0;   // V2-V4
    int16_t lightMode = 0;  // V2
    std::vector<TrRoomLight> lights;
    std::vector<TrRoomStatic> statics;
    int16_t alternateRoom = 0;
    int16_t flags = 0;
    uint16_t extraWord = 0;  // V3, V4
    uint8_t extraByte = 0;   // V3, V4

    uint16_t vertexCount() const { return uint16_t(vertices.size()); }
    uint16_t rectangleCount() const { return uint16_t(rectangles.size()); }
    uint16_t triangleCount() const { return uint16_t(triangles.size()); }
    uint16_t spriteCount() const { return uint16_t(sprites.size()); }
    uint16_t portalCount() const { return uint16_t(portals.size()); }
    uint16_t lightCount() const { return uint16_t(lights.size()); }
    uint16_t staticCount() const { return uint16_t(statics.size()); }
};

// Animation: 40-byte slot. V1-V3 file bytes 0-15 -> 0-15, 16-31 -> 24-39.
struct TrAnimationRecord : TrSlot<40> {
    uint32_t frameOffset() const { return u32(0); }
    uint8_t frameRate() const { return u8(4); }
    uint8_t frameSize() const { return u8(5); }
    uint16_t stateId() const { return u16(6); }
    uint16_t frameStart() const { return u16(24); }
    uint16_t frameEnd() const { return u16(26); }
    uint16_t nextAnimation() const { return u16(28); }
    uint16_t nextFrame() const { return u16(30); }
    uint16_t stateChangeCount() const { return u16(32); }
    uint16_t stateChangeOffset() const { return u16(34); }
    uint16_t animCommandCount() const { return u16(36); }
    uint16_t animCommandOffset() const { return u16(38); }
};
struct TrStateChangeRecord : TrSlot<6> {
    uint16_t stateId() const { return u16(0); }
    uint16_t dispatchCount() const { return u16(2); }
    uint16_t dispatchOffset() const { return u16(4); }
};
struct TrAnimDispatchRecord : TrSlot<8> {
    int16_t low() const { return s16(0); }
    int16_t high() const { return s16(2); }
    int16_t nextAnimation() const { return s16(4); }
    int16_t nextFrame() const { return s16(6); }
};
// object id (int32) at 0, mesh count at 4, first mesh pointer at 6, mesh tree index at 8,
// frame offset at 12, first animation at 16 (0xFFFF: none).
struct TrMoveableRecord : TrSlot<18> {
    int32_t objectId() const { return s32(0); }
    uint16_t meshCount() const { return u16(4); }
    uint16_t firstMesh() const { return u16(6); }
    uint32_t meshTreeIndex() const { return u32(8); }
    uint32_t frameOffset() const { return u32(12); }
    uint16_t firstAnimation() const { return u16(16); }
};
// object id (int32) at 0, mesh pointer index at 4, two boxes of six int16, flags at 30.
struct TrStaticMeshRecord : TrSlot<32> {
    int32_t objectId() const { return s32(0); }
    uint16_t meshIndex() const { return u16(4); }
    uint16_t flags() const { return u16(30); }
};
struct TrSpriteTextureRecord : TrSlot<16> {
    uint16_t page() const { return u16(0); }
};
// object id (int32), negative sprite count (int16), first sprite texture (int16).
struct TrSpriteSequenceRecord : TrSlot<8> {
    int32_t objectId() const { return s32(0); }
    int16_t negativeLength() const { return s16(4); }
    int16_t offset() const { return s16(6); }
};
struct TrItemRecord : TrSlot<24> {  // V1: 22 bytes in the file
    int16_t objectId() const { return s16(0); }
};
// attributes at 0, page at 2 (low 15 bits), flags at 4 (bit 15: room texture), four
// corners of 4 bytes at 6 (x coordinate, x pixel, y coordinate, y pixel), 16 bytes at 22.
struct TrObjectTextureRecord : TrSlot<38> {
    uint16_t attributes() const { return u16(0); }
    uint16_t page() const { return u16(2); }
    uint16_t flags() const { return u16(4); }
    uint8_t* corner(int k) { return &b[6 + 4 * k]; }
    const uint8_t* corner(int k) const { return &b[6 + 4 * k]; }
};
struct TrCameraRecord : TrSlot<16> {};
struct TrFlybyCameraRecord : TrSlot<40> {};
struct TrSoundSourceRecord : TrSlot<16> {};
struct TrBoxRecord : TrSlot<20> {};  // V1: 20 bytes, V2-V4: 8
struct TrSoundDetailRecord : TrSlot<8> {
    uint16_t sample() const { return u16(0); }
};
struct TrCinematicFrameRecord : TrSlot<16> {};
struct TrAIObjectRecord : TrSlot<24> {};  // V1-V3: a 16-byte cinematic frame, then zeros

// One Tomb Raider IV compressed chunk or sample: {unpacked size, packed size, data}.
struct TrPackedChunk {
    uint32_t unpackedSize = 0;
    std::vector<uint8_t> data;  // the packed bytes
    uint32_t packedSize() const { return uint32_t(data.size()); }
    void clear() {
        unpackedSize = 0;
        std::vector<uint8_t>().swap(data);
    }
    bool operator==(const TrPackedChunk& o) const {
        return unpackedSize == o.unpackedSize && data == o.data;
    }
};

}  // namespace lithoscope

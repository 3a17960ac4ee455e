#pragma once
// Sprite lists (.trspr): one sprite sequence of a level with a page of its own, one object
// texture per sprite image and one 12-byte frame record per texture.
#include <memory>
#include <vector>

#include "level/TrObjects.h"

namespace lithoscope {

class CTrLevel;

// left, top, right, bottom (int16), textureIndex (int16), sourceX, sourceY (TR4 only).
struct TrSpriteFrameRecord : TrSlot<12> {
    int16_t left() const { return s16(0); }
    int16_t top() const { return s16(2); }
    int16_t right() const { return s16(4); }
    int16_t bottom() const { return s16(6); }
    int16_t textureIndex() const { return s16(8); }
    uint8_t sourceX() const { return u8(10); }
    uint8_t sourceY() const { return u8(11); }
};

class CTrLstSpr : public CTrObjGfx {
public:
    CTrLstSpr() { format = 2; kind = TrKindSprite; }
    // From an object-file image: rejected (RejectedObjectBuffer) unless its format is 2.
    explicit CTrLstSpr(const std::vector<uint8_t>& buffer);
    CTrLstSpr(const TrSpriteSequenceRecord& sequence, CTrLevel& level);

    static std::unique_ptr<CTrLstSpr> LoadFile(const std::string& path) {
        return LoadObjectFile<CTrLstSpr>(path);
    }

    int GetSize() const override;
    void Clear(bool chain) override;
    void TakeOver(CTrLstSpr& donor);

    // One per object texture.
    std::vector<TrSpriteFrameRecord> sprites;

protected:
    void SerializeParts(ByteWriter& out) const override;
};

}  // namespace lithoscope

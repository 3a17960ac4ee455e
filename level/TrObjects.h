#pragma once
// The exchangeable objects of a level: CTrObjBase > CTrObjGfx > {CTrLstSpr, CTrLstMsh >
// {CTrStatMsh, CTrMvb}}. Each owns its object textures and a texture page of its own.
#include <cstdint>
#include <vector>

#include "level/TrRecords.h"

namespace lithoscope {

class CTrObjBase {
public:
    virtual ~CTrObjBase() = default;
    // Byte size of the object's serialised image (its object file).
    virtual int GetSize() const = 0;
    // A new image of the object; size receives its byte count.
    virtual std::vector<uint8_t> Serialize(int* size) const = 0;
    // Frees what the class owns; with chain, the base classes' parts too.
    virtual void Clear(bool chain) = 0;

    uint8_t format = 0;
    int32_t kind = 0;
    int32_t gameVersion = 0;
    uint8_t reserved = 0;
    int32_t extra = 0;
};

class CTrObjGfx : public CTrObjBase {
public:
    int32_t objectId = 0;
    std::vector<TrObjectTextureRecord> textures;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 16;
    std::vector<uint8_t> pixels;  // width x height x bitsPerPixel / 8, rows top first

    uint32_t textureCount() const { return uint32_t(textures.size()); }
};

class CTrLstSpr;
class CTrLstMsh;
class CTrStatMsh;
class CTrMvb;

}  // namespace lithoscope

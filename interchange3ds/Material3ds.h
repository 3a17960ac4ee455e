#pragma once
// 3D Studio toolkit: materials. A material is a 0xAFFF entry under the editor data 0x3D3D
// (mesh and project files) or directly under the top chunk (material libraries, 0x3DAA).
#include <array>
#include <cstdint>
#include <vector>

#include "interchange3ds/Scene3ds.h"

namespace lithoscope {

enum MapTiling3ds : int { TILING_TILE3DS = 1, TILING_DECAL3DS = 2, TILING_BOTH3DS = 3 };
enum MapTint3ds : int {
    TINT_NONE3DS = 0,
    TINT_ALPHA_SOURCE3DS = 1,
    TINT_TINT3DS = 2,
    TINT_ALPHA_TINT3DS = 3,
    TINT_RGB3DS = 4,
};

// One map slot of a material (or its mask). A slot is in use when its name is not empty.
struct TextureMap3ds {
    char name[13] = {};  // file name, 12 characters at most
    float percent = 0;   // fraction: 1.0 is 100 percent
    int tiling = TILING_TILE3DS;
    int ignoreAlpha = 0;
    int filtering = 0;  // 1: summed area
    float blur = 0;
    uint8_t mirror = 0;
    uint8_t negative = 0;
    float uScale = 1.0f, vScale = 1.0f, uOffset = 0, vOffset = 0, rotation = 0;
    int tint = TINT_NONE3DS;
    Color3ds tint1{0, 0, 0}, tint2{1, 1, 1};
    Color3ds redTint{1, 0, 0}, greenTint{0, 1, 0}, blueTint{0, 0, 1};
    std::vector<uint8_t> procData;  // procedural data block; its size is the length
    uint32_t procLength() const { return uint32_t(procData.size()); }
};

// The sixteen slots, in the order of Material3ds::maps.
enum MapSlot3ds : int {
    MAP_TEXTURE1_3DS = 0,
    MAP_TEXTURE1_MASK3DS,
    MAP_TEXTURE2_3DS,
    MAP_TEXTURE2_MASK3DS,
    MAP_OPACITY3DS,
    MAP_OPACITY_MASK3DS,
    MAP_BUMP3DS,
    MAP_BUMP_MASK3DS,
    MAP_SPECULAR3DS,
    MAP_SPECULAR_MASK3DS,
    MAP_SHININESS3DS,
    MAP_SHININESS_MASK3DS,
    MAP_SELF_ILLUM3DS,
    MAP_SELF_ILLUM_MASK3DS,
    MAP_REFLECTION3DS,
    MAP_REFLECTION_MASK3DS,
    MAP_SLOT_COUNT3DS
};

// Automatic reflection settings (chunk 0xA310).
struct AutoReflect3ds {
    uint8_t on = 0;
    uint8_t firstFrameOnly = 0;
    uint8_t flatMirror = 0;
    int mapSize = 100;
    int frameStep = 1;
};

struct Material3ds {
    char name[17] = {};  // 16 characters at most
    Color3ds ambient{0, 0, 0}, diffuse{0, 0, 0}, specular{0, 0, 0};
    // Fractions (1.0 is 100 percent); a negative transparency fall-off goes inward.
    float shininess = 0, shinStrength = 0, reflectBlur = 0, transparency = 0,
          transFalloff = 0, selfIllum = 0;
    float wireSize = 1.0f;
    int shading = 3;  // 0 is wire frame
    uint8_t useReflectBlur = 0;  // 0xA250
    uint8_t useTransFalloff = 0; // 0xA240
    uint8_t twoSided = 0;        // 0xA081
    uint8_t selfIllumOn = 0;     // 0xA080
    uint8_t decal = 0;           // 0xA083
    uint8_t wire = 0;            // 0xA085
    uint8_t wireAbsolute = 0;    // 0xA08E
    uint8_t faceMap = 0;         // 0xA088
    uint8_t soft = 0;            // 0xA08C
    std::array<TextureMap3ds, MAP_SLOT_COUNT3DS> maps;
    AutoReflect3ds autoReflect;

    TextureMap3ds& texture1() { return maps[MAP_TEXTURE1_3DS]; }
    const TextureMap3ds& texture1() const { return maps[MAP_TEXTURE1_3DS]; }
};

// Allocates the record when null and sets every default (an existing record is reset,
// its procedural data freed).
void InitMaterial3ds(Material3ds** material);
void ReleaseMaterial3ds(Material3ds** material);
void InitTextureMap3ds(TextureMap3ds* map);

uint32_t GetMaterialCount3ds(Database3ds* db);
// Reads the index-th entry of the material list; an index past the end leaves the record
// untouched.
void GetMaterialByIndex3ds(Database3ds* db, uint32_t index, Material3ds** material);
void ReadMaterial3ds(Chunk3ds* entry, Material3ds** material);
// Writes the record as an entry, replacing (in its place) an entry of the same name.
void PutMaterial3ds(Database3ds* db, const Material3ds* material);

}  // namespace lithoscope

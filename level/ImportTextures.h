#pragma once
// Textures of an imported 3D Studio file: one record per textured material with its picture,
// and, per face group that took texels from it, the object textures of those faces. The mesh
// list builds its page from them (CTrLstMsh::SetImportedMeshes).
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "level/TrRecords.h"

namespace lithoscope {

// One face group of an imported mesh that took its texels from a material's picture.
struct ImportTextureUse {
    int ownerMesh = 0;       // index of the mesh in the imported mesh array
    int count = 0;           // faces of the group
    int firstTriangle = 0;   // the group's first face in the owner's textured triangles
    int reserved1 = 0;
    int reserved2 = 0;
    int countAgain = 0;
    // One per face, in face order: the texture the face's word (j) names.
    std::vector<TrObjectTextureRecord> objectTextures;
};

struct ImportTextureRecord {
    bool used = false;
    int width = 0;
    int height = 0;
    // R, G, B, A bytes as loaded; ARGB1555 words once converted (pixels16).
    std::vector<uint8_t> pixels;
    std::vector<uint16_t> pixels16;
    std::string mapFileName;
    std::vector<ImportTextureUse> uses;
};

// Material name (compared with case) to its texture record.
struct MaterialTextureMap {
    std::map<std::string, std::unique_ptr<ImportTextureRecord>> records;
};

}  // namespace lithoscope

// The pages of meshes imported from 3D Studio files: fragments cut from the materials'
// pictures, packed into the mesh list's own page.
#include <algorithm>

#include "level/Fragment.h"
#include "level/ImportTextures.h"
#include "level/MeshRecord.h"
#include "level/TrLstMsh.h"

namespace lithoscope {

std::vector<CFragment> CFragment::CollectMaterialFragments(MaterialTextureMap& map,
                                                           std::vector<TrMeshRecord>& meshes) {
    size_t slots = 0;
    for (auto& entry : map.records)
        for (const ImportTextureUse& use : entry.second->uses) slots += size_t(std::max(use.count, 0));
    std::vector<CFragment> fragments;
    fragments.reserve(slots);
    for (auto& entry : map.records) {
        ImportTextureRecord& record = *entry.second;
        if (record.pixels16.size() < size_t(record.width) * size_t(record.height)) continue;
        FragmentSourceIndex sources(fragments);
        for (ImportTextureUse& use : record.uses) {
            if (use.ownerMesh < 0 || size_t(use.ownerMesh) >= meshes.size()) continue;
            std::vector<TrMeshTriangle>& faces = meshes[size_t(use.ownerMesh)].texturedTriangles;
            for (int j = 0; j < use.count && size_t(j) < use.objectTextures.size(); ++j) {
                const size_t face = size_t(use.firstTriangle) + size_t(j);
                if (face >= faces.size()) break;
                AddIndexed(fragments, &sources, use.objectTextures[size_t(j)], 3, FragFace,
                           &faces[face].b[6], false, record.pixels16.data(), record.width,
                           record.height, true);
            }
        }
    }
    return fragments;
}

void CTrLstMsh::SetImportedMeshes(std::vector<TrMeshRecord>&& imported, MaterialTextureMap& map) {
    // The mesh list's own parts only: a moveable keeps its tree and animations.
    CTrLstMsh::Clear(true);
    meshes = std::move(imported);
    std::vector<CFragment> fragments = CFragment::CollectMaterialFragments(map, meshes);
    BuildFromFragments(fragments, 0, 0, true);
}

}  // namespace lithoscope

#pragma once
// Where each mesh of a moveable stands in display space: the mesh tree walked with a stack
// of parent placements, each mesh posed by the playing track (no GL here).
#include <cstddef>
#include <vector>

#include "level/Maths.h"

namespace lithoscope {

class CAnimTrack;
class CTrMvb;
struct TrMeshTreeEntry;

// Deepest the walk saves placements; deeper pushes are ignored, as are pops of an empty
// stack, so a damaged tree can't unbalance the GL matrix stack.
constexpr int kMeshTreeMaxDepth = 24;

// One matrix per mesh (out resized to the mesh count). Mesh 0 stands at the origin; mesh i
// takes tree entry i - 1: bit 0 pops the saved placement, bit 1 saves the current one,
// then the offset (x, -y, -z) moves on. With a track, each mesh is then moved by its
// bone's offset and turned by its bone's rotation at the track's current time.
void MoveableMeshMatrices(const CTrMvb& moveable, const CAnimTrack* track,
                          std::vector<CMatrix4>& out);
// The same over an explicit tree (entries meshCount - 1, missing ones count as zero).
void MeshTreeMatrices(const std::vector<TrMeshTreeEntry>& tree, size_t meshCount,
                      const CAnimTrack* track, std::vector<CMatrix4>& out);

// Rotation of a quaternion as a matrix; a zero quaternion gives the identity.
CMatrix4& PoseRotation(CMatrix4& out, const CQuaternion& q);
// Column-major copy for glMultMatrixf / glLoadMatrixf.
void ToGlMatrix(const CMatrix4& m, float out[16]);

}  // namespace lithoscope

#include "editor/view3d/MoveablePose.h"

#include "level/Anim.h"
#include "level/TrMvb.h"

namespace lithoscope {

CMatrix4& PoseRotation(CMatrix4& out, const CQuaternion& q) {
    if (QuatDot(q, q) == 0.0f) return out.Identity();
    return q.ToMatrix(out);
}

void ToGlMatrix(const CMatrix4& m, float out[16]) {
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) out[c * 4 + r] = m.m[r][c];
}

void MeshTreeMatrices(const std::vector<TrMeshTreeEntry>& tree, size_t meshCount,
                      const CAnimTrack* track, std::vector<CMatrix4>& out) {
    out.resize(meshCount);
    CMatrix4 current, stack[kMeshTreeMaxDepth], step;
    current.Identity();
    int depth = 0;
    for (size_t i = 0; i < meshCount; ++i) {
        if (i > 0) {
            const TrMeshTreeEntry e = i - 1 < tree.size() ? tree[i - 1] : TrMeshTreeEntry();
            if ((e.flags & TrMeshTreeEntry::kPop) && depth > 0) current = stack[--depth];
            if ((e.flags & TrMeshTreeEntry::kPush) && depth < kMeshTreeMaxDepth) stack[depth++] = current;
            MatTranslation(step, CVector3{float(e.dx), -float(e.dy), -float(e.dz)});
            current.Multiply(current, step);
        }
        if (track) {
            BoneKey pose;
            track->GetBonePose(int(i), &pose, false);
            current.Multiply(current, MatTranslation(step, pose.offset));
            current.Multiply(current, PoseRotation(step, pose.rotation));
        }
        out[i] = current;
    }
}

void MoveableMeshMatrices(const CTrMvb& moveable, const CAnimTrack* track,
                          std::vector<CMatrix4>& out) {
    MeshTreeMatrices(moveable.meshTree, moveable.meshes.size(), track, out);
}

}  // namespace lithoscope

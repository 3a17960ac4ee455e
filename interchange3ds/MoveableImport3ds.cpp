// Moveables read from 3D Studio files: the node hierarchy becomes the mesh tree, node 0's
// keys the root positions and every node's rotation keys the bones of one animation.
#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Keyframer3ds.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/Fragment.h"
#include "level/ImportTextures.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {

// A moveable's animation holds at most this many bone keys (keys x nodes).
constexpr size_t kMaxBoneKeys = size_t(1) << 22;
constexpr int kBoxStackDepth = 8;

// The level's fields: the frames of a moveable's animations count from 0 to 32767 at most,
// and the frames of a key fill a byte.
constexpr int64_t kMaxLastFrame = 0x7FFF;
constexpr int64_t kMaxKeyStep = 255;

using MotionPtr = std::unique_ptr<ObjectMotion3ds, void (*)(ObjectMotion3ds*)>;
MotionPtr ReadMotion(Database3ds* db, int index) {
    ObjectMotion3ds* om = nullptr;
    GetObjectMotionByIndex3ds(db, index, &om);
    return MotionPtr(om, [](ObjectMotion3ds* p) { ReleaseObjectMotion3ds(&p); });
}

using MeshPtr = std::unique_ptr<Mesh3ds, void (*)(Mesh3ds*)>;
MeshPtr NoMesh() {
    return MeshPtr(nullptr, [](Mesh3ds* p) { ReleaseMesh3ds(&p); });
}

bool IsDummyName(const char* name) {
    return std::strlen(name) >= 5 && EqualsNoCase(std::string(name, 5), "dummy");
}

void MakeDummy(TrMeshRecord& m) {
    m.Init(0, 0, 0, false, true);
    m.ComputeCentreAndRadius();
    m.dummy = 1;
}

// One node of the file as the moveable takes it: the node whose keys it reads, the name of
// the mesh object it takes (its own, or that of a mesh-holding child folded into it), and
// its parent among the kept nodes.
struct FileNode {
    int motion = 0;
    std::string meshName;
    int parent = -1;
    bool mesh = false;   // a mesh object of meshName exists
    bool dummy = false;  // named as a dummy
    bool keyed = false;  // has position or rotation keys
    bool Helper() const { return !mesh && !dummy && !keyed; }
};

bool HasMeshObject(Database3ds* db, const std::string& name) {
    Chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name.c_str(), &object);
    if (!object) return false;
    Chunk3ds* mesh = nullptr;
    FindChunk3ds(object, Tag3ds::TriMesh, &mesh);
    return mesh != nullptr;
}

// Other tools write each mesh under a node of its own: a leaf without keys below a node
// without mesh or keys ("M001" holding "M001_1_1"), and a scene root without mesh or keys
// on top. The holder gives its mesh to its parent; such a root hands its place to its first
// child, its other children hanging from that one (a file without hierarchy has them side
// by side). Nodes with keys or a dummy's name are never folded.
void FoldHelperNodes(std::vector<FileNode>& nodes) {
    const size_t n = nodes.size();
    std::vector<int> children(n, 0), holders(n, 0), holder(n, -1);
    for (const FileNode& f : nodes)
        if (f.parent >= 0) ++children[size_t(f.parent)];
    for (size_t h = 0; h < n; ++h) {
        const FileNode& f = nodes[h];
        if (f.parent < 0 || children[h] || !f.mesh || f.dummy || f.keyed) continue;
        // The holder may bear its parent's name (a node and its mesh named alike).
        const FileNode& p = nodes[size_t(f.parent)];
        if (!p.Helper() && !(p.mesh && !p.dummy && !p.keyed && p.meshName == f.meshName)) continue;
        ++holders[size_t(f.parent)];
        holder[size_t(f.parent)] = int(h);
    }
    std::vector<bool> gone(n, false);
    for (size_t p = 0; p < n; ++p) {
        if (holders[p] != 1) continue;
        const size_t h = size_t(holder[p]);
        nodes[p].meshName = nodes[h].meshName;
        nodes[p].mesh = true;
        gone[h] = true;
    }
    // One root only: a file with several is refused as it is.
    size_t root = 0;
    while (root < n && !gone[root] && nodes[root].parent < 0 && nodes[root].Helper()) {
        if (std::count_if(nodes.begin(), nodes.end(), [](const FileNode& f) { return f.parent < 0; }) != 1)
            break;
        int first = -1;
        for (size_t c = root + 1; c < n; ++c) {
            if (gone[c] || nodes[c].parent != int(root)) continue;
            if (first < 0) {
                first = int(c);
                nodes[c].parent = -1;
            } else {
                nodes[c].parent = first;
            }
        }
        if (first < 0) break;
        gone[root] = true;
        nodes[root].parent = -2;  // no longer counted as a root
        root = size_t(first);
    }
    std::vector<int> index(n, -1);
    std::vector<FileNode> kept;
    for (size_t i = 0; i < n; ++i) {
        if (gone[i]) continue;
        index[i] = int(kept.size());
        kept.push_back(nodes[i]);
    }
    for (FileNode& f : kept) f.parent = f.parent >= 0 ? index[size_t(f.parent)] : -1;
    nodes = std::move(kept);
}

// The place of a mesh's local origin in the frame of another mesh, from their matrices
// (three axes, then the origin). False when the other matrix can't be inverted.
bool RelativeOrigin(const float* of, const float* in, Point3ds& out) {
    const float* a = in;
    const double d[3] = {double(of[9]) - in[9], double(of[10]) - in[10], double(of[11]) - in[11]};
    // Rows a[0..2], a[3..5], a[6..8]: solve A x = d by Cramer's rule on the columns.
    auto det = [](const double c0[3], const double c1[3], const double c2[3]) {
        return c0[0] * (c1[1] * c2[2] - c1[2] * c2[1]) - c1[0] * (c0[1] * c2[2] - c0[2] * c2[1]) +
               c2[0] * (c0[1] * c1[2] - c0[2] * c1[1]);
    };
    const double c0[3] = {a[0], a[3], a[6]}, c1[3] = {a[1], a[4], a[7]}, c2[3] = {a[2], a[5], a[8]};
    const double whole = det(c0, c1, c2);
    if (!std::isfinite(whole) || std::fabs(whole) < 1e-9) return false;
    const double x = det(d, c1, c2) / whole, y = det(c0, d, c2) / whole, z = det(c0, c1, d) / whole;
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z)) return false;
    out = Point3ds{float(x), float(y), float(z)};
    return true;
}

// A point of the file in level axes (x = X, y = -Z, z = Y), each part becoming an integer of
// [low, high]; false, the file refused, when one does not.
bool LevelAxes(const Point3ds& p, double low, double high, bool round, double (&out)[3],
               const std::string& what) {
    out[0] = p.x;
    out[1] = -double(p.z);
    out[2] = p.y;
    for (double& v : out) {
        if (!FitsInteger3ds(v, low, high, round)) {
            RefuseValue3ds(what + " " + PointText3ds(p));
            return false;
        }
        v = round ? std::round(v) : std::trunc(v);
    }
    return true;
}

void Finish(TrMeshRecord& mesh, int triangles, bool withLights) {
    mesh.FinishBuild(triangles, withLights);
}

// The boxes of the keys: every mesh under its bone's rotation, placed by the tree.
void ComputeKeyBoxes(CTrMvb& mvb, CAnimTrack& track) {
    bool overflowShown = false, underflowShown = false;
    for (CAnimKey& key : track.keys) {
        BoundingBox total(CVector3{1e20f, 1e20f, 1e20f}, CVector3{-1e20f, -1e20f, -1e20f});
        if (key.bones.empty() || mvb.meshes.empty()) {
            key.box = BoundingBox();
            continue;
        }
        auto merge = [&](int mesh, const CMatrix4& m) {
            BoundingBox box;
            mvb.ComputeBoundingBox(mesh, &box, &m);
            total.Union(box);
        };
        // Points go through the matrices as (x, y, z, -1): a translation by -t moves them by t.
        CMatrix4 m, translation, rotation;
        CVector3 root;
        root.Negated(key.bones[0].offset);
        MatTranslation(translation, root);
        key.bones[0].rotation.ToMatrix(rotation);
        m.Multiply(translation, rotation);
        merge(0, m);
        CMatrix4 stack[kBoxStackDepth];
        int depth = 0;
        for (size_t n = 1; n < mvb.meshes.size(); ++n) {
            const TrMeshTreeEntry e = n - 1 < mvb.meshTree.size() ? mvb.meshTree[n - 1] : TrMeshTreeEntry{};
            if (e.flags & TrMeshTreeEntry::kPop) {
                if (depth == 0) {
                    if (!underflowShown)
                        ShowMessage("Moveable bounding box calculation: stack pointer = 0 with pop "
                                    "operation !",
                                    "Lithoscope", MsgButtons::Ok, MsgIcon::Error);
                    underflowShown = true;
                } else {
                    m = stack[--depth];
                }
            }
            if (e.flags & TrMeshTreeEntry::kPush) {
                if (depth == kBoxStackDepth) {
                    if (!overflowShown)
                        ShowMessage("Moveable bounding box calculation: stack overflow !",
                                    "Lithoscope", MsgButtons::Ok, MsgIcon::Error);
                    overflowShown = true;
                } else {
                    stack[depth++] = m;
                }
            }
            CVector3 offset;
            offset.Set(-float(e.dx), float(e.dy), float(e.dz));
            MatTranslation(translation, offset);
            const CQuaternion q = n < key.bones.size() ? key.bones[n].rotation : NeutralBoneKey().rotation;
            q.ToMatrix(rotation);
            CMatrix4 placed;
            placed.Multiply(m, translation);
            m.Multiply(placed, rotation);
            merge(int(n), m);
        }
        key.box = total;
    }
}

// The moveable's bone key of a rotation: the rotation and its packed words.
BoneKey MakeBone(const CQuaternion& rotation, const CVector3& offset) {
    float ex, ey, ez;
    QuaternionToEuler(rotation, ex, ey, ez);
    int16_t w0 = 0, w1 = 0;
    PackTrRotation(ex, -ey, -ez, &w0, &w1);
    return BoneKey(rotation, offset, w0, w1);
}

// A file without a node hierarchy: its meshes, the first the root of all the others, with
// one key at rest.
bool BuildFlatMoveable(Database3ds* db, CTrMvb& target, bool withLights, MaterialTextureMap& map,
                       bool tr4, const std::string& path) {
    const uint32_t count = GetMeshCount3ds(db);
    std::vector<TrMeshRecord> meshes;
    std::vector<int> triangles;
    for (uint32_t i = 0; i < count && !IsErrorPending3ds(); ++i) {
        Mesh3ds* raw = nullptr;
        GetMeshByIndex3ds(db, i, &raw);
        MeshPtr mesh(raw, NoMesh().get_deleter());
        if (!mesh) continue;
        meshes.emplace_back();
        const int owner = int(meshes.size()) - 1;
        meshes.back().Init(int(mesh->vertexCount()), int(mesh->faceCount()), 0, withLights, true);
        int vertexCount = 0, triangleCount = 0;
        AppendMeshFrom3ds(&meshes.back(), db, mesh.get(), vertexCount, triangleCount, &map, tr4, owner);
        triangles.push_back(triangleCount);
    }
    if (IsErrorPending3ds()) {
        ShowImportError3ds(ImportFailureText3ds("meshes", path));
        return false;
    }
    if (meshes.empty()) {
        ShowImportError3ds("The 3DS file " + path + " holds no mesh: nothing was imported.");
        return false;
    }
    for (size_t i = 0; i < meshes.size(); ++i) Finish(meshes[i], triangles[i], withLights);
    const int n = int(meshes.size());
    std::vector<int> parents(size_t(n), 0);
    parents[0] = -1;
    std::vector<TrMeshTreeEntry> entries;
    BuildMeshTreeFromParents(entries, n, parents);

    auto track = std::make_unique<CTRAnimTrack>(1, 1, 1, 30.0f);
    CAnimKey key(0, n, BoundingBox());
    for (int o = 0; o < n; ++o) key.bones.push_back(MakeBone(NeutralBoneKey().rotation, CVector3()));
    track->AddKey(key);
    ConvertUsedTextures3ds(map);
    target.SetImportedMeshes(std::move(meshes), map);
    target.SetMeshTree(entries.data(), n);
    ComputeKeyBoxes(target, *track);
    target.animations->AddTrack(std::move(track));
    ShowMessage(StrFormat("The 3DS file %s has no node hierarchy (no keyframer): its %ld "
                          "meshes are imported side by side, all attached to the first one, "
                          "without animation.",
                          path.c_str(), long(n)),
                "Lithoscope", MsgButtons::Ok, MsgIcon::Information);
    return true;
}

}  // namespace

void QuaternionToEuler(const CQuaternion& q, float& ex, float& ey, float& ez) {
    // In double: near a quarter turn about x the angles are ill-conditioned.
    const double x = q.x, y = q.y, z = q.z, w = q.w;
    const double s = std::max(-1.0, std::min(1.0, 2.0 * (y * z - w * x)));
    // Within a thousandth of a radian of a quarter turn about x the other two angles are
    // no longer apart: taken as the quarter turn.
    const double kQuarter = 1.5707963267948966;
    const double ax = s >= 1.0 - 1e-6 ? -kQuarter : s <= -(1.0 - 1e-6) ? kQuarter : -std::asin(s);
    double ay = 0, az = 0;
    if (ax > -kQuarter && ax < kQuarter) {
        az = std::atan2(2.0 * (x * y + z * w), 1.0 - 2.0 * x * x - 2.0 * z * z);
        ay = std::atan2(2.0 * (y * w + x * z), 1.0 - 2.0 * x * x - 2.0 * y * y);
    } else {
        // Only one turn about y and z together is known: it goes to z. Both quarter turns
        // take the same sign here (a leading minus for the negative one turns it wrong).
        az = std::atan2(ax > 0 ? 2.0 * (x * z - w * y) : -2.0 * (x * z - w * y),
                        1.0 - 2.0 * y * y - 2.0 * z * z);
    }
    ex = float(ax);
    ey = float(ay);
    ez = float(az);
}

void PackTrRotation(float x, float y, float z, int16_t* word0, int16_t* word1) {
    // 1024 units a turn; rounded (not truncated) so that a level's angles come back whole.
    auto units = [](float a) {
        if (!std::isfinite(a)) return 0;
        double t = double(a) * 512.0 / double(3.1415927410125732f);
        if (a < 0) t += 1024.0;
        return int(std::lround(t)) & 1023;
    };
    const int X = units(x), Y = units(y), Z = units(z);
    *word0 = int16_t(uint16_t(X * 16 + ((Y / 64) & 15)));
    *word1 = int16_t(uint16_t((Y & 63) * 1024 + (Z & 1023)));
}

int ResolveNodeParentsFrom3ds(Database3ds* db, std::vector<int>& parents, int count,
                              const StringList3ds* names) {
    parents.assign(size_t(std::max(count, 0)), -1);
    int roots = 0;
    for (int i = 0; i < count; ++i) {
        MotionPtr om = ReadMotion(db, i);
        const std::string parent = om ? FieldText3ds(om->parent, sizeof om->parent) : std::string();
        int found = -1;
        if (!parent.empty() && names)
            for (int j = i - 1; j >= 0 && found < 0; --j)
                if (size_t(j) < names->list.size() && EqualsNoCase(names->list[size_t(j)], parent))
                    found = j;
        parents[size_t(i)] = found;
        if (found < 0) ++roots;
    }
    return roots;
}

void BuildMeshTreeFromParents(std::vector<TrMeshTreeEntry>& entries, int count,
                              std::vector<int>& parents) {
    entries.assign(size_t(std::max(count - 1, 0)), TrMeshTreeEntry{});
    for (int i = 0; i + 1 < count; ++i) {
        const int p = parents[size_t(i) + 1];
        for (size_t k = size_t(i) + 2; k < size_t(count); ++k)
            if (parents[k] == p) parents[k] = i;
        if (p >= 0 && p < i) {
            entries[size_t(p)].flags |= TrMeshTreeEntry::kPush;
            entries[size_t(i)].flags = TrMeshTreeEntry::kPop;
        } else {
            entries[size_t(i)].flags = 0;
        }
    }
}

namespace {

// Meshes, tree offsets, the animation and the boxes of its keys from the planned nodes; the
// target's mesh tree holds their pop and push flags.
bool BuildPlannedMoveable(Database3ds* db, CTrMvb* target, const std::vector<FileNode>& nodes,
                          bool withLights, MaterialTextureMap* map, bool tr4) {
    if (!db || !target || nodes.empty() || !map) return false;
    const size_t n = nodes.size();
    const int count = int(n);
    std::vector<TrMeshRecord> meshes(n);

    // The animation's frames, 0 to length (uint32 in the file).
    KeyframeSettings3ds* settings = nullptr;
    GetKeyframeSettings3ds(db, &settings);
    const int64_t length = settings ? int64_t(uint32_t(settings->length)) : 0;
    ReleaseKeyframeSettings3ds(&settings);
    if (IsErrorPending3ds()) return false;
    if (length > kMaxLastFrame) {
        RefuseValue3ds(StrFormat("the animation length (%lld frames)", (long long)length),
                       StrFormat("at most %lld frames", (long long)kMaxLastFrame));
        return false;
    }

    MotionPtr root = ReadMotion(db, nodes[0].motion);
    if (!root || IsErrorPending3ds()) return false;
    size_t keys = std::max<size_t>(root->rotation.keyCount(), 1);
    int64_t step = 0;
    if (root->rotation.keyCount() >= 2) {
        step = int64_t(root->rotation.keys[1].frame) - root->rotation.keys[0].frame;
        // Two keys on one frame: an animation of that one frame.
        if (step == 0) step = 1;
        if (step < 1 || step > kMaxKeyStep) {
            RefuseValue3ds(StrFormat("the key step of node %s (%lld frames)",
                                     FieldText3ds(root->name, sizeof root->name).c_str(), (long long)step),
                           StrFormat("1 to %lld frames", (long long)kMaxKeyStep));
            return false;
        }
    } else {
        // One key stands for every frame of the animation: its step covers as many as a
        // step holds (a step of 1 would have the level read keys that are not there).
        step = std::min(length + 1, kMaxKeyStep);
    }
    // Frames past the last key hold its pose: the last key is repeated over them, so that
    // no frame reads a key that is not there.
    keys = std::max(keys, size_t(length / step) + 1);
    if (keys * n > kMaxBoneKeys) {
        ShowImportError3ds(StrFormat("The 3DS file's animation is too large (%ld keys of %ld nodes).",
                                     long(keys), long(n)));
        return false;
    }
    root.reset();

    std::vector<CVector3> rootPositions(keys);
    std::vector<CQuaternion> rotations(keys * n);
    std::vector<CVector3> placed(n);
    std::vector<int> parentOf(n, -1);
    std::vector<int> saved;  // parents pushed by the tree
    std::vector<std::array<float, 12>> matrices(n);
    std::vector<bool> hasMatrix(n, false);
    for (size_t o = 0; o < n; ++o) {
        MotionPtr om = ReadMotion(db, nodes[o].motion);
        if (!om || IsErrorPending3ds()) return false;
        const bool dummy = IsDummyName(om->name);
        const std::string nodeName = FieldText3ds(om->name, sizeof om->name);
        const std::string meshName = nodes[o].meshName.empty() ? nodeName : nodes[o].meshName;
        MeshPtr mesh = NoMesh();
        if (!dummy) {
            Mesh3ds* raw = nullptr;
            GetMeshByName3ds(db, meshName.c_str(), &raw);
            mesh.reset(raw);
            if (IsErrorPending3ds()) return false;
        }
        if (!mesh) {
            // A dummy, or a node without a mesh of its name: an empty mesh that keeps its
            // place, offsets and rotations.
            MakeDummy(meshes[o]);
        } else {
            if (mesh->vertexCount() > 0x7FFF || mesh->faceCount() > 0x7FFF) {
                ShowImportError3ds(StrFormat("The mesh %s of the 3DS file has too many vertices or "
                                             "faces (a mesh holds 32767 of each).",
                                             meshName.c_str()));
                return false;
            }
            meshes[o].Init(int(mesh->vertexCount()), int(mesh->faceCount()), 0, withLights, true);
            std::copy(mesh->localMatrix, mesh->localMatrix + 12, matrices[o].begin());
            hasMatrix[o] = true;
        }

        const auto positionOf = [&](size_t k) {
            const auto& values = om->position.values;
            if (values.empty()) return Point3ds{0, 0, 0};
            return values[std::min(k, values.size() - 1)];
        };
        // Vertices are stored in the file's space, less the node's place; a node without
        // position keys takes its place from the mesh matrices, its vertices around its own
        // origin (so other tools write such files).
        bool local = false;
        if (o >= 1) {
            TrMeshTreeEntry& e = target->meshTree[o - 1];
            int parent = int(o) - 1;
            if ((e.flags & TrMeshTreeEntry::kPop) && !saved.empty()) {
                parent = saved.back();
                saved.pop_back();
            }
            if (e.flags & TrMeshTreeEntry::kPush) saved.push_back(parent);
            parentOf[o] = parent;
            Point3ds p = positionOf(0);
            if (om->position.keyCount() == 0 && hasMatrix[o]) {
                int above = parent;
                while (above >= 0 && !hasMatrix[size_t(above)]) above = parentOf[size_t(above)];
                if (above >= 0) {
                    local = RelativeOrigin(matrices[o].data(), matrices[size_t(above)].data(), p);
                } else {
                    // Only meshless nodes above (a dummy root): they stand at the file's
                    // origin, turned as this mesh is.
                    std::array<float, 12> axes = matrices[o];
                    axes[9] = axes[10] = axes[11] = 0;
                    local = RelativeOrigin(matrices[o].data(), axes.data(), p);
                }
                if (!local) p = Point3ds{0, 0, 0};
            }
            double d[3];
            if (!LevelAxes(p, INT32_MIN, INT32_MAX, local, d, "the place of node " + nodeName)) return false;
            e.dx = int32_t(d[0]);
            e.dy = int32_t(d[1]);
            e.dz = int32_t(d[2]);
            const CVector3& base = placed[size_t(parent)];
            placed[o].Set(base.x + p.x, base.y - p.z, base.z + p.y);
        } else {
            local = om->position.keyCount() == 0;
            // The level keeps them in 16 bits.
            for (size_t k = 0; k < keys; ++k) {
                const Point3ds p = positionOf(k);
                double d[3];
                if (!LevelAxes(p, -32768, 32767, false, d,
                               StrFormat("position key %zu of node %s", k, nodeName.c_str())))
                    return false;
                rootPositions[k].Set(p.x, p.z, -p.y);
            }
        }
        CQuaternion accumulated;
        accumulated.Set(0, 0, 0, 1);
        const auto& rot = om->rotation.values;
        for (size_t k = 0; k < keys; ++k) {
            if (k < rot.size()) {
                if (!std::isfinite(rot[k].angle) || !std::isfinite(rot[k].x) ||
                    !std::isfinite(rot[k].y) || !std::isfinite(rot[k].z)) {
                    RefuseValue3ds(StrFormat("rotation key %zu of node %s", k, nodeName.c_str()));
                    return false;
                }
                CVector3 axis;
                axis.Set(rot[k].x, rot[k].z, -rot[k].y);
                if (axis.Normalize()) {
                    CQuaternion delta, next;
                    delta.SetAxisAngle(axis, -rot[k].angle);
                    QuatMultiply(next, delta, accumulated);
                    accumulated = next;
                }
            }
            rotations[k * n + o] = accumulated;
        }
        if (mesh) {
            int vertexCount = 0, triangleCount = 0;
            AppendMeshFrom3ds(&meshes[o], db, mesh.get(), vertexCount, triangleCount, map, tr4, int(o),
                              local ? nullptr : &placed[o]);
            if (IsErrorPending3ds()) return false;
            Finish(meshes[o], triangleCount, withLights);
        }
    }

    auto track = std::make_unique<CTRAnimTrack>(int(keys), uint32_t(length) + 1, uint32_t(step), 30.0f);
    for (size_t k = 0; k < keys; ++k) {
        CAnimKey key(int(int64_t(k) * step), count, BoundingBox());
        key.bones.reserve(n);
        for (size_t o = 0; o < n; ++o)
            key.bones.push_back(MakeBone(rotations[k * n + o], o == 0 ? rootPositions[k] : CVector3()));
        track->AddKey(key);
    }
    ConvertUsedTextures3ds(*map);
    target->SetImportedMeshes(std::move(meshes), *map);
    ComputeKeyBoxes(*target, *track);
    target->animations->AddTrack(std::move(track));
    return true;
}

}  // namespace

bool BuildMoveableFrom3ds(Database3ds* db, CTrMvb* target, int count, bool withLights,
                          MaterialTextureMap* map, bool tr4) {
    std::vector<FileNode> nodes(size_t(std::max(count, 0)));
    for (size_t i = 0; i < nodes.size(); ++i) nodes[i].motion = int(i);
    return BuildPlannedMoveable(db, target, nodes, withLights, map, tr4);
}

bool ImportMoveableFrom3ds(CTrMvb* target, const char* path, bool withLights, bool tr4) {
    if (!target || !path) return false;
    Import3dsFile file;
    MaterialTextureMap map;
    if (!file.Open(path, map)) return false;
    Database3ds* db = file.db();

    CTrMvb built;
    bool ok = false;
    try {
        const int count = int(GetObjectNodeCount3ds(db));
        if (count == 0) {
            ok = BuildFlatMoveable(db, built, withLights, map, tr4, path);
        } else {
            StringList3ds* names = nullptr;
            GetObjectNodeNames3ds(db, &names);
            std::vector<int> parents;
            ResolveNodeParentsFrom3ds(db, parents, count, names);
            ReleaseStringList3ds(&names);
            std::vector<FileNode> nodes(static_cast<size_t>(count));
            for (int i = 0; i < count && !IsErrorPending3ds(); ++i) {
                FileNode& f = nodes[size_t(i)];
                MotionPtr om = ReadMotion(db, i);
                if (!om) continue;
                f.motion = i;
                f.parent = parents[size_t(i)];
                f.meshName = FieldText3ds(om->name, sizeof om->name);
                f.dummy = IsDummyName(om->name);
                f.keyed = om->position.keyCount() > 0 || om->rotation.keyCount() > 0;
                f.mesh = HasMeshObject(db, f.meshName);
            }
            if (IsErrorPending3ds()) {
                ShowImportError3ds(ImportFailureText3ds("nodes", path));
                return false;
            }
            FoldHelperNodes(nodes);
            const long roots = long(std::count_if(nodes.begin(), nodes.end(),
                                                  [](const FileNode& f) { return f.parent < 0; }));
            if (roots > 1) {
                ShowImportError3ds(StrFormat(
                    "You can have only one mesh at the root of the hierarchy, not %ld !", roots));
                return false;
            }
            parents.clear();
            for (const FileNode& f : nodes) parents.push_back(f.parent);
            std::vector<TrMeshTreeEntry> entries;
            BuildMeshTreeFromParents(entries, int(nodes.size()), parents);
            built.meshTree = entries;
            ok = BuildPlannedMoveable(db, &built, nodes, withLights, &map, tr4);
            if (!ok && IsErrorPending3ds()) ShowImportError3ds(ImportFailureText3ds("nodes", path));
        }
    } catch (const FragmentPackError& e) {
        ShowImportError3ds("Could not import " + std::string(path) +
                           ": its textures can't be laid out on a page (" + e.what() + ").");
        return false;
    }
    if (!ok) return false;
    LogImportWarnings3ds(path);
    target->Clear(true);
    target->TakeOver(built, true, true);
    return true;
}

}  // namespace lithoscope

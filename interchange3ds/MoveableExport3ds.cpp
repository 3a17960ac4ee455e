// Moveables written as 3D Studio files: a keyframer node per mesh placed by the mesh tree,
// the meshes at their places, and one animation as keys.
#include <cmath>
#include <cstdio>
#include <vector>

#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Keyframer3ds.h"
#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/FairyExport.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

// Mesh of the skin (object 8) that stands for a dummy mesh of objects 13 to 16.
int BodyMesh(int m) {
    static const int kTable[32] = {0, 1, 2, 3, 0, 4, 5, 6, 0, 7, 11, 12, 13, 14, 8, 9, 10};
    return m >= 0 && m < 32 ? kTable[m] : 0;
}

bool TakesBody(int32_t id) {
    return (id >= 0 && id <= 20) || (id >= 25 && id <= 29) || id == 33 || id == 466 ||
           id == 468 || id == 469 || id == 493;
}

std::string NodeName(int m, bool dummy) {
    char name[16];
    std::snprintf(name, sizeof name, dummy ? "dummy%.3d" : "M%.3d", m);
    return name;
}

// Keys written with every spline value present and 0.
KeyHeader3ds Key(int32_t frame) {
    KeyHeader3ds h{};
    h.frame = frame;
    h.flags = 31;
    return h;
}

// Axis and angle of a rotation, precise for the small turns between keys.
void AxisAngle(const CQuaternion& q, CVector3& axis, float& angle) {
    const double s = std::sqrt(double(q.x) * q.x + double(q.y) * q.y + double(q.z) * q.z);
    if (s < 1e-12) {
        axis.Set(0, 0, 0);
        angle = 0;
        return;
    }
    angle = float(2.0 * std::atan2(s, double(q.w)));
    axis.Set(float(q.x / s), float(q.y / s), float(q.z / s));
}

struct TreeLevel {
    int parent;
    bool dummy;
    CVector3 base;
};

}  // namespace

const char* const kNoMeshInMoveable3ds =
    "This moveable has nothing to draw (its meshes are dummies): the 3DS file holds only its "
    "mesh tree and animation keys, and programs that need meshes may refuse it.";

bool ExportMoveableTo3ds(CTrMvb* mvb, const char* path, const char* textureName, CTrLevel* level,
                         int anim, std::string* error, bool* drawn) {
    if (drawn) *drawn = false;
    if (!mvb || !path || !textureName) {
        if (error) *error = "there is no moveable to export";
        return false;
    }
    Database3ds* db = nullptr;
    if (!BeginExport3ds(&db, textureName, error)) return false;
    auto fail = [&]() {
        std::string text = ErrorListText3ds();
        if (db) ReleaseDatabase3ds(&db);
        if (error) *error = text;
        return false;
    };

    const size_t meshCount = mvb->meshes.size();
    CTrMvb* body = nullptr;
    if (level && level->version == TrVersion4 && TakesBody(mvb->objectId)) {
        CTrMvb* skin = level->FindMoveable(8);
        if (skin && mvb->meshCount() >= skin->meshCount() && mvb->showRealMeshes) body = skin;
    }

    int keyCount = 0, frameCount = 0, framesPerKey = 1, extractedMeshes = 0;
    std::vector<CVector3> roots;
    std::vector<CQuaternion> rotations;
    const bool animated =
        anim >= 0 && ExtractAnimationKeys(mvb, anim, &extractedMeshes, &frameCount, &keyCount,
                                          &framesPerKey, &roots, &rotations) &&
        keyCount > 0;
    if (animated) {
        KeyframeSettings3ds* settings = nullptr;
        GetKeyframeSettings3ds(db, &settings);
        if (settings && !IsErrorPending3ds()) {
            settings->length = frameCount - 1;
            settings->segmentInUse = 1;
            settings->segmentBegin = 0;
            settings->segmentEnd = frameCount - 1;
            PutKeyframeSettings3ds(db, settings);
        }
        ReleaseKeyframeSettings3ds(&settings);
        if (IsErrorPending3ds()) return fail();
    }

    std::vector<CVector3> absolute(meshCount);
    std::vector<TreeLevel> stack;
    bool anyWritten = false, bodyUsed = false;
    for (size_t m = 0; m < meshCount; ++m) {
        const bool dummy = mvb->meshes[m].dummy != 0;
        const std::string name = NodeName(int(m), dummy && !body);
        if (!CheckNameLength3ds(name, sizeof ObjectMotion3ds().name - 1, "node name")) return fail();
        ObjectMotion3ds* om = nullptr;
        InitObjectMotion3ds(&om, animated && m == 0 ? uint32_t(keyCount) : 1,
                            animated ? uint32_t(keyCount) : 1, 1, 0, 0);
        if (IsErrorPending3ds() || !om) {
            ReleaseObjectMotion3ds(&om);
            return fail();
        }
        std::snprintf(om->name, sizeof om->name, "%s", name.c_str());
        if (m >= 1) {
            const TrMeshTreeEntry e =
                m - 1 < mvb->meshTree.size() ? mvb->meshTree[m - 1] : TrMeshTreeEntry{};
            TreeLevel place{int(m) - 1, mvb->meshes[m - 1].dummy != 0, absolute[m - 1]};
            if ((e.flags & TrMeshTreeEntry::kPop) && !stack.empty()) {
                place = stack.back();
                stack.pop_back();
            }
            if (e.flags & TrMeshTreeEntry::kPush) stack.push_back(place);
            absolute[m].Set(place.base.x + float(e.dx), place.base.y + float(e.dy),
                            place.base.z + float(e.dz));
            std::snprintf(om->parent, sizeof om->parent, "%s",
                          NodeName(place.parent, place.dummy && !body).c_str());
            om->position.values[0] = {float(e.dx), float(e.dz), -float(e.dy)};
        }
        if (animated) {
            const size_t keys = size_t(keyCount);
            if (m == 0) {
                for (size_t i = 0; i < keys; ++i) {
                    const CVector3& r = roots[i];
                    om->position.keys[i] = Key(int32_t(i) * framesPerKey);
                    om->position.values[i] = {r.x, -r.z, r.y};
                }
                om->position.keys[keys - 1].frame = frameCount - 1;
            }
            CQuaternion previous;
            previous.Set(0, 0, 0, 1);
            for (size_t i = 0; i < keys; ++i) {
                const CQuaternion& q = rotations[i * meshCount + m];
                CQuaternion conjugate, delta;
                previous.Conjugate(conjugate);
                QuatMultiply(delta, q, conjugate);
                CVector3 axis;
                float angle = 0;
                AxisAngle(delta, axis, angle);
                om->rotation.keys[i] = Key(int32_t(i) * framesPerKey);
                om->rotation.values[i] = {-angle, axis.x, -axis.z, axis.y};
                previous = q;
            }
            om->rotation.keys[keys - 1].frame = frameCount - 1;
        }
        PutObjectMotion3ds(db, om);
        ReleaseObjectMotion3ds(&om);
        if (IsErrorPending3ds()) return fail();

        const CTrLstMsh* owner = mvb;
        const TrMeshRecord* mesh = &mvb->meshes[m];
        if (body && dummy) {
            const size_t from = size_t(mvb->objectId >= 13 && mvb->objectId <= 16 ? BodyMesh(int(m)) : int(m));
            if (from < body->meshes.size()) {
                owner = body;
                mesh = &body->meshes[from];
            }
        }
        const CVector3& at = absolute[m];
        if (WriteMeshObjectTo3ds(db, name.c_str(), owner, mesh, at.x, at.y, at.z)) {
            anyWritten = true;
            if (owner == body) bodyUsed = true;
        }
        if (IsErrorPending3ds()) return fail();
    }

    std::vector<uint8_t> image;
    if (!RenderExportDatabase3ds(&db, &image, error)) return false;
    const CTrObjGfx* page = !anyWritten ? nullptr : bodyUsed ? static_cast<CTrObjGfx*>(body) : mvb;
    if (!WriteExportFiles3ds(path, image, ExportTexturePath3ds(path, textureName), page, error))
        return false;
    if (drawn) *drawn = anyWritten;
    return true;
}

}  // namespace lithoscope

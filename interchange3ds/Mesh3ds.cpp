#include "interchange3ds/Mesh3ds.h"

#include <cstring>

namespace lithoscope {

namespace {

constexpr uint32_t kMaxCount16 = 0xFFFF;  // counts are uint16 in a file

const Face3ds kDefaultFace{0, 1, 2, 0};

struct ObjectFlag {
    uint8_t Mesh3ds::*field;
    uint32_t tag;
};
// In the order the put writes them.
const ObjectFlag kObjectFlags[] = {
    {&Mesh3ds::hidden, Tag3ds::ObjHidden},   {&Mesh3ds::notInLofter, Tag3ds::ObjNotInLofter},
    {&Mesh3ds::matte, Tag3ds::ObjMatte},     {&Mesh3ds::noCast, Tag3ds::ObjNoCast},
    {&Mesh3ds::fast, Tag3ds::ObjFast},       {&Mesh3ds::noReceive, Tag3ds::ObjNoReceive},
    {&Mesh3ds::frozen, Tag3ds::ObjFrozen},
};

bool MeshDatabase(Database3ds* db) {
    return CheckDatabaseTop3ds(db, {Tag3ds::MeshFile, Tag3ds::ProjectFile});
}

bool HoldsMesh(Chunk3ds* object) {
    Chunk3ds* mesh = nullptr;
    FindChunk3ds(object, Tag3ds::TriMesh, &mesh);
    return mesh != nullptr;
}

// The children of a 0x4120 face list: material groups, smoothing, box map.
void ReadFaceListChildren(Chunk3ds* faceList, Mesh3ds* m) {
    Chunk3ds* group = nullptr;
    FindNextChunk3ds(faceList->Child(), Tag3ds::FaceMaterial, &group);
    for (; group; FindNextChunk3ds(group->Next(), Tag3ds::FaceMaterial, &group)) {
        MaterialGroupData3ds* d = ChunkDataOrError3ds<MaterialGroupData3ds>(group);
        if (!d) return;
        m->materialGroups.emplace_back();
        MaterialGroup3ds& g = m->materialGroups.back();
        CopyName3ds(g.name, sizeof g.name, d->name);
        g.faces = std::move(d->faces);
        if (IsErrorPending3ds()) return;
    }
    if (Chunk3ds* smooth = FindDirectChild3ds(faceList, Tag3ds::SmoothGroups)) {
        SmoothGroupData3ds* d = ChunkDataOrError3ds<SmoothGroupData3ds>(smooth);
        if (!d) return;
        m->smoothing = std::move(d->groups);
    }
    if (Chunk3ds* box = FindDirectChild3ds(faceList, Tag3ds::BoxMap)) {
        BoxMapData3ds* d = ChunkDataOrError3ds<BoxMapData3ds>(box);
        if (!d) return;
        m->useBoxMap = 1;
        for (int i = 0; i < 6 && !IsErrorPending3ds(); ++i)
            CopyName3ds(m->boxMap[i], sizeof m->boxMap[i], d->names[i]);
    }
}

void ReadTriMeshChild(Chunk3ds* c, Mesh3ds* m) {
    switch (c->tag) {
    case Tag3ds::VertexList:
        if (PointArrayData3ds* d = ChunkDataOrError3ds<PointArrayData3ds>(c)) m->vertices = std::move(d->points);
        break;
    case Tag3ds::VertexFlags:
        if (VertexFlagData3ds* d = ChunkDataOrError3ds<VertexFlagData3ds>(c)) m->vertexFlags = std::move(d->flags);
        break;
    case Tag3ds::FaceList:
        if (FaceArrayData3ds* d = ChunkDataOrError3ds<FaceArrayData3ds>(c)) {
            m->faces = std::move(d->faces);
            m->materialGroups.clear();
            m->smoothing.clear();
            ReadFaceListChildren(c, m);
        }
        break;
    case Tag3ds::TexVerts:
        if (TexVertData3ds* d = ChunkDataOrError3ds<TexVertData3ds>(c)) m->textureVertices = std::move(d->texVerts);
        break;
    case Tag3ds::LocalAxes:
        if (MeshMatrixData3ds* d = ChunkDataOrError3ds<MeshMatrixData3ds>(c))
            std::memcpy(m->localMatrix, d->xmatrix, sizeof m->localMatrix);
        break;
    case Tag3ds::MeshColor:
        if (UInt8Data3ds* d = ChunkDataOrError3ds<UInt8Data3ds>(c)) m->meshColor = d->value;
        break;
    case Tag3ds::MappingParams:
        if (MeshTextureInfoData3ds* d = ChunkDataOrError3ds<MeshTextureInfoData3ds>(c)) {
            m->useMapInfo = 1;
            MapInfo3ds& mi = m->mapInfo;
            mi.mapType = d->mapType;
            mi.tileX = d->tileX;
            mi.tileY = d->tileY;
            mi.iconPos = d->iconPos;
            mi.iconScale = d->iconScaling;
            std::memcpy(mi.matrix, d->xmatrix, sizeof mi.matrix);
            mi.planarWidth = d->iconWidth;
            mi.planarHeight = d->iconHeight;
            mi.cylinderHeight = d->cylIconHeight;
        }
        break;
    case Tag3ds::ProcName:
        if (StringData3ds* d = ChunkDataOrError3ds<StringData3ds>(c))
            CopyName3ds(m->procName, sizeof m->procName, d->value);
        break;
    case Tag3ds::ProcData:
        if (OpaqueData3ds* d = ChunkDataOrError3ds<OpaqueData3ds>(c)) m->procData = std::move(d->bytes);
        break;
    default: break;
    }
}

// Indices that point outside the mesh make the mesh unusable: refused as a damaged chunk.
bool MeshIndicesValid(const Mesh3ds& m) {
    const uint32_t nv = m.vertexCount(), nf = m.faceCount();
    for (const Face3ds& f : m.faces)
        if (f.a >= nv || f.b >= nv || f.c >= nv) return false;
    for (const MaterialGroup3ds& g : m.materialGroups)
        for (uint16_t i : g.faces)
            if (i >= nf) return false;
    return m.smoothing.empty() || m.smoothing.size() == nf;
}

// What a put refuses before it changes anything: counts that do not fit their uint16
// fields, indices outside the mesh, names longer than their fields.
bool MeshFits(const Mesh3ds& m) {
    FieldText3ds(m.name, sizeof m.name);
    FieldText3ds(m.procName, sizeof m.procName);
    for (const auto& box : m.boxMap) FieldText3ds(box, sizeof box);
    for (const MaterialGroup3ds& g : m.materialGroups) {
        FieldText3ds(g.name, sizeof g.name);
        if (g.faces.size() > kMaxCount16) PushError3ds(ERR_INVALID_DATA);
    }
    if (IsErrorPending3ds()) return false;
    if (m.vertices.size() > kMaxCount16 || m.faces.size() > kMaxCount16 ||
        m.textureVertices.size() > kMaxCount16 || m.vertexFlags.size() > kMaxCount16 ||
        !MeshIndicesValid(m)) {
        PushError3ds(ERR_INVALID_DATA);
        return false;
    }
    return true;
}

void WriteTriMesh(Chunk3ds* tri, const Mesh3ds& m) {
    if (!m.vertices.empty()) {
        if (PointArrayData3ds* d = AddChildData3ds<PointArrayData3ds>(tri, Tag3ds::VertexList)) d->points = m.vertices;
        if (IsErrorPending3ds()) return;
    }
    if (!m.textureVertices.empty()) {
        if (TexVertData3ds* d = AddChildData3ds<TexVertData3ds>(tri, Tag3ds::TexVerts)) d->texVerts = m.textureVertices;
        if (IsErrorPending3ds()) return;
    }
    if (m.useMapInfo) {
        if (MeshTextureInfoData3ds* d = AddChildData3ds<MeshTextureInfoData3ds>(tri, Tag3ds::MappingParams)) {
            const MapInfo3ds& mi = m.mapInfo;
            d->mapType = mi.mapType;
            d->tileX = mi.tileX;
            d->tileY = mi.tileY;
            d->iconPos = mi.iconPos;
            d->iconScaling = mi.iconScale;
            std::memcpy(d->xmatrix, mi.matrix, sizeof d->xmatrix);
            d->iconWidth = mi.planarWidth;
            d->iconHeight = mi.planarHeight;
            d->cylIconHeight = mi.cylinderHeight;
        }
        if (IsErrorPending3ds()) return;
    }
    if (!m.vertexFlags.empty()) {
        if (VertexFlagData3ds* d = AddChildData3ds<VertexFlagData3ds>(tri, Tag3ds::VertexFlags)) d->flags = m.vertexFlags;
        if (IsErrorPending3ds()) return;
    }
    if (MeshMatrixData3ds* d = AddChildData3ds<MeshMatrixData3ds>(tri, Tag3ds::LocalAxes))
        std::memcpy(d->xmatrix, m.localMatrix, sizeof d->xmatrix);
    if (IsErrorPending3ds()) return;
    if (UInt8Data3ds* d = AddChildData3ds<UInt8Data3ds>(tri, Tag3ds::MeshColor)) d->value = m.meshColor;
    if (IsErrorPending3ds()) return;

    if (!m.faces.empty()) {
        Chunk3ds* faceList = nullptr;
        FaceArrayData3ds* d = AddChildData3ds<FaceArrayData3ds>(tri, Tag3ds::FaceList, false, &faceList);
        if (!d) return;
        d->faces = m.faces;
        for (const MaterialGroup3ds& g : m.materialGroups) {
            MaterialGroupData3ds* gd = AddChildData3ds<MaterialGroupData3ds>(faceList, Tag3ds::FaceMaterial);
            if (!gd) return;
            gd->name = FieldText3ds(g.name, sizeof g.name);
            gd->faces = g.faces;
        }
        if (!m.smoothing.empty()) {
            SmoothGroupData3ds* sd = AddChildData3ds<SmoothGroupData3ds>(faceList, Tag3ds::SmoothGroups);
            if (!sd) return;
            sd->groups = m.smoothing;
        }
        if (m.useBoxMap) {
            BoxMapData3ds* bd = AddChildData3ds<BoxMapData3ds>(faceList, Tag3ds::BoxMap);
            if (!bd) return;
            for (int i = 0; i < 6; ++i) bd->names[i] = FieldText3ds(m.boxMap[i], sizeof m.boxMap[i]);
        }
    }
    if (!m.procData.empty()) {
        if (StringData3ds* d = AddChildData3ds<StringData3ds>(tri, Tag3ds::ProcName))
            d->value = FieldText3ds(m.procName, sizeof m.procName);
        if (IsErrorPending3ds()) return;
        if (OpaqueData3ds* d = AddChildData3ds<OpaqueData3ds>(tri, Tag3ds::ProcData)) d->bytes = m.procData;
    }
}

}  // namespace

void InitMesh3ds(Mesh3ds** mesh, uint16_t vertices, uint16_t faces, int flags) {
    if (!InitRecord3ds(mesh)) return;
    Mesh3ds* m = *mesh;
    m->vertices.assign(vertices, Point3ds{0, 0, 0});
    m->faces.assign(faces, kDefaultFace);
    if (flags & MESH_TEXTURE_VERTICES3DS) m->textureVertices.assign(vertices, TexVert3ds{0, 0});
    if (flags & MESH_VERTEX_FLAGS3DS) m->vertexFlags.assign(vertices, 0);
    if (flags & MESH_SMOOTHING3DS) m->smoothing.assign(faces, 0);
}

void InitMeshArrays3ds(Mesh3ds* mesh, int flags) {
    if (!mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    // The other arrays are their own counts; these two follow the face and vertex counts.
    if (flags & MESH_SMOOTHING3DS) mesh->smoothing.resize(mesh->faces.size(), 0);
    if (flags & MESH_VERTEX_FLAGS3DS) mesh->vertexFlags.resize(mesh->vertices.size(), 0);
}

void FreeMeshArrays3ds(Mesh3ds* mesh, int flags) {
    if (!mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (flags & MESH_VERTICES3DS) std::vector<Point3ds>().swap(mesh->vertices);
    if (flags & MESH_TEXTURE_VERTICES3DS) std::vector<TexVert3ds>().swap(mesh->textureVertices);
    if (flags & MESH_FACES3DS) std::vector<Face3ds>().swap(mesh->faces);
    if (flags & MESH_MATERIAL_GROUPS3DS) std::vector<MaterialGroup3ds>().swap(mesh->materialGroups);
    if (flags & MESH_SMOOTHING3DS) std::vector<uint32_t>().swap(mesh->smoothing);
    if (flags & MESH_PROCEDURAL3DS) std::vector<uint8_t>().swap(mesh->procData);
    if (flags & MESH_VERTEX_FLAGS3DS) std::vector<uint16_t>().swap(mesh->vertexFlags);
}

void ReleaseMesh3ds(Mesh3ds** mesh) { FreeRecord3ds(mesh); }

uint32_t GetMeshCount3ds(Database3ds* db) {
    if (!MeshDatabase(db)) return 0;
    UpdateObjectList3ds(db);
    if (IsErrorPending3ds() || !db->objList) return 0;
    uint32_t count = 0;
    for (const NameListEntry3ds& e : db->objList->list)
        if (HoldsMesh(e.chunk)) ++count;
    return count;
}

void GetMeshByIndex3ds(Database3ds* db, uint32_t index, Mesh3ds** mesh) {
    if (!mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!MeshDatabase(db)) return;
    UpdateObjectList3ds(db);
    if (IsErrorPending3ds() || !db->objList) return;
    uint32_t n = 0;
    for (const NameListEntry3ds& e : db->objList->list) {
        if (!HoldsMesh(e.chunk)) continue;
        if (n++ == index) {
            ReadMesh3ds(e.chunk, mesh);
            return;
        }
    }
}

void GetMeshByName3ds(Database3ds* db, const char* name, Mesh3ds** mesh) {
    if (!name || !mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!MeshDatabase(db)) return;
    Chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name, &object);
    if (IsErrorPending3ds() || !object || !HoldsMesh(object)) return;
    ReadMesh3ds(object, mesh);
}

void ReadMesh3ds(Chunk3ds* object, Mesh3ds** mesh) {
    if (!object || !mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!FindDirectChild3ds(object, Tag3ds::TriMesh)) {
        PushError3ds(ERR_WRONG_OBJECT);
        return;
    }
    InitMesh3ds(mesh, 0, 0, 0);
    if (IsErrorPending3ds()) return;
    Mesh3ds* m = *mesh;

    // The arrays are taken from a copy, so the database keeps its own.
    Chunk3ds* copy = nullptr;
    CopyChunk3ds(object, &copy);
    if (IsErrorPending3ds() || !copy) {
        ReleaseChunk3ds(&copy);
        return;
    }
    if (StringData3ds* name = ChunkDataOrError3ds<StringData3ds>(copy))
        CopyName3ds(m->name, sizeof m->name, name->value);
    Chunk3ds* tri = FindDirectChild3ds(copy, Tag3ds::TriMesh);
    for (Chunk3ds* c = tri->Child(); c && !IsErrorPending3ds(); c = c->Next())
        ReadTriMeshChild(c, m);
    if (!IsErrorPending3ds()) {
        for (const ObjectFlag& f : kObjectFlags)
            m->*f.field = FindDirectChild3ds(copy, f.tag) ? 1 : 0;
        m->useProc = FindDirectChild3ds(copy, Tag3ds::ObjProcedural) ? 1 : 0;
        if (!MeshIndicesValid(*m)) PushError3ds(ERR_INVALID_CHUNK);
    }
    ReleaseChunk3ds(&copy);
}

void PutMesh3ds(Database3ds* db, const Mesh3ds* mesh) {
    if (!db || !mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!MeshDatabase(db)) return;
    if (!MeshFits(*mesh)) {
        PushError3ds(ERR_PUT_MESH_FAILED);
        return;
    }
    // Any failure from here on gets code 21 on top of its own.
    Chunk3ds* xdata = nullptr;
    auto failed = [&xdata]() {
        if (!IsErrorPending3ds()) return false;
        ReleaseChunk3ds(&xdata);
        PushError3ds(ERR_PUT_MESH_FAILED);
        return true;
    };
    Chunk3ds* mdata = GetEditorData3ds(db);
    if (failed()) return;

    const std::string name = FieldText3ds(mesh->name, sizeof mesh->name);
    Chunk3ds* object = nullptr;
    FindNamedObject3ds(db, name.c_str(), &object);
    if (failed()) return;
    if (object) {
        Chunk3ds* found = nullptr;
        FindChunk3ds(object, Tag3ds::ExtendedData, &found);
        if (found) CopyChunk3ds(found, &xdata);
        if (failed()) return;
        ClearChunk3ds(object);
        object->tag = Tag3ds::NamedObject;
    } else {
        object = AddChildChunk3ds(mdata, Tag3ds::NamedObject);
        if (failed()) return;
    }
    MarkObjectListStale3ds(db);
    StringData3ds* nameData = MakeDataAs3ds<StringData3ds>(object);
    if (failed()) return;
    nameData->value = name;

    Chunk3ds* tri = AddChildChunk3ds(object, Tag3ds::TriMesh);
    if (failed()) return;
    WriteTriMesh(tri, *mesh);
    if (failed()) return;
    for (const ObjectFlag& f : kObjectFlags) {
        if (mesh->*f.field) AddChildChunk3ds(object, f.tag);
        if (failed()) return;
    }
    if (mesh->useProc && !mesh->procData.empty()) AddChildChunk3ds(object, Tag3ds::ObjProcedural);
    if (failed()) return;
    if (xdata) InsertChildChunk3ds(tri, xdata);
    xdata = nullptr;
    if (IsErrorPending3ds()) PushError3ds(ERR_PUT_MESH_FAILED);
}

void ComputeMeshBounds3ds(Mesh3ds* mesh) {
    if (!mesh) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (mesh->vertices.empty()) {
        PushError3ds(ERR_INVALID_DATA);
        return;
    }
    Point3ds lo = mesh->vertices[0], hi = lo;
    for (const Point3ds& p : mesh->vertices) {
        if (p.x < lo.x) lo.x = p.x;
        if (p.y < lo.y) lo.y = p.y;
        if (p.z < lo.z) lo.z = p.z;
        if (p.x > hi.x) hi.x = p.x;
        if (p.y > hi.y) hi.y = p.y;
        if (p.z > hi.z) hi.z = p.z;
    }
    const float m[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1,
                         (lo.x + hi.x) / 2, (lo.y + hi.y) / 2, (lo.z + hi.z) / 2};
    std::memcpy(mesh->localMatrix, m, sizeof m);
}

}  // namespace lithoscope

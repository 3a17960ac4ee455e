#pragma once
// 3D Studio toolkit: triangle-mesh objects. A mesh is a named object (0x4000, data: the
// name) holding a triangle mesh 0x4100 with vertices, faces, material groups, texture
// vertices and the local matrix. Counts are the sizes of the arrays (uint16 in a file).
#include <cstdint>
#include <vector>

#include "interchange3ds/Scene3ds.h"

namespace lithoscope {

// Array flags of InitMesh3ds, InitMeshArrays3ds and FreeMeshArrays3ds.
enum MeshArrays3ds : int {
    MESH_VERTICES3DS = 0x01,
    MESH_TEXTURE_VERTICES3DS = 0x02,
    MESH_FACES3DS = 0x04,
    MESH_MATERIAL_GROUPS3DS = 0x08,
    MESH_SMOOTHING3DS = 0x10,
    MESH_PROCEDURAL3DS = 0x20,
    MESH_VERTEX_FLAGS3DS = 0x40,
    MESH_ALL_ARRAYS3DS = 0x7F,
};

struct MaterialGroup3ds {
    char name[17] = {};  // material name, 16 characters at most
    std::vector<uint16_t> faces;  // indices into the mesh's faces
    uint16_t faceCount() const { return uint16_t(faces.size()); }
};

// Mapping parameters (0x4170).
struct MapInfo3ds {
    uint16_t mapType = 0;
    float tileX = 1.0f, tileY = 1.0f;
    Point3ds iconPos{0, 0, 0};
    float iconScale = 1.0f;
    float matrix[12] = {1.0f, 0, 0, 0, 1.0f, 0, 0, 0, 0, 0, 0, 0};
    float planarWidth = 1.0f, planarHeight = 1.0f, cylinderHeight = 1.0f;
};

struct Mesh3ds {
    char name[11] = {};  // 10 characters at most
    // Object flags, each an empty chunk under the named object.
    uint8_t hidden = 0;       // 0x4010
    uint8_t notInLofter = 0;  // 0x4011
    uint8_t matte = 0;        // 0x4013
    uint8_t noCast = 0;       // 0x4012
    uint8_t fast = 0;         // 0x4014
    uint8_t noReceive = 0;    // 0x4017
    uint8_t frozen = 0;       // 0x4016

    std::vector<Point3ds> vertices;
    std::vector<uint16_t> vertexFlags;
    std::vector<TexVert3ds> textureVertices;
    uint8_t useMapInfo = 0;
    MapInfo3ds mapInfo;
    // x, y and z axis vectors, then the origin (translation).
    float localMatrix[12] = {};
    std::vector<Face3ds> faces;
    std::vector<uint32_t> smoothing;  // one per face, or none
    uint8_t useBoxMap = 0;
    char boxMap[6][17] = {};
    uint8_t meshColor = 0;
    std::vector<MaterialGroup3ds> materialGroups;
    uint8_t useProc = 0;  // 0x4015
    char procName[13] = {};
    std::vector<uint8_t> procData;

    uint32_t vertexCount() const { return uint32_t(vertices.size()); }
    uint32_t vertexFlagCount() const { return uint32_t(vertexFlags.size()); }
    uint32_t textureVertexCount() const { return uint32_t(textureVertices.size()); }
    uint32_t faceCount() const { return uint32_t(faces.size()); }
    uint32_t materialGroupCount() const { return uint32_t(materialGroups.size()); }
    uint32_t procLength() const { return uint32_t(procData.size()); }
};

// Allocates the record when null, sets the defaults and sizes the vertex and face arrays;
// flag 0x02 adds texture vertices and 0x40 vertex flags (both of the vertex count), 0x10 a
// smoothing array of the face count.
void InitMesh3ds(Mesh3ds** mesh, uint16_t vertices, uint16_t faces, int flags);
// Per array flag: sizes the array to its count, keeping the elements it has and giving new
// ones their defaults (smoothing follows the face count, vertex flags the vertex count).
void InitMeshArrays3ds(Mesh3ds* mesh, int flags);
void FreeMeshArrays3ds(Mesh3ds* mesh, int flags);
void ReleaseMesh3ds(Mesh3ds** mesh);

uint32_t GetMeshCount3ds(Database3ds* db);
// Index-th named object holding a mesh; an index past the end leaves the record untouched.
void GetMeshByIndex3ds(Database3ds* db, uint32_t index, Mesh3ds** mesh);
// The named object of that name when it holds a mesh; otherwise the record is untouched.
void GetMeshByName3ds(Database3ds* db, const char* name, Mesh3ds** mesh);
// Decodes one named object. Face corners, material-group face indices and the smoothing
// count are checked against the mesh: a damaged mesh gives ERR_INVALID_CHUNK.
void ReadMesh3ds(Chunk3ds* object, Mesh3ds** mesh);
// Writes the record as a named object, replacing (in its place) an object of that name.
void PutMesh3ds(Database3ds* db, const Mesh3ds* mesh);
// Identity axes and the centre of the vertices' bounds as the origin.
void ComputeMeshBounds3ds(Mesh3ds* mesh);

}  // namespace lithoscope

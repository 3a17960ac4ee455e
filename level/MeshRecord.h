#pragma once
// One mesh: centre and collision radius, vertices, normals or vertex lights, and textured
// and coloured rectangles and triangles, with its three file forms (Tomb Raider I-III,
// Tomb Raider IV, object files).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "level/ByteIO.h"
#include "level/TrRecords.h"

namespace lithoscope {

class CTrLevel;

struct TrMeshVertex {
    int16_t x = 0, y = 0, z = 0;
    bool operator==(const TrMeshVertex& o) const { return x == o.x && y == o.y && z == o.z; }
};

// Rectangle slot: four vertex indices, texture word at 8, effects word at 10.
struct TrMeshRectangle : TrSlot<12> {
    uint16_t vertex(int k) const { return u16(2 * k); }
    void setVertex(int k, uint16_t v) { setU16(2 * k, v); }
    uint16_t texture() const { return u16(8); }
    void setTexture(uint16_t v) { setU16(8, v); }
    uint16_t effects() const { return u16(10); }
    void setEffects(uint16_t v) { setU16(10, v); }
    static constexpr int kCorners = 4;
};
// Triangle slot: three vertex indices, texture word at 6, effects word at 8.
struct TrMeshTriangle : TrSlot<10> {
    uint16_t vertex(int k) const { return u16(2 * k); }
    void setVertex(int k, uint16_t v) { setU16(2 * k, v); }
    uint16_t texture() const { return u16(6); }
    void setTexture(uint16_t v) { setU16(6, v); }
    uint16_t effects() const { return u16(8); }
    void setEffects(uint16_t v) { setU16(8, v); }
    static constexpr int kCorners = 3;
};

// Full vertex light, and the length of a stored normal.
constexpr int16_t kFullLight = 8192;

struct TrMeshRecord {
    int16_t centre[3] = {0, 0, 0};
    int32_t radius = 0;
    std::vector<TrMeshVertex> vertices;
    int32_t hasNormals = 0;              // 1: normals; 0: vertex lights
    std::vector<TrMeshVertex> normals;   // used when hasNormals (unit x 8192)
    std::vector<int16_t> lights;         // used otherwise (0 to 8192)
    std::vector<TrMeshRectangle> texturedRectangles;
    std::vector<TrMeshTriangle> texturedTriangles;
    std::vector<TrMeshRectangle> colouredRectangles;
    std::vector<TrMeshTriangle> colouredTriangles;
    float boundingBox[6] = {0, 0, 0, 0, 0, 0};  // min x, max x, min y, max y, min z, max z
    uint8_t dummy = 0;
    uint8_t intensityAlpha = 0;

    int16_t vertexCount() const { return int16_t(vertices.size()); }
    int16_t normalCount() const { return int16_t(hasNormals ? normals.size() : lights.size()); }
    int16_t texturedRectangleCount() const { return int16_t(texturedRectangles.size()); }
    int16_t texturedTriangleCount() const { return int16_t(texturedTriangles.size()); }
    int16_t colouredRectangleCount() const { return int16_t(colouredRectangles.size()); }
    int16_t colouredTriangleCount() const { return int16_t(colouredTriangles.size()); }

    // Read from the Tomb Raider I-III form (or the object-file form); base is the offset,
    // in src, of the block the 4-byte padding counts from. Returns the position after the
    // padding. Throws FormatError on data that runs past the span or a negative count;
    // the record is left unchanged then. Padding cut off by the end of the span is
    // accepted (the last mesh of a block). Face indices are carried unchecked: every
    // operation below skips corners that are past the vertices.
    size_t Parse(ByteReader& src, size_t base, bool objectFileForm);
    size_t ParseTr4(ByteReader& src, size_t base);
    // Write in that form; returns the position after the padding. Throws OverflowError
    // when a count no longer fits its int16 field (nothing useful is written then).
    size_t Write(ByteWriter& out, size_t base, bool objectFileForm) const;
    size_t WriteTr4(ByteWriter& out, size_t base) const;
    // Size in the file, padding included, for a mesh starting offset bytes into its block.
    size_t GetFileSize(size_t offset, bool objectFileForm) const;
    size_t GetFileSizeTr4(size_t offset) const;

    // Fresh arrays of those sizes (negative sizes count as 0), no coloured faces; lights
    // of 8192 (fullLight) or 0, or zero normals left to be computed.
    void Init(int vertexCount, int texturedTriangleCount, int texturedRectangleCount,
              bool withLights, bool fullLight);
    static void Copy(const TrMeshRecord& source, TrMeshRecord& target);
    // Frees every array (the counts follow); the other fields stay.
    void Free();

    // Box of the vertices in display space (x, -y, -z); 1e20 / -1e20 without vertices.
    void ComputeBoundingBox();
    // Box, then centre = the box's midpoint in file coordinates on all three axes and
    // radius = the mean half extent; a mesh without vertices gets centre 0 and radius 0.
    void ComputeCentreAndRadius();
    // One normal per vertex from the faces around it (unit x 8192), into `normals`.
    void ComputeNormals();
    // mode 1: normals (computed), mode 0: lights (8192 when full, else 0); nothing when
    // the mesh already has that kind.
    void SetNormalsOrLights(int mode, bool full);
    // Mean light in 0..1 (direct) or its complement; 0 with normals or no lights.
    float GetMeanLight(bool direct) const;
    void SetAllLights(float level, bool direct);
    void InvertLights();
    // Drops vertices equal to an earlier one and points the faces at the one kept.
    void MergeVertices();
    // Moves every vertex; with keepChildren and a level, the offsets of the level's
    // mesh trees change so that the mesh and its children stay where they were.
    void Translate(int dx, int dy, int dz, bool keepChildren, CTrLevel* level);
    void FinishBuild(int texturedTriangleCount, bool withLights);
    // True when every textured face uses intensity alpha (attributes bit 1 of its texture
    // or effects bit 0); a texture index past the table does not count against it.
    bool UsesIntensityAlpha(const std::vector<TrObjectTextureRecord>& textures) const;

    // Bytes the record takes in memory, its arrays included.
    size_t HeldBytes() const;

    // Every field, the box included.
    bool operator==(const TrMeshRecord& o) const;
    bool operator!=(const TrMeshRecord& o) const { return !(*this == o); }
};

}  // namespace lithoscope

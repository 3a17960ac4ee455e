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
    // padding. Throws FormatError on data that runs past the span.
    size_t Parse(ByteReader& src, size_t base, bool objectFileForm);
    size_t ParseTr4(ByteReader& src, size_t base);
    // Write in that form; returns the position after the padding.
    size_t Write(ByteWriter& out, size_t base, bool objectFileForm) const;
    size_t WriteTr4(ByteWriter& out, size_t base) const;
    // Size in the file, padding included, for a mesh starting offset bytes into its block.
    size_t GetFileSize(size_t offset, bool objectFileForm) const;
    size_t GetFileSizeTr4(size_t offset) const;

    void Init(int vertexCount, int texturedTriangleCount, int texturedRectangleCount,
              bool withLights, bool fullLight);
    static void Copy(const TrMeshRecord& source, TrMeshRecord& target);
    void Free();

    void ComputeBoundingBox();
    void ComputeCentreAndRadius();
    void ComputeNormals();
    void SetNormalsOrLights(int mode, bool full);
    float GetMeanLight(bool direct) const;
    void SetAllLights(float level, bool direct);
    void InvertLights();
    void MergeVertices();
    void Translate(int dx, int dy, int dz, bool keepChildren, CTrLevel* level);
    void FinishBuild(int texturedTriangleCount, bool withLights);
    bool UsesIntensityAlpha(const std::vector<TrObjectTextureRecord>& textures) const;
};

}  // namespace lithoscope

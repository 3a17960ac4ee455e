#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "TestSupport.h"
#include "level/ByteIO.h"
#include "level/LevelErrors.h"
#include "level/MeshRecord.h"
#include "level/TrLevel.h"

using namespace lithoscope;

namespace {

// Little-endian bytes laid out by hand from the file layouts.
struct Bytes {
    std::vector<uint8_t> v;
    Bytes& u8(uint8_t x) { v.push_back(x); return *this; }
    Bytes& s16(int x) {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(unsigned(x) >> 8));
        return *this;
    }
    Bytes& s32(int32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(uint8_t(uint32_t(x) >> (8 * i)));
        return *this;
    }
    Bytes& zeros(size_t n) { v.insert(v.end(), n, 0); return *this; }
};

enum class Kind { Tr1, Tr4, Object };

// A mesh of 3 vertices, 3 lights (or 3 normals), one face of each kind the form has.
// Returns the unpadded size.
size_t AppendMesh(Bytes& b, Kind kind, bool normals) {
    const size_t start = b.v.size();
    b.s16(1).s16(-2).s16(3).s32(100);
    b.s16(3).s16(10).s16(20).s16(30).s16(-1).s16(0).s16(7).s16(32767).s16(-32768).s16(5);
    if (normals)
        b.s16(3).s16(0).s16(0).s16(8192).s16(8192).s16(0).s16(0).s16(0).s16(-8192).s16(0);
    else
        b.s16(-3).s16(0).s16(4096).s16(8192);
    const bool effects = kind != Kind::Tr1;
    b.s16(1).s16(0).s16(1).s16(2).s16(0).s16(0x8005);
    if (effects) b.s16(1);
    b.s16(1).s16(2).s16(1).s16(0).s16(9);
    if (effects) b.s16(0x0100);
    if (kind != Kind::Tr4) {
        b.s16(1).s16(2).s16(2).s16(1).s16(0).s16(0x1234);
        if (effects) b.s16(0);
        b.s16(1).s16(0).s16(2).s16(1).s16(0x4321);
        if (effects) b.s16(0);
    }
    if (kind == Kind::Object) b.u8(1).u8(0);
    return b.v.size() - start;
}

size_t ParseKind(TrMeshRecord& m, ByteReader& r, size_t base, Kind kind) {
    return kind == Kind::Tr4 ? m.ParseTr4(r, base) : m.Parse(r, base, kind == Kind::Object);
}
size_t WriteKind(const TrMeshRecord& m, ByteWriter& w, size_t base, Kind kind) {
    return kind == Kind::Tr4 ? m.WriteTr4(w, base) : m.Write(w, base, kind == Kind::Object);
}
size_t SizeKind(const TrMeshRecord& m, size_t offset, Kind kind) {
    return kind == Kind::Tr4 ? m.GetFileSizeTr4(offset) : m.GetFileSize(offset, kind == Kind::Object);
}

TrMeshVertex V(int x, int y, int z) { return {int16_t(x), int16_t(y), int16_t(z)}; }

TrMeshTriangle Tri(int a, int b, int c, uint16_t texture = 0) {
    TrMeshTriangle t;
    t.setVertex(0, uint16_t(a));
    t.setVertex(1, uint16_t(b));
    t.setVertex(2, uint16_t(c));
    t.setTexture(texture);
    return t;
}
TrMeshRectangle Rect(int a, int b, int c, int d, uint16_t texture = 0) {
    TrMeshRectangle r;
    for (int k = 0; k < 4; ++k) r.setVertex(k, uint16_t(k == 0 ? a : k == 1 ? b : k == 2 ? c : d));
    r.setTexture(texture);
    return r;
}

}  // namespace

TEST(MeshRecordFile, ReadsTheFieldsOfEachForm) {
    for (Kind kind : {Kind::Tr1, Kind::Tr4, Kind::Object}) {
        Bytes b;
        const size_t size = AppendMesh(b, kind, false);
        // 22 + 18 + 6 + 10 + 8 + 10 + 8; TR IV: 18 + 18 + 6 + 12 + 10; object: 22 + 18 + 6 + 44 + 2.
        EXPECT_EQ(size, kind == Kind::Tr1 ? 82u : kind == Kind::Tr4 ? 64u : 92u);
        b.zeros(4);
        ByteReader r(b.v);
        TrMeshRecord m;
        const size_t end = ParseKind(m, r, 0, kind);
        EXPECT_EQ(end, (size + 3) / 4 * 4);
        EXPECT_EQ(m.centre[0], 1);
        EXPECT_EQ(m.centre[1], -2);
        EXPECT_EQ(m.centre[2], 3);
        EXPECT_EQ(m.radius, 100);
        ASSERT_EQ(m.vertexCount(), 3);
        EXPECT_EQ(m.vertices[0], V(10, 20, 30));
        EXPECT_EQ(m.vertices[2], V(32767, -32768, 5));
        EXPECT_EQ(m.hasNormals, 0);
        EXPECT_EQ(m.normalCount(), 3);
        EXPECT_EQ(m.lights, (std::vector<int16_t>{0, 4096, 8192}));
        ASSERT_EQ(m.texturedRectangleCount(), 1);
        ASSERT_EQ(m.texturedTriangleCount(), 1);
        EXPECT_EQ(m.texturedRectangles[0].vertex(2), 2);
        EXPECT_EQ(m.texturedRectangles[0].texture(), 0x8005);
        EXPECT_EQ(m.texturedTriangles[0].texture(), 9);
        // The effects word is 0 where the form has none.
        EXPECT_EQ(m.texturedRectangles[0].effects(), kind == Kind::Tr1 ? 0 : 1);
        EXPECT_EQ(m.texturedTriangles[0].effects(), kind == Kind::Tr1 ? 0 : 0x0100);
        if (kind == Kind::Tr4) {
            EXPECT_EQ(m.colouredRectangleCount(), 0);
            EXPECT_EQ(m.colouredTriangleCount(), 0);
        } else {
            ASSERT_EQ(m.colouredRectangleCount(), 1);
            ASSERT_EQ(m.colouredTriangleCount(), 1);
            EXPECT_EQ(m.colouredRectangles[0].texture(), 0x1234);
            EXPECT_EQ(m.colouredTriangles[0].texture(), 0x4321);
        }
        EXPECT_EQ(m.dummy, kind == Kind::Object ? 1 : 0);
        EXPECT_EQ(m.intensityAlpha, 0);
    }
}

TEST(MeshRecordFile, RoundTripsByteForByteAtEveryAlignment) {
    for (Kind kind : {Kind::Tr1, Kind::Tr4, Kind::Object}) {
        for (bool normals : {false, true}) {
            for (size_t base : {0u, 3u}) {
                for (size_t offset = 0; offset < 4; ++offset) {
                    SCOPED_TRACE(testing::Message() << "form " << int(kind) << " normals "
                                                    << normals << " base " << base
                                                    << " offset " << offset);
                    Bytes b;
                    b.zeros(base + offset);
                    const size_t size = AppendMesh(b, kind, normals);
                    const size_t padded = size + (4 - (offset + size) % 4) % 4;
                    b.zeros(padded - size);
                    ByteReader r(b.v);
                    r.seek(base + offset);
                    TrMeshRecord m;
                    EXPECT_EQ(ParseKind(m, r, base, kind), b.v.size());
                    EXPECT_EQ(m.hasNormals, normals ? 1 : 0);
                    EXPECT_EQ(SizeKind(m, offset, kind), padded);

                    std::vector<uint8_t> out(b.v.size(), 0xEE);
                    ByteWriter w(out);
                    w.zeros(base + offset);
                    EXPECT_EQ(WriteKind(m, w, base, kind), out.size());
                    EXPECT_EQ(out, b.v);
                    EXPECT_EQ((w.pos() - base) % 4, 0u);
                }
            }
        }
    }
}

TEST(MeshRecordFile, NormalCountZeroGivesALitMeshWithoutLights) {
    Bytes b;
    b.s16(0).s16(0).s16(0).s32(0).s16(0).s16(0).s16(0).s16(0).s16(0).s16(0);
    ASSERT_EQ(b.v.size(), 22u);
    ByteReader r(b.v);
    TrMeshRecord m;
    m.hasNormals = 1;
    m.normals.resize(2);
    EXPECT_EQ(m.Parse(r, 0, false), 22u);  // the missing padding at the span's end is fine
    EXPECT_EQ(m.hasNormals, 0);
    EXPECT_TRUE(m.lights.empty());
    EXPECT_TRUE(m.normals.empty());
    EXPECT_EQ(m.normalCount(), 0);
    EXPECT_EQ(m.GetFileSize(0, false), 24u);
}

TEST(MeshRecordFile, TruncatedOrNegativeCountsFailCleanly) {
    for (Kind kind : {Kind::Tr1, Kind::Tr4, Kind::Object}) {
        Bytes b;
        const size_t size = AppendMesh(b, kind, true);
        for (size_t cut = 0; cut < size; ++cut) {
            ByteReader r(b.v.data(), cut, "mesh data");
            TrMeshRecord m;
            m.radius = 77;
            m.vertices.push_back(V(1, 1, 1));
            EXPECT_THROW(ParseKind(m, r, 0, kind), FormatError) << "cut at " << cut;
            // A failed read leaves the record as it was.
            EXPECT_EQ(m.radius, 77);
            EXPECT_EQ(m.vertexCount(), 1);
        }
    }

    // Negative counts: vertex count at 10, a face count further on.
    Bytes neg;
    neg.s16(0).s16(0).s16(0).s32(0).s16(-1).zeros(40);
    ByteReader r1(neg.v, "mesh data");
    TrMeshRecord m;
    try {
        m.Parse(r1, 0, false);
        ADD_FAILURE() << "negative vertex count accepted";
    } catch (const FormatError& e) {
        EXPECT_EQ(e.offset(), 10u);
        EXPECT_EQ(e.section(), "mesh data");
    }
    Bytes negFace;
    negFace.s16(0).s16(0).s16(0).s32(0).s16(0).s16(0).s16(-5).zeros(40);
    ByteReader r2(negFace.v);
    EXPECT_THROW(m.ParseTr4(r2, 0), FormatError);
    // -32768 lights would not fit the count again.
    Bytes tooManyLights;
    tooManyLights.s16(0).s16(0).s16(0).s32(0).s16(0).s16(-32768).zeros(65540);
    ByteReader r3(tooManyLights.v);
    EXPECT_THROW(m.Parse(r3, 0, true), FormatError);
    // A large count is checked against the bytes left before anything is allocated.
    Bytes big;
    big.s16(0).s16(0).s16(0).s32(0).s16(32767).zeros(100);
    ByteReader r4(big.v);
    EXPECT_THROW(m.Parse(r4, 0, false), FormatError);
}

TEST(MeshRecordFile, WritersRefuseCountsThatNoLongerFit) {
    TrMeshRecord m;
    m.Init(32767, 0, 0, true, true);
    std::vector<uint8_t> buf(m.GetFileSize(0, true));
    ByteWriter ok(buf);
    EXPECT_EQ(m.Write(ok, 0, true), buf.size());
    // 22 + 2 + 32767 x (6 + 2) = 262160, already a multiple of 4.
    EXPECT_EQ(buf.size(), 262160u);
    ByteReader back(buf);
    TrMeshRecord again;
    again.Parse(back, 0, true);
    EXPECT_EQ(again.normalCount(), 32767);
    EXPECT_EQ(again.lights.back(), kFullLight);

    m.vertices.emplace_back();
    for (Kind kind : {Kind::Tr1, Kind::Tr4, Kind::Object}) {
        std::vector<uint8_t> out(SizeKind(m, 0, kind));
        ByteWriter w(out);
        EXPECT_THROW(WriteKind(m, w, 0, kind), OverflowError);
    }
    TrMeshRecord faces;
    faces.texturedTriangles.resize(32768);
    std::vector<uint8_t> out(faces.GetFileSizeTr4(0));
    ByteWriter w(out);
    EXPECT_THROW(faces.WriteTr4(w, 0), OverflowError);
    TrMeshRecord lights;
    lights.lights.resize(32768);
    std::vector<uint8_t> out2(lights.GetFileSize(0, false));
    ByteWriter w2(out2);
    EXPECT_THROW(lights.Write(w2, 0, false), OverflowError);
    // Coloured faces are not written in the Tomb Raider IV form, so they don't count there.
    TrMeshRecord coloured;
    coloured.colouredTriangles.resize(40000);
    std::vector<uint8_t> out3(coloured.GetFileSizeTr4(0));
    ByteWriter w3(out3);
    EXPECT_EQ(coloured.WriteTr4(w3, 0), 20u);
}

TEST(MeshRecordLifecycle, InitCopyAndFree) {
    TrMeshRecord m;
    m.radius = 9;
    m.Init(4, 2, 1, true, true);
    EXPECT_EQ(m.vertexCount(), 4);
    EXPECT_EQ(m.texturedTriangleCount(), 2);
    EXPECT_EQ(m.texturedRectangleCount(), 1);
    EXPECT_EQ(m.colouredRectangleCount() + m.colouredTriangleCount(), 0);
    EXPECT_EQ(m.hasNormals, 0);
    EXPECT_EQ(m.lights, std::vector<int16_t>(4, 8192));
    EXPECT_EQ(m.dummy + m.intensityAlpha, 0);
    m.Init(3, 0, 0, true, false);
    EXPECT_EQ(m.lights, std::vector<int16_t>(3, 0));
    m.Init(5, 1, 0, false, true);
    EXPECT_EQ(m.hasNormals, 1);
    EXPECT_EQ(m.normalCount(), 5);
    EXPECT_TRUE(m.lights.empty());
    m.Init(-3, -1, -2, true, true);
    EXPECT_EQ(m.vertexCount(), 0);
    EXPECT_EQ(m.texturedTriangleCount(), 0);

    TrMeshRecord source;
    source.Init(2, 1, 0, true, true);
    source.vertices[1] = V(4, 5, 6);
    source.texturedTriangles[0] = Tri(0, 1, 1, 3);
    source.dummy = 1;
    TrMeshRecord copy;
    TrMeshRecord::Copy(source, copy);
    EXPECT_EQ(copy, source);
    copy.vertices[1].x = 99;
    copy.lights[0] = 1;
    EXPECT_EQ(source.vertices[1].x, 4);
    EXPECT_EQ(source.lights[0], 8192);
    TrMeshRecord::Copy(source, source);
    EXPECT_EQ(source.vertexCount(), 2);

    source.Free();
    EXPECT_EQ(source.vertexCount(), 0);
    EXPECT_EQ(source.normalCount(), 0);
    EXPECT_EQ(source.texturedTriangleCount(), 0);
    EXPECT_EQ(source.dummy, 1);
}

TEST(MeshRecordGeometry, BoundingBoxCentreAndRadius) {
    TrMeshRecord m;
    m.vertices = {V(5, 0, 0)};
    m.ComputeBoundingBox();
    EXPECT_EQ(m.boundingBox[0], 5.0f);
    EXPECT_EQ(m.boundingBox[1], 5.0f);

    // Display space is (x, -y, -z).
    m.vertices = {V(1, 2, 3), V(-4, 5, -6)};
    m.ComputeBoundingBox();
    const float expected[6] = {-4, 1, -5, -2, -3, 6};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.boundingBox[i], expected[i]) << i;

    m.vertices = {V(0, 0, 0), V(10, 20, -30)};
    m.ComputeCentreAndRadius();
    EXPECT_EQ(m.centre[0], 5);
    EXPECT_EQ(m.centre[1], 10);
    EXPECT_EQ(m.centre[2], -15);
    EXPECT_EQ(m.radius, 10);  // (10 + 20 + 30) / 6

    // Truncation toward zero: midpoints -1.5, 3.5, -0.5; radius (3 + 7 + 1) / 6.
    m.vertices = {V(-3, 0, 0), V(0, 7, -1)};
    m.ComputeCentreAndRadius();
    EXPECT_EQ(m.centre[0], -1);
    EXPECT_EQ(m.centre[1], 3);
    EXPECT_EQ(m.centre[2], 0);
    EXPECT_EQ(m.radius, 1);

    // The extreme coordinates still fit.
    m.vertices = {V(-32768, -32768, -32768), V(32767, 32767, 32767)};
    m.ComputeCentreAndRadius();
    EXPECT_EQ(m.centre[0], 0);
    EXPECT_EQ(m.radius, 32767);

    m.vertices.clear();
    m.radius = 50;
    m.centre[1] = 3;
    m.ComputeCentreAndRadius();
    EXPECT_EQ(m.boundingBox[0], 1e20f);
    EXPECT_EQ(m.boundingBox[1], -1e20f);
    EXPECT_EQ(m.radius, 0);
    EXPECT_EQ(m.centre[1], 0);
}

TEST(MeshRecordGeometry, NormalsFromFaces) {
    TrMeshRecord m;
    m.Init(4, 0, 0, false, true);
    m.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0), V(0, 0, 1)};
    m.texturedTriangles = {Tri(0, 1, 2)};
    m.ComputeNormals();
    // -((1,0,0) x (0,1,0)) = (0,0,-1); a vertex without faces gets (0,0,0).
    EXPECT_EQ(m.normals[0], V(0, 0, -8192));
    EXPECT_EQ(m.normals[2], V(0, 0, -8192));
    EXPECT_EQ(m.normals[3], V(0, 0, 0));

    // A second face (0,0,1),(1,0,0) from the origin: -((0,0,1) x (1,0,0)) = (0,-1,0).
    // Shared corners get (0,-1,-1)/sqrt(2) x 8192 = -5792.6, truncated.
    m.colouredRectangles = {Rect(0, 3, 1, 2)};
    m.texturedTriangles.push_back(Tri(0, 1, 99));  // past the vertices: skipped
    m.texturedRectangles = {Rect(3, 3, 3, 3)};     // degenerate: adds nothing
    m.ComputeNormals();
    EXPECT_EQ(m.normals[0], V(0, -5792, -5792));
    EXPECT_EQ(m.normals[1], V(0, -5792, -5792));
    EXPECT_EQ(m.normals[2], V(0, 0, -8192));
    EXPECT_EQ(m.normals[3], V(0, -8192, 0));

    // Large faces give the same unit normals; the array follows the vertex count.
    m.vertices = {V(0, 0, 0), V(256, 0, 0), V(0, 256, 0)};
    m.texturedTriangles = {Tri(0, 1, 2)};
    m.colouredRectangles.clear();
    m.texturedRectangles.clear();
    m.normals.resize(7);
    m.ComputeNormals();
    ASSERT_EQ(m.normalCount(), 3);
    EXPECT_EQ(m.normals[1], V(0, 0, -8192));
}

TEST(MeshRecordLights, SwitchMeanSetAndInvert) {
    TrMeshRecord m;
    m.Init(3, 1, 0, false, true);
    m.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)};
    m.texturedTriangles = {Tri(0, 1, 2)};
    m.SetNormalsOrLights(0, true);
    EXPECT_EQ(m.hasNormals, 0);
    EXPECT_EQ(m.lights, std::vector<int16_t>(3, 8192));
    EXPECT_TRUE(m.normals.empty());
    m.lights = {100, 200, 300};
    m.SetNormalsOrLights(0, false);  // already lit: unchanged
    EXPECT_EQ(m.lights, (std::vector<int16_t>{100, 200, 300}));

    m.lights = {0, 8192, 4096};
    EXPECT_FLOAT_EQ(m.GetMeanLight(true), 0.5f);
    m.lights = {0, 8192, 4096, 2048};
    EXPECT_FLOAT_EQ(m.GetMeanLight(true), 0.4375f);
    EXPECT_FLOAT_EQ(m.GetMeanLight(false), 0.5625f);

    m.SetAllLights(0.5f, true);
    EXPECT_EQ(m.lights, std::vector<int16_t>(4, 4096));
    m.SetAllLights(0.25f, false);
    EXPECT_EQ(m.lights, std::vector<int16_t>(4, 6144));
    m.SetAllLights(0.333f, true);  // 2727.9 truncated
    EXPECT_EQ(m.lights[0], 2727);

    m.lights = {0, 8192, 1000};
    m.InvertLights();
    EXPECT_EQ(m.lights, (std::vector<int16_t>{8192, 0, 7192}));

    m.SetNormalsOrLights(1, true);
    EXPECT_EQ(m.hasNormals, 1);
    EXPECT_TRUE(m.lights.empty());
    ASSERT_EQ(m.normalCount(), 3);
    EXPECT_EQ(m.normals[0], V(0, 0, -8192));

    // A mesh with normals: no mean light, and the light operations leave it alone.
    EXPECT_EQ(m.GetMeanLight(true), 0.0f);
    const TrMeshRecord before = m;
    m.SetAllLights(0.5f, true);
    m.InvertLights();
    EXPECT_EQ(m, before);

    TrMeshRecord empty;
    EXPECT_EQ(empty.GetMeanLight(false), 0.0f);
}

TEST(MeshRecordGeometry, MergeVertices) {
    TrMeshRecord m;
    m.vertices = {V(0, 0, 0), V(1, 0, 0), V(0, 0, 0), V(0, 1, 0), V(1, 0, 0)};
    m.lights = {10, 20, 30, 40, 50};
    m.texturedTriangles = {Tri(2, 3, 4)};
    m.colouredRectangles = {Rect(0, 1, 2, 3)};
    m.texturedRectangles = {Rect(4, 3, 2, 99)};
    m.colouredTriangles = {Tri(1, 4, 3)};
    m.MergeVertices();
    EXPECT_EQ(m.vertices, (std::vector<TrMeshVertex>{V(0, 0, 0), V(1, 0, 0), V(0, 1, 0)}));
    EXPECT_EQ(m.lights, (std::vector<int16_t>{10, 20, 40}));
    EXPECT_EQ(m.normalCount(), 3);
    EXPECT_EQ(m.texturedTriangles[0], Tri(0, 2, 1));
    EXPECT_EQ(m.colouredRectangles[0], Rect(0, 1, 0, 2));
    EXPECT_EQ(m.texturedRectangles[0], Rect(1, 2, 0, 99));  // the bad corner is kept
    EXPECT_EQ(m.colouredTriangles[0], Tri(1, 1, 2));

    // All distinct: nothing changes.
    TrMeshRecord d;
    d.vertices = {V(1, 2, 3), V(3, 2, 1), V(1, 2, 4)};
    d.hasNormals = 1;
    d.normals = {V(8192, 0, 0), V(0, 8192, 0), V(0, 0, 8192)};
    d.texturedTriangles = {Tri(2, 1, 0, 5)};
    const TrMeshRecord before = d;
    d.MergeVertices();
    EXPECT_EQ(d, before);
}

TEST(MeshRecordGeometry, FinishBuild) {
    TrMeshRecord m;
    m.Init(4, 3, 0, false, true);
    m.vertices = {V(0, 0, 0), V(8, 0, 0), V(0, 0, 0), V(0, -8, 0)};
    m.texturedTriangles = {Tri(0, 1, 3), Tri(2, 1, 3), Tri(1, 2, 3)};
    m.FinishBuild(2, false);
    EXPECT_EQ(m.texturedTriangleCount(), 2);
    EXPECT_EQ(m.vertexCount(), 3);
    EXPECT_EQ(m.texturedTriangles[1], Tri(0, 1, 2));
    // -((8,0,0) x (0,-8,0)) = (0,0,64) -> (0,0,1), twice, normalised again.
    ASSERT_EQ(m.normalCount(), 3);
    EXPECT_EQ(m.normals[0], V(0, 0, 8192));
    // Box x 0..8, display y 0..8: centre (4, -4, 0), radius (8 + 8) / 6 truncated.
    EXPECT_EQ(m.centre[0], 4);
    EXPECT_EQ(m.centre[1], -4);
    EXPECT_EQ(m.centre[2], 0);
    EXPECT_EQ(m.radius, 2);

    TrMeshRecord lit;
    lit.Init(2, 1, 0, true, true);
    lit.vertices = {V(1, 1, 1), V(1, 1, 1)};
    lit.FinishBuild(5, true);
    EXPECT_EQ(lit.texturedTriangleCount(), 1);
    EXPECT_EQ(lit.vertexCount(), 1);
    EXPECT_EQ(lit.lights, std::vector<int16_t>(1, 8192));
    EXPECT_TRUE(lit.normals.empty());
}

namespace {

// A level whose moveable 0 uses meshes 0..count-1 in order with the given tree entries.
void MakeMoveable(CTrLevel& level, int count, const std::vector<int32_t>& tree) {
    for (int i = 0; i < count; ++i) {
        level.meshes.push_back(std::make_unique<TrMeshRecord>());
        level.meshes.back()->vertices = {V(0, 0, 0)};
        level.meshPointers.push_back(uint32_t(i));
    }
    level.meshTrees = tree;
    TrMoveableRecord mv;
    mv.setU16(4, uint16_t(count));
    level.moveables.push_back(mv);
}

std::vector<int32_t> Entry(const std::vector<int32_t>& tree, int i) {
    return {tree.begin() + 4 * i, tree.begin() + 4 * i + 4};
}

}  // namespace

TEST(MeshRecordTranslate, KeepsTheMeshAndItsChildrenInPlace) {
    CTrLevel level;
    MakeMoveable(level, 3, {0, 100, 0, 0, 0, 0, 50, 0});
    TrMeshRecord& m1 = *level.meshes[1];
    m1.Translate(1, 2, 3, true, &level);
    EXPECT_EQ(m1.vertices[0], V(1, 2, 3));
    EXPECT_EQ(Entry(level.meshTrees, 0), (std::vector<int32_t>{0, 99, -2, -3}));
    EXPECT_EQ(Entry(level.meshTrees, 1), (std::vector<int32_t>{0, 1, 52, 3}));

    // The root has no offset of its own; its child keeps its place.
    level.meshes[0]->Translate(-10, 0, 0, true, &level);
    EXPECT_EQ(Entry(level.meshTrees, 0), (std::vector<int32_t>{0, 89, -2, -3}));
    EXPECT_EQ(Entry(level.meshTrees, 1), (std::vector<int32_t>{0, 1, 52, 3}));

    // Without keepChildren, or without a level, only the vertices move.
    const std::vector<int32_t> tree = level.meshTrees;
    m1.Translate(5, 5, 5, false, &level);
    m1.Translate(5, 5, 5, true, nullptr);
    EXPECT_EQ(level.meshTrees, tree);
    EXPECT_EQ(m1.vertices[0], V(11, 12, 13));
    // A mesh that no moveable uses changes nothing.
    TrMeshRecord other;
    other.Translate(1, 1, 1, true, &level);
    EXPECT_EQ(level.meshTrees, tree);
}

TEST(MeshRecordTranslate, FollowsPushAndPop) {
    // Mesh 1 pushes its parent (0), mesh 2 hangs from mesh 1, mesh 3 pops back to 0.
    CTrLevel level;
    MakeMoveable(level, 4, {2, 10, 0, 0, 0, 20, 0, 0, 1, 30, 0, 0});
    level.meshes[0]->Translate(1, 0, 0, true, &level);
    EXPECT_EQ(level.meshTrees[1], 11);
    EXPECT_EQ(level.meshTrees[5], 20);
    EXPECT_EQ(level.meshTrees[9], 31);
    level.meshes[1]->Translate(0, 0, 4, true, &level);
    EXPECT_EQ(Entry(level.meshTrees, 0), (std::vector<int32_t>{2, 11, 0, -4}));
    EXPECT_EQ(Entry(level.meshTrees, 1), (std::vector<int32_t>{0, 20, 0, 4}));
    EXPECT_EQ(Entry(level.meshTrees, 2), (std::vector<int32_t>{1, 31, 0, 0}));

    // Pop on an empty stack: the parent stays the mesh before.
    CTrLevel empty;
    MakeMoveable(empty, 3, {1, 0, 0, 0, 1, 0, 0, 0});
    empty.meshes[1]->Translate(2, 0, 0, true, &empty);
    EXPECT_EQ(empty.meshTrees[1], -2);
    EXPECT_EQ(empty.meshTrees[5], 2);

    // Eleven pushes: the eleventh (parent 10) is dropped, so mesh 12 pops back to 9.
    CTrLevel deep;
    std::vector<int32_t> tree;
    for (int i = 1; i <= 11; ++i) tree.insert(tree.end(), {2, 0, 0, 0});
    tree.insert(tree.end(), {1, 0, 0, 0});
    MakeMoveable(deep, 13, tree);
    deep.meshes[10]->Translate(0, 7, 0, true, &deep);
    EXPECT_EQ(deep.meshTrees[4 * 9 + 2], -7);   // mesh 10's own offset
    EXPECT_EQ(deep.meshTrees[4 * 10 + 2], 7);   // mesh 11 hangs from 10
    EXPECT_EQ(deep.meshTrees[4 * 11 + 2], 0);   // mesh 12 does not
    deep.meshes[9]->Translate(0, 3, 0, true, &deep);
    EXPECT_EQ(deep.meshTrees[4 * 11 + 2], 3);   // mesh 12 hangs from 9
}

TEST(MeshRecordTranslate, SharedMeshesAndBadIndicesAreSafe) {
    // One mesh at positions 1 and 2 (2 hangs from 1): its own offset moves, the child's
    // offset both loses and gains.
    CTrLevel level;
    MakeMoveable(level, 3, {0, 5, 0, 0, 0, 6, 0, 0});
    level.meshPointers[2] = 1;
    level.meshes[1]->Translate(1, 1, 1, true, &level);
    EXPECT_EQ(Entry(level.meshTrees, 0), (std::vector<int32_t>{0, 4, -1, -1}));
    EXPECT_EQ(Entry(level.meshTrees, 1), (std::vector<int32_t>{0, 6, 0, 0}));

    // Mesh pointers, mesh indices and tree entries past their arrays are ignored.
    CTrLevel bad;
    MakeMoveable(bad, 3, {0, 5, 0, 0});  // the second entry is missing
    bad.meshPointers[0] = 1000;
    TrMoveableRecord far;
    far.setU16(4, 40);
    far.setU16(6, 2);
    far.setU32(8, 0xFFFFFFF0u);
    bad.moveables.push_back(far);
    TrMoveableRecord shortPointers;
    shortPointers.setU16(4, 40);
    shortPointers.setU16(6, 3);  // no mesh pointer at all
    bad.moveables.push_back(shortPointers);
    bad.meshes[1]->Translate(2, 0, 0, true, &bad);
    EXPECT_EQ(Entry(bad.meshTrees, 0), (std::vector<int32_t>{0, 3, 0, 0}));
}

TEST(MeshRecordIntensityAlpha, UsesAndApplies) {
    std::vector<TrObjectTextureRecord> textures(3);
    textures[2].setU16(0, 0x0002);
    TrMeshRecord m;
    EXPECT_TRUE(m.UsesIntensityAlpha(textures));  // no textured faces
    m.texturedRectangles = {Rect(0, 0, 0, 0, 0)};
    m.texturedTriangles = {Tri(0, 0, 0, 0x8001)};  // bit 15 is not part of the index
    m.colouredTriangles = {Tri(0, 0, 0, 0x0202)};
    EXPECT_FALSE(m.UsesIntensityAlpha(textures));

    CTrLevel tr4;
    tr4.version = TrVersion4;
    tr4.ApplyIntensityAlpha(m, textures, true);
    EXPECT_EQ(m.texturedRectangles[0].effects(), 1);
    EXPECT_EQ(m.texturedTriangles[0].effects(), 1);
    EXPECT_EQ(m.colouredTriangles[0].effects(), 0);
    EXPECT_EQ(textures[0].attributes(), 0);
    EXPECT_TRUE(m.UsesIntensityAlpha(textures));
    m.texturedTriangles[0].setEffects(0x0101);
    tr4.ApplyIntensityAlpha(m, textures, false);
    EXPECT_EQ(m.texturedTriangles[0].effects(), 0x0100);  // other bits kept
    EXPECT_FALSE(m.UsesIntensityAlpha(textures));

    CTrLevel tr2;
    tr2.version = TrVersion2;
    textures[1].setU16(0, 0x8001);
    tr2.ApplyIntensityAlpha(m, textures, true);
    EXPECT_EQ(textures[0].attributes(), 0x0002);
    EXPECT_EQ(textures[1].attributes(), 0x8003);
    EXPECT_EQ(m.texturedRectangles[0].effects(), 0);
    EXPECT_TRUE(m.UsesIntensityAlpha(textures));
    tr2.ApplyIntensityAlpha(m, textures, false);
    EXPECT_EQ(textures[1].attributes(), 0x8001);
    EXPECT_EQ(textures[2].attributes(), 0x0002);  // not used by the mesh

    // Texture indices past the table are skipped by both.
    TrMeshRecord far;
    far.texturedTriangles = {Tri(0, 0, 0, 0x7FFF)};
    EXPECT_TRUE(far.UsesIntensityAlpha(textures));
    far.texturedTriangles.push_back(Tri(0, 0, 0, 0));
    EXPECT_FALSE(far.UsesIntensityAlpha(textures));
    tr2.ApplyIntensityAlpha(far, textures, true);
    EXPECT_EQ(textures.size(), 3u);
    EXPECT_TRUE(far.UsesIntensityAlpha(textures));
}

namespace {

// The mesh data and mesh-pointer offsets of a real level, found by walking the file
// layouts as far as the mesh pointers. False for files of another kind.
struct MeshBlock {
    int version = 0;
    std::vector<uint8_t> data;
    std::vector<uint32_t> pointers;
};

bool FindMeshBlock(const std::vector<uint8_t>& file, MeshBlock& out) {
    ByteReader f(file, "file");
    const uint32_t magic = f.u32();
    std::vector<uint8_t> inflated;
    if (magic == 0x20) {
        out.version = 1;
        f.skip(size_t(f.u32()) * 65536);
    } else if (magic == 0x2D || magic == 0xFF080038u || magic == 0xFF180038u) {
        out.version = magic == 0x2D ? 2 : 3;
        f.skip(768 + 1024);
        f.skip(size_t(f.u32()) * (65536 + 131072));
    } else if (magic == 0x00345254) {
        out.version = 4;
        f.skip(6);
        for (int chunk = 0; chunk < 3; ++chunk) {
            f.u32();
            f.skip(f.u32());
        }
        uLongf size = f.u32();
        const uint32_t packed = f.u32();
        f.need(packed, 1);
        if (size > (uLongf(1) << 28)) return false;
        inflated.resize(size);
        if (uncompress(inflated.data(), &size, f.cursor(), packed) != Z_OK) return false;
        inflated.resize(size);
    } else {
        return false;
    }
    ByteReader d = out.version == 4 ? ByteReader(inflated, "level data")
                                    : ByteReader(file.data() + f.pos(), f.left(), "level data");
    d.u32();
    const uint16_t rooms = d.u16();
    for (uint16_t i = 0; i < rooms; ++i) {
        d.skip(16);
        d.skip(size_t(d.u32()) * 2);  // vertices through sprites
        d.skip(size_t(d.u16()) * 32);
        const size_t z = d.u16(), x = d.u16();
        d.skip(z * x * 8 + 2);
        if (out.version >= 2) d.skip(2);
        if (out.version == 2) d.skip(2);
        const size_t light = out.version == 1 ? 18 : out.version == 4 ? 46 : 24;
        d.skip(d.u16() * light);
        d.skip(d.u16() * (out.version == 1 ? 18 : 20));
        d.skip(4 + (out.version >= 3 ? 3 : 0));
    }
    d.skip(size_t(d.u32()) * 2);
    out.data = d.take(size_t(d.u32()) * 2);
    const uint32_t pointers = d.u32();
    d.need(pointers, 4);
    for (uint32_t i = 0; i < pointers; ++i) out.pointers.push_back(d.u32());
    return true;
}

}  // namespace

TEST(MeshRecordRealLevels, EveryMeshRoundTripsInItsForm) {
    const auto files = test::RealLevelFiles();
    if (files.empty()) GTEST_SKIP() << "no real levels";
    int levels = 0, meshes = 0;
    for (const auto& level : files) {
        if (level.unsupported) continue;
        SCOPED_TRACE(level.path);
        MeshBlock block;
        const std::vector<uint8_t> file = test::ReadFileBytes(level.path);
        if (!FindMeshBlock(file, block)) continue;
        ++levels;
        std::vector<uint32_t> offsets = block.pointers;
        std::sort(offsets.begin(), offsets.end());
        offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
        ASSERT_FALSE(offsets.empty());
        for (uint32_t offset : offsets) {
            ASSERT_LT(offset, block.data.size());
            ASSERT_EQ(offset % 4, 0u);
            ByteReader r(block.data, "mesh data");
            r.seek(offset);
            TrMeshRecord m;
            const size_t end = block.version == 4 ? m.ParseTr4(r, 0) : m.Parse(r, 0, false);
            const size_t size = block.version == 4 ? m.GetFileSizeTr4(offset)
                                                   : m.GetFileSize(offset, false);
            ASSERT_EQ(end, std::min(block.data.size(), offset + size)) << "mesh at " << offset;
            // The size before padding, from the counts.
            const size_t perVertex = m.hasNormals ? 6 : 2;
            const size_t rectangles = m.texturedRectangles.size() + m.colouredRectangles.size();
            const size_t triangles = m.texturedTriangles.size() + m.colouredTriangles.size();
            const size_t unpadded =
                block.version == 4
                    ? 18 + 6 * m.vertices.size() + perVertex * m.normalCount() +
                          12 * rectangles + 10 * triangles
                    : 22 + 6 * m.vertices.size() + perVertex * m.normalCount() +
                          10 * rectangles + 8 * triangles;
            EXPECT_EQ(size, unpadded + (4 - unpadded % 4) % 4);
            std::vector<uint8_t> out(size, 0xEE);
            ByteWriter w(out);
            EXPECT_EQ(block.version == 4 ? m.WriteTr4(w, 0) : m.Write(w, 0, false), size);
            // Some levels hold garbage in the padding; it is written as zeros.
            EXPECT_TRUE(std::equal(block.data.begin() + offset,
                                   block.data.begin() + offset + unpadded, out.begin()))
                << "mesh at " << offset;
            EXPECT_TRUE(std::all_of(out.begin() + unpadded, out.end(),
                                    [](uint8_t b) { return b == 0; }));
            ++meshes;
            if (block.version < 4) {
                for (const auto& f : m.texturedRectangles) EXPECT_EQ(f.effects(), 0);
            }
        }
    }
    EXPECT_GT(levels, 0);
    EXPECT_GT(meshes, 0);
}

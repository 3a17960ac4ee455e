#include "level/MeshRecord.h"

#include <algorithm>
#include <climits>
#include <limits>
#include <cmath>
#include <string>
#include <unordered_map>
#include <utility>

#include "level/LevelErrors.h"
#include "level/TrLevel.h"

namespace lithoscope {

namespace {

// The three file forms differ in the face record sizes and in which blocks exist.
enum class Form { Tr1, Tr4, ObjectFile };

struct FormLayout {
    size_t rectangle;   // bytes of one rectangle record
    size_t triangle;    // bytes of one triangle record
    bool coloured;      // coloured faces present
    bool flags;         // dummy and intensity-alpha bytes at the end
};

FormLayout Layout(Form form) {
    switch (form) {
    case Form::Tr1: return {10, 8, true, false};
    case Form::Tr4: return {12, 10, false, false};
    case Form::ObjectFile: break;
    }
    return {12, 10, true, true};
}

constexpr size_t kMaxCount = 32767;

size_t PaddingAfter(size_t fromBase) { return (4 - fromBase % 4) % 4; }

int16_t ReadCount(ByteReader& src, const char* what) {
    const size_t at = src.pos();
    const int16_t n = src.s16();
    if (n < 0) throw FormatError(src.section(), at, std::string("negative mesh ") + what + " count");
    return n;
}

void ReadVertices(ByteReader& src, std::vector<TrMeshVertex>& out, size_t n) {
    src.need(n, 6);
    out.resize(n);
    for (auto& v : out) {
        v.x = src.s16();
        v.y = src.s16();
        v.z = src.s16();
    }
}

// Face slots are zero-filled first, so a file record shorter than its slot leaves the
// effects word 0.
template <class Face>
void ReadFaces(ByteReader& src, std::vector<Face>& out, size_t recordSize, const char* what) {
    const int16_t n = ReadCount(src, what);
    src.need(size_t(n), recordSize);
    out.assign(size_t(n), Face());
    for (auto& f : out) src.bytes(f.b.data(), recordSize);
}

void WriteVertices(ByteWriter& out, const std::vector<TrMeshVertex>& v) {
    for (const auto& p : v) {
        out.s16(p.x);
        out.s16(p.y);
        out.s16(p.z);
    }
}

template <class Face>
void WriteFaces(ByteWriter& out, const std::vector<Face>& faces, size_t recordSize) {
    out.s16(int16_t(faces.size()));
    for (const auto& f : faces) out.bytes(f.b.data(), recordSize);
}

void CheckCount(size_t n, const char* what) {
    if (n > kMaxCount)
        throw OverflowError("mesh with " + std::to_string(n) + " " + what +
                            ": at most 32767 fit a mesh record");
}

TrMeshRecord ParseForm(ByteReader& src, size_t base, Form form) {
    const FormLayout layout = Layout(form);
    TrMeshRecord m;
    m.centre[0] = src.s16();
    m.centre[1] = src.s16();
    m.centre[2] = src.s16();
    m.radius = src.s32();
    ReadVertices(src, m.vertices, size_t(ReadCount(src, "vertex")));

    // n > 0: n normals; n <= 0: -n vertex lights.
    const size_t at = src.pos();
    const int16_t n = src.s16();
    if (n > 0) {
        m.hasNormals = 1;
        ReadVertices(src, m.normals, size_t(n));
    } else {
        if (n == INT16_MIN) throw FormatError(src.section(), at, "mesh light count too large");
        m.hasNormals = 0;
        const size_t count = size_t(-int(n));
        src.need(count, 2);
        m.lights.resize(count);
        for (auto& l : m.lights) l = src.s16();
    }

    ReadFaces(src, m.texturedRectangles, layout.rectangle, "textured rectangle");
    ReadFaces(src, m.texturedTriangles, layout.triangle, "textured triangle");
    if (layout.coloured) {
        ReadFaces(src, m.colouredRectangles, layout.rectangle, "coloured rectangle");
        ReadFaces(src, m.colouredTriangles, layout.triangle, "coloured triangle");
    }
    if (layout.flags) {
        m.dummy = src.u8();
        m.intensityAlpha = src.u8();
    }
    // The last mesh of a block may end without its padding.
    src.skip(std::min(PaddingAfter(src.pos() - base), src.left()));
    return m;
}

size_t WriteForm(const TrMeshRecord& m, ByteWriter& out, size_t base, Form form) {
    const FormLayout layout = Layout(form);
    const bool normals = m.hasNormals != 0;
    CheckCount(m.vertices.size(), "vertices");
    CheckCount(normals ? m.normals.size() : m.lights.size(), normals ? "normals" : "lights");
    CheckCount(m.texturedRectangles.size(), "textured rectangles");
    CheckCount(m.texturedTriangles.size(), "textured triangles");
    if (layout.coloured) {
        CheckCount(m.colouredRectangles.size(), "coloured rectangles");
        CheckCount(m.colouredTriangles.size(), "coloured triangles");
    }

    out.s16(m.centre[0]);
    out.s16(m.centre[1]);
    out.s16(m.centre[2]);
    out.s32(m.radius);
    out.s16(int16_t(m.vertices.size()));
    WriteVertices(out, m.vertices);
    if (normals) {
        out.s16(int16_t(m.normals.size()));
        WriteVertices(out, m.normals);
    } else {
        out.s16(int16_t(-int(m.lights.size())));
        for (int16_t l : m.lights) out.s16(l);
    }
    WriteFaces(out, m.texturedRectangles, layout.rectangle);
    WriteFaces(out, m.texturedTriangles, layout.triangle);
    if (layout.coloured) {
        WriteFaces(out, m.colouredRectangles, layout.rectangle);
        WriteFaces(out, m.colouredTriangles, layout.triangle);
    }
    if (layout.flags) {
        out.u8(m.dummy);
        out.u8(m.intensityAlpha);
    }
    out.zeros(PaddingAfter(out.pos() - base));
    return out.pos();
}

size_t SizeForm(const TrMeshRecord& m, size_t offset, Form form) {
    const FormLayout layout = Layout(form);
    size_t size = 10 + 2 + 6 * m.vertices.size() + 2 +
                  (m.hasNormals ? 6 * m.normals.size() : 2 * m.lights.size()) +
                  2 + layout.rectangle * m.texturedRectangles.size() +
                  2 + layout.triangle * m.texturedTriangles.size();
    if (layout.coloured)
        size += 2 + layout.rectangle * m.colouredRectangles.size() +
                2 + layout.triangle * m.colouredTriangles.size();
    if (layout.flags) size += 2;
    return size + PaddingAfter(offset + size);
}

}  // namespace

size_t TrMeshRecord::Parse(ByteReader& src, size_t base, bool objectFileForm) {
    *this = ParseForm(src, base, objectFileForm ? Form::ObjectFile : Form::Tr1);
    return src.pos();
}

size_t TrMeshRecord::ParseTr4(ByteReader& src, size_t base) {
    *this = ParseForm(src, base, Form::Tr4);
    return src.pos();
}

size_t TrMeshRecord::Write(ByteWriter& out, size_t base, bool objectFileForm) const {
    return WriteForm(*this, out, base, objectFileForm ? Form::ObjectFile : Form::Tr1);
}

size_t TrMeshRecord::WriteTr4(ByteWriter& out, size_t base) const {
    return WriteForm(*this, out, base, Form::Tr4);
}

size_t TrMeshRecord::GetFileSize(size_t offset, bool objectFileForm) const {
    return SizeForm(*this, offset, objectFileForm ? Form::ObjectFile : Form::Tr1);
}

size_t TrMeshRecord::GetFileSizeTr4(size_t offset) const {
    return SizeForm(*this, offset, Form::Tr4);
}

void TrMeshRecord::Init(int vertexCount, int texturedTriangleCount, int texturedRectangleCount,
                        bool withLights, bool fullLight) {
    *this = TrMeshRecord();
    const size_t v = size_t(std::max(vertexCount, 0));
    vertices.assign(v, TrMeshVertex());
    texturedTriangles.assign(size_t(std::max(texturedTriangleCount, 0)), TrMeshTriangle());
    texturedRectangles.assign(size_t(std::max(texturedRectangleCount, 0)), TrMeshRectangle());
    if (withLights) {
        hasNormals = 0;
        lights.assign(v, fullLight ? kFullLight : int16_t(0));
    } else {
        hasNormals = 1;
        normals.assign(v, TrMeshVertex());
    }
}

void TrMeshRecord::Copy(const TrMeshRecord& source, TrMeshRecord& target) {
    if (&source != &target) target = source;
}

void TrMeshRecord::Free() {
    std::vector<TrMeshVertex>().swap(vertices);
    std::vector<TrMeshVertex>().swap(normals);
    std::vector<int16_t>().swap(lights);
    std::vector<TrMeshRectangle>().swap(texturedRectangles);
    std::vector<TrMeshTriangle>().swap(texturedTriangles);
    std::vector<TrMeshRectangle>().swap(colouredRectangles);
    std::vector<TrMeshTriangle>().swap(colouredTriangles);
}

namespace {

struct Vec {
    float x, y, z;
};

Vec Sub(const Vec& a, const Vec& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
Vec Cross(const Vec& a, const Vec& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Leaves a vector of nearly unit length alone and a zero vector zero.
void Normalize(Vec& v) {
    const float s = v.x * v.x + v.y * v.y + v.z * v.z;
    const double d = s;
    if (d >= 0.999 && d <= 1.001) return;
    if (s == 0.0f) return;
    const float r = 1.0f / std::sqrt(s);
    v.x *= r;
    v.y *= r;
    v.z *= r;
}
Vec ToVec(const TrMeshVertex& v) { return {float(v.x), float(v.y), float(v.z)}; }

// Float to integer with truncation, clamped to the target range.
template <class T>
T Truncate(float f) {
    if (!(f == f)) return 0;
    const double d = f;
    if (d <= double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    if (d >= double(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
    return T(d);
}

int16_t Wrap16(int64_t v) { return int16_t(uint16_t(uint64_t(v))); }
int32_t Wrap32(int64_t v) { return int32_t(uint32_t(uint64_t(v))); }

// True when the first `corners` vertex indices of the face name existing vertices.
template <class Face>
bool CornersInRange(const Face& f, int corners, size_t vertexCount) {
    for (int k = 0; k < corners; ++k)
        if (f.vertex(k) >= vertexCount) return false;
    return true;
}

template <class Face>
void AccumulateNormals(const std::vector<Face>& faces, const std::vector<TrMeshVertex>& vertices,
                       std::vector<Vec>& acc) {
    for (const auto& f : faces) {
        if (!CornersInRange(f, 3, vertices.size())) continue;
        const Vec p0 = ToVec(vertices[f.vertex(0)]);
        const Vec p1 = ToVec(vertices[f.vertex(1)]);
        const Vec p2 = ToVec(vertices[f.vertex(2)]);
        Vec n = Cross(Sub(p1, p0), Sub(p2, p0));
        n = {-n.x, -n.y, -n.z};
        Normalize(n);
        for (int k = 0; k < 3; ++k) {
            Vec& a = acc[f.vertex(k)];
            a.x += n.x;
            a.y += n.y;
            a.z += n.z;
        }
    }
}

template <class Face>
void RemapCorners(std::vector<Face>& faces, const std::vector<uint32_t>& remap) {
    // A kept index is never above the old one, so it fits the face word.
    for (auto& f : faces)
        for (int k = 0; k < Face::kCorners; ++k)
            if (f.vertex(k) < remap.size()) f.setVertex(k, uint16_t(remap[f.vertex(k)]));
}

// Entry k of the new per-vertex array is the old entry of kept vertex k.
template <class T>
void RemapPerVertex(std::vector<T>& a, const std::vector<size_t>& firstOf, T missing) {
    std::vector<T> out(firstOf.size(), missing);
    for (size_t k = 0; k < firstOf.size(); ++k)
        if (firstOf[k] < a.size()) out[k] = a[firstOf[k]];
    a.swap(out);
}

}  // namespace

void TrMeshRecord::ComputeBoundingBox() {
    float box[6] = {1e20f, -1e20f, 1e20f, -1e20f, 1e20f, -1e20f};
    for (const auto& v : vertices) {
        const float c[3] = {float(v.x), -float(v.y), -float(v.z)};
        for (int a = 0; a < 3; ++a) {
            if (c[a] < box[2 * a]) box[2 * a] = c[a];
            if (c[a] > box[2 * a + 1]) box[2 * a + 1] = c[a];
        }
    }
    std::copy(box, box + 6, boundingBox);
}

void TrMeshRecord::ComputeCentreAndRadius() {
    ComputeBoundingBox();
    if (vertices.empty()) {
        centre[0] = centre[1] = centre[2] = 0;
        radius = 0;
        return;
    }
    const float* b = boundingBox;
    // The midpoint of the box in file coordinates on every axis.
    centre[0] = Truncate<int16_t>((b[0] + b[1]) / 2);
    centre[1] = Truncate<int16_t>(-(b[2] + b[3]) / 2);
    centre[2] = Truncate<int16_t>(-(b[4] + b[5]) / 2);
    radius = Truncate<int32_t>(((b[1] - b[0]) + (b[3] - b[2]) + (b[5] - b[4])) / 6);
}

void TrMeshRecord::ComputeNormals() {
    std::vector<Vec> acc(vertices.size(), Vec{0, 0, 0});
    AccumulateNormals(texturedTriangles, vertices, acc);
    AccumulateNormals(colouredTriangles, vertices, acc);
    AccumulateNormals(texturedRectangles, vertices, acc);
    AccumulateNormals(colouredRectangles, vertices, acc);
    normals.resize(vertices.size());
    for (size_t i = 0; i < acc.size(); ++i) {
        Normalize(acc[i]);
        normals[i].x = Truncate<int16_t>(acc[i].x * kFullLight);
        normals[i].y = Truncate<int16_t>(acc[i].y * kFullLight);
        normals[i].z = Truncate<int16_t>(acc[i].z * kFullLight);
    }
}

void TrMeshRecord::SetNormalsOrLights(int mode, bool full) {
    const int32_t wanted = mode ? 1 : 0;
    if (wanted == (hasNormals ? 1 : 0)) return;
    hasNormals = wanted;
    if (wanted) {
        std::vector<int16_t>().swap(lights);
        ComputeNormals();
    } else {
        std::vector<TrMeshVertex>().swap(normals);
        lights.assign(vertices.size(), full ? kFullLight : int16_t(0));
    }
}

float TrMeshRecord::GetMeanLight(bool direct) const {
    if (hasNormals || lights.empty()) return 0.0f;
    float sum = 0.0f;
    for (int16_t l : lights)
        sum += direct ? float(l) / kFullLight : float(kFullLight - l) / kFullLight;
    return sum / float(lights.size());
}

void TrMeshRecord::SetAllLights(float level, bool direct) {
    if (hasNormals) return;
    const int16_t l = Truncate<int16_t>((direct ? level : 1.0f - level) * kFullLight);
    std::fill(lights.begin(), lights.end(), l);
}

void TrMeshRecord::InvertLights() {
    if (hasNormals) return;
    for (int16_t& l : lights) l = Wrap16(int64_t(kFullLight) - l);
}

void TrMeshRecord::MergeVertices() {
    const size_t n = vertices.size();
    std::vector<uint32_t> remap(n);
    std::vector<size_t> firstOf;  // old index of each kept vertex
    std::unordered_map<uint64_t, uint32_t> seen;
    seen.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        const TrMeshVertex& v = vertices[i];
        const uint64_t key = (uint64_t(uint16_t(v.x)) << 32) | (uint64_t(uint16_t(v.y)) << 16) |
                             uint64_t(uint16_t(v.z));
        const auto found = seen.emplace(key, uint32_t(firstOf.size()));
        if (found.second) firstOf.push_back(i);
        remap[i] = found.first->second;
    }
    RemapCorners(colouredRectangles, remap);
    RemapCorners(colouredTriangles, remap);
    RemapCorners(texturedRectangles, remap);
    RemapCorners(texturedTriangles, remap);

    RemapPerVertex(vertices, firstOf, TrMeshVertex());
    // The per-vertex array in use follows its vertices; the other one only when it has
    // something to follow.
    if (hasNormals || !normals.empty()) RemapPerVertex(normals, firstOf, TrMeshVertex());
    if (!hasNormals || !lights.empty()) RemapPerVertex(lights, firstOf, int16_t(0));
}

void TrMeshRecord::Translate(int dx, int dy, int dz, bool keepChildren, CTrLevel* level) {
    for (auto& v : vertices) {
        v.x = Wrap16(int64_t(v.x) + dx);
        v.y = Wrap16(int64_t(v.y) + dy);
        v.z = Wrap16(int64_t(v.z) + dz);
    }
    if (!keepChildren || !level) return;

    const auto isThis = [&](size_t pointer) {
        if (pointer >= level->meshPointers.size()) return false;
        const uint32_t index = level->meshPointers[pointer];
        return index < level->meshes.size() && level->meshes[index].get() == this;
    };
    const int64_t delta[3] = {dx, dy, dz};
    std::vector<int32_t>& tree = level->meshTrees;
    constexpr int kStackDepth = 10;
    for (const TrMoveableRecord& mv : level->moveables) {
        const size_t first = mv.firstMesh();
        const size_t treeStart = mv.meshTreeIndex();
        size_t stack[kStackDepth];
        int depth = 0;
        for (size_t i = 1; i < mv.meshCount(); ++i) {
            // Entry i - 1 (flags, dx, dy, dz) places mesh i relative to its parent.
            const size_t e = treeStart + 4 * (i - 1);
            if (e + 4 > tree.size()) break;
            const int32_t flags = tree[e];
            size_t parent = i - 1;
            if ((flags & 1) && depth > 0) parent = stack[--depth];
            if ((flags & 2) && depth < kStackDepth) stack[depth++] = parent;
            // The mesh's pivot moves against the vertices; its children's offsets, taken
            // from that pivot, move with them.
            const int sign = (isThis(first + i) ? -1 : 0) + (isThis(first + parent) ? 1 : 0);
            if (sign == 0) continue;
            for (int a = 0; a < 3; ++a) tree[e + 1 + a] = Wrap32(tree[e + 1 + a] + sign * delta[a]);
        }
    }
}

void TrMeshRecord::FinishBuild(int texturedTriangleCount, bool withLights) {
    const size_t keep = size_t(std::max(texturedTriangleCount, 0));
    if (keep < texturedTriangles.size()) texturedTriangles.resize(keep);
    MergeVertices();
    if (!withLights) ComputeNormals();
    ComputeCentreAndRadius();
}

size_t TrMeshRecord::HeldBytes() const {
    return sizeof(TrMeshRecord) + sizeof(TrMeshVertex) * (vertices.size() + normals.size()) +
           sizeof(int16_t) * lights.size() +
           sizeof(TrMeshRectangle) * (texturedRectangles.size() + colouredRectangles.size()) +
           sizeof(TrMeshTriangle) * (texturedTriangles.size() + colouredTriangles.size());
}

bool TrMeshRecord::operator==(const TrMeshRecord& o) const {
    return std::equal(centre, centre + 3, o.centre) && radius == o.radius &&
           vertices == o.vertices && hasNormals == o.hasNormals && normals == o.normals &&
           lights == o.lights && texturedRectangles == o.texturedRectangles &&
           texturedTriangles == o.texturedTriangles &&
           colouredRectangles == o.colouredRectangles &&
           colouredTriangles == o.colouredTriangles &&
           std::equal(boundingBox, boundingBox + 6, o.boundingBox) && dummy == o.dummy &&
           intensityAlpha == o.intensityAlpha;
}

}  // namespace lithoscope

#include "level/TrLstMsh.h"

#include "level/Fragment.h"
#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
// The smallest object-file mesh: 24 bytes.
constexpr uint64_t kMinObjectMesh = 24;

void MakeDummy(TrMeshRecord& m) {
    m.Init(0, 0, 0, false, true);
    m.ComputeCentreAndRadius();
    m.dummy = 1;
}

// The list's file pixels under its page as 16-bit pixels, when it has them.
void AddFilePlane(const CTrLstMsh& list, const std::vector<uint16_t>& page,
                  FilePixelPlanes& planes) {
    if (!page.empty() && list.filePixels.size() == page.size())
        planes[page.data()] = list.filePixels.data();
}

std::vector<const TrMeshRecord*> PointersTo(const std::vector<TrMeshRecord>& meshes) {
    std::vector<const TrMeshRecord*> out;
    out.reserve(meshes.size());
    for (const TrMeshRecord& m : meshes) out.push_back(&m);
    return out;
}
}  // namespace

const TrMeshRecord* CTrLevel::MeshForPointer(uint32_t p) const {
    const size_t index = p < meshPointers.size() ? meshPointers[p] : meshes.size();
    if (index >= meshes.size() || !meshes[index]) {
        AppendLogLine(StrFormat("ERROR: mesh pointer %u past the %u mesh pointers", p,
                                unsigned(meshPointers.size())),
                      true);
        return nullptr;
    }
    return IsZeroPointer(p) ? nullptr : meshes[index].get();
}

std::vector<uint16_t> CTrLstMsh::Page16() const {
    const size_t count = size_t(width) * height;
    std::vector<uint16_t> page(count, 0xFFFF);
    if (bitsPerPixel == 16 && pixels.size() >= count * 2) {
        for (size_t i = 0; i < count; ++i) page[i] = GetU16(&pixels[2 * i]);
    } else if (bitsPerPixel == 32 && pixels.size() >= count * 4) {
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* p = &pixels[4 * i];  // B, G, R, A
            page[i] = uint16_t(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3) |
                               (p[3] >= 128 ? 0x8000 : 0));
        }
    }
    return page;
}

CTrLstMsh::CTrLstMsh(const CTrLstMsh& source) : CTrObjGfx(static_cast<const CTrObjGfx&>(source)) {
    SetMeshes(PointersTo(source.meshes));
}

CTrLstMsh::CTrLstMsh(const CTrLstMsh& source, int meshIndex, int pageWidth, int pageHeight) {
    if (meshIndex < 0 || size_t(meshIndex) >= source.meshes.size()) return;
    CTrLstMsh temp(source);
    std::vector<uint16_t> page = temp.Page16();
    std::vector<CFragment> fragments;
    CFragment::AddObjectMeshFaces(temp, page, fragments, meshIndex, false);
    FilePixelPlanes planes;
    AddFilePlane(temp, page, planes);
    BuildFromFragments(fragments, pageWidth, pageHeight, true, planes.empty() ? nullptr : &planes);
    SetMeshes({&temp.meshes[size_t(meshIndex)]});
}

CTrLstMsh::CTrLstMsh(const std::vector<uint8_t>& buffer)
    : CTrLstMsh(ByteReader(buffer, "mesh list")) {}

CTrLstMsh::CTrLstMsh(ByteReader&& in) : CTrLstMsh(in) {}

CTrLstMsh::CTrLstMsh(ByteReader& in) : CTrObjGfx(in) { ReadMeshPart(in); }

void CTrLstMsh::ReadMeshPart(ByteReader& in) {
    in.setSection("object meshes");
    uint32_t n = in.u32();
    in.need(n, kMinObjectMesh);
    meshes.resize(n);
    const size_t base = in.pos();
    for (TrMeshRecord& m : meshes) {
        m.Parse(in, base, true);
        m.ComputeBoundingBox();
    }
}

int CTrLstMsh::GetSize() const {
    size_t size = size_t(CTrObjGfx::GetSize()) + 4;
    size_t offset = 0;
    for (const TrMeshRecord& m : meshes) offset += m.GetFileSize(offset, true);
    return int(size + offset);
}

void CTrLstMsh::SerializeParts(ByteWriter& out) const {
    CTrObjGfx::SerializeParts(out);
    out.u32(meshCount());
    const size_t base = out.pos();
    for (const TrMeshRecord& m : meshes) m.Write(out, base, true);
}

void CTrLstMsh::Clear(bool chain) {
    std::vector<TrMeshRecord>().swap(meshes);
    if (chain) CTrObjGfx::Clear(true);
}

void CTrLstMsh::SetMeshes(const std::vector<const TrMeshRecord*>& sources) {
    std::vector<TrMeshRecord> fresh(sources.size());
    for (size_t i = 0; i < sources.size(); ++i) {
        if (sources[i]) {
            TrMeshRecord::Copy(*sources[i], fresh[i]);
            fresh[i].ComputeBoundingBox();
            fresh[i].dummy = 0;
        } else {
            MakeDummy(fresh[i]);
        }
    }
    meshes = std::move(fresh);
}

void CTrLstMsh::SetMeshesFromLevel(CTrLevel& level,
                                   const std::vector<const TrMeshRecord*>& levelMeshes,
                                   int pageWidth, int pageHeight) {
    SetMeshes(levelMeshes);
    std::vector<TrMeshRecord*> own;
    for (TrMeshRecord& m : meshes) own.push_back(&m);
    std::vector<CFragment> fragments = CFragment::CollectMeshFragments(level, own);
    const FilePixelPlanes planes = level.FilePlanes();
    BuildFromFragments(fragments, pageWidth, pageHeight, true, &planes);
    if (gameVersion < TrVersion3)
        for (TrMeshRecord& m : meshes)
            if (!m.hasNormals) m.InvertLights();
}

bool CTrLstMsh::ReplaceMesh(const CTrLstMsh& source, int sourceIndex, unsigned targetIndex) {
    if (targetIndex >= meshes.size()) return false;
    if (sourceIndex < 0 || size_t(sourceIndex) >= source.meshes.size()) return false;
    CTrLstMsh temp(source);
    temp.meshes[size_t(sourceIndex)].dummy = 0;
    meshes[targetIndex].Free();
    std::vector<uint16_t> sourcePage = temp.Page16();
    std::vector<uint16_t> ownPage = Page16();
    std::vector<CFragment> fragments;
    fragments.reserve(temp.textures.size() + textures.size());
    CFragment::AddObjectMeshFaces(temp, sourcePage, fragments, sourceIndex, false);
    CFragment::AddObjectMeshFaces(*this, ownPage, fragments, int(targetIndex), true);
    // The pixels as the level file held them go with the texels of either page that has them.
    FilePixelPlanes planes;
    AddFilePlane(temp, sourcePage, planes);
    AddFilePlane(*this, ownPage, planes);
    CTrObjGfx built;
    built.BuildFromFragments(fragments, 0, 0, true, planes.empty() ? nullptr : &planes);
    // Only the page and textures change: the list keeps its header and id.
    textures = std::move(built.textures);
    pixels = std::move(built.pixels);
    filePixels = std::move(built.filePixels);
    width = built.width;
    height = built.height;
    bitsPerPixel = built.bitsPerPixel;
    TrMeshRecord::Copy(temp.meshes[size_t(sourceIndex)], meshes[targetIndex]);
    meshes[targetIndex].ComputeBoundingBox();
    return true;
}

void CTrLstMsh::CopyDummyMeshes(const CTrLstMsh& other) {
    for (size_t j = 0; j < meshes.size() && j < other.meshes.size(); ++j) {
        if (!other.meshes[j].dummy) continue;
        meshes[j].Free();
        MakeDummy(meshes[j]);
    }
}

void CTrLstMsh::ClearMesh(unsigned index) {
    if (index >= meshes.size()) return;
    TrMeshRecord& m = meshes[index];
    uint8_t dummy = m.dummy;
    m.Free();
    m.centre[0] = m.centre[1] = m.centre[2] = 0;
    m.radius = 0;
    m.dummy = dummy;
}

void CTrLstMsh::TakeOver(CTrLstMsh& donor) {
    TakeOverGfx(donor);
    meshes = std::move(donor.meshes);
    donor.meshes.clear();
}

void CTrLstMsh::ComputeBoundingBox(int meshIndex, BoundingBox* out,
                                   const CMatrix4* transform) const {
    out->min.Set(1e20f, 1e20f, 1e20f);
    out->max.Set(-1e20f, -1e20f, -1e20f);
    if (meshIndex != -1 && (meshIndex < 0 || size_t(meshIndex) >= meshes.size())) return;
    auto addPoint = [&](float px, float py, float pz) {
        if (transform) {
            CQuaternion v, r;
            v.Set(px, py, pz, -1.0f);
            MatTransformVec4(r, *transform, v);
            px = r.x;
            py = r.y;
            pz = r.z;
        }
        if (px < out->min.x) out->min.x = px;
        if (px > out->max.x) out->max.x = px;
        if (py < out->min.y) out->min.y = py;
        if (py > out->max.y) out->max.y = py;
        if (pz < out->min.z) out->min.z = pz;
        if (pz > out->max.z) out->max.z = pz;
    };
    size_t first = meshIndex == -1 ? 0 : size_t(meshIndex);
    size_t last = meshIndex == -1 ? meshes.size() : first + 1;
    for (size_t i = first; i < last; ++i) {
        const TrMeshRecord& m = meshes[i];
        if (m.dummy) {
            addPoint(0, 0, 0);
            continue;
        }
        for (const TrMeshVertex& v : m.vertices) addPoint(v.x, -float(v.y), -float(v.z));
    }
}

// Static meshes.

namespace {
BoundingBox BoxFromRecord(const TrStaticMeshRecord& r, size_t at) {
    // min x, max x, min y, max y, min z, max z as int16
    float minX = r.s16(at), maxX = r.s16(at + 2), minY = r.s16(at + 4), maxY = r.s16(at + 6),
          minZ = r.s16(at + 8), maxZ = r.s16(at + 10);
    BoundingBox b;
    b.min.Set(minX, -maxY, -maxZ);
    b.max.Set(maxX, -minY, -minZ);
    return b;
}

}  // namespace

void ReadBox(ByteReader& in, BoundingBox& b) {
    b.min.x = in.f32();
    b.min.y = in.f32();
    b.min.z = in.f32();
    b.max.x = in.f32();
    b.max.y = in.f32();
    b.max.z = in.f32();
}

void WriteBox(ByteWriter& out, const BoundingBox& b) {
    out.f32(b.min.x);
    out.f32(b.min.y);
    out.f32(b.min.z);
    out.f32(b.max.x);
    out.f32(b.max.y);
    out.f32(b.max.z);
}

CTrStatMsh::CTrStatMsh(const TrStaticMeshRecord& record, CTrLevel& level) {
    format = 2;
    kind = TrKindStaticMesh;
    gameVersion = level.version;
    SetMeshesFromLevel(level, {level.MeshForPointer(record.meshIndex())}, 0, 0);
    objectId = record.objectId();
    visibilityBox = BoxFromRecord(record, 6);
    collisionBox = BoxFromRecord(record, 18);
    flags = record.flags();
}

CTrStatMsh::CTrStatMsh(const std::vector<uint8_t>& buffer)
    : CTrLstMsh(RequireFormat(buffer, 2, "static mesh")) {
    ByteReader in(buffer, "static mesh boxes");
    in.seek(size_t(CTrLstMsh::GetSize()));
    ReadBox(in, visibilityBox);
    ReadBox(in, collisionBox);
    flags = in.u16();
}

int CTrStatMsh::GetSize() const { return CTrLstMsh::GetSize() + 50; }

void CTrStatMsh::SerializeParts(ByteWriter& out) const {
    const size_t start = out.pos();
    CTrLstMsh::SerializeParts(out);
    // A static mesh made without a header of its own still writes one that reads back.
    if (format == 0) {
        out.data()[start] = 2;
        out.data()[start + 1] = uint8_t(TrKindStaticMesh);
    }
    WriteBox(out, visibilityBox);
    WriteBox(out, collisionBox);
    out.u16(flags);
}

void CTrStatMsh::Clear(bool chain) {
    visibilityBox = BoundingBox();
    collisionBox = BoundingBox();
    flags = 0;
    if (chain) CTrLstMsh::Clear(true);
}

void CTrStatMsh::TakeOver(CTrStatMsh& donor) {
    CTrLstMsh::TakeOver(donor);
    visibilityBox = donor.visibilityBox;
    collisionBox = donor.collisionBox;
    flags = donor.flags;
    donor.visibilityBox = BoundingBox();
    donor.collisionBox = BoundingBox();
    donor.flags = 0;
}

}  // namespace lithoscope

// Per-tag data of the chunk catalogue: decoding, encoding, copying and freeing.
#include "interchange3ds/ChunkData3ds.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "interchange3ds/Chunk3ds.h"
#include "interchange3ds/Errors3ds.h"
#include "interchange3ds/Files3ds.h"

namespace lithoscope {

namespace {

bool Pending() { return g_bErrorPending3ds; }

// A count read from the data must fit in the bytes left in the chunk before anything is
// allocated for it.
bool Room(uint64_t count, uint64_t size) {
    if (count * size > BytesLeft3ds()) {
        PushError3ds(ERR_INVALID_CHUNK);
        return false;
    }
    return true;
}

// Counts are uint16 in the file.
bool CountFits(size_t count) {
    if (count > 0xFFFF) {
        PushError3ds(ERR_INVALID_DATA);
        return false;
    }
    return true;
}

// The field of a name chunk: its characters at most and what it names (in the note of a
// longer one); other strings are bounded by their chunk.
struct NameField {
    uint32_t length;
    const char* what;
};
NameField StringField(uint32_t tag, uint32_t bodyLength) {
    switch (tag) {
    case Tag3ds::BitMap: return {12, "bitmap name"};
    case Tag3ds::ProcName: return {12, "procedure name"};
    case Tag3ds::SpotProjector: return {12, "projector name"};
    case Tag3ds::MatMapName: return {16, "map name"};
    case Tag3ds::MatName: return {16, "material name"};
    case Tag3ds::ViewCamera: return {10, "camera name of a view"};
    case Tag3ds::NamedObject: return {10, "object name"};
    case Tag3ds::LightExclude: return {10, "excluded object name"};
    case Tag3ds::InstanceName: return {10, "instance name"};
    default: return {bodyLength, nullptr};  // 0x8002, 0x8003, 0x80F0: the chunk's length
    }
}
// While the tree is read a map name must fit in 12 characters.
constexpr uint32_t kTreeMapNameLength = 12;

void ReadTrackKeys(TrackData3ds& track, uint32_t& count, uint64_t minValueSize) {
    TrackHeader3ds h;
    ReadTrackHeader3ds(&h);
    if (Pending()) return;
    track.flags = h.flags;
    track.reserved1 = h.reserved1;
    track.reserved2 = h.reserved2;
    count = h.keyCount;
    // Each key takes at least its frame and flags and its smallest value.
    if (!Room(count, 6 + minValueSize)) return;
    track.keys.reserve(count);
}

void WriteTrackHead(const TrackData3ds& track) {
    TrackHeader3ds h{track.flags, track.reserved1, track.reserved2, track.keyCount()};
    WriteTrackHeader3ds(h);
}

}  // namespace

// --- scalars and colours -------------------------------------------------------------------

void UInt32Data3ds::Read(uint32_t, uint32_t) { ReadULong3ds(&value); }
void UInt32Data3ds::Write() const { WriteULong3ds(value); }

void ColorFData3ds::Read(uint32_t, uint32_t) {
    Point3ds p;
    ReadPoint3ds(&p);
    red = p.x, green = p.y, blue = p.z;
}
void ColorFData3ds::Write() const { WritePoint3ds({red, green, blue}); }

void Color24Data3ds::Read(uint32_t, uint32_t) {
    ReadByte3ds(&red);
    if (!Pending()) ReadByte3ds(&green);
    if (!Pending()) ReadByte3ds(&blue);
}
void Color24Data3ds::Write() const {
    WriteByte3ds(red);
    WriteByte3ds(green);
    WriteByte3ds(blue);
}

void Int16Data3ds::Read(uint32_t, uint32_t) {
    uint16_t v = 0;
    ReadUShort3ds(&v);
    value = int16_t(v);
}
void Int16Data3ds::Write() const { WriteUShort3ds(uint16_t(value)); }

void UInt16Data3ds::Read(uint32_t, uint32_t) { ReadUShort3ds(&value); }
void UInt16Data3ds::Write() const { WriteUShort3ds(value); }

void FloatData3ds::Read(uint32_t, uint32_t) { ReadFloat3ds(&value); }
void FloatData3ds::Write() const { WriteFloat3ds(value); }

void PointData3ds::Read(uint32_t, uint32_t) { ReadPoint3ds(&value); }
void PointData3ds::Write() const { WritePoint3ds(value); }

void UInt8Data3ds::Read(uint32_t, uint32_t) { ReadByte3ds(&value); }
void UInt8Data3ds::Write() const { WriteByte3ds(value); }

namespace {
void ReadFloats(std::initializer_list<float*> fields) {
    for (float* f : fields) {
        if (Pending()) return;
        ReadFloat3ds(f);
    }
}
void WriteFloats(std::initializer_list<float> fields) {
    for (float f : fields) WriteFloat3ds(f);
}
void ReadUShorts(uint16_t* values, int n) {
    for (int i = 0; i < n && !Pending(); ++i) ReadUShort3ds(&values[i]);
}
void WriteUShorts(const uint16_t* values, int n) {
    for (int i = 0; i < n; ++i) WriteUShort3ds(values[i]);
}
}  // namespace

void FogData3ds::Read(uint32_t, uint32_t) { ReadFloats({&nearPlane, &nearDensity, &farPlane, &farDensity}); }
void FogData3ds::Write() const { WriteFloats({nearPlane, nearDensity, farPlane, farDensity}); }

void DistanceCueData3ds::Read(uint32_t, uint32_t) {
    ReadFloats({&nearPlane, &nearDimming, &farPlane, &farDimming});
}
void DistanceCueData3ds::Write() const { WriteFloats({nearPlane, nearDimming, farPlane, farDimming}); }

void LayerFogData3ds::Read(uint32_t, uint32_t) {
    ReadFloats({&zMin, &zMax, &density});
    if (!Pending()) ReadULong3ds(&flags);
}
void LayerFogData3ds::Write() const {
    WriteFloats({zMin, zMax, density});
    WriteULong3ds(flags);
}

void CameraRangesData3ds::Read(uint32_t, uint32_t) { ReadFloats({&nearRange, &farRange}); }
void CameraRangesData3ds::Write() const { WriteFloats({nearRange, farRange}); }

void ViewportLayoutData3ds::Read(uint32_t, uint32_t) { ReadUShorts(values, 7); }
void ViewportLayoutData3ds::Write() const { WriteUShorts(values, 7); }

void ViewportSizeData3ds::Read(uint32_t, uint32_t) {
    uint16_t v[4] = {};
    ReadUShorts(v, 4);
    x = v[0], y = v[1], width = v[2], height = v[3];
}
void ViewportSizeData3ds::Write() const {
    uint16_t v[4] = {x, y, width, height};
    WriteUShorts(v, 4);
}

void SegmentData3ds::Read(uint32_t, uint32_t) {
    ReadULong3ds(&begin);
    if (!Pending()) ReadULong3ds(&end);
}
void SegmentData3ds::Write() const {
    WriteULong3ds(begin);
    WriteULong3ds(end);
}

void BoundBoxData3ds::Read(uint32_t, uint32_t) {
    ReadPoint3ds(&min);
    if (!Pending()) ReadPoint3ds(&max);
}
void BoundBoxData3ds::Write() const {
    WritePoint3ds(min);
    WritePoint3ds(max);
}

// --- strings -------------------------------------------------------------------------------

void StringData3ds::Read(uint32_t tag, uint32_t bodyLength) {
    const NameField field = StringField(tag, bodyLength);
    if (field.what)
        ReadName3ds(&value, field.length, field.what);
    else
        ReadString3ds(&value, field.length);
}
void StringData3ds::Write() const { WriteString3ds(value); }

void BoxMapData3ds::Read(uint32_t, uint32_t) {
    for (std::string& name : names) {
        if (Pending()) return;
        ReadName3ds(&name, 16, "box map name");
    }
}
void BoxMapData3ds::Write() const {
    for (const std::string& name : names) WriteString3ds(name);
}

// --- mesh geometry -------------------------------------------------------------------------

void PointArrayData3ds::Read(uint32_t, uint32_t) {
    uint16_t count = 0;
    ReadUShort3ds(&count);
    if (Pending() || !Room(count, 12)) return;
    points.resize(count);
    for (Point3ds& p : points) ReadPoint3ds(&p);
}
void PointArrayData3ds::Write() const {
    if (!CountFits(points.size())) return;
    WriteUShort3ds(uint16_t(points.size()));
    for (const Point3ds& p : points) WritePoint3ds(p);
}

void VertexFlagData3ds::Read(uint32_t, uint32_t) {
    uint16_t count = 0;
    ReadUShort3ds(&count);
    if (Pending() || !Room(count, 2)) return;
    flags.resize(count);
    for (uint16_t& f : flags) ReadUShort3ds(&f);
}
void VertexFlagData3ds::Write() const {
    if (!CountFits(flags.size())) return;
    WriteUShort3ds(uint16_t(flags.size()));
    for (uint16_t f : flags) WriteUShort3ds(f);
}

void FaceArrayData3ds::Read(uint32_t, uint32_t) {
    uint16_t count = 0;
    ReadUShort3ds(&count);
    if (Pending() || !Room(count, 8)) return;
    faces.resize(count);
    for (Face3ds& f : faces) ReadFace3ds(&f);
}
void FaceArrayData3ds::Write() const {
    if (!CountFits(faces.size())) return;
    WriteUShort3ds(uint16_t(faces.size()));
    for (const Face3ds& f : faces) WriteFace3ds(f);
}

void MaterialGroupData3ds::Read(uint32_t, uint32_t) {
    ReadName3ds(&name, 16, "material name of a face group");
    if (Pending()) return;
    uint16_t count = 0;
    ReadUShort3ds(&count);
    if (Pending() || !Room(count, 2)) return;
    faces.resize(count);
    for (uint16_t& f : faces) ReadUShort3ds(&f);
}
void MaterialGroupData3ds::Write() const {
    if (!CountFits(faces.size())) return;
    WriteString3ds(name);
    WriteUShort3ds(uint16_t(faces.size()));
    for (uint16_t f : faces) WriteUShort3ds(f);
}

void TexVertData3ds::Read(uint32_t, uint32_t) {
    uint16_t count = 0;
    ReadUShort3ds(&count);
    if (Pending() || !Room(count, 8)) return;
    texVerts.resize(count);
    for (TexVert3ds& t : texVerts) ReadTexVert3ds(&t);
}
void TexVertData3ds::Write() const {
    if (!CountFits(texVerts.size())) return;
    WriteUShort3ds(uint16_t(texVerts.size()));
    for (const TexVert3ds& t : texVerts) WriteTexVert3ds(t);
}

void SmoothGroupData3ds::Read(uint32_t, uint32_t bodyLength) {
    uint32_t count = bodyLength / 4;
    if (!CountFits(count) || !Room(count, 4)) return;
    groups.resize(count);
    for (uint32_t& g : groups) ReadULong3ds(&g);
}
void SmoothGroupData3ds::Write() const {
    for (uint32_t g : groups) WriteULong3ds(g);
}

void MeshMatrixData3ds::Read(uint32_t, uint32_t) {
    for (float& f : xmatrix) {
        if (Pending()) return;
        ReadFloat3ds(&f);
    }
}
void MeshMatrixData3ds::Write() const {
    for (float f : xmatrix) WriteFloat3ds(f);
}

void MeshTextureInfoData3ds::Read(uint32_t, uint32_t) {
    ReadUShort3ds(&mapType);
    ReadFloats({&tileX, &tileY});
    if (!Pending()) ReadPoint3ds(&iconPos);
    ReadFloats({&iconScaling});
    for (float& f : xmatrix) ReadFloats({&f});
    ReadFloats({&iconWidth, &iconHeight, &cylIconHeight});
}
void MeshTextureInfoData3ds::Write() const {
    WriteUShort3ds(mapType);
    WriteFloats({tileX, tileY});
    WritePoint3ds(iconPos);
    WriteFloat3ds(iconScaling);
    for (float f : xmatrix) WriteFloat3ds(f);
    WriteFloats({iconWidth, iconHeight, cylIconHeight});
}

// --- views, lights, cameras, viewports -----------------------------------------------------

void ViewData3ds::Read(uint32_t, uint32_t) {
    ReadFloat3ds(&viewWidth);
    if (!Pending()) ReadPoint3ds(&viewTarget);
}
void ViewData3ds::Write() const {
    WriteFloat3ds(viewWidth);
    WritePoint3ds(viewTarget);
}

void UserViewData3ds::Read(uint32_t, uint32_t) {
    ReadFloats({&viewWidth, &horizontalAngle, &verticalAngle, &backAngle});
    if (!Pending()) ReadPoint3ds(&viewTarget);
}
void UserViewData3ds::Write() const {
    WriteFloats({viewWidth, horizontalAngle, verticalAngle, backAngle});
    WritePoint3ds(viewTarget);
}

void SpotlightData3ds::Read(uint32_t, uint32_t) {
    ReadPoint3ds(&target);
    ReadFloats({&hotspot, &falloff});
}
void SpotlightData3ds::Write() const {
    WritePoint3ds(target);
    WriteFloats({hotspot, falloff});
}

void LocalShadowData3ds::Read(uint32_t, uint32_t) {
    ReadFloats({&bias, &filter});
    if (!Pending()) ReadUShort3ds(&mapSize);
}
void LocalShadowData3ds::Write() const {
    WriteFloats({bias, filter});
    WriteUShort3ds(mapSize);
}

void CameraData3ds::Read(uint32_t, uint32_t) {
    ReadPoint3ds(&position);
    if (!Pending()) ReadPoint3ds(&target);
    ReadFloats({&roll, &fov});
}
void CameraData3ds::Write() const {
    WritePoint3ds(position);
    WritePoint3ds(target);
    WriteFloats({roll, fov});
}

void ViewportData3ds::Read(uint32_t, uint32_t) {
    ReadUShorts(flags, 7);
    ReadFloats({&zoom});
    if (!Pending()) ReadPoint3ds(&center);
    ReadFloats({&horizontalAngle, &verticalAngle});
    if (!Pending()) ReadFixedString3ds(&cameraName, 11);
}
void ViewportData3ds::Write() const {
    WriteUShorts(flags, 7);
    WriteFloat3ds(zoom);
    WritePoint3ds(center);
    WriteFloats({horizontalAngle, verticalAngle});
    WritePaddedString3ds(cameraName, 11);
}

void AutoReflectData3ds::Read(uint32_t, uint32_t) {
    ReadByte3ds(&byte0);
    if (!Pending()) ReadByte3ds(&byte1);
    if (!Pending()) ReadUShort3ds(&flags);
    if (!Pending()) ReadULong3ds(&mapSize);
    if (!Pending()) ReadULong3ds(&frameStep);
}
void AutoReflectData3ds::Write() const {
    WriteByte3ds(byte0);
    WriteByte3ds(byte1);
    WriteUShort3ds(flags);
    WriteULong3ds(mapSize);
    WriteULong3ds(frameStep);
}

void KfHeaderData3ds::Read(uint32_t, uint32_t) {
    ReadUShort3ds(&revision);
    if (!Pending()) ReadString3ds(&fileName, 512);
    if (!Pending()) ReadULong3ds(&animLength);
}
void KfHeaderData3ds::Write() const {
    WriteUShort3ds(revision);
    WriteString3ds(fileName);
    WriteULong3ds(animLength);
}

void NodeHeaderData3ds::Read(uint32_t, uint32_t) {
    ReadName3ds(&objName, 10, "node name");
    if (!Pending()) ReadUShort3ds(&flags1);
    if (!Pending()) ReadUShort3ds(&flags2);
    uint16_t parent = 0xFFFF;
    if (!Pending()) ReadUShort3ds(&parent);
    parentIndex = int16_t(parent);
}
void NodeHeaderData3ds::Write() const {
    WriteString3ds(objName);
    WriteUShort3ds(flags1);
    WriteUShort3ds(flags2);
    WriteUShort3ds(uint16_t(parentIndex));
}

// --- opaque blocks -------------------------------------------------------------------------

void OpaqueData3ds::Read(uint32_t tag, uint32_t bodyLength) {
    wholeBody = tag == Tag3ds::ExtendedEntry || tag == Tag3ds::ProjectData;
    if (!Room(bodyLength, 1)) return;
    bytes.resize(bodyLength);
    if (bodyLength) ReadBytes3ds(bytes.data(), bodyLength);
}
void OpaqueData3ds::Write() const {
    if (!bytes.empty()) WriteBytes3ds(bytes.data(), bytes.size());
}

// --- keyframer tracks ----------------------------------------------------------------------

void PointTrackData3ds::Read(uint32_t, uint32_t) {
    uint32_t count = 0;
    ReadTrackKeys(*this, count, 12);
    if (Pending()) return;
    values.reserve(count);
    for (uint32_t i = 0; i < count && !Pending(); ++i) {
        KeyHeader3ds k;
        Point3ds p;
        ReadKeyHeader3ds(&k);
        if (Pending()) return;
        ReadPoint3ds(&p);
        keys.push_back(k);
        values.push_back(p);
    }
}
void PointTrackData3ds::Write() const {
    WriteTrackHead(*this);
    for (size_t i = 0; i < keys.size(); ++i) {
        WriteKeyHeader3ds(keys[i]);
        WritePoint3ds(i < values.size() ? values[i] : Point3ds{0, 0, 0});
    }
}

void RotTrackData3ds::Read(uint32_t, uint32_t) {
    uint32_t count = 0;
    ReadTrackKeys(*this, count, 16);
    if (Pending()) return;
    values.reserve(count);
    for (uint32_t i = 0; i < count && !Pending(); ++i) {
        KeyHeader3ds k;
        RotKey3ds r{0, 0, 0, 0};
        ReadKeyHeader3ds(&k);
        if (Pending()) return;
        ReadFloats({&r.angle, &r.x, &r.y, &r.z});
        keys.push_back(k);
        values.push_back(r);
    }
}
void RotTrackData3ds::Write() const {
    WriteTrackHead(*this);
    for (size_t i = 0; i < keys.size(); ++i) {
        WriteKeyHeader3ds(keys[i]);
        RotKey3ds r = i < values.size() ? values[i] : RotKey3ds{0, 0, 0, 1};
        WriteFloats({r.angle, r.x, r.y, r.z});
    }
}

void FloatTrackData3ds::Read(uint32_t, uint32_t) {
    uint32_t count = 0;
    ReadTrackKeys(*this, count, 4);
    if (Pending()) return;
    values.reserve(count);
    for (uint32_t i = 0; i < count && !Pending(); ++i) {
        KeyHeader3ds k;
        float v = 0;
        ReadKeyHeader3ds(&k);
        if (Pending()) return;
        ReadFloat3ds(&v);
        keys.push_back(k);
        values.push_back(v);
    }
}
void FloatTrackData3ds::Write() const {
    WriteTrackHead(*this);
    for (size_t i = 0; i < keys.size(); ++i) {
        WriteKeyHeader3ds(keys[i]);
        WriteFloat3ds(i < values.size() ? values[i] : 0.0f);
    }
}

void MorphTrackData3ds::Read(uint32_t, uint32_t) {
    uint32_t count = 0;
    ReadTrackKeys(*this, count, 1);
    if (Pending()) return;
    values.reserve(count);
    for (uint32_t i = 0; i < count && !Pending(); ++i) {
        KeyHeader3ds k;
        MorphName3ds m;
        std::memset(m.name, 0, sizeof m.name);
        std::string name;
        ReadKeyHeader3ds(&k);
        if (Pending()) return;
        ReadString3ds(&name, 9);
        std::memcpy(m.name, name.data(), std::min(name.size(), sizeof m.name - 1));
        keys.push_back(k);
        values.push_back(m);
    }
}
void MorphTrackData3ds::Write() const {
    WriteTrackHead(*this);
    for (size_t i = 0; i < keys.size(); ++i) {
        WriteKeyHeader3ds(keys[i]);
        if (i < values.size()) {
            const char* n = values[i].name;
            size_t len = strnlen(n, sizeof values[i].name - 1);
            WriteBytes3ds(n, len);
        }
        WriteByte3ds(0);
    }
}

void HideTrackData3ds::Read(uint32_t, uint32_t) {
    uint32_t count = 0;
    ReadTrackKeys(*this, count, 0);
    for (uint32_t i = 0; i < count && !Pending(); ++i) {
        KeyHeader3ds k;
        ReadKeyHeader3ds(&k);
        if (Pending()) return;
        keys.push_back(k);
    }
}
void HideTrackData3ds::Write() const {
    WriteTrackHead(*this);
    for (const KeyHeader3ds& k : keys) WriteKeyHeader3ds(k);
}

// --- the catalogue -------------------------------------------------------------------------

bool IsContainerTag3ds(uint32_t tag) {
    switch (tag) {
    case 0x1200: case 0x2100: case 0x2D2D: case 0x2D3D: case 0x3000: case 0x3D3D:
    case 0x3DAA: case 0x3DFF: case 0x4100: case 0x4D4D: case 0x8000: case 0xA010:
    case 0xA020: case 0xA030: case 0xA040: case 0xA041: case 0xA042: case 0xA050:
    case 0xA052: case 0xA053: case 0xA084: case 0xA200: case 0xA204: case 0xA210:
    case 0xA220: case 0xA230: case 0xA33A: case 0xA33C: case 0xA33D: case 0xA33E:
    case 0xA340: case 0xA342: case 0xA344: case 0xA346: case 0xA348: case 0xA34A:
    case 0xA34C: case 0xAFFF: case 0xB000: case 0xB001: case 0xB002: case 0xB003:
    case 0xB004: case 0xB005: case 0xB006: case 0xB007: case 0xC23D:
        return true;
    default:
        return false;
    }
}

std::unique_ptr<ChunkData3ds> MakeChunkData3ds(uint32_t tag) {
    using P = std::unique_ptr<ChunkData3ds>;
    if (IsContainerTag3ds(tag)) return nullptr;
    if (tag >= 0x4656 && tag <= 0x465B) return P(new FloatData3ds);
    switch (tag) {
    case 0x0002: case 0x1440: case 0x3D3E: case 0xB009: return P(new UInt32Data3ds);
    case 0x0010: case 0x0013: return P(new ColorFData3ds);
    case 0x0011: case 0x0012: case 0xA360: case 0xA362: case 0xA364: case 0xA366: case 0xA368:
        return P(new Color24Data3ds);
    case 0x0030: return P(new Int16Data3ds);
    case 0x1420: case 0x1430: case 0xA100: case 0xA252: case 0xA351: case 0xB030:
        return P(new UInt16Data3ds);
    case 0x0031: case 0x0100: case 0x1300: case 0x1400: case 0x1410: case 0x1450: case 0x1460:
    case 0xA087: case 0xA353: case 0xA354: case 0xA356: case 0xA358: case 0xA35A: case 0xA35C:
    case 0xB015:
        return P(new FloatData3ds);
    case 0x1500: case 0x4600: case 0xB013: return P(new PointData3ds);
    case 0x2200: return P(new FogData3ds);
    case 0x2300: return P(new DistanceCueData3ds);
    case 0x2302: return P(new LayerFogData3ds);
    case 0x4165: return P(new UInt8Data3ds);
    case 0x4720: return P(new CameraRangesData3ds);
    case 0x7001: return P(new ViewportLayoutData3ds);
    case 0x7020: return P(new ViewportSizeData3ds);
    case 0xB008: return P(new SegmentData3ds);
    case 0xB014: return P(new BoundBoxData3ds);
    case 0x1100: case 0x4181: case 0x4653: case 0xA300: case 0x3080: case 0x4000: case 0x4654:
    case 0xB011: case 0xA000: case 0x8002: case 0x8003: case 0x80F0:
        return P(new StringData3ds);
    case 0x4190: return P(new BoxMapData3ds);
    case 0x4110: return P(new PointArrayData3ds);
    case 0x4111: return P(new VertexFlagData3ds);
    case 0x4120: return P(new FaceArrayData3ds);
    case 0x4130: return P(new MaterialGroupData3ds);
    case 0x4140: return P(new TexVertData3ds);
    case 0x4150: return P(new SmoothGroupData3ds);
    case 0x4160: return P(new MeshMatrixData3ds);
    case 0x4170: return P(new MeshTextureInfoData3ds);
    case 0x3010: case 0x3020: case 0x3030: case 0x3040: case 0x3050: case 0x3060:
        return P(new ViewData3ds);
    case 0x3070: return P(new UserViewData3ds);
    case 0x4610: return P(new SpotlightData3ds);
    case 0x4641: return P(new LocalShadowData3ds);
    case 0x4700: return P(new CameraData3ds);
    case 0x7011: case 0x7012: return P(new ViewportData3ds);
    case 0xA310: return P(new AutoReflectData3ds);
    case 0xB00A: return P(new KfHeaderData3ds);
    case 0xB010: return P(new NodeHeaderData3ds);
    case 0xB020: case 0xB022: case 0xB025: return P(new PointTrackData3ds);
    case 0xB021: return P(new RotTrackData3ds);
    case 0xB023: case 0xB024: case 0xB027: case 0xB028: return P(new FloatTrackData3ds);
    case 0xB026: return P(new MorphTrackData3ds);
    case 0xB029: return P(new HideTrackData3ds);
    default: {
        // 0x4182, 0xA320-0xA338, 0x8001 and every unknown tag.
        auto block = new OpaqueData3ds;
        block->wholeBody = tag == Tag3ds::ExtendedEntry || tag == Tag3ds::ProjectData;
        return P(block);
    }
    }
}

std::unique_ptr<ChunkData3ds> DecodeChunkData3ds(uint32_t tag, uint32_t bodyLength) {
    try {
        std::unique_ptr<ChunkData3ds> data = MakeChunkData3ds(tag);
        if (!data) return nullptr;
        data->Read(tag, bodyLength);
        if (g_bErrorPending3ds) return nullptr;
        return data;
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        return nullptr;
    }
}

ChunkData3ds* AllocChunkData3ds(Chunk3ds* chunk) {
    if (!chunk) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    try {
        chunk->data = MakeChunkData3ds(chunk->tag);
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
        return nullptr;
    }
    return chunk->data.get();
}

void WriteChunkData3ds(Chunk3ds* chunk) {
    if (!chunk) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (chunk->data) chunk->data->Write();
}

void CopyChunkData3ds(Chunk3ds* from, Chunk3ds* to) {
    if (!from || !to) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    try {
        to->data = from->data ? from->data->Clone() : nullptr;
    } catch (const std::bad_alloc&) {
        PushError3ds(ERR_NO_MEM);
    }
}

void FreeChunkData3ds(Chunk3ds* chunk) {
    if (chunk) chunk->data.reset();
}

void SkipChunkFixedData3ds(Chunk3ds* chunk) {
    if (!chunk) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    const uint32_t body = chunk->position + kChunkHeaderSize3ds;
    const uint32_t end = chunk->position + chunk->size;
    FileSeek3ds(body);
    uint32_t fixed = 0;
    std::string text;
    switch (chunk->tag) {
    // Names: a name longer than its field makes the read fail.
    case 0x1100: case 0x4181: case 0x3080: case 0x4000: case 0xB011: case 0xA000:
        ReadName3ds(&text, StringField(chunk->tag, 0).length, StringField(chunk->tag, 0).what);
        return;
    case 0xA300: ReadName3ds(&text, kTreeMapNameLength, "map name"); return;
    case 0xB00A: {
        uint16_t revision;
        uint32_t length;
        ReadUShort3ds(&revision);
        if (!g_bErrorPending3ds) ReadString3ds(&text, 512);
        if (!g_bErrorPending3ds) ReadULong3ds(&length);
        return;
    }
    case 0xB010:
        ReadName3ds(&text, 10, "node name");
        fixed = FileTell3ds() - body + 6;
        break;
    case 0x4120: {
        uint16_t count = 0;
        ReadUShort3ds(&count);
        fixed = 2 + 8 * uint32_t(count);
        break;
    }
    case 0x0030: case 0x1420: case 0x1430: case 0xB030: fixed = 2; break;
    case 0x0011: fixed = 3; break;
    case 0x0002: case 0x0031: case 0x0100: case 0x1300: case 0x1400: case 0x1410: case 0x3D3E:
    case 0xB009: case 0xB015: case 0xD000: fixed = 4; break;
    case 0xB008: fixed = 8; break;
    case 0x4641: fixed = 10; break;
    case 0x0010: case 0x1500: case 0x4600: case 0xA310: case 0xB013: fixed = 12; break;
    case 0x7001: fixed = 14; break;
    case 0x2200: case 0x2300: case 0x2302: case 0x3010: case 0x3020: case 0x3030: case 0x3040:
    case 0x3050: case 0x3060: fixed = 16; break;
    case 0x4610: fixed = 20; break;
    case 0xB014: fixed = 24; break;
    case 0x3070: fixed = 28; break;
    case 0x4700: fixed = 32; break;
    case 0x4160: fixed = 48; break;
    default:
        if (IsContainerTag3ds(chunk->tag) || chunk->tag == Tag3ds::ExtendedEntry) return;
        FileSeek3ds(end);  // no sub-chunks: the whole body is data
        return;
    }
    if (g_bErrorPending3ds) return;
    if (uint64_t(body) + fixed > end) {
        // The fixed data runs past the chunk.
        PushError3ds(ERR_INVALID_CHUNK);
        return;
    }
    FileSeek3ds(body + fixed);
}

}  // namespace lithoscope

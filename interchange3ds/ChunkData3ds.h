#pragma once
// 3D Studio toolkit: chunk tags and the decoded data of each tag. The layout of a chunk's
// data depends on its tag alone; ReadChunkData3ds (Chunk3ds.h) decodes it by tag, and each
// data record writes and copies itself. A tag not known here is kept as an opaque block, so
// chunks the program does not understand survive a read and a write unchanged.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interchange3ds/Values3ds.h"

namespace lithoscope {

struct Chunk3ds;

namespace Tag3ds {
enum : uint32_t {
    Null = 0x0000,
    FileVersion = 0x0002,
    ColorF = 0x0010,           // three floats
    Color24 = 0x0011,          // three bytes
    LinColor24 = 0x0012,       // three bytes (gamma-corrected)
    LinColorF = 0x0013,        // three floats (gamma-corrected)
    IntPercentage = 0x0030,    // int16
    FloatPercentage = 0x0031,  // float
    MasterScale = 0x0100,

    BitMap = 0x1100,
    UseBitMap = 0x1101,
    SolidBackground = 0x1200,
    UseSolidBackground = 0x1201,
    VGradient = 0x1300,
    UseVGradient = 0x1301,
    LoShadowBias = 0x1400,
    HiShadowBias = 0x1410,
    ShadowMapSize = 0x1420,
    ShadowSamples = 0x1430,
    ShadowRange = 0x1440,
    ShadowFilter = 0x1450,
    RayBias = 0x1460,
    ConstantPlane = 0x1500,

    AmbientLight = 0x2100,
    Fog = 0x2200,
    UseFog = 0x2201,
    FogBackground = 0x2210,
    DistanceCue = 0x2300,
    UseDistanceCue = 0x2301,
    LayerFog = 0x2302,
    UseLayerFog = 0x2303,
    DimBackground = 0x2310,

    ShaperFile = 0x2D2D,
    LofterFile = 0x2D3D,

    DefaultView = 0x3000,
    ViewTop = 0x3010,
    ViewBottom = 0x3020,
    ViewLeft = 0x3030,
    ViewRight = 0x3040,
    ViewFront = 0x3050,
    ViewBack = 0x3060,
    ViewUser = 0x3070,
    ViewCamera = 0x3080,

    EditorData = 0x3D3D,
    MeshVersion = 0x3D3E,
    MaterialLibrary = 0x3DAA,
    MaterialFile = 0x3DFF,

    NamedObject = 0x4000,
    ObjHidden = 0x4010,
    ObjNotInLofter = 0x4011,
    ObjNoCast = 0x4012,
    ObjMatte = 0x4013,
    ObjFast = 0x4014,
    ObjProcedural = 0x4015,
    ObjFrozen = 0x4016,
    ObjNoReceive = 0x4017,

    TriMesh = 0x4100,
    VertexList = 0x4110,
    VertexFlags = 0x4111,
    FaceList = 0x4120,
    FaceMaterial = 0x4130,
    TexVerts = 0x4140,
    SmoothGroups = 0x4150,
    LocalAxes = 0x4160,
    MeshColor = 0x4165,
    MappingParams = 0x4170,
    ProcName = 0x4181,
    ProcData = 0x4182,
    BoxMap = 0x4190,

    DirectLight = 0x4600,
    Spotlight = 0x4610,
    LocalShadow = 0x4641,
    SpotProjector = 0x4653,
    LightExclude = 0x4654,
    SpotRoll = 0x4656,
    SpotAspect = 0x4657,
    LightRayBias = 0x4658,
    LightInnerRange = 0x4659,
    LightOuterRange = 0x465A,
    LightMultiplier = 0x465B,
    Camera = 0x4700,
    CameraRanges = 0x4720,

    MeshFile = 0x4D4D,

    ViewportLayout = 0x7001,
    ViewportData = 0x7011,
    ViewportData3 = 0x7012,
    ViewportSize = 0x7020,

    ExtendedData = 0x8000,
    ExtendedEntry = 0x8001,
    ExtendedAppName = 0x8002,
    ExtendedString = 0x8003,
    ExtendedFirstItem = 0x8002,
    ExtendedLastItem = 0x800F,
    ParentName = 0x80F0,       // pseudo-chunk of a node header, made in memory, never written

    MatName = 0xA000,
    MatAmbient = 0xA010,
    MatDiffuse = 0xA020,
    MatSpecular = 0xA030,
    MatShininess = 0xA040,
    MatShinStrength = 0xA041,
    MatShin3 = 0xA042,
    MatTransparency = 0xA050,
    MatTransFalloff = 0xA052,
    MatReflectBlur = 0xA053,
    MatSelfIllum = 0xA080,
    MatTwoSided = 0xA081,
    MatDecal = 0xA083,
    MatSelfIllumPct = 0xA084,
    MatWire = 0xA085,
    MatWireSize = 0xA087,
    MatFaceMap = 0xA088,
    MatTransFalloffIn = 0xA08A,
    MatSoft = 0xA08C,
    MatWireAbs = 0xA08E,
    MatShading = 0xA100,

    MatTexture1 = 0xA200,
    MatSpecularMap = 0xA204,
    MatOpacityMap = 0xA210,
    MatReflectionMap = 0xA220,
    MatBumpMap = 0xA230,
    MatUseTransFalloff = 0xA240,
    MatUseReflectBlur = 0xA250,
    MatBumpPercent = 0xA252,

    MatMapName = 0xA300,
    MatAutoReflect = 0xA310,
    MatProcTexture1 = 0xA320,
    MatProcTexture2 = 0xA321,
    MatProcOpacity = 0xA322,
    MatProcBump = 0xA324,
    MatProcSpecular = 0xA325,
    MatProcShininess = 0xA326,
    MatProcSelfIllum = 0xA328,
    MatProcTexture1Mask = 0xA32A,
    MatProcTexture2Mask = 0xA32C,
    MatProcOpacityMask = 0xA32E,
    MatProcBumpMask = 0xA330,
    MatProcSpecularMask = 0xA332,
    MatProcShininessMask = 0xA334,
    MatProcSelfIllumMask = 0xA336,
    MatProcReflectionMask = 0xA338,
    MatTexture2 = 0xA33A,
    MatShininessMap = 0xA33C,
    MatSelfIllumMap = 0xA33D,
    MatTexture1Mask = 0xA33E,
    MatTexture2Mask = 0xA340,
    MatOpacityMask = 0xA342,
    MatBumpMask = 0xA344,
    MatShininessMask = 0xA346,
    MatSpecularMask = 0xA348,
    MatSelfIllumMask = 0xA34A,
    MatReflectionMask = 0xA34C,
    MatMapTiling = 0xA351,
    MatMapBlur = 0xA353,
    MatMapUScale = 0xA354,
    MatMapVScale = 0xA356,
    MatMapUOffset = 0xA358,
    MatMapVOffset = 0xA35A,
    MatMapRotation = 0xA35C,
    MatMapTint1 = 0xA360,
    MatMapTint2 = 0xA362,
    MatMapRedTint = 0xA364,
    MatMapGreenTint = 0xA366,
    MatMapBlueTint = 0xA368,
    MatEntry = 0xAFFF,

    KeyframerData = 0xB000,
    AmbientNode = 0xB001,
    ObjectNode = 0xB002,
    CameraNode = 0xB003,
    TargetNode = 0xB004,
    LightNode = 0xB005,
    LightTargetNode = 0xB006,
    SpotlightNode = 0xB007,
    KeyframeSegment = 0xB008,
    KeyframeCurrent = 0xB009,
    KeyframeHeader = 0xB00A,
    NodeHeader = 0xB010,
    InstanceName = 0xB011,
    Pivot = 0xB013,
    BoundBox = 0xB014,
    MorphSmooth = 0xB015,
    PositionTrack = 0xB020,
    RotationTrack = 0xB021,
    ScaleTrack = 0xB022,
    FovTrack = 0xB023,
    RollTrack = 0xB024,
    ColorTrack = 0xB025,
    MorphTrack = 0xB026,
    HotspotTrack = 0xB027,
    FalloffTrack = 0xB028,
    HideTrack = 0xB029,
    NodeId = 0xB030,

    ProjectFile = 0xC23D,
    ProjectData = 0xD000,
};
}  // namespace Tag3ds

// Base of every decoded data block. Each block reads and writes itself on the current file
// in its tag's layout and copies itself deeply.
struct ChunkData3ds {
    virtual ~ChunkData3ds() = default;
    // Decodes the block of a chunk of this tag whose body (length - 6) is bodyLength bytes.
    virtual void Read(uint32_t tag, uint32_t bodyLength) = 0;
    virtual void Write() const = 0;
    virtual std::unique_ptr<ChunkData3ds> Clone() const = 0;
    // True for an opaque block that stands for the chunk's whole body: the chunk is written
    // as this block alone (its children, read from inside the block, are not written again).
    virtual bool IsWholeBody() const { return false; }
};

// CRTP helper: Clone by copy construction.
template <class T>
struct ChunkDataOf3ds : ChunkData3ds {
    std::unique_ptr<ChunkData3ds> Clone() const override {
        return std::unique_ptr<ChunkData3ds>(new T(static_cast<const T&>(*this)));
    }
};

// 0x0002, 0x1440, 0x3D3E, 0xB009
struct UInt32Data3ds : ChunkDataOf3ds<UInt32Data3ds> {
    uint32_t value = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x0010, 0x0013
struct ColorFData3ds : ChunkDataOf3ds<ColorFData3ds> {
    float red = 0, green = 0, blue = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x0011, 0x0012, 0xA360, 0xA362, 0xA364, 0xA366, 0xA368
struct Color24Data3ds : ChunkDataOf3ds<Color24Data3ds> {
    uint8_t red = 0, green = 0, blue = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x0030 (a percentage)
struct Int16Data3ds : ChunkDataOf3ds<Int16Data3ds> {
    int16_t value = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x1420, 0x1430, 0xA100, 0xA252, 0xA351, 0xB030
struct UInt16Data3ds : ChunkDataOf3ds<UInt16Data3ds> {
    uint16_t value = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x0031, 0x0100, 0x1300, 0x1400, 0x1410, 0x1450, 0x1460, 0x4656-0x465B, 0xA087, 0xA353,
// 0xA354, 0xA356, 0xA358, 0xA35A, 0xA35C, 0xB015
struct FloatData3ds : ChunkDataOf3ds<FloatData3ds> {
    float value = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x1500, 0x4600, 0xB013
struct PointData3ds : ChunkDataOf3ds<PointData3ds> {
    Point3ds value{0, 0, 0};
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x2200
struct FogData3ds : ChunkDataOf3ds<FogData3ds> {
    float nearPlane = 0, nearDensity = 0, farPlane = 0, farDensity = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x2300
struct DistanceCueData3ds : ChunkDataOf3ds<DistanceCueData3ds> {
    float nearPlane = 0, nearDimming = 0, farPlane = 0, farDimming = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x2302
struct LayerFogData3ds : ChunkDataOf3ds<LayerFogData3ds> {
    float zMin = 0, zMax = 0, density = 0;
    uint32_t flags = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4165
struct UInt8Data3ds : ChunkDataOf3ds<UInt8Data3ds> {
    uint8_t value = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4720
struct CameraRangesData3ds : ChunkDataOf3ds<CameraRangesData3ds> {
    float nearRange = 0, farRange = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x7001
struct ViewportLayoutData3ds : ChunkDataOf3ds<ViewportLayoutData3ds> {
    uint16_t values[7] = {};
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x7020
struct ViewportSizeData3ds : ChunkDataOf3ds<ViewportSizeData3ds> {
    uint16_t x = 0, y = 0, width = 0, height = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB008
struct SegmentData3ds : ChunkDataOf3ds<SegmentData3ds> {
    uint32_t begin = 0, end = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB014
struct BoundBoxData3ds : ChunkDataOf3ds<BoundBoxData3ds> {
    Point3ds min{0, 0, 0}, max{0, 0, 0};
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x1100, 0x4181, 0x4653 (12 characters); 0xA300 (16); 0x3080, 0x4000, 0x4654, 0xB011 (10);
// 0xA000 (16); 0x8002, 0x8003 (the chunk's length); 0x80F0 (memory only).
// Written as the text and its NUL.
struct StringData3ds : ChunkDataOf3ds<StringData3ds> {
    std::string value;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4190: six strings of 16 characters at most
struct BoxMapData3ds : ChunkDataOf3ds<BoxMapData3ds> {
    std::string names[6];
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};

// Triangle-mesh geometry. Counts are the vector sizes (uint16 in the file).
// 0x4110
struct PointArrayData3ds : ChunkDataOf3ds<PointArrayData3ds> {
    std::vector<Point3ds> points;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4111
struct VertexFlagData3ds : ChunkDataOf3ds<VertexFlagData3ds> {
    std::vector<uint16_t> flags;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4120 (its sub-chunks follow the faces)
struct FaceArrayData3ds : ChunkDataOf3ds<FaceArrayData3ds> {
    std::vector<Face3ds> faces;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4130: material name (16 characters at most) and the face indices that use it
struct MaterialGroupData3ds : ChunkDataOf3ds<MaterialGroupData3ds> {
    std::string name;
    std::vector<uint16_t> faces;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4140
struct TexVertData3ds : ChunkDataOf3ds<TexVertData3ds> {
    std::vector<TexVert3ds> texVerts;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4150: one uint32 per face, no count in the file: (length - 6) / 4 values
struct SmoothGroupData3ds : ChunkDataOf3ds<SmoothGroupData3ds> {
    std::vector<uint32_t> groups;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4160: x, y, z axis vectors then the origin
struct MeshMatrixData3ds : ChunkDataOf3ds<MeshMatrixData3ds> {
    float xmatrix[12] = {};
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4170
struct MeshTextureInfoData3ds : ChunkDataOf3ds<MeshTextureInfoData3ds> {
    uint16_t mapType = 0;
    float tileX = 0, tileY = 0;
    Point3ds iconPos{0, 0, 0};
    float iconScaling = 0;
    float xmatrix[12] = {};
    float iconWidth = 0, iconHeight = 0, cylIconHeight = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};

// 0x3010, 0x3020, 0x3030, 0x3040, 0x3050, 0x3060
struct ViewData3ds : ChunkDataOf3ds<ViewData3ds> {
    float viewWidth = 0;
    Point3ds viewTarget{0, 0, 0};
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x3070
struct UserViewData3ds : ChunkDataOf3ds<UserViewData3ds> {
    float viewWidth = 0, horizontalAngle = 0, verticalAngle = 0, backAngle = 0;
    Point3ds viewTarget{0, 0, 0};
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4610
struct SpotlightData3ds : ChunkDataOf3ds<SpotlightData3ds> {
    Point3ds target{0, 0, 0};
    float hotspot = 0, falloff = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4641
struct LocalShadowData3ds : ChunkDataOf3ds<LocalShadowData3ds> {
    float bias = 0, filter = 0;
    uint16_t mapSize = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x4700
struct CameraData3ds : ChunkDataOf3ds<CameraData3ds> {
    Point3ds position{0, 0, 0}, target{0, 0, 0};
    float roll = 0, fov = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0x7011, 0x7012; the camera name is an 11-byte NUL-padded field (10 characters at most)
struct ViewportData3ds : ChunkDataOf3ds<ViewportData3ds> {
    uint16_t flags[7] = {};
    float zoom = 0;
    Point3ds center{0, 0, 0};
    float horizontalAngle = 0, verticalAngle = 0;
    std::string cameraName;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xA310
struct AutoReflectData3ds : ChunkDataOf3ds<AutoReflectData3ds> {
    uint8_t byte0 = 0, byte1 = 0;  // kept and written back
    uint16_t flags = 0;
    uint32_t mapSize = 0, frameStep = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB00A: revision, file name (512 characters at most), animation length
struct KfHeaderData3ds : ChunkDataOf3ds<KfHeaderData3ds> {
    uint16_t revision = 0;
    std::string fileName;
    uint32_t animLength = 0;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB010: node name (10 characters at most), two flag words, parent index (-1: none)
struct NodeHeaderData3ds : ChunkDataOf3ds<NodeHeaderData3ds> {
    std::string objName;
    uint16_t flags1 = 0, flags2 = 0;
    int16_t parentIndex = -1;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};

// Opaque block: the tags of procedural data (0x4182, 0xA320-0xA338), a loaded 0x8001 entry
// and every tag not named here. Written back byte for byte.
struct OpaqueData3ds : ChunkDataOf3ds<OpaqueData3ds> {
    std::vector<uint8_t> bytes;
    bool wholeBody = false;  // set by the reader for tags whose body also holds sub-chunks
    uint32_t size() const { return uint32_t(bytes.size()); }
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
    bool IsWholeBody() const override { return wholeBody; }
};

// Keyframer tracks: the track header and one header per key; then the values per key.
// keys.size() is the key count; the value vectors (where there are values) have one entry
// per key.
struct RotKey3ds {
    float angle, x, y, z;
};
struct MorphName3ds {
    char name[13];  // at most 9 characters and the NUL in the file
};

struct TrackData3ds {
    uint16_t flags = 0;
    uint32_t reserved1 = 0, reserved2 = 0;
    std::vector<KeyHeader3ds> keys;
    uint32_t keyCount() const { return uint32_t(keys.size()); }
};
// 0xB020 position, 0xB022 scale, 0xB025 colour
struct PointTrackData3ds : ChunkDataOf3ds<PointTrackData3ds>, TrackData3ds {
    std::vector<Point3ds> values;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB021 rotation
struct RotTrackData3ds : ChunkDataOf3ds<RotTrackData3ds>, TrackData3ds {
    std::vector<RotKey3ds> values;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB023 field of view, 0xB024 roll, 0xB027 hotspot, 0xB028 falloff
struct FloatTrackData3ds : ChunkDataOf3ds<FloatTrackData3ds>, TrackData3ds {
    std::vector<float> values;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB026 morph
struct MorphTrackData3ds : ChunkDataOf3ds<MorphTrackData3ds>, TrackData3ds {
    std::vector<MorphName3ds> values;
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};
// 0xB029 hide: key headers only
struct HideTrackData3ds : ChunkDataOf3ds<HideTrackData3ds>, TrackData3ds {
    void Read(uint32_t tag, uint32_t bodyLength) override;
    void Write() const override;
};

// A fresh, defaulted data block of the tag's layout, or null for a container tag (no data).
std::unique_ptr<ChunkData3ds> MakeChunkData3ds(uint32_t tag);
// True for the container tags whose data pointer stays null.
bool IsContainerTag3ds(uint32_t tag);

// The catalogue operations on a chunk.
// Allocates the tag's block (defaulted; arrays empty), stores it in the chunk and returns it;
// null for a container tag.
ChunkData3ds* AllocChunkData3ds(Chunk3ds* chunk);
// Writes the block to the current file; a chunk without data writes nothing.
void WriteChunkData3ds(Chunk3ds* chunk);
// Deep copy of from's block into to (to's old block is freed).
void CopyChunkData3ds(Chunk3ds* from, Chunk3ds* to);
void FreeChunkData3ds(Chunk3ds* chunk);
// Moves the current file from the end of the chunk's header to its first sub-chunk.
void SkipChunkFixedData3ds(Chunk3ds* chunk);
// Decodes the data of a tag from the current file, bodyLength bytes after the header
// (the chunk's length - 6). Null for a container or after an error.
std::unique_ptr<ChunkData3ds> DecodeChunkData3ds(uint32_t tag, uint32_t bodyLength);

}  // namespace lithoscope

#include "interchange3ds/Material3ds.h"

#include <cmath>

namespace lithoscope {

namespace {

struct SlotTags {
    uint32_t map;
    uint32_t proc;  // 0: the slot has no procedural block
};

// Map chunk and procedural-data tag of each slot, in slot order.
const SlotTags kSlotTags[MAP_SLOT_COUNT3DS] = {
    {Tag3ds::MatTexture1, Tag3ds::MatProcTexture1},
    {Tag3ds::MatTexture1Mask, Tag3ds::MatProcTexture1Mask},
    {Tag3ds::MatTexture2, Tag3ds::MatProcTexture2},
    {Tag3ds::MatTexture2Mask, Tag3ds::MatProcTexture2Mask},
    {Tag3ds::MatOpacityMap, Tag3ds::MatProcOpacity},
    {Tag3ds::MatOpacityMask, Tag3ds::MatProcOpacityMask},
    {Tag3ds::MatBumpMap, Tag3ds::MatProcBump},
    {Tag3ds::MatBumpMask, Tag3ds::MatProcBumpMask},
    {Tag3ds::MatSpecularMap, Tag3ds::MatProcSpecular},
    {Tag3ds::MatSpecularMask, Tag3ds::MatProcSpecularMask},
    {Tag3ds::MatShininessMap, Tag3ds::MatProcShininess},
    {Tag3ds::MatShininessMask, Tag3ds::MatProcShininessMask},
    {Tag3ds::MatSelfIllumMap, Tag3ds::MatProcSelfIllum},
    {Tag3ds::MatSelfIllumMask, Tag3ds::MatProcSelfIllumMask},
    {Tag3ds::MatReflectionMap, 0},
    {Tag3ds::MatReflectionMask, Tag3ds::MatProcReflectionMask},
};

int SlotOfMapTag(uint32_t tag) {
    for (int i = 0; i < MAP_SLOT_COUNT3DS; ++i)
        if (kSlotTags[i].map == tag) return i;
    return -1;
}

int SlotOfProcTag(uint32_t tag) {
    for (int i = 0; i < MAP_SLOT_COUNT3DS; ++i)
        if (kSlotTags[i].proc != 0 && kSlotTags[i].proc == tag) return i;
    return -1;
}

// Float to integer conversions clamp first: an out-of-range component or fraction must not
// wrap (or be undefined) on its way into a byte or an int16.
uint8_t ColorByte(float component) {
    float v = component * 255.0f;
    if (!(v > 0)) return 0;
    if (v >= 255.0f) return 255;
    return uint8_t(v);
}

int16_t ClampInt16(double v) {
    if (!(v > -32768.0)) return v != v ? 0 : -32768;
    if (v >= 32767.0) return 32767;
    return int16_t(v);
}

int16_t PercentTruncated(float fraction) { return ClampInt16(std::trunc(double(fraction) * 100.0)); }
int16_t PercentRounded(float fraction) { return ClampInt16(std::trunc(double(fraction) * 100.0 + 0.5)); }

float ByteColor(uint8_t b) { return float(b) / 255.0f; }

// ---- Reading ----

// A percentage chunk: its 0x0030 (int16 x 0.01) or 0x0031 (float) child; 0 with neither.
float ReadPercent(Chunk3ds* chunk) {
    for (Chunk3ds* c = chunk->Child(); c; c = c->Next()) {
        if (c->tag == Tag3ds::IntPercentage) {
            Int16Data3ds* d = ChunkDataOrError3ds<Int16Data3ds>(c);
            return d ? float(d->value) * 0.01f : 0.0f;
        }
        if (c->tag == Tag3ds::FloatPercentage) {
            FloatData3ds* d = ChunkDataOrError3ds<FloatData3ds>(c);
            return d ? d->value : 0.0f;
        }
    }
    return 0.0f;
}

// A colour chunk: byte colours (0x0011, or its gamma-corrected 0x0012) or, as other 3D
// tools write them, float colours (0x0010, 0x0013), read alike; the gamma-corrected one
// wins. A chunk with none of them gives ERR_UNFOUND_CHUNK.
float ClampedComponent(float v) { return v > 0 ? (v < 1.0f ? v : 1.0f) : 0.0f; }

void ReadColor(Chunk3ds* chunk, Color3ds* out) {
    Chunk3ds* plain = nullptr;
    Chunk3ds* corrected = nullptr;
    for (Chunk3ds* c = chunk->Child(); c; c = c->Next()) {
        if ((c->tag == Tag3ds::Color24 || c->tag == Tag3ds::ColorF) && !plain) plain = c;
        if ((c->tag == Tag3ds::LinColor24 || c->tag == Tag3ds::LinColorF) && !corrected) corrected = c;
    }
    Chunk3ds* use = corrected ? corrected : plain;
    if (!use) {
        PushError3ds(ERR_UNFOUND_CHUNK);
        return;
    }
    if (use->tag == Tag3ds::Color24 || use->tag == Tag3ds::LinColor24) {
        Color24Data3ds* d = ChunkDataOrError3ds<Color24Data3ds>(use);
        if (d) *out = {ByteColor(d->red), ByteColor(d->green), ByteColor(d->blue)};
        return;
    }
    ColorFData3ds* d = ChunkDataOrError3ds<ColorFData3ds>(use);
    if (d) *out = {ClampedComponent(d->red), ClampedComponent(d->green), ClampedComponent(d->blue)};
}

void ReadTintColor(Chunk3ds* chunk, Color3ds* out) {
    Color24Data3ds* d = ChunkDataOrError3ds<Color24Data3ds>(chunk);
    if (d) *out = {ByteColor(d->red), ByteColor(d->green), ByteColor(d->blue)};
}

float ReadFloatValue(Chunk3ds* chunk) {
    FloatData3ds* d = ChunkDataOrError3ds<FloatData3ds>(chunk);
    return d ? d->value : 0.0f;
}

void DecodeMapFlags(uint16_t f, TextureMap3ds* map) {
    map->tiling = !(f & 0x01) ? TILING_TILE3DS : (f & 0x10) ? TILING_DECAL3DS : TILING_BOTH3DS;
    map->ignoreAlpha = (f & 0x100) ? 1 : 0;
    map->filtering = (f & 0x20) ? 1 : 0;
    map->mirror = (f & 0x02) ? 1 : 0;
    map->negative = (f & 0x08) ? 1 : 0;
    if ((f & 0xC0) == 0xC0)
        map->tint = TINT_ALPHA_TINT3DS;
    else if (f & 0x80)
        map->tint = TINT_TINT3DS;
    else if (f & 0x200)
        map->tint = TINT_RGB3DS;
    else
        map->tint = (f & 0x40) ? TINT_ALPHA_SOURCE3DS : TINT_NONE3DS;
}

// The children of a map chunk, in any order; unknown tags are ignored.
void ReadMapSlot(Chunk3ds* mapChunk, TextureMap3ds* map) {
    for (Chunk3ds* c = mapChunk->Child(); c; c = c->Next()) {
        switch (c->tag) {
        case Tag3ds::IntPercentage:
            if (Int16Data3ds* d = ChunkDataOrError3ds<Int16Data3ds>(c)) map->percent = float(d->value) * 0.01f;
            break;
        case Tag3ds::FloatPercentage: map->percent = ReadFloatValue(c); break;
        case Tag3ds::MatMapName:
            if (StringData3ds* d = ChunkDataOrError3ds<StringData3ds>(c))
                CopyName3ds(map->name, sizeof map->name, d->value);
            break;
        case Tag3ds::MatMapTiling:
            if (UInt16Data3ds* d = ChunkDataOrError3ds<UInt16Data3ds>(c)) DecodeMapFlags(d->value, map);
            break;
        case Tag3ds::MatMapBlur: map->blur = ReadFloatValue(c); break;
        case Tag3ds::MatMapUScale: map->uScale = ReadFloatValue(c); break;
        case Tag3ds::MatMapVScale: map->vScale = ReadFloatValue(c); break;
        case Tag3ds::MatMapUOffset: map->uOffset = ReadFloatValue(c); break;
        case Tag3ds::MatMapVOffset: map->vOffset = ReadFloatValue(c); break;
        case Tag3ds::MatMapRotation: map->rotation = ReadFloatValue(c); break;
        case Tag3ds::MatMapTint1: ReadTintColor(c, &map->tint1); break;
        case Tag3ds::MatMapTint2: ReadTintColor(c, &map->tint2); break;
        case Tag3ds::MatMapRedTint: ReadTintColor(c, &map->redTint); break;
        case Tag3ds::MatMapGreenTint: ReadTintColor(c, &map->greenTint); break;
        case Tag3ds::MatMapBlueTint: ReadTintColor(c, &map->blueTint); break;
        default: break;
        }
        if (IsErrorPending3ds()) return;
    }
}

// One child of a material entry; an error it pushes ends the read.
void ReadMaterialChild(Chunk3ds* c, Material3ds* m) {
    const uint32_t tag = c->tag;
    if (tag >= 0x8000 && tag <= 0x80FF) return;
    switch (tag) {
    case Tag3ds::MatName:
        if (StringData3ds* d = ChunkDataOrError3ds<StringData3ds>(c))
            CopyName3ds(m->name, sizeof m->name, d->value);
        return;
    case Tag3ds::MatAmbient: ReadColor(c, &m->ambient); return;
    case Tag3ds::MatDiffuse: ReadColor(c, &m->diffuse); return;
    case Tag3ds::MatSpecular: ReadColor(c, &m->specular); return;
    case Tag3ds::MatShininess: m->shininess = ReadPercent(c); return;
    case Tag3ds::MatShinStrength: m->shinStrength = ReadPercent(c); return;
    case Tag3ds::MatShin3: return;
    case Tag3ds::MatTransparency: m->transparency = ReadPercent(c); return;
    case Tag3ds::MatTransFalloff: m->transFalloff = ReadPercent(c); return;
    case Tag3ds::MatReflectBlur: m->reflectBlur = ReadPercent(c); return;
    case Tag3ds::MatSelfIllumPct: m->selfIllum = ReadPercent(c); return;
    case Tag3ds::MatSelfIllum: m->selfIllumOn = 1; return;
    case Tag3ds::MatTwoSided: m->twoSided = 1; return;
    case Tag3ds::MatDecal: m->decal = 1; return;
    case Tag3ds::MatFaceMap: m->faceMap = 1; return;
    case Tag3ds::MatSoft: m->soft = 1; return;
    case Tag3ds::MatWireAbs: m->wireAbsolute = 1; return;
    case Tag3ds::MatUseTransFalloff: m->useTransFalloff = 1; return;
    case Tag3ds::MatUseReflectBlur: m->useReflectBlur = 1; return;
    case Tag3ds::MatWire: m->shading = 0; return;
    case Tag3ds::MatTransFalloffIn: m->transFalloff = -m->transFalloff; return;
    case Tag3ds::MatWireSize: m->wireSize = ReadFloatValue(c); return;
    case Tag3ds::MatShading:
        if (UInt16Data3ds* d = ChunkDataOrError3ds<UInt16Data3ds>(c)) m->shading = d->value;
        return;
    case Tag3ds::MatAutoReflect:
        if (AutoReflectData3ds* d = ChunkDataOrError3ds<AutoReflectData3ds>(c)) {
            m->autoReflect.on = 1;
            m->autoReflect.firstFrameOnly = (d->flags & 0x09) == 0x09;
            m->autoReflect.flatMirror = (d->flags & 0x11) == 0x11;
            m->autoReflect.mapSize = int(d->mapSize);
            m->autoReflect.frameStep = int(d->frameStep);
        }
        return;
    default: break;
    }
    if (int slot = SlotOfMapTag(tag); slot >= 0) {
        TextureMap3ds* map = &m->maps[slot];
        ReadMapSlot(c, map);
        if (IsErrorPending3ds()) return;
        if (tag == Tag3ds::MatBumpMap) {
            if (Chunk3ds* pct = FindDirectChild3ds(c, Tag3ds::MatBumpPercent))
                if (UInt16Data3ds* d = ChunkDataOrError3ds<UInt16Data3ds>(pct))
                    map->percent = float(int16_t(d->value)) * 0.01f;
        }
        return;
    }
    if (int slot = SlotOfProcTag(tag); slot >= 0) {
        if (OpaqueData3ds* d = ChunkDataOrError3ds<OpaqueData3ds>(c))
            m->maps[slot].procData = std::move(d->bytes);
        return;
    }
    PushError3ds(ERR_INVALID_CHUNK);
}

// ---- Writing ----

void AddPercent(Chunk3ds* parent, uint32_t tag, int16_t value) {
    Chunk3ds* chunk = AddChildChunk3ds(parent, tag);
    if (!chunk) return;
    if (Int16Data3ds* d = AddChildData3ds<Int16Data3ds>(chunk, Tag3ds::IntPercentage)) d->value = value;
}

void AddColor24(Chunk3ds* parent, uint32_t tag, const Color3ds& c) {
    if (Color24Data3ds* d = AddChildData3ds<Color24Data3ds>(parent, tag)) {
        d->red = ColorByte(c.r);
        d->green = ColorByte(c.g);
        d->blue = ColorByte(c.b);
    }
}

// A colour chunk with the same bytes in its 0x0011 and 0x0012 children.
void AddMaterialColor(Chunk3ds* entry, uint32_t tag, const Color3ds& c) {
    Chunk3ds* chunk = AddChildChunk3ds(entry, tag);
    if (!chunk) return;
    AddColor24(chunk, Tag3ds::Color24, c);
    if (IsErrorPending3ds()) return;
    AddColor24(chunk, Tag3ds::LinColor24, c);
}

void AddFloat(Chunk3ds* parent, uint32_t tag, float value) {
    if (FloatData3ds* d = AddChildData3ds<FloatData3ds>(parent, tag)) d->value = value;
}

uint16_t EncodeMapFlags(const TextureMap3ds& map) {
    uint16_t f = 0;
    if (map.tiling == TILING_DECAL3DS) f |= 0x11;
    if (map.tiling == TILING_BOTH3DS) f |= 0x01;
    if (map.ignoreAlpha) f |= 0x100;
    if (map.filtering == 1) f |= 0x20;
    if (map.mirror) f |= 0x02;
    if (map.negative) f |= 0x08;
    static const uint16_t kTintBits[] = {0, 0x40, 0x80, 0xC0, 0x200};
    if (map.tint >= 0 && map.tint <= 4) f |= kTintBits[map.tint];
    return f;
}

void WriteMapSlot(Chunk3ds* entry, int slot, const TextureMap3ds& map) {
    Chunk3ds* chunk = AddChildChunk3ds(entry, kSlotTags[slot].map);
    if (!chunk) return;
    if (Int16Data3ds* d = AddChildData3ds<Int16Data3ds>(chunk, Tag3ds::IntPercentage))
        d->value = PercentRounded(map.percent);
    if (IsErrorPending3ds()) return;
    if (StringData3ds* d = AddChildData3ds<StringData3ds>(chunk, Tag3ds::MatMapName))
        d->value = FieldText3ds(map.name, sizeof map.name);
    if (IsErrorPending3ds()) return;
    if (UInt16Data3ds* d = AddChildData3ds<UInt16Data3ds>(chunk, Tag3ds::MatMapTiling))
        d->value = EncodeMapFlags(map);
    if (IsErrorPending3ds()) return;
    if (map.uScale != 1.0f || map.vScale != 1.0f) {
        AddFloat(chunk, Tag3ds::MatMapUScale, map.uScale);
        if (IsErrorPending3ds()) return;
        AddFloat(chunk, Tag3ds::MatMapVScale, map.vScale);
        if (IsErrorPending3ds()) return;
    }
    if (map.uOffset != 0.0f || map.vOffset != 0.0f) {
        AddFloat(chunk, Tag3ds::MatMapUOffset, map.uOffset);
        if (IsErrorPending3ds()) return;
        AddFloat(chunk, Tag3ds::MatMapVOffset, map.vOffset);
        if (IsErrorPending3ds()) return;
    }
    if (map.rotation != 0.0f) AddFloat(chunk, Tag3ds::MatMapRotation, map.rotation);
    if (IsErrorPending3ds()) return;
    if (map.blur != 0.0f) AddFloat(chunk, Tag3ds::MatMapBlur, map.blur);
    if (IsErrorPending3ds()) return;
    if (map.tint == TINT_TINT3DS || map.tint == TINT_ALPHA_TINT3DS) {
        AddColor24(chunk, Tag3ds::MatMapTint1, map.tint1);
        if (IsErrorPending3ds()) return;
        AddColor24(chunk, Tag3ds::MatMapTint2, map.tint2);
    } else if (map.tint == TINT_RGB3DS) {
        AddColor24(chunk, Tag3ds::MatMapRedTint, map.redTint);
        if (IsErrorPending3ds()) return;
        AddColor24(chunk, Tag3ds::MatMapGreenTint, map.greenTint);
        if (IsErrorPending3ds()) return;
        AddColor24(chunk, Tag3ds::MatMapBlueTint, map.blueTint);
    }
    if (IsErrorPending3ds()) return;
    if (slot == MAP_BUMP3DS) {
        if (UInt16Data3ds* d = AddChildData3ds<UInt16Data3ds>(chunk, Tag3ds::MatBumpPercent))
            d->value = uint16_t(PercentTruncated(map.percent));
        if (IsErrorPending3ds()) return;
    }
    if (!map.procData.empty()) {
        if (OpaqueData3ds* d = AddChildData3ds<OpaqueData3ds>(entry, kSlotTags[slot].proc))
            d->bytes = map.procData;
    }
}

void WriteReflectionMap(Chunk3ds* entry, const TextureMap3ds& map) {
    Chunk3ds* chunk = AddChildChunk3ds(entry, Tag3ds::MatReflectionMap);
    if (!chunk) return;
    if (Int16Data3ds* d = AddChildData3ds<Int16Data3ds>(chunk, Tag3ds::IntPercentage))
        d->value = PercentTruncated(map.percent);
    if (IsErrorPending3ds()) return;
    if (StringData3ds* d = AddChildData3ds<StringData3ds>(chunk, Tag3ds::MatMapName))
        d->value = FieldText3ds(map.name, sizeof map.name);
}

// Names and values that cannot be written as they are: refused before anything changes.
bool MaterialFits(const Material3ds* m) {
    FieldText3ds(m->name, sizeof m->name);
    for (const TextureMap3ds& map : m->maps) {
        FieldText3ds(map.name, sizeof map.name);
        if (map.procData.size() > UINT32_MAX - 64) PushError3ds(ERR_INVALID_DATA);
    }
    if (m->shading < 0 || m->shading > 0xFFFF) PushError3ds(ERR_INVALID_DATA);
    return !IsErrorPending3ds();
}

void WriteMaterialChildren(Chunk3ds* entry, const Material3ds* m) {
    if (StringData3ds* d = AddChildData3ds<StringData3ds>(entry, Tag3ds::MatName))
        d->value = FieldText3ds(m->name, sizeof m->name);
    if (IsErrorPending3ds()) return;
    AddMaterialColor(entry, Tag3ds::MatAmbient, m->ambient);
    if (IsErrorPending3ds()) return;
    AddMaterialColor(entry, Tag3ds::MatDiffuse, m->diffuse);
    if (IsErrorPending3ds()) return;
    AddMaterialColor(entry, Tag3ds::MatSpecular, m->specular);
    if (IsErrorPending3ds()) return;
    AddPercent(entry, Tag3ds::MatShininess, PercentTruncated(m->shininess));
    if (IsErrorPending3ds()) return;
    AddPercent(entry, Tag3ds::MatShinStrength, PercentTruncated(m->shinStrength));
    if (IsErrorPending3ds()) return;
    AddPercent(entry, Tag3ds::MatTransparency, PercentTruncated(m->transparency));
    if (IsErrorPending3ds()) return;
    // Fall-off: the magnitude rounded half away from zero; the sign is the 0xA08A flag.
    AddPercent(entry, Tag3ds::MatTransFalloff,
               ClampInt16(std::round(std::fabs(double(m->transFalloff) * 100.0))));
    if (IsErrorPending3ds()) return;
    if (m->transFalloff < 0 && !AddChildChunk3ds(entry, Tag3ds::MatTransFalloffIn)) return;
    AddPercent(entry, Tag3ds::MatReflectBlur, PercentTruncated(m->reflectBlur));
    if (IsErrorPending3ds()) return;
    if (UInt16Data3ds* d = AddChildData3ds<UInt16Data3ds>(entry, Tag3ds::MatShading))
        d->value = uint16_t(m->shading);
    if (IsErrorPending3ds()) return;
    AddPercent(entry, Tag3ds::MatSelfIllumPct, PercentTruncated(m->selfIllum));
    if (IsErrorPending3ds()) return;
    if (m->twoSided && !AddChildChunk3ds(entry, Tag3ds::MatTwoSided)) return;
    AddFloat(entry, Tag3ds::MatWireSize, m->wireSize);
    if (IsErrorPending3ds()) return;
    const std::pair<uint8_t, uint32_t> flags[] = {
        {m->useReflectBlur, Tag3ds::MatUseReflectBlur}, {m->useTransFalloff, Tag3ds::MatUseTransFalloff},
        {m->selfIllumOn, Tag3ds::MatSelfIllum},         {m->decal, Tag3ds::MatDecal},
        {m->wire, Tag3ds::MatWire},                     {m->wireAbsolute, Tag3ds::MatWireAbs},
        {m->faceMap, Tag3ds::MatFaceMap},               {m->soft, Tag3ds::MatSoft},
    };
    for (const auto& [set, tag] : flags)
        if (set && !AddChildChunk3ds(entry, tag)) return;

    for (int slot = 0; slot < MAP_SLOT_COUNT3DS; ++slot) {
        const TextureMap3ds& map = m->maps[slot];
        if (slot == MAP_REFLECTION3DS) {
            if (map.name[0] || m->autoReflect.on) WriteReflectionMap(entry, map);
        } else if (map.name[0]) {
            WriteMapSlot(entry, slot, map);
        }
        if (IsErrorPending3ds()) return;
    }

    if (m->autoReflect.on) {
        if (AutoReflectData3ds* d = AddChildData3ds<AutoReflectData3ds>(entry, Tag3ds::MatAutoReflect)) {
            d->byte0 = 0;
            d->byte1 = 0;
            d->flags = uint16_t((m->autoReflect.firstFrameOnly ? 0x09 : 0x01) |
                                (m->autoReflect.flatMirror ? 0x11 : 0));
            d->mapSize = uint32_t(m->autoReflect.mapSize);
            d->frameStep = uint32_t(m->autoReflect.frameStep);
        }
    }
}

}  // namespace

void InitMaterial3ds(Material3ds** material) { InitRecord3ds(material); }

void ReleaseMaterial3ds(Material3ds** material) { FreeRecord3ds(material); }

void InitTextureMap3ds(TextureMap3ds* map) {
    if (!map) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    *map = TextureMap3ds();
}

uint32_t GetMaterialCount3ds(Database3ds* db) {
    if (!CheckDatabaseTop3ds(db, {Tag3ds::MeshFile, Tag3ds::ProjectFile, Tag3ds::MaterialLibrary}))
        return 0;
    UpdateMaterialList3ds(db);
    if (IsErrorPending3ds() || !db->matList) return 0;
    return db->matList->count();
}

void GetMaterialByIndex3ds(Database3ds* db, uint32_t index, Material3ds** material) {
    if (!material) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabaseTop3ds(db, {Tag3ds::MeshFile, Tag3ds::ProjectFile, Tag3ds::MaterialLibrary}))
        return;
    Chunk3ds* entry = GetMaterialEntryByIndex3ds(db, index);
    if (IsErrorPending3ds() || !entry) return;
    ReadMaterial3ds(entry, material);
}

void ReadMaterial3ds(Chunk3ds* entry, Material3ds** material) {
    if (!entry || !material) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (entry->tag != Tag3ds::MatEntry) {
        PushError3ds(ERR_INVALID_CHUNK);
        return;
    }
    if (!InitRecord3ds(material)) return;
    // A copy of the entry, so that the data the record takes over leaves the tree alone.
    Chunk3ds* copy = nullptr;
    CopyChunk3ds(entry, &copy);
    if (IsErrorPending3ds() || !copy) {
        ReleaseChunk3ds(&copy);
        return;
    }
    for (Chunk3ds* c = copy->Child(); c && !IsErrorPending3ds(); c = c->Next())
        ReadMaterialChild(c, *material);
    ReleaseChunk3ds(&copy);
}

void PutMaterial3ds(Database3ds* db, const Material3ds* material) {
    if (!db || !material) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (!CheckDatabaseTop3ds(db, {Tag3ds::MaterialLibrary, Tag3ds::MeshFile, Tag3ds::ProjectFile}))
        return;
    if (!MaterialFits(material)) return;
    Chunk3ds* parent = db->topChunk->tag == Tag3ds::MaterialLibrary ? db->topChunk.get()
                                                                     : GetEditorData3ds(db);
    if (!parent) return;

    const std::string name = FieldText3ds(material->name, sizeof material->name);
    Chunk3ds* entry = nullptr;
    FindMaterialEntry3ds(db, name.c_str(), &entry);
    if (IsErrorPending3ds()) return;
    Chunk3ds* xdata = nullptr;
    if (entry) {
        // Replace in place, keeping the entry's extended data.
        Chunk3ds* found = nullptr;
        FindChunk3ds(entry, Tag3ds::ExtendedData, &found);
        if (found) CopyChunk3ds(found, &xdata);
        if (IsErrorPending3ds()) {
            ReleaseChunk3ds(&xdata);
            return;
        }
        ClearChunk3ds(entry);
        entry->tag = Tag3ds::MatEntry;
    } else {
        entry = AddChildChunk3ds(parent, Tag3ds::MatEntry);
        if (!entry) return;
    }
    MarkMaterialListStale3ds(db);

    WriteMaterialChildren(entry, material);
    if (xdata) {
        if (IsErrorPending3ds())
            ReleaseChunk3ds(&xdata);
        else
            InsertChildChunk3ds(entry, xdata);
    }
}

}  // namespace lithoscope

#include "interchange3ds/Scene3ds.h"

#include <algorithm>
#include <cstring>

namespace lithoscope {

// ---- Helpers ----

bool CheckDatabaseTop3ds(Database3ds* db, std::initializer_list<uint32_t> tops) {
    if (!db) {
        PushError3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!db->topChunk) {
        PushError3ds(ERR_INVALID_DATABASE);
        return false;
    }
    for (uint32_t tag : tops)
        if (db->topChunk->tag == tag) return true;
    PushError3ds(ERR_WRONG_DATABASE);
    return false;
}

Chunk3ds* GetEditorData3ds(Database3ds* db) {
    Chunk3ds* mdata = nullptr;
    FindChunk3ds(db->topChunk.get(), Tag3ds::EditorData, &mdata);
    if (IsErrorPending3ds()) return nullptr;
    if (mdata) return mdata;
    NewChunkTag3ds(&mdata, Tag3ds::EditorData);
    if (IsErrorPending3ds() || !mdata) return nullptr;
    InsertChildChunk3ds(db->topChunk.get(), mdata);
    return IsErrorPending3ds() ? nullptr : mdata;
}

Chunk3ds* FindDirectChild3ds(Chunk3ds* parent, uint32_t tag) {
    for (Chunk3ds* c = parent ? parent->Child() : nullptr; c; c = c->Next())
        if (c->tag == tag) return c;
    return nullptr;
}

Chunk3ds* AddChildChunk3ds(Chunk3ds* parent, uint32_t tag, bool append) {
    Chunk3ds* chunk = nullptr;
    NewChunkTag3ds(&chunk, tag);
    if (IsErrorPending3ds() || !chunk) return nullptr;
    if (append)
        AppendChildChunk3ds(parent, chunk);
    else
        InsertChildChunk3ds(parent, chunk);
    return IsErrorPending3ds() ? nullptr : chunk;
}

void PutColorF3ds(Chunk3ds* parent, uint32_t tag, const Color3ds& color, bool append) {
    ColorFData3ds* data = AddChildData3ds<ColorFData3ds>(parent, tag, append);
    if (!data) return;
    data->red = color.r;
    data->green = color.g;
    data->blue = color.b;
}

std::string FieldName3ds(const std::string& src, size_t size) {
    const size_t nul = src.find('\0');
    const size_t length = nul == std::string::npos ? src.size() : nul;
    return src.substr(0, std::min(length, size - 1));
}

void CopyName3ds(char* field, size_t size, const std::string& src) {
    const std::string cut = FieldName3ds(src, size);
    std::memcpy(field, cut.data(), cut.size());
    std::memset(field + cut.size(), 0, size - cut.size());
    if (cut.size() < src.size() && src.find('\0') >= size - 1)
        CheckNameLength3ds(src, uint32_t(size - 1), "name");
}

std::string FieldText3ds(const char* field, size_t size) {
    const void* nul = std::memchr(field, 0, size);
    if (!nul) {
        PushError3ds(ERR_STRING_TOO_LONG);
        return std::string(field, size);
    }
    return std::string(field, static_cast<const char*>(nul) - field);
}

// ---- Mesh settings ----

void InitMeshSettings3ds(MeshSettings3ds** settings) { InitRecord3ds(settings); }

void ReleaseMeshSettings3ds(MeshSettings3ds** settings) {
    if (!settings) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    FreeRecord3ds(settings);
}

void ReleaseMeshSettings3ds(Atmosphere3ds** settings) {
    if (!settings) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    FreeRecord3ds(settings);
}

namespace {

// The checks every settings put starts with; the editor data or null.
Chunk3ds* SettingsTarget3ds(Database3ds* db, const void* record) {
    if (!db || !record) {
        PushError3ds(ERR_INVALID_ARG);
        return nullptr;
    }
    if (!CheckDatabaseTop3ds(db, {Tag3ds::MeshFile, Tag3ds::ProjectFile})) return nullptr;
    return GetEditorData3ds(db);
}

void PutFloat3ds(Chunk3ds* parent, uint32_t tag, float value) {
    if (FloatData3ds* d = PutChildData3ds<FloatData3ds>(parent, tag)) d->value = value;
}

// Clears the first active-effect (or background-use) chunk found under mdata, then gives
// the chosen tag to that chunk or to a new one. tag 0: nothing is in use.
void PutChoiceChunk3ds(Chunk3ds* mdata, std::initializer_list<uint32_t> searched, uint32_t tag) {
    Chunk3ds* found = nullptr;
    for (uint32_t t : searched) {
        FindChunk3ds(mdata, t, &found);
        if (IsErrorPending3ds()) return;
        if (found) break;
    }
    if (found) ClearChunk3ds(found);
    if (IsErrorPending3ds() || tag == 0) return;
    if (found)
        found->tag = tag;
    else
        AddChildChunk3ds(mdata, tag);
}

}  // namespace

void PutMeshSettings3ds(Database3ds* db, const MeshSettings3ds* settings) {
    Chunk3ds* mdata = SettingsTarget3ds(db, settings);
    if (!mdata) return;

    // The mesh version's value is set when the database is written.
    if (!PutChildData3ds<UInt32Data3ds>(mdata, Tag3ds::MeshVersion)) return;
    PutFloat3ds(mdata, Tag3ds::MasterScale, settings->masterScale);
    if (IsErrorPending3ds()) return;
    PutFloat3ds(mdata, Tag3ds::LoShadowBias, settings->shadowBias);
    if (IsErrorPending3ds()) return;
    UInt16Data3ds* mapSize = PutChildData3ds<UInt16Data3ds>(mdata, Tag3ds::ShadowMapSize);
    if (!mapSize) return;
    mapSize->value = settings->shadowMapSize;
    PutFloat3ds(mdata, Tag3ds::ShadowFilter, settings->shadowFilter);
    if (IsErrorPending3ds()) return;
    PutFloat3ds(mdata, Tag3ds::RayBias, settings->rayTraceBias);
    if (IsErrorPending3ds()) return;

    Chunk3ds* ambient = nullptr;
    PutChildChunk3ds(mdata, Tag3ds::AmbientLight, &ambient);
    if (IsErrorPending3ds() || !ambient) return;
    PutColorF3ds(ambient, Tag3ds::ColorF, settings->ambientLight, false);
    if (IsErrorPending3ds()) return;
    PutColorF3ds(ambient, Tag3ds::LinColorF, settings->ambientLight, false);
    if (IsErrorPending3ds()) return;

    if (PointData3ds* plane = PutChildData3ds<PointData3ds>(mdata, Tag3ds::ConstantPlane))
        plane->value = settings->constantPlane;
}

// ---- Atmosphere ----

void InitAtmosphere3ds(Atmosphere3ds** atmosphere) { InitRecord3ds(atmosphere); }

void PutAtmosphere3ds(Database3ds* db, const Atmosphere3ds* atmosphere) {
    if (!db || !atmosphere) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    // Only the listed choices have a chunk; anything else is refused before any change.
    if (atmosphere->activeEffect < USE_NO_ATMOSPHERE3DS ||
        atmosphere->activeEffect > USE_DISTANCE_CUE3DS ||
        atmosphere->layerFog.fallOff < FALLOFF_NONE3DS ||
        atmosphere->layerFog.fallOff > FALLOFF_BOTTOM3DS) {
        PushError3ds(ERR_INVALID_DATA);
        return;
    }
    Chunk3ds* mdata = SettingsTarget3ds(db, atmosphere);
    if (!mdata) return;

    const FogSettings3ds& fog = atmosphere->fog;
    Chunk3ds* fogChunk = nullptr;
    FogData3ds* fogData = PutChildData3ds<FogData3ds>(mdata, Tag3ds::Fog, &fogChunk);
    if (!fogData) return;
    fogData->nearPlane = fog.nearPlane;
    fogData->nearDensity = fog.nearDensity;
    fogData->farPlane = fog.farPlane;
    fogData->farDensity = fog.farDensity;
    PutColorF3ds(fogChunk, Tag3ds::ColorF, fog.color, false);
    if (IsErrorPending3ds()) return;
    if (fog.fogBackground && !AddChildChunk3ds(fogChunk, Tag3ds::FogBackground)) return;

    const LayerFogSettings3ds& layer = atmosphere->layerFog;
    Chunk3ds* layerChunk = nullptr;
    LayerFogData3ds* layerData =
        PutChildData3ds<LayerFogData3ds>(mdata, Tag3ds::LayerFog, &layerChunk);
    if (!layerData) return;
    layerData->zMin = layer.bottom;
    layerData->zMax = layer.top;
    layerData->density = layer.density;
    static const uint32_t kFallOffBits[] = {0, 2, 1};
    layerData->flags = kFallOffBits[layer.fallOff] | (layer.fogBackground ? 0x100000u : 0u);
    PutColorF3ds(layerChunk, Tag3ds::ColorF, layer.color, false);
    if (IsErrorPending3ds()) return;

    const DistanceCueSettings3ds& cue = atmosphere->distanceCue;
    Chunk3ds* cueChunk = nullptr;
    DistanceCueData3ds* cueData =
        PutChildData3ds<DistanceCueData3ds>(mdata, Tag3ds::DistanceCue, &cueChunk);
    if (!cueData) return;
    cueData->nearPlane = cue.nearPlane;
    cueData->nearDimming = cue.nearDimming;
    cueData->farPlane = cue.farPlane;
    cueData->farDimming = cue.farDimming;
    if (cue.dimBackground && !AddChildChunk3ds(cueChunk, Tag3ds::DimBackground)) return;

    static const uint32_t kEffectTags[] = {0, Tag3ds::UseFog, Tag3ds::UseLayerFog,
                                           Tag3ds::UseDistanceCue};
    PutChoiceChunk3ds(mdata, {Tag3ds::UseFog, Tag3ds::UseLayerFog, Tag3ds::UseDistanceCue},
                      kEffectTags[atmosphere->activeEffect]);
}

// ---- Background ----

void InitBackground3ds(Background3ds** background) { InitRecord3ds(background); }

void ReleaseBackground3ds(Background3ds** background) {
    if (!background) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    FreeRecord3ds(background);
}

void PutBackground3ds(Database3ds* db, const Background3ds* background) {
    if (!db || !background) {
        PushError3ds(ERR_INVALID_ARG);
        return;
    }
    if (background->backgroundInUse < USE_NO_BACKGROUND3DS ||
        background->backgroundInUse > USE_BITMAP_BACKGROUND3DS) {
        PushError3ds(ERR_INVALID_DATA);
        return;
    }
    // 0x1100 holds 12 characters at most; a longer name would make the file unreadable.
    if (!CheckNameLength3ds(background->bitmap, 12)) return;
    Chunk3ds* mdata = SettingsTarget3ds(db, background);
    if (!mdata) return;

    StringData3ds* bitmap = PutChildData3ds<StringData3ds>(mdata, Tag3ds::BitMap);
    if (!bitmap) return;
    bitmap->value = background->bitmap;

    Chunk3ds* solid = nullptr;
    PutChildChunk3ds(mdata, Tag3ds::SolidBackground, &solid);
    if (IsErrorPending3ds() || !solid) return;
    PutColorF3ds(solid, Tag3ds::ColorF, background->solid, true);
    if (IsErrorPending3ds()) return;
    PutColorF3ds(solid, Tag3ds::LinColorF, background->solid, true);
    if (IsErrorPending3ds()) return;

    const GradientBackground3ds& g = background->gradient;
    Chunk3ds* gradient = nullptr;
    FloatData3ds* mid = PutChildData3ds<FloatData3ds>(mdata, Tag3ds::VGradient, &gradient);
    if (!mid) return;
    mid->value = g.midpoint;
    for (const Color3ds* c : {&g.top, &g.middle, &g.bottom}) {
        PutColorF3ds(gradient, Tag3ds::ColorF, *c, true);
        if (IsErrorPending3ds()) return;
        PutColorF3ds(gradient, Tag3ds::LinColorF, *c, true);
        if (IsErrorPending3ds()) return;
    }

    static const uint32_t kUseTags[] = {0, Tag3ds::UseSolidBackground, Tag3ds::UseVGradient,
                                        Tag3ds::UseBitMap};
    PutChoiceChunk3ds(mdata, {Tag3ds::UseBitMap, Tag3ds::UseSolidBackground, Tag3ds::UseVGradient},
                      kUseTags[background->backgroundInUse]);
}

}  // namespace lithoscope

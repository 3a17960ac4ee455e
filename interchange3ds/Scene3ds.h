#pragma once
// 3D Studio toolkit: the scene-wide settings of a mesh file (scale, shadows, ambient light,
// atmosphere, background). Each record has an initialiser that sets its defaults, a put that
// writes it into the editor data (0x3D3D) of a database, and a release. There are no gets.
//
// Also the small chunk helpers the record operations (settings, materials, meshes,
// keyframer) share: database checks, the editor-data chunk, chunks made with their data.
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>

#include "interchange3ds/Chunk3ds.h"
#include "interchange3ds/ChunkData3ds.h"
#include "interchange3ds/Errors3ds.h"

namespace lithoscope {

struct Color3ds {
    float r, g, b;
};

// The member initialisers are the defaults that the Init functions set.
struct MeshSettings3ds {
    float masterScale = 1.0f;
    float shadowBias = 1.0f;         // 0x1400
    float rayTraceBias = 1.0f;       // 0x1460
    uint16_t shadowMapSize = 512;    // 0x1420
    float shadowFilter = 3.0f;       // 0x1450
    Color3ds ambientLight{0.39216f, 0.39216f, 0.39216f};
    Point3ds constantPlane{0, 0, 0}; // 0x1500
};

enum FogFallOff3ds : int { FALLOFF_NONE3DS = 0, FALLOFF_TOP3DS = 1, FALLOFF_BOTTOM3DS = 2 };
enum AtmosphereEffect3ds : int {
    USE_NO_ATMOSPHERE3DS = 0,
    USE_FOG3DS = 1,
    USE_LAYER_FOG3DS = 2,
    USE_DISTANCE_CUE3DS = 3,
};

struct FogSettings3ds {
    float nearPlane = 0, nearDensity = 0, farPlane = 1000.0f, farDensity = 100.0f;
    Color3ds color{0, 0, 0};
    uint8_t fogBackground = 1;
};

struct LayerFogSettings3ds {
    float bottom = 0, top = 100.0f, density = 50.0f;
    Color3ds color{0, 0, 0};
    int fallOff = FALLOFF_NONE3DS;
    uint8_t fogBackground = 1;
};

struct DistanceCueSettings3ds {
    float nearPlane = 0, nearDimming = 0, farPlane = 1000.0f, farDimming = 100.0f;
    uint8_t dimBackground = 1;
};

struct Atmosphere3ds {
    FogSettings3ds fog;
    LayerFogSettings3ds layerFog;
    DistanceCueSettings3ds distanceCue;
    int activeEffect = USE_NO_ATMOSPHERE3DS;
};

// Note the numbering: 1 is the solid colour, 3 the bitmap (not the atmosphere's order).
enum BackgroundUse3ds : int {
    USE_NO_BACKGROUND3DS = 0,
    USE_SOLID_BACKGROUND3DS = 1,
    USE_GRADIENT_BACKGROUND3DS = 2,
    USE_BITMAP_BACKGROUND3DS = 3,
};

struct GradientBackground3ds {
    float midpoint = 0.5f;
    Color3ds top{0, 0, 0}, middle{0, 0, 0}, bottom{0, 0, 0};
};

struct Background3ds {
    std::string bitmap;  // file name; empty for none (at most 12 characters in a file)
    Color3ds solid{0, 0, 0};
    GradientBackground3ds gradient;
    int backgroundInUse = USE_NO_BACKGROUND3DS;
};

void InitMeshSettings3ds(MeshSettings3ds** settings);
// Releases a plain settings record (mesh settings or atmosphere); a null outer pointer
// pushes ERR_INVALID_ARG.
void ReleaseMeshSettings3ds(MeshSettings3ds** settings);
void ReleaseMeshSettings3ds(Atmosphere3ds** settings);
void PutMeshSettings3ds(Database3ds* db, const MeshSettings3ds* settings);

void InitAtmosphere3ds(Atmosphere3ds** atmosphere);
void PutAtmosphere3ds(Database3ds* db, const Atmosphere3ds* atmosphere);

void InitBackground3ds(Background3ds** background);
// A null outer pointer pushes ERR_INVALID_ARG, as for the other settings records.
void ReleaseBackground3ds(Background3ds** background);
void PutBackground3ds(Database3ds* db, const Background3ds* background);

// ---- Helpers shared by the record operations ----

// The initialiser convention: a null outer pointer pushes ERR_INVALID_ARG; a null record is
// allocated (ERR_NO_MEM on failure); an existing one is reset to the defaults. False on error.
template <class T>
bool InitRecord3ds(T** record) {
    if (!record) {
        PushError3ds(ERR_INVALID_ARG);
        return false;
    }
    if (!*record) {
        *record = new (std::nothrow) T();
        if (!*record) {
            PushError3ds(ERR_NO_MEM);
            return false;
        }
    } else {
        **record = T();
    }
    return true;
}
// Frees a record made by InitRecord3ds and nulls the pointer; null does nothing.
template <class T>
void FreeRecord3ds(T** record) {
    if (!record) return;
    std::unique_ptr<T> owner(*record);
    *record = nullptr;
}

// True when db has a top chunk whose tag is one of tops; pushes ERR_INVALID_ARG (null db),
// ERR_INVALID_DATABASE (no top chunk) or ERR_WRONG_DATABASE otherwise.
bool CheckDatabaseTop3ds(Database3ds* db, std::initializer_list<uint32_t> tops);
// The editor data 0x3D3D (depth-first from the top), made and inserted by rank when missing.
Chunk3ds* GetEditorData3ds(Database3ds* db);
// The first child chunk of the tag directly under parent, or null.
Chunk3ds* FindDirectChild3ds(Chunk3ds* parent, uint32_t tag);

// A fresh data block of type T for chunk (replacing any); null with ERR_NO_MEM pushed when
// the tag's layout is not T.
template <class T>
T* MakeDataAs3ds(Chunk3ds* chunk) {
    T* data = dynamic_cast<T*>(AllocChunkData3ds(chunk));
    if (!data && !IsErrorPending3ds()) PushError3ds(ERR_NO_MEM);
    return data;
}
// PutChildChunk3ds of the tag under parent, given fresh data of type T.
// The chunk itself goes to *out when out is given.
template <class T>
T* PutChildData3ds(Chunk3ds* parent, uint32_t tag, Chunk3ds** out = nullptr) {
    Chunk3ds* chunk = nullptr;
    PutChildChunk3ds(parent, tag, &chunk);
    if (IsErrorPending3ds() || !chunk) return nullptr;
    if (out) *out = chunk;
    return MakeDataAs3ds<T>(chunk);
}
// A new chunk of the tag with fresh data of type T, inserted under parent by rank (or
// appended, keeping the order given, when append is set).
template <class T>
T* AddChildData3ds(Chunk3ds* parent, uint32_t tag, bool append = false, Chunk3ds** out = nullptr) {
    Chunk3ds* chunk = nullptr;
    NewChunkTag3ds(&chunk, tag);
    if (IsErrorPending3ds() || !chunk) return nullptr;
    if (out) *out = chunk;
    if (append)
        AppendChildChunk3ds(parent, chunk);
    else
        InsertChildChunk3ds(parent, chunk);
    if (IsErrorPending3ds()) return nullptr;
    return MakeDataAs3ds<T>(chunk);
}
// A new chunk without data (a container or a flag chunk) under parent; null on error.
Chunk3ds* AddChildChunk3ds(Chunk3ds* parent, uint32_t tag, bool append = false);

// Typed data of a chunk, loaded on demand; pushes ERR_INVALID_CHUNK when the chunk has no
// data of that layout.
template <class T>
T* ChunkDataOrError3ds(Chunk3ds* chunk) {
    T* data = ReadChunkDataAs3ds<T>(chunk);
    if (!data && !IsErrorPending3ds()) PushError3ds(ERR_INVALID_CHUNK);
    return data;
}

// Colours and names in and out of chunk data.
void PutColorF3ds(Chunk3ds* parent, uint32_t tag, const Color3ds& color, bool append);
// Copies a name of a chunk into a fixed field of size bytes (NUL included); a longer name
// (only made in memory: a read refuses it) is cut to size - 1 characters and pushes
// ERR_STRING_TOO_LONG with a note naming it.
void CopyName3ds(char* field, size_t size, const std::string& src);
// The name as a field of size bytes holds it: cut to size - 1 characters.
std::string FieldName3ds(const std::string& src, size_t size);
// The text of a fixed field (up to its first NUL, at most size bytes); ERR_STRING_TOO_LONG
// when the field holds no NUL.
std::string FieldText3ds(const char* field, size_t size);

}  // namespace lithoscope

// The palette tile: one extra page with a 3 x 3 swatch per palette entry and a triangle and
// a rectangle texture over each swatch, so that coloured mesh faces become textured ones.
#include <algorithm>
#include <cstring>

#include "level/LevelLog.h"
#include "level/ObjectModel.h"
#include "level/Pixels.h"
#include "level/TrLevel.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"

namespace lithoscope {

namespace {

// Top-left pixel of the swatch of palette entry i.
int SwatchX(int i) { return 3 * (i % 85); }
int SwatchY(int i) { return 3 * (i / 85); }

// Bytes 22 to 24 of a palette tile texture: "PT" and its entry.
constexpr uint8_t kTileMark[2] = {'P', 'T'};
// A coloured face's other colour byte, kept in its effects word: bit 15 and bits 1 to 8.
constexpr uint16_t kEffectsMark = 0x8000;
constexpr uint16_t kEffectsMarkBits = 0x81FE;

void SetCorner(TrObjectTextureRecord& t, int k, uint8_t xCoord, int x, uint8_t yCoord, int y) {
    uint8_t* c = t.corner(k);
    c[0] = xCoord;
    c[1] = uint8_t(x);
    c[2] = yCoord;
    c[3] = uint8_t(y);
}

}  // namespace

void CTrLevel::AddPaletteTile(const uint8_t palette[256][3], const uint8_t palette16[256][4]) {
    // Face texture words hold a 15-bit index: the 512 new textures must fit.
    const size_t base = objectTextures.size();
    if (base + 512 > 0x8000) {
        AppendLogLine("ERROR: too many object textures to add the palette tile", true);
        return;
    }

    pages.emplace_back(kPagePixels, uint16_t(0xFFFF));
    TrPage& page = pages.back();
    const uint16_t pageIndex = uint16_t(pages.size() - 1);
    const bool tr1 = version == TrVersion1;
    uint16_t colours[256];
    PaletteTileColours(*this, colours);
    for (int i = 0; i < 256; ++i)
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                page[size_t(SwatchY(i) + dy) * kPageSide + size_t(SwatchX(i) + dx)] = colours[i];

    // 256 triangle textures, then 256 rectangle textures, one of each per entry.
    objectTextures.reserve(base + 512);
    for (int shape = 0; shape < 2; ++shape) {
        for (int k = 0; k < 256; ++k) {
            const int x = SwatchX(k), y = SwatchY(k);
            TrObjectTextureRecord t;
            t.setU16(2, pageIndex);
            SetCorner(t, 0, 1, x, 1, y);
            SetCorner(t, 1, 255, x + 2, 1, y);
            SetCorner(t, 2, 255, x + 2, 255, y + 2);
            if (shape == 1) SetCorner(t, 3, 1, x, 255, y + 2);
            t.setU8(22, kTileMark[0]);
            t.setU8(23, kTileMark[1]);
            t.setU8(24, uint8_t(k));
            objectTextures.push_back(t);
        }
    }

    // Tomb Raider I keeps the palette index in the colour word's low byte, II and III in
    // its high byte (the 16-bit palette).
    auto entryOf = [tr1](uint16_t colourWord) {
        return tr1 ? (colourWord & 0xFF) : (colourWord >> 8);
    };
    for (auto& mesh : meshes) {
        if (!mesh) continue;
        // The colour word's other byte waits in the face's effects word for the save, which
        // makes the face coloured again: bit 15 set, the byte in bits 1 to 8 (bit 0, the
        // intensity-alpha bit, stays clear).
        auto keep = [tr1](uint16_t colourWord) {
            return uint16_t(kEffectsMark | ((tr1 ? colourWord >> 8 : colourWord & 0xFF) << 1));
        };
        for (TrMeshRectangle r : mesh->colouredRectangles) {
            r.setEffects(keep(r.texture()));
            r.setTexture(uint16_t(base + 256 + entryOf(r.texture())));
            mesh->texturedRectangles.push_back(r);
        }
        for (TrMeshTriangle t : mesh->colouredTriangles) {
            t.setEffects(keep(t.texture()));
            t.setTexture(uint16_t(base + entryOf(t.texture())));
            mesh->texturedTriangles.push_back(t);
        }
        std::vector<TrMeshRectangle>().swap(mesh->colouredRectangles);
        std::vector<TrMeshTriangle>().swap(mesh->colouredTriangles);
    }
}

void PaletteTileColours(const CTrLevel& level, uint16_t out[256]) {
    if (level.version == TrVersion1) {
        Tr1EntryColours(level.palette, out);
        return;
    }
    for (int i = 0; i < 256; ++i)
        out[i] = uint16_t(((level.palette16[i][0] >> 3) << 10) | ((level.palette16[i][1] >> 3) << 5) |
                          (level.palette16[i][2] >> 3) | 0x8000);
}

int PaletteTileEntry(const TrObjectTextureRecord& texture) {
    if (texture.u8(22) != kTileMark[0] || texture.u8(23) != kTileMark[1]) return -1;
    return texture.u8(24);
}

namespace {

// The texel of an object's page (16 or 32 bits a pixel) as ARGB1555; 0 outside it.
uint16_t ObjectTexel(const CTrObjGfx& object, int x, int y) {
    if (x < 0 || y < 0 || uint32_t(x) >= object.width || uint32_t(y) >= object.height) return 0;
    const size_t bytes = object.bitsPerPixel / 8;
    const size_t i = (size_t(y) * object.width + size_t(x)) * bytes;
    if (bytes < 2 || i + bytes > object.pixels.size()) return 0;
    const uint8_t* p = &object.pixels[i];
    if (bytes == 2) return GetU16(p);
    return uint16_t(((p[2] >> 3) << 10) | ((p[1] >> 3) << 5) | (p[0] >> 3) | (p[3] >= 128 ? 0x8000 : 0));
}

// The swatch entry a face of the object shows, or -1 when it shows anything else.
int SwatchOf(const CTrLstMsh& object, uint16_t word, int corners, const uint16_t colours[256]) {
    const size_t index = word & 0x7FFF;
    if (index >= object.textures.size()) return -1;
    const TrObjectTextureRecord& t = object.textures[index];
    const int entry = PaletteTileEntry(t);
    // A coloured face can't hold a blending mode (intensity alpha): such a face stays textured.
    if (entry < 0 || t.attributes() != 0) return -1;
    const int band = (t.page() & 0xFF) * 256;
    int x0 = 255, x1 = 0, y0 = 255, y1 = 0;
    for (int k = 0; k < corners; ++k) {
        x0 = std::min<int>(x0, t.corner(k)[1]);
        x1 = std::max<int>(x1, t.corner(k)[1]);
        y0 = std::min<int>(y0, t.corner(k)[3]);
        y1 = std::max<int>(y1, t.corner(k)[3]);
    }
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            if (ObjectTexel(object, x, band + y) != colours[entry]) return -1;
    return entry;
}

template <class Face>
void Recolour(const CTrLstMsh& object, std::vector<Face>& textured, std::vector<Face>& coloured,
              bool tr1, const uint16_t colours[256], const uint8_t palette[256][3],
              const uint8_t palette16[256][4]) {
    std::vector<Face> keep;
    keep.reserve(textured.size());
    for (Face f : textured) {
        const int entry = SwatchOf(object, f.texture(), Face::kCorners, colours);
        if (entry < 0) {
            keep.push_back(f);
            continue;
        }
        // The word it was loaded with, or for a face that was never coloured the entry (and
        // for Tomb Raider II and III the 8-bit entry nearest to it).
        uint16_t other = 0;
        if (f.effects() & kEffectsMark)
            other = uint16_t((f.effects() >> 1) & 0xFF);
        else if (!tr1)
            other = uint16_t(FindNearestPaletteEntry(palette, palette16[entry][0], palette16[entry][1],
                                                     palette16[entry][2]));
        const uint16_t word = tr1 ? uint16_t(other << 8 | entry) : uint16_t(entry << 8 | other);
        f.setTexture(word);
        f.setEffects(0);
        coloured.push_back(f);
    }
    textured = std::move(keep);
}

template <class Face>
void ClearFaceMarks(const CTrLstMsh& object, std::vector<Face>& faces) {
    for (Face& f : faces) {
        const size_t t = f.texture() & 0x7FFF;
        if (!(f.effects() & kEffectsMark) || t >= object.textures.size() ||
            PaletteTileEntry(object.textures[t]) < 0)
            continue;
        f.setEffects(uint16_t(f.effects() & ~kEffectsMarkBits));
    }
}

// Every object of the level that has meshes.
template <class F>
void ForEachMeshObject(CTrLevel& level, F f) {
    for (auto& m : level.moveableList)
        if (m) f(*m);
    for (auto& s : level.staticMeshList)
        if (s) f(*s);
    if (level.zeroMesh) f(*level.zeroMesh);
}

}  // namespace

void ClearPaletteTileFaceMarks(CTrLevel& level) {
    ForEachMeshObject(level, [](CTrLstMsh& object) {
        for (TrMeshRecord& m : object.meshes) {
            ClearFaceMarks(object, m.texturedRectangles);
            ClearFaceMarks(object, m.texturedTriangles);
        }
    });
}

void ClearPaletteTileMark(TrObjectTextureRecord& texture) {
    if (PaletteTileEntry(texture) < 0) return;
    for (size_t i = 22; i <= 24; ++i) texture.setU8(i, 0);
}

void RestoreColouredFaces(CTrLevel& level) {
    if (level.version == TrVersion4) return;
    uint16_t colours[256];
    PaletteTileColours(level, colours);
    const bool tr1 = level.version == TrVersion1;
    auto restore = [&](CTrLstMsh& object) {
        for (TrMeshRecord& m : object.meshes) {
            if (m.dummy) continue;
            Recolour(object, m.texturedRectangles, m.colouredRectangles, tr1, colours, level.palette,
                     level.palette16);
            Recolour(object, m.texturedTriangles, m.colouredTriangles, tr1, colours, level.palette,
                     level.palette16);
        }
    };
    ForEachMeshObject(level, restore);
}

}  // namespace lithoscope

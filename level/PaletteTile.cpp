// The palette tile: one extra page with a 3 x 3 swatch per palette entry and a triangle and
// a rectangle texture over each swatch, so that coloured mesh faces become textured ones.
#include <cstring>

#include "level/LevelLog.h"
#include "level/TrLevel.h"

namespace lithoscope {

namespace {

// Top-left pixel of the swatch of palette entry i.
int SwatchX(int i) { return 3 * (i % 85); }
int SwatchY(int i) { return 3 * (i / 85); }

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
    uint16_t tr1Colours[256];
    if (tr1) Tr1EntryColours(palette, tr1Colours);
    for (int i = 0; i < 256; ++i) {
        uint16_t colour;
        if (tr1)
            colour = tr1Colours[i];
        else
            colour = uint16_t(((palette16[i][0] >> 3) << 10) | ((palette16[i][1] >> 3) << 5) |
                              (palette16[i][2] >> 3) | 0x8000);
        for (int dy = 0; dy < 3; ++dy)
            for (int dx = 0; dx < 3; ++dx)
                page[size_t(SwatchY(i) + dy) * kPageSide + size_t(SwatchX(i) + dx)] = colour;
    }

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
        for (TrMeshRectangle r : mesh->colouredRectangles) {
            r.setTexture(uint16_t(base + 256 + entryOf(r.texture())));
            mesh->texturedRectangles.push_back(r);
        }
        for (TrMeshTriangle t : mesh->colouredTriangles) {
            t.setTexture(uint16_t(base + entryOf(t.texture())));
            mesh->texturedTriangles.push_back(t);
        }
        std::vector<TrMeshRectangle>().swap(mesh->colouredRectangles);
        std::vector<TrMeshTriangle>().swap(mesh->colouredTriangles);
    }
}

}  // namespace lithoscope

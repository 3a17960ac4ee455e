#pragma once
// The caption font of the 3D view: bitmaps of the GUI font for the characters 32 to 127,
// made once per process and put into display lists of the current GL context (glXUseXFont
// is not reliable on Mesa).
#include <cstdint>
#include <vector>

namespace lithoscope {

constexpr unsigned kFontListBase = 10000;
constexpr unsigned kFontFirstChar = 32;
constexpr unsigned kFontCharCount = 96;

struct GlGlyph {
    int width = 0, height = 0;  // bitmap size in pixels
    int originY = 0;            // rows below the baseline
    int advance = 0;
    std::vector<uint8_t> bits;  // rows bottom first, most significant bit first, byte aligned
};

// The glyphs of characters 32 to 127 (rasterised on first use).
const std::vector<GlGlyph>& CaptionGlyphs();
// Display lists kFontListBase .. + 95 in the current context.
void MakeFontLists();

}  // namespace lithoscope

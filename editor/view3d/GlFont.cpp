#include "editor/view3d/GlFont.h"

#include <GL/gl.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/settings.h>

namespace lithoscope {

namespace {

// Every glyph drawn side by side into one bitmap, then cut out of its picture.
std::vector<GlGlyph> Rasterise() {
    std::vector<GlGlyph> glyphs(kFontCharCount);
    wxBitmap probe(8, 8, 24);
    wxMemoryDC dc(probe);
    if (!dc.IsOk()) return glyphs;
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    wxCoord descent = 0, height = 0;
    dc.GetTextExtent("Mg", nullptr, &height, &descent);
    std::vector<int> left(kFontCharCount, 0);
    int total = 0;
    for (unsigned i = 0; i < kFontCharCount; ++i) {
        wxCoord w = 0;
        dc.GetTextExtent(wxString(wxUniChar(kFontFirstChar + i)), &w, nullptr);
        glyphs[i].advance = int(w);
        glyphs[i].width = std::min<int>(int(w), 64);
        glyphs[i].height = std::min<int>(int(height), 64);
        glyphs[i].originY = int(descent);
        left[i] = total;
        total += glyphs[i].width + 2;
    }
    if (total <= 0 || height <= 0) return glyphs;
    wxBitmap strip(total, int(height), 24);
    dc.SelectObject(strip);
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.Clear();
    dc.SetTextForeground(*wxWHITE);
    for (unsigned i = 1; i < kFontCharCount; ++i)
        dc.DrawText(wxString(wxUniChar(kFontFirstChar + i)), left[i], 0);
    dc.SelectObject(wxNullBitmap);
    const wxImage image = strip.ConvertToImage();
    for (unsigned i = 0; i < kFontCharCount; ++i) {
        GlGlyph& g = glyphs[i];
        if (i == 0 || g.width <= 0 || g.height <= 0) {
            g.width = g.height = 0;  // the space only moves on
            continue;
        }
        const int stride = (g.width + 7) / 8;
        g.bits.assign(size_t(stride) * size_t(g.height), 0);
        for (int row = 0; row < g.height; ++row) {
            const int y = g.height - 1 - row;  // GL bitmaps start at the bottom row
            for (int x = 0; x < g.width; ++x)
                if (image.GetRed(left[i] + x, y) > 127)
                    g.bits[size_t(row) * size_t(stride) + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        }
    }
    return glyphs;
}

}  // namespace

const std::vector<GlGlyph>& CaptionGlyphs() {
    static const std::vector<GlGlyph> glyphs = Rasterise();
    return glyphs;
}

void MakeFontLists() {
    const std::vector<GlGlyph>& glyphs = CaptionGlyphs();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    static const GLubyte kNone = 0;
    for (unsigned i = 0; i < kFontCharCount; ++i) {
        const GlGlyph& g = glyphs[i];
        glNewList(kFontListBase + i, GL_COMPILE);
        glBitmap(g.width, g.height, 0.0f, float(g.originY), float(g.advance), 0.0f,
                 g.bits.empty() ? &kNone : g.bits.data());
        glEndList();
    }
}


}  // namespace lithoscope

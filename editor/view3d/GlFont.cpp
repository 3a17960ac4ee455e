#include "editor/view3d/GlFont.h"

#include <GL/gl.h>

#include <wx/bitmap.h>
#include <wx/dcmemory.h>
#include <wx/image.h>
#include <wx/settings.h>

namespace lithoscope {

namespace {

std::vector<GlGlyph> Rasterise() {
    std::vector<GlGlyph> glyphs(kFontCharCount);
    wxBitmap bitmap(64, 64, 24);
    wxMemoryDC dc(bitmap);
    if (!dc.IsOk()) return glyphs;
    dc.SetFont(wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT));
    dc.SetBackground(*wxBLACK_BRUSH);
    dc.SetTextForeground(*wxWHITE);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
    wxCoord descent = 0, height = 0;
    dc.GetTextExtent("Mg", nullptr, &height, &descent);
    for (unsigned i = 0; i < kFontCharCount; ++i) {
        const wxString text(wxUniChar(kFontFirstChar + i));
        wxCoord w = 0, h = 0;
        dc.GetTextExtent(text, &w, &h);
        GlGlyph& g = glyphs[i];
        g.advance = int(w);
        g.width = std::min<int>(int(w), 64);
        g.height = std::min<int>(int(height), 64);
        g.originY = int(descent);
        if (g.width <= 0 || g.height <= 0 || i == 0) {
            g.width = g.height = 0;
            continue;
        }
        dc.Clear();
        dc.DrawText(text, 0, 0);
        dc.SelectObject(wxNullBitmap);
        const wxImage image = bitmap.ConvertToImage();
        dc.SelectObject(bitmap);
        const int stride = (g.width + 7) / 8;
        g.bits.assign(size_t(stride) * size_t(g.height), 0);
        for (int row = 0; row < g.height; ++row) {
            const int y = g.height - 1 - row;  // GL bitmaps start at the bottom row
            for (int x = 0; x < g.width; ++x)
                if (image.GetRed(x, y) > 127)
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

void DeleteFontLists() { glDeleteLists(kFontListBase, kFontCharCount); }

}  // namespace lithoscope

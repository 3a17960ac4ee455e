#include "editor/panes/EditTile.h"

#include <cerrno>
#include <cstdio>

#include <wx/dcclient.h>
#include <wx/image.h>
#include <wx/scrolwin.h>
#include <wx/sizer.h>
#include <wx/utils.h>

#include "editor/common/EditorMessages.h"
#include "editor/tree/NodeHandlers.h"
#include "level/Pixels.h"
#include "level/TrRecords.h"
#include "platform/Messages.h"

namespace lithoscope {

namespace {
constexpr int kPictureAt = 7;
}  // namespace

CEditTile::CEditTile(wxWindow* parent) : CEditPaneBase(parent, EditPaneTile) {
    m_pCanvas = new wxScrolledCanvas(this, wxID_ANY);
    m_pCanvas->SetScrollRate(10, 10);
    m_pCanvas->SetVirtualSize(270, 270);
    m_pCanvas->Bind(wxEVT_PAINT, &CEditTile::OnPaint, this);
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(m_pCanvas, 1, wxEXPAND);
    SetSizer(sizer);
}

CEditTile::~CEditTile() { ReleaseResources(); }

void CEditTile::SetHandle(CHandleBase* node) {
    ReleaseResources();
    m_pNode = node;
    m_pCanvas->Refresh(true);
}

void CEditTile::ReleaseResources() {
    m_bitmap = wxNullBitmap;
    m_pNode = nullptr;
}

void CEditTile::ForgetHandle(CHandleBase* node) {
    if (node && node == m_pNode) m_pNode = nullptr;
}

bool CEditTile::BuildPicture() {
    auto* tile = dynamic_cast<CHandleTile*>(m_pNode);
    if (!tile || !tile->GetObject()) return false;
    wxBusyCursor wait;
    std::vector<uint8_t> inflated;
    const uint8_t* pixels = nullptr;
    int bits = 16;
    uint32_t rows = 256;
    if (tile->m_nTileKind == 0) {
        pixels = static_cast<const uint8_t*>(tile->GetObject());
    } else {
        const bool is32 = tile->m_nTileKind == 1;
        bits = is32 ? 32 : 16;
        const auto* chunk = static_cast<const TrPackedChunk*>(tile->GetObject());
        rows = 0;
        if (DecompressChunk(*chunk, is32, inflated, &rows) != 0 || rows == 0 ||
            inflated.size() < size_t(rows) * 256 * size_t(bits / 8))
            return false;
        pixels = inflated.data();
    }
    std::vector<uint8_t> bgra(size_t(rows) * 256 * 4);
    ConvertPageToBgra(pixels, 256, int(rows), bits, nullptr, bgra.data(), false);
    wxImage image(256, int(rows), false);
    if (image.IsOk()) {
        unsigned char* rgb = image.GetData();
        for (size_t i = 0; i < size_t(rows) * 256; ++i) {
            rgb[3 * i + 0] = bgra[4 * i + 2];
            rgb[3 * i + 1] = bgra[4 * i + 1];
            rgb[3 * i + 2] = bgra[4 * i + 0];
        }
        m_bitmap = wxBitmap(image);
    }
    if (!image.IsOk() || !m_bitmap.IsOk()) {
        m_bitmap = wxNullBitmap;
        char text[96];
        std::snprintf(text, sizeof text, "Can't create DIB Section (error %ld)", long(errno));
        ShowError(text);
        return false;
    }
    m_pCanvas->SetVirtualSize(270, tile->m_nTileKind == 0 ? 270 : int(rows) + 14);
    return true;
}

void CEditTile::OnPaint(wxPaintEvent&) {
    wxPaintDC dc(m_pCanvas);
    m_pCanvas->DoPrepareDC(dc);
    if (!m_bitmap.IsOk() && m_pNode && !BuildPicture()) return;
    if (m_bitmap.IsOk()) dc.DrawBitmap(m_bitmap, kPictureAt, kPictureAt, false);
}

}  // namespace lithoscope

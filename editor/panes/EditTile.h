#pragma once
// The tile pane: texture pixels held by the level (a 16-bit page, or a packed chunk of
// 32-bit or 16-bit pages) shown as a picture at (7, 7), scrolled when taller than the pane.
#include <wx/bitmap.h>
#include <wx/scrolwin.h>

#include "editor/panes/EditPane.h"

namespace lithoscope {

class CEditTile : public CEditPaneBase {
public:
    explicit CEditTile(wxWindow* parent);
    ~CEditTile() override;

    // Releases the picture, keeps the node and redraws (the picture is made at the next draw).
    void SetHandle(CHandleBase* node) override;
    void ReleaseResources() override;
    void ForgetHandle(CHandleBase* node) override;

    CHandleBase* GetNode() const { return m_pNode; }
    // The picture, once drawn (null bitmap before).
    const wxBitmap& GetPicture() const { return m_bitmap; }
    // Makes the picture from the node's pixels now; false when there is none.
    bool BuildPicture();

private:
    void OnPaint(wxPaintEvent& event);

    CHandleBase* m_pNode = nullptr;
    wxBitmap m_bitmap;
    wxScrolledCanvas* m_pCanvas = nullptr;
};

}  // namespace lithoscope

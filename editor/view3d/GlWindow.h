#pragma once
// The 3D view of a graphic edit pane: a GL canvas with its camera, up to two display items
// and the textures made from the objects' pages.
#include <cstdint>
#include <memory>
#include <vector>

#include <wx/glcanvas.h>

#include "editor/view3d/ViewCamera.h"

namespace lithoscope {

class CTrLstMsh;
struct TrMeshRecord;

enum GlObjectKind : int { GlKindMesh = 1, GlKindStaticMesh = 2, GlKindMoveable = 3, GlKindSprites = 6 };

// One drawable object (not owned) with its GL texture names (owned by the window).
struct GlObjectRef {
    std::vector<uint32_t> textureNames;
    int kind = GlKindMesh;
    CTrLstMsh* object = nullptr;
    bool visible = false;
};

struct GlDisplayItem {
    bool primary = false;
    GlObjectRef main;
    GlObjectRef associated;
};

class COpenGLWnd : public wxGLCanvas {
public:
    explicit COpenGLWnd(wxWindow* parent);
    ~COpenGLWnd() override;

    // Count 1 or 2 (more are cut to 2); keepTextures keeps the uploaded pages.
    void SetDisplayItems(const GlDisplayItem* items, uint32_t count, bool keepTextures, int subIndex);
    void FitCameraToBox(float minX, float maxX, float minY, float maxY, float minZ, float maxZ, bool flat);
    void ReleaseTextures();
    void SetBackgroundColor(uint32_t rgb) { background_ = rgb; }
    void SetShowAxis(bool show) { showAxis_ = show; }
    // Draws one frame; false when nothing could be drawn (no context, no object, saving).
    bool RenderFrame(bool swap = true);
    // Vertex of the shown mesh under window point (x, y), -1 for none.
    int PickVertex(int x, int y);
    void SetShowVertices(bool show) { showVertices_ = show; }

    CViewCamera& Camera() { return camera_; }
    float FramesPerSecond() const { return framesPerSecond_; }
    float FitScale() const { return fitScale_; }
    uint32_t DisplayItemCount() const { return itemCount_; }
    int SelectedVertex() const { return selectedVertex_; }

private:
    bool MakeCurrent();
    void UploadTextures(GlObjectRef& ref);
    void SetUpView();
    void DrawMesh(GlObjectRef& ref, int meshIndex);
    void DrawFaces(GlObjectRef& ref, const TrMeshRecord& mesh, bool rectangles, int pass);
    void DrawVertexPoints(const TrMeshRecord& mesh);
    void OnPaint(wxPaintEvent& event);

    std::unique_ptr<wxGLContext> context_;
    GlDisplayItem items_[2];
    uint32_t itemCount_ = 0;
    int subIndex_ = 0;
    int lastTexture_ = -1;
    float fitScale_ = 1.0f;
    uint32_t background_ = 0;
    bool showAxis_ = false;
    bool showVertices_ = false;
    bool picking_ = false;
    int selectedVertex_ = -1;
    float framesPerSecond_ = 1.0f;
    int64_t lastTickMs_ = -1;
    CViewCamera camera_;
};

}  // namespace lithoscope

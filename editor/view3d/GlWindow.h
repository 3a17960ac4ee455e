#pragma once
// The 3D view of a graphic edit pane: a GL canvas with its camera, up to two display items,
// the textures made from the objects' pages, the caption font, the display flags of the
// toolbox pages and the playback of moveable animations.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/glcanvas.h>

#include "editor/common/ToolboxInterfaces.h"
#include "editor/view3d/ViewCamera.h"

namespace lithoscope {

class CAnimMgr;
class CAnimTrack;
class CTrLstMsh;
class CTrLstSpr;
class CTrMvb;
class CTrObjGfx;
class CTrStatMsh;
struct TrMeshRecord;
struct TrObjectTextureRecord;
struct TrSpriteFrameRecord;

enum GlObjectKind : int { GlKindMesh = 1, GlKindStaticMesh = 2, GlKindMoveable = 3, GlKindSprites = 6 };

// One drawable object (not owned) with its GL texture names (owned by the window).
struct GlObjectRef {
    std::vector<uint32_t> textureNames;  // one per 256-row page
    bool uploaded = false;               // textures made (an object without pixels has none)
    int kind = GlKindMesh;
    CTrObjGfx* object = nullptr;
    bool visible = false;

    // The object as the class its kind stands for; null for another kind or no object.
    CTrLstMsh* MeshList() const;
    CTrStatMsh* StaticMesh() const;
    CTrMvb* Moveable() const;
    CTrLstSpr* Sprites() const;
};

struct GlDisplayItem {
    bool primary = false;  // its animation state is the one the toolbox shows
    GlObjectRef main;
    GlObjectRef associated;  // drawn with it (the moveable whose meshes it uses), or none
};

// The six flags of the mesh toolbox.
struct GlDisplayFlags {
    bool showCollisionSphere = false;
    bool showVertices = false;  // also allows picking a vertex
    bool showVisibilityBox = false;
    bool visibilityBoxEdit = false;
    bool showCollisionBox = false;
    bool collisionBoxEdit = false;
};

constexpr int kGlWindowId = 12302;

// How the sprite list is shown: animated (one after the other) or side by side in rows.
struct SpriteDisplayValues {
    bool animated = true;
    float spriteRate = 20.0f;
    bool border = false;
    float rowWidth = 256.0f;
};

class COpenGLWnd : public wxGLCanvas, public ITlboxSpriteDisplay {
public:
    COpenGLWnd(wxWindow* parent, const wxPoint& pos = wxDefaultPosition,
               const wxSize& size = wxDefaultSize);
    ~COpenGLWnd() override;

    // False when no pixel format could be had: nothing is ever drawn.
    bool HasContext() const { return context_ != nullptr; }

    // ---- what to draw ----
    // Count 1 or 2; keepTextures keeps the uploaded pages (for items given back as they
    // are); subIndex: the mesh shown of a mesh list, -1 for all. Stops playback and fits
    // the camera to the objects.
    void SetDisplayItems(const GlDisplayItem* items, uint32_t count, bool keepTextures, int subIndex);
    // Sprite sequences: fitted flat to the first sprite; the camera becomes manual.
    void SetSpriteDisplayItems(const GlDisplayItem* items, uint32_t count, bool keepTextures);
    void FitCameraToBox(float minX, float maxX, float minY, float maxY, float minZ, float maxZ,
                        bool flat);
    // Shows the same items again with the camera fitted anew (double click).
    void ResetView();
    void ReleaseTextures();
    // Visible flags of item index (moveable Main page).
    void SetItemOptions(uint32_t index, bool mainVisible, bool associatedVisible);
    uint32_t DisplayItemCount() const { return itemCount_; }
    const GlDisplayItem& DisplayItem(uint32_t i) const { return items_[i < 2 ? i : 0]; }
    int SubIndex() const { return subIndex_; }

    // ---- settings of the run ----
    void SetAutoCamera(bool on);
    bool GetAutoCamera() const { return autoCamera_; }
    void SetShowAxis(bool show) { showAxis_ = show; }
    bool GetShowAxis() const { return showAxis_; }
    void SetBackgroundColor(uint32_t rgb) { background_ = rgb; }  // 0x00BBGGRR
    uint32_t GetBackgroundColor() const { return background_; }
    // At most 255 characters are kept; null changes nothing.
    void SetCaption(const char* text);
    const std::string& GetCaption() const { return caption_; }

    // ---- flags set by the toolbox pages ----
    GlDisplayFlags& DisplayFlags() { return flags_; }
    void SetShowBoundingBox(bool on) { showBoundingBox_ = on; }  // while playing
    bool GetShowBoundingBox() const { return showBoundingBox_; }
    void SetAutomaticPlayback(bool on) { automaticPlayback_ = on; }
    bool GetAutomaticPlayback() const { return automaticPlayback_; }
    void SetInterpolate(bool on) { interpolate_ = on; }
    bool GetInterpolate() const { return interpolate_; }
    // Sprite display values: animated mode, sprites per second, outline, row width.
    const SpriteDisplayValues& SpriteDisplay() const { return sprite_; }
    void SetSpriteDisplayMode(bool animated) override { sprite_.animated = animated; }
    void SetSpriteRate(float perSecond) override { sprite_.spriteRate = perSecond; }
    void SetSpriteBorder(bool on) override { sprite_.border = on; }
    void SetSpriteRowWidth(float width) override { sprite_.rowWidth = width; }

    // ---- animation playback (moveables); the state goes to the moveable toolbox ----
    // index -1 stops; else every shown moveable plays its animation index from frame 0.
    void StartAnimPlayback(int index);
    void SetAnimFrame(int frame);
    void SetAnimKey(int key);
    void SetAnimFraction(float value);
    // Moves every shown moveable on by steps / 30 of a frame times its speed.
    void StepAnimation(int steps);
    // x from 0 to 1: speeds 0 to 1 below 0.5, then 1 to 3.5.
    void SetReplaySpeed(float x);
    void SetChainAnimations(bool chain, bool restart);
    bool IsPlaying() const { return playing_; }
    int CurrentAnimation() const { return currentAnim_; }
    bool GetChainAnimations() const { return chain_; }
    float ReplaySpeedForNewItems() const { return replaySpeed_; }
    // The moveable toolbox of the window's child frame, when it has that interface.
    ITlboxMoveableItfAnim* AnimToolbox() const;

    // ---- frames ----
    // Draws one frame; false when nothing could be drawn (no context, no object, saving).
    // While a level is saved the window shows the last frame it drew.
    bool RenderFrame(bool swap = true);
    void ResetFrameClock();
    float FramesPerSecond() const { return framesPerSecond_; }
    float FitScale() const { return fitScale_; }
    CViewCamera& Camera() { return camera_; }
    // Frames drawn since the window was made.
    uint64_t FrameCount() const { return frameCount_; }
    // A save starts: every view on screen keeps a picture of what it shows now (drawn anew,
    // playback and camera standing still), to show while the level's objects are saved.
    static void KeepLastFrames();

    // ---- input (window coordinates) ----
    void BeginRotate(int flags, int x, int y);
    void EndRotate() { rotating_ = false; }
    void TrackMouse(int flags, int x, int y);
    void BeginPan(int flags, int x, int y);
    void EndPan() { panning_ = false; }
    bool IsDragging() const { return rotating_ || panning_; }
    // Signed 16-bit wheel amount.
    void Zoom(int delta);
    // Camera keys of the key-state service (while Caps Lock is held); true when it moved.
    bool PollKeyboardCamera();
    void DollyCamera(float amount);
    // Vertex of the shown mesh under the point (selected, -1 for none).
    int PickVertex(int x, int y);
    int SelectedVertex() const { return selectedVertex_; }
    void ClearSelectedVertex() { selectedVertex_ = -1; }
    // Adds delta to the selected vertex's light (at most 8192); meshes with normals keep theirs.
    // True when the selected vertex's light changed.
    bool ChangeSelectedVertexShade(int delta);

private:
    // Every window that exists, for KeepLastFrames.
    static std::vector<COpenGLWnd*>& LiveWindows();
    bool MakeCurrent();
    void MeasureFrame();
    void UploadItemTextures(GlDisplayItem& item);
    void UploadTextures(GlObjectRef& ref);
    void LoadView(bool picking, int pickX, int pickY);
    void OnPaint(wxPaintEvent& event);
    // Calls f with each shown moveable that has animations, its item and its manager.
    void ForEachMoveable(const std::function<void(GlDisplayItem&, CTrMvb&, CAnimMgr&)>& f);

    // Drawing of level objects (GlDraw.cpp).
    void DrawDisplayItem(GlDisplayItem& item);
    void DrawMesh(GlObjectRef& ref, int meshIndex, bool sphere, bool wireframe, bool vertices,
                  bool suppressDummy);
    void DrawFaces(GlObjectRef& ref, const TrMeshRecord& mesh, bool rectangles, int pass,
                   bool wireframe);
    void DrawTexturedFace(GlObjectRef& ref, const TrMeshRecord& mesh,
                          const TrObjectTextureRecord& texture, const uint16_t* corners,
                          int cornerCount, bool translucent, bool wireframe);
    void BindPage(GlObjectRef& ref, int page);
    void DrawVertexPoints(const TrMeshRecord& mesh);
    void DrawBox(const CVector3& min, const CVector3& max, float r, float g, float b);
    void DrawMoveable(GlDisplayItem& item);
    void DrawSprites(GlObjectRef& ref);
    void DrawSprite(GlObjectRef& ref, const TrSpriteFrameRecord& sprite, bool fromOrigin);
    void DrawCaption(int width, int height);
    // The last frame (GlLastFrame.cpp): drawn into the back buffer and copied when a save
    // starts, shown while frames can't be drawn, so that the window never shows what
    // another window left on the screen.
    void KeepLastFrame();
    // Draws the shown items into the back buffer; false when there is nothing to draw.
    bool DrawItems();
    void ShowLastFrame(bool swap);
    void ReleaseLastFrame();

    // Playback (GlPlayback.cpp).
    void PlaybackStep(GlDisplayItem& item);
    void ReportTrack(ITlboxMoveableItfAnim& toolbox, const CAnimTrack& track, bool value);
    void ReportAnimation(ITlboxMoveableItfAnim& toolbox, const CTrMvb& moveable);

    wxGLContext* context_ = nullptr;  // shared by every view, never freed
    bool showAxis_ = false;
    uint32_t background_ = 0xC0C0C0;
    uint32_t lastTexture_ = 0;  // GL name bound last, 0 for none
    uint32_t itemCount_ = 0;
    GlDisplayItem items_[2];
    GlDisplayFlags flags_;
    int subIndex_ = 0;
    float fitScale_ = 1.0f;
    bool showBoundingBox_ = false;
    int64_t lastCounterNs_ = 0;  // 0: no frame since the clock was reset
    float framesPerSecond_ = 1.0f;
    uint64_t frameCount_ = 0;
    CViewCamera camera_;
    bool autoCamera_ = true;
    bool picking_ = false;
    int selectedVertex_ = -1;
    bool automaticPlayback_ = true;
    bool playing_ = false;
    bool chain_ = false;
    bool interpolate_ = true;
    bool refreshPending_ = false;
    bool still_ = false;  // a frame drawn for the last-frame picture: playback stands
    int currentAnim_ = 0;
    float replaySpeed_ = 1.0f;
    SpriteDisplayValues sprite_;
    bool rotating_ = false;
    int rotateX_ = 0, rotateY_ = 0;
    bool panning_ = false;
    int panX_ = 0, panY_ = 0;
    int viewportWidth_ = 1, viewportHeight_ = 1;
    std::string caption_;
    std::vector<CMatrix4> meshMatrices_;  // scratch of DrawMoveable
    uint32_t lastFrame_ = 0;  // GL texture of the last frame, 0 for none
    int lastFrameWidth_ = 0, lastFrameHeight_ = 0;  // what it holds
    int lastFrameTexWidth_ = 0, lastFrameTexHeight_ = 0;  // its size (powers of two)
};

// Has the GL driver build the shared context and its drawing state in a one-pixel window of
// parent that goes again, so the first view shows at once. Does nothing when the display has
// no suitable GL (the first view then says so) or the context exists already.
void WarmUpOpenGL(wxWindow* parent);

}  // namespace lithoscope

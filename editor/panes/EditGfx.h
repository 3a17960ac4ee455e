#pragma once
// The graphic edit panes: a mesh, a moveable or a sprite sequence in a 3D view. Each owns
// one COpenGLWnd, builds the display items for it, binds its toolbox to the node and, at
// every idle tick, polls the keys, advances the view and ticks the toolbox.
#include <cstdint>

#include "editor/panes/EditPane.h"

namespace lithoscope {

class COpenGLWnd;
class ITlboxSpriteDisplay;

class CEditGfxBase : public CEditPaneBase {
public:
    CEditGfxBase(wxWindow* parent, int kind);
    ~CEditGfxBase() override;

    // Keeps the node, makes the 3D window on the first node, shows the node's object.
    void SetHandle(CHandleBase* node) override;
    void ReleaseTextures() override;
    // Forgets the node and frees the 3D window.
    void ReleaseResources() override;
    void ForgetHandle(CHandleBase* node) override;
    bool Tick() override;
    void SetBackgroundColor(uint32_t rgb) override;
    void SetAutomaticCamera(bool automatic) override;
    void SetShowAxis(bool show) override;

    virtual void ShowObject() {}
    // Idle step with the window's frame rate.
    virtual void Animate(float framesPerSecond) {}
    // The toolbox view of the pane's kind in the pane's child frame, or null.
    IPaneToolbox* GetToolbox() const;

    // Redraw without erasing (the toolbox pages call it after each change).
    void InvalidateView();
    COpenGLWnd* GetGlWindow() const { return m_pGlWnd; }
    CHandleBase* GetNode() const { return m_pNode; }
    bool IsCreated() const { return m_bCreated; }

    // The display flags of the mesh toolbox; each redraws the view.
    void SetShowCollisionSphere(bool on);
    // Off also clears the selected vertex.
    void SetShowVertices(bool on);
    void SetShowVisibilityBox(bool on);
    void SetVisibilityBoxEdit(bool on);
    void SetShowCollisionBox(bool on);
    void SetCollisionBoxEdit(bool on);

    // The pane's mouse, in pane coordinates (the 3D window's own mouse arrives here too).
    void OnLeftDoubleClick(int x, int y);
    void OnLeftDown(int x, int y);
    void OnLeftUp(int x, int y);
    void OnMouseMove(int x, int y);
    void OnRightDown(int x, int y);
    void OnRightUp(int x, int y);
    void OnWheel(int delta);

protected:
    void CreateGlWindow();
    // ToolboxBase::BindObject, asked twice when the first call hides the toolbox row.
    void BindToolbox();
    // Invalidates the whole pane (3D window included) with erasing.
    void InvalidateAll();

    CHandleBase* m_pNode = nullptr;
    COpenGLWnd* m_pGlWnd = nullptr;  // a child window, destroyed by ReleaseResources
    bool m_bCreated = false;

private:
    void OnSize(wxSizeEvent& event);
    void OnMouse(wxMouseEvent& event, bool fromGlWindow);
    void OnCaptureLost(wxMouseCaptureLostEvent& event);
    void ReleaseCapture();
};

// A mesh of a moveable, or a static mesh; its keyboard moves the mesh, its centre, the
// static mesh's boxes or the selected vertex's light.
class CEditMesh : public CEditGfxBase {
public:
    explicit CEditMesh(wxWindow* parent) : CEditGfxBase(parent, EditPaneMesh) {}
    void ShowObject() override;
    void Animate(float framesPerSecond) override;
};

// A moveable with the moveable whose meshes it uses and the moveable it is shown with.
class CEditMoveable : public CEditGfxBase {
public:
    explicit CEditMoveable(wxWindow* parent) : CEditGfxBase(parent, EditPaneMoveable) {}
    void ShowObject() override;

    // The Animation page's operations, forwarded while the 3D window exists.
    void StartAnimPlayback(int index);
    void SetAnimFrame(int frame);
    void SetAnimKey(int key);
    void SetAnimFraction(float value);
    void StepAnimation(int steps);
    void SetInterpolate(bool on);
    void SetReplaySpeed(float x);
    void SetAutomaticPlayback(bool on);
};

// A sprite sequence, animated or laid out side by side.
class CEditSprite : public CEditGfxBase {
public:
    explicit CEditSprite(wxWindow* parent) : CEditGfxBase(parent, EditPaneSprite) {}
    void ShowObject() override;
    // How the 3D window shows the sprites; null while there is no window.
    ITlboxSpriteDisplay* GetSpriteDisplay() const;
};

// Step of the mesh pane's keys at a frame rate: 70 / f (f = 0 counts as 1) as a 16-bit
// unsigned value, at least 1, so a held key moves about 70 units a second.
uint16_t MeshKeyStep(float framesPerSecond);

}  // namespace lithoscope

#pragma once
// The toolbox pages' way to the bound edit pane and its OpenGL window. Each link looks the
// pane up through the toolbox view at every call, so a pane or window that is gone is
// simply absent and nothing is called.
#include <string>

#include "editor/toolbox/TlboxMeshLogic.h"
#include "editor/toolbox/TlboxMoveableAnimLogic.h"
#include "editor/toolbox/TlboxMoveableMainLogic.h"
#include "editor/toolbox/TlboxSpriteLogic.h"

namespace lithoscope {

class CEditMesh;
class CEditMoveable;
class CEditSprite;
class COpenGLWnd;
class CToolboxBase;

// The bound pane as the class a page serves, or null.
CEditMesh* BoundMeshPane(const CToolboxBase& owner);
CEditMoveable* BoundMoveablePane(const CToolboxBase& owner);
CEditSprite* BoundSpritePane(const CToolboxBase& owner);

class CMeshPaneLink : public ITlboxMeshDisplay {
public:
    explicit CMeshPaneLink(const CToolboxBase& owner) : owner_(owner) {}
    void SetShowCollisionSphere(bool on) override;
    void SetShowVertices(bool on) override;
    void SetShowVisibilityBox(bool on) override;
    void SetVisibilityBoxEdit(bool on) override;
    void SetShowCollisionBox(bool on) override;
    void SetCollisionBoxEdit(bool on) override;
    void InvalidateView() override;

private:
    const CToolboxBase& owner_;
};

class CMoveablePaneLink : public ITlboxMoveableDisplay, public IAnimPlayback {
public:
    explicit CMoveablePaneLink(const CToolboxBase& owner) : owner_(owner) {}
    // ITlboxMoveableDisplay
    void SetItemOptions(int index, bool mainVisible, bool associatedVisible) override;
    void SetShowBoundingBoxes(bool on) override;
    void InvalidateView() override;
    // IAnimPlayback
    void StartAnimPlayback(int index) override;
    void SetAnimFrame(int frame) override;
    void SetAnimKey(int key) override;
    void SetAnimFraction(float value) override;
    void StepAnimation(int steps) override;
    void SetReplaySpeed(float x) override;
    void SetChainAnimations(bool chain, bool restart) override;
    void SetInterpolate(bool on) override;
    void SetAutomaticPlayback(bool on) override;
    void SetCaption(const std::string& text) override;

private:
    COpenGLWnd* Window() const;
    const CToolboxBase& owner_;
};

class CSpritePaneLink : public ITlboxSpriteDisplay {
public:
    explicit CSpritePaneLink(const CToolboxBase& owner) : owner_(owner) {}
    void SetSpriteDisplayMode(bool animated) override;
    void SetSpriteRate(float perSecond) override;
    void SetSpriteBorder(bool on) override;
    void SetSpriteRowWidth(float width) override;

private:
    ITlboxSpriteDisplay* Display() const;
    const CToolboxBase& owner_;
};

}  // namespace lithoscope

#pragma once
// The object toolbox as the edit panes and the 3D view see it: the base of the three
// toolbox views and the small interfaces through which the panes and the OpenGL window
// reach the toolbox pages.
#include <cstdint>

#include <wx/panel.h>
#include <wx/weakref.h>

namespace lithoscope {

class CEditGfxBase;
class CHandleBase;

// Mesh page: the two box-edit check boxes.
class ITlboxMeshItfMain {
public:
    virtual ~ITlboxMeshItfMain() = default;
    virtual int IsVisibilityBoxEditOn() = 0;
    virtual int IsCollisionBoxEditOn() = 0;
};

// Moveable "Main" page.
class ITlboxMoveableItfMain {
public:
    virtual ~ITlboxMoveableItfMain() = default;
    virtual void ShowPosition(bool updateControls) = 0;
};

// Moveable "Animation" page: the OpenGL window pushes the playback state through it.
class ITlboxMoveableItfAnim {
public:
    virtual ~ITlboxMoveableItfAnim() = default;
    virtual void SetAnim(int index) = 0;
    virtual void SetFrame(int current, int count) = 0;
    virtual void SetKey(int current, int count) = 0;
    virtual void SetFramerate(int n) = 0;
    virtual void SetNext(int anim, int frame) = 0;
    virtual void SetValue(float value) = 0;
    virtual bool IsAutomatic() = 0;
    virtual int GetCurrentAnim() = 0;
};

// Moveable "State changes" and "Anim commands" pages: markers without operations.
class ITlboxMoveableItfStateChanges {
public:
    virtual ~ITlboxMoveableItfStateChanges() = default;
};
class ITlboxMoveableItfAnimCommands {
public:
    virtual ~ITlboxMoveableItfAnimCommands() = default;
};

// Sprite page.
class ITlboxSpriteItfMain {
public:
    virtual ~ITlboxSpriteItfMain() = default;
    virtual void SetDisplayMode(bool animated) = 0;
};

// Base of the mesh, moveable and sprite toolbox views (kinds 2, 3, 4). A view is bound to
// the node and pane shown last; the pane reference clears itself when the pane goes.
class CToolboxBase : public wxPanel {
public:
    CToolboxBase(wxWindow* parent, int kind);
    ~CToolboxBase() override;

    // Binds the view to what the pane now shows. With the toolbox fix on and the toolbox
    // row shown, hides the row and returns false without binding (the pane then calls
    // again at once). LastBindChanged tells whether the bound object changed.
    virtual bool BindObject(CHandleBase* node, CEditGfxBase* pane);
    // Idle tick of the bound pane.
    virtual void Tick() {}
    // Makes the view's pages.
    virtual void CreatePages() {}
    // A node deleted by the tree: a view bound to it forgets it.
    virtual void ForgetNode(CHandleBase* node);

    int GetKind() const { return kind_; }
    CHandleBase* GetNode() const { return m_pNode; }
    CEditGfxBase* GetPane() const;
    // The object the bound node referred to when it was bound (compared by identity).
    const void* GetBoundObject() const { return m_pBoundObject; }
    bool LastBindChanged() const { return m_bLastBindChanged; }

protected:
    CHandleBase* m_pNode = nullptr;
    wxWeakRef<wxWindow> m_pPane;
    const void* m_pBoundObject = nullptr;
    bool m_bBound = false;
    bool m_bLastBindChanged = false;

private:
    int kind_;
};

}  // namespace lithoscope

#pragma once
// How the tree, the edit panes and the toolbox views of a document window talk without
// knowing each other's classes: the tree's view of a pane, a pane's view of its toolbox,
// and what they all ask of the window (the child frame) that holds them.
class wxWindow;

namespace lithoscope {

class CEditGfxBase;
class CHandleBase;

// The edit pane a node asks for.
enum EditPaneKind : int {
    EditPaneEmpty = 0,
    EditPaneTile = 1,
    EditPaneMesh = 2,
    EditPaneMoveable = 3,
    EditPaneSprite = 4,
    EditPaneSounds = 5,
};
// Kinds 2, 3 and 4 have a toolbox.
inline bool EditPaneHasToolbox(int kind) { return kind >= EditPaneMesh && kind <= EditPaneSprite; }

// What the tree's nodes ask of the edit pane that shows them.
class IEditPane {
public:
    virtual ~IEditPane() = default;
    // The node of the pane's kind, selected in the tree, hands itself to the pane.
    virtual void SetHandle(CHandleBase* node) {}
    // Textures given back before the shown object's data is replaced.
    virtual void ReleaseTextures() {}
    // Textures and display items given back before the pane is replaced.
    virtual void ReleaseResources() {}
    // A node the tree deletes: a pane showing it forgets it (its object may live on).
    virtual void ForgetHandle(CHandleBase* node) {}
};

// What a graphic edit pane asks of the toolbox view of its kind.
class IPaneToolbox {
public:
    virtual ~IPaneToolbox() = default;
    // Binds the view to what the pane now shows; false when it hid the toolbox row
    // instead (the pane then calls again at once).
    virtual bool BindObject(CHandleBase* node, CEditGfxBase* pane) = 0;
    // Idle tick of the bound pane.
    virtual void Tick() = 0;
    // A node deleted by the tree: a view bound to it forgets it.
    virtual void ForgetNode(CHandleBase* node) = 0;
    // A command changed object in place: a view bound to it rebuilds its pages at its
    // next binding, as for another object.
    virtual void ObjectChanged(const void* object) = 0;
};

// What the rooms below shell/ ask of a document window.
class IChildFrame {
public:
    virtual ~IChildFrame() = default;
    virtual int GetEditPaneKind() const = 0;
    virtual IEditPane* GetCurrentEditPane() const = 0;
    // Replaces the edit pane by one of that kind.
    virtual void SetEditPane(int kind) = 0;
    // The toolbox view of kind 2, 3 or 4, or null.
    virtual wxWindow* GetToolboxView(int kind) const = 0;
    // The keyboard focus goes to the level view.
    virtual void FocusLevelView() = 0;
};

// The document window that holds window, or null.
IChildFrame* ChildFrameOf(const wxWindow* window);
// The frame's pane and toolbox views forget a node the tree deletes.
void ForgetHandleInFrame(IChildFrame* frame, CHandleBase* node);
// The frame's toolbox views hear that a command changed object in place.
void ObjectChangedInFrame(IChildFrame* frame, const void* object);

}  // namespace lithoscope

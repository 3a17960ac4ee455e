#pragma once
// The toolbox pages as the panes and the 3D views see them, and the 3D view as the sprite
// page sees it: the panes read the mesh page's box switches and set the sprite page's mode,
// the 3D view reports its playback to the moveable "Animation" page.
namespace lithoscope {

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

// How the sprite pane's OpenGL window shows the sprites.
class ITlboxSpriteDisplay {
public:
    virtual ~ITlboxSpriteDisplay() = default;
    // Animated: one sprite after the other; otherwise all of them in rows.
    virtual void SetSpriteDisplayMode(bool animated) = 0;
    // Sprites per second in animated mode.
    virtual void SetSpriteRate(float perSecond) = 0;
    virtual void SetSpriteBorder(bool on) = 0;
    // The widest a row of the list layout may grow.
    virtual void SetSpriteRowWidth(float width) = 0;
};

}  // namespace lithoscope

#pragma once
// The three toolbox views: mesh (pages "Mesh" and "Help"), moveable ("Main", "Animation",
// "State changes", "Anim commands") and sprite ("Sprite"). Each implements the interfaces
// the panes and the OpenGL window use by handing the call to the page that serves it.
#include "editor/toolbox/ToolboxBase.h"

namespace lithoscope {

class CTlboxMeshHelp;
class CTlboxMeshMain;
class CTlboxMoveableAnim;
class CTlboxMoveableCmd;
class CTlboxMoveableMain;
class CTlboxMoveableStCh;
class CTlboxSpriteMain;

class CToolbox2Mesh : public CToolboxBase, public ITlboxMeshItfMain {
public:
    explicit CToolbox2Mesh(wxWindow* parent);
    void CreatePages() override;
    int IsVisibilityBoxEditOn() override;
    int IsCollisionBoxEditOn() override;

    CTlboxMeshMain* GetMeshPage() const { return m_pMeshPage; }
    CTlboxMeshHelp* GetHelpPage() const { return m_pHelpPage; }

private:
    CTlboxMeshMain* m_pMeshPage = nullptr;
    CTlboxMeshHelp* m_pHelpPage = nullptr;
};

class CToolbox2Moveable : public CToolboxBase,
                          public ITlboxMoveableItfMain,
                          public ITlboxMoveableItfAnim,
                          public ITlboxMoveableItfStateChanges,
                          public ITlboxMoveableItfAnimCommands {
public:
    explicit CToolbox2Moveable(wxWindow* parent);
    void CreatePages() override;
    // F5/F6 on the Animation page; the shown page follows the animation chosen.
    void Tick() override;

    void ShowPosition(bool updateControls) override;
    void SetAnim(int index) override;
    void SetFrame(int current, int count) override;
    void SetKey(int current, int count) override;
    void SetFramerate(int n) override;
    void SetNext(int anim, int frame) override;
    void SetValue(float value) override;
    bool IsAutomatic() override;
    int GetCurrentAnim() override;

    CTlboxMoveableMain* GetMainPage() const { return m_pMainPage; }
    CTlboxMoveableAnim* GetAnimPage() const { return m_pAnimPage; }
    CTlboxMoveableStCh* GetStateChangesPage() const { return m_pStChPage; }
    CTlboxMoveableCmd* GetCommandsPage() const { return m_pCmdPage; }

private:
    CTlboxMoveableMain* m_pMainPage = nullptr;
    CTlboxMoveableAnim* m_pAnimPage = nullptr;
    CTlboxMoveableStCh* m_pStChPage = nullptr;
    CTlboxMoveableCmd* m_pCmdPage = nullptr;
};

class CToolbox2Sprite : public CToolboxBase, public ITlboxSpriteItfMain {
public:
    explicit CToolbox2Sprite(wxWindow* parent);
    void CreatePages() override;
    void SetDisplayMode(bool animated) override;

    CTlboxSpriteMain* GetSpritePage() const { return m_pSpritePage; }

private:
    CTlboxSpriteMain* m_pSpritePage = nullptr;
};

// Makes these views the ones the child frames create, and lets the moveable node ask
// which animation the toolbox shows (called once at start).
void RegisterToolboxViews();

}  // namespace lithoscope

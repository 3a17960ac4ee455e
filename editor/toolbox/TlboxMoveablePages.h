#pragma once
// The first two pages of the moveable toolbox: "Main" (name, counts, extents, object id and
// the display options of the moveable pane) and "Animation" (the animation played by the
// pane, its replay controls, where playback stands, and the values of the playing
// animation), with the F5/F6 keys that step through the animations.
#include <vector>

#include "editor/toolbox/TlboxMoveableAnimLogic.h"
#include "editor/toolbox/TlboxMoveableMainLogic.h"
#include "editor/toolbox/TlboxPaneLinks.h"
#include "editor/toolbox/ToolboxBase.h"

class wxButton;
class wxCheckBox;
class wxChoice;
class wxSlider;
class wxSpinButton;
class wxStaticText;

namespace lithoscope {

class CTlboxEdit;
class CTlboxName;

class CTlboxMoveableMain : public CToolboxItfBase, public ITlboxMoveableItfMain {
public:
    CTlboxMoveableMain(wxWindow* sheet, CToolboxBase* owner);
    void Update(bool force) override;
    void ShowPosition(bool updateControls) override;

    const CTlboxMoveableMainLogic& Logic() const { return m_logic; }
    CTlboxName* GetNameText() const { return m_pName; }
    CTlboxEdit* GetObjectIdEdit() const { return m_pObjectId; }
    wxStaticText* GetExtentsText() const { return m_pExtents; }

private:
    void ShowValues();

    CTlboxMoveableMainLogic m_logic;
    CMoveablePaneLink m_link;
    CTlboxName* m_pName;
    wxStaticText *m_pNumMeshes, *m_pExtents;
    CTlboxEdit* m_pObjectId;
    wxCheckBox *m_pRealMeshes, *m_pAssociated, *m_pBoundingBoxes;
};

class CTlboxMoveableAnim : public CToolboxItfBase, public ITlboxMoveableItfAnim {
public:
    CTlboxMoveableAnim(wxWindow* sheet, CToolboxBase* owner);
    void Update(bool force) override;
    // F6: the next animation, F5: the previous one. True when the selection moved.
    bool OnKeyTick() override;

    // What the moveable pane's window reports.
    void SetAnim(int index) override;
    void SetFrame(int current, int count) override;
    void SetKey(int current, int count) override;
    void SetFramerate(int n) override;
    void SetNext(int anim, int frame) override;
    void SetValue(float value) override;
    bool IsAutomatic() override { return m_logic.IsAutomatic(); }
    int GetCurrentAnim() override { return m_logic.GetCurrentAnim(); }

    const CTlboxMoveableAnimLogic& Logic() const { return m_logic; }
    wxChoice* GetAnimationList() const { return m_pList; }
    wxSlider* GetFrameSlider() const { return m_pFrameSlider; }
    // The edits of the playing animation's values: state id, next anim, next frame,
    // "Unknown:", speed, acceleration.
    std::vector<CTlboxEdit*> ValueEdits() const {
        return {m_pStateId, m_pNextAnim, m_pNextFrame, m_pSpeedLow, m_pSpeedHigh, m_pAcceleration};
    }
    CTlboxEdit* GetInterpEdit() const { return m_pInterpValue; }

private:
    void ShowValues();
    // The frame and key texts and sliders (reported at every frame of playback).
    void ShowPlayback();
    void Edit(void (CTlboxMoveableAnimLogic::*action)());

    CTlboxMoveableAnimLogic m_logic;
    CMoveablePaneLink m_link;

    wxChoice* m_pList;
    wxStaticText *m_pCurrentAnim, *m_pFramerate;
    CTlboxEdit *m_pStateId, *m_pNextAnim, *m_pNextFrame;
    CTlboxEdit *m_pSpeedLow, *m_pSpeedHigh, *m_pAcceleration;
    wxButton* m_pHex;
    wxButton *m_pChain, *m_pAutomatic, *m_pInterpolate;
    wxStaticText *m_pFrame, *m_pFrameCount, *m_pKey, *m_pKeyCount, *m_pReplaySpeed;
    wxSlider *m_pFrameSlider, *m_pKeySlider, *m_pReplaySlider;
    CTlboxEdit* m_pInterpValue;
    wxSpinButton* m_pStep;
};

}  // namespace lithoscope

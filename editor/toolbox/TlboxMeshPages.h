#pragma once
// The two pages of the mesh toolbox: "Mesh" (counts, extents, radius, lighting, flags and
// the boxes of a static mesh, and the show buttons of the mesh pane's markers) and "Help"
// (the keys of the mesh pane).
#include "editor/toolbox/TlboxMeshLogic.h"
#include "editor/toolbox/TlboxPaneLinks.h"
#include "editor/toolbox/ToolboxBase.h"

class wxButton;
class wxCheckBox;
class wxSlider;
class wxSpinButton;
class wxStaticText;

namespace lithoscope {

class CTlboxEdit;

class CTlboxMeshMain : public CToolboxItfBase, public ITlboxMeshItfMain {
public:
    CTlboxMeshMain(wxWindow* sheet, CToolboxBase* owner);
    void Update(bool force) override;
    int IsVisibilityBoxEditOn() override { return m_logic.IsVisibilityBoxEditOn(); }
    int IsCollisionBoxEditOn() override { return m_logic.IsCollisionBoxEditOn(); }

    const CTlboxMeshLogic& Logic() const { return m_logic; }
    CTlboxEdit* GetObjectIdEdit() const { return m_pObjectId; }

private:
    // Copies the page values into the controls.
    void ShowValues();
    // Runs a handler of the page, then shows the values.
    void Edit(void (CTlboxMeshLogic::*action)());

    CTlboxMeshLogic m_logic;
    CMeshPaneLink m_link;

    wxStaticText* m_pLabel;
    CTlboxEdit* m_pObjectId;
    wxCheckBox* m_pDummy;
    wxStaticText *m_pVertices, *m_pTriangles, *m_pQuads, *m_pExtents;
    wxButton* m_pShowVertices;
    wxButton* m_pShowSphere;
    CTlboxEdit* m_pRadius;
    wxSpinButton* m_pRadiusSpin;
    wxCheckBox *m_pNonCollisionable, *m_pVisible;
    wxButton* m_pLighting;
    wxSlider* m_pIntensity;
    wxCheckBox* m_pIntensityAlpha;
    CTlboxEdit* m_pBoxSize[2][3];
    wxCheckBox* m_pBoxEdit[2];
    wxButton* m_pShowBox[2];
};

class CTlboxMeshHelp : public CToolboxItfBase {
public:
    CTlboxMeshHelp(wxWindow* sheet, CToolboxBase* owner);
};

}  // namespace lithoscope

#pragma once
// The page of the sprite toolbox: the sprite list's name, count and object id, and how the
// sprite pane shows the sprites (animated at a rate, or laid out in rows, with or without
// borders).
#include "editor/toolbox/TlboxPaneLinks.h"
#include "editor/toolbox/TlboxSpriteLogic.h"
#include "editor/toolbox/ToolboxBase.h"

class wxCheckBox;
class wxRadioButton;
class wxSlider;
class wxStaticText;

namespace lithoscope {

class CTlboxEdit;

class CTlboxSpriteMain : public CToolboxItfBase, public ITlboxSpriteItfMain {
public:
    CTlboxSpriteMain(wxWindow* sheet, CToolboxBase* owner);
    void Update(bool force) override;
    void SetDisplayMode(bool animated) override;

    const CTlboxSpriteLogic& Logic() const { return m_logic; }
    CTlboxEdit* GetObjectIdEdit() const { return m_pObjectId; }

private:
    void ShowValues();

    CTlboxSpriteLogic m_logic;
    CSpritePaneLink m_link;
    wxStaticText* m_pTitle;
    CTlboxEdit* m_pObjectId;
    wxRadioButton *m_pAnimated, *m_pList;
    wxSlider* m_pSpeedSlider;
    wxStaticText* m_pSpeed;
    wxCheckBox* m_pBorder;
    CTlboxEdit* m_pWidth;
};

}  // namespace lithoscope

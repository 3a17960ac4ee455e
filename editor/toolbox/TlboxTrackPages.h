#pragma once
// The "State changes" and "Anim commands" pages of the moveable toolbox: a list of the
// playing animation's rows with picture buttons above it and a row of edits under it,
// refilled when another animation plays.
#include <string>
#include <vector>

#include "editor/toolbox/TlboxMoveableCmdLogic.h"
#include "editor/toolbox/TlboxMoveableStChLogic.h"
#include "editor/toolbox/ToolboxBase.h"

class wxButton;
class wxListCtrl;
class wxListEvent;
class wxSizer;

namespace lithoscope {

class CTlboxEdit;
enum class TlboxPicture;

// What the two list pages share: the list control, the edits under it and the buttons.
class CTlboxTrackPage : public CToolboxItfBase {
public:
    wxListCtrl* GetList() const { return m_pList; }
    const std::vector<CTlboxEdit*>& GetEdits() const { return m_edits; }
    // The buttons in the order they were made (above the list, then modify).
    const std::vector<wxButton*>& GetButtons() const { return m_buttons; }

protected:
    CTlboxTrackPage(wxWindow* sheet, CToolboxBase* owner, const wxString& title);
    // Builds the page: buttons above a list of these columns, one edit per column under
    // it and the modify button at the end of that row.
    void Build(const TlboxColumn* columns, size_t count,
               const std::vector<std::pair<TlboxPicture, const char*>>& buttons);
    // Shows the rows (rebuilt only when they changed), the selection and the values.
    void ShowList(const CTlboxRowList& rows, const int32_t* values);
    // The texts of the edits.
    std::vector<std::string> EditTexts() const;
    // The moveable of the bound node, or null.
    CTrMvb* BoundMoveable() const;
    // The Animation page's playing animation (1-based, 0 for none).
    int CurrentAnim() const;

    virtual void OnButton(size_t index) = 0;
    virtual void OnRowClicked(int row) = 0;
    virtual int LogicSelection() const = 0;

private:
    void OnSelected(wxListEvent& event);

    wxListCtrl* m_pList = nullptr;
    std::vector<CTlboxEdit*> m_edits;
    std::vector<wxButton*> m_buttons;
    std::vector<std::vector<std::string>> m_shown;  // the rows as the list shows them
    bool m_bFilling = false;
};

// The list page of one logic: the list, selection and edits follow it.
template <class PageLogic>
class CTlboxTrackPageOf : public CTlboxTrackPage {
public:
    const PageLogic& Logic() const { return m_logic; }

protected:
    CTlboxTrackPageOf(wxWindow* sheet, CToolboxBase* owner, const wxString& title)
        : CTlboxTrackPage(sheet, owner, title) {
        m_logic.SetModifiedHandler([owner] { owner->MarkModified(); });
    }
    void ShowValues() { ShowList(m_logic.List(), m_logic.EditValues().data()); }
    // Refreshes the list for the playing animation.
    void Refresh(bool force) {
        m_logic.Update(force, CurrentAnim());
        ShowValues();
    }
    void OnRowClicked(int row) override {
        m_logic.ClickRow(row);
        ShowValues();
    }
    int LogicSelection() const override { return m_logic.List().Selection(); }

    PageLogic m_logic;
};

class CTlboxMoveableStCh : public CTlboxTrackPageOf<CTlboxMoveableStChLogic>, public ITlboxMoveableItfStateChanges {
public:
    CTlboxMoveableStCh(wxWindow* sheet, CToolboxBase* owner);
    void Update(bool force) override;

private:
    void OnButton(size_t index) override;
};

class CTlboxMoveableCmd : public CTlboxTrackPageOf<CTlboxMoveableCmdLogic>, public ITlboxMoveableItfAnimCommands {
public:
    CTlboxMoveableCmd(wxWindow* sheet, CToolboxBase* owner);
    void Update(bool force) override;

private:
    void OnButton(size_t index) override;
};

}  // namespace lithoscope

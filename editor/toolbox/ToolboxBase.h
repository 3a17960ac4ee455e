#pragma once
// The object toolbox: the base of the three toolbox views, the sheet of tabs each view
// holds and the base of its pages. The panes and the OpenGL window reach the pages through
// the interfaces of editor/common.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/weakref.h>

#include "editor/common/PaneInterfaces.h"
#include "editor/common/ToolboxInterfaces.h"
#include "editor/toolbox/ToolboxBinding.h"

namespace lithoscope {

class CEditGfxBase;
class CHandleBase;

class CToolboxBase;
class CTlboxEdit;

// A page of a toolbox view. It reads the bound node through its owner and writes changes
// back; a node or pane of another class counts as absent.
class CToolboxItfBase : public wxScrolledWindow {
public:
    CToolboxItfBase(wxWindow* sheet, CToolboxBase* owner, const wxString& title);
    using wxScrolledWindow::Update;
    // Refreshes the page from the bound node; force: another object, lists and defaults
    // are rebuilt.
    virtual void Update(bool force) {}
    // Polled key hook; true when it acted.
    virtual bool OnKeyTick() { return false; }
    // The page became the shown one.
    virtual void OnSetActive();

    CToolboxBase* GetOwner() const { return m_pOwner; }
    const wxString& GetTitle() const { return m_strTitle; }

protected:
    // Lays the page out from its sizer; scrolls when the row is smaller than the page.
    void FinishLayout(wxSizer* sizer);
    // The Object Id field: an id that set takes renames the node and refreshes the page (the
    // node's new name too); a refused one has the page show its values again.
    CTlboxEdit* NewObjectIdEdit(wxWindow* parent, int width,
                                std::function<bool(const std::string&)> set,
                                std::function<void()> showValues);
    wxSize DoGetBestSize() const override;

    CToolboxBase* m_pOwner;
    wxString m_strTitle;
};

// The pages of a toolbox view, one tab each; every page fills the sheet.
class CToolboxSheet : public wxNotebook {
public:
    explicit CToolboxSheet(CToolboxBase* owner);
    bool Create(wxWindow* parent);
    // Appends the pages (made with this sheet as parent) in order.
    void AddPages(int count, CToolboxItfBase** pages);
    // Refreshes every page; changed: another object is bound.
    void UpdatePages(bool changed);
    // Fills the parent's client area.
    void FitToParent();

    const std::vector<CToolboxItfBase*>& Pages() const { return m_pages; }
    // The page shown now, null without pages.
    CToolboxItfBase* GetActiveToolboxPage() const;
    // The page most recently activated (null until one is).
    CToolboxItfBase* CurrentPage() const { return m_pCurrentPage; }
    void SetCurrentPage(CToolboxItfBase* page) { m_pCurrentPage = page; }

private:
    void OnPageChanged(wxBookCtrlEvent& event);

    CToolboxBase* m_pOwner;
    std::vector<CToolboxItfBase*> m_pages;  // owned as child windows
    CToolboxItfBase* m_pCurrentPage = nullptr;
};

// Base of the mesh, moveable and sprite toolbox views (kinds 2, 3, 4). A view is bound to
// the node and pane shown last; the pane reference clears itself when the pane goes.
class CToolboxBase : public wxPanel, public IPaneToolbox {
public:
    CToolboxBase(wxWindow* parent, int kind);
    ~CToolboxBase() override;

    // Makes the sheet and the pages (CreatePages); without a sheet the view shows "No
    // toolbox available".
    void OnInitialUpdate();
    // Binds the view to what the pane now shows and refreshes the pages. With the toolbox
    // fix on and the toolbox row shown, hides the row and returns false without binding
    // (the pane then calls again at once). LastBindChanged tells whether the bound object
    // changed.
    bool BindObject(CHandleBase* node, CEditGfxBase* pane) override;
    // Idle tick of the bound pane.
    void Tick() override {}
    // Makes the view's pages.
    virtual void CreatePages() {}
    // A page became the shown one: it is refreshed.
    void OnPageActivated(CToolboxItfBase* page);
    // A node deleted by the tree: a view bound to it forgets it and its pages go empty.
    void ForgetNode(CHandleBase* node) override;
    void ObjectChanged(const void* object) override { m_binding.ObjectChanged(object); }
    // Marks the document of the bound node modified (the pages call it after each edit).
    void MarkModified();
    // The bound object took another id: the tree names it anew.
    void ObjectIdChanged();

    int GetKind() const { return kind_; }
    CHandleBase* GetNode() const { return m_pNode; }
    CEditGfxBase* GetPane() const;
    CToolboxSheet* GetSheet() const { return m_pSheet; }
    // The object the bound node referred to when it was bound (compared by identity).
    const void* GetBoundObject() const { return m_binding.Object(); }
    bool LastBindChanged() const { return m_bLastBindChanged; }

protected:
    CToolboxSheet* m_pSheet = nullptr;
    CHandleBase* m_pNode = nullptr;
    wxWeakRef<wxWindow> m_pPane;
    CToolboxBinding m_binding;
    bool m_bLastBindChanged = false;

private:
    int kind_;
};

}  // namespace lithoscope

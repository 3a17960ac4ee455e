#pragma once
// The object toolbox: the base of the three toolbox views, the sheet of tabs each view
// holds, the base of its pages, and the small interfaces through which the panes and the
// OpenGL window reach the pages.
#include <cstdint>
#include <vector>

#include <wx/notebook.h>
#include <wx/panel.h>
#include <wx/scrolwin.h>
#include <wx/weakref.h>

#include "editor/toolbox/ToolboxBinding.h"

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

class CToolboxBase;

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
class CToolboxBase : public wxPanel {
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
    virtual bool BindObject(CHandleBase* node, CEditGfxBase* pane);
    // Idle tick of the bound pane.
    virtual void Tick() {}
    // Makes the view's pages.
    virtual void CreatePages() {}
    // A page became the shown one: it is refreshed.
    void OnPageActivated(CToolboxItfBase* page);
    // A node deleted by the tree: a view bound to it forgets it and its pages go empty.
    virtual void ForgetNode(CHandleBase* node);
    // Marks the document of the bound node modified (the pages call it after each edit).
    void MarkModified();

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

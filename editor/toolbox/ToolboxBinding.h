#pragma once
// What binding a shown object to a toolbox view decides: whether the toolbox row must be
// hidden first (the "nofix"/"forcefix" fix), and whether the pages must rebuild their
// lists and defaults because the object is another one.
namespace lithoscope {

struct ToolboxBindResult {
    // The row is shown while the fix is on: hide it (and store "hidden"), bind nothing;
    // the pane then binds again at once.
    bool hideToolbox = false;
    bool bound = false;
    // A first binding, or an object other than the one bound before.
    bool changed = false;
};

class CToolboxBinding {
public:
    // object: what the shown node stands for (compared by identity); toolboxShown: the
    // main frame shows the toolbox row. Reads g_bToolboxFix.
    ToolboxBindResult Bind(const void* object, bool toolboxShown);
    // The object changed in place: when it is the bound one, the next binding counts as
    // a change, so the pages rebuild from what it now holds.
    void ObjectChanged(const void* object);
    bool HasBound() const { return hasBound_; }
    const void* Object() const { return object_; }

private:
    bool hasBound_ = false;
    bool stale_ = false;
    const void* object_ = nullptr;
};

}  // namespace lithoscope

#include "editor/shell/Menus.h"

#include <wx/docview.h>
#include <wx/menu.h>

#include "editor/common/CommandIds.h"

namespace lithoscope {

namespace {

wxMenu* FileMenu(wxDocManager* manager, bool document) {
    auto* m = new wxMenu;
    m->Append(wxID_NEW, "&New\tCtrl+N");
    m->Append(wxID_OPEN, "&Open...\tCtrl+O");
    if (document) {
        m->Append(wxID_CLOSE, "&Close");
        m->Append(wxID_SAVEAS, "Save &As ...");
        m->Append(wxID_PRINT, "&Print...\tCtrl+P");
        m->Append(wxID_PREVIEW, "Print Pre&view");
    }
    m->Append(wxID_PRINT_SETUP, "P&rint Setup...");
    m->AppendSeparator();
    m->Append(wxID_EXIT, "E&xit");
    if (manager) {
        manager->FileHistoryUseMenu(m);
        manager->FileHistoryAddFilesToMenu(m);
    }
    return m;
}

wxMenu* ViewMenu(bool document) {
    auto* m = new wxMenu;
    m->AppendCheckItem(ID_VIEW_TOOLBAR, "&Toolbar");
    m->AppendCheckItem(ID_VIEW_STATUS_BAR, "&Status Bar");
    if (document) m->AppendCheckItem(ID_VIEW_TOOLBOX, "&Object Toolbox");
    return m;
}

wxMenu* HelpMenu() {
    auto* m = new wxMenu;
    m->Append(wxID_ABOUT, "&About Lithoscope...");
    return m;
}

}  // namespace

wxMenuBar* MainMenuBar(wxDocManager* manager) {
    auto* bar = new wxMenuBar;
    bar->Append(FileMenu(manager, false), "&File");
    bar->Append(ViewMenu(false), "&View");
    bar->Append(HelpMenu(), "&Help");
    auto* misc = new wxMenu;
    misc->Append(ID_MISC_DEBUG, "Debug");
    bar->Append(misc, "Misc");
    return bar;
}

wxMenuBar* DocumentMenuBar(wxDocManager* manager) {
    auto* bar = new wxMenuBar;
    bar->Append(FileMenu(manager, true), "&File");
    auto* edit = new wxMenu;
    edit->Append(wxID_UNDO, "&Undo\tCtrl+Z");
    edit->AppendSeparator();
    edit->Append(wxID_CUT, "Cu&t\tCtrl+X");
    edit->Append(wxID_COPY, "&Copy\tCtrl+C");
    edit->Append(wxID_PASTE, "&Paste\tCtrl+V");
    bar->Append(edit, "&Edit");
    bar->Append(ViewMenu(true), "&View");
    auto* rendering = new wxMenu;
    rendering->AppendCheckItem(ID_MANUAL_CAMERA, "Manual camera");
    rendering->AppendCheckItem(ID_SHOW_AXIS, "Show axis");
    bar->Append(rendering, "Rendering");
    auto* options = new wxMenu;
    options->Append(ID_OPTIONS_LEVEL_PATHS, "Original level paths...");
    options->Append(ID_OPTIONS_DISPLAY, "Display...");
    options->Append(ID_OPTIONS_SOUND, "Sound...");
    bar->Append(options, "Options");
    auto* window = new wxMenu;
    window->Append(ID_WINDOW_NEW, "&New Window");
    window->Append(ID_WINDOW_CASCADE, "&Cascade");
    window->Append(ID_WINDOW_TILE, "&Tile");
    window->Append(ID_WINDOW_ARRANGE, "&Arrange Icons");
    bar->Append(window, "&Window");
    bar->Append(HelpMenu(), "&Help");
    return bar;
}

wxAcceleratorTable MainAccelerators() {
    wxAcceleratorEntry keys[] = {
        {wxACCEL_CTRL, 'C', wxID_COPY},        {wxACCEL_CTRL, WXK_INSERT, wxID_COPY},
        {wxACCEL_CTRL, 'V', wxID_PASTE},       {wxACCEL_SHIFT, WXK_INSERT, wxID_PASTE},
        {wxACCEL_CTRL, 'X', wxID_CUT},         {wxACCEL_SHIFT, WXK_DELETE, wxID_CUT},
        {wxACCEL_CTRL, 'Z', wxID_UNDO},        {wxACCEL_ALT, WXK_BACK, wxID_UNDO},
        {wxACCEL_CTRL, 'N', wxID_NEW},         {wxACCEL_CTRL, 'O', wxID_OPEN},
        {wxACCEL_CTRL, 'P', wxID_PRINT},       {wxACCEL_CTRL, 'S', wxID_SAVE},
        {wxACCEL_CTRL, 'M', ID_MERGE_LEVEL},   {wxACCEL_NORMAL, WXK_F6, ID_NEXT_PANE},
        {wxACCEL_SHIFT, WXK_F6, ID_PREV_PANE},
    };
    return wxAcceleratorTable(int(sizeof keys / sizeof keys[0]), keys);
}

}  // namespace lithoscope

#pragma once
// Command identifiers of the menus, the toolbar and the accelerators. The framework's own
// commands (open, save, close, exit, print, edit, about, recent files) use wx's ids.
// wx menu ids stay below 0x7FFF, so each resource command number n is used as
// WxCommand(n): 32768 and up less 30000, 57344 and up less 50000 (below wx's own ids).
namespace lithoscope {

constexpr int WxCommand(int resourceId) {
    return resourceId >= 57344 ? resourceId - 50000 : resourceId >= 32768 ? resourceId - 30000 : resourceId;
}

// The resource number of a menu id made by WxCommand from a command of 32768 to 37343
// (the node menus); other ids stand for themselves.
constexpr int ResourceCommand(int wxId) {
    return wxId >= WxCommand(32768) && wxId < WxCommand(57344) ? wxId + 30000 : wxId;
}

enum CommandId : int {
    ID_MERGE_LEVEL = WxCommand(32779),   // Ctrl+M "Merge a .mrg file with a Tomb Raider level"
    ID_VIEW_TOOLBOX = WxCommand(32789),  // "&Object Toolbox"
    ID_MISC_DEBUG = WxCommand(32800),    // "Debug"
    ID_MANUAL_CAMERA = WxCommand(32822), // "Manual camera"
    ID_SHOW_AXIS = WxCommand(32823),     // "Show axis"
    ID_OPTIONS_LEVEL_PATHS = WxCommand(32836),
    ID_OPTIONS_DISPLAY = WxCommand(32837),
    ID_OPTIONS_SOUND = WxCommand(32840),
    ID_WINDOW_NEW = WxCommand(57648),
    ID_WINDOW_ARRANGE = WxCommand(57649),
    ID_WINDOW_CASCADE = WxCommand(57650),
    ID_WINDOW_TILE = WxCommand(57651),
    ID_NEXT_PANE = WxCommand(57680),
    ID_PREV_PANE = WxCommand(57681),
    ID_VIEW_TOOLBAR = WxCommand(59392),
    ID_VIEW_STATUS_BAR = WxCommand(59393),
};

// Toolbar positions of the three check buttons.
constexpr int kToolboxButtonPos = 12;
constexpr int kManualCameraButtonPos = 13;
constexpr int kShowAxisButtonPos = 14;

}  // namespace lithoscope

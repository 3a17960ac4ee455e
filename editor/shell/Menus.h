#pragma once
// The menu bars of the main window (menu 128, no document) and of a document window
// (menu 129), and the accelerators both windows carry.
#include <wx/accel.h>

class wxDocManager;
class wxMenuBar;

namespace lithoscope {

// The recent files go into the File menu of each bar when a manager is given.
wxMenuBar* MainMenuBar(wxDocManager* manager);
wxMenuBar* DocumentMenuBar(wxDocManager* manager);

// The accelerators of the main frame (also set on each document window, where the keys
// arrive while its panes have the focus).
wxAcceleratorTable MainAccelerators();

}  // namespace lithoscope

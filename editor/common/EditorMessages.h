#pragma once
// The editor's own message boxes: every error and every yes/no question of the rooms goes
// through these, under the program's caption.
#include <string>

namespace lithoscope {

constexpr const char* kEditorCaption = "Lithoscope";

// An error box with OK.
void ShowError(const std::string& text);
// A warning asking Yes or No; true for Yes (a box closed otherwise answers No).
bool Confirm(const std::string& text);

}  // namespace lithoscope

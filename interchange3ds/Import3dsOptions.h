#pragma once
// Choices of the "Importing from 3DS" dialog, without any GUI: the wx dialog binds its
// controls to these members and calls the handlers below.

#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

class CAnimMgr;

class CImport3dsOptions {
public:
    struct Entry {
        std::string label;  // "Animation #001" ...
        int itemData = 0;   // the animation's index
    };

    // animationCount: animations of the current moveable; selectedAnim: the one to preselect.
    CImport3dsOptions(int animationCount, int selectedAnim);
    CImport3dsOptions(const CAnimMgr* animations, int selectedAnim);

    // Opening: fills the entries (index order) and clamps the preselection.
    void Open();
    const std::vector<Entry>& Entries() const { return entries_; }
    int SelectedEntry() const { return selectedEntry_; }  // -1: none
    void SelectEntry(int entry);  // out of range: none

    // The "Animation" / "Meshes" radio group.
    void ChooseAnimation();
    void ChooseMeshes();
    // The replace / delete all / add radio group.
    void ChooseReplace();
    void ChooseDeleteAll();
    void ChooseAdd();

    // Enabled states: the combo box and the animation options follow "Animation",
    // "Don't overwrite dummy meshes" follows "Meshes".
    bool AnimationControlsEnabled() const { return opened_ && animation != 0; }
    bool KeepDummiesEnabled() const { return animation == 0; }

    // "Import": settles selectedAnim (-1 unless Animation and Replace pick a valid entry).
    void Import();

    int animation = 0;
    int meshes = 1;
    int keepDummies = 0;
    int replace = 0;
    int deleteAll = 0;
    int add = 1;
    int selectedAnim = 0;

private:
    int animationCount_ = 0;
    std::vector<Entry> entries_;
    int selectedEntry_ = -1;
    bool opened_ = false;
};

// "Animation #%.3d" of number (1-based).
std::string Import3dsEntryLabel(int number);

}  // namespace lithoscope

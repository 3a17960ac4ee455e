#include "interchange3ds/Import3dsOptions.h"

#include <cstdio>

#include "level/Anim.h"

namespace lithoscope {

std::string Import3dsEntryLabel(int number) {
    char text[32];
    std::snprintf(text, sizeof text, "Animation #%.3d", number);
    return text;
}

CImport3dsOptions::CImport3dsOptions(int animationCount, int selected)
    : selectedAnim(selected), animationCount_(animationCount < 0 ? 0 : animationCount) {}

CImport3dsOptions::CImport3dsOptions(const CAnimMgr* animations, int selected)
    : CImport3dsOptions(animations ? animations->count() : 0, selected) {}

void CImport3dsOptions::Open() {
    opened_ = true;
    entries_.clear();
    // Compared unsigned: a negative preselection also ends on the last animation.
    if (uint32_t(selectedAnim) >= uint32_t(animationCount_)) selectedAnim = animationCount_ - 1;
    entries_.reserve(size_t(animationCount_));
    for (int i = 0; i < animationCount_; ++i) entries_.push_back({Import3dsEntryLabel(i + 1), i});
    selectedEntry_ = selectedAnim;  // -1 when there is no animation
}

void CImport3dsOptions::SelectEntry(int entry) {
    selectedEntry_ = (entry >= 0 && entry < int(entries_.size())) ? entry : -1;
}

void CImport3dsOptions::ChooseAnimation() { animation = 1; meshes = 0; }
void CImport3dsOptions::ChooseMeshes() { animation = 0; meshes = 1; }
void CImport3dsOptions::ChooseReplace() { replace = 1; deleteAll = 0; add = 0; }
void CImport3dsOptions::ChooseDeleteAll() { replace = 0; deleteAll = 1; add = 0; }
void CImport3dsOptions::ChooseAdd() { replace = 0; deleteAll = 0; add = 1; }

void CImport3dsOptions::Import() {
    selectedAnim = -1;
    if (animation && replace && selectedEntry_ >= 0 && selectedEntry_ < int(entries_.size()))
        selectedAnim = entries_[size_t(selectedEntry_)].itemData;
}

}  // namespace lithoscope

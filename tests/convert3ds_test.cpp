#include <gtest/gtest.h>

#include <algorithm>

#include "interchange3ds/Import3dsOptions.h"
#include "level/Anim.h"

using namespace lithoscope;

TEST(Import3dsOptions, DefaultsAndRadioGroups) {
    CImport3dsOptions o(3, 1);
    EXPECT_EQ(o.animation, 0);
    EXPECT_EQ(o.meshes, 1);
    EXPECT_EQ(o.keepDummies, 0);
    EXPECT_EQ(o.replace, 0);
    EXPECT_EQ(o.deleteAll, 0);
    EXPECT_EQ(o.add, 1);
    o.Open();
    // Opening disables the animation controls; the dummy check box follows "Meshes".
    EXPECT_FALSE(o.AnimationControlsEnabled());
    EXPECT_TRUE(o.KeepDummiesEnabled());
    o.ChooseAnimation();
    EXPECT_EQ(o.animation + o.meshes, 1);
    EXPECT_TRUE(o.AnimationControlsEnabled());
    EXPECT_FALSE(o.KeepDummiesEnabled());
    o.ChooseDeleteAll();
    EXPECT_EQ(o.replace + o.deleteAll + o.add, 1);
    EXPECT_EQ(o.deleteAll, 1);
    o.ChooseReplace();
    EXPECT_EQ(o.replace, 1);
    EXPECT_EQ(o.add, 0);
    o.ChooseMeshes();
    EXPECT_FALSE(o.AnimationControlsEnabled());
    EXPECT_TRUE(o.KeepDummiesEnabled());
}

TEST(Import3dsOptions, PreselectionAndEntries) {
    CImport3dsOptions none(0, 0);
    none.Open();
    EXPECT_TRUE(none.Entries().empty());
    EXPECT_EQ(none.selectedAnim, -1);
    EXPECT_EQ(none.SelectedEntry(), -1);

    CImport3dsOptions past(3, 7);
    past.Open();
    ASSERT_EQ(past.Entries().size(), 3u);
    EXPECT_EQ(past.selectedAnim, 2);
    EXPECT_EQ(past.SelectedEntry(), 2);
    EXPECT_EQ(past.Entries()[2].label, "Animation #003");
    EXPECT_EQ(past.Entries()[0].label, "Animation #001");

    CImport3dsOptions negative(3, -1);
    negative.Open();
    EXPECT_EQ(negative.selectedAnim, 2);

    CImport3dsOptions inside(3, 1);
    inside.Open();
    EXPECT_EQ(inside.selectedAnim, 1);

    // Twelve animations: sorted labels keep index order.
    CImport3dsOptions twelve(12, 0);
    twelve.Open();
    ASSERT_EQ(twelve.Entries().size(), 12u);
    std::vector<std::string> labels;
    for (size_t i = 0; i < 12; ++i) {
        EXPECT_EQ(twelve.Entries()[i].itemData, int(i));
        labels.push_back(twelve.Entries()[i].label);
    }
    EXPECT_TRUE(std::is_sorted(labels.begin(), labels.end()));
    EXPECT_EQ(labels[9], "Animation #010");
    EXPECT_EQ(labels[11], "Animation #012");

    CAnimMgr empty;
    CImport3dsOptions fromMgr(&empty, 4);
    fromMgr.Open();
    EXPECT_EQ(fromMgr.selectedAnim, -1);
    CImport3dsOptions fromNull(nullptr, 0);
    fromNull.Open();
    EXPECT_TRUE(fromNull.Entries().empty());
}

TEST(Import3dsOptions, ImportResult) {
    CImport3dsOptions meshes(4, 2);
    meshes.Open();
    meshes.Import();  // Meshes set: -1 whatever the combo box shows
    EXPECT_EQ(meshes.selectedAnim, -1);

    CImport3dsOptions addAnim(4, 2);
    addAnim.Open();
    addAnim.ChooseAnimation();
    addAnim.Import();  // Add: no animation to replace
    EXPECT_EQ(addAnim.selectedAnim, -1);

    CImport3dsOptions rep(4, 2);
    rep.Open();
    rep.ChooseAnimation();
    rep.ChooseReplace();
    rep.SelectEntry(3);
    rep.Import();
    EXPECT_EQ(rep.selectedAnim, 3);

    CImport3dsOptions unselected(4, 2);
    unselected.Open();
    unselected.ChooseAnimation();
    unselected.ChooseReplace();
    unselected.SelectEntry(9);  // out of range: nothing selected
    EXPECT_EQ(unselected.SelectedEntry(), -1);
    unselected.Import();
    EXPECT_EQ(unselected.selectedAnim, -1);

    CImport3dsOptions empty(0, 0);
    empty.Open();
    empty.ChooseAnimation();
    empty.ChooseReplace();
    empty.Import();
    EXPECT_EQ(empty.selectedAnim, -1);
}

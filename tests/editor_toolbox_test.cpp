// Toolbox page logic on the objects of the sample level (no display needed).
#include <gtest/gtest.h>

#include "editor/toolbox/TlboxMoveableAnimLogic.h"
#include "editor/toolbox/TlboxSpriteLogic.h"
#include "level/Anim.h"
#include "level/TrAnimData.h"
#include "level/TrLevel.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "tests/TestSupport.h"
#include "tests/fixtures/SampleLevel.h"

namespace lithoscope {
namespace {

struct SampleLevel {
    test::TempDir dir;
    CTrLevel level;
    bool ok = false;
    SampleLevel() {
        const std::vector<uint8_t> bytes = test::BuildSampleLevelTr2();
        const std::string path = dir.file("sample.tr2");
        ScriptedMessageBackend quiet;
        ScopedMessageBackend scope(&quiet);
        ok = WriteFileSafely(path, bytes.data(), bytes.size()) && level.Load(path, false, false);
    }
};

TEST(ToolboxSprite, TitleObjectIdRateWidth) {
    SampleLevel s;
    ASSERT_TRUE(s.ok);
    ASSERT_EQ(s.level.spriteList.size(), 1u);
    CTrLstSpr* spr = s.level.spriteList[0].get();
    const long count = long(spr->sprites.size());

    CTlboxSpriteLogic page;
    // Bound to nothing: disabled, empty and inert.
    page.Bind(nullptr, "ignored", nullptr);
    EXPECT_FALSE(page.IsEnabled());
    EXPECT_EQ(page.Title(), "");
    page.SetObjectIdText("12");
    EXPECT_EQ(page.SetWidthText("abc"), "");

    TlboxSpriteDisplay display;
    display.spriteRate = 3.0f;
    display.rowWidth = 1.0f;
    page.Bind(spr, "Sprite", &display);
    EXPECT_TRUE(page.IsEnabled());
    EXPECT_EQ(page.Title(), "Sprite (" + std::to_string(count) + " sprites)");
    EXPECT_EQ(page.ObjectIdText(), "135");
    // A new list hands rate 20, width 256, no border and animated mode to the window.
    EXPECT_FLOAT_EQ(display.spriteRate, 20.0f);
    EXPECT_FLOAT_EQ(display.rowWidth, 256.0f);
    EXPECT_FALSE(display.border);
    EXPECT_TRUE(display.animated);

    page.SetObjectIdText("200");
    EXPECT_EQ(spr->objectId, 200);
    page.SetObjectIdText("xyz");
    EXPECT_EQ(spr->objectId, 0);

    page.SetSpeed(0);
    EXPECT_FLOAT_EQ(display.spriteRate, 0.0f);
    page.SetSpeed(250);
    EXPECT_EQ(page.Speed(), 100u);
    page.SetSpeed(35);
    // Re-showing the same list keeps the user's rate.
    page.Bind(spr, "Sprite", &display);
    EXPECT_EQ(page.Speed(), 35u);

    EXPECT_EQ(page.SetWidthText("0"), "");
    EXPECT_FLOAT_EQ(display.rowWidth, 0.0f);
    EXPECT_EQ(page.SetWidthText("12x"), "Enter a number.");
    EXPECT_EQ(page.SetWidthText("1000001"), "Enter a number between 0 and 1000000.");
    EXPECT_EQ(page.SetWidthText("-1"), "Enter a number between 0 and 1000000.");
    EXPECT_FLOAT_EQ(page.Width(), 0.0f);
    EXPECT_EQ(page.SetWidthText("512.5"), "");
    EXPECT_FLOAT_EQ(display.rowWidth, 512.5f);

    page.SetShowBorder(true);
    EXPECT_TRUE(display.border);
    page.SetDisplayMode(false);
    EXPECT_FALSE(display.animated);
    EXPECT_FALSE(page.Animated());
}

TEST(ToolboxMoveableAnim, ShownFromOneSpeedsAndNext) {
    SampleLevel s;
    ASSERT_TRUE(s.ok);
    ASSERT_EQ(s.level.moveableList.size(), 1u);
    CTrMvb* mvb = s.level.moveableList[0].get();
    ASSERT_TRUE(mvb->animations);
    ASSERT_EQ(mvb->animations->count(), 1);
    auto* track = dynamic_cast<CTRAnimTrack*>(mvb->animations->GetTrack(0));
    ASSERT_NE(track, nullptr);
    EXPECT_EQ(track->frameCount, 32u);

    CTlboxMoveableAnimLogic page;
    page.Bind(nullptr);
    EXPECT_FALSE(page.IsEnabled());
    EXPECT_EQ(page.ListItems(), std::vector<std::string>{"No animation"});
    page.SetStateIdText("5");
    EXPECT_FALSE(page.SetNextAnim(1));

    page.Bind(mvb);
    EXPECT_EQ(page.ListItems(), (std::vector<std::string>{"No animation", "Animation #001"}));
    EXPECT_EQ(page.GetCurrentAnim(), 0);
    // Nothing plays yet: edits change nothing.
    const int32_t oldState = track->stateId;
    page.SetStateIdText("9");
    EXPECT_EQ(track->stateId, oldState);
    // Out-of-range animation pushed in: ignored.
    page.SetAnim(1);
    EXPECT_EQ(page.GetCurrentAnim(), 0);

    page.SetAnim(0);
    EXPECT_EQ(page.GetCurrentAnim(), 1);
    page.SetStateIdText("7");
    EXPECT_EQ(track->stateId, 7);
    EXPECT_EQ(page.StateIdText(), "7");
    page.SetStateIdText("nope");
    EXPECT_EQ(track->stateId, 0);

    // Hexadecimal 8000 is the word 0x8000; decimal shows it as -32768.
    page.ToggleHex();
    ASSERT_TRUE(page.Hex());
    page.SetSpeedLowText("8000");
    EXPECT_EQ(track->speedLow, int16_t(-32768));
    EXPECT_EQ(page.SpeedLowText(), "8000");
    page.SetSpeedLowText("zz");  // does not scan: unchanged
    EXPECT_EQ(track->speedLow, int16_t(-32768));
    page.ToggleHex();
    EXPECT_EQ(page.SpeedLowText(), "-32768");
    page.ToggleHex();
    page.SetSpeedLowText("A");
    EXPECT_EQ(page.SpeedLowText(), "000A");
    page.ToggleHex();

    // 70000 is stored whole; its display is the low 16 bits (70000 - 65536 = 4464).
    page.SetSpeedHighText("70000");
    EXPECT_EQ(track->speedHigh, 70000);
    page.ToggleHex();
    page.ToggleHex();
    EXPECT_EQ(page.SpeedHighText(), "4464");
    page.SetAccelerationText("not");
    EXPECT_FLOAT_EQ(track->acceleration, 0.0f);
    page.SetAccelerationText("1.5");
    EXPECT_FLOAT_EQ(track->acceleration, 1.5f);
    page.ToggleHex();  // rewrites the three speed texts
    EXPECT_EQ(page.AccelerationText(), "1.500000");
    page.ToggleHex();

    // Next animation and frame: 1-based, checked against the moveable.
    EXPECT_FALSE(page.SetNextAnim(2));
    EXPECT_TRUE(page.SetNextAnim(1));
    EXPECT_FALSE(page.SetNextFrame(33));
    EXPECT_TRUE(page.SetNextFrame(32));
    int next = -2, frame = -2;
    mvb->animations->GetNext(&next, &frame, 0);
    EXPECT_EQ(next, 0);
    EXPECT_EQ(frame, 31);
    EXPECT_EQ(page.NextFrame(), 32u);
}

}  // namespace
}  // namespace lithoscope

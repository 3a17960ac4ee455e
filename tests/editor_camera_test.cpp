// View camera moves, input scaling, matrices and the key-state service.
#include <gtest/gtest.h>
#include <wx/defs.h>

#include <cmath>
#include <memory>
#include <set>

#include "editor/view3d/KeyState.h"
#include "editor/view3d/ViewCamera.h"
#include "editor/view3d/ViewCameraInput.h"

using namespace lithoscope;

namespace {

constexpr float kTol = 1e-3f;

void ExpectVec(const CVector3& v, float x, float y, float z, const char* what) {
    EXPECT_NEAR(v.x, x, kTol) << what;
    EXPECT_NEAR(v.y, y, kTol) << what;
    EXPECT_NEAR(v.z, z, kTol) << what;
}

void ExpectMatrix(const CMatrix4& m, const float (&want)[4][4], const char* what) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(m.m[r][c], want[r][c], kTol) << what << " [" << r << "][" << c << "]";
}

}  // namespace

TEST(CameraState, InitialStateAndBasis) {
    CViewCamera cam;
    ExpectVec(cam.eye, 0, 0, -100, "eye");
    ExpectVec(cam.target, 0, 0, 0, "target");
    ExpectVec(cam.up, 0, 1, 0, "up");
    cam.eye.Set(3, 4, 0);
    cam.target.Set(0, 0, 0);
    cam.Refresh();
    EXPECT_NEAR(cam.distance, 5.0f, kTol);
    ExpectVec(cam.direction, -0.6f, -0.8f, 0, "direction");
    ExpectVec(cam.upCopy, 0, 1, 0, "up copy");
    const CVector3 d = LevelToDisplay(1, 2, 3);
    ExpectVec(d, 1, -2, -3, "display point");
}

TEST(CameraMoves, EachMoveFromTheInitialCamera) {
    struct Case {
        const char* name;
        void (*move)(CViewCamera&);
        float eye[3], target[3], up[3];
    };
    const Case cases[] = {
        {"orbit h 90", [](CViewCamera& c) { c.OrbitHorizontal(90); }, {100, 0, 0}, {0, 0, 0}, {0, 1, 0}},
        {"orbit h -90", [](CViewCamera& c) { c.OrbitHorizontal(-90); }, {-100, 0, 0}, {0, 0, 0}, {0, 1, 0}},
        {"orbit h 180", [](CViewCamera& c) { c.OrbitHorizontal(180); }, {0, 0, 100}, {0, 0, 0}, {0, 1, 0}},
        {"orbit v 90", [](CViewCamera& c) { c.OrbitVertical(90); }, {0, 100, 0}, {0, 0, 0}, {0, 0, 1}},
        {"roll 90", [](CViewCamera& c) { c.Roll(90); }, {0, 0, -100}, {0, 0, 0}, {1, 0, 0}},
        {"roll -90", [](CViewCamera& c) { c.Roll(-90); }, {0, 0, -100}, {0, 0, 0}, {-1, 0, 0}},
        {"dolly 30", [](CViewCamera& c) { c.Dolly(30); }, {0, 0, -70}, {0, 0, 0}, {0, 1, 0}},
        {"dolly past", [](CViewCamera& c) { c.Dolly(150); }, {0, 0, 50}, {0, 0, 0}, {0, 1, 0}},
        {"pan 10", [](CViewCamera& c) { c.Pan(10); }, {10, 0, -100}, {10, 0, 0}, {0, 1, 0}},
        {"move along 5", [](CViewCamera& c) { c.MoveAlong(5); }, {0, 5, -100}, {0, 5, 0}, {0, 1, 0}},
    };
    for (const Case& k : cases) {
        CViewCamera cam;
        k.move(cam);
        cam.Refresh();
        ExpectVec(cam.eye, k.eye[0], k.eye[1], k.eye[2], k.name);
        ExpectVec(cam.target, k.target[0], k.target[1], k.target[2], k.name);
        ExpectVec(cam.up, k.up[0], k.up[1], k.up[2], k.name);
    }
    // After passing the target the direction reverses.
    CViewCamera past;
    past.Dolly(150);
    past.Refresh();
    ExpectVec(past.direction, 0, 0, -1, "reversed direction");
    EXPECT_NEAR(past.distance, 50.0f, kTol);
}

TEST(CameraMoves, SetRollResets) {
    CViewCamera cam;
    cam.eye.Set(0, 0, 2);
    cam.SetRoll(0);
    ExpectVec(cam.up, 0, -1, 0, "horizontal view");
    cam.SetRoll(90);  // b = 270: up = (rz, 0, 0)
    ExpectVec(cam.up, 1, 0, 0, "roll 90");
    CViewCamera above;
    above.eye.Set(0, 5, 0);
    above.SetRoll(0);
    ExpectVec(above.up, 1, 0, 0, "eye above target");
}

TEST(CameraInput, DragsWheelAndAutoRotation) {
    CViewCamera rot;  // 2 * 90 * 100 / 200 = 90 degrees
    CameraRotateDrag(rot, 10, 0, -80, 0, 200.0f);
    ExpectVec(rot.eye, 100, 0, 0, "rotate x");
    CViewCamera rotY;  // 2 * 45 * 100 / 100 = 90 degrees up
    CameraRotateDrag(rotY, 0, 50, 0, 5, 100.0f);
    ExpectVec(rotY.eye, 0, 100, 0, "rotate y");
    ExpectVec(rotY.up, 0, 0, 1, "rotate y up");

    CViewCamera pan;  // 20 * 0.01 * 100 / 100 = 0.2; -50 -> -0.5
    CameraPanDrag(pan, 30, 0, 10, 50, 100.0f);
    ExpectVec(pan.eye, 0.2f, -0.5f, -100, "pan eye");
    ExpectVec(pan.target, 0.2f, -0.5f, 0, "pan target");

    CViewCamera wheel;  // a notch in: 80% of the distance; two out: 80 / 0.64
    CameraWheel(wheel, 120);
    ExpectVec(wheel.eye, 0, 0, -80, "wheel in");
    CameraWheel(wheel, -240);
    ExpectVec(wheel.eye, 0, 0, -125, "wheel out");
    CameraWheel(wheel, 120);
    CameraWheel(wheel, 120);
    ExpectVec(wheel.eye, 0, 0, -80, "in undoes out");

    CViewCamera autoCam;  // 2 fps is taken as 30: 4 degrees, then the roll reset
    CameraAutoStep(autoCam, 2.0f);
    ExpectVec(autoCam.eye, 100 * std::sin(4 * 3.1415927f / 180), 0, -100 * std::cos(4 * 3.1415927f / 180),
              "auto eye");
    ExpectVec(autoCam.up, 0, -1, 0, "auto up");
}

TEST(CameraInput, KeysNeedCapsLock) {
    CKeyState keys;
    CViewCamera cam;
    keys.KeyDown(WXK_RIGHT);
    EXPECT_FALSE(CameraPollKeys(cam, keys, 100.0f));
    ExpectVec(cam.eye, 0, 0, -100, "no caps lock");

    keys.KeyDown(WXK_CAPITAL);
    keys.KeyDown(WXK_RIGHT);  // 1 degree at 100 fps
    EXPECT_TRUE(CameraPollKeys(cam, keys, 100.0f));
    ExpectVec(cam.eye, 1.74524f, 0, -99.98477f, "right");
    keys.KeyUp(WXK_RIGHT);

    CViewCamera dolly;  // page up: 0.05 * 100 / 5 = 1
    keys.KeyDown(WXK_PAGEUP);
    EXPECT_TRUE(CameraPollKeys(dolly, keys, 5.0f));
    ExpectVec(dolly.eye, 0, 0, -99, "page up");
    keys.KeyUp(WXK_PAGEUP);
    keys.KeyUp(WXK_CAPITAL);
    EXPECT_FALSE(CameraPollKeys(dolly, keys, 5.0f));

    // Caps Lock and Page Down tapped between two polls still move once.
    keys.KeyDown(WXK_CAPITAL);
    keys.KeyUp(WXK_CAPITAL);
    keys.KeyDown(WXK_PAGEDOWN);
    keys.KeyUp(WXK_PAGEDOWN);
    EXPECT_TRUE(CameraPollKeys(dolly, keys, 5.0f));
    ExpectVec(dolly.eye, 0, 0, -100, "page down");
    EXPECT_FALSE(CameraPollKeys(dolly, keys, 5.0f));
}

TEST(CameraMatrix, ViewMatrixFollowsLookAtWithNegatedUp) {
    CViewCamera cam;  // up (0, 1, 0) is negated: the level's display convention
    CMatrix4 view;
    cam.ViewMatrix(view, 1.0f);
    const float initial[4][4] = {{1, 0, 0, 0}, {0, -1, 0, 0}, {0, 0, -1, -100}, {0, 0, 0, 1}};
    ExpectMatrix(view, initial, "initial");
    CMatrix4 flip, move, both;
    LevelToDisplayMatrix(flip);
    MatTranslation(move, CVector3{0, 0, -100});
    both.Multiply(move, flip);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(view.m[r][c], both.m[r][c], kTol);

    cam.ViewMatrix(view, 0.5f);
    const float scaled[4][4] = {{0.5f, 0, 0, 0}, {0, -0.5f, 0, 0}, {0, 0, -0.5f, -100}, {0, 0, 0, 1}};
    ExpectMatrix(view, scaled, "scaled");

    CViewCamera fit;  // fitted view: eye (0, 0, 2), roll reset gives up (0, -1, 0)
    fit.eye.Set(0, 0, 2);
    fit.SetRoll(0);
    fit.Refresh();
    fit.ViewMatrix(view, 1.0f);
    const float fitted[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, -2}, {0, 0, 0, 1}};
    ExpectMatrix(view, fitted, "fitted");
}

// A keyboard whose keys the test holds.
class FakeKeyboard : public IKeyboard {
public:
    explicit FakeKeyboard(std::set<int>* held) : held_(held) {}
    void Read() override { read_ = *held_; }
    bool IsDown(int keyCode) const override { return read_.count(keyCode) != 0; }

private:
    std::set<int>* held_;
    std::set<int> read_;
};

TEST(KeyStateService, HeldOnlyWhileTheKeyboardSaysSoAndPressesLastOneTick) {
    std::set<int> held;
    CKeyState keys;
    keys.SetKeyboard(std::make_unique<FakeKeyboard>(&held));

    // Pressed and held: down at every tick until the keyboard says it is up, though its
    // release was never heard of.
    held.insert(WXK_SHIFT);
    keys.KeyDown(WXK_SHIFT);
    keys.BeginTick(true);
    EXPECT_TRUE(keys.Poll(WXK_SHIFT));
    keys.BeginTick(true);
    EXPECT_TRUE(keys.Poll(WXK_SHIFT));
    held.clear();
    keys.BeginTick(true);
    EXPECT_FALSE(keys.Poll(WXK_SHIFT));
    EXPECT_FALSE(keys.IsDown(WXK_SHIFT));

    // Held on the keyboard but pressed elsewhere (no event here): not held.
    held.insert(WXK_CONTROL);
    keys.BeginTick(true);
    EXPECT_FALSE(keys.Poll(WXK_CONTROL));

    // A tap counts in the tick after it, for every key polled then, and not later.
    keys.KeyDown(WXK_UP);
    keys.KeyDown(WXK_F5);
    keys.BeginTick(true);
    EXPECT_TRUE(keys.PollPressed(WXK_F5));
    EXPECT_FALSE(keys.PollPressed(WXK_F5));
    keys.BeginTick(true);
    EXPECT_FALSE(keys.Poll(WXK_UP)) << "a press a tick old is stale";

    // Every press counts once: two presses within one tick give two polls, the second
    // still in the next tick; the char hook and the key-down of one press (the same event
    // time) are one press.
    keys.KeyDown(WXK_F6, 1000);
    keys.KeyDown(WXK_F6, 1000);
    keys.KeyDown(WXK_F6, 1012);
    keys.KeyDown(WXK_F6, 1012);
    keys.BeginTick(true);
    EXPECT_TRUE(keys.PollPressed(WXK_F6));
    keys.BeginTick(true);
    EXPECT_TRUE(keys.PollPressed(WXK_F6));
    EXPECT_FALSE(keys.PollPressed(WXK_F6));
    keys.BeginTick(true);
    EXPECT_FALSE(keys.PollPressed(WXK_F6));
    // Presses nobody polls in the tick after them still expire.
    keys.KeyDown(WXK_F5, 2000);
    keys.KeyDown(WXK_F5, 2100);
    keys.BeginTick(true);
    keys.BeginTick(true);
    EXPECT_FALSE(keys.PollPressed(WXK_F5));

    // While another window has the keyboard every key goes, held or not, and stays gone.
    held.insert(WXK_SHIFT);
    keys.KeyDown(WXK_SHIFT);
    keys.KeyDown(WXK_RIGHT);
    keys.BeginTick(false);
    EXPECT_FALSE(keys.Poll(WXK_SHIFT));
    EXPECT_FALSE(keys.Poll(WXK_RIGHT));
    keys.BeginTick(true);
    EXPECT_FALSE(keys.Poll(WXK_SHIFT)) << "held since before the other window: pressed again first";
    keys.KeyDown(WXK_SHIFT);
    keys.BeginTick(true);
    EXPECT_TRUE(keys.Poll(WXK_SHIFT));
}

TEST(KeyStateService, DownNowAndPressedSinceLastPoll) {
    CKeyState keys;
    EXPECT_FALSE(keys.Poll('A'));
    EXPECT_FALSE(keys.IsDown('A'));
    keys.KeyUp('A');  // release without press
    EXPECT_FALSE(keys.Poll('A'));

    keys.KeyDown('A');
    keys.KeyUp('A');
    EXPECT_FALSE(keys.IsDown('A'));
    EXPECT_TRUE(keys.Poll('A'));   // tapped between polls: counts once
    EXPECT_FALSE(keys.Poll('A'));

    keys.KeyDown('B');
    keys.KeyDown('B');  // auto-repeat
    EXPECT_TRUE(keys.IsDown('B'));
    EXPECT_TRUE(keys.Poll('B'));
    EXPECT_TRUE(keys.Poll('B'));  // still held
    keys.KeyUp('B');
    EXPECT_FALSE(keys.Poll('B'));

    keys.KeyDown('C');
    keys.Clear();
    EXPECT_FALSE(keys.Poll('C'));
    EXPECT_EQ(&CKeyState::Instance(), &CKeyState::Instance());
}

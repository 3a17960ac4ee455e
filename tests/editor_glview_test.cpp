// Camera of the 3D view: moves, mouse and key input scaled by the frame rate.
#include <gtest/gtest.h>
#include <wx/defs.h>

#include <cmath>

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

}  // namespace

TEST(ViewCamera, SetRollAndDegenerateCases) {
    CViewCamera cam;
    cam.eye.Set(0, 0, 2);
    cam.SetRoll(0);
    ExpectVec(cam.up, 0, -1, 0, "horizontal view");

    cam.eye.Set(0, 5, 0);  // straight above the target: the formula gives zero
    cam.SetRoll(0);
    ExpectVec(cam.up, 1, 0, 0, "view along y");

    // Eye on the target: the moves stay finite.
    CViewCamera onTarget;
    onTarget.eye.Set(0, 0, 0);
    onTarget.OrbitHorizontal(30);
    onTarget.OrbitVertical(30);
    onTarget.Roll(30);
    onTarget.SetRoll(0);
    onTarget.Refresh();
    EXPECT_TRUE(std::isfinite(onTarget.eye.x) && std::isfinite(onTarget.up.x) &&
                std::isfinite(onTarget.up.y) && std::isfinite(onTarget.direction.z));

    const CVector3 d = LevelToDisplay(1, 2, 3);
    ExpectVec(d, 1, -2, -3, "display convention");
}

TEST(ViewCamera, MouseInputScaledByFrameRate) {
    // 2 x 90 x 100 / 200 = 90 degrees.
    CViewCamera rot;
    CameraRotateDrag(rot, 100, 50, 10, 50, 200.0f);
    ExpectVec(rot.eye, 100, 0, 0, "rotate drag");

    // (20 - 10) x 0.01 x 100 / 1 = 10 sideways, (0 - 5) x 1 = -5 along up.
    CViewCamera pan;
    CameraPanDrag(pan, 20, 0, 10, 5, 1.0f);
    ExpectVec(pan.eye, 10, -5, -100, "pan drag eye");
    ExpectVec(pan.target, 10, -5, 0, "pan drag target");

    CViewCamera wheel;
    CameraWheel(wheel, 120);  // one notch: 80% of the distance, whatever the frame rate
    ExpectVec(wheel.eye, 0, 0, -80, "wheel in");
    CameraWheel(wheel, 0xFFFF);  // signed 16-bit: -1, a 120th of a notch out
    ExpectVec(wheel.eye, 0, 0, -80.1489f, "wheel out");

    // Automatic rotation at 2 fps is taken as 30: 4 degrees per frame.
    CViewCamera autoCam;
    CameraAutoStep(autoCam, 2.0f);
    ExpectVec(autoCam.eye, 6.9756f, 0, -99.7564f, "auto step");
    ExpectVec(autoCam.up, 0, -1, 0, "auto step up");
}

TEST(ViewCamera, KeysNeedCapsLockAndFirstOfPairWins) {
    CKeyState keys;
    CViewCamera cam;
    keys.KeyDown(WXK_PAGEUP);
    EXPECT_FALSE(CameraPollKeys(cam, keys, 100.0f));
    ExpectVec(cam.eye, 0, 0, -100, "no caps lock");

    // Caps Lock pressed and released counts once.
    keys.KeyDown(WXK_CAPITAL);
    keys.KeyUp(WXK_CAPITAL);
    EXPECT_TRUE(CameraPollKeys(cam, keys, 100.0f));  // 0.05 x 100 / 100 = 0.05
    ExpectVec(cam.eye, 0, 0, -99.95f, "page up");
    EXPECT_FALSE(CameraPollKeys(cam, keys, 100.0f));

    // Left and Right held: Left wins, -1 x 100 / (100 / 90) = -90 degrees.
    CKeyState keys2;
    CViewCamera cam2;
    keys2.KeyDown(WXK_CAPITAL);
    keys2.KeyDown(WXK_LEFT);
    keys2.KeyDown(WXK_RIGHT);
    EXPECT_TRUE(CameraPollKeys(cam2, keys2, 100.0f / 90.0f));
    ExpectVec(cam2.eye, -100, 0, 0, "left wins");

    // Caps held but no camera key: nothing.
    CKeyState keys3;
    CViewCamera cam3;
    keys3.KeyDown(WXK_CAPITAL);
    EXPECT_FALSE(CameraPollKeys(cam3, keys3, 30.0f));
}

TEST(KeyState, PressedSinceLastPoll) {
    CKeyState keys;
    EXPECT_FALSE(keys.Poll('A'));
    keys.KeyDown('A');
    keys.KeyUp('A');
    EXPECT_FALSE(keys.IsDown('A'));
    EXPECT_TRUE(keys.Poll('A'));   // pressed since the last poll
    EXPECT_FALSE(keys.Poll('A'));  // mark cleared
    keys.KeyDown('B');
    EXPECT_TRUE(keys.Poll('B'));
    EXPECT_TRUE(keys.Poll('B'));  // still held
    keys.Clear();
    EXPECT_FALSE(keys.Poll('B'));
}

// ---- The GL window on a virtual display (Mesa software GL) ----

#include <GL/gl.h>
#include <GL/glu.h>
#include <wx/app.h>
#include <wx/frame.h>

#include "editor/view3d/GlWindow.h"
#include "editor/shell/LithoscopeDoc.h"
#include "level/TrLstMsh.h"

// Leaks inside the system's GL driver, font and bus libraries are theirs, not ours.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\nleak:swrast_dri\nleak:libdbus\nleak:libglib\nleak:libgtk\nleak:libgdk\n"
           "leak:libX11\nleak:libGLX\nleak:libEGL\nleak:libpango\nleak:libcairo\nleak:libgobject\n";
}

namespace {

// One plain wx application for the GL suites.
bool StartWx() {
    static bool started = [] {
        static int argc = 1;
        static char arg0[] = "glview";
        static char* argv[] = {arg0, nullptr};
        wxApp::SetInstance(new wxApp());
        return wxEntryStart(argc, argv);
    }();
    return started;
}

// A square of 100 x 100 in the plane z = 0 with a white page, facing the camera.
std::unique_ptr<CTrLstMsh> MakeSquare() {
    auto list = std::make_unique<CTrLstMsh>();
    TrMeshRecord mesh;
    mesh.vertices = {{-50, -50, 0}, {50, -50, 0}, {50, 50, 0}, {-50, 50, 0}};
    mesh.lights = {8192, 8192, 8192, 8192};
    mesh.texturedRectangles.resize(1);
    for (int k = 0; k < 4; ++k) mesh.texturedRectangles[0].setVertex(k, uint16_t(k));
    mesh.texturedRectangles[0].setTexture(0);
    const float box[6] = {-50, 50, -50, 50, 0, 0};
    std::copy(box, box + 6, mesh.boundingBox);
    list->meshes.push_back(mesh);
    list->textures.resize(1);  // attributes 0, page 0, every corner at pixel (0, 0)
    list->width = 256;
    list->height = 256;
    list->bitsPerPixel = 16;
    list->pixels.assign(256 * 256 * 2, 0xFF);  // 0xFFFF: opaque white
    return list;
}

struct Rgb {
    int r, g, b;
};
Rgb ReadPixel(int x, int y) {
    uint8_t p[4] = {0, 0, 0, 0};
    glReadBuffer(GL_BACK);
    glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2]};
}

}  // namespace

// A GL window of 200 x 200 in a frame of its own, shown.
COpenGLWnd* ShownGlWindow(wxFrame*& frame) {
    frame = new wxFrame(nullptr, wxID_ANY, "gl", wxDefaultPosition, wxSize(200, 200));
    COpenGLWnd* gl = new COpenGLWnd(frame);
    frame->SetClientSize(200, 200);
    frame->Show();
    for (int i = 0; i < 20 && !gl->IsShownOnScreen(); ++i) wxYield();
    wxYield();
    return gl;
}

TEST(GlWindow, DrawsMeshReadsBackAndPicks) {
    ASSERT_TRUE(StartWx());
    wxFrame* frame = nullptr;
    COpenGLWnd* gl = ShownGlWindow(frame);

    // Nothing to draw: a missing object is no fault.
    GlDisplayItem empty;
    gl->SetDisplayItems(&empty, 1, false, 0);
    EXPECT_FALSE(gl->RenderFrame(false));

    auto square = MakeSquare();
    GlDisplayItem item;
    item.primary = true;
    item.main.kind = GlKindMesh;
    item.main.object = square.get();
    item.main.visible = true;
    gl->SetDisplayItems(&item, 1, false, 0);
    EXPECT_NEAR(gl->FitScale(), 0.01f, 1e-6f);  // 1 / 100
    ExpectVec(gl->Camera().eye, 0, 0.7f, 2, "fitted eye");
    ExpectVec(gl->Camera().target, 0, 0, 0, "fitted target");

    gl->SetBackgroundColor(0x000000);
    ASSERT_TRUE(gl->RenderFrame(false));
    const wxSize size = gl->GetClientSize() * gl->GetContentScaleFactor();
    const Rgb centre = ReadPixel(size.x / 2, size.y / 2);
    EXPECT_GT(centre.r, 200);
    EXPECT_GT(centre.g, 200);
    EXPECT_GT(centre.b, 200);
    const Rgb corner = ReadPixel(3, 3);
    EXPECT_EQ(corner.r + corner.g + corner.b, 0);

    // Where vertex 2 (50, 50, 0) lands on the window, from the matrices of the frame.
    GLdouble model[16], proj[16];
    GLint viewport[4];
    glGetDoublev(GL_MODELVIEW_MATRIX, model);
    glGetDoublev(GL_PROJECTION_MATRIX, proj);
    glGetIntegerv(GL_VIEWPORT, viewport);
    GLdouble wx = 0, wy = 0, wz = 0;
    gluProject(50.0, -50.0, 0.0, model, proj, viewport, &wx, &wy, &wz);
    EXPECT_EQ(gl->PickVertex(int(wx), viewport[3] - int(wy)), 2);
    EXPECT_EQ(gl->SelectedVertex(), 2);
    EXPECT_EQ(gl->PickVertex(2, 2), -1);  // nothing there

    // While a level is saved nothing is drawn: the view shows the picture it kept when the
    // save started (a red background would show through without it).
    COpenGLWnd::KeepLastFrames();
    gl->SetBackgroundColor(0x0000FF);
    g_bSavingLevel = true;
    const uint64_t frames = gl->FrameCount();
    EXPECT_FALSE(gl->RenderFrame(false));
    EXPECT_EQ(gl->FrameCount(), frames);
    const Rgb kept = ReadPixel(size.x / 2, size.y / 2), keptCorner = ReadPixel(3, 3);
    EXPECT_GT(kept.r + kept.g + kept.b, 600);
    EXPECT_EQ(keptCorner.r + keptCorner.g + keptCorner.b, 0);
    g_bSavingLevel = false;

    frame->Destroy();
    wxYield();
}

// ---- Poses, mesh trees and sprite layouts (no GL) ----

#include "editor/panes/EditGfx.h"
#include "editor/view3d/MoveablePose.h"
#include "editor/view3d/SpriteLayout.h"
#include "level/Anim.h"
#include "level/TrMvb.h"

namespace {

CVector3 Apply(const CMatrix4& m, float x, float y, float z) {
    CQuaternion out;
    MatTransformVec4(out, m, CQuaternion{x, y, z, 1});
    return CVector3{out.x, out.y, out.z};
}

// Mesh 1 placed at (10, 20, 30) from mesh 0; mesh 2 at (5, 0, 0) from mesh 1, which it
// saves first; mesh 3 takes mesh 1's placement back and moves (0, 0, 7).
std::vector<TrMeshTreeEntry> SampleTree() {
    return {{0, 10, 20, 30}, {TrMeshTreeEntry::kPush, 5, 0, 0}, {TrMeshTreeEntry::kPop, 0, 0, 7}};
}

// One key: bone 0 moved by (1, 2, 3) and turned 90 degrees about y, bone 1 turned 90
// degrees about z, the others not turned.
std::unique_ptr<CAnimTrack> SampleTrack(int bones) {
    auto track = std::make_unique<CAnimTrack>(1, 10, 10, 30.0f);
    CAnimKey key(0, bones, BoundingBox());
    const float s = std::sqrt(0.5f);
    for (int b = 0; b < bones; ++b) {
        BoneKey bone;
        bone.rotation.Set(0, 0, 0, 1);
        key.bones.push_back(bone);
    }
    key.bones[0].rotation.Set(0, s, 0, s);
    key.bones[0].offset.Set(1, 2, 3);
    key.bones[1].rotation.Set(0, 0, s, s);
    track->AddKey(key);
    track->SetTime(0);
    return track;
}

}  // namespace

TEST(MoveablePose, MeshTreeWalkWithStackAndPoses) {
    std::vector<CMatrix4> m;
    MeshTreeMatrices(SampleTree(), 4, nullptr, m);
    ASSERT_EQ(m.size(), 4u);
    ExpectVec(Apply(m[0], 0, 0, 0), 0, 0, 0, "root");
    ExpectVec(Apply(m[1], 0, 0, 0), 10, -20, -30, "level offsets drawn at (x, -y, -z)");
    ExpectVec(Apply(m[2], 0, 0, 0), 15, -20, -30, "child of mesh 1");
    ExpectVec(Apply(m[3], 0, 0, 0), 10, -20, -37, "popped back to mesh 1");

    // Posed: mesh 0 turned about y then moved; mesh 1 inherits that and turns about z.
    auto track = SampleTrack(4);
    MeshTreeMatrices(SampleTree(), 4, track.get(), m);
    ExpectVec(Apply(m[0], 1, 0, 0), 1, 2, 2, "root point");
    ExpectVec(Apply(m[1], 0, 0, 0), -29, -18, -7, "mesh 1 origin");
    ExpectVec(Apply(m[1], 1, 0, 0), -29, -17, -7, "mesh 1 point");

    // A damaged tree: pops of an empty stack and pushes past the limit are ignored.
    std::vector<TrMeshTreeEntry> deep(40, TrMeshTreeEntry{TrMeshTreeEntry::kPush, 1, 0, 0});
    deep.push_back({TrMeshTreeEntry::kPop, 0, 0, 0});
    MeshTreeMatrices(deep, 42, nullptr, m);
    ExpectVec(Apply(m[40], 0, 0, 0), 40, 0, 0, "deepest");
    ExpectVec(Apply(m[41], 0, 0, 0), float(kMeshTreeMaxDepth - 1), 0, 0, "pop to the last saved");
    MeshTreeMatrices({{TrMeshTreeEntry::kPop, 0, 0, 1}}, 3, nullptr, m);
    ExpectVec(Apply(m[2], 0, 0, 0), 0, 0, -1, "pop of an empty stack, missing entry");

    // A zero rotation (no data) draws unturned; the GL copy is column-major.
    CMatrix4 r;
    PoseRotation(r, CQuaternion{});
    ExpectVec(Apply(r, 1, 2, 3), 1, 2, 3, "zero quaternion");
    float gl[16];
    CMatrix4 t;
    ToGlMatrix(MatTranslation(t, CVector3{4, 5, 6}), gl);
    EXPECT_EQ(gl[12], 4);
    EXPECT_EQ(gl[13], 5);
    EXPECT_EQ(gl[14], 6);
    EXPECT_EQ(gl[3], 0);
}

TEST(SpriteLayout, RowsClockAndKeyStep) {
    std::vector<TrSpriteFrameRecord> sprites(3);
    const int16_t rects[3][4] = {{0, 0, 100, 50}, {-50, -40, 50, 40}, {0, 0, 100, 20}};
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 4; ++k) sprites[size_t(i)].setS16(2 * k, rects[i][k]);

    // Row width 256: one row, the third sprite drawn whole past the row's end.
    SpriteListLayout one = LayoutSpriteList(sprites, 256);
    EXPECT_EQ(one.width, 256);
    EXPECT_EQ(one.height, 80);
    ExpectVec(one.offsets[0], -128, 40, 0, "first");
    ExpectVec(one.offsets[1], -28, 40, 0, "second");
    ExpectVec(one.offsets[2], 72, 40, 0, "third");
    // Row width 150: the third sprite starts the second row.
    SpriteListLayout two = LayoutSpriteList(sprites, 150);
    EXPECT_EQ(two.width, 150);
    EXPECT_EQ(two.height, 100);
    ExpectVec(two.offsets[1], 25, 50, 0, "second");
    ExpectVec(two.offsets[2], -75, -30, 0, "second row");
    EXPECT_EQ(LayoutSpriteList(sprites, 10).width, 100);  // at least the widest

    // 20 sprites a second at 10 frames a second: two sprites a frame, wrapping at the count.
    float clock = 0;
    EXPECT_EQ(AdvanceSpriteClock(clock, 20, 10, 5), 2);
    EXPECT_EQ(AdvanceSpriteClock(clock, 20, 10, 5), 4);
    EXPECT_EQ(AdvanceSpriteClock(clock, 20, 10, 5), 0);
    EXPECT_EQ(AdvanceSpriteClock(clock, 20, 0, 0), -1);

    // The mesh pane's key step: about 70 units a second at any rate.
    EXPECT_EQ(MeshKeyStep(0), 70);
    EXPECT_EQ(MeshKeyStep(100), 1);
    EXPECT_EQ(MeshKeyStep(35), 2);
}

// ---- Playback and the window's own rules on a synthetic moveable ----

TEST(GlWindow, PlaybackFitAndCaption) {
    ASSERT_TRUE(StartWx());
    wxFrame* frame = nullptr;
    COpenGLWnd* gl = ShownGlWindow(frame);

    // A box from (10,10,10) to (20,20,20) is fitted with the origin: 0 to 20, scale 1/20.
    auto square = MakeSquare();
    square->meshes[0].vertices = {{10, -10, -10}, {20, -10, -20}, {20, -20, -20}, {10, -20, -10}};
    square->meshes[0].ComputeBoundingBox();
    GlDisplayItem item;
    item.primary = true;
    item.main.object = square.get();
    item.main.visible = true;
    gl->SetDisplayItems(&item, 1, false, 0);
    EXPECT_NEAR(gl->FitScale(), 1.0f / 20, 1e-6f);
    ExpectVec(gl->Camera().target, 0.5f, 0.5f, 0.5f, "centre of 0..20");

    // Captions keep 255 characters.
    gl->SetCaption(std::string(300, 'x').c_str());
    EXPECT_EQ(gl->GetCaption().size(), 255u);
    gl->SetCaption(nullptr);
    EXPECT_EQ(gl->GetCaption().size(), 255u);
    ASSERT_TRUE(gl->RenderFrame(false));  // the caption's font lists are made and drawn
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // A moveable of four meshes with one 10-frame animation (one key every 5 frames).
    CTrMvb mvb;
    mvb.meshes.resize(4, square->meshes[0]);
    mvb.meshTree = SampleTree();
    auto track = std::make_unique<CAnimTrack>(2, 10, 5, 30.0f);
    auto keyed = SampleTrack(4);
    track->AddKey(keyed->keys[0]);
    track->AddKey(keyed->keys[0]);
    mvb.animations->AddTrack(std::move(track));
    GlDisplayItem moving;
    moving.primary = true;
    moving.main.kind = GlKindMoveable;
    moving.main.object = &mvb;
    moving.main.visible = true;
    moving.associated.kind = GlKindMoveable;
    gl->SetDisplayItems(&moving, 1, false, -1);
    gl->SetReplaySpeed(0.25f);  // nothing plays yet: no change
    EXPECT_FLOAT_EQ(mvb.animations->speed, 1.0f);

    gl->StartAnimPlayback(0);
    EXPECT_TRUE(gl->IsPlaying());
    CAnimTrack* t = mvb.animations->CurrentTrack();
    ASSERT_NE(t, nullptr);
    gl->SetReplaySpeed(0.25f);
    EXPECT_FLOAT_EQ(mvb.animations->speed, 0.5f);
    gl->SetReplaySpeed(0.75f);
    EXPECT_FLOAT_EQ(mvb.animations->speed, 2.25f);
    EXPECT_FLOAT_EQ(t->speed, 2.25f);
    gl->SetAnimFrame(3);
    EXPECT_FLOAT_EQ(t->time, 3.0f);
    gl->SetAnimKey(1);
    EXPECT_FLOAT_EQ(t->time, 5.0f);
    gl->StepAnimation(2);  // 2.25 x 2 / 30 of a frame
    EXPECT_NEAR(t->time, 5.15f, 1e-4f);
    gl->SetAnimFraction(0.25f);
    EXPECT_FLOAT_EQ(t->fraction, 0.25f);
    gl->SetChainAnimations(true, true);
    EXPECT_TRUE(mvb.animations->chain);
    EXPECT_FLOAT_EQ(t->time, 0.0f);  // restarted

    // Automatic playback moves the track on by a frame's time at each frame drawn.
    gl->SetAutoCamera(false);
    gl->SetInterpolate(false);
    for (int i = 0; i < 5; ++i) {
        wxMilliSleep(5);
        ASSERT_TRUE(gl->RenderFrame(false));
    }
    EXPECT_GT(t->time, 0.0f);
    EXPECT_FALSE(t->interpolate);
    EXPECT_EQ(t->fraction, 0.0f);
    gl->StartAnimPlayback(-1);
    EXPECT_FALSE(gl->IsPlaying());

    frame->Destroy();
    wxYield();
}

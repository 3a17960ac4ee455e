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
    CameraWheel(wheel, 120, 1.0f);  // 120 x 0.2 = 24 towards the target
    ExpectVec(wheel.eye, 0, 0, -76, "wheel in");
    CameraWheel(wheel, 0xFFFF, 1.0f);  // signed 16-bit: -1
    ExpectVec(wheel.eye, 0, 0, -76.2f, "wheel out");

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

TEST(GlWindow, DrawsMeshReadsBackAndPicks) {
    ASSERT_TRUE(StartWx());
    wxFrame* frame = new wxFrame(nullptr, wxID_ANY, "gl", wxDefaultPosition, wxSize(200, 200));
    COpenGLWnd* gl = new COpenGLWnd(frame);
    frame->SetClientSize(200, 200);
    frame->Show();
    for (int i = 0; i < 20 && !gl->IsShownOnScreen(); ++i) wxYield();
    wxYield();

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

    // While a level is saved nothing is drawn.
    g_bSavingLevel = true;
    EXPECT_FALSE(gl->RenderFrame(false));
    g_bSavingLevel = false;

    frame->Destroy();
    wxYield();
}

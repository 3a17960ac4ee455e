#include "editor/view3d/GlMarkers.h"

#include <GL/freeglut.h>

namespace lithoscope {

namespace {
// freeglut ends the process when its shapes are drawn before glutInit.
void EnsureGlut() {
    static bool done = [] {
        static int argc = 1;
        static char arg0[] = "lithoscope";
        static char* argv[] = {arg0, nullptr};
        glutInit(&argc, argv);
        return true;
    }();
    (void)done;
}
}  // namespace

void DrawWireCube(double size) {
    EnsureGlut();
    glutWireCube(size);
}

void DrawWireSphere(double radius, int slices, int stacks) {
    EnsureGlut();
    glutWireSphere(radius, slices, stacks);
}

}  // namespace lithoscope

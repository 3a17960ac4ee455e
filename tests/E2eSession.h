#pragma once
// End-to-end harness: real X events on a display with a window manager.
//
// XSession gives a suite an X display on which a window manager (openbox) runs, so focus,
// popup menus, dialogs and drag and drop behave as on a desktop:
//   - under xvfb-run (DISPLAY set, as the editor_ suites run) it starts openbox on that
//     display; without a display it starts its own Xvfb (1280x1024x24) first and sets
//     DISPLAY. What it started is stopped, by process id, when it is destroyed.
//   - Usable() is false when Xvfb, openbox, xdotool or ImageMagick's import is missing:
//     the suite then skips (GTEST_SKIP) instead of failing.
// Driving the display:
//   - Xdo("mousemove 10 20 click 3") runs xdotool and waits for it; XdoAsync(...) starts it
//     and returns at once, for an in-process editor that must go on pumping its events
//     while xdotool clicks (a popup menu or a drag runs a loop of its own). Finished(pid)
//     tells when an asynchronous run is done.
//   - Windows("Lithoscope") lists the X windows whose name matches; Geometry(window) gives
//     their place on the screen.
//   - Screenshot(path) writes a PNG of the whole screen (import -window root); ReadPng
//     loads one for pixel checks.
// Example, out of process: start the built program (ProgramPath()) with a level as its
// argument, wait for Windows("Lithoscope - ") to list it, Xdo("key Menu"), Screenshot(...).
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope::test {

struct ScreenImage {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;  // rows top first, 3 bytes per pixel
    bool empty() const { return rgb.empty(); }
    // Red, green, blue of a pixel as 0xRRGGBB.
    uint32_t At(int x, int y) const;
};

struct WindowGeometry {
    int x = 0, y = 0, width = 0, height = 0;
};

class XSession {
public:
    XSession();
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool Usable() const { return usable_; }
    const std::string& Display() const { return display_; }
    // Why the session is not usable.
    const std::string& Problem() const { return problem_; }

    // xdotool with these words; returns its exit status (and its output in out).
    int Xdo(const std::string& words, std::string* out = nullptr) const;
    // xdotool started in the background; -1 when it can't be started.
    pid_t XdoAsync(const std::string& words) const;
    // True once the background run has ended (it is then reaped).
    static bool Finished(pid_t pid);

    std::vector<unsigned long> Windows(const std::string& name) const;
    WindowGeometry Geometry(unsigned long window) const;

    bool Screenshot(const std::string& path) const;
    static ScreenImage ReadPng(const std::string& path);

private:
    pid_t Start(const std::vector<std::string>& argv, const std::string& display);

    bool usable_ = false;
    std::string display_;
    std::string problem_;
    std::vector<pid_t> started_;  // stopped in reverse order
    std::string previousDisplay_;
    bool setDisplay_ = false;
};

// Runs a shell command; its exit status, standard output in out.
int RunCommand(const std::string& command, std::string* out = nullptr);
// True when the program is on the path.
bool HaveProgram(const std::string& name);

}  // namespace lithoscope::test

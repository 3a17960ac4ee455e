#include "E2eSession.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "platform/System.h"

extern char** environ;

namespace lithoscope::test {

namespace {

std::string Quote(const std::string& s) {
    std::string out = "'";
    for (char c : s) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace

uint32_t ScreenImage::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const uint8_t* p = &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3];
    return (uint32_t(p[0]) << 16) | (uint32_t(p[1]) << 8) | p[2];
}

int RunCommand(const std::string& command, std::string* out) {
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::string text;
    char buffer[512];
    size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, n);
    const int status = pclose(pipe);
    if (out) *out = text;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& name) {
    return RunCommand("command -v " + Quote(name) + " >/dev/null 2>&1") == 0;
}

pid_t XSession::Start(const std::vector<std::string>& argv, const std::string& display) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        if (std::string(*e).rfind("DISPLAY=", 0) != 0) env.emplace_back(*e);
    if (!display.empty()) env.push_back("DISPLAY=" + display);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

XSession::XSession() {
    for (const char* tool : {"openbox", "xdotool", "import"})
        if (!HaveProgram(tool)) {
            problem_ = std::string(tool) + " is not installed";
            return;
        }
    const char* current = std::getenv("DISPLAY");
    if (current && *current) {
        display_ = current;
    } else {
        if (!HaveProgram("Xvfb")) {
            problem_ = "no display and no Xvfb";
            return;
        }
        // A free display number: the first without a lock file.
        for (int n = 90; n < 190 && display_.empty(); ++n)
            if (access(("/tmp/.X" + std::to_string(n) + "-lock").c_str(), F_OK) != 0)
                display_ = ":" + std::to_string(n);
        pid_t xvfb = Start({"Xvfb", display_, "-screen", "0", "1280x1024x24", "-nolisten", "tcp"}, "");
        if (xvfb < 0) {
            problem_ = "Xvfb did not start";
            return;
        }
        started_.push_back(xvfb);
        for (int i = 0; i < 50 && RunCommand("DISPLAY=" + display_ + " xdotool getdisplaygeometry >/dev/null 2>&1") != 0; ++i)
            Sleep(100);
        previousDisplay_ = current ? current : "";
        setenv("DISPLAY", display_.c_str(), 1);
        setDisplay_ = true;
    }
    // The window manager, taking over from any other one on the display.
    pid_t wm = Start({"openbox", "--replace", "--sm-disable"}, display_);
    if (wm < 0) {
        problem_ = "openbox did not start";
        return;
    }
    started_.push_back(wm);
    // Up once it owns the screen's window-manager selection.
    for (int i = 0; i < 50; ++i) {
        std::string out;
        if (RunCommand("DISPLAY=" + display_ + " xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null", &out) == 0 &&
            out.find("window id") != std::string::npos)
            break;
        Sleep(100);
    }
    usable_ = true;
}

XSession::~XSession() {
    for (auto it = started_.rbegin(); it != started_.rend(); ++it) {
        kill(*it, SIGTERM);
        waitpid(*it, nullptr, 0);
    }
    if (setDisplay_) {
        if (previousDisplay_.empty()) unsetenv("DISPLAY");
        else setenv("DISPLAY", previousDisplay_.c_str(), 1);
    }
}

int XSession::Xdo(const std::string& words, std::string* out) const {
    return RunCommand("DISPLAY=" + display_ + " xdotool " + words + " 2>/dev/null", out);
}

pid_t XSession::XdoAsync(const std::string& words) const {
    std::vector<std::string> argv{"sh", "-c", "exec xdotool " + words};
    return const_cast<XSession*>(this)->Start(argv, display_);
}

bool XSession::Finished(pid_t pid) {
    if (pid <= 0) return true;
    int status = 0;
    return waitpid(pid, &status, WNOHANG) == pid;
}

std::vector<unsigned long> XSession::Windows(const std::string& name) const {
    std::string out;
    Xdo("search --name " + Quote(name), &out);
    std::vector<unsigned long> windows;
    std::istringstream in(out);
    unsigned long w = 0;
    while (in >> w) windows.push_back(w);
    return windows;
}

WindowGeometry XSession::Geometry(unsigned long window) const {
    std::string out;
    WindowGeometry g;
    if (Xdo("getwindowgeometry --shell " + std::to_string(window), &out) != 0) return g;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq);
        const int value = std::atoi(line.c_str() + eq + 1);
        if (key == "X") g.x = value;
        else if (key == "Y") g.y = value;
        else if (key == "WIDTH") g.width = value;
        else if (key == "HEIGHT") g.height = value;
    }
    return g;
}

bool XSession::Screenshot(const std::string& path) const {
    return RunCommand("DISPLAY=" + display_ + " import -window root " + Quote(path) + " 2>/dev/null") == 0;
}

ScreenImage XSession::ReadPng(const std::string& path) {
    ScreenImage image;
    std::vector<uint8_t> rgba;
    if (LoadPictureRGBA(path, &image.width, &image.height, &rgba) != 0) return ScreenImage();
    image.rgb.reserve(rgba.size() / 4 * 3);
    for (size_t i = 0; i + 3 < rgba.size(); i += 4) image.rgb.insert(image.rgb.end(), &rgba[i], &rgba[i] + 3);
    return image;
}

}  // namespace lithoscope::test

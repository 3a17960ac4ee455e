// The program on a display, given named pipes where it expects files: as the level on its
// command line, as the level or object chosen in File Open, and as its settings file. It
// says what is wrong and goes on; nothing waits on a pipe, nothing replaces one.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <sstream>
#include <thread>

#include "E2eSession.h"
#include "TestSupport.h"

namespace lithoscope::test {
namespace {

bool WaitFor(const std::function<bool()>& done, int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return done();
}

bool IsFifo(const std::string& path) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode);
}

// The program, started out of process with a word on its command line; killed at the end.
class Program {
public:
    Program(const std::string& word, const std::string& configDir, const std::string& errPath) {
        pid_ = ::fork();
        if (pid_ == 0) {
            const int err = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            const int in = ::open("/dev/null", O_RDONLY);
            if (err < 0 || in < 0) ::_exit(126);
            ::dup2(in, 0);
            ::dup2(err, 1);
            ::dup2(err, 2);
            ::setenv("LITHOSCOPE_CONFIG_DIR", configDir.c_str(), 1);
            ::setenv("GDK_BACKEND", "x11", 1);
            ::setenv("SDL_AUDIODRIVER", "dummy", 1);
            const std::string program = ProgramPath();
            ::execl(program.c_str(), program.c_str(), word.c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~Program() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        if (!WaitFor([this] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; }, 5000)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

TEST(EditorFiles, NamedPipesAreRefusedWithAMessage) {
    XSession session;
    if (!session.Usable()) GTEST_SKIP() << session.Problem();
    TempDir work, config;
    const std::string level = work.file("pipe.tr4"), object = work.file("moveable.trmvb");
    const std::string settings = config.file("settings.ini");
    for (const std::string& fifo : {level, object, settings}) ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    Program program(level, config.path(), work.file("stderr.txt"));

    // Opened from the command line: the message box, over the main window.
    // The windows shown whose name matches (a closed dialog's window may stay unmapped).
    auto shown = [&](const std::string& name) {
        std::string out;
        session.Xdo("search --onlyvisible --name '" + name + "'", &out);
        std::vector<unsigned long> windows;
        std::istringstream in(out);
        for (unsigned long w; in >> w;) windows.push_back(w);
        return windows;
    };
    auto messageBox = [&] {
        for (unsigned long w : shown("^Lithoscope$")) {
            const WindowGeometry g = session.Geometry(w);
            if (g.width >= 200 && g.width < 700 && g.height >= 60 && g.height < 300) return w;
        }
        return 0ul;
    };
    // Waits for the box and gives it the focus, as a user's click would.
    auto showsMessageBox = [&] {
        if (!WaitFor([&] { return messageBox() != 0; }, 30000)) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        session.Xdo("windowactivate --sync " + std::to_string(messageBox()));
        return true;
    };
    ASSERT_TRUE(showsMessageBox()) << "no message box";
    const std::string shot = work.file("message.png");
    session.Screenshot(shot);
    const ScreenImage image = XSession::ReadPng(shot);
    ASSERT_FALSE(image.empty());
    // The box shows dark text on its light face, the text in two lines.
    const WindowGeometry box = session.Geometry(messageBox());
    int dark = 0;
    for (int y = box.y; y < box.y + box.height / 2 && y < image.height; ++y)
        for (int x = box.x; x < box.x + box.width && x < image.width; ++x)
            dark += (image.At(x, y) & 0xFF) < 0x60;
    EXPECT_GT(dark, 200);
    session.Xdo("key Return");
    ASSERT_TRUE(WaitFor([&] { return messageBox() == 0; }, 10000));
    EXPECT_TRUE(WaitFor([&] { return shown("pipe.tr4").empty(); }, 10000));

    // File Open, the user typing the path of a pipe: the same refusal for a level or an
    // object file, and the program goes on.
    for (const std::string& path : {level, object}) {
        SCOPED_TRACE(path);
        session.Xdo("key ctrl+o");
        ASSERT_TRUE(WaitFor([&] { return !shown("Select a file").empty(); }, 10000));
        session.Xdo("key ctrl+l");
        session.Xdo("type --delay 10 '" + path + "'");
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        session.Xdo("key Return");
        ASSERT_TRUE(showsMessageBox()) << "no message box";
        session.Xdo("key Return");
        ASSERT_TRUE(WaitFor([&] { return messageBox() == 0; }, 10000));
    }
    EXPECT_TRUE(program.Running());

    // The settings file that is a pipe is said once on standard error and left alone.
    std::vector<uint8_t> err = ReadFileBytes(work.file("stderr.txt"));
    const std::string said(err.begin(), err.end());
    const std::string note = settings + " is a named pipe, not a regular file; the settings are "
                             "the defaults for this run and the file is left as it is";
    EXPECT_NE(said.find(note), std::string::npos) << said;
    EXPECT_EQ(said.find(note), said.rfind(note));
    for (const std::string& fifo : {level, object, settings}) EXPECT_TRUE(IsFifo(fifo)) << fifo;
}

}  // namespace
}  // namespace lithoscope::test

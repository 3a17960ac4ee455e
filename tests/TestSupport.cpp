#include "TestSupport.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <stdexcept>
#include <thread>

#include "platform/Files.h"
#include "platform/Settings.h"

namespace lithoscope::test {

namespace {
void RemoveTree(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        if (DIR* d = ::opendir(path.c_str())) {
            while (dirent* e = ::readdir(d)) {
                std::string n = e->d_name;
                if (n != "." && n != "..") RemoveTree(path + "/" + n);
            }
            ::closedir(d);
        }
        ::rmdir(path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

void Walk(const std::string& dir, bool unsupported, std::vector<RealLevel>& out) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == ".." || n[0] == '.') continue;
        std::string full = dir + "/" + n;
        if (IsDirectory(full))
            Walk(full, unsupported || n == "unsupported", out);
        else if (n.size() < 8 || n.compare(n.size() - 8, 8, "_log.txt") != 0)
            out.push_back({full, unsupported});
    }
    ::closedir(d);
}
}  // namespace

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/lithoscope-test-XXXXXX";
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (!::mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
    path_ = buf.data();
}

TempDir::~TempDir() { RemoveTree(path_); }

ScopedConfigDir::ScopedConfigDir() {
    if (const char* p = std::getenv("LITHOSCOPE_CONFIG_DIR")) {
        previous_ = p;
        hadPrevious_ = true;
    }
    ::setenv("LITHOSCOPE_CONFIG_DIR", dir_.path().c_str(), 1);
    ReloadSettings();
}

ScopedConfigDir::~ScopedConfigDir() {
    if (hadPrevious_)
        ::setenv("LITHOSCOPE_CONFIG_DIR", previous_.c_str(), 1);
    else
        ::unsetenv("LITHOSCOPE_CONFIG_DIR");
    ReloadSettings();
}

std::string RealLevelsDir() {
    if (const char* p = std::getenv("LITHOSCOPE_LEVELS_DIR")) return IsDirectory(p) ? p : "";
    std::string d = std::string(LITHOSCOPE_SOURCE_DIR) + "/../shared/testdata/levels";
    return IsDirectory(d) ? d : "";
}

std::string DamagedInputsDir() {
    if (const char* p = std::getenv("LITHOSCOPE_DAMAGED_DIR")) return IsDirectory(p) ? p : "";
    std::string d = std::string(LITHOSCOPE_SOURCE_DIR) + "/../shared/testdata/damaged";
    return IsDirectory(d) ? d : "";
}

namespace {
// Copies of every file below dir in a folder of this process's own, sorted by path, with
// the same names and sub-folders: loading a level writes its log beside it, and the shared
// files must stay as they are.
std::vector<RealLevel> CopiesOf(std::string dir) {
    std::vector<RealLevel> copies;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (dir.empty()) return copies;
    std::vector<RealLevel> originals;
    Walk(dir, false, originals);
    static std::vector<std::unique_ptr<TempDir>> folders;
    folders.push_back(std::make_unique<TempDir>());
    for (const RealLevel& level : originals) {
        std::string relative = level.path.substr(dir.size());
        std::string target = folders.back()->path();
        size_t start = 0;
        for (size_t slash; (slash = relative.find('/', start + 1)) != std::string::npos;
             start = slash) {
            target += relative.substr(start, slash - start);
            ::mkdir(target.c_str(), 0777);
        }
        target += relative.substr(start);
        WriteFileBytes(target, ReadFileBytes(level.path));
        copies.push_back({target, level.unsupported});
    }
    std::sort(copies.begin(), copies.end(),
              [](const RealLevel& a, const RealLevel& b) { return a.path < b.path; });
    return copies;
}
}  // namespace

std::vector<RealLevel> RealLevelFiles() {
    static const std::vector<RealLevel> copies = CopiesOf(RealLevelsDir());
    return copies;
}

std::vector<std::string> DamagedInputFiles() {
    static const std::vector<RealLevel> copies = CopiesOf(DamagedInputsDir());
    std::vector<std::string> paths;
    for (const RealLevel& c : copies) paths.push_back(c.path);
    return paths;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::vector<uint8_t> v;
    if (!ReadWholeFile(path, v)) throw std::runtime_error("can't read " + path);
    return v;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("can't write " + path);
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

std::string ProgramPath() { return LITHOSCOPE_BINARY; }

pid_t StartProgram(const std::string& program, const std::vector<std::string>& words,
                   const ProgramSetup& setup, int input, const std::string& outPath) {
    std::vector<std::string> store{program};
    store.insert(store.end(), words.begin(), words.end());
    std::vector<char*> argv;
    for (std::string& w : store) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int output = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (input < 0 || output < 0 || ::chdir(setup.cwd.c_str()) != 0) ::_exit(126);
        ::dup2(input, 0);
        ::dup2(output, 1);
        ::dup2(output, 2);
        const rlimit noCore{0, 0};  // Ctrl+\ and the like dump no core
        ::setrlimit(RLIMIT_CORE, &noCore);
        if (setup.addressLimit) {
            const rlimit space{setup.addressLimit, setup.addressLimit};
            ::setrlimit(RLIMIT_AS, &space);
        }
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        for (const auto& [name, value] : setup.env) ::setenv(name.c_str(), value.c_str(), 1);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    if (input >= 0) ::close(input);
    return pid;
}

ProgramRun RunProgramOnce(const std::string& program, const std::vector<std::string>& words,
                          const ProgramSetup& setup) {
    ProgramRun r;
    TempDir out;
    const std::string outPath = out.file("output.txt");
    int pipeFds[2] = {-1, -1};
    if (setup.inputPipe && ::pipe2(pipeFds, O_CLOEXEC) != 0) return r;
    // The write end stays open here: reads would block.
    const int input = setup.inputPipe ? pipeFds[0] : ::open("/dev/null", O_RDONLY);
    const pid_t pid = StartProgram(program, words, setup, input, outPath);
    if (pid < 0) return r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(setup.timeoutSeconds);
    int wstatus = 0;
    struct rusage usage {};
    for (;;) {
        if (::wait4(pid, &wstatus, WNOHANG, &usage) == pid) break;
        if (std::chrono::steady_clock::now() > deadline) {
            r.timedOut = true;
            ::kill(pid, SIGKILL);
            ::wait4(pid, &wstatus, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    if (pipeFds[1] >= 0) ::close(pipeFds[1]);
    if (WIFEXITED(wstatus)) r.status = WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) r.status = 128 + WTERMSIG(wstatus);
    r.peakKb = usage.ru_maxrss;
    std::vector<uint8_t> bytes;
    if (ReadWholeFile(outPath, bytes)) r.output.assign(bytes.begin(), bytes.end());
    return r;
}

}  // namespace lithoscope::test

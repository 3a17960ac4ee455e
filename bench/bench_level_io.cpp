// Load and save of every real level beside the bare cost of the same work: for Tomb
// Raider IV the zlib inflate and deflate of the same chunks at the default level on one
// thread, for Tomb Raider I-III reading the file and writing it back through the safe
// writer. In process (a load with the object model and a save with its preparation, as
// the batch run does them), and as whole processes: the batch run of the program beside
// a process that only reads the file and writes it back safely. Prints the ratios, the
// peak memory of the batch process and what it may be (3 x the inflated size + 20 MB).
#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "level/LevelLog.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "bench/BenchLevels.h"
#include "platform/Settings.h"
#include "platform/System.h"

using namespace lithoscope;

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t o) {
    return uint32_t(b[o]) | (uint32_t(b[o + 1]) << 8) | (uint32_t(b[o + 2]) << 16) |
           (uint32_t(b[o + 3]) << 24);
}

struct Chunk {
    uint32_t unpacked;
    const uint8_t* data;
    uint32_t packed;
};

std::vector<uint8_t> InflateChunk(const Chunk& c) {
    std::vector<uint8_t> out(c.unpacked);
    uLongf n = c.unpacked;
    if (uncompress(out.data(), &n, c.data, c.packed) != Z_OK) std::exit(2);
    return out;
}

size_t DeflateSize(const std::vector<uint8_t>& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    std::vector<uint8_t> out(n);
    if (compress(out.data(), &n, raw.data(), uLong(raw.size())) != Z_OK) std::exit(2);
    return n;
}

// The zlib work of a TR4 load and save: inflate the 16-bit pages and the level data,
// deflate them and the 32-bit pages that the save writes (made from the 16-bit ones).
double BareTr4(const std::vector<uint8_t>& f) {
    Chunk c[4];
    size_t o = 10;
    for (Chunk& ch : c) {
        ch.unpacked = Le32(f, o);
        ch.packed = Le32(f, o + 4);
        ch.data = &f[o + 8];
        o += 8 + ch.packed;
    }
    // The 32-bit pages as the save makes them, outside the timing.
    std::vector<uint8_t> pages32;
    {
        const std::vector<uint8_t> p16 = InflateChunk(c[1]);
        pages32.resize(p16.size() * 2);
        for (size_t i = 0; i < p16.size() / 2; ++i) {
            const unsigned px = p16[2 * i] | (p16[2 * i + 1] << 8);
            pages32[4 * i] = uint8_t((px & 31) << 3);
            pages32[4 * i + 1] = uint8_t(((px >> 5) & 31) << 3);
            pages32[4 * i + 2] = uint8_t(((px >> 10) & 31) << 3);
            pages32[4 * i + 3] = px & 0x8000 ? 255 : 0;
        }
    }
    const double t0 = SecondsNow();
    std::vector<uint8_t> pages16 = InflateChunk(c[1]);
    std::vector<uint8_t> level = InflateChunk(c[3]);
    size_t sink = DeflateSize(level) + DeflateSize(pages16) + DeflateSize(pages32);
    const double t = SecondsNow() - t0;
    if (sink == 0) std::exit(3);
    return t;
}

double BareTr123(const std::string& path, const std::string& out) {
    const double t0 = SecondsNow();
    std::vector<uint8_t> bytes;
    if (!ReadWholeFile(path, bytes)) std::exit(2);
    if (!WriteFileSafely(out, bytes.data(), bytes.size())) std::exit(2);
    return SecondsNow() - t0;
}

double Ours(const std::string& path, const std::string& out) {
    const double t0 = SecondsNow();
    CTrLevel level;
    level.rebuildAfterSave = false;
    if (!level.Load(path, false, false)) std::exit(4);
    if (!level.Save(out, 1, false, false)) std::exit(5);
    return SecondsNow() - t0;
}

// Runs a process to its end: its time and its peak memory in KB.
double RunProcess(const std::vector<std::string>& args, long* peakKb) {
    const double t0 = SecondsNow();
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!std::freopen("/dev/null", "w", stderr)) _exit(126);
        if (!std::freopen("/dev/null", "w", stdout)) _exit(126);
        ::execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage u{};
    ::wait4(pid, &status, 0, &u);
    if (peakKb) *peakKb = u.ru_maxrss;
    return SecondsNow() - t0;
}

// A child's peak memory counts that of the process it was forked from, so the runs are
// started by a launcher forked while the benchmark is still small. Requests are argument
// lists (each argument ends with a 0 byte, an empty one ends the list); answers the time
// and the peak memory.
class Launcher {
public:
    Launcher() {
        int down[2], up[2];
        if (::pipe(down) != 0 || ::pipe(up) != 0) std::exit(1);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(down[1]);
            ::close(up[0]);
            Serve(down[0], up[1]);
            _exit(0);
        }
        ::close(down[0]);
        ::close(up[1]);
        to_ = down[1];
        from_ = up[0];
    }
    ~Launcher() {
        ::close(to_);
        ::close(from_);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    double Run(const std::vector<std::string>& args, long* peakKb) {
        std::string request;
        for (const std::string& a : args) request.append(a.c_str(), a.size() + 1);
        request.push_back('\0');
        if (!WriteAll(to_, request.data(), request.size())) std::exit(1);
        Answer a{};
        if (!ReadAll(from_, &a, sizeof a)) std::exit(1);
        if (peakKb) *peakKb = a.peakKb;
        return a.seconds;
    }

private:
    struct Answer {
        double seconds;
        long peakKb;
    };
    static bool WriteAll(int fd, const void* p, size_t n) {
        for (const char* c = static_cast<const char*>(p); n > 0;) {
            const ssize_t k = ::write(fd, c, n);
            if (k <= 0) return false;
            c += k;
            n -= size_t(k);
        }
        return true;
    }
    static bool ReadAll(int fd, void* p, size_t n) {
        for (char* c = static_cast<char*>(p); n > 0;) {
            const ssize_t k = ::read(fd, c, n);
            if (k <= 0) return false;
            c += k;
            n -= size_t(k);
        }
        return true;
    }
    static void Serve(int in, int out) {
        std::vector<std::string> args;
        std::string word;
        char c;
        while (::read(in, &c, 1) == 1) {
            if (c != '\0') {
                word.push_back(c);
                continue;
            }
            if (!word.empty()) {
                args.push_back(word);
                word.clear();
                continue;
            }
            Answer a{};
            a.seconds = RunProcess(args, &a.peakKb);
            args.clear();
            if (!WriteAll(out, &a, sizeof a)) return;
        }
    }
    pid_t pid_ = -1;
    int to_ = -1, from_ = -1;
};

// The bytes a level holds once inflated: the file for Tomb Raider I-III; the unpacked
// chunks and the rest of the file for Tomb Raider IV.
size_t InflatedSize(const std::vector<uint8_t>& f, int v) {
    if (v != 4) return f.size();
    size_t o = 10, total = 10;
    for (int i = 0; i < 4; ++i) {
        total += Le32(f, o);
        o += 8 + Le32(f, o + 4);
    }
    return total + (f.size() - o);
}

}  // namespace

int main(int argc, char** argv) {
    // The bare process: read the file, write it back safely.
    if (argc == 4 && std::string(argv[1]) == "--bare") {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(argv[2], bytes) || !WriteFileSafely(argv[3], bytes.data(), bytes.size())) return 2;
        return 0;
    }
    std::string dir;
    if (argc > 1) {
        dir = argv[1];
    } else if (const char* env = std::getenv("LITHOSCOPE_LEVELS_DIR")) {
        dir = env;
    } else {
        dir = std::string(LITHOSCOPE_SOURCE_DIR) + "/../shared/testdata/levels";
    }
    std::vector<std::string> files;
    Walk(dir, files);
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::printf("no levels under %s\n", dir.c_str());
        return 0;
    }
    char tmpl[] = "/tmp/lithoscope-bench-XXXXXX";
    if (!::mkdtemp(tmpl)) return 1;
    const std::string tmp = tmpl;
    ::setenv("LITHOSCOPE_CONFIG_DIR", tmp.c_str(), 1);  // default settings
    ReloadSettings();
    Launcher launcher;  // before the benchmark grows
    PrepareHeapForBatchRun();  // as the batch run does
    const std::string self = ExecutableFolder() + "bench_level_io";
    const std::string program = LITHOSCOPE_PROGRAM;

    std::vector<std::string> created = {tmp + "/settings.ini"};
    const int kRuns = 5;
    std::printf("%-26s %2s %8s %8s %6s | %8s %8s %6s | %8s %8s\n", "level", "v", "bare ms",
                "ours ms", "ratio", "proc ms", "batch ms", "ratio", "peak MB", "limit MB");
    for (const std::string& path : files) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes) || bytes.size() < 4) continue;
        const uint32_t magic = Le32(bytes, 0);
        const int v = magic == 0x20 ? 1 : magic == 0x2D ? 2
                      : (magic == 0xFF080038 || magic == 0xFF180038) ? 3
                      : magic == 0x00345254 ? 4 : 0;
        if (v == 0) continue;
        // A copy: the load writes its log beside the level.
        const std::string in = tmp + "/in" + ExtensionOf(path);
        const std::string out = tmp + "/out" + ExtensionOf(path);
        if (!WriteFileSafely(in, bytes.data(), bytes.size())) return 1;
        created.insert(created.end(), {in, out, GetLogPath(in, "_log.txt"), GetLogPath(out, "_log.txt")});
        double bare = 1e30, ours = 1e30, bareProcess = 1e30, batch = 1e30;
        long peak = 0;
        for (int i = 0; i < kRuns; ++i) {
            bare = std::min(bare, v == 4 ? BareTr4(bytes) : BareTr123(in, out));
            ours = std::min(ours, Ours(in, out));
            bareProcess = std::min(bareProcess, launcher.Run({self, "--bare", in, out}, nullptr));
            long kb = 0;
            batch = std::min(batch, launcher.Run({program, "s", "0", "1", in, out}, &kb));
            peak = std::max(peak, kb);
        }
        const double limit = 3.0 * double(InflatedSize(bytes, v)) / (1024 * 1024) + 20;
        std::printf("%-26s %2d %8.1f %8.1f %5.2fx | %8.1f %8.1f %5.2fx | %8.1f %8.1f\n",
                    FileNameOf(path).c_str(), v, bare * 1000, ours * 1000, ours / bare,
                    bareProcess * 1000, batch * 1000, batch / bareProcess, peak / 1024.0, limit);
    }
    for (const std::string& f : created) std::remove(f.c_str());
    ::rmdir(tmp.c_str());
    return 0;
}

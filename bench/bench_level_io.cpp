// Load and save of every real level beside the bare cost of the same work: for Tomb
// Raider IV the zlib inflate and deflate of the same chunks at the default level, for
// Tomb Raider I-III reading the file and writing it back through the safe writer.
// Prints the ratio per level and the peak memory.
#include <dirent.h>
#include <sys/resource.h>
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

long PeakKb() {
    rusage u;
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
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

double Ours(const std::string& path, const std::string& out, const std::string& log) {
    const double t0 = SecondsNow();
    CTrLevel level;
    if (!level.Load(path, true, false)) std::exit(4);
    StartLevelLog(log);  // the save's log line goes beside the copy, not the original
    if (!level.Save(out, 1, true, false)) std::exit(5);
    return SecondsNow() - t0;
}

}  // namespace

int main(int argc, char** argv) {
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

    std::vector<std::string> created = {tmp + "/bench_log.txt", tmp + "/settings.ini"};
    const int kRuns = 5;
    std::printf("%-28s %7s %10s %10s %7s %9s\n", "level", "version", "bare ms", "ours ms", "ratio",
                "peak MB");
    for (const std::string& path : files) {
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(path, bytes) || bytes.size() < 4) continue;
        const uint32_t magic = Le32(bytes, 0);
        const int v = magic == 0x20 ? 1 : magic == 0x2D ? 2
                      : (magic == 0xFF080038 || magic == 0xFF180038) ? 3
                      : magic == 0x00345254 ? 4 : 0;
        if (v == 0) continue;
        const std::string out = tmp + "/out" + ExtensionOf(path);
        created.push_back(out);
        double bare = 1e30, ours = 1e30;
        for (int i = 0; i < kRuns; ++i) {
            bare = std::min(bare, v == 4 ? BareTr4(bytes) : BareTr123(path, out));
            ours = std::min(ours, Ours(path, out, tmp + "/bench.tr4"));
        }
        std::printf("%-28s %7d %10.2f %10.2f %6.2fx %9.1f\n", FileNameOf(path).c_str(), v,
                    bare * 1000, ours * 1000, ours / bare, PeakKb() / 1024.0);
    }
    for (const std::string& f : created) std::remove(f.c_str());
    ::rmdir(tmp.c_str());
    return 0;
}

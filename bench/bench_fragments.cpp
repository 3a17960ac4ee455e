// Packer cost: a synthetic input of texture uses over rectangles on 20 pages, and the
// fragments of the largest real level, timed at a quarter, half and all of the input.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>

#include <string>

#include "level/Fragment.h"
#include "level/TrLevel.h"
#include "platform/Files.h"
#include "platform/Messages.h"
#include "level/MeshRecord.h"

using namespace lithoscope;

namespace {
TrObjectTextureRecord Tex(int tile, int x0, int y0, int x1, int y1) {
    TrObjectTextureRecord t;
    t.setU16(2, uint16_t(tile));
    const int xs[4] = {x0, x1, x1, x0}, ys[4] = {y0, y0, y1, y1};
    const uint8_t xc[4] = {1, 255, 255, 1}, yc[4] = {1, 1, 255, 255};
    for (int k = 0; k < 4; ++k) {
        t.corner(k)[0] = xc[k];
        t.corner(k)[1] = uint8_t(xs[k]);
        t.corner(k)[2] = yc[k];
        t.corner(k)[3] = uint8_t(ys[k]);
    }
    return t;
}

double Run(size_t uses, size_t rectangles, int pages) {
    std::vector<std::vector<uint16_t>> src(static_cast<size_t>(pages), std::vector<uint16_t>(256 * 256));
    uint32_t seed = 7;
    auto rnd = [&](int n) { seed = seed * 1103515245u + 12345u; return int((seed >> 8) % unsigned(n)); };
    for (auto& p : src)
        for (auto& px : p) px = uint16_t(0x8000 | rnd(0x7FFF));
    std::vector<std::vector<TrObjectTextureRecord>> textures(static_cast<size_t>(pages));
    for (size_t r = 0; r < rectangles; ++r) {
        int x = rnd(224), y = rnd(224);
        textures[r % size_t(pages)].push_back(Tex(0, x, y, x + 1 + rnd(30), y + 1 + rnd(30)));
    }
    std::vector<std::vector<TrMeshRectangle>> faces(static_cast<size_t>(pages));
    for (size_t u = 0; u < uses; ++u) {
        size_t p = u % size_t(pages);
        TrMeshRectangle f;
        f.setTexture(uint16_t(rnd(int(textures[p].size()))));
        faces[p].push_back(f);
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<CFragment> frags;
    for (size_t p = 0; p < size_t(pages); ++p)
        CFragment::AddFaces(src[p].data(), 256, 256, textures[p], faces[p], 4, frags, false);
    CFragment::SortBySize(frags, 0, int(frags.size()) - 1);
    CFragment::MergeDuplicates(frags);
    int w = 256, h = 0;
    std::vector<uint16_t> page;
    uint32_t n = CFragment::dwBuildTextureFromFragments(frags, page, &w, &h);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %7zu uses over %5zu rectangles: %zu fragments, %u textures, %dx%d, %.3f s\n", uses,
                rectangles, frags.size(), n, w, h, s);
    return s;
}
}  // namespace

// The largest file below dir (recursively), or "".
std::string Largest(const std::string& dir) {
    std::string best;
    off_t bestSize = -1;
    DIR* d = opendir(dir.c_str());
    if (!d) return best;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n[0] == '.' || n == "unsupported") continue;
        std::string full = dir + "/" + n;
        struct stat st;
        if (stat(full.c_str(), &st) != 0) continue;
        std::string candidate = S_ISDIR(st.st_mode) ? Largest(full) : full;
        if (S_ISDIR(st.st_mode)) {
            if (candidate.empty() || stat(candidate.c_str(), &st) != 0) continue;
        }
        if (st.st_size > bestSize) {
            bestSize = st.st_size;
            best = candidate;
        }
    }
    closedir(d);
    return best;
}

// The fragments a save of the largest real level packs.
void RealLevel() {
    const char* env = std::getenv("LITHOSCOPE_LEVELS_DIR");
    std::string dir = env ? env : std::string(LITHOSCOPE_SOURCE_DIR) + "/../shared/testdata/levels";
    std::string path = Largest(dir);
    if (path.empty()) {
        std::printf("no real levels\n");
        return;
    }
    ScriptedMessageBackend quiet;
    ScopedMessageBackend scope(&quiet);
    // Loaded from a copy: a load writes its log beside the level.
    std::vector<uint8_t> bytes;
    ReadWholeFile(path, bytes);
    const std::string copy = "/tmp/bench-fragments" + ExtensionOf(path);
    WriteFileSafely(copy, bytes.data(), bytes.size());
    CTrLevel level;
    if (!level.Load(copy, false, false)) {
        std::printf("%s does not load\n", path.c_str());
        return;
    }
    auto start = std::chrono::steady_clock::now();
    std::vector<std::vector<uint16_t>> sources;
    std::vector<CFragment> frags = CFragment::CollectLevelFragments(level, sources);
    size_t uses = 0;
    for (const CFragment& f : frags) uses += f.references.size();
    CFragment::SortBySize(frags, 0, int(frags.size()) - 1);
    CFragment::MergeDuplicates(frags);
    int w = 256, h = 0;
    std::vector<uint16_t> page;
    uint32_t n = CFragment::dwBuildTextureFromFragments(frags, page, &w, &h);
    double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("  %s: %zu uses, %zu fragments, %u textures, %dx%d, %.3f s\n",
                FileNameOf(path).c_str(), uses, frags.size(), n, w, h, s);
    std::remove(copy.c_str());
}

int main() {
    std::printf("texture packer\n");
    double quarter = Run(25000, 1250, 20);
    double half = Run(50000, 2500, 20);
    double full = Run(100000, 5000, 20);
    std::printf("growth: half/quarter %.2f, full/half %.2f (n log n would be about 2.1)\n",
                half / quarter, full / half);
    RealLevel();
    return 0;
}

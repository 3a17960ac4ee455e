// 3D Studio exchange cost: export and import of the largest moveable of the real levels
// (most faces), with its longest animation, in a temporary folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrLevel.h"
#include "level/TrMvb.h"
#include "platform/Files.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {

void Walk(const std::string& dir, std::vector<std::string>& out) {
    DIR* d = opendir(dir.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == ".." || name == "unsupported") continue;
        std::string path = dir + "/" + name;
        if (IsDirectory(path)) Walk(path, out);
        else if (name.find("_log") == std::string::npos) out.push_back(path);
    }
    closedir(d);
}

size_t Faces(const CTrMvb& m) {
    size_t n = 0;
    for (const TrMeshRecord& r : m.meshes) n += r.texturedRectangles.size() + r.texturedTriangles.size();
    return n;
}

template <class F>
double MedianMs(F run, int times) {
    std::vector<double> ms;
    for (int i = 0; i < times; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        if (!run()) return -1;
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

}  // namespace

int main() {
    const char* env = std::getenv("LITHOSCOPE_LEVELS_DIR");
    const std::string levels = env ? env : std::string(LITHOSCOPE_SOURCE_DIR) + "/../shared/testdata/levels";
    std::vector<std::string> files;
    Walk(levels, files);
    if (files.empty()) {
        std::printf("no real levels in %s\n", levels.c_str());
        return 0;
    }
    char tmpl[] = "/tmp/lithoscope-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    ScriptedMessageBackend quiet;  // the loads' error summaries are not the point here
    ScopedMessageBackend scoped(&quiet);
    // The moveable with the most faces, and the one whose longest animation has the most
    // bone keys (keys x meshes).
    struct Pick {
        std::shared_ptr<CTrLevel> level;
        size_t moveable = 0, size = 0;
        std::string file;
    } faces, keys;
    for (const std::string& file : files) {
        // A copy: loading writes a log beside the level.
        std::vector<uint8_t> bytes;
        if (!ReadWholeFile(file, bytes)) continue;
        const std::string copy = dir + "/" + FileNameOf(file);
        if (!WriteFileSafely(copy, bytes.data(), bytes.size())) continue;
        auto level = std::make_shared<CTrLevel>();
        if (!level->Load(copy, false, false)) continue;
        for (size_t i = 0; i < level->moveableList.size(); ++i) {
            const CTrMvb& m = *level->moveableList[i];
            size_t boneKeys = 0;
            for (int a = 0; a < m.animationCount(); ++a)
                boneKeys = std::max(boneKeys, size_t(m.animations->GetTrack(a)->keyCount()) * m.meshCount());
            if (Faces(m) > faces.size) faces = {level, i, Faces(m), FileNameOf(file)};
            if (boneKeys > keys.size) keys = {level, i, boneKeys, FileNameOf(file)};
        }
    }
    if (!faces.level || !keys.level) return 1;
    bool ok = true;
    for (const Pick* pick : {&faces, &keys}) {
        CTrLevel& level = *pick->level;
        CTrMvb& mvb = *level.moveableList[pick->moveable];
        int anim = -1, animKeys = 0;
        for (int a = 0; a < mvb.animationCount(); ++a)
            if (mvb.animations->GetTrack(a)->keyCount() > animKeys)
                animKeys = mvb.animations->GetTrack(a)->keyCount(), anim = a;
        const std::string path = dir + "/largest.3ds";
        const double exportMs =
            MedianMs([&] { return ExportMoveableTo3ds(&mvb, path.c_str(), "largest", &level, anim); }, 7);
        const double importMs = MedianMs([&] {
            CTrMvb imported;
            return ImportMoveableFrom3ds(&imported, path.c_str(), false, level.version == TrVersion4);
        }, 7);
        std::printf("%s: %s object %d, %u meshes, %zu faces, page %ux%u, animation %d of %d keys\n",
                    pick == &faces ? "most faces" : "most bone keys", pick->file.c_str(), mvb.objectId,
                    mvb.meshCount(), Faces(mvb), mvb.width, mvb.height, anim, animKeys);
        std::printf("  export to 3DS: %.1f ms, import from 3DS: %.1f ms (medians of 7)\n", exportMs, importMs);
        ok = ok && exportMs >= 0 && importMs >= 0;
    }
    for (const char* f : {"largest.3ds", "largest.tga"}) std::remove((dir + "/" + f).c_str());
    for (const std::string& file : files) {
        std::remove((dir + "/" + FileNameOf(file)).c_str());
        std::remove((dir + "/" + StemOf(file) + "_log.txt").c_str());
    }
    rmdir(dir.c_str());
    return ok ? 0 : 1;
}

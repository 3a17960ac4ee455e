// .3ds import over arbitrary bytes: a file read as a mesh list and as a moveable either
// imports or is refused with a message; nothing else happens to the target.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "interchange3ds/MeshConvert3ds.h"
#include "interchange3ds/MoveableConvert3ds.h"
#include "level/TrLstMsh.h"
#include "level/TrMvb.h"
#include "platform/Messages.h"

using namespace lithoscope;

namespace {

// A folder of its own with a small picture that inputs may name as "t.tga".
const std::string& Folder() {
    static const std::string folder = [] {
        char pattern[] = "/tmp/fuzz3dsXXXXXX";
        const char* made = mkdtemp(pattern);
        std::string dir = made ? made : "/tmp";
        if (FILE* f = std::fopen((dir + "/t.tga").c_str(), "wb")) {
            const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 24, 0};
            std::fwrite(header, 1, sizeof header, f);
            for (int i = 0; i < 16; ++i) {
                const uint8_t bgr[3] = {uint8_t(i * 16), uint8_t(255 - i * 16), 128};
                std::fwrite(bgr, 1, 3, f);
            }
            std::fclose(f);
        }
        return dir;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static ScriptedMessageBackend quiet;
    static ScopedMessageBackend scoped(&quiet);
    quiet.clear();

    const std::string path = Folder() + "/in.3ds";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (size) std::fwrite(data, 1, size, f);
    std::fclose(f);

    for (bool tr4 : {false, true}) {
        CTrLstMsh list;
        ImportMeshFrom3ds(nullptr, &list, path.c_str(), !tr4, tr4);
        CTrMvb mvb;
        ImportMoveableFrom3ds(&mvb, path.c_str(), tr4, tr4);
        // Whatever came in serialises and loads again.
        try {
            std::vector<uint8_t> image = mvb.Serialize();
            CTrMvb again(image);
        } catch (const LevelError&) {
        }
    }
    return 0;
}

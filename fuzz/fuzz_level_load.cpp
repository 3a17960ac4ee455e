// Loads a level from memory, builds its object model and saves it into memory: any bytes
// must give a level or a clean refusal, and a level that loads must save.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "level/TrLevel.h"
#include "platform/Messages.h"

namespace {

// Messages of damaged levels are many: recorded, not printed.
struct Quiet {
    lithoscope::ScriptedMessageBackend messages;
    lithoscope::ScopedMessageBackend scope{&messages};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lithoscope;
    static Quiet* quiet = new Quiet;
    quiet->messages.clear();
    // The extension decides where a Tomb Raider I palette stands: try both.
    const char* path = (size & 1) ? "fuzz.tub" : "fuzz.phd";
    CTrLevel level;
    level.rebuildAfterSave = false;
    if (!level.ReadFileImage(data, size, path, false, false)) return 0;
    try {
        size_t n = 0;
        const std::vector<uint8_t> out = level.version == TrVersion4
                                             ? level.BuildImageTr4(&n, true, 1, false)
                                             : level.BuildImageTr123(&n, true, 1, false);
        if (out.size() != n) std::abort();
    } catch (const LevelError& e) {
        std::fprintf(stderr, "loaded, but not saved: %s\n", e.what());
        std::abort();
    }
    return 0;
}

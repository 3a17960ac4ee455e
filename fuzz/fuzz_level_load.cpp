// Loads a level from memory: any bytes must give a level or a clean failure.
#include <cstddef>
#include <cstdint>

#include "level/TrLevel.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace lithoscope;
    // The extension decides where a Tomb Raider I palette stands: try both.
    const char* path = (size & 1) ? "fuzz.tub" : "fuzz.phd";
    CTrLevel level;
    if (level.ReadFileImage(data, size, path, true, false)) {
        // What was read can be measured and written again.
        std::vector<uint8_t> out;
        try {
            size_t n = 0;
            out = level.version == TrVersion4 ? level.BuildImageTr4(&n, false, 1, false)
                                              : level.BuildImageTr123(&n, false, 1, false);
        } catch (const LevelError&) {
        }
    }
    return 0;
}

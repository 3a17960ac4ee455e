// Object-file readers over arbitrary bytes: every buffer either loads or is refused with a
// level error; a loaded object serialises to an image that loads again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "level/TrLstMsh.h"
#include "level/TrLstSpr.h"
#include "level/TrMvb.h"

using namespace lithoscope;

namespace {
template <class T>
void Try(const std::vector<uint8_t>& buffer) {
    try {
        T object(buffer);
        std::vector<uint8_t> image = object.Serialize();
        T again(image);
        if (again.Serialize() != image) std::abort();
    } catch (const LevelError&) {
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> buffer(data, data + size);
    Try<CTrLstMsh>(buffer);
    Try<CTrStatMsh>(buffer);
    Try<CTrLstSpr>(buffer);
    Try<CTrMvb>(buffer);
    return 0;
}

// .3ds reader over arbitrary bytes: every input either reads or is refused through the
// toolkit's error list; a database that reads and writes gives an image that, read and
// written again, comes out the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "interchange3ds/Chunk3ds.h"

using namespace lithoscope;

namespace {

// Decodes every chunk's data, as the record readers would.
void LoadAll(Chunk3ds* chunk) {
    for (Chunk3ds* c = chunk; c && !g_bErrorPending3ds; c = c->Next()) {
        ReadChunkData3ds(c);
        LoadAll(c->Child());
    }
}

// Reads bytes and writes them back; false when either step fails.
bool RoundTrip(const uint8_t* data, size_t size, std::vector<uint8_t>& image) {
    ClearErrorList3ds();
    File3ds* in = OpenMemoryFile3ds("in", data, size);
    Database3ds* db = nullptr;
    InitDatabase3ds(&db);
    ReadDatabase3ds(in, db);
    if (!g_bErrorPending3ds) LoadAll(db->topChunk.get());
    bool ok = !g_bErrorPending3ds;
    if (ok) {
        File3ds* out = CreateMemoryFile3ds("out");
        WriteDatabase3ds(out, db);
        ok = !g_bErrorPending3ds;
        if (ok) image = *FileBytes3ds(out);
    }
    ReleaseDatabase3ds(&db);
    CloseAllFiles3ds();
    ClearErrorList3ds();
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> first, second, third;
    if (!RoundTrip(data, size, first)) return 0;
    if (first.empty()) return 0;  // a top chunk of tag 0 is never written
    if (!RoundTrip(first.data(), first.size(), second)) std::abort();
    if (!RoundTrip(second.data(), second.size(), third) || third != second) std::abort();
    return 0;
}

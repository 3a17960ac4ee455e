#include "platform/System.h"

#include <malloc.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/Files.h"

#define STBI_NO_STDIO
#define STB_IMAGE_IMPLEMENTATION
#define STBI_FAILURE_USERMSG
#include <stb_image.h>

namespace lithoscope {

double SecondsNow() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

uint32_t TickCountMs() {
    using namespace std::chrono;
    return uint32_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void PrepareHeapForBatchRun() {
#if defined(M_ARENA_MAX) && defined(MADV_HUGEPAGE) && !defined(__SANITIZE_ADDRESS__)
    constexpr uintptr_t kHugePage = uintptr_t(2) << 20;
    constexpr int kReserve = 256 << 20;  // address space only until it is touched
    // Under a limit of address space the reserve would count against it.
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) return;
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // the largest glibc takes
    mallopt(M_TRIM_THRESHOLD, kReserve * 2);
    mallopt(M_TOP_PAD, kReserve);
    // An allocation larger than what the heap holds free makes it grow by the reserve;
    // the advice then covers it.
    const uintptr_t from = (uintptr_t(::sbrk(0)) + kHugePage - 1) & ~(kHugePage - 1);
    void* volatile probe = std::malloc(1 << 20);
    std::free(probe);
    const uintptr_t to = uintptr_t(::sbrk(0)) & ~(kHugePage - 1);
    if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
}

uint64_t AvailableMemoryBytes() {
    FILE* f = std::fopen("/proc/meminfo", "r");
    if (!f) return 0;
    char line[256];
    uint64_t kb = 0;
    while (std::fgets(line, sizeof line, f)) {
        unsigned long long v;
        if (std::sscanf(line, "MemAvailable: %llu kB", &v) == 1) {
            kb = v;
            break;
        }
    }
    std::fclose(f);
    return kb * 1024;
}

int LoadPictureRGBA(const std::string& path, int* widthOut, int* heightOut,
                    std::vector<uint8_t>* pixelsOut, uint64_t maxFileBytes, uint64_t maxPixels) {
    pixelsOut->clear();
    std::vector<uint8_t> file;
    if (!ReadWholeFile(path, file, nullptr, maxFileBytes)) return 2;
    if (file.size() > 0x7FFFFFFF) return 3;
    int w = 0, h = 0, channels = 0;
    // Refuse absurd dimensions before decoding.
    if (!stbi_info_from_memory(file.data(), int(file.size()), &w, &h, &channels)) return 3;
    if (w <= 0 || h <= 0 || uint64_t(w) * uint64_t(h) > maxPixels) return 4;
    stbi_uc* px = stbi_load_from_memory(file.data(), int(file.size()), &w, &h, &channels, 4);
    if (!px) return 3;
    pixelsOut->assign(px, px + size_t(w) * size_t(h) * 4);
    stbi_image_free(px);
    *widthOut = w;
    *heightOut = h;
    return 0;
}

}  // namespace lithoscope

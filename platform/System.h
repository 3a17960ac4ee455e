#pragma once
// Clock, memory status and pictures, in place of the performance counter, the memory
// status call and the outside picture component.
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

// Seconds from an arbitrary start, steady.
double SecondsNow();
// Milliseconds from an arbitrary start, wrapping at 32 bits.
uint32_t TickCountMs();
// Bytes of memory available to the program (MemAvailable), 0 when unknown.
uint64_t AvailableMemoryBytes();

// For a short run that makes and drops a few large buffers (the batch conversion): freed
// memory is kept for reuse rather than given back, every thread allocates from the one
// heap, and the heap is backed by huge pages where the system allows it, so that far fewer
// pages are faulted in. Call once, before the work starts. Changes no result; does nothing
// under a limit of address space.
void PrepareHeapForBatchRun();

// Reads a picture file as R, G, B, A bytes (24-bit pictures get alpha 255). Returns 0 on
// success; non-zero (and no pixels) when the file can't be read or decoded: 2 when it
// can't be read (errno EFBIG: more than maxFileBytes), 3 when it can't be decoded, 4 when
// it has more than maxPixels pixels.
int LoadPictureRGBA(const std::string& path, int* widthOut, int* heightOut,
                    std::vector<uint8_t>* pixelsOut, uint64_t maxFileBytes = UINT64_MAX,
                    uint64_t maxPixels = uint64_t(1) << 28);

}  // namespace lithoscope

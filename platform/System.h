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

// Reads a picture file as R, G, B, A bytes (24-bit pictures get alpha 255). Returns 0 on
// success; non-zero (and no pixels) when the file can't be read or decoded.
int LoadPictureRGBA(const std::string& path, int* widthOut, int* heightOut,
                    std::vector<uint8_t>* pixelsOut);

}  // namespace lithoscope

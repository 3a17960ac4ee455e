#pragma once
// Sample conversion in place of the Audio Compression Manager: a RIFF WAVE held in memory
// (PCM, MS-ADPCM or IMA-ADPCM) becomes 16-bit PCM at 22050 samples per second.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace lithoscope {

// The rate every converted sample is given.
constexpr int kPcmTargetRate = 22050;

// Decodes the WAVE file at wave (waveSize bytes), resamples it to 22050 Hz keeping its
// channel count, and puts the 16-bit little-endian samples, channels interleaved, into
// pcmOut (no header). Returns 0 on success; non-zero on any failure (not a WAVE file,
// truncated, an encoding or rate we don't take, a result too large), with pcmOut empty.
int AcmConvert(const uint8_t* wave, size_t waveSize, std::vector<uint8_t>& pcmOut);

// Channel count and rate of the WAVE file in memory, as the decoder sees them; false when
// it can't be opened.
bool ProbeWave(const uint8_t* wave, size_t waveSize, int* channelsOut, int* rateOut);

}  // namespace lithoscope

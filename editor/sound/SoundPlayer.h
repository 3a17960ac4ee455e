#pragma once
// Sound playback in place of the system's play-sound function: a RIFF WAVE held in memory
// is decoded (PCM directly, ADPCM through the sample conversion) and played synchronously
// through SDL audio. Also the reader of the game's "Main.sfx" (RIFF WAVE files back to back).
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lithoscope {

// 16-bit little-endian samples, channels interleaved.
struct DecodedWave {
    int channels = 0;
    int rate = 0;
    std::vector<int16_t> samples;
    size_t frames() const { return channels > 0 ? samples.size() / size_t(channels) : 0; }
};

// Decodes the WAVE at wave; false when it is not a WAVE we can play (nothing in out).
bool DecodeWave(const uint8_t* wave, size_t size, DecodedWave& out);

enum class PlayResult { Played, NotWave, NoDevice };
// Plays the WAVE and returns when it has played (waiting at most its length plus a
// second). A damaged WAVE or an audio device that can't open plays nothing.
PlayResult PlayWaveMemory(const uint8_t* wave, size_t size);

// The outcome of reading entry p of a "Main.sfx".
enum class SfxRead { Ok, Missing, Short };
// Reads entry position (0-based) of the file at path into wave (its 8-byte head and
// its bytes). Missing: the file can't be opened. Short: the file ends (or holds a head
// that is not "RIFF") before the entry is complete, or position is negative.
SfxRead ReadSfxEntry(const std::string& path, int position, std::vector<uint8_t>& wave);

}  // namespace lithoscope

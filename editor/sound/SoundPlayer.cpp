// Decoding and playing in-memory WAVE files, and reading "Main.sfx" entries.
#include "editor/sound/SoundPlayer.h"

#include <SDL.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <thread>

#include "level/ByteIO.h"
#include "level/LevelErrors.h"
#include "platform/Files.h"
#include "platform/SampleConvert.h"

namespace lithoscope {

namespace {

// The "fmt " and "data" chunks of a RIFF WAVE; data is clamped to the bytes present.
struct WaveChunks {
    const uint8_t* fmt = nullptr;
    size_t fmtSize = 0;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
};

bool FindChunks(const uint8_t* wave, size_t size, WaveChunks& c) {
    if (!wave || size < 12 || std::memcmp(wave, "RIFF", 4) != 0 ||
        std::memcmp(wave + 8, "WAVE", 4) != 0)
        return false;
    size_t pos = 12;
    while (pos + 8 <= size) {
        const uint8_t* head = wave + pos;
        const size_t len = GetU32(head + 4);
        pos += 8;
        const size_t present = std::min(len, size - pos);
        if (std::memcmp(head, "fmt ", 4) == 0) {
            c.fmt = wave + pos;
            c.fmtSize = present;
        } else if (std::memcmp(head, "data", 4) == 0) {
            c.data = wave + pos;
            c.dataSize = present;
        }
        if (len > size - pos) break;
        pos += len + (len & 1);  // chunks are word aligned
    }
    return c.fmt && c.data && c.fmtSize >= 16;
}

}  // namespace

bool DecodeWave(const uint8_t* wave, size_t size, DecodedWave& out) {
    out = DecodedWave();
    WaveChunks c;
    if (!FindChunks(wave, size, c)) return false;
    const uint16_t tag = GetU16(c.fmt);
    const int channels = GetU16(c.fmt + 2);
    const int rate = int(GetU32(c.fmt + 4) & 0x7FFFFFFF);
    const int bits = GetU16(c.fmt + 14);
    if (tag == 1) {
        if (channels < 1 || channels > 8 || rate < 1000 || rate > 192000) return false;
        if (bits == 16) {
            const size_t n = c.dataSize / 2;
            out.samples.resize(n);
            for (size_t i = 0; i < n; ++i) out.samples[i] = GetS16(c.data + 2 * i);
        } else if (bits == 8) {
            out.samples.resize(c.dataSize);
            for (size_t i = 0; i < c.dataSize; ++i)
                out.samples[i] = int16_t((int(c.data[i]) - 128) * 256);
        } else {
            return false;
        }
        out.samples.resize(out.samples.size() - out.samples.size() % size_t(channels));
        out.channels = channels;
        out.rate = rate;
        return true;
    }
    // Compressed samples: the sample conversion gives 16-bit PCM at its own rate.
    int probeChannels = 0, probeRate = 0;
    if (!ProbeWave(wave, size, &probeChannels, &probeRate) || probeChannels < 1 ||
        probeChannels > 8)
        return false;
    std::vector<uint8_t> pcm;
    if (AcmConvert(wave, size, pcm) != 0 || pcm.empty()) return false;
    const size_t n = pcm.size() / 2;
    out.samples.resize(n);
    for (size_t i = 0; i < n; ++i) out.samples[i] = GetS16(&pcm[2 * i]);
    out.samples.resize(out.samples.size() - out.samples.size() % size_t(probeChannels));
    out.channels = probeChannels;
    out.rate = kPcmTargetRate;
    return true;
}

PlayResult PlayWaveMemory(const uint8_t* wave, size_t size) {
    DecodedWave decoded;
    if (!DecodeWave(wave, size, decoded)) return PlayResult::NotWave;
    // Audio is started for the one sound and stopped after it, leaving nothing behind.
    const bool started = SDL_WasInit(SDL_INIT_AUDIO) == 0;
    if (started && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        SDL_Quit();
        return PlayResult::NoDevice;
    }
    struct Stop {
        bool on;
        ~Stop() {
            if (on) SDL_Quit();
        }
    } stop{started};
    SDL_AudioSpec want{}, have{};
    want.freq = decoded.rate;
    want.format = AUDIO_S16LSB;
    want.channels = uint8_t(decoded.channels);
    want.samples = 1024;
    want.callback = nullptr;  // queued
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) return PlayResult::NoDevice;
    const size_t bytes = decoded.samples.size() * sizeof(int16_t);
    if (bytes > 0 && SDL_QueueAudio(device, decoded.samples.data(), uint32_t(bytes)) != 0) {
        SDL_CloseAudioDevice(device);
        return PlayResult::NoDevice;
    }
    SDL_PauseAudioDevice(device, 0);
    // Synchronous, but never longer than the sound itself plus a second.
    const auto length = std::chrono::milliseconds(
        1000 + int64_t(decoded.frames()) * 1000 / std::max(1, decoded.rate));
    const auto deadline = std::chrono::steady_clock::now() + length;
    while (SDL_GetQueuedAudioSize(device) > 0 && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    SDL_CloseAudioDevice(device);
    return PlayResult::Played;
}

SfxRead ReadSfxEntry(const std::string& path, int position, std::vector<uint8_t>& wave) {
    wave.clear();
    // A named pipe or a device in the file's place would block the read.
    const int fd = OpenRegularFileForReading(path);
    if (fd < 0) return SfxRead::Missing;
    ::close(fd);
    std::ifstream file(path, std::ios::binary);
    if (!file) return SfxRead::Missing;
    file.seekg(0, std::ios::end);
    const std::streamoff fileSize = file.tellg();
    file.seekg(0, std::ios::beg);
    if (position < 0 || fileSize < 0) return SfxRead::Short;
    uint64_t offset = 0;
    for (int entry = 0;; ++entry) {
        uint8_t head[8];
        if (!file.read(reinterpret_cast<char*>(head), 8) || std::memcmp(head, "RIFF", 4) != 0)
            return SfxRead::Short;
        offset += 8;
        const uint64_t length = GetU32(head + 4);
        // The entry's bytes must be in the file before anything is read or allocated.
        if (length > uint64_t(fileSize) - offset) return SfxRead::Short;
        if (entry == position) {
            wave.resize(size_t(length) + 8);
            std::memcpy(wave.data(), head, 8);
            if (!file.read(reinterpret_cast<char*>(wave.data() + 8), std::streamsize(length))) {
                wave.clear();
                return SfxRead::Short;
            }
            return SfxRead::Ok;
        }
        file.seekg(std::streamoff(length), std::ios::cur);
        offset += length;
    }
}

}  // namespace lithoscope

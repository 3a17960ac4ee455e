#include "platform/SampleConvert.h"

#include <dlfcn.h>
#include <samplerate.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>

namespace lithoscope {

namespace {

// libsndfile and libsamplerate, loaded at the first sample that is decoded: a run that
// decodes none (a batch run, most editing) never maps them and their dependencies.
struct SoundLibraries {
    decltype(&::sf_open_virtual) open = nullptr;
    decltype(&::sf_close) close = nullptr;
    decltype(&::sf_readf_float) readFloat = nullptr;
    decltype(&::sf_error) error = nullptr;
    decltype(&::src_is_valid_ratio) validRatio = nullptr;
    decltype(&::src_simple) resample = nullptr;
    bool ok = false;
};

template <class F>
void Bind(void* library, const char* name, F& out) {
    out = library ? reinterpret_cast<F>(::dlsym(library, name)) : nullptr;
}

const SoundLibraries& Sound() {
    static const SoundLibraries libraries = [] {
        SoundLibraries l;
        void* sndfile = ::dlopen("libsndfile.so.1", RTLD_NOW | RTLD_LOCAL);
        void* samplerate = ::dlopen("libsamplerate.so.0", RTLD_NOW | RTLD_LOCAL);
        Bind(sndfile, "sf_open_virtual", l.open);
        Bind(sndfile, "sf_close", l.close);
        Bind(sndfile, "sf_readf_float", l.readFloat);
        Bind(sndfile, "sf_error", l.error);
        Bind(samplerate, "src_is_valid_ratio", l.validRatio);
        Bind(samplerate, "src_simple", l.resample);
        l.ok = l.open && l.close && l.readFloat && l.error && l.validRatio && l.resample;
        return l;  // the libraries stay loaded
    }();
    return libraries;
}

// Failure codes of AcmConvert.
enum : int {
    kConvertOk = 0,
    kBadArguments = 1,
    kNotWave = 2,       // not a RIFF WAVE, or its chunks run past the end
    kCantOpen = 3,      // the decoder refused it
    kUnsupported = 4,   // encoding, channel count or rate we don't take
    kDecodeFailed = 5,  // fewer frames than the file announces
    kTooLarge = 6,      // the result would be unreasonably large
    kResampleFailed = 7,
};

constexpr int kMaxChannels = 8;
constexpr int kMinRate = 1000;
constexpr int kMaxRate = 384000;
constexpr size_t kMaxOutputBytes = size_t(256) << 20;

uint32_t Le32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

// The RIFF structure itself: "RIFF", size, "WAVE", then chunks each inside the buffer,
// a "fmt " chunk before the "data" chunk. The decoder quietly shortens a data chunk that
// runs past the end; we refuse it, since the sound would be cut.
bool CheckRiffWave(const uint8_t* wave, size_t size) {
    if (size < 12 || std::memcmp(wave, "RIFF", 4) != 0 || std::memcmp(wave + 8, "WAVE", 4) != 0)
        return false;
    size_t pos = 12;
    bool haveFormat = false;
    while (size - pos >= 8) {
        const uint8_t* id = wave + pos;
        uint64_t length = Le32(wave + pos + 4);
        pos += 8;
        if (length > size - pos) return false;
        if (std::memcmp(id, "fmt ", 4) == 0) {
            if (length < 16) return false;
            haveFormat = true;
        } else if (std::memcmp(id, "data", 4) == 0) {
            return haveFormat;
        }
        pos += size_t(length);
        if ((length & 1) && pos < size) ++pos;  // chunks are word aligned
    }
    return false;
}

// Virtual file over a read-only buffer.
struct MemoryFile {
    const uint8_t* data;
    sf_count_t size;
    sf_count_t pos;
};

sf_count_t MemLength(void* user) { return static_cast<MemoryFile*>(user)->size; }

sf_count_t MemSeek(sf_count_t offset, int whence, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? f->size : 0;
    if ((offset < 0 && -offset > base) || (offset > 0 && offset > f->size - base)) return -1;
    f->pos = base + offset;
    return f->pos;
}

sf_count_t MemRead(void* ptr, sf_count_t count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    if (count <= 0 || f->pos >= f->size) return 0;
    sf_count_t n = count < f->size - f->pos ? count : f->size - f->pos;
    std::memcpy(ptr, f->data + f->pos, size_t(n));
    f->pos += n;
    return n;
}

sf_count_t MemWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t MemTell(void* user) { return static_cast<MemoryFile*>(user)->pos; }

class SoundFile {
public:
    SoundFile(const uint8_t* wave, size_t size) : file_{wave, sf_count_t(size), 0} {
        SF_VIRTUAL_IO io{MemLength, MemSeek, MemRead, MemWrite, MemTell};
        std::memset(&info_, 0, sizeof info_);
        if (Sound().ok) handle_ = Sound().open(&io, SFM_READ, &info_, &file_);
    }
    ~SoundFile() {
        if (handle_) Sound().close(handle_);
    }
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;

    SNDFILE* handle() const { return handle_; }
    const SF_INFO& info() const { return info_; }

private:
    MemoryFile file_;
    SF_INFO info_;
    SNDFILE* handle_ = nullptr;
};

bool SupportedEncoding(int format) {
    int major = format & SF_FORMAT_TYPEMASK;
    if (major != SF_FORMAT_WAV && major != SF_FORMAT_WAVEX) return false;
    switch (format & SF_FORMAT_SUBMASK) {
        case SF_FORMAT_PCM_U8:
        case SF_FORMAT_PCM_S8:
        case SF_FORMAT_PCM_16:
        case SF_FORMAT_PCM_24:
        case SF_FORMAT_PCM_32:
        case SF_FORMAT_FLOAT:
        case SF_FORMAT_DOUBLE:
        case SF_FORMAT_ULAW:
        case SF_FORMAT_ALAW:
        case SF_FORMAT_IMA_ADPCM:
        case SF_FORMAT_MS_ADPCM:
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ProbeWave(const uint8_t* wave, size_t waveSize, int* channelsOut, int* rateOut) {
    if (!wave || !CheckRiffWave(wave, waveSize)) return false;
    SoundFile sf(wave, waveSize);
    if (!sf.handle()) return false;
    if (channelsOut) *channelsOut = sf.info().channels;
    if (rateOut) *rateOut = sf.info().samplerate;
    return true;
}

int AcmConvert(const uint8_t* wave, size_t waveSize, std::vector<uint8_t>& pcmOut) {
    pcmOut.clear();
    if (!wave || waveSize == 0) return kBadArguments;
    if (!CheckRiffWave(wave, waveSize)) return kNotWave;

    SoundFile sf(wave, waveSize);
    if (!sf.handle()) return kCantOpen;
    const SF_INFO& info = sf.info();
    if (!SupportedEncoding(info.format)) return kUnsupported;
    if (info.channels < 1 || info.channels > kMaxChannels) return kUnsupported;
    if (info.samplerate < kMinRate || info.samplerate > kMaxRate) return kUnsupported;
    const int channels = info.channels;

    // No encoding we take holds more than two samples per byte (4-bit ADPCM), so the
    // announced length is bounded by the input before anything is allocated for it.
    const uint64_t maxSamples = uint64_t(waveSize) * 2 + 64;
    if (info.frames <= 0) return kDecodeFailed;
    if (uint64_t(info.frames) > maxSamples / uint64_t(channels)) return kTooLarge;
    const double ratio = double(kPcmTargetRate) / double(info.samplerate);
    const uint64_t outFramesMax = uint64_t(std::ceil(double(info.frames) * ratio)) + 64;
    if (outFramesMax * uint64_t(channels) * 2 > kMaxOutputBytes) return kTooLarge;

    std::vector<float> decoded(size_t(info.frames) * size_t(channels));
    sf_count_t got = 0;
    while (got < info.frames) {
        sf_count_t n = Sound().readFloat(sf.handle(), decoded.data() + size_t(got) * size_t(channels),
                                         info.frames - got);
        if (n <= 0) break;
        got += n;
    }
    if (got != info.frames || Sound().error(sf.handle()) != SF_ERR_NO_ERROR) return kDecodeFailed;

    std::vector<float> resampled;
    size_t outFrames = size_t(got);
    if (info.samplerate == kPcmTargetRate) {
        resampled.swap(decoded);
    } else {
        if (!Sound().validRatio(ratio)) return kUnsupported;
        resampled.resize(size_t(outFramesMax) * size_t(channels));
        SRC_DATA data;
        std::memset(&data, 0, sizeof data);
        data.data_in = decoded.data();
        data.input_frames = long(got);
        data.data_out = resampled.data();
        data.output_frames = long(outFramesMax);
        data.src_ratio = ratio;
        if (Sound().resample(&data, SRC_SINC_MEDIUM_QUALITY, channels) != 0) return kResampleFailed;
        outFrames = size_t(data.output_frames_gen);
    }

    const size_t samples = outFrames * size_t(channels);
    pcmOut.resize(samples * 2);
    for (size_t i = 0; i < samples; ++i) {
        float v = resampled[i] * 32768.0f;
        if (!std::isfinite(v)) v = 0.0f;  // a float file may hold anything
        if (v > 32767.0f) v = 32767.0f;
        if (v < -32768.0f) v = -32768.0f;
        uint16_t u = uint16_t(int16_t(std::lrint(v)));
        pcmOut[2 * i] = uint8_t(u & 0xFF);
        pcmOut[2 * i + 1] = uint8_t(u >> 8);
    }
    return kConvertOk;
}

}  // namespace lithoscope

// Sample conversion: WAVE files built byte by byte (and a few written by the sound
// library's own encoder) decoded and resampled to 16-bit PCM at 22050 Hz.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstring>

#include "fixtures/WaveFiles.h"
#include "platform/SampleConvert.h"
#include "fixtures/ByteOut.h"

namespace lithoscope {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Put16;
using test::Put32;
using test::PutId;


using test::PcmFormat;
using test::Pcm16Wave;
Bytes Wave(const Bytes& format, const Bytes& data) { return test::WaveFile(format, data); }
std::vector<int16_t> Samples(const Bytes& pcm) { return test::PcmSamples(pcm); }

// Swings of one channel from below -2000 to above +2000 and back (so that coding noise
// around zero doesn't count): a sine of f Hz over one second gives about 2f.
int ZeroCrossings(const std::vector<int16_t>& s, int channels, int channel) {
    int n = 0, side = 0;
    for (size_t i = channel; i < s.size(); i += channels) {
        int now = s[i] > 2000 ? 1 : s[i] < -2000 ? -1 : 0;
        if (now != 0 && side != 0 && now != side) ++n;
        if (now != 0) side = now;
    }
    return n;
}

std::vector<int16_t> Sine(int rate, double hz, int frames, double amplitude) {
    std::vector<int16_t> s(frames);
    for (int i = 0; i < frames; ++i)
        s[i] = int16_t(std::lrint(amplitude * std::sin(2 * M_PI * hz * i / rate)));
    return s;
}

// Writes mono samples through the sound library's encoder into a WAVE in memory.
struct GrowFile {
    Bytes data;
    sf_count_t pos = 0;
};
Bytes EncodeWithLibrary(int subtype, int rate, const std::vector<int16_t>& samples) {
    SF_VIRTUAL_IO io;
    io.get_filelen = [](void* u) { return sf_count_t(static_cast<GrowFile*>(u)->data.size()); };
    io.seek = [](sf_count_t off, int whence, void* u) {
        auto* f = static_cast<GrowFile*>(u);
        sf_count_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? sf_count_t(f->data.size()) : 0;
        f->pos = base + off;
        return f->pos;
    };
    io.read = [](void* p, sf_count_t n, void* u) {
        auto* f = static_cast<GrowFile*>(u);
        sf_count_t left = sf_count_t(f->data.size()) - f->pos;
        if (n > left) n = left;
        if (n <= 0) return sf_count_t(0);
        std::memcpy(p, f->data.data() + f->pos, size_t(n));
        f->pos += n;
        return n;
    };
    io.write = [](const void* p, sf_count_t n, void* u) {
        auto* f = static_cast<GrowFile*>(u);
        if (size_t(f->pos + n) > f->data.size()) f->data.resize(size_t(f->pos + n));
        std::memcpy(f->data.data() + f->pos, p, size_t(n));
        f->pos += n;
        return n;
    };
    io.tell = [](void* u) { return static_cast<GrowFile*>(u)->pos; };
    GrowFile file;
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | subtype;
    SNDFILE* sf = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    EXPECT_NE(sf, nullptr) << sf_strerror(nullptr);
    if (!sf) return {};
    sf_write_short(sf, samples.data(), sf_count_t(samples.size()));
    sf_close(sf);
    return file.data;
}

TEST(SampleConvert, PcmIsResampledTo22050KeepingLevelAndChannels) {
    // 11025 Hz mono, 1000 samples of 1000: twice as many samples come out, same level.
    std::vector<uint8_t> pcm;
    Bytes mono = Pcm16Wave(1, 11025, std::vector<int16_t>(1000, 1000));
    ASSERT_EQ(AcmConvert(mono.data(), mono.size(), pcm), 0);
    std::vector<int16_t> s = Samples(pcm);
    EXPECT_EQ(pcm.size() % 2, 0u);
    EXPECT_NEAR(double(s.size()), 2000.0, 4.0);
    for (size_t i = 200; i + 200 < s.size(); ++i) ASSERT_NEAR(s[i], 1000, 3) << "at " << i;

    // 44100 Hz stereo: half as many frames, the channels kept apart and in order.
    std::vector<int16_t> stereo;
    for (int i = 0; i < 4410; ++i) {
        stereo.push_back(8000);
        stereo.push_back(-8000);
    }
    Bytes two = Pcm16Wave(2, 44100, stereo);
    ASSERT_EQ(AcmConvert(two.data(), two.size(), pcm), 0);
    s = Samples(pcm);
    ASSERT_EQ(s.size() % 2, 0u);
    EXPECT_NEAR(double(s.size() / 2), 2205.0, 4.0);
    for (size_t i = 400; i + 400 < s.size(); i += 2) {
        ASSERT_NEAR(s[i], 8000, 10) << "left at " << i;
        ASSERT_NEAR(s[i + 1], -8000, 10) << "right at " << i;
    }

    // Already at 22050 Hz and 16 bits: the samples come out as they went in.
    std::vector<int16_t> ramp;
    for (int i = 0; i < 500; ++i) ramp.push_back(int16_t(i * 60 - 15000));
    Bytes same = Pcm16Wave(1, 22050, ramp);
    ASSERT_EQ(AcmConvert(same.data(), same.size(), pcm), 0);
    EXPECT_EQ(Samples(pcm), ramp);
    // Little-endian: -15000 is 0xC568.
    EXPECT_EQ(pcm[0], 0x68);
    EXPECT_EQ(pcm[1], 0xC5);

    // 8-bit unsigned PCM: 128 is silence, 192 is +0.5 of full scale (16384).
    Bytes eight = Wave(PcmFormat(1, 22050, 8), Bytes(300, 192));
    ASSERT_EQ(AcmConvert(eight.data(), eight.size(), pcm), 0);
    s = Samples(pcm);
    ASSERT_EQ(s.size(), 300u);
    EXPECT_EQ(s[150], 16384);
}

TEST(SampleConvert, ResamplingKeepsThePitch) {
    // A 441 Hz tone at 11025 Hz, one second: one second at 22050 Hz, still 441 Hz.
    std::vector<int16_t> tone = Sine(11025, 441.0, 11025, 12000.0);
    Bytes wave = Pcm16Wave(1, 11025, tone);
    std::vector<uint8_t> pcm;
    ASSERT_EQ(AcmConvert(wave.data(), wave.size(), pcm), 0);
    std::vector<int16_t> s = Samples(pcm);
    EXPECT_NEAR(double(s.size()), 22050.0, 4.0);
    EXPECT_NEAR(ZeroCrossings(s, 1, 0), 882, 4);
    int peak = 0;
    for (size_t i = 1000; i + 1000 < s.size(); ++i) peak = std::max(peak, std::abs(int(s[i])));
    EXPECT_NEAR(peak, 12000, 150);
}

TEST(SampleConvert, HandMadeAdpcm) {
    // IMA ADPCM, mono, 256-byte blocks: a 4-byte header (predictor 1000, step index 0)
    // then 252 bytes of nibbles. A zero nibble at step 7 adds 7 >> 3 = 0, so every one of
    // the 1 + 504 samples of a block decodes to 1000.
    Bytes ima = test::FlatImaAdpcmWave(11025, 4, 1000);
    int channels = 0, rate = 0;
    ASSERT_TRUE(ProbeWave(ima.data(), ima.size(), &channels, &rate));
    EXPECT_EQ(channels, 1);
    EXPECT_EQ(rate, 11025);
    std::vector<uint8_t> pcm;
    ASSERT_EQ(AcmConvert(ima.data(), ima.size(), pcm), 0);
    std::vector<int16_t> s = Samples(pcm);
    EXPECT_NEAR(double(s.size()), 2.0 * 4 * 505, 4.0);
    for (size_t i = 200; i + 200 < s.size(); ++i) ASSERT_NEAR(s[i], 1000, 3) << "at " << i;

    // MS ADPCM, mono, 256-byte blocks of 500 samples: predictor 0 (coefficients 256, 0)
    // predicts the last sample, and zero nibbles add nothing: with both header samples at
    // -2000 the block is 500 samples of -2000.
    Bytes ms = test::FlatMsAdpcmWave(11025, 3, -2000);
    ASSERT_EQ(AcmConvert(ms.data(), ms.size(), pcm), 0);
    s = Samples(pcm);
    EXPECT_NEAR(double(s.size()), 2.0 * 3 * 500, 4.0);
    for (size_t i = 200; i + 200 < s.size(); ++i) ASSERT_NEAR(s[i], -2000, 4) << "at " << i;

    // Cut inside the last block's data chunk: the chunk runs past the end, refused.
    Bytes cut(ms.begin(), ms.end() - 100);
    EXPECT_NE(AcmConvert(cut.data(), cut.size(), pcm), 0);
    EXPECT_TRUE(pcm.empty());
}

TEST(SampleConvert, AdpcmFromTheLibraryEncoder) {
    std::vector<int16_t> tone = Sine(11025, 300.0, 11025, 10000.0);
    for (int subtype : {SF_FORMAT_MS_ADPCM, SF_FORMAT_IMA_ADPCM}) {
        Bytes wave = EncodeWithLibrary(subtype, 11025, tone);
        ASSERT_FALSE(wave.empty());
        // Four bits a sample: the file is about a quarter of the 16-bit samples.
        EXPECT_LT(wave.size(), tone.size() * 2 / 3);
        std::vector<uint8_t> pcm;
        ASSERT_EQ(AcmConvert(wave.data(), wave.size(), pcm), 0) << subtype;
        std::vector<int16_t> s = Samples(pcm);
        // The encoder pads the last block, so a little more may come out.
        EXPECT_GE(s.size(), 22050u - 4) << subtype;
        EXPECT_LE(s.size(), 22050u + 2 * 1024) << subtype;
        EXPECT_NEAR(ZeroCrossings(s, 1, 0), 600, 8) << subtype;
    }
}

TEST(SampleConvert, BadInputFailsCleanly) {
    std::vector<uint8_t> pcm(10, 0xAB);
    const Bytes good = Pcm16Wave(1, 11025, std::vector<int16_t>(2000, 500));
    ASSERT_EQ(AcmConvert(good.data(), good.size(), pcm), 0);

    auto fails = [&](const Bytes& b, const char* what) {
        pcm.assign(10, 0xAB);
        EXPECT_NE(AcmConvert(b.data(), b.size(), pcm), 0) << what;
        EXPECT_TRUE(pcm.empty()) << what;
    };

    pcm.assign(4, 1);
    EXPECT_NE(AcmConvert(nullptr, 100, pcm), 0);
    EXPECT_NE(AcmConvert(good.data(), 0, pcm), 0);
    EXPECT_TRUE(pcm.empty());

    Bytes garbage(3000);
    for (size_t i = 0; i < garbage.size(); ++i) garbage[i] = uint8_t(i * 131 + 7);
    fails(garbage, "garbage");
    EXPECT_FALSE(ProbeWave(garbage.data(), garbage.size(), nullptr, nullptr));

    // Truncated anywhere: in the header, in the format, in the data.
    for (size_t cut : {size_t(4), size_t(12), size_t(30), size_t(43), good.size() / 2,
                       good.size() - 1})
        fails(Bytes(good.begin(), good.begin() + cut), "truncated");

    // A RIFF WAVE without a data chunk; a data chunk before any format.
    Bytes noData(good.begin(), good.begin() + 36);
    fails(noData, "no data");
    Bytes dataFirst;
    PutId(dataFirst, "RIFF");
    Put32(dataFirst, 12);
    PutId(dataFirst, "WAVE");
    PutId(dataFirst, "data");
    Put32(dataFirst, 0);
    fails(dataFirst, "data first");

    // Encodings and parameters we don't take: MPEG layer 3, no channels, 200 Hz.
    Bytes mp3 = PcmFormat(1, 22050, 16);
    mp3[0] = 0x55;
    fails(Wave(mp3, Bytes(400, 0)), "mp3");
    fails(Wave(PcmFormat(0, 22050, 16), Bytes(400, 0)), "no channels");
    fails(Wave(PcmFormat(1, 200, 16), Bytes(400, 0)), "rate");
    // An AIFF header is a sound file but not a WAVE.
    Bytes aiff = good;
    std::memcpy(&aiff[0], "FORM", 4);
    fails(aiff, "aiff");
}

}  // namespace
}  // namespace lithoscope

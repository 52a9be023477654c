// The sound device and sound sets: loading WAVE images (including broken
// ones), the copies played in turn, the value scales, and what reaches the
// mixed output.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/host/headless/headless.h"
#include "platform/trace/trace.h"
#include "platform/host/headless/headless_audio.h"
#include "sound/sound.h"
#include "tests/platform/dsound/audio_checks.h"
#include "tests/sound/wave_resources.h"

using namespace audio_checks;
using namespace wave_resources;

namespace {

// ---- WAVE images --------------------------------------------------------

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

struct Chunk {
    std::string id;
    std::vector<std::uint8_t> body;
    long long declaredSize = -1;  // the size field, when it lies
};

std::vector<std::uint8_t> Fmt(std::uint32_t rate, int bytes = 16) {
    std::vector<std::uint8_t> f = {1, 0, 1, 0};  // PCM, mono
    PutU32(f, rate);
    PutU32(f, rate);
    f.insert(f.end(), {1, 0, 8, 0});  // block align 1, 8 bits
    f.resize(static_cast<std::size_t>(bytes), 0);
    return f;
}

std::vector<std::uint8_t> Riff(const std::vector<Chunk>& chunks, long long riffSize = -1) {
    std::vector<std::uint8_t> body = {'W', 'A', 'V', 'E'};
    for (const Chunk& c : chunks) {
        body.insert(body.end(), c.id.begin(), c.id.end());
        PutU32(body, static_cast<std::uint32_t>(c.declaredSize >= 0 ? c.declaredSize
                                                                    : static_cast<long long>(c.body.size())));
        body.insert(body.end(), c.body.begin(), c.body.end());
        if (c.body.size() & 1) body.push_back(0);
    }
    std::vector<std::uint8_t> out = {'R', 'I', 'F', 'F'};
    PutU32(out, static_cast<std::uint32_t>(riffSize >= 0 ? riffSize : static_cast<long long>(body.size())));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<std::uint8_t> Ramp(std::size_t n) {
    std::vector<std::uint8_t> s(n);
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<std::uint8_t>(16 + i % 200);
    return s;
}

std::string WriteTemp(const std::string& name, const std::vector<std::uint8_t>& bytes) {
    std::string path = ::testing::TempDir() + "tumbla_sound_" + name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

// The sample bytes of a copy, read back through Lock.
std::vector<std::uint8_t> SamplesOf(LPDIRECTSOUNDBUFFER b) {
    DSBCAPS caps{};
    caps.dwSize = sizeof(caps);
    if (b->GetCaps(&caps) != DS_OK) return {};
    LPVOID p1, p2;
    DWORD n1, n2;
    if (b->Lock(0, caps.dwBufferBytes, &p1, &n1, &p2, &n2, 0) != DS_OK) return {};
    std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(p1), static_cast<std::uint8_t*>(p1) + n1);
    b->Unlock(p1, n1, p2, n2);
    return out;
}

DWORD Position(LPDIRECTSOUNDBUFFER b) {
    DWORD play = 0xFFFF;
    b->GetCurrentPosition(&play, nullptr);
    return play;
}

class SoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        SoundClose();
        headless::Reset();
        headless::ResetAudio();
        platform::SetTracing(true);
        window = MakeWindow();
        ASSERT_TRUE(SoundOpen(window));
        std::memset(&set, 0, sizeof(set));
    }
    void TearDown() override {
        SoundClose();
        headless::SetAudioDevice(true);
    }

    // Loads an image through a file, as SoundLoad reads files.
    BOOL LoadImage(const std::vector<std::uint8_t>& image, LONG copies = 1) {
        std::string path = WriteTemp(::testing::UnitTest::GetInstance()->current_test_info()->name(), image);
        BOOL ok = SoundLoad(&set, path.c_str(), copies);
        std::remove(path.c_str());
        return ok;
    }

    static bool Called(const std::string& name) {
        for (const auto& c : platform::TracedCalls())
            if (c == name) return true;
        return false;
    }

    HWND window = nullptr;
    SoundSet set{};
};

// ---- the device ----------------------------------------------------------

TEST_F(SoundTest, OpenOnceCloseTwice) {
    EXPECT_EQ(soundReady, 1);
    EXPECT_FALSE(SoundOpen(window));
    EXPECT_TRUE(SoundClose());
    EXPECT_EQ(soundReady, 0);
    EXPECT_FALSE(headless::AudioDeviceOpen());
    EXPECT_FALSE(SoundClose());
    EXPECT_TRUE(SoundOpen(window));
}

TEST_F(SoundTest, NoAudioDeviceMeansNoSoundDevice) {
    SoundClose();
    headless::SetAudioDevice(false);
    EXPECT_FALSE(SoundOpen(window));
    EXPECT_EQ(soundReady, 0);
    // Loading without a device leaves the set alone and does not complain.
    set.copyCount = 5;
    EXPECT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 1));
    EXPECT_EQ(set.copyCount, 5);
    set.copyCount = 0;
    EXPECT_EQ(SoundPlay(&set), nullptr);
    EXPECT_FALSE(SoundIsPlaying(&set));
}

// ---- WAVE images ---------------------------------------------------------

TEST_F(SoundTest, WaveLayoutsThatLoad) {
    auto samples = Ramp(301);
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
    } cases[] = {
        {"fmt then data", Riff({{"fmt ", Fmt(11025)}, {"data", samples}})},
        {"LIST between", Riff({{"fmt ", Fmt(11025)}, {"LIST", {'I', 'N', 'F', 'O', 1, 2, 3}}, {"data", samples}})},
        {"data before fmt", Riff({{"data", samples}, {"fmt ", Fmt(11025)}})},
        {"18-byte fmt", Riff({{"fmt ", Fmt(11025, 18)}, {"data", samples}})},
        {"empty data first", Riff({{"data", {}}, {"fmt ", Fmt(11025)}, {"data", samples}})},
        {"second fmt ignored", Riff({{"fmt ", Fmt(11025)}, {"fmt ", Fmt(8000, 12)}, {"data", samples}})},
        // Many writers get the RIFF size wrong: the chunks are walked to the
        // end of the image instead.
        {"RIFF size larger than the file", Riff({{"fmt ", Fmt(11025)}, {"data", samples}}, 100000)},
        {"RIFF size of 4 GB", Riff({{"fmt ", Fmt(11025)}, {"data", samples}}, 0xFFFFFFFF)},
        {"trailing bytes after RIFF",
         [&] {
             auto v = Riff({{"fmt ", Fmt(11025)}, {"data", samples}});
             v.insert(v.end(), 7, 0xEE);
             return v;
         }()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::memset(&set, 0, sizeof(set));
        ASSERT_TRUE(LoadImage(c.image));
        ASSERT_EQ(set.copyCount, 1);
        EXPECT_EQ(SamplesOf(set.copies[0]), samples);
        WAVEFORMATEX f{};
        ASSERT_EQ(set.copies[0]->GetFormat(&f, sizeof(f), nullptr), DS_OK);
        EXPECT_EQ(f.nSamplesPerSec, 11025u);
    }
}

TEST_F(SoundTest, BrokenWavesFailWithoutReadingPastTheImage) {
    auto samples = Ramp(300);
    auto good = Riff({{"fmt ", Fmt(11025)}, {"data", samples}});
    struct Case {
        const char* what;
        std::vector<std::uint8_t> image;
    } cases[] = {
        {"12-byte fmt", Riff({{"fmt ", Fmt(11025, 12)}, {"data", samples}})},
        {"14-byte fmt without bits", Riff({{"fmt ", Fmt(11025, 14)}, {"data", samples}})},
        {"no fmt", Riff({{"data", samples}})},
        {"no data", Riff({{"fmt ", Fmt(11025)}})},
        {"only an empty data", Riff({{"fmt ", Fmt(11025)}, {"data", {}}})},
        {"data size past the end", Riff({{"fmt ", Fmt(11025)}, {"data", samples, 5000}})},
        {"data size near 4 GB", Riff({{"fmt ", Fmt(11025)}, {"data", samples, 0xFFFFFFF0}})},
        {"LIST size past the end", Riff({{"fmt ", Fmt(11025)}, {"LIST", {1, 2, 3, 4}, 0x7FFFFFFF}, {"data", samples}})},
        {"RIFF size larger than the file, data past the end",
         Riff({{"fmt ", Fmt(11025)}, {"data", samples, 5000}}, 100000)},
        {"RIFF size ending inside a chunk header", Riff({{"fmt ", Fmt(11025)}, {"data", samples}}, 4 + 24 + 4)},
        {"data outside the RIFF size", Riff({{"fmt ", Fmt(11025)}, {"data", samples}}, 4 + 24)},
        {"not RIFF",
         [&] {
             auto v = good;
             v[0] = 'X';
             return v;
         }()},
        {"not WAVE",
         [&] {
             auto v = good;
             v[8] = 'X';
             return v;
         }()},
        {"header only", std::vector<std::uint8_t>(good.begin(), good.begin() + 12)},
        {"cut short", std::vector<std::uint8_t>(good.begin(), good.begin() + 10)},
        {"cut inside the samples", std::vector<std::uint8_t>(good.begin(), good.end() - 50)},
        {"empty file", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundSet before;
        std::memset(&before, 0x5A, sizeof(before));
        set = before;
        EXPECT_FALSE(LoadImage(c.image));
        EXPECT_EQ(std::memcmp(&set, &before, sizeof(set)), 0);
    }
}

TEST_F(SoundTest, MissingOrUnreadableFilesFail) {
    EXPECT_FALSE(SoundLoad(&set, "no_such_file.wav", 1));
    EXPECT_FALSE(SoundLoad(&set, MAKEINTRESOURCEA(999), 1));  // no such resource, and a number is no path
    EXPECT_FALSE(SoundLoad(&set, nullptr, 1));
    EXPECT_FALSE(SoundLoad(nullptr, MAKEINTRESOURCEA(118), 1));

    auto image = Riff({{"fmt ", Fmt(11025)}, {"data", Ramp(300)}});
    std::string path = WriteTemp("long", image);
    std::string longPath = path;
    while (longPath.size() <= 255) longPath.insert(longPath.rfind('/') + 1, "./");
    EXPECT_FALSE(SoundLoad(&set, longPath.c_str(), 1));

    platform::ArmFault({"ReadFile", ERROR_HANDLE_EOF});
    EXPECT_FALSE(SoundLoad(&set, path.c_str(), 1));
    platform::ArmFault({"LocalAlloc", 0});
    EXPECT_FALSE(SoundLoad(&set, path.c_str(), 1));
    platform::ArmFault({"IDirectSound::CreateSoundBuffer", DSERR_OUTOFMEMORY});
    EXPECT_FALSE(SoundLoad(&set, path.c_str(), 1));
    platform::ArmFault({"IDirectSoundBuffer::Lock", DSERR_BUFFERLOST});
    EXPECT_FALSE(SoundLoad(&set, path.c_str(), 1));
    EXPECT_EQ(set.copyCount, 0);
    EXPECT_TRUE(SoundLoad(&set, path.c_str(), 1));  // nothing left armed
    std::remove(path.c_str());
}

// ---- the program's effects and the copies --------------------------------

TEST_F(SoundTest, TheThreeEffectsLoadFromTheirResources) {
    EnsureWaveResources();
    struct Effect {
        int id;
        DWORD rate, bytes;
    } effects[] = {{118, 5500, 11905}, {119, 22050, 84518}, {120, 11000, 27798}};
    for (const Effect& e : effects) {
        SCOPED_TRACE(e.id);
        std::memset(&set, 0x5A, sizeof(set));
        ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(e.id), 1));
        EXPECT_EQ(set.copyCount, 1);
        ASSERT_NE(set.copies[0], nullptr);
        for (int i = 1; i < SOUND_MAX_COPIES; ++i) EXPECT_EQ(set.copies[i], nullptr);
        EXPECT_EQ(set.next, 0);
        EXPECT_EQ(set.volume, 0);
        EXPECT_EQ(set.pan, 0);
        EXPECT_EQ(set.frequency, 0);
        WAVEFORMATEX f{};
        ASSERT_EQ(set.copies[0]->GetFormat(&f, sizeof(f), nullptr), DS_OK);
        EXPECT_EQ(f.wFormatTag, WAVE_FORMAT_PCM);
        EXPECT_EQ(f.nChannels, 1);
        EXPECT_EQ(f.wBitsPerSample, 8);
        EXPECT_EQ(f.nSamplesPerSec, e.rate);
        auto file = EffectFile(e.id);
        ASSERT_EQ(file.size(), 44 + e.bytes + (e.bytes & 1));
        EXPECT_EQ(SamplesOf(set.copies[0]), std::vector<std::uint8_t>(file.begin() + 44, file.begin() + 44 + e.bytes));
    }
}

TEST_F(SoundTest, CopyCountsOutsideZeroToEightAreRefused) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 2));
    SoundSet before = set;
    EXPECT_FALSE(SoundLoad(&set, MAKEINTRESOURCEA(118), 9));
    EXPECT_FALSE(SoundLoad(&set, MAKEINTRESOURCEA(118), -1));
    EXPECT_EQ(std::memcmp(&set, &before, sizeof(set)), 0);

    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 8));
    EXPECT_EQ(set.copyCount, 8);
    for (int i = 0; i < 8; ++i) EXPECT_NE(set.copies[i], nullptr);

    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 0));
    EXPECT_EQ(set.copyCount, 0);
    for (int i = 0; i < 8; ++i) EXPECT_EQ(set.copies[i], nullptr);
    EXPECT_EQ(SoundPlay(&set), nullptr);
}

TEST_F(SoundTest, AFailedDuplicateKeepsTheCopiesMadeSoFar) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 2));
    LPDIRECTSOUNDBUFFER old0 = set.copies[0];
    platform::ArmFault({"IDirectSound::DuplicateSoundBuffer", DSERR_OUTOFMEMORY, 1});  // the second duplicate fails
    EXPECT_FALSE(SoundLoad(&set, MAKEINTRESOURCEA(119), 4));
    EXPECT_EQ(set.copyCount, 2);
    EXPECT_NE(set.copies[0], old0);
    EXPECT_NE(set.copies[1], nullptr);
    EXPECT_EQ(set.copies[2], nullptr);
    DWORD rate = 0;
    ASSERT_EQ(set.copies[1]->GetFrequency(&rate), DS_OK);
    EXPECT_EQ(rate, 22050u);
}

TEST_F(SoundTest, PlaysTakeTheCopiesInTurnRestartingOneStillSounding) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(119), 3));
    EXPECT_EQ(SoundPlay(&set), set.copies[0]);
    headless::RenderAudio(1000);
    EXPECT_EQ(SoundPlay(&set), set.copies[1]);
    EXPECT_EQ(SoundPlay(&set), set.copies[2]);
    headless::RenderAudio(1000);
    EXPECT_GT(Position(set.copies[0]), 0u);

    platform::ClearTrace();
    EXPECT_EQ(SoundPlay(&set), set.copies[0]);
    auto calls = platform::TracedCalls();
    std::vector<std::string> expected = {"IDirectSoundBuffer::GetStatus", "IDirectSoundBuffer::Stop",
                                         "IDirectSoundBuffer::SetCurrentPosition", "IDirectSoundBuffer::Play"};
    EXPECT_EQ(calls, expected);
    EXPECT_EQ(Position(set.copies[0]), 0u);
    EXPECT_EQ(set.next, 1);

    // A copy that has finished is simply played again.
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 1));
    EXPECT_EQ(SoundPlay(&set), set.copies[0]);
    headless::RenderAudio(44100 * 3);
    platform::ClearTrace();
    EXPECT_EQ(SoundPlay(&set), set.copies[0]);
    EXPECT_FALSE(Called("IDirectSoundBuffer::Stop"));

    set.next = 7;  // out of range: back to the first copy
    EXPECT_EQ(SoundPlay(&set), set.copies[0]);
}

TEST_F(SoundTest, StopPlayOneAndIsPlaying) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(119), 2));
    EXPECT_FALSE(SoundIsPlaying(&set));
    LPDIRECTSOUNDBUFFER copy = SoundPlayLooping(&set);
    ASSERT_EQ(copy, set.copies[0]);
    DWORD status = 0;
    copy->GetStatus(&status);
    EXPECT_EQ(status, static_cast<DWORD>(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING));
    EXPECT_TRUE(SoundIsPlaying(&set));
    headless::RenderAudio(44100 * 5);  // longer than the chime: it loops on
    EXPECT_TRUE(SoundIsPlaying(&set));

    EXPECT_TRUE(SoundStopOne(copy));
    EXPECT_FALSE(SoundIsPlaying(&set));
    DWORD stoppedAt = Position(copy);
    EXPECT_GT(stoppedAt, 0u);
    EXPECT_TRUE(SoundPlayOne(copy));  // once, from where it stopped
    EXPECT_EQ(Position(copy), stoppedAt);
    EXPECT_TRUE(SoundIsPlaying(&set));

    EXPECT_TRUE(SoundStopSet(&set));
    EXPECT_FALSE(SoundIsPlaying(&set));
    EXPECT_EQ(Position(copy), 0u);

    EXPECT_FALSE(SoundStopOne(nullptr));
    EXPECT_FALSE(SoundPlayOne(nullptr));
    EXPECT_FALSE(SoundStopSet(nullptr));
    EXPECT_FALSE(SoundIsPlaying(nullptr));
    EXPECT_EQ(SoundPlay(nullptr), nullptr);
}

// ---- value scales ----------------------------------------------------------

TEST_F(SoundTest, VolumePanAndFrequencyScales) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 2));
    auto volumeOf = [&](int i) {
        LONG v = 1;
        set.copies[i]->GetVolume(&v);
        return v;
    };
    auto panOf = [&](int i) {
        LONG v = 1;
        set.copies[i]->GetPan(&v);
        return v;
    };
    auto hertzOf = [&](int i) {
        DWORD v = 1;
        set.copies[i]->GetFrequency(&v);
        return v;
    };

    EXPECT_TRUE(SoundSetVolume(&set, 255));
    EXPECT_EQ(volumeOf(0), 0);
    EXPECT_TRUE(SoundSetVolume(&set, 0));
    EXPECT_EQ(volumeOf(1), -4080);
    EXPECT_EQ(set.volume, 0);
    EXPECT_TRUE(SoundSetVolume(&set, 100));
    EXPECT_FALSE(SoundSetVolume(&set, 256));
    EXPECT_FALSE(SoundSetVolume(&set, -1));
    EXPECT_FALSE(SoundSetVolume(nullptr, 10));
    EXPECT_EQ(set.volume, 100);
    EXPECT_EQ(volumeOf(0), 100 * 16 - 4080);

    EXPECT_TRUE(SoundSetPan(&set, 0));
    EXPECT_EQ(panOf(0), -9984);
    EXPECT_TRUE(SoundSetPan(&set, 255));
    EXPECT_EQ(panOf(1), 9906);
    EXPECT_TRUE(SoundSetPan(&set, 128));
    EXPECT_EQ(panOf(0), 0);
    EXPECT_FALSE(SoundSetPan(&set, 256));
    EXPECT_FALSE(SoundSetPan(&set, -1));
    EXPECT_EQ(set.pan, 128);

    EXPECT_TRUE(SoundSetFrequency(&set, 1));
    EXPECT_EQ(hertzOf(0), 457u);
    EXPECT_TRUE(SoundSetFrequency(&set, 255));
    EXPECT_EQ(hertzOf(1), 4521u);
    EXPECT_FALSE(SoundSetFrequency(&set, 256));
    EXPECT_FALSE(SoundSetFrequency(&set, -1));
    EXPECT_EQ(set.frequency, 255);
    EXPECT_TRUE(SoundSetFrequency(&set, 0));  // the buffer's own rate again
    EXPECT_EQ(hertzOf(0), 5500u);
    EXPECT_EQ(hertzOf(1), 5500u);
}

TEST_F(SoundTest, APlaySoundsAsTheSetWasLastSet) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 2));
    LPDIRECTSOUNDBUFFER copy = SoundPlay(&set);
    LONG v = 1;
    copy->GetVolume(&v);
    EXPECT_EQ(v, 0);  // nothing set: full volume
    copy->GetPan(&v);
    EXPECT_EQ(v, 0);  // and the centre

    SoundSetVolume(&set, 128);
    SoundSetPan(&set, 0);
    for (int i = 0; i < 3; ++i) {
        copy = SoundPlay(&set);
        copy->GetVolume(&v);
        EXPECT_EQ(v, 128 * 16 - 4080);
        copy->GetPan(&v);
        EXPECT_EQ(v, -9984);
    }
}

// ---- what reaches the speakers ---------------------------------------------

class SoundMixTest : public SoundTest {
protected:
    // A loud 8-bit square wave: +/-100 around the centre, 2756 frames at 11025 Hz.
    void LoadSquare(LONG copies = 1) {
        std::vector<std::uint8_t> s(2756);
        for (std::size_t i = 0; i < s.size(); ++i) s[i] = (i / 10) % 2 ? 228 : 28;
        ASSERT_TRUE(LoadImage(Riff({{"fmt ", Fmt(11025)}, {"data", s}}), copies));
    }
};

TEST_F(SoundMixTest, AFreshSetPlaysFullInTheCentre) {
    LoadSquare();
    SoundPlay(&set);
    auto pcm = headless::RenderAudio(11025);
    EXPECT_EQ(pcm, [&] {
        auto mirrored = pcm;
        for (std::size_t i = 0; i < pcm.size(); i += 2) mirrored[i + 1] = pcm[i];
        return mirrored;
    }());
    EXPECT_EQ(Peak(pcm, kLeft), 100 * 256);
}

TEST_F(SoundMixTest, FullLeftPanIsSilentOnTheRight) {
    LoadSquare();
    SoundSetPan(&set, 0);
    SoundPlay(&set);
    auto pcm = headless::RenderAudio(11025);
    EXPECT_LE(Peak(pcm, kRight), 1);
    EXPECT_EQ(Peak(pcm, kLeft), 100 * 256);

    SoundSetPan(&set, 255);
    SoundPlay(&set);
    pcm = headless::RenderAudio(11025);
    EXPECT_LE(Peak(pcm, kLeft), 1);
    EXPECT_EQ(Peak(pcm, kRight), 100 * 256);
}

TEST_F(SoundMixTest, VolumeZeroIsFortyDecibelsDown) {
    LoadSquare();
    SoundSetVolume(&set, 0);
    SoundPlay(&set);
    auto pcm = headless::RenderAudio(11025);
    EXPECT_NEAR(Peak(pcm, kLeft), 100 * 256 * std::pow(10.0, -4080 / 2000.0), 1.0);
}

TEST_F(SoundMixTest, FrequencySetsTheDuration) {
    LoadSquare();
    SoundPlay(&set);
    EXPECT_NEAR(SoundingFrames(headless::RenderAudio(44100)), 2756 * 4, 4);

    SoundSetFrequency(&set, 255);  // 4521 Hz
    SoundPlay(&set);
    EXPECT_NEAR(SoundingFrames(headless::RenderAudio(44100)), 2756.0 * 44100 / 4521, 4);

    SoundSetFrequency(&set, 0);
    SoundPlay(&set);
    EXPECT_NEAR(SoundingFrames(headless::RenderAudio(44100)), 2756 * 4, 4);
}

TEST_F(SoundMixTest, OneSetSoundsSeveralTimesAtOnce) {
    LoadSquare(2);
    SoundSetVolume(&set, 200);  // two of them must not clip
    SoundPlay(&set);
    auto one = headless::RenderAudio(1);
    SoundStopSet(&set);
    set.next = 0;
    SoundPlay(&set);
    SoundPlay(&set);
    auto two = headless::RenderAudio(1);
    EXPECT_NE(one[0], 0);
    EXPECT_NEAR(two[0], 2 * one[0], 1);
}

// ---- after the device is gone ----------------------------------------------

TEST_F(SoundTest, SetsOutliveTheDeviceHarmlessly) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(118), 3));
    SoundPlayLooping(&set);
    SoundClose();
    platform::ClearTrace();
    EXPECT_EQ(SoundPlay(&set), nullptr);
    EXPECT_FALSE(SoundIsPlaying(&set));
    EXPECT_FALSE(SoundStopSet(&set));
    EXPECT_FALSE(SoundStopOne(set.copies[0]));
    EXPECT_FALSE(SoundPlayOne(set.copies[0]));
    // The settings are kept; the released copies are not touched.
    EXPECT_TRUE(SoundSetVolume(&set, 7));
    EXPECT_TRUE(SoundSetPan(&set, 8));
    EXPECT_TRUE(SoundSetFrequency(&set, 9));
    EXPECT_EQ(set.volume, 7);
    EXPECT_EQ(set.pan, 8);
    EXPECT_EQ(set.frequency, 9);
    EXPECT_TRUE(SoundFreeSet(&set));
    for (int i = 0; i < SOUND_MAX_COPIES; ++i) EXPECT_EQ(set.copies[i], nullptr);
    for (const auto& call : platform::TracedCalls())
        EXPECT_EQ(call.rfind("IDirectSoundBuffer::", 0), std::string::npos) << call;
    EXPECT_FALSE(SoundFreeSet(nullptr));
}

TEST_F(SoundTest, FreeSetStopsAndReleasesEveryCopy) {
    EnsureWaveResources();
    ASSERT_TRUE(SoundLoad(&set, MAKEINTRESOURCEA(120), 4));
    SoundPlay(&set);
    SoundPlay(&set);
    platform::ClearTrace();
    EXPECT_TRUE(SoundFreeSet(&set));
    int stops = 0, releases = 0;
    for (const auto& call : platform::TracedCalls()) {
        stops += call == "IDirectSoundBuffer::Stop";
        releases += call == "IDirectSoundBuffer::Release";
    }
    EXPECT_EQ(stops, 4);
    EXPECT_EQ(releases, 4);
    for (int i = 0; i < SOUND_MAX_COPIES; ++i) EXPECT_EQ(set.copies[i], nullptr);
    EXPECT_EQ(Peak(headless::RenderAudio(1000), kLeft), 0);
}

}  // namespace

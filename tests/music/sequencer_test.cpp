// Volume messages on the player's stream, and the MCI sequencer route with
// its replay at every end notification.
#include "music/sequencer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "platform/trace/trace.h"
#include "tests/music/player_fixture.h"

namespace {

using namespace player_fixture;

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

HWND MakeWindow() {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = PlainWindowProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "MUSIC_TEST";
    RegisterClassExA(&wc);
    return CreateWindowExA(0, "MUSIC_TEST", "music test", WS_OVERLAPPEDWINDOW, 0, 0, 320, 240, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

std::vector<std::uint32_t> VolumeMessages() {
    std::vector<std::uint32_t> out;
    for (const auto& m : headless::SynthMessages())
        if ((m.message & 0xF0) == 0xB0 && ((m.message >> 8) & 0xFF) == 7) out.push_back(m.message);
    return out;
}

int Traced(const std::string& name) {
    auto calls = platform::TracedCalls();
    return static_cast<int>(std::count(calls.begin(), calls.end(), name));
}

class VolumeTest : public PlayerTest {
protected:
    void Play() {
        ASSERT_TRUE(MusicOpen());
        ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
        ASSERT_TRUE(MusicStart(1));
    }
};

TEST_F(VolumeTest, AChannelVolumeIsTheSongsOwnScaledInThousandths) {
    Play();
    Render(20);
    headless::ClearSynthMessages();
    EXPECT_TRUE(MusicSetChannelVolume(3, 500));
    Render(10);
    auto sent = VolumeMessages();
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0], 0xB3u | 7u << 8 | 50u << 16);

    // Channel 0's own volume has become 90 by now; a tenth of it is 9.
    Render(600);
    ASSERT_EQ(musicPlayer.channelVolume[0], 90);
    headless::ClearSynthMessages();
    EXPECT_TRUE(MusicSetChannelVolume(0, 100));
    Render(10);
    EXPECT_EQ(VolumeMessages(), (std::vector<std::uint32_t>{0xB0u | 7u << 8 | 9u << 16}));

    EXPECT_FALSE(MusicSetChannelVolume(16, 500));
    EXPECT_FALSE(MusicSetChannelVolume(-1, 500));
    EXPECT_FALSE(MusicSetChannelVolume(0, 1001));
    EXPECT_FALSE(MusicSetChannelVolume(0, -1));
}

TEST_F(VolumeTest, TheMasterVolumeGoesToAllSixteenChannelsInOrder) {
    Play();
    headless::ClearSynthMessages();
    EXPECT_TRUE(MusicSetMasterVolume(1000));
    Render(10);
    auto sent = VolumeMessages();
    ASSERT_GE(sent.size(), 16u);
    for (std::uint32_t c = 0; c < 16; ++c) EXPECT_EQ(sent[c], (0xB0u | c) | 7u << 8 | 100u << 16) << c;
}

TEST_F(VolumeTest, NothingIsSentUnlessTheSongPlays) {
    ASSERT_TRUE(MusicOpen());
    ASSERT_TRUE(MusicLoad(ShortSong().c_str()));
    platform::SetTracing(true);
    EXPECT_FALSE(MusicSetChannelVolume(3, 500));
    EXPECT_FALSE(MusicSetMasterVolume(500));
    EXPECT_EQ(Traced("midiOutShortMsg"), 0);
    platform::SetTracing(false);
}

TEST_F(VolumeTest, ARefusedMessageStopsTheMasterVolume) {
    Play();
    platform::SetTracing(true);
    platform::ArmFault({"midiOutShortMsg", MMSYSERR_NOMEM, 4, 0});
    EXPECT_FALSE(MusicSetMasterVolume(500));
    EXPECT_EQ(Traced("midiOutShortMsg"), 5);  // channels 0 to 3, then the refused one
    platform::SetTracing(false);
}

class SequencerTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        window_ = MakeWindow();
        ASSERT_NE(window_, nullptr);
        song_ = ShortSong("sequenced.mid");
    }
    void TearDown() override {
        SequencerStop();
        PlayerTest::TearDown();
    }

    // The MM_MCINOTIFY messages waiting for the window.
    std::vector<MSG> Notifications() {
        std::vector<MSG> out;
        MSG msg;
        while (PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE | PM_NOYIELD)) out.push_back(msg);
        return out;
    }

    HWND window_ = nullptr;
    std::string song_;
};

TEST_F(SequencerTest, PlaysTheFileAndReplaysItAtEveryEnd) {
    platform::SetTracing(true);
    ASSERT_TRUE(SequencerPlay(window_, song_.c_str()));
    EXPECT_EQ(mciState, MCI_STATE_SEQUENCER);
    EXPECT_EQ(mciStatusParms.dwReturn, static_cast<DWORD_PTR>(MCI_SEQ_MAPPER));
    EXPECT_EQ(Traced("mciSendCommandA:MCI_OPEN"), 1);
    EXPECT_EQ(Traced("mciSendCommandA:MCI_STATUS"), 1);
    EXPECT_EQ(Traced("mciSendCommandA:MCI_PLAY"), 1);
    EXPECT_FALSE(SequencerPlay(window_, song_.c_str()));

    Render(1100);
    EXPECT_TRUE(Notifications().empty());
    EXPECT_EQ(NoteOns(64).size(), 1u);
    Render(900);
    for (int pass = 2; pass <= 3; ++pass) {
        auto done = Notifications();
        ASSERT_EQ(done.size(), 1u) << pass;
        EXPECT_EQ(done[0].wParam, static_cast<WPARAM>(MCI_NOTIFY_SUCCESSFUL));
        EXPECT_EQ(static_cast<MCIDEVICEID>(done[0].lParam), mciDevice);
        EXPECT_EQ(SequencerNotify(done[0].wParam, done[0].lParam), 0);
        Render(2000);
        EXPECT_EQ(NoteOns(60).size(), static_cast<std::size_t>(pass)) << pass;
    }
    EXPECT_EQ(Traced("mciSendCommandA:MCI_STOP"), 2);
    EXPECT_EQ(Traced("mciSendCommandA:MCI_SEEK"), 2);
    EXPECT_EQ(Traced("mciSendCommandA:MCI_PLAY"), 3);
    platform::SetTracing(false);

    EXPECT_TRUE(SequencerStop());
    EXPECT_EQ(mciState, 0);
    EXPECT_FALSE(SequencerStop());
    std::size_t heard = NoteOns().size();
    Render(2000);
    EXPECT_EQ(NoteOns().size(), heard);
}

TEST_F(SequencerTest, ALastPlayClosesTheDeviceAtItsEnd) {
    ASSERT_TRUE(SequencerPlay(window_, song_.c_str()));
    repeatCount = 1;
    Render(2000);
    auto done = Notifications();
    ASSERT_EQ(done.size(), 1u);
    SequencerNotify(done[0].wParam, done[0].lParam);
    EXPECT_EQ(mciState, 0);
    EXPECT_EQ(repeatCount, 0);
    // The device is gone: its id is no longer known.
    EXPECT_EQ(mciSendCommandA(mciDevice, MCI_PLAY, 0, 0), static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_ID));
}

TEST_F(SequencerTest, ANotificationForAnotherDeviceIsIgnored) {
    ASSERT_TRUE(SequencerPlay(window_, song_.c_str()));
    platform::SetTracing(true);
    SequencerNotify(MCI_NOTIFY_SUCCESSFUL, static_cast<LPARAM>(mciDevice + 1));
    EXPECT_EQ(Traced("mciSendCommandA:MCI_PLAY"), 0);
    platform::SetTracing(false);
}

TEST_F(SequencerTest, AFailingCommandClosesTheDeviceAgain) {
    EXPECT_FALSE(SequencerPlay(window_, midi_files::TempPath("missing.mid").c_str()));
    EXPECT_EQ(mciState, 0);

    platform::SetTracing(true);
    platform::ArmFault({"mciSendCommandA:MCI_STATUS", MCIERR_HARDWARE, 0, 0});
    EXPECT_FALSE(SequencerPlay(window_, song_.c_str()));
    EXPECT_EQ(Traced("mciSendCommandA:MCI_CLOSE"), 1);
    platform::ArmFault({"mciSendCommandA:MCI_PLAY", MCIERR_HARDWARE, 0, 0});
    EXPECT_FALSE(SequencerPlay(window_, song_.c_str()));
    EXPECT_EQ(Traced("mciSendCommandA:MCI_CLOSE"), 2);
    platform::SetTracing(false);
    EXPECT_EQ(mciState, 0);

    // And with nothing in the way it plays.
    EXPECT_TRUE(SequencerPlay(window_, song_.c_str()));
}

}  // namespace

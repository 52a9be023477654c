// The MCI "sequencer" device: opening a MIDI file, its status, playing with
// a notification at the end, and the notifications a stop, a new play or a
// close gives a play still under way.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include <unistd.h>

#include "platform/host/headless/headless.h"
#include "platform/host/headless/headless_audio.h"
#include "platform/host/headless/headless_synth.h"
#include "platform/trace/trace.h"
#include "platform/winmm/midi_internal.h"

namespace {

LRESULT CALLBACK PlainWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Tests run side by side in separate processes: each writes its own files.
std::string ScratchPath(const std::string& name) {
    return ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
}

// Division 96, 120 quarters a minute: a note at 0 and one a second later.
std::string WriteSong() {
    // clang-format off
    const unsigned char bytes[] = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96,
        'M', 'T', 'r', 'k', 0, 0, 0, 19,
        0x00, 0x90, 60, 100,
        0x81, 0x40, 0x90, 62, 100,  // 192 ticks later
        0x60, 62, 0,                // running status
        0x00, 0xFF, 0x2F, 0x00,
        0, 0, 0,                    // padding inside the chunk is never read
    };
    // clang-format on
    std::string path = ScratchPath("mci_song.mid");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes, 1, sizeof(bytes), f);
    std::fclose(f);
    return path;
}

class MciSequencer : public ::testing::Test {
protected:
    void SetUp() override {
        headless::Reset();
        headless::ResetAudio();
        headless::SetAudioDevice(true);
        headless::SetMidiSynth(true);
        headless::ClearSynthMessages();
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PlainWindowProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "MCI_TEST";
        RegisterClassExA(&wc);
        window_ = CreateWindowExA(0, "MCI_TEST", "mci", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                  wc.hInstance, nullptr);
        song_ = WriteSong();
    }
    void TearDown() override { mciSendCommandA(MCI_ALL_DEVICE_ID, MCI_CLOSE, 0, 0); }

    MCIERROR Open(const char* type, const std::string& element, DWORD flags = MCI_OPEN_TYPE | MCI_OPEN_ELEMENT) {
        MCI_OPEN_PARMSA open{};
        open.lpstrDeviceType = type;
        open.lpstrElementName = element.c_str();
        MCIERROR r = mciSendCommandA(0, MCI_OPEN, flags, reinterpret_cast<DWORD_PTR>(&open));
        if (r == 0) device_ = open.wDeviceID;
        return r;
    }
    MCIERROR Play(DWORD flags = MCI_NOTIFY) {
        MCI_PLAY_PARMS play{};
        play.dwCallback = reinterpret_cast<DWORD_PTR>(window_);
        return mciSendCommandA(device_, MCI_PLAY, flags, reinterpret_cast<DWORD_PTR>(&play));
    }
    MCIERROR Command(UINT command, DWORD flags = 0) {
        MCI_GENERIC_PARMS p{reinterpret_cast<DWORD_PTR>(window_)};
        return mciSendCommandA(device_, command, flags, reinterpret_cast<DWORD_PTR>(&p));
    }
    void Render(int frames) {
        while (frames > 0) {
            headless::RenderAudio(441);
            platform::midi::FlushNotifications();
            frames -= 441;
        }
    }
    // The notification flags waiting for the window, oldest first.
    std::vector<WPARAM> Notified() {
        std::vector<WPARAM> out;
        MSG msg;
        while (PeekMessageA(&msg, window_, MM_MCINOTIFY, MM_MCINOTIFY, PM_REMOVE | PM_NOYIELD)) {
            EXPECT_EQ(static_cast<MCIDEVICEID>(msg.lParam), device_);
            out.push_back(msg.wParam);
        }
        return out;
    }
    static int NotesHeard() {
        int n = 0;
        for (const auto& m : headless::SynthMessages()) n += (m.message & 0xF0) == 0x90 && (m.message >> 16) != 0;
        return n;
    }

    HWND window_ = nullptr;
    std::string song_;
    MCIDEVICEID device_ = 0;
};

TEST_F(MciSequencer, OpeningWantsASequencerAndAReadableMidiFile) {
    EXPECT_EQ(Open("waveaudio", song_), static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_NAME));
    EXPECT_EQ(Open("sequencer", song_, MCI_OPEN_TYPE), static_cast<MCIERROR>(MCIERR_MISSING_PARAMETER));
    EXPECT_EQ(Open("sequencer", ::testing::TempDir() + "none.mid"), static_cast<MCIERROR>(MCIERR_FILE_NOT_FOUND));
    std::string notMidi = ScratchPath("not_midi.mid");
    std::FILE* f = std::fopen(notMidi.c_str(), "wb");
    std::fputs("RIFF....", f);
    std::fclose(f);
    EXPECT_EQ(Open("sequencer", notMidi), static_cast<MCIERROR>(MCIERR_INVALID_FILE));
    EXPECT_EQ(mciSendCommandA(0, MCI_OPEN, MCI_OPEN_TYPE, 0), static_cast<MCIERROR>(MCIERR_NULL_PARAMETER_BLOCK));
    headless::SetMidiSynth(false);
    EXPECT_EQ(Open("sequencer", song_), static_cast<MCIERROR>(MCIERR_SEQ_NOMIDIPRESENT));
    headless::SetMidiSynth(true);

    // The type may also be left to the file's name.
    ASSERT_EQ(Open(nullptr, song_, MCI_OPEN_ELEMENT), 0u);
    EXPECT_NE(device_, 0u);
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_SEQ_STATUS_PORT;
    ASSERT_EQ(mciSendCommandA(device_, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)), 0u);
    EXPECT_EQ(status.dwReturn, static_cast<DWORD_PTR>(MCI_SEQ_MAPPER));
    status.dwItem = MCI_STATUS_MODE;
    ASSERT_EQ(mciSendCommandA(device_, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)), 0u);
    EXPECT_EQ(status.dwReturn, static_cast<DWORD_PTR>(MCI_MODE_STOP));
    EXPECT_EQ(mciSendCommandA(device_ + 1, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)),
              static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_ID));
    EXPECT_EQ(Command(MCI_CLOSE), 0u);
    EXPECT_EQ(Command(MCI_CLOSE), static_cast<MCIERROR>(MCIERR_INVALID_DEVICE_ID));
}

// The forms of a command the sequencer does not take fail as a driver
// without them would, and say so in the call log.
TEST_F(MciSequencer, TheFormsNotTakenSaySoInTheCallLog) {
    ASSERT_EQ(Open("sequencer", song_), 0u);
    platform::SetTracing(true);
    platform::ClearTrace();
    MCI_STATUS_PARMS status{};
    status.dwItem = MCI_STATUS_LENGTH;
    const std::pair<const char*, std::function<MCIERROR()>> forms[] = {
        {"MCI_PLAY:MCI_FROM/MCI_TO", [&] { return Play(MCI_FROM); }},
        {"MCI_SEEK:MCI_TO", [&] { return Command(MCI_SEEK, MCI_TO); }},
        {"MCI_STATUS:other items",
         [&] { return mciSendCommandA(device_, MCI_STATUS, MCI_STATUS_ITEM, reinterpret_cast<DWORD_PTR>(&status)); }},
        {"MCI_OPEN:MCI_OPEN_ELEMENT_ID", [&] { return Open("sequencer", song_, MCI_OPEN_ELEMENT_ID); }},
    };
    for (const auto& [form, call] : forms) {
        EXPECT_EQ(call(), static_cast<MCIERROR>(MCIERR_UNSUPPORTED_FUNCTION)) << form;
        const auto calls = platform::TracedCalls();
        EXPECT_NE(
            std::find(calls.begin(), calls.end(), std::string(platform::kUnimplemented) + "mciSendCommandA:" + form),
            calls.end())
            << form;
    }
    constexpr UINT kRecord = 0x080F;  // MCI_RECORD, which these headers leave out
    EXPECT_EQ(Command(kRecord), static_cast<MCIERROR>(MCIERR_UNRECOGNIZED_COMMAND));
    EXPECT_EQ(platform::TracedCalls().back(), std::string(platform::kUnimplemented) + "mciSendCommandA:other commands");
    platform::SetTracing(false);
}

TEST_F(MciSequencer, APlayNotifiesItsWindowWhenTheFileHasPlayed) {
    ASSERT_EQ(Open("sequencer", song_), 0u);
    ASSERT_EQ(Play(), 0u);
    Render(22050);
    EXPECT_EQ(NotesHeard(), 1);
    EXPECT_TRUE(Notified().empty());
    Render(44100);
    EXPECT_EQ(NotesHeard(), 2);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}));

    // At the end a play finishes at once; from the start it plays again.
    ASSERT_EQ(Play(), 0u);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}));
    ASSERT_EQ(Command(MCI_SEEK, MCI_SEEK_TO_START), 0u);
    ASSERT_EQ(Play(), 0u);
    Render(66150);
    EXPECT_EQ(NotesHeard(), 4);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}));
}

TEST_F(MciSequencer, AStopANewPlayOrACloseEndsThePlayUnderWay) {
    ASSERT_EQ(Open("sequencer", song_), 0u);
    ASSERT_EQ(Play(), 0u);
    Render(4410);
    ASSERT_EQ(Command(MCI_STOP), 0u);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_ABORTED}));
    Render(88200);
    EXPECT_EQ(NotesHeard(), 1);

    // A stopped play goes on from where it stopped.
    ASSERT_EQ(Play(), 0u);
    ASSERT_EQ(Play(), 0u);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_SUPERSEDED}));
    Render(66150);
    EXPECT_EQ(NotesHeard(), 2);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_SUCCESSFUL}));

    ASSERT_EQ(Command(MCI_SEEK, MCI_SEEK_TO_START), 0u);
    ASSERT_EQ(Play(), 0u);
    ASSERT_EQ(Command(MCI_CLOSE), 0u);
    EXPECT_EQ(Notified(), (std::vector<WPARAM>{MCI_NOTIFY_ABORTED}));
    EXPECT_FALSE(headless::AudioDeviceOpen());
}

}  // namespace

// The MIDI stream calls through the Windows API alone: the same tests run
// over the stand-in and, cross-compiled, over Wine.
#include <windows.h>
#include <mmsystem.h>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A program that finds no music device tries again later (the game opens its
// stream at start-up and again when it loads the song). The refused open
// must leave nothing that the next one reaches, however the memory it used
// was handed out and written over in between.
TEST(MidiStreamConformance, ARefusedOpenLeavesNothingForTheNext) {
    std::vector<HGLOBAL> blocks;
    for (int round = 0; round < 3; ++round) {
        UINT device = 1000;  // no machine has so many MIDI outputs
        HMIDISTRM stream = nullptr;
        EXPECT_EQ(midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_BADDEVICEID);
        for (SIZE_T size = 8; size <= 512; size += 4) {
            HGLOBAL block = GlobalAlloc(GPTR, size);
            ASSERT_NE(block, nullptr);
            std::memset(block, 0x0A, size);
            blocks.push_back(block);
        }
    }
    // The mapper still opens where there is a device to map to.
    if (midiOutGetNumDevs() > 0) {
        UINT device = MIDI_MAPPER;
        HMIDISTRM stream = nullptr;
        ASSERT_EQ(midiStreamOpen(&stream, &device, 1, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
        EXPECT_EQ(midiStreamClose(stream), MMSYSERR_NOERROR);
    }
    for (HGLOBAL block : blocks) GlobalFree(block);
}

}  // namespace

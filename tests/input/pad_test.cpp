// The pad: keys and joystick merged into bits, the edges and the
// auto-repeat of left and right.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include <windows.h>
#include <mmsystem.h>

#include "input/pad.h"
#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

class Pad : public ::testing::Test {
protected:
    void SetUp() override { harness::ResetAll(); }

    // One running frame's pad work, as GameFrame does it.
    DWORD Frame() {
        PadPoll(&shell.padState);
        PadUpdateEdges();
        return shell.padPressed;
    }

    // Frames (counted from the first) in which `bit` was pressed while the key is held.
    std::vector<int> PressedFrames(int vk, DWORD bit, int frames) {
        std::vector<int> out;
        headless::SetKey(vk, true);
        for (int f = 0; f < frames; ++f)
            if (Frame() & bit) out.push_back(f);
        return out;
    }

    static host::JoystickCaps Stick() {
        host::JoystickCaps caps{};
        caps.xMax = caps.yMax = caps.zMax = caps.rMax = 65535;
        caps.buttonCount = 8;
        return caps;
    }
};

TEST_F(Pad, NothingBeforeDetection) {
    headless::SetKey(VK_LEFT, true);
    PadState state;
    EXPECT_EQ(PadPoll(&state), 0u);
    EXPECT_EQ(state.buttons, 0u);
    EXPECT_EQ(state.xHalfRange, 0u);
}

TEST_F(Pad, KeysOfTheTableSetTheirBits) {
    PadDetectJoystick();
    struct {
        int vk;
        DWORD bit;
    } cases[] = {{VK_UP, PAD_UP},          {VK_NUMPAD8, PAD_UP},    {VK_DOWN, PAD_DOWN},    {VK_NUMPAD2, PAD_DOWN},
                 {VK_LEFT, PAD_LEFT},      {VK_NUMPAD4, PAD_LEFT},  {VK_RIGHT, PAD_RIGHT},  {VK_NUMPAD6, PAD_RIGHT},
                 {'Z', PAD_BUTTON1},       {VK_SPACE, PAD_BUTTON1}, {'X', PAD_BUTTON2},     {VK_RETURN, PAD_BUTTON2},
                 {VK_LSHIFT, PAD_BUTTON3}, {'Q', PAD_BUTTON4},      {VK_ESCAPE, PAD_ESCAPE}};
    for (auto c : cases) {
        headless::ReleaseAllKeys();
        headless::SetKey(c.vk, true);
        EXPECT_EQ(PadPoll(nullptr), c.bit) << "key " << c.vk;
    }
}

TEST_F(Pad, KeyboardOffsetsCancelWhenBothDirectionsAreHeld) {
    PadDetectJoystick();
    PadState state;
    headless::SetKey(VK_LEFT, true);
    headless::SetKey(VK_RIGHT, true);
    headless::SetKey(VK_UP, true);
    EXPECT_EQ(PadPoll(&state), static_cast<DWORD>(PAD_LEFT | PAD_RIGHT | PAD_UP));
    EXPECT_EQ(state.xOffset, 0);
    EXPECT_EQ(state.yOffset, -1);
    EXPECT_EQ(state.xHalfRange, 1u);
    EXPECT_EQ(state.yHalfRange, 1u);
    EXPECT_EQ(state.zHalfRange, 0u);
}

TEST_F(Pad, LeftRepeatsFromTheSixthFrameAfterThePress) {
    PadDetectJoystick();
    Frame();  // a frame with the key up leaves the counter at -1
    std::vector<int> got = PressedFrames(VK_LEFT, PAD_LEFT, 10);
    EXPECT_EQ(got, (std::vector<int>{0, 6, 7, 8, 9}));
}

TEST_F(Pad, KeyDownInTheVeryFirstFrameRepeatsOneFrameLater) {
    PadDetectJoystick();
    std::vector<int> got = PressedFrames(VK_RIGHT, PAD_RIGHT, 10);
    EXPECT_EQ(got, (std::vector<int>{0, 7, 8, 9}));
}

TEST_F(Pad, ReleaseAndPressAgainRestartsTheDelay) {
    PadDetectJoystick();
    Frame();
    PressedFrames(VK_LEFT, PAD_LEFT, 9);
    headless::SetKey(VK_LEFT, false);
    EXPECT_EQ(Frame() & PAD_LEFT, 0u);
    EXPECT_EQ(PressedFrames(VK_LEFT, PAD_LEFT, 8), (std::vector<int>{0, 6, 7}));
}

TEST_F(Pad, OtherBitsArePressedOncePerPress) {
    PadDetectJoystick();
    EXPECT_EQ(PressedFrames(VK_UP, PAD_UP, 12), (std::vector<int>{0}));
    EXPECT_EQ(shell.padPrevious & PAD_UP, static_cast<DWORD>(PAD_UP));
}

TEST_F(Pad, JoystickDeadZoneIsAQuarterOfTheHalfRange) {
    headless::SetJoystick(true, Stick());
    PadDetectJoystick();
    ASSERT_EQ(joystickCount, 1);
    EXPECT_EQ(joystickCalibration.xHalfRange, 32767u);
    EXPECT_EQ(joystickCalibration.xCentre, 32767u);
    const unsigned centre = 32767, quarter = 32767 / 4;

    headless::SetJoystickState({centre - quarter, centre, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), 0u) << "exactly at the edge of the dead zone";
    headless::SetJoystickState({centre - quarter - 1, centre, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_LEFT));
    headless::SetJoystickState({centre + quarter + 1, centre + quarter + 1, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_RIGHT | PAD_DOWN));
    headless::SetJoystickState({centre, 0, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_UP));
    // Both edges of both axes are still inside.
    headless::SetJoystickState({centre + quarter, centre - quarter, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), 0u);
    headless::SetJoystickState({centre, centre + quarter, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), 0u);
    headless::SetJoystickState({centre, centre - quarter - 1, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_UP));
}

TEST_F(Pad, JoystickButtonsAndOffsets) {
    headless::SetJoystick(true, Stick());
    PadDetectJoystick();
    PadState state;
    headless::SetJoystickState({100, 65535, 32767, 40000, 1u << 4});
    DWORD bits = PadPoll(&state);
    EXPECT_EQ(bits & 0x0FF0, static_cast<DWORD>(PAD_BUTTON5)) << "button 5 gives 0x0100, which no key gives";
    EXPECT_EQ(state.xOffset, 100 - 32767);
    EXPECT_EQ(state.yOffset, 65535 - 32767);
    EXPECT_EQ(state.zOffset, 0);
    EXPECT_EQ(state.rOffset, 40000 - 32767);
    EXPECT_EQ(state.rHalfRange, 32767u);
    headless::SetJoystickState({32767, 32767, 32767, 32767, 0xFFFF});
    EXPECT_EQ(PadPoll(nullptr), 0x0FF0u) << "only buttons 1 to 8 count";
}

TEST_F(Pad, NoStickPluggedInMeansKeyboardOnly) {
    PadDetectJoystick();  // the driver reports devices but none answers
    EXPECT_EQ(joystickCount, 1);
    headless::SetKey(VK_DOWN, true);
    PadState state;
    EXPECT_EQ(PadPoll(&state), static_cast<DWORD>(PAD_DOWN));
    EXPECT_EQ(state.yOffset, 1);
}

// A stick plugged in after start: the driver gave the standard range when
// asked at start, so the stick reads right at once; pulled out it moves
// nothing; plugged in again it works again.
TEST_F(Pad, AStickPluggedInAfterStartWorksAndOnePulledOutStopsMoving) {
    PadDetectJoystick();
    EXPECT_EQ(joystickCalibration.xCentre, 32767u);
    EXPECT_EQ(joystickCalibration.yHalfRange, 32767u);
    EXPECT_EQ(Frame(), 0u);

    const unsigned centre = 32767;
    headless::SetJoystick(true, Stick());
    headless::SetJoystickState({centre, centre, centre, centre, 0});
    EXPECT_EQ(Frame(), 0u) << "a centred stick holds nothing";
    headless::SetJoystickState({0, centre, centre, centre, 1u << 1});
    EXPECT_EQ(Frame(), static_cast<DWORD>(PAD_LEFT | PAD_BUTTON2));

    headless::SetJoystick(false, Stick());
    EXPECT_EQ(PadPoll(nullptr), 0u) << "unplugged, the last position is forgotten";
    headless::SetKey(VK_RIGHT, true);
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_RIGHT)) << "the keys still work";
    headless::SetKey(VK_RIGHT, false);

    headless::SetJoystick(true, Stick());
    headless::SetJoystickState({centre, 65535, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_DOWN));
    headless::SetJoystickState({centre, centre, centre, centre, 0});
    EXPECT_EQ(PadPoll(nullptr), 0u);
}

// Drivers that refuse the capabilities query while no stick is plugged in:
// the answer is not looked at, the stick still counts with every range
// zero, and the game starts and plays without a report.
TEST_F(Pad, ADriverThatRefusesItsCapabilitiesStillLetsTheGameStart) {
    platform::ArmFault({"joyGetDevCapsA", JOYERR_UNPLUGGED});
    EXPECT_TRUE(PadDetectJoystick());
    EXPECT_EQ(joystickCount, 1);
    EXPECT_EQ(joystickCalibration.xCentre, 0u);
    EXPECT_EQ(joystickCalibration.xHalfRange, 0u);
    EXPECT_EQ(joystickCalibration.rHalfRange, 0u);
    headless::SetKey(VK_LEFT, true);
    EXPECT_EQ(Frame() & PAD_LEFT, static_cast<DWORD>(PAD_LEFT)) << "the keys work";
    headless::SetKey(VK_LEFT, false);
    // A stick that answers later is read, against those zero ranges.
    headless::SetJoystick(true, Stick());
    headless::SetJoystickState({0, 0, 0, 0, 1u});
    EXPECT_EQ(PadPoll(nullptr), static_cast<DWORD>(PAD_BUTTON1));

    harness::ResetAll();
    platform::ArmFault({"joyGetDevCapsA", JOYERR_UNPLUGGED});
    harness::RunFrames("", 30);
    EXPECT_TRUE(headless::MessageBoxes().empty()) << "no report";
    EXPECT_EQ(harness::RunningFramesSeen(), 29);
}

TEST(JoystickDriver, AnswersForItsDevicesWithOrWithoutAStick) {
    harness::ResetAll();
    JOYCAPSA caps;
    std::memset(&caps, 0xAB, sizeof(caps));
    ASSERT_EQ(joyGetDevCapsA(JOYSTICKID1, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wXmin, 0u);
    EXPECT_EQ(caps.wXmax, 65535u);
    EXPECT_EQ(caps.wRmax, 65535u);
    EXPECT_EQ(caps.wNumAxes, 4u);
    JOYINFOEX info{};
    info.dwSize = sizeof(info);
    info.dwFlags = JOY_RETURNALL;
    EXPECT_EQ(joyGetPosEx(JOYSTICKID1, &info), static_cast<MMRESULT>(JOYERR_UNPLUGGED));

    host::JoystickCaps stick{};
    stick.xMax = stick.yMax = 1023;
    stick.zMax = stick.rMax = 255;
    stick.buttonCount = 12;
    std::strcpy(stick.name, "Test pad");
    headless::SetJoystick(true, stick);
    ASSERT_EQ(joyGetDevCapsA(JOYSTICKID1, &caps, sizeof(caps)), static_cast<MMRESULT>(JOYERR_NOERROR));
    EXPECT_EQ(caps.wXmax, 1023u) << "a stick that is there gives its own ranges";
    EXPECT_EQ(caps.wNumButtons, 12u);
    EXPECT_STREQ(caps.szPname, "Test pad");
    EXPECT_EQ(joyGetDevCapsA(2, &caps, sizeof(caps)), static_cast<MMRESULT>(MMSYSERR_NODRIVER));
}

}  // namespace

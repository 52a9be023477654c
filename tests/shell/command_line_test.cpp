// The four switches: each letter in either case right after its own slash.
#include <gtest/gtest.h>

#include "shell/shell.h"
#include "tests/support/game_harness.h"

namespace {

struct Switches {
    LONG emulationOnly, fullScreen, systemMemory, slowMotionPeriod;
};

Switches Scan(const char* line) {
    harness::ResetAll();
    ParseCommandLine(line);
    return {launchOptions.emulationOnly, launchOptions.fullScreen, launchOptions.systemMemory, shell.slowMotionPeriod};
}

TEST(CommandLine, EachSwitchInEitherCase) {
    EXPECT_EQ(Scan("/E").emulationOnly, 1);
    EXPECT_EQ(Scan("/e").emulationOnly, 1);
    EXPECT_EQ(Scan("/F").fullScreen, 1);
    EXPECT_EQ(Scan("/f").fullScreen, 1);
    EXPECT_EQ(Scan("/M").systemMemory, 1);
    EXPECT_EQ(Scan("/m").systemMemory, 1);
    EXPECT_EQ(Scan("/S").slowMotionPeriod, 128);
    EXPECT_EQ(Scan("/s").slowMotionPeriod, 128);
}

TEST(CommandLine, SwitchesNeedTheirOwnSlash) {
    Switches both = Scan("/F/E");
    EXPECT_EQ(both.fullScreen, 1);
    EXPECT_EQ(both.emulationOnly, 1);

    Switches joined = Scan("/FE");
    EXPECT_EQ(joined.fullScreen, 1);
    EXPECT_EQ(joined.emulationOnly, 0);

    Switches spaced = Scan("  /m   junk /s");
    EXPECT_EQ(spaced.systemMemory, 1);
    EXPECT_EQ(spaced.slowMotionPeriod, 128);
}

TEST(CommandLine, AnythingElseMeansNothing) {
    for (const char* line : {"-F", "F", "/", "/x/", "//", "", "/ F", "/?"}) {
        Switches s = Scan(line);
        EXPECT_EQ(s.emulationOnly + s.fullScreen + s.systemMemory + s.slowMotionPeriod, 0) << line;
    }
    // A slash followed by a slash: the second one still starts a switch.
    EXPECT_EQ(Scan("//F").fullScreen, 1);
}

TEST(CommandLine, ScanClearsWhatAnEarlierScanSet) {
    harness::ResetAll();
    ParseCommandLine("/E/F/M/S");
    launchOptions.displayReady = 1;
    ParseCommandLine("");
    EXPECT_EQ(launchOptions.emulationOnly, 0);
    EXPECT_EQ(launchOptions.fullScreen, 0);
    EXPECT_EQ(launchOptions.systemMemory, 0);
    EXPECT_EQ(shell.slowMotionPeriod, 0);
    EXPECT_EQ(launchOptions.displayReady, 1) << "the scan leaves the display's own flag alone";
}

}  // namespace

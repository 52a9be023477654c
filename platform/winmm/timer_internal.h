// The multimedia timer's resolution as programs ask for it: what tests read
// back of timeBeginPeriod and timeEndPeriod.
#pragma once

namespace platform::winmm {

// The finest period asked for by a timeBeginPeriod that no timeEndPeriod
// has ended yet; 0 when none is outstanding (the system's default timer).
unsigned FinestTimerPeriod();
void ResetTimerForTests();

}  // namespace platform::winmm

#pragma once

#include <stdint.h>

// The fake calendar clock and sleep that unit tests link instead of the real
// ones. Sleeping advances the clock by whole milliseconds, so a 120-second
// session runs in no time; a test may also set or shift the clock itself.
namespace fake_clock {

void Reset(int64_t seconds = 1'000'000);
void SetSeconds(int64_t seconds);
void AdvanceMs(int64_t milliseconds);
int64_t Seconds();
int64_t TotalSleptMs();

// Called on every sleep with its length, before the clock advances; lets a
// test act at a given moment (signal an event, move the clock).
using SleepHook = void (*)(unsigned long milliseconds);
void SetSleepHook(SleepHook hook);

// WaitMs really waits only up to this long (a thread of the test that is
// going to end does so well within it); when the handle is still not
// signalled, the wait hook runs, the clock moves on by the whole bound and
// the wait reports a time-out.
inline constexpr unsigned long kRealWaitMs = 500;
using WaitHook = void (*)(unsigned long milliseconds);
void SetWaitHook(WaitHook hook);

} // namespace fake_clock

#pragma once

#include <windows.h>

#include <stdint.h>

// The fake calendar clock, sleep and wait that unit tests link instead of the
// real ones. Sleeping advances the clock by whole milliseconds, so a
// 120-second session runs in no time; a test may also set or shift the clock
// itself.
namespace fake_clock {

// How long a wait may block for real before it fails the test: only a fault
// leaves a wait that nobody signals and no time-out scripted for it.
inline constexpr DWORD kWatchdogMs = 60000;

void Reset(int64_t seconds = 1'000'000);
void SetSeconds(int64_t seconds);
void AdvanceMs(int64_t milliseconds);
int64_t Seconds();
int64_t TotalSleptMs();

// Called on every sleep with its length, before the clock advances; lets a
// test act at a given moment (signal an event, move the clock).
using SleepHook = void (*)(unsigned long milliseconds);
void SetSleepHook(SleepHook hook);

// A wait blocks on its handle until it is signalled. Only a time-out the
// test scripted for that handle makes the wait look once instead: when the
// handle is not signalled, the wait hook runs, the clock moves on by the
// whole wait and the wait reports WAIT_TIMEOUT. Scripts last until Reset.
inline constexpr int kEveryWait = -1;
void TimeOutWaitsOn(HANDLE handle, int count = 1);
using WaitHook = void (*)(unsigned long milliseconds);
void SetWaitHook(WaitHook hook);

} // namespace fake_clock

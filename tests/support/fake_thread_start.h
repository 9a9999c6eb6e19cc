#pragma once

// The thread start that service unit tests link instead of the real one. A
// thread not created suspended runs its first pass (up to its first pause or
// wait through the fake clock, or its end) before its creator goes on, so
// that code which needs the new thread's handle stored before it runs fails
// every time; a thread that blocks elsewhere first gets kHeadStartMs.
namespace fake_thread_start {

inline constexpr unsigned long kHeadStartMs = 200;

void Reset();
// The next count thread starts fail with ERROR_NOT_ENOUGH_MEMORY.
void RefuseNext(int count);

// Called by the fake clock on every pause and wait: ends a head start.
void NotePause();

} // namespace fake_thread_start

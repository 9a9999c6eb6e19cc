#include "fake_clock.h"

#include <atomic>

#include "clock.h"
#include "fake_thread_start.h"

namespace {
std::atomic<int64_t> g_nowMs{1'000'000'000};
std::atomic<int64_t> g_sleptMs{0};
std::atomic<fake_clock::SleepHook> g_hook{nullptr};
std::atomic<fake_clock::WaitHook> g_waitHook{nullptr};
std::atomic<unsigned long> g_realWaitMs{fake_clock::kRealWaitMs};
} // namespace

namespace fake_clock {

void Reset(int64_t seconds)
{
    g_nowMs = seconds * 1000;
    g_sleptMs = 0;
    g_hook = nullptr;
    g_waitHook = nullptr;
    g_realWaitMs = kRealWaitMs;
    fake_thread_start::Reset();
}

void SetSeconds(int64_t seconds)
{
    g_nowMs = seconds * 1000;
}

void AdvanceMs(int64_t milliseconds)
{
    g_nowMs += milliseconds;
}

int64_t Seconds()
{
    return CalendarSeconds();
}

int64_t TotalSleptMs()
{
    return g_sleptMs;
}

void SetSleepHook(SleepHook hook)
{
    g_hook = hook;
}

void SetWaitHook(WaitHook hook)
{
    g_waitHook = hook;
}

void SetRealWaitMs(unsigned long milliseconds)
{
    g_realWaitMs = milliseconds;
}

} // namespace fake_clock

__int64 CalendarSeconds()
{
    int64_t ms = g_nowMs;
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

void SleepMs(DWORD milliseconds)
{
    fake_thread_start::NotePause();
    if (fake_clock::SleepHook hook = g_hook)
        hook(milliseconds);
    g_sleptMs += milliseconds;
    g_nowMs += milliseconds;
}

DWORD WaitMs(HANDLE handle, DWORD milliseconds)
{
    fake_thread_start::NotePause();
    DWORD bound = g_realWaitMs;
    DWORD real = milliseconds < bound ? milliseconds : bound;
    DWORD result = WaitForSingleObject(handle, real);
    if (result != WAIT_TIMEOUT)
        return result;
    if (fake_clock::WaitHook hook = g_waitHook)
        hook(milliseconds);
    g_nowMs += milliseconds;
    return WAIT_TIMEOUT;
}

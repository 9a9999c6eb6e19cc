#include "fake_clock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>

#include "clock.h"
#include "fake_thread_start.h"

namespace {
std::atomic<int64_t> g_nowMs{1'000'000'000};
std::atomic<int64_t> g_sleptMs{0};
std::atomic<fake_clock::SleepHook> g_hook{nullptr};
std::atomic<fake_clock::WaitHook> g_waitHook{nullptr};
std::mutex g_scriptLock;
std::map<HANDLE, int> g_timeOuts; // handle -> scripted time-outs left, or kEveryWait

// Takes one scripted time-out for the handle, if any is left.
bool TakeTimeOut(HANDLE handle)
{
    std::lock_guard<std::mutex> hold(g_scriptLock);
    auto found = g_timeOuts.find(handle);
    if (found == g_timeOuts.end() || found->second == 0)
        return false;
    if (found->second != fake_clock::kEveryWait)
        --found->second;
    return true;
}
} // namespace

namespace fake_clock {

void Reset(int64_t seconds)
{
    g_nowMs = seconds * 1000;
    g_sleptMs = 0;
    g_hook = nullptr;
    g_waitHook = nullptr;
    {
        std::lock_guard<std::mutex> hold(g_scriptLock);
        g_timeOuts.clear();
    }
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

void TimeOutWaitsOn(HANDLE handle, int count)
{
    std::lock_guard<std::mutex> hold(g_scriptLock);
    g_timeOuts[handle] = count;
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
    bool scripted = TakeTimeOut(handle);
    DWORD result = WaitForSingleObject(handle, scripted ? 0 : fake_clock::kWatchdogMs);
    if (result != WAIT_TIMEOUT)
        return result;
    if (!scripted) {
        ADD_FAILURE() << "a wait of " << milliseconds << " ms was not signalled within " << fake_clock::kWatchdogMs
                      << " ms, and no time-out was scripted for it";
    } else if (fake_clock::WaitHook hook = g_waitHook) {
        hook(milliseconds);
    }
    g_nowMs += milliseconds;
    return WAIT_TIMEOUT;
}

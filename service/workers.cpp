#include "service_work.h"

#include "button_monitor.h"
#include "clock.h"
#include "indicator.h"
#include "service_state.h"
#include "thread_start.h"

namespace {

// How long the stop lets each thread end by itself before it forces the end.
constexpr DWORD kIndicatorStopMs = 2000;
constexpr DWORD kMonitorStopMs = 1500;
// How much longer a tool start under way may take before the indicator
// thread is cut off wherever it stands.
constexpr DWORD kToolStartGraceMs = 1000;
// How long a forced end may take to take effect.
constexpr DWORD kForcedEndWaitMs = 1000;
constexpr DWORD kSuspendRetryMs = 20;
// Lets the monitor see MonitorStop before the stop goes on.
constexpr DWORD kMonitorStopYieldMs = 1;

} // namespace

bool EndThread(HANDLE thread, DWORD waitMs, const ForcedEndGrace* grace)
{
    if (WaitMs(thread, waitMs) != WAIT_TIMEOUT)
        return false;
    if (grace)
        SuspendOutside(thread, grace->busy, grace->graceMs);
    TerminateThread(thread, 0);
    // The end is asynchronous: what the thread uses is closed or reused next.
    WaitMs(thread, kForcedEndWaitMs);
    return true;
}

void CreateWorkers()
{
    for (UniqueHandle& event : g_service.IndicatorEvents)
        event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    g_service.IndicatorThread.reset(StartThread(IndicatorLoop, nullptr));
    if (g_service.IndicatorThread)
        SetThreadPriority(g_service.IndicatorThread.get(), THREAD_PRIORITY_HIGHEST);

    g_service.MonitorWake.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    // A thread still starting up holds the loader lock, which the session
    // thread needs to start: the monitor counts as reading until it runs.
    g_service.MonitorReading.store(true);
    // Held until its handle is stored, which its first pass may need.
    g_service.MonitorThread.reset(StartThread(ButtonMonitor, nullptr, CREATE_SUSPENDED));
    if (g_service.MonitorThread)
        ResumeThread(g_service.MonitorThread.get());
    else
        g_service.MonitorReading.store(false);
}

bool SuspendOutside(HANDLE thread, const Relaxed<bool>& busy, DWORD limitMs)
{
    for (DWORD waited = 0;; waited += kSuspendRetryMs) {
        SuspendThread(thread);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(thread, &context); // returns once the thread is really held
        if (!busy.load())
            return true;
        if (waited >= limitMs)
            return false;
        ResumeThread(thread);
        SleepMs(kSuspendRetryMs);
    }
}

void DestroyWorkers()
{
    g_service.MonitorStop.store(true);
    SetEvent(g_service.MonitorWake.get());
    // Left as it is on purpose: a real yield, so that a monitor between two
    // calls can see the flag, and not a wait, as the monitor is ended below.
    Sleep(kMonitorStopYieldMs);

    // The indicator events themselves stay open for the service loop, which
    // closes them when it ends.
    if (g_service.IndicatorThread) {
        SignalIndicator(IndicatorStop);
        // A thread cut off inside process creation can leave the loader or
        // heap lock taken, and the rest of the stop would hang on it.
        const ForcedEndGrace toolStart{g_service.ToolStarting, kToolStartGraceMs};
        EndThread(g_service.IndicatorThread.get(), kIndicatorStopMs, &toolStart);
        g_service.IndicatorThread.reset();
    }

    EndThread(g_service.MonitorThread.get(), kMonitorStopMs);
    g_service.MonitorThread.reset();
    g_service.MonitorWake.reset();
}

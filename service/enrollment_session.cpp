#include "enrollment_session.h"

#include <string.h>

#include "clock.h"
#include "contract.h"
#include "profile_writer.h"
#include "service_state.h"
#include "wps_api.h"

namespace {

constexpr int64_t kSessionSeconds = 120;
constexpr DWORD kCancelWaitMs = 5000;
constexpr DWORD kTerminateWaitMs = 1000;

// What one session thread keeps to itself.
struct SessionLocals {
    int64_t now = 0;
    DWORD result = EnrollmentFailed;
    IndicatorEvent indicator = IndicatorFailure;
    int32_t apCount = 0;
    bool found = false;
    unsigned char bssid[6] = {};
    char ssid[33] = {};
    unsigned char joinValue = 1;
    uint32_t apExtra = 0;
    bool done = false;
};

// A negative difference (the clock was set back) counts as within the time.
bool WithinSessionTime(int64_t now)
{
    return now - g_service.SessionStart.load(std::memory_order_relaxed) <= kSessionSeconds;
}

void FinishSession(SessionLocals& session)
{
    if (session.result != EnrollmentSucceeded && Relaxed(g_service.AbortRequested) && WithinSessionTime(session.now))
        session.indicator = IndicatorCancelled;
    SignalIndicator(session.indicator);
    if (Relaxed(g_service.LibraryOpen)) {
        wps_close();
        SetRelaxed(g_service.LibraryOpen, false);
    }
    WriteExitCode(session.result);
    SetEvent(g_service.DoneEvent.get());
    ResetEvent(g_service.ButtonEvent.get());
    ResumeThread(g_service.MonitorThread.get());
    SetRelaxed(g_service.SessionRunning, false);
}

bool MaySearch(const SessionLocals& session)
{
    return !Relaxed(g_service.AbortRequested) && Relaxed(g_service.KeepSearching) && !session.done &&
           WithinSessionTime(session.now);
}

bool MayGoOn(const SessionLocals& session)
{
    return !Relaxed(g_service.AbortRequested) && session.done && WithinSessionTime(session.now);
}

} // namespace

DWORD WINAPI RunEnrollmentSession(void*)
{
    SessionLocals session;
    session.now = CalendarSeconds();
    g_service.SessionStart.store(session.now, std::memory_order_relaxed);

    SignalIndicator(IndicatorBusy);

    SetRelaxed(g_service.LibraryOpen, wps_open(0, WpsStatusCallback) != 0);
    if (!Relaxed(g_service.LibraryOpen)) {
        FinishSession(session);
        return session.result;
    }

    strcpy(session.ssid, "no AP found");
    memset(&g_service.Credential, 0, sizeof(g_service.Credential));

    while (MaySearch(session)) {
        session.found = wps_findAP(&session.apCount, 0, 120) != 0;
        if (session.found && session.apCount > 1) {
            session.result = EnrollmentOverlap;
            session.indicator = IndicatorOverlap;
            FinishSession(session);
            return session.result;
        }
        if (session.found &&
            wps_getAP(0, session.bssid, session.ssid, &session.joinValue, &session.apExtra))
            session.done = wps_join(session.bssid, session.ssid, session.joinValue) != 0;
        session.now = CalendarSeconds();
    }

    if (MayGoOn(session)) {
        session.done = wps_get_AP_info(0, session.bssid, session.ssid, 0, &g_service.Credential) != 0;
        session.now = CalendarSeconds();
    }

    if (MayGoOn(session)) {
        BuildProfileRecord();
        WriteProfileFile();
        session.result = EnrollmentSucceeded;
        session.indicator = IndicatorSuccess;
    } else if (g_service.LastStatus.load(std::memory_order_relaxed) == kWpsStatusOverlap) {
        session.result = EnrollmentOverlap;
        session.indicator = IndicatorOverlap;
    }

    FinishSession(session);
    return session.result;
}

unsigned char WpsStatusCallback(void*, uint32_t status, void*)
{
    if (CalendarSeconds() - g_service.SessionStart.load(std::memory_order_relaxed) > kSessionSeconds) {
        g_service.LastStatus.store(kWpsStatusTimeUp, std::memory_order_relaxed);
        SetRelaxed(g_service.KeepSearching, false);
        return 0;
    }
    if (Relaxed(g_service.AbortRequested)) {
        g_service.LastStatus.store(0, std::memory_order_relaxed);
        return 0;
    }
    g_service.LastStatus.store(status, std::memory_order_relaxed);
    return Relaxed(g_service.KeepSearching) ? 1 : 0;
}

bool CancelSession()
{
    if (!Relaxed(g_service.SessionRunning))
        return false;

    SetRelaxed(g_service.AbortRequested, true);
    bool terminated = false;
    HANDLE thread = g_service.SessionThread.get();
    if (WaitMs(thread, kCancelWaitMs) == WAIT_TIMEOUT) {
        TerminateThread(thread, 0);
        // Termination is asynchronous: the library must not be closed under
        // a thread that is still inside it.
        WaitMs(thread, kTerminateWaitMs);
        // A session that got to its own end after the wait ran out has
        // published its outcome already; a second one would overwrite it.
        if (Relaxed(g_service.SessionRunning)) {
            SetRelaxed(g_service.SessionRunning, false);
            if (Relaxed(g_service.LibraryOpen)) {
                wps_close();
                SetRelaxed(g_service.LibraryOpen, false);
            }
            SignalIndicator(IndicatorFailure);
            WriteExitCode(EnrollmentFailed);
            SetEvent(g_service.DoneEvent.get());
            terminated = true;
        }
    }

    g_service.SessionThread.reset();
    ResetEvent(g_service.ButtonEvent.get());
    ResumeThread(g_service.MonitorThread.get());
    SetRelaxed(g_service.AbortRequested, false);
    return terminated;
}

void PublishUnstartedSession()
{
    SetRelaxed(g_service.SessionRunning, false);
    SignalIndicator(IndicatorFailure);
    WriteExitCode(EnrollmentFailed);
    SetEvent(g_service.DoneEvent.get());
    ResetEvent(g_service.ButtonEvent.get());
    ResumeThread(g_service.MonitorThread.get());
}

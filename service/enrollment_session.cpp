#include "enrollment_session.h"

#include <string.h>

#include "clock.h"
#include "contract.h"
#include "parameters_key.h"
#include "profile_writer.h"
#include "service_state.h"
#include "service_work.h"
#include "wps_api.h"

namespace {

constexpr int64_t kSessionSeconds = 120;
// The library's own bound for one search, passed as it expects it; the
// session's limit is kSessionSeconds whatever the library does with it.
constexpr int32_t kFindApBound = 120;
constexpr DWORD kCancelWaitMs = 5000;

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
    return now - g_service.SessionStart.load() <= kSessionSeconds;
}

// The steps of publishing a session's end, in order.
enum SessionEndStep {
    EndUser,
    EndIndicator,
    EndLibrary,
    EndExitCode,
    EndDone,
    EndButton,
    EndMonitor,
    EndIdle,
    SessionEndStepCount,
};

// A claimed outcome in one word: the claim, then the result and the
// indicator event a byte each.
constexpr uint32_t kOutcomeClaimed = 0x10000;
constexpr int kOutcomeResultShift = 8;
constexpr uint32_t kOutcomeByte = 0xFF;

void FinishSession(SessionLocals& session)
{
    if (session.result != EnrollmentSucceeded && g_service.AbortRequested.load() && WithinSessionTime(session.now))
        session.indicator = IndicatorCancelled;
    PublishSessionEnd(session.result, session.indicator);
}

bool MaySearch(const SessionLocals& session)
{
    return !g_service.AbortRequested.load() && g_service.KeepSearching.load() && !session.done &&
           WithinSessionTime(session.now);
}

bool MayGoOn(const SessionLocals& session)
{
    return !g_service.AbortRequested.load() && session.done && WithinSessionTime(session.now);
}

} // namespace

DWORD WINAPI RunEnrollmentSession(void*)
{
    SessionLocals session;
    session.now = CalendarSeconds();
    g_service.SessionStart.store(session.now);

    SignalIndicator(IndicatorBusy);

    g_service.LibraryOpen.store(wps_open(0, WpsStatusCallback) != 0);
    if (!g_service.LibraryOpen.load()) {
        FinishSession(session);
        return session.result;
    }

    strcpy(session.ssid, "no AP found");
    memset(&g_service.Credential, 0, sizeof(g_service.Credential));

    while (MaySearch(session)) {
        session.found = wps_findAP(&session.apCount, 0, kFindApBound) != 0;
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
        // The agent can apply only a profile that was handed over.
        if (WriteProfileFile() == 0) {
            session.result = EnrollmentSucceeded;
            session.indicator = IndicatorSuccess;
        }
    } else if (g_service.LastStatus.load() == kWpsStatusOverlap) {
        session.result = EnrollmentOverlap;
        session.indicator = IndicatorOverlap;
    }

    FinishSession(session);
    return session.result;
}

unsigned char WPSAPI WpsStatusCallback(void*, uint32_t status, void*)
{
    if (CalendarSeconds() - g_service.SessionStart.load() > kSessionSeconds) {
        g_service.LastStatus.store(kWpsStatusTimeUp);
        g_service.KeepSearching.store(false);
        return 0;
    }
    if (g_service.AbortRequested.load()) {
        g_service.LastStatus.store(0);
        return 0;
    }
    g_service.LastStatus.store(status);
    return g_service.KeepSearching.load() ? 1 : 0;
}

void (*g_afterSessionIdle)() = nullptr;

void ResetSessionEnd()
{
    g_service.SessionOutcome.store(0, std::memory_order_relaxed);
    g_service.SessionEndSteps.store(0, std::memory_order_relaxed);
}

bool PublishSessionEnd(DWORD result, IndicatorEvent indicator)
{
    uint32_t unclaimed = 0;
    uint32_t mine = kOutcomeClaimed | result << kOutcomeResultShift | static_cast<uint32_t>(indicator);
    bool claimed = g_service.SessionOutcome.compare_exchange_strong(unclaimed, mine, std::memory_order_relaxed);
    uint32_t outcome = g_service.SessionOutcome.load(std::memory_order_relaxed);
    // Each step is claimed before it is taken: a thread cut off in the middle
    // (say inside wps_close) is finished by the one that cut it off, and no
    // step is ever taken twice.
    for (;;) {
        int step = g_service.SessionEndSteps.fetch_add(1, std::memory_order_relaxed);
        if (step >= SessionEndStepCount)
            break;
        switch (step) {
        case EndUser:
            // Not kept for the next request, maybe days later and past a logoff.
            g_service.HandOff.token.reset();
            break;
        case EndIndicator:
            SignalIndicator(static_cast<IndicatorEvent>(outcome & kOutcomeByte));
            break;
        case EndLibrary:
            if (g_service.LibraryOpen.exchange(false))
                wps_close();
            break;
        case EndExitCode:
            WriteExitCode((outcome >> kOutcomeResultShift) & kOutcomeByte);
            break;
        case EndDone:
            SetEvent(g_service.DoneEvent.get());
            break;
        case EndButton:
            ResetEvent(g_service.ButtonEvent.get());
            break;
        case EndMonitor:
            ResumeThread(g_service.MonitorThread.get());
            break;
        case EndIdle:
            // Last, and nothing of this session's end is touched after it:
            // a start accepted from here on resets the steps for its own end.
            g_service.SessionRunning.store(false);
            if (g_afterSessionIdle)
                g_afterSessionIdle();
            return claimed;
        }
    }
    return claimed;
}

bool CancelSession()
{
    if (!g_service.SessionRunning.load())
        return false;

    g_service.AbortRequested.store(true);
    bool terminated = false;
    // The forced end is awaited: the library must not be closed under a
    // thread that is still inside it.
    if (EndThread(g_service.SessionThread.get(), kCancelWaitMs)) {
        // A session that got to its own end keeps its outcome; whatever of
        // it the thread had not yet published is published here.
        terminated = PublishSessionEnd(EnrollmentFailed, IndicatorFailure);
    }

    g_service.SessionThread.reset();
    ResetEvent(g_service.ButtonEvent.get());
    ResumeThread(g_service.MonitorThread.get());
    g_service.AbortRequested.store(false);
    return terminated;
}

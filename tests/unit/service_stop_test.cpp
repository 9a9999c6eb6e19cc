// The service's start and stop around its threads: the forced end of the
// indicator thread (never inside process creation for the LED tool, whose
// locks the rest of the stop needs), controls that come while the service
// work is still starting, and the service loop against the stop.
#include <gtest/gtest.h>

#include <atomic>

#include "case_name.h"
#include "contract.h"
#include "fake_console_user.h"
#include "fake_tool_process.h"
#include "service_shell.h"
#include "service_shell_internal.h"
#include "service_state_fixture.h"
#include "service_work.h"

namespace {

struct ToolStart {
    UniqueHandle release{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<bool> finishedStart{false};
};
ToolStart* g_start;

// Stands for the indicator thread caught in CreateProcessW by the stop; it
// leaves the start only when the test releases it, then waits on the tool.
DWORD WINAPI StartingTool(void*)
{
    g_service.ToolStarting.store(true);
    WaitForSingleObject(g_start->release.get(), INFINITE);
    g_service.ToolStarting.store(false);
    g_start->finishedStart = true;
    Sleep(INFINITE);
    return 0;
}

class IndicatorForcedEndTest : public ServiceStateTest {
protected:
    void SetUp() override
    {
        ServiceStateTest::SetUp();
        g_start = &start_;
        g_service.IndicatorThread.reset(CreateThread(nullptr, 0, StartingTool, nullptr, 0, nullptr));
        ASSERT_TRUE(g_service.IndicatorThread);
        // The stop's wait for the thread to end by itself runs out.
        fake_clock::TimeOutWaitsOn(g_service.IndicatorThread.get());
        while (!g_service.ToolStarting.load())
            Sleep(1);
        thread_.reset(CopyOf(g_service.IndicatorThread));
    }
    void TearDown() override
    {
        SetEvent(start_.release.get());
        TerminateThread(thread_.get(), 0);
        ServiceStateTest::TearDown();
    }

    ToolStart start_;
    UniqueHandle thread_;
};

int g_sleeps;
void ReleaseOnThirdPause(unsigned long)
{
    if (++g_sleeps == 3) {
        SetEvent(g_start->release.get());
        while (!g_start->finishedStart)
            Sleep(1);
    }
}

TEST_F(IndicatorForcedEndTest, WaitsForAToolStartToFinishBeforeTheForcedEnd)
{
    g_sleeps = 0;
    fake_clock::SetSleepHook(ReleaseOnThirdPause);
    DestroyWorkers();
    EXPECT_TRUE(start_.finishedStart);
    EXPECT_EQ(WaitForSingleObject(thread_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(g_service.IndicatorThread);
}

TEST_F(IndicatorForcedEndTest, EndsAThreadStuckInAToolStartAfterASecondMore)
{
    DestroyWorkers();
    EXPECT_FALSE(start_.finishedStart);
    EXPECT_EQ(fake_clock::TotalSleptMs(), 50 * 20);
    EXPECT_EQ(WaitForSingleObject(thread_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_FALSE(g_service.IndicatorThread);
}

Relaxed<bool> g_busy{false};
std::atomic<bool> g_quit{false};
std::atomic<long> g_progress{0};
int g_pausesUntilFree;
int g_pauses;

DWORD WINAPI Spinning(void*)
{
    while (!g_quit)
        ++g_progress;
    return 0;
}

void FreeAfterSomePauses(unsigned long)
{
    if (++g_pauses == g_pausesUntilFree)
        g_busy.store(false);
}

struct SuspendCase {
    const char* name;
    bool busy;
    int pausesUntilFree; // 0: stays busy
    DWORD limitMs;
    bool heldOutside;
    int pauses;
};

class SuspendOutsideTest : public ::testing::TestWithParam<SuspendCase> {};

TEST_P(SuspendOutsideTest, HoldsTheThreadOutsideItsBusyStretchWithinTheLimit)
{
    const SuspendCase& c = GetParam();
    fake_clock::Reset();
    g_busy.store(c.busy);
    g_pauses = 0;
    g_pausesUntilFree = c.pausesUntilFree;
    fake_clock::SetSleepHook(FreeAfterSomePauses);
    g_quit = false;
    g_progress = 0;
    UniqueHandle thread(CreateThread(nullptr, 0, Spinning, nullptr, 0, nullptr));
    ASSERT_TRUE(thread);
    // Held while still starting up, the thread would keep the loader lock
    // and the test process could never exit: hold it only once it spins.
    while (g_progress == 0)
        Sleep(1);

    EXPECT_EQ(SuspendOutside(thread.get(), g_busy, c.limitMs), c.heldOutside) << c.name;
    EXPECT_EQ(g_pauses, c.pauses) << c.name;
    long before = g_progress;
    Sleep(50);
    EXPECT_EQ(g_progress, before) << c.name << ": the thread is held either way";

    g_quit = true;
    ResumeThread(thread.get());
    EXPECT_EQ(WaitForSingleObject(thread.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
    fake_clock::Reset();
}

INSTANTIATE_TEST_SUITE_P(Cases, SuspendOutsideTest,
                         ::testing::Values(SuspendCase{"idle", false, 0, 300, true, 0},
                                           SuspendCase{"busy a while", true, 3, 300, true, 3},
                                           SuspendCase{"busy until the limit", true, 15, 300, true, 15},
                                           SuspendCase{"busy for good", true, 0, 300, false, 15}));

using ServiceStartTest = ServiceStateTest;

// Before the service work has started, 128 and 129 find no threads or events
// to act on, and are ignored: no lookup, no library call, no thread.
struct EarlyControlCase {
    const char* name;
    DWORD control;
    bool sessionRunning;
};

class EarlyControlTest : public ServiceStartTest, public ::testing::WithParamInterface<EarlyControlCase> {};

TEST_P(EarlyControlTest, IsIgnoredUntilTheServiceWorkHasStarted)
{
    const EarlyControlCase& c = GetParam();
    g_service.SessionRunning.store(c.sessionRunning);
    SetEvent(g_service.ButtonEvent.get());
    ServiceControlHandler(c.control);
    EXPECT_FALSE(g_service.SessionThread);
    EXPECT_EQ(g_service.SessionRunning.load(), c.sessionRunning);
    EXPECT_TRUE(Signalled(g_service.ButtonEvent));
    EXPECT_EQ(TakeIndicators(), 0u);
    EXPECT_EQ(fake_console_user::Lookups(), 0);
}

INSTANTIATE_TEST_SUITE_P(Controls, EarlyControlTest,
                         ::testing::Values(EarlyControlCase{"Start", StartEnrollment, false},
                                           EarlyControlCase{"Cancel", CancelEnrollment, true}), CaseName());

// A stop lets a start under way finish first, for at most 2000 ms; a start
// that fails reports the stop, with its error, itself, and the stop then
// reports nothing after it.
struct StopDuringStartCase {
    const char* name;
    int startedAfterPolls; // -1: never
    int64_t sleptMs;
    DWORD startError = NO_ERROR;
    DWORD finalState = SERVICE_STOP_PENDING;
};

int g_polls;
int g_startedAfterPolls;
DWORD g_startError;
UniqueHandle g_squatter;

class StopDuringStartTest : public ServiceStartTest, public ::testing::WithParamInterface<StopDuringStartCase> {};

TEST_P(StopDuringStartTest, WaitsForTheStartToFinish)
{
    const StopDuringStartCase& c = GetParam();
    g_polls = 0;
    g_startedAfterPolls = c.startedAfterPolls;
    g_startError = c.startError;
    g_service.WorkStarted.store(c.startedAfterPolls == 0);
    g_service.ServiceRunning.store(true);
    // ServiceMain's start, on its own thread, ends during the stop's wait.
    fake_clock::SetSleepHook([](unsigned long) {
        if (++g_polls != g_startedAfterPolls)
            return;
        if (g_startError == NO_ERROR) {
            g_service.WorkStarted.store(true);
            return;
        }
        // A mutex holds the button event's name: the event cannot be created.
        g_squatter.reset(CreateMutexW(nullptr, FALSE, kButtonEventName));
        g_service.ButtonEvent.reset();
        g_service.DoneEvent.reset();
        EXPECT_FALSE(StartOrReportStopped());
    });
    ServiceControlHandler(SERVICE_CONTROL_STOP);
    g_squatter.reset();
    EXPECT_EQ(fake_clock::TotalSleptMs(), c.sleptMs);
    EXPECT_EQ(g_service.Status.dwCurrentState, c.finalState);
    EXPECT_EQ(g_service.Status.dwWin32ExitCode, c.startError);
    EXPECT_FALSE(g_service.ServiceRunning.load());
    EXPECT_FALSE(g_service.WorkStarted.load()) << "a control after the stop finds no service work";
    EXPECT_FALSE(g_service.DoneEvent);
}

INSTANTIATE_TEST_SUITE_P(Starts, StopDuringStartTest,
                         ::testing::Values(StopDuringStartCase{"AlreadyStarted", 0, 0},
                                           StopDuringStartCase{"StartedDuringTheWait", 10, 200},
                                           StopDuringStartCase{"NeverStarted", -1, 2000},
                                           StopDuringStartCase{"StartFailedDuringTheWait", 10, 200,
                                                               ERROR_INVALID_HANDLE, SERVICE_STOPPED}),
                         CaseName());

std::atomic<int> g_handleSeenByFirstPass{-1};

TEST_F(ServiceStartTest, TheButtonMonitorsFirstPassFindsItsHandleStored)
{
    fake_tool::Reset();
    g_handleSeenByFirstPass = -1;
    fake_wps::Play({.buttonSupported = false, .onGpioOpen = [] {
                        if (g_handleSeenByFirstPass < 0)
                            g_handleSeenByFirstPass = g_service.MonitorThread ? 1 : 0;
                        g_service.MonitorStop.store(true);
                        SetEvent(g_service.MonitorWake.get());
                    }});
    for (UniqueHandle& event : g_service.IndicatorEvents)
        event.reset();
    CreateWorkers();
    ASSERT_EQ(WaitForSingleObject(g_service.MonitorThread.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(g_handleSeenByFirstPass, 1);
    DestroyWorkers();
}

// The stop arrives as the service loop's wait for it times out; the pass
// that follows still sees a link change and signals it. The event must be
// open then, the loop closes the indicator events itself when it ends, and
// nothing has told the SCM the service stopped while the loop still ran.
int g_loopWaits;

// The loop paces itself by its wait on the stop signal; a pause would ignore it.
void FailOnPause(unsigned long)
{
    ADD_FAILURE() << "the service loop paused instead of waiting on the stop signal";
    g_service.ServiceRunning.store(false);
}

DWORD WINAPI EndOnStop(void*)
{
    WaitForSingleObject(g_service.IndicatorEvents[IndicatorStop].get(), kWatchdogMs);
    return 0;
}

TEST_F(ServiceStartTest, TheIndicatorEventsOutliveTheLoopThatSignalsThem)
{
    UniqueHandle linkChanged(CopyOf(g_service.IndicatorEvents[IndicatorLinkChanged]));
    g_service.IndicatorThread.reset(CreateThread(nullptr, 0, EndOnStop, nullptr, 0, nullptr));
    g_service.WorkStarted.store(true);
    g_service.ServiceRunning.store(true);
    g_service.LinkConnected.store(true); // no adapter here: the next poll reads a change
    g_loopWaits = 0;
    fake_clock::SetSleepHook(FailOnPause);
    fake_clock::TimeOutWaitsOn(g_service.StopEvent.get());
    fake_clock::SetWaitHook([](unsigned long) {
        if (++g_loopWaits == 1)
            ServiceControlHandler(SERVICE_CONTROL_STOP);
    });

    RunServiceLoop();
    EXPECT_EQ(g_service.Status.dwCurrentState, static_cast<DWORD>(SERVICE_STOP_PENDING)) << "stopped only after the loop";
    EXPECT_EQ(g_loopWaits, 1);
    EXPECT_TRUE(Signalled(linkChanged)) << "the loop's signal reached an open event";
    for (const UniqueHandle& event : g_service.IndicatorEvents)
        EXPECT_FALSE(event);
}

// The loop waits on the stop signal, not out its poll time: a stop from
// another thread ends the wait at once, with no timed-out wait and no pause.
DWORD WINAPI StopService(void*)
{
    ServiceControlHandler(SERVICE_CONTROL_STOP);
    return 0;
}

TEST_F(ServiceStartTest, TheLoopEndsOnTheStopSignalWithoutWaitingOutItsPoll)
{
    g_service.IndicatorThread.reset(CreateThread(nullptr, 0, EndOnStop, nullptr, 0, nullptr));
    g_service.WorkStarted.store(true);
    g_service.ServiceRunning.store(true);
    // No time-out is scripted: a loop that waited out its poll would fail.
    fake_clock::SetSleepHook(FailOnPause);
    UniqueHandle stopper(CreateThread(nullptr, 0, StopService, nullptr, 0, nullptr));

    RunServiceLoop();
    EXPECT_EQ(WaitForSingleObject(stopper.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
}

} // namespace

// The LED patterns through the fake clock and a fake tool that records each run.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "case_name.h"
#include "documented_contract.h"
#include "fake_clock.h"
#include "fake_tool_process.h"
#include "indicator.h"
#include "service_state_fixture.h"

namespace {

using namespace documented;

// Actions at a given sleep or after a given tool run, counted from 1.
struct Trigger {
    bool atSleep;
    size_t number;
    std::function<void()> action;
};
std::vector<Trigger> g_triggers;
std::vector<unsigned long> g_sleeps;

void Fire(bool atSleep, size_t number)
{
    for (const Trigger& trigger : g_triggers)
        if (trigger.atSleep == atSleep && trigger.number == number)
            trigger.action();
}

void OnSleep(unsigned long milliseconds)
{
    g_sleeps.push_back(milliseconds);
    Fire(true, g_sleeps.size());
}

void AtSleep(size_t number, std::function<void()> action)
{
    g_triggers.push_back({true, number, std::move(action)});
}

void AfterRun(size_t number, std::function<void()> action)
{
    g_triggers.push_back({false, number, std::move(action)});
}

std::function<void()> Signal(IndicatorEvent event)
{
    return [event] { SignalIndicator(event); };
}

void ConnectAndSignal()
{
    g_service.LinkConnected.store(true);
    SignalIndicator(IndicatorLinkChanged);
}

using ::operator<<;

size_t SleepsOf(unsigned long milliseconds)
{
    return std::count(g_sleeps.begin(), g_sleeps.end(), milliseconds);
}

class IndicatorTest : public ServiceStateTest {
protected:
    void SetUp() override
    {
        ServiceStateTest::SetUp();
        fake_tool::Reset();
        g_triggers.clear();
        g_sleeps.clear();
        fake_clock::SetSleepHook(OnSleep);
        fake_tool::SetRunHook([](size_t run) { Fire(false, run); });
    }

    // Runs the loop on its own thread, so that a test that never stops it
    // fails instead of hanging.
    void RunLoop()
    {
        UniqueHandle thread(CreateThread(nullptr, 0, IndicatorLoop, nullptr, 0, nullptr));
        ASSERT_TRUE(thread);
        if (WaitForSingleObject(thread.get(), 20000) != WAIT_OBJECT_0) {
            TerminateThread(thread.get(), 1);
            FAIL() << "the indicator loop did not end";
        }
        DWORD exitCode = 1;
        GetExitCodeThread(thread.get(), &exitCode);
        EXPECT_EQ(exitCode, 0u);
    }

    // The loop shows these commands and is then told to stop.
    void ExpectShownThenExit(const Commands& shown)
    {
        AfterRun(shown.size(), Signal(IndicatorStop));
        RunLoop();
        EXPECT_EQ(fake_tool::Arguments(), Join({shown, kExit}));
    }
};

TEST_F(IndicatorTest, StartsWithItsSequenceAndEndsWithTheExitSequence)
{
    SignalIndicator(IndicatorStop);
    RunLoop();
    EXPECT_EQ(fake_tool::Arguments(), Join({kStart, kExit}));
    const fake_tool::Run& first = fake_tool::Runs().front();
    EXPECT_EQ(first.commandLine, L"\"C:\\Program Files\\Tolvek Lark\\wl.exe\" " + kTakeLeds);
    for (const fake_tool::Run& run : fake_tool::Runs())
        EXPECT_EQ(run.directory, L"C:\\Program Files\\Tolvek Lark");
    EXPECT_TRUE(g_sleeps.empty());

    // The directory is found once for each start of the thread.
    EXPECT_EQ(fake_tool::ModulePathQueries(), 1);
    fake_tool::SetModulePath(L"D:\\Other\\saddrin.exe");
    SignalIndicator(IndicatorStop);
    RunLoop();
    EXPECT_EQ(fake_tool::ModulePathQueries(), 2);
    EXPECT_EQ(fake_tool::Runs().back().commandLine, L"\"D:\\Other\\wl.exe\" " + kReleaseLeds);
}

struct DispatchCase {
    const char* name;
    std::vector<IndicatorEvent> signalled;
    bool connected;
    Commands shown;
};

class IndicatorDispatchTest : public IndicatorTest, public ::testing::WithParamInterface<DispatchCase> {};

TEST_P(IndicatorDispatchTest, ServesPendingEventsLowestIndexFirst)
{
    const DispatchCase& c = GetParam();
    g_service.LinkConnected.store(c.connected);
    for (IndicatorEvent event : c.signalled)
        SignalIndicator(event);
    ExpectShownThenExit(Join({kStart, c.shown}));
}

INSTANTIATE_TEST_SUITE_P(
    Events, IndicatorDispatchTest,
    ::testing::Values(
        DispatchCase{"Busy", {IndicatorBusy}, false, kBusy},
        DispatchCase{"Cancelled", {IndicatorCancelled}, false, kCancelled},
        DispatchCase{"LinkDown", {IndicatorLinkChanged}, false, {kLinkOff}},
        DispatchCase{"LinkUp", {IndicatorLinkChanged}, true, {kLinkOn}},
        DispatchCase{"SeveralOnceEach", {IndicatorLinkChanged, IndicatorCancelled, IndicatorBusy}, true,
                     Join({kBusy, kCancelled, {kLinkOn}})},
        // The failure pattern runs all its cycles first; LED 2 is left busy.
        DispatchCase{"FailureBeforeBusy", {IndicatorBusy, IndicatorFailure}, false, Join({kFailure, kBusy})}),
    CaseName());

// How long each pattern lasts: cycles of its own sleep, and the calendar
// second, counted from the loop's start, of its closing run.
struct LimitCase {
    const char* name;
    IndicatorEvent event;
    int64_t runMs;
    unsigned long cycleSleepMs;
    size_t cycles;
    Commands shown;
    int64_t closingSecond;
};

class IndicatorLimitTest : public IndicatorTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(IndicatorLimitTest, EndsByTimeOrByItsCycleLimit)
{
    const LimitCase& c = GetParam();
    const int64_t loopStart = fake_clock::Seconds();
    fake_tool::SetRunMs(c.runMs);
    SignalIndicator(c.event);
    ExpectShownThenExit(Join({kStart, c.shown}));
    EXPECT_EQ(SleepsOf(c.cycleSleepMs), c.cycles);
    const fake_tool::Run& closing = fake_tool::Runs()[kStart.size() + c.shown.size() - 1];
    EXPECT_EQ(closing.seconds - loopStart, c.closingSecond);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, IndicatorLimitTest,
    ::testing::Values(
        // The closing ShowLinkState follows the poll that passes the time.
        LimitCase{"SuccessAfter300Seconds", IndicatorSuccess, 0, kSuccessPollMs, kSuccessPolls, kSuccess,
                  kPatternSeconds},
        // 200 blinks of 1.4 s are 280 s: the blink limit comes first.
        LimitCase{"OverlapAfter200Cycles", IndicatorOverlap, 0, kOverlapOnMs, kOverlapBlinks, Overlap(kOverlapBlinks),
                  kOverlapBlinks * (kOverlapOnMs + kOverlapOffMs) / 1000},
        // Runs of 100 ms make a cycle 1.6 s: more than 300 s have passed at cycle 189.
        LimitCase{"OverlapAfterMoreThan300Seconds", IndicatorOverlap, 100, kOverlapOnMs, 189, Overlap(189), 302},
        // The last poll ends at exactly 300 s, which is not more than 300.
        LimitCase{"FailureAfter600Cycles", IndicatorFailure, 0, kFailurePollMs, kFailurePolls, kFailure,
                  kPatternSeconds},
        // Runs of 1 s: the pattern starts at 6 s and has its last runs at 8 s,
        // so at cycle 598 (307 s) more than 300 s have passed.
        LimitCase{"FailureAfterMoreThan300Seconds", IndicatorFailure, 1000, kFailurePollMs, 598, kFailure, 307}),
    CaseName());

// The clock held at exactly 300 s past the start, or set back 1000 s.
struct ClockCase {
    const char* name;
    IndicatorEvent event;
    bool setBack;
    unsigned long cycleSleepMs;
    size_t cycles;
};

class IndicatorClockTest : public IndicatorTest, public ::testing::WithParamInterface<ClockCase> {};

TEST_P(IndicatorClockTest, OnlyTheSecondsPastTheStartEndAPattern)
{
    const ClockCase& c = GetParam();
    const int64_t start = fake_clock::Seconds();
    if (c.setBack) {
        AtSleep(1, [] { fake_clock::AdvanceMs(-1000 * 1000); });
    } else {
        fake_clock::SetSleepHook([](unsigned long milliseconds) {
            OnSleep(milliseconds);
            fake_clock::SetSeconds(1'000'000 + 300);
            fake_clock::AdvanceMs(-static_cast<int64_t>(milliseconds));
        });
    }
    SignalIndicator(c.event);
    AfterRun(kStart.size() + (c.event == IndicatorSuccess ? 2 : c.event == IndicatorOverlap ? 3 + 2 * c.cycles : 5),
             Signal(IndicatorStop));
    RunLoop();
    EXPECT_EQ(SleepsOf(c.cycleSleepMs), c.cycles);
    EXPECT_EQ(fake_tool::Arguments().back(), kReleaseLeds);
    if (c.event == IndicatorSuccess) {
        EXPECT_EQ(fake_tool::Runs()[kStart.size() + 1].seconds, start + 300);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Clock, IndicatorClockTest,
    ::testing::Values(ClockCase{"SuccessAtExactly300", IndicatorSuccess, false, kSuccessPollMs, 1},
                      ClockCase{"OverlapNotAtExactly300", IndicatorOverlap, false, kOverlapOnMs, kOverlapBlinks},
                      ClockCase{"FailureNotAtExactly300", IndicatorFailure, false, kFailurePollMs, kFailurePolls},
                      // 1000 s back: the pattern waits until 300 s past its start again.
                      ClockCase{"SuccessSetBack", IndicatorSuccess, true, kSuccessPollMs,
                                PollsToPass(kSuccessPollMs, kPatternSeconds + 1000)},
                      ClockCase{"OverlapSetBack", IndicatorOverlap, true, kOverlapOnMs, kOverlapBlinks},
                      ClockCase{"FailureSetBack", IndicatorFailure, true, kFailurePollMs, kFailurePolls}), CaseName());

// Stop, cancel or a link change arriving during a pattern, at a given sleep of
// the loop; with a stop among them, the loop ends by itself.
struct DuringCase {
    const char* name;
    IndicatorEvent pattern;
    std::vector<std::pair<size_t, std::function<void()>>> actions;
    Commands shown;
    bool stops;
};

class IndicatorDuringPatternTest : public IndicatorTest, public ::testing::WithParamInterface<DuringCase> {};

TEST_P(IndicatorDuringPatternTest, EndsAtItsNextPollWithItsClosingCommand)
{
    const DuringCase& c = GetParam();
    for (const auto& [sleep, action] : c.actions)
        AtSleep(sleep, action);
    SignalIndicator(c.pattern);
    if (c.stops) {
        RunLoop();
        EXPECT_EQ(fake_tool::Arguments(), Join({kStart, c.shown, kExit}));
    } else {
        ExpectShownThenExit(Join({kStart, c.shown}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, IndicatorDuringPatternTest,
    ::testing::Values(
        DuringCase{"StopInSuccess", IndicatorSuccess, {{3, Signal(IndicatorStop)}}, kSuccess, true},
        DuringCase{"StopInOverlapOnPhase", IndicatorOverlap, {{1, Signal(IndicatorStop)}}, Overlap(1), true},
        // Found only after the next cycle's on phase.
        DuringCase{"StopInOverlapOffPhase", IndicatorOverlap, {{2, Signal(IndicatorStop)}}, Overlap(2), true},
        DuringCase{"StopInFailure", IndicatorFailure, {{2, Signal(IndicatorStop)}}, kFailure, true},
        // Stop is polled first; the cancel left pending is served before it.
        DuringCase{"StopAndCancelInFailure",
                   IndicatorFailure,
                   {{1, Signal(IndicatorStop)}, {1, Signal(IndicatorCancelled)}},
                   Join({kFailure, kCancelled}),
                   true},
        DuringCase{"CancelInSuccess", IndicatorSuccess, {{2, Signal(IndicatorCancelled)}},
                   Join({kSuccess, kCancelled}), false},
        DuringCase{"CancelInOverlap", IndicatorOverlap, {{3, Signal(IndicatorCancelled)}},
                   Join({Overlap(2), kCancelled}), false},
        DuringCase{"CancelInFailure", IndicatorFailure, {{4, Signal(IndicatorCancelled)}},
                   Join({kFailure, kCancelled}), false},
        // Success shows the link only at its end, and the pending event once more.
        DuringCase{"LinkInSuccess",
                   IndicatorSuccess,
                   {{1, ConnectAndSignal}, {2, Signal(IndicatorStop)}},
                   {kLinkOn, kLinkOn, kLinkOn},
                   true},
        DuringCase{"LinkInOverlap",
                   IndicatorOverlap,
                   {{1, ConnectAndSignal}, {2, Signal(IndicatorStop)}},
                   {kLinkOff, kResultOff, kResultOn, kResultOff, kLinkOn, kResultOn,
                    kResultOff, kResultOff},
                   true},
        DuringCase{"LinkInFailure",
                   IndicatorFailure,
                   {{1, ConnectAndSignal}, {2, Signal(IndicatorStop)}},
                   {kLinkOff, kLinkOff, kResultOff, kResultOn, kLinkOn, kResultOff},
                   true}), CaseName());

TEST_F(IndicatorTest, LinkChangeDuringSuccessWaitsForItsFullTime)
{
    AtSleep(3, ConnectAndSignal);
    SignalIndicator(IndicatorSuccess);
    ExpectShownThenExit(Join({kStart, {kLinkOn, kLinkOn, kLinkOn}}));
    EXPECT_EQ(fake_tool::Runs()[kStart.size() + 1].sleptMs, kSuccessPolls * kSuccessPollMs);
}

TEST_F(IndicatorTest, FailedIdleWaitSleepsAndWaitsAgain)
{
    UniqueHandle stop(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    g_service.IndicatorEvents[IndicatorStop].reset();
    AtSleep(2, [&stop] { g_service.IndicatorEvents[IndicatorStop] = std::move(stop); });
    RunLoop();
    EXPECT_EQ(g_sleeps, (std::vector<unsigned long>{kFailurePollMs, kFailurePollMs}));
    EXPECT_EQ(fake_tool::Arguments(), Join({kStart, kExit}));
}

// Where the tool is looked for, from the service's own path.
struct PathCase {
    const char* name;
    std::wstring modulePath;
    std::wstring directory;
};

class IndicatorPathTest : public IndicatorTest, public ::testing::WithParamInterface<PathCase> {};

TEST_P(IndicatorPathTest, RunsTheToolBesideTheService)
{
    const PathCase& c = GetParam();
    fake_tool::SetModulePath(c.modulePath);
    SignalIndicator(IndicatorStop);
    RunLoop();
    ASSERT_EQ(fake_tool::Runs().size(), kStart.size() + kExit.size());
    EXPECT_EQ(fake_tool::Runs().front().commandLine, L"\"" + c.directory + L"\\wl.exe\" " + kTakeLeds);
    EXPECT_EQ(fake_tool::Runs().front().directory, c.directory);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, IndicatorPathTest,
    ::testing::Values(PathCase{"DriveRoot", L"C:\\saddrin.exe", L"C:"},
                      PathCase{"Share", L"\\\\server\\share\\saddrin.exe", L"\\\\server\\share"},
                      // Only a backslash after the first character ends the directory.
                      PathCase{"NoDirectory", L"\\saddrin.exe", L"\\saddrin.exe"}), CaseName());

// A command line must fit in 259 characters: "\"" + directory + "\\wl.exe\" " +
// arguments. What does not fit is not started.
struct FitCase {
    const char* name;
    size_t directoryLength;
    Commands run;
};

class IndicatorFitTest : public IndicatorTest, public ::testing::WithParamInterface<FitCase> {};

TEST_P(IndicatorFitTest, RunsOnlyTheCommandsThatFit)
{
    const FitCase& c = GetParam();
    std::wstring directory = L"C:\\" + std::wstring(c.directoryLength - 3, L'd');
    fake_tool::SetModulePath(directory + L"\\saddrin.exe");
    SignalIndicator(IndicatorStop);
    RunLoop();
    EXPECT_EQ(fake_tool::Arguments(), c.run);
    for (const fake_tool::Run& run : fake_tool::Runs())
        EXPECT_LE(run.commandLine.size(), 259u);
}

INSTANTIATE_TEST_SUITE_P(
    Lengths, IndicatorFitTest,
    ::testing::Values(FitCase{"All", 239, Join({kStart, kExit})},
                      FitCase{"NoModeEleven", 240,
                              {kTakeLeds, kAdapterUp, kLinkOff, kResultOff, kLinkOff, kResultOff, kReleaseLeds}},
                      FitCase{"OnlyMpcAndUp", 244, {kTakeLeds, kAdapterUp, kReleaseLeds}},
                      // The longest module path that comes back whole: 259 characters.
                      FitCase{"OnlyUp", 247, {kAdapterUp}}), CaseName());

// Without a tool to run, every pattern keeps its sleeps and limits. The tool
// comes back at the pattern's last sleep, so its closing command shows when
// it ended.
struct NoToolCase {
    const char* name;
    IndicatorEvent event;
    unsigned long cycleSleepMs;
    size_t cycles;
    size_t sleeps;
    std::wstring closing;
};

class IndicatorNoToolTest : public IndicatorTest, public ::testing::WithParamInterface<NoToolCase> {};

TEST_P(IndicatorNoToolTest, PatternKeepsItsTimingWhenThePathCameBackCut)
{
    const NoToolCase& c = GetParam();
    fake_tool::SetModulePath(L"C:\\" + std::wstring(300, L'x') + L"\\saddrin.exe");
    AtSleep(c.sleeps, [] { fake_tool::SetModulePath(L"C:\\Tolvek\\saddrin.exe"); });
    SignalIndicator(c.event);
    ExpectShownThenExit({c.closing});
    EXPECT_EQ(SleepsOf(c.cycleSleepMs), c.cycles);
    EXPECT_EQ(g_sleeps.size(), c.sleeps);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, IndicatorNoToolTest,
    ::testing::Values(
        NoToolCase{"Success", IndicatorSuccess, kSuccessPollMs, kSuccessPolls, kSuccessPolls, kLinkOff},
        NoToolCase{"Overlap", IndicatorOverlap, kOverlapOnMs, kOverlapBlinks, 2 * kOverlapBlinks, kResultOff},
        NoToolCase{"Failure", IndicatorFailure, kFailurePollMs, kFailurePolls, kFailurePolls, kResultOff}),
    CaseName());

} // namespace

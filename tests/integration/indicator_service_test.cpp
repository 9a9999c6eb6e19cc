// The service's LED commands, as the stand-in wl.exe recorded them.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <vector>

#include "bench_leds.h"
#include "bench_processes.h"
#include "service_bench.h"
#include "contract.h"
#include "documented_contract.h"
#include "parameters_key.h"

namespace {

using namespace documented;

using bench::Testbed;
using bench::WaitForStopped;

Commands Recorded()
{
    return LedArguments(ReadLedRuns(bench::Records()));
}

bool WaitForRuns(size_t count, DWORD timeoutMs = 10000)
{
    return bench::WaitFor([count] { return ReadLedRuns(bench::Records()).size() >= count; }, timeoutMs, 20);
}

// The tool records a run as it starts and applies it as it ends.
bool WaitForToolsEnded(DWORD timeoutMs = 10000)
{
    return bench::WaitFor([] { return ProcessIdsNamed(L"wl.exe").empty(); }, timeoutMs);
}

// The stop and what the LEDs were told by then: the runs in order and none
// after SERVICE_STOPPED; all of them unless the stop had to cut the indicator
// off at its bound, which a loaded machine may reach. Whether all ran.
bool StopAndExpectRuns(const Commands& expected)
{
    uint64_t stopSent = BenchNowMs();
    if (!bench::StopService() || !WaitForStopped(kStopWaitHintMs)) {
        ADD_FAILURE() << "the service did not stop within its wait hint";
        return false;
    }
    uint64_t stopped = BenchNowMs();
    std::vector<LedRun> runs = ReadLedRuns(bench::Records());
    Commands recorded = LedArguments(runs);
    bool inOrder = recorded.size() <= expected.size() && std::equal(recorded.begin(), recorded.end(), expected.begin());
    EXPECT_TRUE(inOrder) << ::testing::PrintToString(recorded);
    for (const LedRun& run : runs)
        EXPECT_LE(static_cast<uint64_t>(run.timeMs), stopped) << ToBytes(run.arguments);
    if (stopped - stopSent < kIndicatorStopMs) {
        EXPECT_EQ(recorded, expected);
    }
    return recorded == expected;
}

class IndicatorServiceTest : public bench::ServiceBench {
protected:
    void TearDown() override
    {
        // Lets a hung tool go before the next test copies over it.
        WriteLedToolSettings(bench::Records(), {});
        ServiceBench::TearDown();
        WaitForToolsEnded();
    }
};

TEST_F(IndicatorServiceTest, StartAndStopShowTheirSequencesOneRunAfterTheOther)
{
    WriteLedToolSettings(bench::Records(), {150, false});
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForRuns(kStart.size()));
    ASSERT_TRUE(WaitForToolsEnded());
    std::vector<LedRun> runs = ReadLedRuns(bench::Records());
    EXPECT_EQ(LedArguments(runs), kStart);
    // Each run is awaited before the next starts.
    for (size_t i = 1; i < runs.size(); ++i)
        EXPECT_GE(runs[i].timeMs - runs[i - 1].timeMs, 140) << "run " << i;
    EXPECT_EQ(ReadLedMode(bench::Records(), L"led2"), 0);
    EXPECT_EQ(ReadLedMode(bench::Records(), L"led3"), 0);
    EXPECT_EQ(ReadLedMode(bench::Records(), L"mpc"), 0);

    // The whole exit sequence must fit in the 2000 ms the stop gives it.
    WriteLedToolSettings(bench::Records(), {});
    if (StopAndExpectRuns(Join({kStart, kExit}))) {
        EXPECT_EQ(ReadLedMode(bench::Records(), L"led2"), 11);
        EXPECT_EQ(ReadLedMode(bench::Records(), L"led3"), 11);
        EXPECT_EQ(ReadLedMode(bench::Records(), L"mpc"), 1);
    }
}

// A library that cannot be opened fails the session at once: the busy
// commands are followed by the failure pattern, which the stop ends.
TEST_F(IndicatorServiceTest, EnrollmentShowsBusyThenTheFailurePatternUntilTheStop)
{
    Testbed(L"wps fail open");
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForRuns(kStart.size()));
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    const Commands shown = Join({kStart, kBusy, kFailureShown});
    ASSERT_TRUE(WaitForRuns(shown.size()));
    ASSERT_TRUE(WaitForToolsEnded());
    EXPECT_EQ(Recorded(), shown);
    EXPECT_EQ(ReadLedMode(bench::Records(), L"led2"), 0);
    EXPECT_EQ(ReadLedMode(bench::Records(), L"led3"), 17);

    StopAndExpectRuns(Join({kStart, kBusy, kFailure, kExit}));
}

// Success holds LED 2 in mode 1; the stop ends the pattern with the link
// state (not connected here) before the exit sequence.
TEST_F(IndicatorServiceTest, SuccessfulEnrollmentHoldsLedTwoUntilTheStop)
{
    Testbed(L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8");
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForRuns(kStart.size()));
    ASSERT_TRUE(WriteProfilePath(bench::HandOffFile().c_str()));
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    const Commands shown = Join({kStart, kBusy, kSuccessShown});
    ASSERT_TRUE(WaitForRuns(shown.size()));
    ASSERT_TRUE(WaitForToolsEnded());
    EXPECT_EQ(Recorded(), shown);
    EXPECT_EQ(ReadLedMode(bench::Records(), L"led2"), 1);

    StopAndExpectRuns(Join({kStart, kBusy, kSuccess, kExit}));
}

TEST_F(IndicatorServiceTest, HangingToolDoesNotKeepTheServiceFromStopping)
{
    WriteLedToolSettings(bench::Records(), {0, true});
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForRuns(1));

    DWORD start = GetTickCount();
    ASSERT_TRUE(bench::StopService());
    ASSERT_TRUE(WaitForStopped(kStopWaitHintMs));
    DWORD took = GetTickCount() - start;
    // The indicator thread is given 2000 ms and then ended.
    EXPECT_GE(took, 1800u);
    EXPECT_LT(took, kStopWaitHintMs);
    EXPECT_EQ(Recorded(), Commands{L"mpc 0"});
    // The tool's job ends it with the service, while the bench still holds it.
    EXPECT_TRUE(bench::WaitFor([] { return ProcessIdsNamed(L"saddrin.exe").empty(); }, 5000));
    EXPECT_TRUE(WaitForToolsEnded(2000));
}

} // namespace

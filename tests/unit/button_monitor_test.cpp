// The button monitor's passes over the fake library on the fake clock.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "button_monitor.h"
#include "case_name.h"
#include "service_state_fixture.h"

namespace {

constexpr int64_t kForever = INT64_MAX;

struct MonitorCase {
    const char* name;
    bool supported;
    int64_t pressedFromMs; // on the monitor's own time line: the milliseconds paused so far
    int64_t pressedUntilMs;
    bool sessionRunning;
    int passes;
    unsigned signalledPasses; // bit i: ButtonEvent signalled by pass i
    DWORD lastState;
};

const MonitorCase kCases[] = {
    {"ReleasedButtonIsReadEveryPass", true, 0, 0, false, 3, 0, 0},
    {"HeldForOneSecondSignalsOnThreePasses", true, 100, 1100, false, 6, 0b001110, 0},
    {"StillHeldAtTheEndIsReturned", true, 0, kForever, false, 2, 0b11, 1},
    {"UnsupportedButtonIsNeverRead", false, 0, kForever, false, 3, 0, 0},
    {"NoReadingWhileASessionRuns", true, 0, kForever, true, 3, 0, 0},
};

int g_passes;
int g_stopAfter;
unsigned g_signalled;

// Each pass ends in a wait of the poll time on the monitor's wake event.
void CountPass(unsigned long milliseconds)
{
    EXPECT_EQ(milliseconds, 300u);
    EXPECT_FALSE(g_service.MonitorReading.load()) << "a session may hold the monitor while it pauses";
    if (Signalled(g_service.ButtonEvent))
        g_signalled |= 1u << g_passes;
    // Set while the pass pauses: the thread ends when this pause is over.
    if (++g_passes == g_stopAfter)
        g_service.MonitorStop.store(true);
}

class ButtonMonitorTest : public ServiceStateTest, public ::testing::WithParamInterface<MonitorCase> {
protected:
    void SetUp() override
    {
        ServiceStateTest::SetUp();
        g_passes = 0;
        g_signalled = 0;
        g_stopAfter = 0;
        fake_clock::TimeOutWaitsOn(g_service.MonitorWake.get(), fake_clock::kEveryWait);
        fake_clock::SetWaitHook(CountPass);
        // A sleep could not be cut short by the stop.
        fake_clock::SetSleepHook([](unsigned long) {
            ADD_FAILURE() << "the monitor slept instead of waiting on its wake event";
            g_service.MonitorStop.store(true);
        });
    }
};

TEST_P(ButtonMonitorTest, OpensReadsAndClosesOnEveryPass)
{
    const MonitorCase& c = GetParam();
    g_stopAfter = c.passes;
    g_service.SessionRunning.store(c.sessionRunning);
    fake_wps::Play({.buttonSupported = c.supported, .buttonPressed = [&c] {
                        int64_t now = 300 * g_passes;
                        return now >= c.pressedFromMs && now < c.pressedUntilMs;
                    }});
    g_service.MonitorReading.store(true); // as the service creates the thread

    EXPECT_EQ(ButtonMonitor(nullptr), c.lastState);

    std::vector<std::string> pass = {"wps_gpio_open", "wps_hwbutton_supported"};
    if (c.supported)
        pass.push_back("wps_get_hwbutton_state");
    pass.push_back("wps_gpio_close");
    std::vector<std::string> expected;
    for (int i = 0; i < c.passes && !c.sessionRunning; ++i)
        expected.insert(expected.end(), pass.begin(), pass.end());
    EXPECT_EQ(fake_wps::Calls(), expected);
    EXPECT_EQ(g_signalled, c.signalledPasses);
    EXPECT_EQ(g_passes, c.passes);
}

INSTANTIATE_TEST_SUITE_P(Passes, ButtonMonitorTest, ::testing::ValuesIn(kCases), CaseName());

using ButtonMonitorStopTest = ServiceStateTest;

TEST_F(ButtonMonitorStopTest, AStopSetBeforeTheFirstPassReadsNothing)
{
    g_service.MonitorStop.store(true);
    EXPECT_EQ(ButtonMonitor(nullptr), 0u);
    EXPECT_TRUE(fake_wps::Calls().empty());
    EXPECT_EQ(fake_clock::TotalSleptMs(), 0);
}

} // namespace

// Enrollment sessions and the button monitor of the real service under
// Wine's SCM, against the WPS library stand-in and its bench scenario.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "bench_text.h"
#include "service_bench.h"
#include "contract.h"
#include "documented_contract.h"
#include "parameters_key.h"
#include "unique_handle.h"
#include "wps_bench.h"

namespace {

using bench::Testbed;
using LogLine = bench::WpsLogLine;

bool IsButtonCall(const std::string& function)
{
    return function.find("gpio") != std::string::npos || function.find("hwbutton") != std::string::npos;
}

// The WPS library's log once it shows `first` and, after it, `then`: the
// monitor's passes are waited for by the library's own record of them.
std::vector<LogLine> LogOnceAfter(const std::function<bool(const LogLine&)>& first,
                                  const std::function<bool(const LogLine&)>& then)
{
    std::vector<LogLine> log;
    bool seen = bench::WaitFor(
        [&] {
            log = bench::ReadWpsLog();
            auto found = std::find_if(log.begin(), log.end(), first);
            return found != log.end() && std::any_of(found + 1, log.end(), then);
        },
        kStopWaitHintMs);
    EXPECT_TRUE(seen) << "the WPS library's log never showed the expected order";
    return log;
}

bool IsButtonRead(const LogLine& line)
{
    return line.kind == "call" && IsButtonCall(line.function);
}

std::vector<std::string> SessionCalls(const std::vector<LogLine>& log)
{
    std::vector<std::string> calls;
    for (const LogLine& line : log)
        if (line.kind == "call" && !IsButtonCall(line.function))
            calls.push_back(line.function);
    return calls;
}

class SessionServiceTest : public bench::ServiceBench {
protected:
    void SetUp() override
    {
        ServiceBench::SetUp();
        ASSERT_TRUE(bench::InstallAndStartService());
        ASSERT_TRUE(OpenEventPair());
        profile_ = bench::HandOffFile();
        DeleteFileW(profile_.c_str());
        ASSERT_TRUE(WriteProfilePath(profile_.c_str()));
        ASSERT_TRUE(WriteExitCode(7));
    }

    std::wstring profile_;
};

using documented::kFullSession;

TEST_F(SessionServiceTest, SuccessfulSessionCallsTheLibraryInOrderAndPausesTheButton)
{
    Testbed(L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8");
    // Long enough for several button passes to fall inside the session.
    Testbed(L"wps delay findAP 1200");
    ASSERT_TRUE(bench::WaitForWpsLine("back", "wps_gpio_close"));

    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));

    // Read once the monitor has read the button again after the session.
    std::vector<LogLine> log;
    const LogLine* open = nullptr;
    const LogLine* close = nullptr;
    EXPECT_TRUE(bench::WaitFor(
        [&] {
            log = bench::ReadWpsLog();
            open = bench::FindWpsLine(log, "call", "wps_open");
            close = bench::FindWpsLine(log, "back", "wps_close");
            return close && std::any_of(log.begin(), log.end(), [&](const LogLine& line) {
                       return line.kind == "call" && IsButtonCall(line.function) && line.ms > close->ms;
                   });
        },
        10000))
        << "the button monitor resumes after the session";
    EXPECT_EQ(SessionCalls(log), kFullSession);
    ASSERT_TRUE(open && close);
    EXPECT_GE(close->ms - open->ms, 1200u);
    int before = 0, during = 0, after = 0;
    for (const LogLine& line : log) {
        if (line.kind != "call" || !IsButtonCall(line.function))
            continue;
        if (line.ms < open->ms)
            ++before;
        else if (line.ms <= close->ms)
            ++during;
        else
            ++after;
    }
    EXPECT_GT(before, 0);
    EXPECT_EQ(during, 0) << "the button is not read while a session runs";
    EXPECT_GT(after, 0) << "the button monitor resumes after the session";
    EXPECT_EQ(bench::CountWpsLines(log, "back", "wps_get_AP_info -> 1 ssid=\"HomeNet\""), 1);
    EXPECT_EQ(bench::CountWpsLines(log, "call", "wps_join(02:00:00:00:00:01, \"HomeNet\", 4)"), 1);
}

TEST_F(SessionServiceTest, SuccessfulSessionLeavesTheProfileDocumentAtPath)
{
    Testbed(L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));

    EXPECT_EQ(ReadWholeFile(profile_), documented::ProfileDocument({L"HomeNet", HexOf("HomeNet"), L"WPA2PSK", L"AES",
                                                                   L"passPhrase", L"correct horse"}, true));
}

TEST_F(SessionServiceTest, AnOverlapWritesNoProfile)
{
    Testbed(L"ap add HomeNet --key secret-one");
    Testbed(L"ap add Neighbour --key secret-two");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentOverlap));
    EXPECT_EQ(GetFileAttributesW(profile_.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(SessionServiceTest, TwoAccessPointsInPushButtonModeEndWithAnOverlap)
{
    Testbed(L"ap add HomeNet --key secret-one");
    Testbed(L"ap add Neighbour --key secret-two");

    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentOverlap));
    EXPECT_EQ(SessionCalls(bench::ReadWpsLog()), (std::vector<std::string>{"wps_open", "wps_findAP", "wps_close"}));
}

TEST_F(SessionServiceTest, ASearchThatIgnoresTheCallbackIsTerminatedAfterFiveSeconds)
{
    Testbed(L"wps hang findAP --deaf");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(bench::WaitForWpsLine("call", "wps_findAP"));

    ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 4900u);
    EXPECT_LE(elapsed, 7000u);

    std::vector<LogLine> log = bench::ReadWpsLog();
    EXPECT_EQ(bench::FindWpsLine(log, "back", "wps_findAP"), nullptr) << "the search never returned";
    EXPECT_NE(bench::FindWpsLine(log, "back", "wps_close"), nullptr) << "the library is closed after the termination";
}

TEST_F(SessionServiceTest, ASearchThatListensToTheCallbackEndsAtOnceOnCancel)
{
    Testbed(L"wps hang findAP");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(bench::WaitForWpsLine("call", "wps_findAP"));

    ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_LE(GetTickCount64() - start, 2000u);
    std::vector<LogLine> log = bench::ReadWpsLog();
    EXPECT_EQ(bench::CountWpsLines(log, "back", "wps_findAP -> 0 stopped"), 1);
    EXPECT_EQ(SessionCalls(log), (std::vector<std::string>{"wps_open", "wps_findAP", "wps_close"}));
}

TEST_F(SessionServiceTest, StoppingTheServiceEndsTheSessionBeforeTheEventsClose)
{
    Testbed(L"wps hang findAP");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(bench::WaitForWpsLine("call", "wps_findAP"));

    // Our own handle keeps DoneEvent alive; it can only be signalled while
    // the service still held its own.
    ASSERT_TRUE(bench::StopService());
    EXPECT_EQ(WaitDone(0), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_NE(bench::FindWpsLine(bench::ReadWpsLog(), "back", "wps_close"), nullptr);
}

TEST_F(SessionServiceTest, AStartDuringASessionIsIgnored)
{
    Testbed(L"wps hang findAP");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(bench::WaitForWpsLine("call", "wps_findAP"));
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    // The control returns once the handler has run: an accepted start would
    // have reset or signalled DoneEvent by now.
    EXPECT_EQ(WaitForSingleObject(done_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_EQ(SessionCalls(bench::ReadWpsLog()), (std::vector<std::string>{"wps_open", "wps_findAP", "wps_close"}));
}

// The button monitor.

// Counted from the library's log, not from the test's own looks: two passes
// between two looks would show as one signal of the auto-reset event.
TEST_F(SessionServiceTest, AButtonHeldForOneSecondSignalsOnAboutThreePasses)
{
    Testbed(L"button press --for 1000");
    int signals = 0;
    // Until the button reads released again after the press: every signal of
    // the press has been given by then.
    std::vector<LogLine> log = LogOnceAfter(
        [&](const LogLine& line) {
            signals += WaitForSingleObject(button_.get(), 0) == WAIT_OBJECT_0;
            return line.Is("back", "wps_get_hwbutton_state -> 1");
        },
        [](const LogLine& line) { return line.Is("back", "wps_get_hwbutton_state -> 0"); });
    signals += WaitForSingleObject(button_.get(), 0) == WAIT_OBJECT_0;
    int pressedReads = bench::CountWpsLines(log, "back", "wps_get_hwbutton_state -> 1");
    // A pass every 300 ms at most over the second held.
    EXPECT_GE(pressedReads, 1);
    EXPECT_LE(pressedReads, 5);
    EXPECT_GE(signals, 1);
    EXPECT_LE(signals, pressedReads);
}

TEST_F(SessionServiceTest, AnUnsupportedButtonIsNeverRead)
{
    Testbed(L"button unsupported");
    Testbed(L"button press");
    Testbed(L"calls clear");
    // Two whole passes after the press: each asks whether the button is supported.
    auto supported = [](const LogLine& line) { return line.kind == "back" && line.function == "wps_hwbutton_supported"; };
    std::vector<LogLine> log = LogOnceAfter(supported, supported);
    EXPECT_EQ(WaitForSingleObject(button_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(bench::FindWpsLine(log, "call", "wps_get_hwbutton_state"), nullptr);
}

TEST_F(SessionServiceTest, TheSessionEndResetsAPressSeenBeforeIt)
{
    auto pressed = [](const LogLine& line) { return line.Is("back", "wps_get_hwbutton_state -> 1"); };
    // Without a session, a press that nobody consumed stays signalled. Each
    // press is read once, however late the stand-in learns of it...
    Testbed(L"button press --reads 1");
    LogOnceAfter(pressed, IsButtonRead);
    EXPECT_EQ(WaitForSingleObject(button_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));

    // ...and a session's end clears it.
    Testbed(L"calls clear");
    Testbed(L"button press --reads 1");
    LogOnceAfter(pressed, IsButtonRead);
    Testbed(L"wps fail open");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    // The reset follows DoneEvent, before the monitor, held through the
    // session, is let go: its next read after the session's open means the
    // reset is done.
    LogOnceAfter([](const LogLine& line) { return line.kind == "back" && line.function == "wps_open"; }, IsButtonRead);
    EXPECT_EQ(WaitForSingleObject(button_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(SessionServiceTest, StopEndsTheButtonMonitorWithinItsSleep)
{
    ASSERT_TRUE(bench::WaitForWpsLine("back", "wps_gpio_close"));
    uint64_t stopSent = BenchNowMs();
    ASSERT_TRUE(bench::StopService());

    LogLine ended;
    bool seen = bench::WaitFor(
        [&] {
            for (const LogLine& line : bench::ReadWpsLog())
                if (line.kind == "note" && line.rest == "button thread ended") {
                    ended = line;
                    return true;
                }
            return false;
        },
        kStopWaitHintMs);
    // By itself, so before the stop's bound for it ran out and ended it by force.
    ASSERT_TRUE(seen) << "the monitor thread did not end by itself";
    EXPECT_GE(ended.ms, stopSent);
}

} // namespace

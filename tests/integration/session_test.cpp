// Enrollment sessions and the button monitor of the real service under
// Wine's SCM, against the WPS library stand-in and its bench scenario.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "bench_text.h"
#include "contract.h"
#include "documented_contract.h"
#include "parameters_key.h"
#include "unique_handle.h"
#include "wps_bench.h"

namespace {

struct LogLine {
    uint64_t ms = 0;
    std::string kind;     // call, back, status, note
    std::string function; // for call and back
    std::string rest;     // everything after the kind
};

std::vector<LogLine> ReadCallLog()
{
    std::vector<LogLine> lines;
    std::ifstream file((BenchDirectory(bench::InstallDirectory()) + L"\\wps_calls.log").c_str());
    std::string text;
    while (std::getline(file, text)) {
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        std::istringstream in(text);
        LogLine line;
        std::string clock;
        in >> line.ms >> clock >> line.kind;
        std::getline(in >> std::ws, line.rest);
        if (line.kind == "call" || line.kind == "back")
            line.function = line.rest.substr(0, line.rest.find_first_of("( "));
        lines.push_back(line);
    }
    return lines;
}

bool IsButtonCall(const std::string& function)
{
    return function.find("gpio") != std::string::npos || function.find("hwbutton") != std::string::npos;
}

std::vector<std::string> SessionCalls(const std::vector<LogLine>& log)
{
    std::vector<std::string> calls;
    for (const LogLine& line : log)
        if (line.kind == "call" && !IsButtonCall(line.function))
            calls.push_back(line.function);
    return calls;
}

const LogLine* Find(const std::vector<LogLine>& log, const std::string& kind, const std::string& function)
{
    for (const LogLine& line : log)
        if (line.kind == kind && line.function == function)
            return &line;
    return nullptr;
}

int CountLines(const std::vector<LogLine>& log, const std::string& kind, const std::string& rest)
{
    int count = 0;
    for (const LogLine& line : log)
        count += line.kind == kind && line.rest == rest;
    return count;
}

bool LogShows(const std::string& kind, const std::string& function, DWORD timeoutMs = 5000)
{
    return bench::WaitFor([&] { return Find(ReadCallLog(), kind, function) != nullptr; }, timeoutMs);
}

class SessionServiceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bench::PrepareInstallDirectory();
        ASSERT_TRUE(bench::InstallAndStartService());
        ASSERT_TRUE(bench::WaitFor(
            [&] {
                button_.reset(OpenEventW(kAgentEventAccess, FALSE, kButtonEventName));
                done_.reset(OpenEventW(kAgentEventAccess, FALSE, kDoneEventName));
                return button_ && done_;
            },
            5000));
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        profile_ = std::wstring(temp) + kHandOffFileName;
        DeleteFileW(profile_.c_str());
        ASSERT_TRUE(WriteProfilePath(profile_.c_str()));
        ASSERT_TRUE(WriteExitCode(7));
    }

    void TearDown() override { bench::RemoveService(); }

    static void Testbed(const std::wstring& arguments)
    {
        bench::ProcessResult run = bench::RunInstalled(L"testbed.exe", arguments);
        ASSERT_TRUE(run.finished) << run.output;
        ASSERT_EQ(run.exitCode, 0u) << bench::Narrow(arguments) << ": " << run.output;
    }

    DWORD WaitDone(DWORD timeoutMs = 10000)
    {
        if (WaitForSingleObject(done_.get(), timeoutMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "DoneEvent not signalled within " << timeoutMs << " ms";
            return 0xFFFFFFFF;
        }
        return ReadExitCode();
    }

    // The profile file as written, without the writer's line breaks and indentation.
    std::string ReadProfileWithoutLayout() const
    {
        std::string text = ReadWholeFile(profile_);
        std::string flat;
        bool lineStart = false;
        for (char c : text) {
            if (c == '\r' || c == '\n') {
                lineStart = true;
                continue;
            }
            if (lineStart && (c == ' ' || c == '\t'))
                continue;
            lineStart = false;
            flat += c;
        }
        return flat;
    }

    UniqueHandle button_;
    UniqueHandle done_;
    std::wstring profile_;
};

const std::vector<std::string> kFullSession = {"wps_open",        "wps_findAP", "wps_getAP", "wps_join",
                                               "wps_get_AP_info", "wps_close"};

TEST_F(SessionServiceTest, SuccessfulSessionCallsTheLibraryInOrderAndPausesTheButton)
{
    Testbed(L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8");
    // Long enough for several button passes to fall inside the session.
    Testbed(L"wps delay findAP 1200");
    ASSERT_TRUE(LogShows("back", "wps_gpio_close"));

    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));
    Sleep(1000);

    std::vector<LogLine> log = ReadCallLog();
    EXPECT_EQ(SessionCalls(log), kFullSession);
    const LogLine* open = Find(log, "call", "wps_open");
    const LogLine* close = Find(log, "back", "wps_close");
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
    EXPECT_EQ(CountLines(log, "back", "wps_get_AP_info -> 1 ssid=\"HomeNet\""), 1);
    EXPECT_EQ(CountLines(log, "call", "wps_join(02:00:00:00:00:01, \"HomeNet\", 4)"), 1);
}

TEST_F(SessionServiceTest, SuccessfulSessionLeavesTheProfileDocumentAtPath)
{
    Testbed(L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));

    EXPECT_EQ(ReadProfileWithoutLayout(),
              documented::ProfileDocument({L"HomeNet", documented::HexOf("HomeNet"), L"WPA2PSK", L"AES",
                                           L"passPhrase", L"correct horse"}, false));
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
    EXPECT_EQ(SessionCalls(ReadCallLog()), (std::vector<std::string>{"wps_open", "wps_findAP", "wps_close"}));
}

TEST_F(SessionServiceTest, ASearchThatIgnoresTheCallbackIsTerminatedAfterFiveSeconds)
{
    Testbed(L"wps hang findAP --deaf");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(LogShows("call", "wps_findAP"));

    ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    ULONGLONG elapsed = GetTickCount64() - start;
    EXPECT_GE(elapsed, 4900u);
    EXPECT_LE(elapsed, 7000u);

    std::vector<LogLine> log = ReadCallLog();
    EXPECT_EQ(Find(log, "back", "wps_findAP"), nullptr) << "the search never returned";
    EXPECT_NE(Find(log, "back", "wps_close"), nullptr) << "the library is closed after the termination";
}

TEST_F(SessionServiceTest, ASearchThatListensToTheCallbackEndsAtOnceOnCancel)
{
    Testbed(L"wps hang findAP");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(LogShows("call", "wps_findAP"));

    ULONGLONG start = GetTickCount64();
    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_LE(GetTickCount64() - start, 2000u);
    std::vector<LogLine> log = ReadCallLog();
    EXPECT_EQ(CountLines(log, "back", "wps_findAP -> 0 stopped"), 1);
    EXPECT_EQ(SessionCalls(log), (std::vector<std::string>{"wps_open", "wps_findAP", "wps_close"}));
}

TEST_F(SessionServiceTest, StoppingTheServiceEndsTheSessionBeforeTheEventsClose)
{
    Testbed(L"wps hang findAP");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(LogShows("call", "wps_findAP"));

    // Our own handle keeps DoneEvent alive; it can only be signalled while
    // the service still held its own.
    ASSERT_TRUE(bench::StopService());
    EXPECT_EQ(WaitDone(0), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_NE(Find(ReadCallLog(), "back", "wps_close"), nullptr);
}

TEST_F(SessionServiceTest, AStartDuringASessionIsIgnored)
{
    Testbed(L"wps hang findAP");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    ASSERT_TRUE(LogShows("call", "wps_findAP"));
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    Sleep(500);
    EXPECT_EQ(WaitForSingleObject(done_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));

    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_EQ(SessionCalls(ReadCallLog()), (std::vector<std::string>{"wps_open", "wps_findAP", "wps_close"}));
}

// The button monitor.

// Counted from the library's log, not from the test's own looks: two passes
// between two looks would show as one signal of the auto-reset event.
TEST_F(SessionServiceTest, AButtonHeldForOneSecondSignalsOnAboutThreePasses)
{
    Testbed(L"button press --for 1000");
    int signals = 0;
    ULONGLONG start = GetTickCount64();
    while (GetTickCount64() - start < 2000)
        signals += WaitForSingleObject(button_.get(), 50) == WAIT_OBJECT_0;
    int pressedReads = CountLines(ReadCallLog(), "back", "wps_get_hwbutton_state -> 1");
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
    Sleep(1000);
    EXPECT_EQ(WaitForSingleObject(button_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
    std::vector<LogLine> log = ReadCallLog();
    EXPECT_NE(Find(log, "back", "wps_hwbutton_supported"), nullptr);
    EXPECT_EQ(Find(log, "call", "wps_get_hwbutton_state"), nullptr);
}

TEST_F(SessionServiceTest, TheSessionEndResetsAPressSeenBeforeIt)
{
    // Without a session, a press that nobody consumed stays signalled...
    Testbed(L"button press --for 400");
    Sleep(900);
    EXPECT_EQ(WaitForSingleObject(button_.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));

    // ...and a session's end clears it.
    Testbed(L"button press --for 400");
    Sleep(900);
    Testbed(L"wps fail open");
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    // The reset follows DoneEvent; a look would itself take the signal, so
    // give the session's last steps their moment instead of polling.
    Sleep(300);
    EXPECT_EQ(WaitForSingleObject(button_.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
}

TEST_F(SessionServiceTest, StopEndsTheButtonMonitorWithinItsSleep)
{
    ASSERT_TRUE(LogShows("back", "wps_gpio_close"));
    uint64_t stopSent = BenchNowMs();
    ASSERT_TRUE(bench::StopService());

    LogLine ended;
    bool seen = bench::WaitFor(
        [&] {
            for (const LogLine& line : ReadCallLog())
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

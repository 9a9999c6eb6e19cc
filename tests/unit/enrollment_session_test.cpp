// Enrollment sessions against the fake library on the fake clock: the
// outcome of every way a session can end, cancel and termination, and the
// control codes around a session.
#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <string.h>
#include <string>
#include <vector>

#include "bench_support.h"
#include "case_name.h"
#include "contract.h"
#include "documented_contract.h"
#include "enrollment_session.h"
#include "fake_console_user.h"
#include "fake_folder_volume.h"
#include "fake_thread_start.h"
#include "parameters_key_scope.h"
#include "service_shell.h"
#include "service_state_fixture.h"

namespace {

constexpr int64_t kStart = 1'000'000;
constexpr int kNever = 1'000'000;

using Calls = std::vector<std::string>;

class SessionTest : public ServiceStateTest {
protected:
    static DWORD WINAPI IdleMonitor(void* fixture)
    {
        auto* test = static_cast<SessionTest*>(fixture);
        SetEvent(test->monitorRunning_.get());
        WaitForSingleObject(test->monitorStop_.get(), INFINITE);
        return 0;
    }

    void SetUp() override
    {
        ServiceStateTest::SetUp();
        ASSERT_EQ(fake_clock::Seconds(), kStart);
        g_service.WorkStarted.store(true);
        parameters_.SetExitCode(kExitCodeSentinel);
        consoleTemp_ = bench::MakeScratchFolder();
        fake_console_user::SignIn(consoleTemp_);
        profilePath_ = consoleTemp_ + L"\\wps_profile.xml";
        parameters_.SetPath(profilePath_);

        // Suspending a thread that is still starting up would hold the
        // loader lock, and with it the start of the session thread: the
        // stand-in monitor is suspended only once it runs.
        monitorStop_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        monitorRunning_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        g_service.MonitorThread.reset(CreateThread(nullptr, 0, IdleMonitor, this, 0, nullptr));
        ASSERT_EQ(WaitForSingleObject(monitorRunning_.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
        release_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        entered_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        // A press seen before the session; its end must clear it.
        SetEvent(g_service.ButtonEvent.get());
    }

    void TearDown() override
    {
        SetEvent(release_.get());
        if (g_service.SessionThread && WaitForSingleObject(g_service.SessionThread.get(), kWatchdogMs) == WAIT_TIMEOUT)
            TerminateThread(g_service.SessionThread.get(), 0);
        for (;;) {
            DWORD previous = ResumeThread(g_service.MonitorThread.get());
            if (previous <= 1 || previous == static_cast<DWORD>(-1))
                break;
        }
        SetEvent(monitorStop_.get());
        WaitForSingleObject(g_service.MonitorThread.get(), kWatchdogMs);
        ServiceStateTest::TearDown();
        bench::RemoveTree(consoleTemp_);
    }

    void Start() { ServiceControlHandler(StartEnrollment); }

    // ExitCode as the agent reads it the moment DoneEvent wakes it.
    DWORD WaitDone()
    {
        if (WaitForSingleObject(g_service.DoneEvent.get(), kWatchdogMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << "DoneEvent not signalled";
            return 0xFFFFFFFF;
        }
        return parameters_.ExitCode();
    }

    void WaitSessionThread()
    {
        ASSERT_TRUE(g_service.SessionThread);
        ASSERT_EQ(WaitForSingleObject(g_service.SessionThread.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
    }

    // The suspend count the monitor thread has now.
    DWORD MonitorSuspendCount()
    {
        DWORD count = SuspendThread(g_service.MonitorThread.get());
        ResumeThread(g_service.MonitorThread.get());
        return count;
    }

    void ExpectIdleAfterSession()
    {
        EXPECT_FALSE(g_service.SessionRunning.load());
        EXPECT_FALSE(g_service.AbortRequested.load());
        EXPECT_FALSE(g_service.LibraryOpen.load());
        EXPECT_FALSE(Signalled(g_service.ButtonEvent));
        EXPECT_EQ(MonitorSuspendCount(), 0u);
        EXPECT_FALSE(g_service.HandOff.token) << "the console user's token outlived the session";
    }

    // A search that goes on until the callback answers false.
    void InstallSearchUntilStopped()
    {
        fake_wps::Play({.search = [this](int32_t* count) -> unsigned char {
            *count = 0;
            SetEvent(entered_.get());
            while (WpsStatusCallback(nullptr, 5, nullptr))
                Sleep(1);
            return 0;
        }});
    }

    // A search that enters, may report status first, and never returns by
    // itself until the test releases it.
    void InstallHungSearch(uint32_t status = 0)
    {
        fake_wps::Play({.search = [this, status](int32_t* count) -> unsigned char {
            *count = 0;
            if (status)
                WpsStatusCallback(nullptr, status, nullptr);
            SetEvent(entered_.get());
            WaitForSingleObject(release_.get(), INFINITE);
            return 0;
        }});
    }

    void WaitEntered()
    {
        ASSERT_EQ(WaitForSingleObject(entered_.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
    }

    ParametersKeyScope parameters_;
    std::wstring consoleTemp_;
    std::wstring profilePath_;
    UniqueHandle monitorStop_;
    UniqueHandle monitorRunning_;
    UniqueHandle release_;
    UniqueHandle entered_;
};

unsigned Bit(IndicatorEvent event)
{
    return 1u << event;
}

struct OutcomeCase {
    const char* name;
    fake_wps::Script script;
    DWORD exitCode;
    IndicatorEvent indicator;
    std::optional<uint32_t> lastStatus;
    Calls calls; // empty: not checked
    bool atConsole = true; // someone signed in at the console to receive the profile
    FolderVolume volume = fake_folder_volume::kLocalNtfs; // of the console user's temporary folder
};

using documented::kFullSession;

const OutcomeCase kOutcomes[] = {
    {"Success", {}, EnrollmentSucceeded, IndicatorSuccess, std::nullopt, kFullSession},
    {"FoundOnTheThirdSearch", {.searchesBeforeFound = 2}, EnrollmentSucceeded, IndicatorSuccess, std::nullopt,
     {"wps_open", "wps_findAP", "wps_findAP", "wps_findAP", "wps_getAP", "wps_join", "wps_get_AP_info",
      "wps_close"}},
    {"FoundWithACountOfZeroStillJoins", {.apCount = 0}, EnrollmentSucceeded, IndicatorSuccess, std::nullopt,
     kFullSession},
    {"TwoAccessPointsAreAnOverlap", {.apCount = 2}, EnrollmentOverlap, IndicatorOverlap, std::nullopt,
     {"wps_open", "wps_findAP", "wps_close"}},
    {"LastStatus21WithoutSuccessIsAnOverlap",
     {.searchesBeforeFound = kNever, .searchMs = 30000, .searchStatus = kWpsStatusOverlap, .statusBeforeSearch = true},
     EnrollmentOverlap, IndicatorOverlap, kWpsStatusOverlap, {}},
    {"OpenFails", {.openOk = false}, EnrollmentFailed, IndicatorFailure, std::nullopt, {"wps_open"}},
    {"TimeUsedUpInTheLoop", {.searchesBeforeFound = kNever, .searchMs = 25000}, EnrollmentFailed, IndicatorFailure,
     0u, {"wps_open", "wps_findAP", "wps_findAP", "wps_findAP", "wps_findAP", "wps_findAP", "wps_close"}},
    {"TimeUsedUpInTheCallback", {.searchesBeforeFound = kNever, .searchMs = 25000, .searchStatus = 5},
     EnrollmentFailed, IndicatorFailure, kWpsStatusTimeUp, {}},
    {"AccessPointNeverDescribed", {.searchMs = 20000, .getApOk = false}, EnrollmentFailed, IndicatorFailure,
     std::nullopt, {}},
    {"JoinNeverSucceeds", {.searchMs = 20000, .joinOk = false}, EnrollmentFailed, IndicatorFailure, std::nullopt, {}},
    {"CredentialsNotFetched", {.credentialsOk = false}, EnrollmentFailed, IndicatorFailure, std::nullopt,
     kFullSession},
    {"JoinAt119CredentialsAt121", {.joinReturnsAt = kStart + 119, .credentialsAt = kStart + 121}, EnrollmentFailed,
     IndicatorFailure, std::nullopt, kFullSession},
    {"CredentialsAtExactly120", {.joinReturnsAt = kStart + 119, .credentialsAt = kStart + 120}, EnrollmentSucceeded,
     IndicatorSuccess, std::nullopt, kFullSession},
    {"JoinedOnlyAfterTheTime", {.joinReturnsAt = kStart + 121}, EnrollmentFailed, IndicatorFailure, std::nullopt,
     {"wps_open", "wps_findAP", "wps_getAP", "wps_join", "wps_close"}},
    {"ClockSetBackCountsAsWithin", {.joinReturnsAt = kStart - 3600}, EnrollmentSucceeded, IndicatorSuccess,
     std::nullopt, kFullSession},
    {"ProfileNotHandedOverIsAFailure", {}, EnrollmentFailed, IndicatorFailure, std::nullopt, kFullSession, false},
    {"TempOnReFs", {}, EnrollmentSucceeded, IndicatorSuccess, std::nullopt, kFullSession, true, fake_folder_volume::kReFs},
    {"TempOnFat32", {}, EnrollmentFailed, IndicatorFailure, std::nullopt, kFullSession, true, fake_folder_volume::kFat32},
    {"TempOnExFat", {}, EnrollmentFailed, IndicatorFailure, std::nullopt, kFullSession, true, fake_folder_volume::kExFat},
    {"TempOnAShare", {}, EnrollmentFailed, IndicatorFailure, std::nullopt, kFullSession, true, fake_folder_volume::kRemoteNtfs},
};

class SessionOutcomeTest : public SessionTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(SessionOutcomeTest, PublishesExitCodeOneIndicatorAndDone)
{
    const OutcomeCase& c = GetParam();
    fake_wps::Play(c.script);
    fake_folder_volume::Set(c.volume);
    if (!c.atConsole)
        fake_console_user::SignOut();

    Start();
    EXPECT_EQ(WaitDone(), c.exitCode);
    EXPECT_EQ(GetFileAttributesW(profilePath_.c_str()) != INVALID_FILE_ATTRIBUTES, c.exitCode == EnrollmentSucceeded);
    WaitSessionThread();

    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(c.indicator));
    if (c.lastStatus) {
        EXPECT_EQ(g_service.LastStatus.load(), *c.lastStatus);
    }
    if (!c.calls.empty()) {
        EXPECT_EQ(fake_wps::Calls(), c.calls);
    }
    EXPECT_EQ(fake_wps::CallCount("wps_close"), c.script.openOk ? 1 : 0);
    EXPECT_EQ(fake_wps::LastReceived().callback, &WpsStatusCallback);
    EXPECT_FALSE(Signalled(g_service.DoneEvent));
    ExpectIdleAfterSession();
}

INSTANTIATE_TEST_SUITE_P(Outcomes, SessionOutcomeTest, ::testing::ValuesIn(kOutcomes), CaseName());

TEST_F(SessionTest, HandsTheChosenAccessPointFromCallToCallAndFillsTheCredential)
{
    memset(&g_service.Credential, 0xAB, sizeof(g_service.Credential));
    // The button monitor is held for the whole session.
    fake_wps::Play({.ap = {{0x02, 0x11, 0x22, 0x33, 0x44, 0x55}, "Kitchen", 0x5A},
                    .encryptionType = 8,
                    .onOpen = [this] { EXPECT_EQ(MonitorSuspendCount(), 1u); }});

    Start();
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));
    WaitSessionThread();
    EXPECT_STREQ(g_service.Credential.Ssid, "Kitchen");
    EXPECT_EQ(g_service.Credential.EncryptionType, 8u);
    EXPECT_EQ(g_service.SessionStart.load(), kStart);
    const fake_wps::Received received = fake_wps::LastReceived();
    EXPECT_EQ(received.callback, &WpsStatusCallback);
    EXPECT_EQ(std::vector<unsigned char>(received.bssid, received.bssid + 6), std::vector<unsigned char>(6, 0));
    EXPECT_EQ(received.ssid, "no AP found");
    EXPECT_EQ(received.joinValue, 1);
    EXPECT_EQ(received.credential, &g_service.Credential);
    EXPECT_TRUE(received.credentialCleared) << "cleared before the search";
}

TEST_F(SessionTest, CancelEndsASessionThatListensToTheCallbackAsCancelled)
{
    InstallSearchUntilStopped();
    Start();
    WaitEntered();
    fake_clock::AdvanceMs(10000);

    EXPECT_FALSE(CancelSession());
    EXPECT_FALSE(g_service.SessionRunning.load());
    EXPECT_EQ(parameters_.ExitCode(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_TRUE(Signalled(g_service.DoneEvent));
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorCancelled));
    EXPECT_EQ(g_service.LastStatus.load(), 0u);
    EXPECT_FALSE(g_service.SessionThread);
    EXPECT_EQ(fake_wps::CallCount("wps_close"), 1);
    ExpectIdleAfterSession();
}

TEST_F(SessionTest, CancelAfterAnOverlapReportKeepsTheOverlapButShowsCancelled)
{
    fake_wps::Play({.search = [this](int32_t* count) -> unsigned char {
        *count = 0;
        WpsStatusCallback(nullptr, kWpsStatusOverlap, nullptr);
        SetEvent(entered_.get());
        while (!g_service.AbortRequested.load())
            Sleep(1);
        return 0;
    }});
    Start();
    WaitEntered();

    EXPECT_FALSE(CancelSession());
    EXPECT_EQ(parameters_.ExitCode(), static_cast<DWORD>(EnrollmentOverlap));
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorCancelled));
    ExpectIdleAfterSession();
}

// The session reaches its own end just after CancelSession's wait ran out:
// its outcome stands and is not published a second time.
HANDLE g_racingSession;
HANDLE g_racingRelease;

TEST_F(SessionTest, ASessionEndingJustAfterTheWaitKeepsItsOwnOutcome)
{
    InstallHungSearch(kWpsStatusOverlap);
    Start();
    WaitEntered();

    g_racingSession = g_service.SessionThread.get();
    g_racingRelease = release_.get();
    fake_clock::TimeOutWaitsOn(g_racingSession);
    fake_clock::SetWaitHook([](unsigned long) {
        SetEvent(g_racingRelease);
        WaitForSingleObject(g_racingSession, kWatchdogMs);
    });
    EXPECT_FALSE(CancelSession());

    EXPECT_EQ(parameters_.ExitCode(), static_cast<DWORD>(EnrollmentOverlap));
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorCancelled));
    EXPECT_EQ(fake_wps::CallCount("wps_close"), 1);
    ExpectIdleAfterSession();
}

// The session is cut off inside its own publishing, in a wps_close that
// never returns: the cancel finishes that publishing, with the session's
// outcome, and takes no step a second time.
TEST_F(SessionTest, ASessionCutOffWhilePublishingItsEndIsPublishedOnce)
{
    fake_wps::Play({.onClose = [this] {
        // Only the first call hangs; a second one would be the fault itself.
        if (fake_wps::CallCount("wps_close") == 1) {
            SetEvent(entered_.get());
            WaitForSingleObject(release_.get(), INFINITE);
        }
    }});
    Start();
    WaitEntered();
    UniqueHandle session(CopyOf(g_service.SessionThread));
    fake_clock::TimeOutWaitsOn(g_service.SessionThread.get());

    EXPECT_FALSE(CancelSession());
    EXPECT_EQ(WaitForSingleObject(session.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorSuccess));
    EXPECT_EQ(parameters_.ExitCode(), static_cast<DWORD>(EnrollmentSucceeded));
    EXPECT_EQ(fake_wps::CallCount("wps_close"), 1);
    EXPECT_TRUE(Signalled(g_service.DoneEvent));
    ExpectIdleAfterSession();
    // A late cancel or a second publishing changes nothing.
    EXPECT_FALSE(PublishSessionEnd(EnrollmentFailed, IndicatorFailure));
    EXPECT_EQ(TakeIndicators(), 0u);
    EXPECT_FALSE(Signalled(g_service.DoneEvent));
}

TEST_F(SessionTest, CancelWithoutASessionDoesNothing)
{
    EXPECT_FALSE(CancelSession());
    ServiceControlHandler(CancelEnrollment);
    EXPECT_EQ(parameters_.ExitCode(), kExitCodeSentinel);
    EXPECT_FALSE(Signalled(g_service.DoneEvent));
    EXPECT_EQ(TakeIndicators(), 0u);
    EXPECT_TRUE(Signalled(g_service.ButtonEvent));
}

TEST_F(SessionTest, ASecondStartDuringASessionIsIgnoredAndANewOneIsAcceptedAfterItsEnd)
{
    InstallSearchUntilStopped();
    Start();
    WaitEntered();
    HANDLE first = g_service.SessionThread.get();

    Start();
    EXPECT_EQ(g_service.SessionThread.get(), first);
    EXPECT_EQ(MonitorSuspendCount(), 1u);
    EXPECT_EQ(fake_wps::CallCount("wps_open"), 1);

    ServiceControlHandler(CancelEnrollment);
    EXPECT_TRUE(Signalled(g_service.DoneEvent));
    TakeIndicators();

    fake_wps::Play({});
    Start();
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));
    WaitSessionThread();
    EXPECT_EQ(fake_wps::Calls(), kFullSession);
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorSuccess));
}

// The profile goes to whoever was at the console when the request was
// accepted, though another user signs in while the session runs.
TEST_F(SessionTest, TheUserAtTheConsoleWhenTheRequestWasAcceptedReceivesTheProfile)
{
    std::wstring otherTemp = consoleTemp_ + L"-other";
    CreateDirectoryW(otherTemp.c_str(), nullptr);
    fake_wps::Play({.onOpen = [&] { fake_console_user::SignIn(otherTemp); }});
    Start();
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentSucceeded));
    WaitSessionThread();
    EXPECT_NE(GetFileAttributesW(profilePath_.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(fake_console_user::Lookups(), 1);
    RemoveDirectoryW(otherTemp.c_str());
}

TEST_F(SessionTest, StartClearsAStaleCancelAndStatusAndResetsDone)
{
    g_service.AbortRequested.store(true);
    g_service.LastStatus.store(kWpsStatusOverlap);
    g_service.KeepSearching.store(false);
    SetEvent(g_service.DoneEvent.get());
    fake_wps::Play({.openOk = false, .onOpen = [] {
        EXPECT_FALSE(g_service.AbortRequested.load());
        EXPECT_TRUE(g_service.KeepSearching.load());
        EXPECT_TRUE(g_service.SessionRunning.load());
        EXPECT_EQ(g_service.LastStatus.load(), 0u);
        EXPECT_FALSE(Signalled(g_service.DoneEvent));
    }});
    Start();
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
    WaitSessionThread();
}

TEST_F(SessionTest, DoneIsSignalledEvenWhenExitCodeCannotBeWritten)
{
    parameters_.DeleteKey();
    fake_wps::Play({.openOk = false});
    Start();
    EXPECT_EQ(WaitForSingleObject(g_service.DoneEvent.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
    WaitSessionThread();
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorFailure));
    ExpectIdleAfterSession();
}

TEST_F(SessionTest, AnUnstartedSessionIsPublishedAsAFailureAtOnce)
{
    fake_thread_start::RefuseNext(1);
    Start();
    EXPECT_FALSE(g_service.SessionThread);
    EXPECT_EQ(parameters_.ExitCode(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_TRUE(Signalled(g_service.DoneEvent));
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorFailure));
    ExpectIdleAfterSession();
}

// From the idle mark on a start may be accepted, which resets the steps for
// its own end: the end that marked the service idle touches nothing after it.
TEST_F(SessionTest, AnEndTouchesNothingAfterItsIdleMark)
{
    g_service.SessionRunning.store(true);
    SuspendThread(g_service.MonitorThread.get());
    // Once, as the start that follows would.
    g_afterSessionIdle = [] {
        g_afterSessionIdle = nullptr;
        ResetSessionEnd();
    };
    PublishSessionEnd(EnrollmentFailed, IndicatorFailure);
    EXPECT_EQ(g_service.SessionEndSteps.load(), 0);
    EXPECT_EQ(g_service.SessionOutcome.load(), 0u);
}

TEST_F(SessionTest, CancelTerminatesAHungSessionAfterFiveSecondsAndPublishesAFailure)
{
    InstallHungSearch();
    Start();
    WaitEntered();
    int64_t before = fake_clock::Seconds();
    UniqueHandle session(CopyOf(g_service.SessionThread));
    fake_clock::TimeOutWaitsOn(g_service.SessionThread.get());

    EXPECT_TRUE(CancelSession());
    EXPECT_GE(fake_clock::Seconds() - before, 5);
    EXPECT_EQ(parameters_.ExitCode(), static_cast<DWORD>(EnrollmentFailed));
    EXPECT_TRUE(Signalled(g_service.DoneEvent));
    EXPECT_FALSE(Signalled(g_service.DoneEvent));
    EXPECT_EQ(TakeIndicators(), Bit(IndicatorBusy) | Bit(IndicatorFailure));
    EXPECT_EQ(fake_wps::CallCount("wps_close"), 1);
    EXPECT_FALSE(g_service.SessionThread);
    ExpectIdleAfterSession();
    // Under Wine a terminated thread can hold up the start of the next one
    // for a while; let it be gone before other tests start threads.
    EXPECT_EQ(WaitForSingleObject(session.get(), kWatchdogMs), static_cast<DWORD>(WAIT_OBJECT_0));
}

// The status callback, called by the library on any thread.

struct CallbackCase {
    const char* name;
    int64_t secondsIntoSession;
    bool abort;
    bool keepSearching;
    uint32_t status;
    bool answer;
    uint32_t lastStatus;
    bool keepSearchingAfter;
};

const CallbackCase kCallbackCases[] = {
    {"RecordsAssociating", 10, false, true, kWpsStatusAssociating, true, kWpsStatusAssociating, true},
    {"RecordsAnyOtherCode", 10, false, true, 1234, true, 1234, true},
    {"AnswersKeepSearching", 10, false, false, 21, false, 21, false},
    {"AtExactly120SecondsStillWithin", 120, false, true, 10, true, 10, true},
    {"After120SecondsStopsAndRecords18", 121, false, true, 10, false, kWpsStatusTimeUp, false},
    {"ClockSetBackIsWithin", -86400, false, true, 10, true, 10, true},
    {"AbortStopsAndRecords0", 10, true, true, 10, false, 0, true},
    {"TimeUpWinsOverAbort", 130, true, true, 10, false, kWpsStatusTimeUp, false},
};

class StatusCallbackTest : public ServiceStateTest, public ::testing::WithParamInterface<CallbackCase> {};

TEST_P(StatusCallbackTest, AnswersAndRecords)
{
    const CallbackCase& c = GetParam();
    g_service.SessionStart.store(kStart);
    g_service.LastStatus.store(77);
    g_service.AbortRequested.store(c.abort);
    g_service.KeepSearching.store(c.keepSearching);
    fake_clock::SetSeconds(kStart + c.secondsIntoSession);
    char network[] = "HomeNet";

    EXPECT_EQ(WpsStatusCallback(nullptr, c.status, network) != 0, c.answer);
    EXPECT_EQ(g_service.LastStatus.load(), c.lastStatus);
    EXPECT_EQ(g_service.KeepSearching.load(), c.keepSearchingAfter);
}

INSTANTIATE_TEST_SUITE_P(Codes, StatusCallbackTest, ::testing::ValuesIn(kCallbackCases), CaseName());

} // namespace

// The request worker with the fake clock, the fake service and the test's own
// DoneEvent: the 122-second limit in calendar seconds, completions that come
// between waits or during the request, the outcomes the service can report,
// aborts, and requests that are never made.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_support.h"
#include "case_name.h"
#include "contract.h"
#include "fake_clock.h"
#include "fake_profile_applier.h"
#include "fake_service.h"
#include "main_dialog.h"

namespace {

constexpr int64_t kStartSeconds = 1'700'000'000;
const std::vector<DWORD> kRequestOnly = {StartEnrollment};
const std::vector<DWORD> kRequestAndCancel = {StartEnrollment, CancelEnrollment};

// What the test does at the end of a timed-out slice, by slice number (1 = first).
std::function<void(int slice)> g_atSlice;
int g_slices = 0;

void CountSlice(unsigned long milliseconds)
{
    EXPECT_EQ(milliseconds, 300u);
    ++g_slices;
    if (g_atSlice)
        g_atSlice(g_slices);
}

class RequestWorkerTest : public ::testing::Test {
public:
    void SetUp() override
    {
        fake_clock::Reset(kStartSeconds);
        fake_clock::SetWaitHook(CountSlice);
        g_slices = 0;
        g_atSlice = nullptr;
        fake_service::Reset();
        fake_applier::Reset(true);
        g_bAbortWorker.store(false);

        // The agent holds the events with wait access only; the test signals through its own.
        done_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        dialog_.m_hDoneEvent.reset(fake_service::WaitOnlyHandle(done_.get()));
        // A slice that finds no completion takes no real time at all.
        fake_clock::TimeOutWaitsOn(dialog_.m_hDoneEvent.get(), fake_clock::kEveryWait);
        path_ = bench::TempFolder() + L"\\tolvek_request_" + std::to_wstring(GetCurrentProcessId()) + L".xml";
        wcscpy_s(dialog_.m_szProfilePath, path_.c_str());
        // A file of an earlier request, and the service's own once asked.
        WriteHandOff();
        fake_service::OnSend([this](DWORD code) {
            if (code == StartEnrollment)
                WriteHandOff();
        });
        key_.SetExitCode(EnrollmentFailed);
    }
    void TearDown() override
    {
        blocker_.reset();
        DeleteFileW(path_.c_str());
        RemoveDirectoryW(path_.c_str());
        g_atSlice = nullptr;
        fake_service::Reset();
    }

    void HoldOpen(DWORD share)
    {
        blocker_.reset(CreateFileW(path_.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING, 0, nullptr));
    }
    void WriteHandOff() { EXPECT_TRUE(bench::WriteBytes(path_, "")); }

    void Run() { EnrollmentWorker(&dialog_); }

    // The service finishing: ExitCode first, then DoneEvent.
    void Finish(DWORD exitCode)
    {
        key_.SetExitCode(exitCode);
        SetEvent(done_.get());
    }

    ParametersKeyScope key_;
    CMainDlg dialog_;
    UniqueHandle done_;
    std::wstring path_;
    UniqueFileHandle blocker_; // holds the hand-off file open
};

struct LimitCase {
    const char* name;
    int shiftAtSlice; // 0: the clock runs on undisturbed
    int64_t shiftSeconds;
    int slices; // timed-out slices until the worker gives up
};

class RequestLimitTest : public RequestWorkerTest, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(RequestLimitTest, EndsAtTheFirstSliceThatShowsMoreThan122SecondsWithOneCancel)
{
    const LimitCase& c = GetParam();
    g_atSlice = [&](int slice) {
        if (slice == c.shiftAtSlice)
            fake_clock::AdvanceMs(c.shiftSeconds * 1000);
    };

    Run();

    EXPECT_EQ(g_slices, c.slices);
    EXPECT_GE(fake_clock::Seconds() - kStartSeconds, 123);
    EXPECT_EQ(dialog_.m_nResult, EnrollmentFailed);
    EXPECT_EQ(fake_service::SentCodes(), kRequestAndCancel);
    EXPECT_TRUE(fake_applier::Calls().empty());
    EXPECT_TRUE(bench::IsPresent(path_));
}

INSTANTIATE_TEST_SUITE_P(
    Clock, RequestLimitTest,
    ::testing::Values(LimitCase{"NoCompletion", 0, 0, 410},
                      LimitCase{"SetBackFiftySeconds", 10, -50, 577},
                      LimitCase{"SetBackBeforeTheStart", 1, -1000, 3744},
                      LimitCase{"SetForwardPastTheLimit", 10, 200, 10},
                      LimitCase{"SetForwardTo123Seconds", 10, 120, 10},
                      LimitCase{"SetForwardTo122Seconds", 10, 119, 14}), CaseName());

enum class Report { Dword, Qword, Word, Missing, KeyGone };

struct OutcomeCase {
    const char* name;
    Report report;
    DWORD exitCode;
    bool applyAccepts;
    LONG result;
    bool applied; // and the file deleted afterwards
};

class OutcomeTest : public RequestWorkerTest, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(OutcomeTest, TheServicesReportDecidesTheResultAndTheApply)
{
    const OutcomeCase& c = GetParam();
    fake_applier::Reset(c.applyAccepts);
    g_atSlice = [&](int slice) {
        if (slice != 4)
            return;
        uint64_t wide = c.exitCode;
        WORD narrow = static_cast<WORD>(c.exitCode);
        switch (c.report) {
        case Report::Dword:
            key_.SetExitCode(c.exitCode);
            break;
        case Report::Qword:
            key_.SetRaw(kExitCodeValue, REG_QWORD, &wide, sizeof(wide));
            break;
        case Report::Word:
            key_.SetRaw(kExitCodeValue, REG_BINARY, &narrow, sizeof(narrow));
            break;
        case Report::Missing:
            key_.Delete(kExitCodeValue);
            break;
        case Report::KeyGone:
            key_.DeleteKey();
            break;
        }
        SetEvent(done_.get());
    };

    Run();

    EXPECT_EQ(dialog_.m_nResult, c.result);
    EXPECT_EQ(g_slices, 4);
    EXPECT_EQ(fake_service::SentCodes(), kRequestOnly);
    std::vector<fake_applier::Call> calls = fake_applier::Calls();
    if (c.applied) {
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].path, path_);
        EXPECT_TRUE(calls[0].fileExisted);
        EXPECT_FALSE(bench::IsPresent(path_));
    } else {
        EXPECT_TRUE(calls.empty());
        EXPECT_TRUE(bench::IsPresent(path_)) << "a failed request leaves the service's file alone";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Reports, OutcomeTest,
    ::testing::Values(OutcomeCase{"Success", Report::Dword, 0, true, EnrollmentSucceeded, true},
                      OutcomeCase{"SuccessButTheProfileIsRefused", Report::Dword, 0, false, EnrollmentFailed, true},
                      OutcomeCase{"Failure", Report::Dword, 1, true, EnrollmentFailed, false},
                      OutcomeCase{"Overlap", Report::Dword, 2, true, EnrollmentOverlap, false},
                      OutcomeCase{"OutOfContract", Report::Dword, 7, true, 7, false},
                      OutcomeCase{"EightBytes", Report::Qword, 0, true, EnrollmentFailed, false},
                      OutcomeCase{"TwoBytes", Report::Word, 0, true, EnrollmentFailed, false},
                      OutcomeCase{"NoExitCode", Report::Missing, 0, true, EnrollmentFailed, false},
                      OutcomeCase{"KeyGoneBeforeTheRead", Report::KeyGone, 0, true, EnrollmentFailed, false}),
    CaseName());

TEST_F(RequestWorkerTest, TheStaleFileIsGoneAndPathIsInTheKeyWithItsTerminatorBeforeTheRequestIsSent)
{
    key_.Delete(kPathValue);
    ParameterValue seen;
    bool staleFile = true;
    fake_service::OnSend([&](DWORD code) {
        if (code == StartEnrollment) {
            seen = ReadParameterValue(kPathValue);
            staleFile = bench::IsPresent(path_);
        }
    });
    g_atSlice = [&](int) { Finish(EnrollmentOverlap); };

    Run();

    EXPECT_FALSE(staleFile);
    ASSERT_TRUE(seen.present);
    EXPECT_EQ(seen.type, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(seen.data.size(), (path_.size() + 1) * sizeof(wchar_t));
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(seen.data.data()), path_.size() + 1), path_ + L'\0');
}

TEST_F(RequestWorkerTest, ACompletionBetweenTwoWaitsIsNotLost)
{
    // Signalled just after the third slice timed out: the fourth wait takes it.
    g_atSlice = [&](int slice) {
        if (slice == 3)
            Finish(EnrollmentOverlap);
    };
    Run();
    EXPECT_EQ(g_slices, 3);
    EXPECT_EQ(dialog_.m_nResult, EnrollmentOverlap);
    EXPECT_EQ(fake_service::SentCodes(), kRequestOnly);
}

TEST_F(RequestWorkerTest, ASessionThatEndsBeforeTheRequestReturnsIsNotLost)
{
    // A session whose library fails to open reports before ControlService returns.
    fake_service::OnSend([&](DWORD code) {
        if (code == StartEnrollment)
            Finish(EnrollmentOverlap);
    });
    Run();
    EXPECT_EQ(g_slices, 0);
    EXPECT_EQ(dialog_.m_nResult, EnrollmentOverlap);
    EXPECT_EQ(fake_service::SentCodes(), kRequestOnly);
}

TEST_F(RequestWorkerTest, AStaleCompletionFromBeforeTheRequestIsDropped)
{
    SetEvent(done_.get());
    g_atSlice = [&](int slice) {
        if (slice == 2)
            Finish(EnrollmentOverlap);
    };
    Run();
    EXPECT_EQ(g_slices, 2);
    EXPECT_EQ(dialog_.m_nResult, EnrollmentOverlap);
}

TEST_F(RequestWorkerTest, AnAbortDuringTheWaitEndsBeforeTheNextSliceAndLeavesTheResult)
{
    // The service finishes at the same moment: an abort must win over it.
    g_atSlice = [&](int slice) {
        if (slice == 5) {
            g_bAbortWorker.store(true);
            Finish(EnrollmentOverlap);
        }
    };
    Run();
    EXPECT_EQ(g_slices, 5);
    EXPECT_EQ(dialog_.m_nResult, EnrollmentSucceeded);
    EXPECT_EQ(fake_service::SentCodes(), kRequestOnly);
    EXPECT_TRUE(fake_applier::Calls().empty());
    EXPECT_EQ(WaitForSingleObject(done_.get(), 0), WAIT_OBJECT_0) << "the completion was not consumed";
}

TEST_F(RequestWorkerTest, AnAbortBeforeTheStartMakesNoRequest)
{
    key_.Delete(kPathValue);
    g_bAbortWorker.store(true);
    Run();
    EXPECT_FALSE(ReadParameterValue(kPathValue).present);
    EXPECT_TRUE(fake_service::SentCodes().empty());
    EXPECT_EQ(g_slices, 0);
}

struct NoRequestCase {
    const char* name;
    std::function<void(RequestWorkerTest&, CMainDlg&, ParametersKeyScope&)> arrange;
};

class NoRequestTest : public RequestWorkerTest, public ::testing::WithParamInterface<NoRequestCase> {};

TEST_P(NoRequestTest, FailsAtOnceWithoutAskingTheService)
{
    dialog_.m_nResult = 5;
    GetParam().arrange(*this, dialog_, key_);
    Run();
    EXPECT_EQ(dialog_.m_nResult, EnrollmentFailed);
    EXPECT_TRUE(fake_service::SentCodes().empty());
    EXPECT_EQ(g_slices, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, NoRequestTest,
    ::testing::Values(
        NoRequestCase{"NoUsablePath", [](RequestWorkerTest&, CMainDlg& d, ParametersKeyScope&) {
                          d.m_szProfilePath[0] = L'\0';
                      }},
        NoRequestCase{"NoParametersKey", [](RequestWorkerTest&, CMainDlg&, ParametersKeyScope& k) { k.DeleteKey(); }},
        NoRequestCase{"DoneEventNotOpen", [](RequestWorkerTest&, CMainDlg& d, ParametersKeyScope&) {
                          d.m_hDoneEvent.reset();
                      }},
        // A file at the path that stays there would pass for the service's answer.
        NoRequestCase{"StaleFileHeldOpen",
                      [](RequestWorkerTest& t, CMainDlg&, ParametersKeyScope&) { t.HoldOpen(FILE_SHARE_READ); }},
        // Wine keeps the name of a file deleted while open until its last handle closes.
        NoRequestCase{"StaleFileDeletePending", [](RequestWorkerTest& t, CMainDlg&,
                                                   ParametersKeyScope&) { t.HoldOpen(FILE_SHARE_DELETE); }},
        NoRequestCase{"AFolderAtThePath", [](RequestWorkerTest& t, CMainDlg&, ParametersKeyScope&) {
                          DeleteFileW(t.path_.c_str());
                          CreateDirectoryW(t.path_.c_str(), nullptr);
                      }}), CaseName());

TEST_F(RequestWorkerTest, AFailedWaitEndsInFailureWithoutACancel)
{
    // The handle goes bad under the worker once the request is out.
    fake_service::OnSend([&](DWORD) { CloseHandle(dialog_.m_hDoneEvent.release()); });
    Run();
    EXPECT_EQ(dialog_.m_nResult, EnrollmentFailed);
    EXPECT_EQ(fake_service::SentCodes(), kRequestOnly);
    EXPECT_EQ(g_slices, 0);
}

} // namespace

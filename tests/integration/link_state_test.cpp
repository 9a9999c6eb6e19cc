// The service's link poll under Wine's SCM, seen through the Native Wifi
// stand-in that lies beside it: what it was asked, when, and what it answered.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "service_bench.h"
#include "contract.h"
#include "parameters_key.h"
#include "wlan_test_bench.h"

using namespace wlan_test;

namespace {

using bench::Testbed;

// The service's calls of one function, oldest first.
std::vector<WlanCall> ServiceCalls(const wchar_t* function)
{
    return bench::WlanCallsOf(L"saddrin.exe", function);
}

bool WaitForPolls(size_t count, DWORD timeoutMs)
{
    return bench::WaitFor([&] { return ServiceCalls(L"WlanQueryInterface").size() >= count; }, timeoutMs, 50);
}

// The first poll that began after tick, or none within timeoutMs.
bool NextPollAfter(ULONGLONG tick, WlanCall& poll, DWORD timeoutMs = 3000)
{
    return bench::WaitFor(
        [&] {
            for (const WlanCall& call : ServiceCalls(L"WlanQueryInterface")) {
                if (call.tick > tick) {
                    poll = call;
                    return true;
                }
            }
            return false;
        },
        timeoutMs, 20);
}

bool AnswersSecuredLink(const WlanCall& poll)
{
    return poll.result == 0 && poll.details.find(L"state=connected security=1") != std::wstring::npos;
}

class LinkPollTest : public bench::ServiceBench {
protected:
    void SetUp() override
    {
        ServiceBench::SetUp();
        bench::PlugAdapter();
    }
};

TEST_F(LinkPollTest, SecuredLinkAtStartIsSeenAboutOneSecondAfterStartThenOnceASecond)
{
    Testbed(L"wlan connect 0 HomeNet");
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForPolls(4, 8000));

    // The stand-in beside the service, not Wine's own, is what the service
    // under the SCM loaded: it logged the service's attach from there.
    std::vector<WlanCall> polls = ServiceCalls(L"WlanQueryInterface");
    std::vector<WlanCall> attach;
    for (const WlanCall& call : ReadWlanCalls(WlanCallLogFile(bench::Records())))
        if (call.processId == polls[0].processId && call.function == L"attach")
            attach.push_back(call);
    ASSERT_EQ(attach.size(), 1u);
    EXPECT_EQ(_wcsicmp(attach[0].details.c_str(), bench::InstalledFile(L"wlanapi.dll").c_str()), 0)
        << ToBytes(attach[0].details);

    EXPECT_TRUE(AnswersSecuredLink(polls[0])) << ToBytes(polls[0].details);
    // Never sooner than a second apart; load may only make them later.
    EXPECT_GE(polls[0].tick - attach[0].tick, 950u);
    for (size_t i = 1; i < polls.size(); ++i)
        EXPECT_GE(polls[i].tick - polls[i - 1].tick, 950u);
    // The adapter is looked up once; every poll has its own client handle.
    EXPECT_EQ(ServiceCalls(L"WlanEnumInterfaces").size(), 1u);
    ASSERT_TRUE(bench::StopService());
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, attach[0].processId);
    if (process) {
        WaitForSingleObject(process, 5000);
        CloseHandle(process);
    }
    std::vector<WlanCall> service = CallsOf(attach[0].processId, WlanCallLogFile(bench::Records()));
    ExpectBalanced(service);
}

TEST_F(LinkPollTest, ChangesAreSeenAtTheNextPollAndUnplugNeedsNoNewLookup)
{
    Testbed(L"wlan connect 0 HomeNet");
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForPolls(1, 5000));

    // The first poll that begins after the change reports it.
    Testbed(L"wlan security 0 off");
    WlanCall poll;
    ASSERT_TRUE(NextPollAfter(GetTickCount64(), poll));
    EXPECT_NE(poll.details.find(L"security=0"), std::wstring::npos) << ToBytes(poll.details);

    Testbed(L"wlan connect 0 HomeNet");
    Testbed(L"wlan unplug 0");
    ASSERT_TRUE(NextPollAfter(GetTickCount64(), poll));
    EXPECT_EQ(poll.result, static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_EQ(ServiceCalls(L"WlanEnumInterfaces").size(), 1u);

    Testbed(L"wlan replug 0");
    Testbed(L"wlan connect 0 HomeNet");
    ASSERT_TRUE(NextPollAfter(GetTickCount64(), poll));
    EXPECT_TRUE(AnswersSecuredLink(poll)) << ToBytes(poll.details);
}

TEST_F(LinkPollTest, NoPollDuringASessionAndTheChangeIsSeenAtTheFirstPollAfterIt)
{
    Testbed(L"wlan connect 0 HomeNet");
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(WaitForPolls(1, 5000));

    const DWORD unset = 77;
    ASSERT_TRUE(WriteExitCode(unset));
    ULONGLONG sessionStart = GetTickCount64();
    ASSERT_TRUE(bench::SendControl(StartEnrollment));
    // Windows of two and a half poll periods: load only lengthens them. No
    // access point is in push-button mode, so the session is still searching.
    Sleep(1500);
    ASSERT_EQ(ReadExitCode(), unset);
    Testbed(L"wlan disconnect 0");
    Sleep(1200);
    ULONGLONG cancelSent = GetTickCount64();
    // At most the poll already under way when the session began.
    int during = 0;
    for (const WlanCall& call : ServiceCalls(L"WlanQueryInterface"))
        during += call.tick > sessionStart && call.tick < cancelSent;
    EXPECT_LE(during, 1) << "the link was polled during the session";

    ASSERT_TRUE(bench::SendControl(CancelEnrollment));
    WlanCall poll;
    // The first poll after the session comes after the cancel and sees the
    // change made during the session.
    ASSERT_TRUE(NextPollAfter(cancelSent, poll, 8000));
    EXPECT_EQ(poll.result, static_cast<DWORD>(ERROR_INVALID_STATE)) << ToBytes(poll.details);
    EXPECT_NE(poll.details.find(L"state=disconnected"), std::wstring::npos);
}

} // namespace

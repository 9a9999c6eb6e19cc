// Quorvel under Wine: one instance per session, hidden until a press, the
// service's events followed by presence, session lock, and the action button.
#include <gtest/gtest.h>

#include <windows.h>

#include "agent_bench.h"
#include "bench_support.h"
#include "contract.h"

using namespace agent_bench;

namespace {

constexpr UINT kReleaseMessage = WM_USER + 116;
constexpr UINT kSessionLock = 7;
constexpr UINT kSessionUnlock = 8;

// A poll every 300 ms; the rest is Wine's and the machine's slack.
constexpr DWORD kNoticeMs = 300 + 200;
constexpr DWORD kServiceCheckMs = 8000;

class AgentTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { bench::PrepareInstallDirectory(); }
    void TearDown() override { agent_.Stop(); }

    void ExpectIdleTexts()
    {
        HWND dialog = agent_.Window();
        EXPECT_EQ(WindowText(dialog), kIdleCaption);
        EXPECT_EQ(ItemText(dialog, kActionButton), kIdleButton);
        EXPECT_EQ(ItemText(dialog, kMessageText), kIdleMessage);
    }

    // The service with its events, and the agent watching them.
    void StartWatching(FakeService& service)
    {
        ASSERT_TRUE(service.installed());
        ASSERT_TRUE(service.CreateButtonEvent());
        ASSERT_TRUE(service.CreateDoneEvent());
        ASSERT_TRUE(agent_.Start());
        ASSERT_TRUE(agent_.WaitUntilWatching());
    }

    void PressAndExpectShown(FakeService& service)
    {
        ASSERT_TRUE(service.Press());
        ASSERT_TRUE(agent_.WaitVisible(true, kNoticeMs));
    }

    AgentProcess agent_;
};

TEST_F(AgentTest, ASecondStartInTheSessionEndsAtOnceWithoutAWindow)
{
    ASSERT_TRUE(agent_.Start());
    ASSERT_TRUE(agent_.WaitUntilWatching());

    AgentProcess second;
    ASSERT_TRUE(second.Start());
    ASSERT_EQ(WaitForSingleObject(second.process(), 10000), WAIT_OBJECT_0);
    EXPECT_EQ(second.ExitCode(), 0u);
    EXPECT_EQ(second.Window(), nullptr);
    EXPECT_TRUE(agent_.Running());
    EXPECT_FALSE(IsWindowVisible(agent_.Window()));
}

TEST_F(AgentTest, WithoutTheServiceItStaysHiddenAndOpensTheEventsOnceTheyAppear)
{
    bench::RemoveService();
    ASSERT_TRUE(agent_.Start());
    ASSERT_TRUE(agent_.WaitUntilWatching());
    EXPECT_FALSE(agent_.WaitVisible(true, 1000));
    ExpectIdleTexts();

    FakeService service;
    ASSERT_TRUE(service.installed());
    ASSERT_TRUE(service.CreateButtonEvent());
    ASSERT_TRUE(service.CreateDoneEvent());
    DWORD appeared = GetTickCount();
    ASSERT_TRUE(service.Press());
    // The press stays pending in the event until the agent has opened it.
    ASSERT_TRUE(agent_.WaitVisible(true, kServiceCheckMs + kNoticeMs + 500));
    EXPECT_LE(GetTickCount() - appeared, kServiceCheckMs + kNoticeMs);
    ExpectIdleTexts();
}

// While the service is installed but stopped, any user may create both names
// first. The agent takes such a pair for no service, at its start and at
// every check after, whatever the squatter signals.
TEST_F(AgentTest, EventsAnotherUserMadeWhileTheServiceIsStoppedShowNothing)
{
    FakeService squatter;
    ASSERT_TRUE(squatter.installed());
    ASSERT_TRUE(squatter.CreateButtonEvent(L"S-1-5-21-1111-2222-3333-4444"));
    ASSERT_TRUE(squatter.CreateDoneEvent(L"S-1-5-21-1111-2222-3333-4444"));
    ASSERT_TRUE(agent_.Start());
    ASSERT_TRUE(agent_.WaitUntilWatching());
    ASSERT_TRUE(squatter.Press());
    EXPECT_FALSE(agent_.WaitVisible(true, kServiceCheckMs + kNoticeMs + 500));
    EXPECT_TRUE(squatter.PressPending()) << "the agent took the squatter's press";
}

TEST_F(AgentTest, APressShowsTheDialogWithinAPollWithTheIdleTexts)
{
    FakeService service;
    StartWatching(service);
    DWORD pressed = GetTickCount();
    PressAndExpectShown(service);
    EXPECT_LE(GetTickCount() - pressed, kNoticeMs);
    ExpectIdleTexts();
    EXPECT_FALSE(service.PressPending());

    RECT window{};
    GetWindowRect(agent_.Window(), &window);
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    EXPECT_NEAR((window.left + window.right) / 2, (area.left + area.right) / 2, 2);
    EXPECT_NEAR((window.top + window.bottom) / 2, (area.top + area.bottom) / 2, 2);
}

TEST_F(AgentTest, CloseOkCancelAndEscapeNeverEndTheAgent)
{
    FakeService service;
    StartWatching(service);
    PressAndExpectShown(service);
    HWND dialog = agent_.Window();

    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    PostMessageW(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageW(dialog, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(agent_.WaitVisible(false, 600));
    EXPECT_TRUE(agent_.Running());

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(agent_.WaitVisible(false, 2000));
    EXPECT_EQ(WaitForSingleObject(agent_.process(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(AgentTest, ALockedSessionIgnoresPressesAndUnlockDropsThem)
{
    FakeService service;
    StartWatching(service);
    HWND dialog = agent_.Window();

    PostMessageW(dialog, WM_WTSSESSION_CHANGE, kSessionLock, 0);
    Sleep(100);
    ASSERT_TRUE(service.Press());
    EXPECT_FALSE(agent_.WaitVisible(true, 1000));

    PostMessageW(dialog, WM_WTSSESSION_CHANGE, kSessionUnlock, 0);
    EXPECT_FALSE(agent_.WaitVisible(true, 1000));
    EXPECT_FALSE(service.PressPending());

    // Watching again after the unlock.
    PressAndExpectShown(service);
}

TEST_F(AgentTest, TheActionButtonHidesTheDialogAndWatchesAgain)
{
    FakeService service;
    StartWatching(service);
    PressAndExpectShown(service);
    HWND dialog = agent_.Window();

    SendMessageW(GetDlgItem(dialog, kActionButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(agent_.WaitVisible(false, 2500));
    ExpectIdleTexts();

    DWORD pressed = GetTickCount();
    PressAndExpectShown(service);
    EXPECT_LE(GetTickCount() - pressed, kNoticeMs);
}

TEST_F(AgentTest, AHalfOpenPairIsOpenedAgainWhole)
{
    FakeService service;
    ASSERT_TRUE(service.installed());
    ASSERT_TRUE(service.CreateButtonEvent());
    ASSERT_TRUE(agent_.Start());
    ASSERT_TRUE(agent_.WaitUntilWatching());
    HWND dialog = agent_.Window();

    // Without DoneEvent no request can be awaited: failure at once.
    PressAndExpectShown(service);
    ASSERT_TRUE(bench::WaitFor([&] { return ItemText(dialog, kMessageText) == kFailureMessage; }, 1500));
    EXPECT_EQ(ItemText(dialog, kActionButton), kDismissButton);
    SendMessageW(GetDlgItem(dialog, kActionButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(agent_.WaitVisible(false, 2500));

    ASSERT_TRUE(service.CreateDoneEvent());
    Sleep(kServiceCheckMs + 500);
    PressAndExpectShown(service);
    // Now the request waits for the service.
    EXPECT_FALSE(bench::WaitFor([&] { return ItemText(dialog, kMessageText) != kIdleMessage; }, 1000));
    ExpectIdleTexts();
}

TEST_F(AgentTest, AfterTheReleaseMessageTheWindowLivesOnButPressesGoUnnoticed)
{
    FakeService service;
    StartWatching(service);
    HWND dialog = agent_.Window();

    PostMessageW(dialog, kReleaseMessage, 0, 0);
    Sleep(200);
    ASSERT_TRUE(service.Press());
    EXPECT_FALSE(agent_.WaitVisible(true, 1000));
    EXPECT_TRUE(agent_.Running());
    EXPECT_TRUE(IsWindow(dialog));
}

} // namespace

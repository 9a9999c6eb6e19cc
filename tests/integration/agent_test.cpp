// Quorvel under Wine: one instance per session, hidden until a press, the
// service's events followed by presence, session lock, and the action button.
// What must not happen is checked after the agent's next pass that would do
// it: its timer run at once, or a marker posted behind the messages.
#include <gtest/gtest.h>

#include <windows.h>

#include "agent_bench.h"
#include "bench_support.h"
#include "contract.h"
#include "main_dialog.h"
#include "parameters_key.h"

using namespace agent_bench;

namespace {

// For what must happen: far past the agent's longest period, its service
// check, so that only a hung agent reaches it, never a slow machine.
constexpr DWORD kPatienceMs = 3 * kServiceCheckMs;

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
        ASSERT_TRUE(agent_.StartHidden());
    }

    // By the agent's own poll.
    void PressAndExpectShown(FakeService& service)
    {
        ASSERT_TRUE(service.Press());
        ASSERT_TRUE(agent_.WaitVisible(true, kPatienceMs));
    }

    // A service check and the poll after it, neither of which may show the dialog.
    void ExpectHiddenAfterCheckAndPoll()
    {
        agent_.RunTimer(TIMER_SERVICE_CHECK);
        agent_.RunTimer(TIMER_BUTTON_POLL);
        EXPECT_FALSE(IsWindowVisible(agent_.Window()));
    }

    AgentProcess agent_;
};

TEST_F(AgentTest, ASecondStartInTheSessionEndsAtOnceWithoutAWindow)
{
    ASSERT_TRUE(agent_.StartHidden());

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
    ASSERT_TRUE(agent_.StartHidden());
    ExpectHiddenAfterCheckAndPoll();
    ExpectIdleTexts();

    FakeService service;
    ASSERT_TRUE(service.installed());
    ASSERT_TRUE(service.CreateButtonEvent());
    ASSERT_TRUE(service.CreateDoneEvent());
    ASSERT_TRUE(service.Press());
    // The press stays pending in the event until one of the agent's own
    // checks has opened it: the next one, whatever its phase, and a poll.
    ASSERT_TRUE(agent_.WaitVisible(true, 2 * kServiceCheckMs + kButtonPollMs));
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
    ASSERT_TRUE(agent_.StartHidden());
    ASSERT_TRUE(squatter.Press());
    ExpectHiddenAfterCheckAndPoll();
    EXPECT_TRUE(squatter.PressPending()) << "the agent took the squatter's press";
}

TEST_F(AgentTest, APressShowsTheDialogWithinAPollWithTheIdleTexts)
{
    FakeService service;
    StartWatching(service);
    ASSERT_TRUE(service.Press());
    agent_.RunTimer(TIMER_BUTTON_POLL);
    EXPECT_TRUE(IsWindowVisible(agent_.Window())) << "the first poll after the press did not show the dialog";
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
    ASSERT_TRUE(agent_.HandledPosted());
    EXPECT_TRUE(IsWindowVisible(dialog));

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    // Still handling messages after the close: it hid the dialog and no more.
    ASSERT_TRUE(agent_.HandledPosted());
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(agent_.Running());
    EXPECT_TRUE(IsWindow(dialog));
}

TEST_F(AgentTest, ALockedSessionIgnoresPressesAndUnlockDropsThem)
{
    FakeService service;
    StartWatching(service);
    HWND dialog = agent_.Window();

    SendMessageW(dialog, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    ASSERT_TRUE(service.Press());
    agent_.RunTimer(TIMER_BUTTON_POLL);
    EXPECT_FALSE(IsWindowVisible(dialog));

    SendMessageW(dialog, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_FALSE(service.PressPending());
    EXPECT_FALSE(IsWindowVisible(dialog));

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
    EXPECT_TRUE(agent_.WaitVisible(false, kPatienceMs));
    ExpectIdleTexts();

    PressAndExpectShown(service);
}

TEST_F(AgentTest, AHalfOpenPairIsOpenedAgainWhole)
{
    FakeService service;
    ASSERT_TRUE(service.installed());
    ASSERT_TRUE(service.CreateButtonEvent());
    ASSERT_TRUE(agent_.StartHidden());
    HWND dialog = agent_.Window();

    // Without DoneEvent no request can be awaited: failure at once.
    PressAndExpectShown(service);
    ASSERT_TRUE(bench::WaitFor([&] { return ItemText(dialog, kMessageText) == kFailureMessage; }, kPatienceMs));
    EXPECT_EQ(ItemText(dialog, kActionButton), kDismissButton);
    SendMessageW(GetDlgItem(dialog, kActionButton), BM_CLICK, 0, 0);
    ASSERT_TRUE(agent_.WaitVisible(false, kPatienceMs));

    ASSERT_TRUE(service.CreateDoneEvent());
    agent_.RunTimer(TIMER_SERVICE_CHECK);
    PressAndExpectShown(service);
    ExpectIdleTexts();
    // Now the request waits for the service, and ends with what it answers.
    ASSERT_TRUE(WriteExitCode(EnrollmentOverlap));
    ASSERT_TRUE(bench::WaitFor(
        [&] {
            service.Done();
            return ItemText(dialog, kMessageText) != kIdleMessage;
        },
        kPatienceMs));
    EXPECT_EQ(ItemText(dialog, kMessageText), kOverlapMessage);
}

TEST_F(AgentTest, AfterTheReleaseMessageTheWindowLivesOnButPressesGoUnnoticed)
{
    FakeService service;
    StartWatching(service);
    HWND dialog = agent_.Window();

    SendMessageW(dialog, WM_AGENT_RELEASE, 0, 0);
    ASSERT_TRUE(service.Press());
    agent_.RunTimer(TIMER_BUTTON_POLL);
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_TRUE(service.PressPending());
    EXPECT_TRUE(agent_.Running());
    EXPECT_TRUE(IsWindow(dialog));
}

} // namespace

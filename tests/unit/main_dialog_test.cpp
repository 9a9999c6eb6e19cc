// The main dialog in this process, holding the service's events with wait
// access only: the hand-off path, a press with no usable path, the result
// texts, the half-open event pair, the console session and the release message.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "access_entries.h"
#include "bench_support.h"
#include "case_name.h"
#include "contract.h"
#include "fake_clock.h"
#include "fake_service.h"
#include "fake_system_locale.h"
#include "localised_text.h"
#include "main_dialog.h"

namespace {

struct PathCase {
    const char* name;
    DWORD tempLength; // what GetTempPathW answered
    bool usable;
};

class ProfilePathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(ProfilePathTest, TheFileNameIsAppendedOnlyWhenItFits)
{
    const PathCase& c = GetParam();
    wchar_t path[kProfilePathUnits];
    std::wstring temp = L"C:\\" + std::wstring(c.tempLength > 4 ? c.tempLength - 4 : 0, L'a') + L"\\";
    if (c.tempLength <= kProfilePathUnits - 1 && c.tempLength >= 4)
        wcscpy_s(path, temp.c_str());
    else
        wmemset(path, L'x', kProfilePathUnits);
    AppendProfileFileName(path, c.tempLength);
    if (c.usable) {
        EXPECT_EQ(std::wstring(path), temp + L"wps_profile.xml");
        EXPECT_LT(wcslen(path), kProfilePathUnits);
    } else {
        EXPECT_EQ(path[0], L'\0');
    }
}

INSTANTIATE_TEST_SUITE_P(TempPaths, ProfilePathTest,
                         ::testing::Values(PathCase{"Short", 16, true},
                                           PathCase{"LongestThatFits", 496, true},
                                           PathCase{"OneUnitTooLong", 497, false},
                                           PathCase{"TemporaryPathFailed", 0, false},
                                           PathCase{"BufferTooSmallForTheTemporaryPath", 600, false}), CaseName());

TEST(ProfilePathTest, TheUsersTemporaryFolderIsUsed)
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    wchar_t path[kProfilePathUnits];
    ComposeProfilePath(path);
    EXPECT_EQ(std::wstring(path), std::wstring(temp, length) + L"wps_profile.xml");
}

DWORD WINAPI EndAtOnce(LPVOID)
{
    return 0;
}

// A worker's slice with no completion lasts until the dialog asks the worker
// to stop, as it would on a machine of any speed; the worker then ends by
// itself, never by the dialog's forced end.
void HoldSliceUntilAbort(unsigned long)
{
    for (DWORD held = 0; !g_bAbortWorker.load() && held < fake_clock::kWatchdogMs; ++held)
        Sleep(1);
}

class MainDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fake_clock::Reset();
        fake_clock::SetWaitHook(HoldSliceUntilAbort);
        fake_service::Reset();
        fake_service::SetConsoleSession(AtConsole());
        SetFakeSystemLocale(0x0409);
        g_Module.Init(GetModuleHandleW(nullptr));
        g_Module.AddMessageLoop(&loop_);
        g_bHideOnFirstShow = false;
        ASSERT_NE(dialog_.Create(nullptr), nullptr);
        // Whatever the service's state, the test's own events stand in for its pair.
        dialog_.CloseServiceEvents();
    }
    void TearDown() override
    {
        if (dialog_.m_hWnd)
            dialog_.DestroyWindow();
        g_Module.RemoveMessageLoop();
    }
    virtual bool AtConsole() { return true; }

    // The dialog gets wait access only, as the service grants; the test signals through its own handles.
    void GivePair()
    {
        button_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        done_.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        dialog_.m_hButtonEvent.reset(fake_service::WaitOnlyHandle(button_.get()));
        dialog_.m_hDoneEvent.reset(fake_service::WaitOnlyHandle(done_.get()));
    }
    void Press()
    {
        fake_clock::TimeOutWaitsOn(dialog_.m_hDoneEvent.get(), fake_clock::kEveryWait);
        SetEvent(button_.get());
        SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_BUTTON_POLL, 0);
    }
    static bool Pending(const UniqueHandle& event) { return WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0; }
    std::wstring TextOf(int control) { return bench::ItemText(dialog_.m_hWnd, control); }

    // A request writes Path here, and the fake service takes the control codes.
    ParametersKeyScope key_;
    CMessageLoop loop_;
    CMainDlg dialog_;
    UniqueHandle button_;
    UniqueHandle done_;
};

TEST_F(MainDialogTest, APressWithoutAUsablePathEndsAtOnceWithTheFailureText)
{
    GivePair();
    SetEvent(done_.get()); // a completion of some earlier request
    dialog_.m_szProfilePath[0] = L'\0';
    Press();
    EXPECT_FALSE(Pending(done_)) << "the stale completion was dropped at the press";
    ASSERT_TRUE(dialog_.m_hWorker);
    EXPECT_EQ(dialog_.m_nTimer, TIMER_WORKER_POLL);
    EXPECT_TRUE(IsWindowVisible(dialog_.m_hWnd));
    ASSERT_EQ(WaitForSingleObject(dialog_.m_hWorker.get(), 2000), WAIT_OBJECT_0);

    SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_WORKER_POLL, 0);
    EXPECT_FALSE(dialog_.m_hWorker);
    EXPECT_EQ(dialog_.m_nTimer, 0u);
    EXPECT_EQ(dialog_.m_nResult, 1);
    EXPECT_TRUE(fake_service::SentCodes().empty());
    EXPECT_EQ(TextOf(IDC_MESSAGE_TEXT), L"The connection could not be set up. Please try again.");
    EXPECT_EQ(TextOf(IDC_ACTION_BUTTON), L"Close");
}

TEST_F(MainDialogTest, WithAPathTheRequestRunsUntilTheActionButtonCancelsIt)
{
    GivePair();
    ASSERT_NE(dialog_.m_szProfilePath[0], L'\0');
    Press();
    ASSERT_TRUE(dialog_.m_hWorker);
    EXPECT_EQ(WaitForSingleObject(dialog_.m_hWorker.get(), 700), static_cast<DWORD>(WAIT_TIMEOUT));
    SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_WORKER_POLL, 0);
    EXPECT_TRUE(dialog_.m_hWorker);
    EXPECT_EQ(TextOf(IDC_MESSAGE_TEXT), L"Press the WPS button on your router or access point now.");

    SendMessageW(dialog_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_ACTION_BUTTON, BN_CLICKED), 0);
    EXPECT_FALSE(dialog_.m_hWorker);
    EXPECT_EQ(dialog_.m_nTimer, TIMER_BUTTON_POLL);
    EXPECT_FALSE(IsWindowVisible(dialog_.m_hWnd));
    EXPECT_EQ(fake_service::SentCodes(), (std::vector<DWORD>{StartEnrollment, CancelEnrollment}));
}

struct ResultCase {
    LONG result;
    const wchar_t* message;
    const wchar_t* button;
};

class ResultTextsTest : public MainDialogTest, public ::testing::WithParamInterface<ResultCase> {};

TEST_P(ResultTextsTest, TheEndedWorkersResultPicksTheTexts)
{
    const ResultCase& c = GetParam();
    dialog_.m_hWorker.reset(CreateThread(nullptr, 0, EndAtOnce, nullptr, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(dialog_.m_hWorker.get(), 2000), WAIT_OBJECT_0);
    dialog_.m_nResult = c.result;
    dialog_.m_nTimer = SetTimer(dialog_.m_hWnd, TIMER_WORKER_POLL, kWorkerPollMs, nullptr);

    SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_WORKER_POLL, 0);
    EXPECT_FALSE(dialog_.m_hWorker);
    EXPECT_EQ(dialog_.m_nTimer, 0u);
    EXPECT_FALSE(KillTimer(dialog_.m_hWnd, TIMER_WORKER_POLL)) << "timer 2 was stopped";
    EXPECT_EQ(GetForegroundWindow(), dialog_.m_hWnd);
    EXPECT_EQ(TextOf(IDC_MESSAGE_TEXT), c.message);
    EXPECT_EQ(TextOf(IDC_ACTION_BUTTON), c.button);
}

INSTANTIATE_TEST_SUITE_P(
    Results, ResultTextsTest,
    ::testing::Values(ResultCase{0, L"The network is set up. Your computer is joining it now.", L"Close"},
                      ResultCase{1, L"The connection could not be set up. Please try again.", L"Close"},
                      ResultCase{2, L"More than one access point is in push-button mode. Please try again later.",
                                 L"Close"},
                      // Out of contract: the idle texts stay.
                      ResultCase{7, L"Press the WPS button on your router or access point now.", L"Cancel"}));

TEST_F(MainDialogTest, AHalfOpenPairIsClosedAtTheNextServiceCheck)
{
    for (int held = 0; held < 2; ++held) {
        GivePair();
        if (held == 0)
            dialog_.m_hDoneEvent.reset();
        else
            dialog_.m_hButtonEvent.reset();
        SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_SERVICE_CHECK, 0);
        // Either both reopened (the service is there) or both closed.
        EXPECT_EQ(!dialog_.m_hButtonEvent, !dialog_.m_hDoneEvent) << held;
        dialog_.CloseServiceEvents();
    }
}

TEST_F(MainDialogTest, WhileAWorkerExistsTheServiceCheckLeavesAHalfOpenPairAlone)
{
    // The worker reads m_hDoneEvent on its own thread; an ended one exists until collected.
    for (int held = 0; held < 2; ++held) {
        GivePair();
        (held == 0 ? dialog_.m_hDoneEvent : dialog_.m_hButtonEvent).reset();
        HANDLE button = dialog_.m_hButtonEvent.get();
        HANDLE done = dialog_.m_hDoneEvent.get();
        dialog_.m_hWorker.reset(CreateThread(nullptr, 0, EndAtOnce, nullptr, 0, nullptr));
        SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_SERVICE_CHECK, 0);
        EXPECT_EQ(dialog_.m_hButtonEvent.get(), button) << held;
        EXPECT_EQ(dialog_.m_hDoneEvent.get(), done) << held;
        dialog_.m_hWorker.reset();
    }
}

TEST_F(MainDialogTest, WithTheServiceGoneThePairIsClosedOnlyOnceNoWorkerWaitsOnIt)
{
    if (CMainDlg::IsServicePresent())
        GTEST_SKIP() << "the service is installed here";
    GivePair();
    Press();
    ASSERT_TRUE(dialog_.m_hWorker);
    SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_SERVICE_CHECK, 0);
    EXPECT_TRUE(dialog_.m_hButtonEvent);
    EXPECT_TRUE(dialog_.m_hDoneEvent);

    SendMessageW(dialog_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_ACTION_BUTTON, BN_CLICKED), 0);
    SendMessageW(dialog_.m_hWnd, WM_TIMER, TIMER_SERVICE_CHECK, 0);
    EXPECT_FALSE(dialog_.m_hButtonEvent);
    EXPECT_FALSE(dialog_.m_hDoneEvent);
}

// Moved to a monitor at 150 %: icons of that size replace the old ones, which
// are freed, and the window takes the place Windows suggests.
TEST_F(MainDialogTest, ADpiChangeReplacesTheIconsAndTakesTheSuggestedPlace)
{
    struct {
        WPARAM which;
        int metric;
        HICON old;
    } icons[] = {{ICON_BIG, SM_CXICON, nullptr}, {ICON_SMALL, SM_CXSMICON, nullptr}};
    for (auto& icon : icons)
        icon.old = reinterpret_cast<HICON>(SendMessageW(dialog_.m_hWnd, WM_GETICON, icon.which, 0));
    HDC screen = GetDC(nullptr);
    UINT dpi = GetDeviceCaps(screen, LOGPIXELSY) * 3 / 2;
    ReleaseDC(nullptr, screen);
    RECT suggested{40, 30, 40 + 600, 30 + 200};
    SendMessageW(dialog_.m_hWnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));

    for (const auto& icon : icons) {
        auto now = reinterpret_cast<HICON>(SendMessageW(dialog_.m_hWnd, WM_GETICON, icon.which, 0));
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(now, &info)) << icon.which;
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(icon.metric) * 3 / 2) << icon.which;
        EXPECT_FALSE(GetIconInfo(icon.old, &info)) << "the old icon was freed: " << icon.which;
    }
    RECT window{};
    GetWindowRect(dialog_.m_hWnd, &window);
    EXPECT_TRUE(EqualRect(&window, &suggested));
}

struct SessionCase {
    const char* name;
    bool atConsole; // what the session lookup answers throughout
    std::vector<WPARAM> changes;
    bool pressDropped; // the press made before the changes
    bool watching;
};

class SessionTest : public MainDialogTest, public ::testing::WithParamInterface<SessionCase> {
protected:
    bool AtConsole() override { return GetParam().atConsole; }
};

TEST_P(SessionTest, OnlyTheSessionAtTheConsoleTakesPresses)
{
    const SessionCase& c = GetParam();
    GivePair();
    SetEvent(button_.get());
    for (WPARAM change : c.changes)
        SendMessageW(dialog_.m_hWnd, WM_WTSSESSION_CHANGE, change, 0);
    EXPECT_EQ(!Pending(button_), c.pressDropped);
    EXPECT_EQ(dialog_.m_bSuspended, !c.watching);
    EXPECT_EQ(KillTimer(dialog_.m_hWnd, TIMER_BUTTON_POLL) != FALSE, c.watching) << "timer 1 runs";

    dialog_.m_szProfilePath[0] = L'\0'; // a request that ends at once
    Press();
    EXPECT_EQ(static_cast<bool>(dialog_.m_hWorker), c.watching);
    EXPECT_EQ(Pending(button_), !c.watching);
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, SessionTest,
    ::testing::Values(SessionCase{"AtTheConsole", true, {}, false, true},
                      SessionCase{"RemoteStartsSuspended", false, {}, false, false},
                      SessionCase{"RemoteResumesOnConsoleConnect", false, {WTS_CONSOLE_CONNECT}, true, true},
                      SessionCase{"RemoteStaysSuspendedAfterUnlock", false, {WTS_SESSION_LOCK, WTS_SESSION_UNLOCK},
                                  false, false},
                      SessionCase{"ConsoleResumesAfterUnlock", true, {WTS_SESSION_LOCK, WTS_SESSION_UNLOCK}, true,
                                  true}), CaseName());

TEST_F(MainDialogTest, ReleaseStopsTheWorkerAndClosesThePairButKeepsTheWindow)
{
    GivePair();
    Press();
    ASSERT_TRUE(dialog_.m_hWorker);
    SendMessageW(dialog_.m_hWnd, WM_AGENT_RELEASE, 0, 0);
    EXPECT_FALSE(dialog_.m_hWorker);
    EXPECT_FALSE(dialog_.m_hButtonEvent);
    EXPECT_FALSE(dialog_.m_hDoneEvent);
    EXPECT_EQ(dialog_.m_nTimer, 0u);
    EXPECT_TRUE(IsWindow(dialog_.m_hWnd));
    EXPECT_TRUE(g_bAbortWorker.load());
}

// A session that ends, or Restart Manager closing us for an installer, ends
// the agent: worker stopped, pair closed, window gone, message loop told to end.
struct EndSessionCase {
    const char* name;
    WPARAM ending;
    LPARAM reason;
    bool ends;
};

class EndSessionTest : public MainDialogTest, public ::testing::WithParamInterface<EndSessionCase> {};

TEST_P(EndSessionTest, TheAgentEndsOnlyWhenTheSessionReallyEnds)
{
    const EndSessionCase& c = GetParam();
    GivePair();
    Press();
    HWND window = dialog_.m_hWnd;
    SendMessageW(window, WM_ENDSESSION, c.ending, c.reason);

    MSG quit{};
    EXPECT_EQ(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE, c.ends);
    EXPECT_EQ(IsWindow(window) != FALSE, !c.ends);
    EXPECT_EQ(static_cast<bool>(dialog_.m_hWorker), !c.ends);
    EXPECT_EQ(static_cast<bool>(dialog_.m_hButtonEvent), !c.ends);
}

// Closed by an installer, the agent is started again; after a reboot, only
// the logon starts it, so it never runs twice in a session.
TEST_F(MainDialogTest, AsksRestartManagerForARestartOnlyWithoutAReboot)
{
    EXPECT_EQ(fake_service::RestartRegistrations(), std::vector<DWORD>{RESTART_NO_REBOOT});
}

INSTANTIATE_TEST_SUITE_P(Reasons, EndSessionTest,
                         ::testing::Values(EndSessionCase{"LogOff", TRUE, static_cast<LPARAM>(ENDSESSION_LOGOFF), true},
                                           EndSessionCase{"ShutDown", TRUE, 0, true},
                                           EndSessionCase{"InstallerClosesUs", TRUE, ENDSESSION_CLOSEAPP, true},
                                           EndSessionCase{"EndingCancelled", FALSE, 0, false}), CaseName());

// The pair under the service's names, owned by whom the row names (an SDDL
// owner; empty: the token's default owner, as a user's own would be).
struct OwnerCase {
    const char* name;
    const wchar_t* owner;
    bool kept;
};

class EventOwnerTest : public MainDialogTest, public ::testing::WithParamInterface<OwnerCase> {};

TEST_P(EventOwnerTest, OnlyThePairTheServiceOwnsIsKeptAndOnlyItsPressShows)
{
    const OwnerCase& c = GetParam();
    std::wstring sddl = (*c.owner ? std::wstring(L"O:") + c.owner : std::wstring()) + kOpenToAll;
    button_.reset(CreateEventWithDescriptor(kButtonEventName, sddl));
    done_.reset(CreateEventWithDescriptor(kDoneEventName, sddl));
    ASSERT_TRUE(button_ && done_);
    ASSERT_EQ(GetLastError(), 0u) << "the service's names were taken before the test";

    EXPECT_EQ(dialog_.OpenServiceEvents(), c.kept);
    EXPECT_EQ(static_cast<bool>(dialog_.m_hButtonEvent), c.kept);
    EXPECT_EQ(static_cast<bool>(dialog_.m_hDoneEvent), c.kept);
    Press();
    EXPECT_EQ(static_cast<bool>(dialog_.m_hWorker), c.kept);
    EXPECT_EQ(IsWindowVisible(dialog_.m_hWnd) != FALSE, c.kept);
    EXPECT_EQ(Pending(button_), !c.kept) << "the squatter's press stays untaken";
    if (dialog_.m_hWorker)
        SendMessageW(dialog_.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_ACTION_BUTTON, BN_CLICKED), 0);
}

INSTANTIATE_TEST_SUITE_P(Owners, EventOwnerTest,
                         ::testing::Values(OwnerCase{"LocalSystem", L"SY", true},
                                           OwnerCase{"Administrators", L"BA", true},
                                           OwnerCase{"AnotherUser", L"S-1-5-21-1111-2222-3333-4444", false},
                                           OwnerCase{"TheTokensDefaultOwner", L"", false}),
                         CaseName());

} // namespace

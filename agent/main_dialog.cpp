#include "main_dialog.h"

#include <aclapi.h>
#include <wtsapi32.h>

#include "contract.h"
#include "localised_text.h"
#include "token_sid.h"

HANDLE g_hInstanceMutex = nullptr;
bool g_bHideOnFirstShow = true;
Relaxed<bool> g_bAbortWorker{false};

namespace {

// The window's icons, each kept until it is replaced or the process ends.
UniqueIcon g_hBigIcon;
UniqueIcon g_hSmallIcon;

UINT SystemDpi()
{
    HDC screen = GetDC(nullptr);
    int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

// The system metrics are those of the system DPI; a monitor of another DPI
// scales them. (GetSystemMetricsForDpi needs Windows 10.)
HICON LoadMainIcon(int widthMetric, int heightMetric, UINT dpi)
{
    UINT systemDpi = SystemDpi();
    return static_cast<HICON>(LoadImageW(g_Module.GetResourceInstance(), MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON,
                                         MulDiv(GetSystemMetrics(widthMetric), dpi, systemDpi),
                                         MulDiv(GetSystemMetrics(heightMetric), dpi, systemDpi), LR_DEFAULTCOLOR));
}

// The window draws with the icon it holds: the old one goes only once replaced.
void SetMainIcon(HWND window, WPARAM which, UniqueIcon& owner, HICON icon)
{
    SendMessageW(window, WM_SETICON, which, reinterpret_cast<LPARAM>(icon));
    owner.reset(icon);
}

void SetMainIcons(HWND window, UINT dpi)
{
    SetMainIcon(window, ICON_BIG, g_hBigIcon, LoadMainIcon(SM_CXICON, SM_CYICON, dpi));
    SetMainIcon(window, ICON_SMALL, g_hSmallIcon, LoadMainIcon(SM_CXSMICON, SM_CYSMICON, dpi));
}

} // namespace

void AppendProfileFileName(wchar_t (&path)[kProfilePathUnits], DWORD tempPathLength)
{
    constexpr size_t nameUnits = sizeof(kHandOffFileName) / sizeof(wchar_t); // with the terminator
    // No path at all is better than one the service would write somewhere else.
    if (tempPathLength == 0 || tempPathLength > kProfilePathUnits - nameUnits) {
        path[0] = L'\0';
        return;
    }
    wcscpy_s(path + tempPathLength, kProfilePathUnits - tempPathLength, kHandOffFileName);
}

void ComposeProfilePath(wchar_t (&path)[kProfilePathUnits])
{
    DWORD length = GetTempPathW(kProfilePathUnits, path);
    AppendProfileFileName(path, length);
}

bool DropPendingSignal(HANDLE event)
{
    return WaitForSingleObject(event, 0) != WAIT_FAILED;
}

BOOL CMainDlg::PreTranslateMessage(MSG* pMsg)
{
    return IsDialogMessageW(m_hWnd, pMsg);
}

BOOL CMainDlg::OnIdle()
{
    return FALSE;
}

BOOL CMainDlg::ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult)
{
    lResult = 0;
    switch (uMsg) {
    case WM_INITDIALOG:
        lResult = OnInitDialog();
        return TRUE;
    case WM_DESTROY:
    case WM_AGENT_RELEASE:
        Release();
        return TRUE;
    case WM_CLOSE:
        HideAgent();
        return TRUE;
    case WM_ENDSESSION:
        // The session ends, or Restart Manager makes way for an installer
        // (ENDSESSION_CLOSEAPP): leave at once, so no reboot is needed to replace us.
        if (wParam) {
            DestroyWindow();
            PostQuitMessage(0);
        }
        return TRUE;
    case WM_SHOWWINDOW:
        lResult = DefWindowProcW(hWnd, uMsg, wParam, lParam);
        if (g_bHideOnFirstShow) {
            PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
            g_bHideOnFirstShow = false;
        }
        return TRUE;
    case WM_DPICHANGED:
        OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
        // Unhandled: the dialog manager still rescales its font and controls.
        return FALSE;
    case WM_TIMER:
        if (wParam == TIMER_BUTTON_POLL)
            OnButtonPoll();
        else if (wParam == TIMER_WORKER_POLL)
            ShowResult();
        else if (wParam == TIMER_SERVICE_CHECK)
            RefreshServiceEvents();
        return TRUE;
    case WM_WTSSESSION_CHANGE:
        lResult = OnSessionChange(wParam);
        return TRUE;
    case WM_COMMAND:
        // The dialog manager turns Enter and Escape into these: neither may close the agent.
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            return TRUE;
        if (LOWORD(wParam) == IDC_ACTION_BUTTON && HIWORD(wParam) == BN_CLICKED) {
            lResult = OnActionButton();
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL CMainDlg::OnInitDialog()
{
    CenterWindow();

    SetMainIcons(m_hWnd, SystemDpi());

    if (CMessageLoop* loop = g_Module.GetMessageLoop()) {
        loop->AddMessageFilter(this);
        loop->AddIdleHandler(this);
    }
    UIAddChildWindowContainer(m_hWnd);

    m_hButtonEvent.reset();
    m_hDoneEvent.reset();

    ChooseLanguageLibrary();
    ShowIdleTexts();
    ComposeProfilePath(m_szProfilePath);

    // A press belongs to the user at the console: any other session waits as
    // if disconnected from it, or it would take that user's press and enroll.
    m_bSuspended = !IsConsoleSession();
    m_nTimer = m_bSuspended ? 0 : SetTimer(m_hWnd, TIMER_BUTTON_POLL, kButtonPollMs, nullptr);
    WTSRegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION);
    SetTimer(m_hWnd, TIMER_SERVICE_CHECK, kServiceCheckMs, nullptr);
    RefreshServiceEvents();
    // Restart Manager starts us again after an installer has closed us; after
    // a reboot the logon does.
    RegisterAgentRestart(RESTART_NO_REBOOT);
    return TRUE;
}

void CMainDlg::OnDpiChanged(UINT dpi, const RECT& suggested)
{
    SetMainIcons(m_hWnd, dpi);
    ::SetWindowPos(m_hWnd, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
                   suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void CMainDlg::OnButtonPoll()
{
    if (!m_hButtonEvent || m_bSuspended)
        return;
    // A zero-time wait consumes the press: the event resets itself.
    if (WaitForSingleObject(m_hButtonEvent.get(), 0) != WAIT_OBJECT_0)
        return;

    KillTimer(m_hWnd, m_nTimer);
    m_nTimer = 0;
    DropPendingSignal(m_hDoneEvent.get());
    g_bAbortWorker.store(false);
    m_hWorker.reset(CreateThread(nullptr, 0, EnrollmentWorker, this, 0, nullptr));
    m_nTimer = SetTimer(m_hWnd, TIMER_WORKER_POLL, kWorkerPollMs, nullptr);
    ShowAgent();
}

LRESULT CMainDlg::OnActionButton()
{
    if (m_hWorker && WaitForSingleObject(m_hWorker.get(), 0) == WAIT_TIMEOUT) {
        g_bAbortWorker.store(true);
        if (WaitForSingleObject(m_hWorker.get(), kWorkerStopMs) == WAIT_TIMEOUT)
            TerminateThread(m_hWorker.get(), 0);
        SendServiceControl(CancelEnrollment);
    }
    m_hWorker.reset();
    if (m_nTimer != 0) {
        KillTimer(m_hWnd, m_nTimer);
        m_nTimer = 0;
    }
    if (!m_bSuspended)
        m_nTimer = SetTimer(m_hWnd, TIMER_BUTTON_POLL, kButtonPollMs, nullptr);
    HideAgent();
    ShowIdleTexts();
    return 0;
}

LRESULT CMainDlg::OnSessionChange(WPARAM code)
{
    switch (code) {
    case WTS_CONSOLE_DISCONNECT:
    case WTS_SESSION_LOCK:
        if (!m_bSuspended) {
            m_bSuspended = true;
            // m_nTimer keeps 1, so that a later kill of "the" timer is harmless.
            if (m_nTimer == TIMER_BUTTON_POLL)
                KillTimer(m_hWnd, TIMER_BUTTON_POLL);
        }
        break;
    case WTS_CONSOLE_CONNECT:
    case WTS_SESSION_UNLOCK:
        // An unlock of a session away from the console must not let it take presses.
        if (m_bSuspended && (code == WTS_CONSOLE_CONNECT || IsConsoleSession())) {
            m_bSuspended = false;
            if (!m_hWorker) {
                m_nTimer = SetTimer(m_hWnd, TIMER_BUTTON_POLL, kButtonPollMs, nullptr);
                // A press made while away is not the user's wish now.
                DropPendingSignal(m_hButtonEvent.get());
            }
        }
        break;
    default:
        break;
    }
    return 0;
}

void CMainDlg::Release()
{
    g_bAbortWorker.store(true);
    if (m_nTimer != 0) {
        KillTimer(m_hWnd, m_nTimer);
        m_nTimer = 0;
    }
    WTSUnRegisterSessionNotification(m_hWnd);
    if (m_hWorker && WaitForSingleObject(m_hWorker.get(), kWorkerStopMs) == WAIT_TIMEOUT)
        TerminateThread(m_hWorker.get(), 0);
    m_hWorker.reset();
    CloseServiceEvents();
    if (CMessageLoop* loop = g_Module.GetMessageLoop()) {
        loop->RemoveMessageFilter(this);
        loop->RemoveIdleHandler(this);
    }
}

UniqueScHandle OpenTolvekService(DWORD managerAccess, DWORD serviceAccess)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, managerAccess));
    if (!manager)
        return UniqueScHandle();
    return UniqueScHandle(OpenServiceW(manager.get(), kServiceName, serviceAccess));
}

bool CMainDlg::IsServicePresent()
{
    UniqueScHandle service = OpenTolvekService(GENERIC_READ, GENERIC_READ);
    SERVICE_STATUS status{};
    return service && QueryServiceStatus(service.get(), &status) != FALSE;
}

namespace {

// Whether LocalSystem or the Administrators own the event: no ordinary user
// can give an object either owner.
bool IsOwnedByTheService(HANDLE event)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(event, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    UniqueHlocal held(descriptor);
    return IsSystemOrAdministrators(owner);
}

// While the service is stopped any user may create its event names and play
// it: an event another user owns counts as not there, and the next check
// tries again. Waiting is all the agent does with it, and all the service
// grants besides reading the owner.
UniqueHandle OpenServiceEvent(const wchar_t* name)
{
    UniqueHandle event(OpenEventW(kAgentEventAccess, FALSE, name));
    if (event && !IsOwnedByTheService(event.get()))
        event.reset();
    return event;
}

} // namespace

bool CMainDlg::OpenServiceEvents()
{
    m_hButtonEvent = OpenServiceEvent(kButtonEventName);
    m_hDoneEvent = OpenServiceEvent(kDoneEventName);
    return m_hButtonEvent && m_hDoneEvent;
}

void CMainDlg::CloseServiceEvents()
{
    m_hButtonEvent.reset();
    m_hDoneEvent.reset();
}

void CMainDlg::RefreshServiceEvents()
{
    // A worker reads m_hDoneEvent on its own thread: no handle of the pair may
    // change under it, not even to mend a half-open pair.
    if (m_hWorker)
        return;
    // One event without the other is no use: drop it and try the pair again.
    if (!m_hButtonEvent != !m_hDoneEvent)
        CloseServiceEvents();
    if (!m_hButtonEvent && IsServicePresent())
        OpenServiceEvents();
    if (m_hButtonEvent && m_hDoneEvent && !IsServicePresent())
        CloseServiceEvents();
}

void CMainDlg::ShowAgent()
{
    ::ShowWindow(m_hWnd, SW_SHOW);
    ::ShowWindow(m_hWnd, SW_RESTORE);
}

void CMainDlg::HideAgent()
{
    ::ShowWindow(m_hWnd, SW_MINIMIZE);
    ::ShowWindow(m_hWnd, SW_HIDE);
}

void CMainDlg::ShowIdleTexts()
{
    ::ShowIdleTexts(m_hWnd);
}

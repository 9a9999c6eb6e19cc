#pragma once

// The agent's one dialog: hidden while it watches the service's button event,
// shown for a request and its result.

#include <windows.h>


#include "resource.h"
#include "unique_handle.h"
#include "window_framework.h"

enum : UINT_PTR {
    TIMER_BUTTON_POLL = 1,
    TIMER_WORKER_POLL = 2,
    TIMER_SERVICE_CHECK = 3,
};

inline constexpr UINT kButtonPollMs = 300;
inline constexpr UINT kWorkerPollMs = 300;
inline constexpr UINT kServiceCheckMs = 8000;
inline constexpr DWORD kWorkerStopMs = 2000;

// Runs the teardown of WM_DESTROY on a window that lives on.
inline constexpr UINT WM_AGENT_RELEASE = WM_USER + 116;

inline constexpr size_t kProfilePathUnits = 512;

// The single-instance mutex, held for the life of the process.
extern HANDLE g_hInstanceMutex;
// While set, the next WM_SHOWWINDOW hides the dialog again.
extern bool g_bHideOnFirstShow;
// Asks the worker to stop; set by the user-interface thread only.
extern Relaxed<bool> g_bAbortWorker;

// The user's temporary folder followed by the hand-off file's name; empty
// when GetTempPathW fails or leaves no room for the name.
void ComposeProfilePath(wchar_t (&path)[kProfilePathUnits]);
// The same, given what GetTempPathW answered (its length, or the size it needed).
void AppendProfileFileName(wchar_t (&path)[kProfilePathUnits], DWORD tempPathLength);

// Whether this process runs in the session at the physical console, the only
// one whose user can be at the adapter's button. The program links the
// platform's answer; tests link one they set.
bool IsConsoleSession();
// RegisterApplicationRestart, for Restart Manager to start the agent again.
void RegisterAgentRestart(DWORD flags);

// The service, opened with serviceAccess through a manager opened with
// managerAccess; none when either open fails.
UniqueScHandle OpenTolvekService(DWORD managerAccess, DWORD serviceAccess);

// Takes a pending signal of an auto-reset event, as ResetEvent would, with no
// more than the wait access the service grants. False when the wait failed.
bool DropPendingSignal(HANDLE event);

class CMainDlg : public CDialogImpl<CMainDlg>,
                 public CMessageFilter,
                 public CIdleHandler,
                 public CUpdateUI<CMainDlg> {
public:
    enum { IDD = IDD_MAINDLG };

    UINT_PTR m_nTimer = 0;
    bool m_bSuspended = false;
    UniqueHandle m_hWorker;
    UniqueHandle m_hButtonEvent;
    UniqueHandle m_hDoneEvent;
    wchar_t m_szProfilePath[kProfilePathUnits] = {};
    LONG m_nResult = 0;

    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnIdle() override;
    BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) override;

    static bool IsServicePresent();
    // A user control code to the service; in a file of its own, which tests replace.
    static bool SendServiceControl(DWORD code);
    bool OpenServiceEvents();
    void CloseServiceEvents();
    void RefreshServiceEvents();

    void ShowAgent();
    void HideAgent();
    void ShowIdleTexts();
    void ShowResult();

    LRESULT OnActionButton();
    LRESULT OnSessionChange(WPARAM code);
    // The window moved to a monitor of another DPI: icons of the new size, the suggested place.
    void OnDpiChanged(UINT dpi, const RECT& suggested);

private:
    BOOL OnInitDialog();
    void OnButtonPoll();
    void Release();
};

// The request worker's thread procedure; its argument is the dialog.
DWORD WINAPI EnrollmentWorker(LPVOID parameter);

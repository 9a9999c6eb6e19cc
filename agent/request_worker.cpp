#include <windows.h>

#include <string>

#include "clock.h"
#include "contract.h"
#include "localised_text.h"
#include "main_dialog.h"
#include "parameters_key.h"
#include "profile_applier.h"

namespace {

constexpr DWORD kRequestSliceMs = 300;
// Two seconds past the service's own 120, so that a session that runs out
// of time still reports before the agent gives up on it.
constexpr __int64 kRequestLimitSeconds = 122;

// Whatever lies at the path now, a file of an earlier request or one put there
// on purpose, must not pass for this request's profile.
bool RemoveStaleHandOff(const wchar_t* path)
{
    DeleteFileW(path);
    // A name still there (held open, read-only, a folder, a delete pending) stops the request.
    if (GetFileAttributesW(path) != INVALID_FILE_ATTRIBUTES)
        return false;
    DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool AbortRequested()
{
    return g_bAbortWorker.load();
}

} // namespace

DWORD WINAPI EnrollmentWorker(LPVOID parameter)
{
    auto& dialog = *static_cast<CMainDlg*>(parameter);
    const wchar_t* path = dialog.m_szProfilePath;
    HANDLE done = dialog.m_hDoneEvent.get();

    dialog.m_nResult = EnrollmentSucceeded;
    if (AbortRequested())
        return 0;
    // Without a hand-off file the service has nowhere to put the profile.
    if (path[0] == L'\0' || !RemoveStaleHandOff(path) || !WriteProfilePath(path)) {
        dialog.m_nResult = EnrollmentFailed;
        return 0;
    }
    if (AbortRequested())
        return 0;

    // Before the request, not after it: a session that fails at once signals
    // DoneEvent before ControlService has even returned here.
    if (!DropPendingSignal(done)) {
        dialog.m_nResult = EnrollmentFailed;
        return 0;
    }
    CMainDlg::SendServiceControl(StartEnrollment);

    const __int64 started = CalendarSeconds();
    for (;;) {
        if (AbortRequested())
            return 0;
        DWORD waited = WaitMs(done, kRequestSliceMs);
        if (waited == WAIT_FAILED) {
            dialog.m_nResult = EnrollmentFailed;
            return 0;
        }
        if (waited == WAIT_OBJECT_0)
            break;
        // Signed: a clock set back only lengthens the wait.
        __int64 elapsed = CalendarSeconds() - started;
        if (elapsed > kRequestLimitSeconds) {
            dialog.m_nResult = EnrollmentFailed;
            CMainDlg::SendServiceControl(CancelEnrollment);
            return 0;
        }
    }

    dialog.m_nResult = static_cast<LONG>(ReadExitCode());
    if (dialog.m_nResult == EnrollmentSucceeded) {
        // A profile that never reached the adapter is no success.
        if (!ApplyProfile(path))
            dialog.m_nResult = EnrollmentFailed;
        DeleteFileW(path);
    }
    return 0;
}

void CMainDlg::ShowResult()
{
    // A null handle, left by a failed thread start, never passes.
    if (WaitForSingleObject(m_hWorker.get(), 0) != WAIT_OBJECT_0)
        return;
    m_hWorker.reset();

    // By EnrollmentResult; a code no service sends changes no text.
    static constexpr UINT kResultTexts[] = {IDS_RESULT_SUCCEEDED, IDS_RESULT_FAILED, IDS_RESULT_OVERLAP};
    if (static_cast<DWORD>(m_nResult) < ARRAYSIZE(kResultTexts)) {
        std::wstring text;
        ShowText(GetDlgItem(IDC_MESSAGE_TEXT), kResultTexts[m_nResult], text);
        ShowText(GetDlgItem(IDC_ACTION_BUTTON), IDS_ACTION_DISMISS, text);
    }

    KillTimer(m_hWnd, m_nTimer);
    m_nTimer = 0;
    SetForegroundWindow(m_hWnd);
}

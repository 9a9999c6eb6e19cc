#include <windows.h>

#include <string>

#include "contract.h"
#include "localised_text.h"
#include "main_dialog.h"

DWORD WINAPI EnrollmentWorker(LPVOID parameter)
{
    auto& dialog = *static_cast<CMainDlg*>(parameter);
    dialog.m_nResult = EnrollmentSucceeded;
    if (g_bAbortWorker.load(std::memory_order_relaxed))
        return 0;
    // Without a hand-off file the service has nowhere to put the profile.
    if (dialog.m_szProfilePath[0] == L'\0') {
        dialog.m_nResult = EnrollmentFailed;
        return 0;
    }
    if (!ResetEvent(dialog.m_hDoneEvent.get())) {
        dialog.m_nResult = EnrollmentFailed;
        return 0;
    }
    // The request itself is not sent yet: the worker waits to be cancelled.
    while (!g_bAbortWorker.load(std::memory_order_relaxed))
        Sleep(kWorkerPollMs);
    return 0;
}

void CMainDlg::ShowResult()
{
    // A null handle, left by a failed thread start, never passes.
    if (WaitForSingleObject(m_hWorker.get(), 0) != WAIT_OBJECT_0)
        return;
    m_hWorker.reset();

    UINT message = 0;
    switch (m_nResult) {
    case EnrollmentSucceeded:
        message = IDS_RESULT_SUCCEEDED;
        break;
    case EnrollmentFailed:
        message = IDS_RESULT_FAILED;
        break;
    case EnrollmentOverlap:
        message = IDS_RESULT_OVERLAP;
        break;
    default:
        break;
    }
    if (message != 0) {
        std::wstring text;
        ShowText(GetDlgItem(IDC_MESSAGE_TEXT), message, text);
        ShowText(GetDlgItem(IDC_ACTION_BUTTON), IDS_ACTION_DISMISS, text);
    }

    KillTimer(m_hWnd, m_nTimer);
    m_nTimer = 0;
    SetForegroundWindow(m_hWnd);
}

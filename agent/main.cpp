#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "main_dialog.h"
#include "unique_handle.h"
#include "window_framework.h"

namespace {

constexpr wchar_t kInstanceMutexName[] = L"Tolvek HW PBN detector UI";

int Run(int showCommand)
{
    // No namespace prefix: one agent per session, not per machine.
    SetLastError(ERROR_SUCCESS);
    g_hInstanceMutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_ACCESS_DENIED)
        return 0;

    CMessageLoop loop;
    g_Module.AddMessageLoop(&loop);
    ScopeExit removeLoop([] { g_Module.RemoveMessageLoop(); });

    CMainDlg dialog;
    if (!dialog.Create(nullptr))
        return 0;
    // The first show hides the dialog again at once (WM_SHOWWINDOW posts a close).
    dialog.ShowWindow(showCommand);
    int result = loop.Run();

    if (dialog.m_hWnd)
        dialog.DestroyWindow();
    return result;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    // A worker's COM objects live in the process's multithreaded apartment.
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    g_Module.Init(instance);

    int result = Run(showCommand);

    g_Module.Term();
    CoUninitialize();
    return result;
}

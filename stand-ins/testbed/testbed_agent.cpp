// testbed agent: the Quorvel dialog seen from outside, as a user would see it.
#include "testbed.h"

#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include <string>

#include "unique_handle.h"

namespace {

bool IsAgentProcess(DWORD processId)
{
    UniqueHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    wchar_t path[MAX_PATH];
    DWORD length = MAX_PATH;
    if (!process || !QueryFullProcessImageNameW(process.get(), 0, path, &length))
        return false;
    const wchar_t* name = wcsrchr(path, L'\\');
    return _wcsicmp(name ? name + 1 : path, L"Quorvel.exe") == 0;
}

BOOL CALLBACK MatchAgentDialog(HWND window, LPARAM found)
{
    wchar_t className[16];
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (GetClassNameW(window, className, ARRAYSIZE(className)) && wcscmp(className, L"#32770") == 0 &&
        GetDlgItem(window, kActionButton) && IsAgentProcess(processId)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

std::wstring Text(HWND window)
{
    wchar_t text[512] = L"";
    GetWindowTextW(window, text, ARRAYSIZE(text));
    return text;
}

} // namespace

HWND FindAgentDialog()
{
    HWND dialog = nullptr;
    EnumWindows(MatchAgentDialog, reinterpret_cast<LPARAM>(&dialog));
    return dialog;
}

void PrintAgentHelp()
{
    wprintf(L"The Quorvel dialog:\n"
            L"  agent show              whether it is visible, and its caption, message and button\n"
            L"  agent click             press its action button\n\n");
}

int RunAgentCommand(int argc, wchar_t** argv)
{
    HWND dialog = FindAgentDialog();
    if (!dialog) {
        fwprintf(stderr, L"testbed: no Quorvel dialog is running\n");
        return 1;
    }
    const wchar_t* command = argc > 1 ? argv[1] : L"show";
    if (wcscmp(command, L"show") == 0) {
        wprintf(L"visible: %ls\ncaption: %ls\nmessage: %ls\nbutton:  %ls\n", IsWindowVisible(dialog) ? L"yes" : L"no",
                Text(dialog).c_str(), Text(GetDlgItem(dialog, kMessageText)).c_str(),
                Text(GetDlgItem(dialog, kActionButton)).c_str());
        return 0;
    }
    if (wcscmp(command, L"click") == 0) {
        SendMessageW(GetDlgItem(dialog, kActionButton), BM_CLICK, 0, 0);
        return 0;
    }
    fwprintf(stderr, L"testbed: unknown agent command '%ls'\n", command);
    return 2;
}

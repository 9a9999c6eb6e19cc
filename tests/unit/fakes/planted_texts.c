// Code that must never run in the agent: it leaves its mark in the environment.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH)
        SetEnvironmentVariableW(L"TOLVEK_PLANTED_CODE_RAN", L"1");
    return TRUE;
}

#pragma once

#include <windows.h>

// The install tool's command line; returns the program's exit status.
int RunCommandLine(int argc, wchar_t** argv);

bool InstallService();
bool UninstallService();
bool StartInstalledService();
bool StopInstalledService();

void WINAPI ServiceMain(DWORD argc, LPWSTR* argv);
void WINAPI ServiceControlHandler(DWORD control);

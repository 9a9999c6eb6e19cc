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

// ServiceMain's loop once the service work has started: follows the link
// state until the stop, then closes the indicator events.
void RunServiceLoop();

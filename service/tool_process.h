#pragma once

#include <windows.h>

// Where the LED tool's runs reach the platform: the service's own path and the
// tool process. The service links tool_process.cpp; unit tests link a fake
// that records each run instead.

// GetModuleFileNameW for the main module: the length copied, size when the
// path was cut, 0 on failure.
DWORD ServiceModulePath(wchar_t* path, DWORD size);

// Starts the tool with this command line and current directory and waits,
// without a limit, until it has ended. A tool that cannot be started is
// passed over silently.
void RunToolProcess(wchar_t* commandLine, const wchar_t* currentDirectory);

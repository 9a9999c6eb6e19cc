#pragma once

#include <windows.h>

// Reads the adapter's WPS button every 300 ms outside sessions and signals
// ButtonEvent while it is held.
DWORD WINAPI ButtonMonitor(void* unused);

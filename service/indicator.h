#pragma once

#include <windows.h>

// Every LED change is one run of the vendor's wl.exe from the service's own
// directory, made only by the indicator thread and awaited before the next.
DWORD RunTool(const wchar_t* arguments);

// LED 2 shows whether the adapter is connected.
void ShowLinkState();

// The indicator thread: shows on the adapter's LEDs what the IndicatorEvents
// say, until IndicatorStop.
DWORD WINAPI IndicatorLoop(void* unused);

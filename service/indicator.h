#pragma once

#include <windows.h>

// The indicator thread: shows on the adapter's LEDs what the IndicatorEvents say.
DWORD WINAPI IndicatorLoop(void* unused);

#pragma once

#include <windows.h>

// Calendar seconds and sleeping reach the logic through these two functions;
// the programs link clock.cpp, unit tests link a fake clock instead.
__int64 CalendarSeconds();
void SleepMs(DWORD milliseconds);

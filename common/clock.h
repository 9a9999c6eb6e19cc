#pragma once

#include <windows.h>

// Calendar seconds and sleeping reach the logic through these two functions;
// the programs link clock.cpp, unit tests link a fake clock instead.
__int64 CalendarSeconds();
void SleepMs(DWORD milliseconds);

// A bounded wait for another thread (or any handle) to end; the fake clock
// lets a unit test spend the bound without waiting it out.
DWORD WaitMs(HANDLE handle, DWORD milliseconds);

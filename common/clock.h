#pragma once

#include <windows.h>

// Calendar seconds, sleeping and bounded waits reach the logic through these;
// the programs link clock.cpp, unit tests link a fake clock instead.
__int64 CalendarSeconds();
void SleepMs(DWORD milliseconds);

// A bounded wait for another thread (or any handle) to end; the fake clock
// lets a unit test spend the bound without waiting it out.
DWORD WaitMs(HANDLE handle, DWORD milliseconds);

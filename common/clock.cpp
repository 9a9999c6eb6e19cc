#include "clock.h"

#include <time.h>

__int64 CalendarSeconds()
{
    return _time64(nullptr);
}

void SleepMs(DWORD milliseconds)
{
    Sleep(milliseconds);
}

DWORD WaitMs(HANDLE handle, DWORD milliseconds)
{
    return WaitForSingleObject(handle, milliseconds);
}

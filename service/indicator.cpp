#include "indicator.h"

#include "service_state.h"

// Placeholder until the LED controller lands: waits for the stop only.
DWORD WINAPI IndicatorLoop(void*)
{
    WaitForSingleObject(g_service.IndicatorEvents[IndicatorStop].get(), INFINITE);
    return 0;
}

#include "service_state.h"

ServiceState g_service;

void SignalIndicator(IndicatorEvent event)
{
    SetEvent(g_service.IndicatorEvents[event].get());
}

#include "service_work.h"

#include "contract.h"
#include "enrollment_session.h"
#include "global_events.h"
#include "service_state.h"

bool StartServiceWork()
{
    ExplicitSecurity security;
    if (!BuildGlobalEventSecurity(security))
        return false;
    g_service.ButtonEvent = CreateGlobalEvent(kButtonEventName, security);
    if (g_service.ButtonEvent)
        g_service.DoneEvent = CreateGlobalEvent(kDoneEventName, security);
    if (!g_service.DoneEvent) {
        DWORD error = GetLastError();
        g_service.ButtonEvent.reset();
        SetLastError(error);
        return false;
    }
    CreateWorkers();
    return true;
}

bool StopServiceWork()
{
    CancelSession();
    DestroyWorkers();
    g_service.ButtonEvent.reset();
    g_service.DoneEvent.reset();
    return true;
}

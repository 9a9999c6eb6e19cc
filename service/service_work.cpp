#include "service_work.h"

#include "access_list.h"
#include "contract.h"
#include "enrollment_session.h"
#include "service_state.h"

namespace {

// Any user may wait on the two global events; only the service's own
// accounts may signal them, or a user could fake a press or a result.
bool BuildGlobalEventSecurity(ExplicitSecurity& security)
{
    SidBuffer everyone;
    SidBuffer system;
    SidBuffer administrators;
    return MakeWellKnownSid(WinWorldSid, everyone) && MakeWellKnownSid(WinLocalSystemSid, system) &&
           MakeWellKnownSid(WinBuiltinAdministratorsSid, administrators) &&
           BuildExplicitSecurity({{system.get(), kServiceEventAccess},
                                  {administrators.get(), kServiceEventAccess},
                                  {everyone.get(), kAgentEventAccess}},
                                 security);
}

UniqueHandle CreateGlobalEvent(const wchar_t* name, const ExplicitSecurity& security)
{
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor), FALSE};
    UniqueHandle event(CreateEventW(&attributes, FALSE, FALSE, name));
    // An agent's handle keeps the event alive across a restart of the
    // service, and CreateEventW then ignores the descriptor.
    if (event && GetLastError() == ERROR_ALREADY_EXISTS)
        ApplyExplicitSecurity(event.get(), SE_KERNEL_OBJECT, security);
    return event;
}

} // namespace

bool StartServiceWork()
{
    ExplicitSecurity security;
    if (BuildGlobalEventSecurity(security)) {
        g_service.ButtonEvent = CreateGlobalEvent(kButtonEventName, security);
        g_service.DoneEvent = CreateGlobalEvent(kDoneEventName, security);
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

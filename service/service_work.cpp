#include "service_work.h"

#include <aclapi.h>

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

bool HasTrustedOwner(HANDLE object)
{
    PSID owner = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(object, SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION, &owner, nullptr, nullptr, nullptr,
                        &descriptor) != ERROR_SUCCESS)
        return false;
    UniqueHlocal held(descriptor);
    return IsTrustedOwner(owner);
}

// An agent's handle keeps the event alive across a restart of the service,
// and CreateEventW then ignores the descriptor. But any user may create a
// Global\ name first and keep a handle with whatever access they gave
// themselves, which setting our list does not take back: such an event is
// refused, and the last error says the name is taken.
UniqueHandle CreateGlobalEvent(const wchar_t* name, const ExplicitSecurity& security)
{
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor), FALSE};
    UniqueHandle event(CreateEventW(&attributes, FALSE, FALSE, name));
    if (!event || GetLastError() != ERROR_ALREADY_EXISTS)
        return event;
    if (!HasTrustedOwner(event.get()) || !ApplyExplicitSecurity(event.get(), SE_KERNEL_OBJECT, security)) {
        event.reset();
        SetLastError(ERROR_ALREADY_EXISTS);
    }
    return event;
}

} // namespace

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

#include "global_events.h"

#include <aclapi.h>

#include "contract.h"

namespace {

// EVENT_QUERY_STATE, which only the driver kit's headers name.
constexpr ACCESS_MASK kEventQueryState = 0x0001;

// What the generic rights mean for an event, as the kernel maps them.
GENERIC_MAPPING EventMapping()
{
    return {STANDARD_RIGHTS_READ | kEventQueryState, STANDARD_RIGHTS_WRITE | EVENT_MODIFY_STATE,
            STANDARD_RIGHTS_EXECUTE | SYNCHRONIZE, EVENT_ALL_ACCESS};
}

// What our list grants whoever an entry for sid applies to: the entries for
// that very identifier and for Everyone.
ACCESS_MASK OursFor(PSID sid, PACL ours)
{
    ACCESS_MASK granted = 0;
    for (DWORD i = 0; i < ours->AceCount; ++i) {
        ACCESS_ALLOWED_ACE* ace = nullptr;
        if (!GetAce(ours, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        PSID named = &ace->SidStart;
        if (EqualSid(named, sid) || IsWellKnownSid(named, WinWorldSid))
            granted |= ace->Mask;
    }
    return granted;
}

// Access is checked when a handle is opened: whatever an existing list grants
// beyond ours, some handle may hold it still, and narrowing the list now does
// not take it back.
bool GrantsNoMoreThan(PACL existing, PACL ours)
{
    if (!existing)
        return false; // a null list grants everyone everything
    GENERIC_MAPPING mapping = EventMapping();
    for (DWORD i = 0; i < existing->AceCount; ++i) {
        ACE_HEADER* header = nullptr;
        if (!GetAce(existing, i, reinterpret_cast<void**>(&header)))
            return false;
        if (header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        // Any other kind may grant something we cannot weigh.
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return false;
        auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
        ACCESS_MASK mask = ace->Mask;
        MapGenericMask(&mask, &mapping);
        if (mask & ~OursFor(&ace->SidStart, ours))
            return false;
    }
    return true;
}

} // namespace

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
                                 security) &&
           // Not the token's default owner, which the agent cannot tell from a user's.
           SetExplicitOwner(WinLocalSystemSid, security);
}

bool IsKeepableEvent(PSECURITY_DESCRIPTOR existing, PACL ours)
{
    PSID owner = nullptr;
    BOOL ownerDefaulted = FALSE;
    BOOL present = FALSE;
    PACL list = nullptr;
    BOOL listDefaulted = FALSE;
    return GetSecurityDescriptorOwner(existing, &owner, &ownerDefaulted) && IsTrustedOwner(owner) &&
           GetSecurityDescriptorDacl(existing, &present, &list, &listDefaulted) &&
           GrantsNoMoreThan(present ? list : nullptr, ours);
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
    PSECURITY_DESCRIPTOR existing = nullptr;
    bool read = GetSecurityInfo(event.get(), SE_KERNEL_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                nullptr, nullptr, nullptr, nullptr, &existing) == ERROR_SUCCESS;
    UniqueHlocal held(existing);
    if (!read || !IsKeepableEvent(existing, security.list()) ||
        !ApplyExplicitSecurity(event.get(), SE_KERNEL_OBJECT, security)) {
        event.reset();
        SetLastError(ERROR_ALREADY_EXISTS);
    }
    return event;
}

#pragma once

#include <windows.h>
#include <accctrl.h>

#include <initializer_list>

#include "token_sid.h"
#include "unique_handle.h"

bool MakeWellKnownSid(WELL_KNOWN_SID_TYPE type, SidBuffer& sid);

struct AccessRule {
    PSID sid;
    ACCESS_MASK mask;
};

// A descriptor whose access list holds exactly the given entries, in order,
// and takes nothing from a parent: what a reader gets back is what was set.
struct ExplicitSecurity {
    UniqueHlocal acl;
    SidBuffer owner;
    SECURITY_DESCRIPTOR descriptor;
    PACL list() const { return static_cast<PACL>(acl.get()); }
};
bool BuildExplicitSecurity(std::initializer_list<AccessRule> rules, ExplicitSecurity& security);
// Names the owner of what the descriptor creates, instead of the token's default.
bool SetExplicitOwner(WELL_KNOWN_SID_TYPE owner, ExplicitSecurity& security);

// Whether an existing object's owner is LocalSystem, the Administrators or
// this process's default owner: one no ordinary user can set.
bool IsTrustedOwner(PSID owner);

// Sets such a list on an object that exists already.
bool ApplyExplicitSecurity(HANDLE object, SE_OBJECT_TYPE type, const ExplicitSecurity& security);

#pragma once

#include <windows.h>
#include <accctrl.h>

#include <initializer_list>

#include "unique_handle.h"

// One security identifier held in place.
struct SidBuffer {
    BYTE bytes[SECURITY_MAX_SID_SIZE];
    PSID get() { return bytes; }
};
bool MakeWellKnownSid(WELL_KNOWN_SID_TYPE type, SidBuffer& sid);

struct AccessRule {
    PSID sid;
    ACCESS_MASK mask;
};

// A descriptor whose access list holds exactly the given entries, in order,
// and takes nothing from a parent: what a reader gets back is what was set.
struct ExplicitSecurity {
    UniqueHlocal acl;
    SECURITY_DESCRIPTOR descriptor;
    PACL list() const { return static_cast<PACL>(acl.get()); }
};
bool BuildExplicitSecurity(std::initializer_list<AccessRule> rules, ExplicitSecurity& security);

// Sets such a list on an object that exists already.
bool ApplyExplicitSecurity(HANDLE object, SE_OBJECT_TYPE type, const ExplicitSecurity& security);

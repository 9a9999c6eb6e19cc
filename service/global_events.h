#pragma once

// The two global events the agent waits on: their access list and owner, and
// what the service accepts of an event that exists before it starts.

#include <windows.h>

#include "access_list.h"
#include "unique_handle.h"

// LocalSystem owns them; LocalSystem and the Administrators may do anything
// with them, everyone else may only wait on them and read who owns them.
bool BuildGlobalEventSecurity(ExplicitSecurity& security);

// Whether an event that existed already may be kept: its owner is one no
// ordinary user can set, and its list grants nobody more than ours does.
bool IsKeepableEvent(PSECURITY_DESCRIPTOR existing, PACL ours);

// The named event with that security, made now or kept as above. None, with
// the last error ERROR_ALREADY_EXISTS, for an event that is not kept.
UniqueHandle CreateGlobalEvent(const wchar_t* name, const ExplicitSecurity& security);

#pragma once

// Security identifiers read from access tokens.

#include <windows.h>

// One security identifier held in place.
struct SidBuffer {
    BYTE bytes[SECURITY_MAX_SID_SIZE];
    PSID get() { return bytes; }
};

// LocalSystem or the Administrators: owners no ordinary user can give an object.
inline bool IsSystemOrAdministrators(PSID sid)
{
    return sid && (IsWellKnownSid(sid, WinLocalSystemSid) || IsWellKnownSid(sid, WinBuiltinAdministratorsSid));
}

// The token's user (TokenUser) or the owner it gives new objects (TokenOwner).
bool ReadTokenSid(HANDLE token, TOKEN_INFORMATION_CLASS which, SidBuffer& sid);
// The same of this process's own token.
bool ReadOwnTokenSid(TOKEN_INFORMATION_CLASS which, SidBuffer& sid);

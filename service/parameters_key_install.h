#pragma once

// The Parameters key as the install tool creates it: every user may write
// Path, so that an agent in any session can name its hand-off file.

#include <windows.h>

#include "unique_handle.h"

// The IsWow64Process entry of kernel32, looked up at process start.
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
extern IsWow64ProcessFn g_isWow64Process;
void ProbeWow64();

// The access list of ParametersKey and the descriptor that carries it.
struct ParametersKeySecurity {
    UniqueSid everyone;
    UniqueSid administrators;
    UniqueSid localSystem;
    UniqueHlocal acl;
    UniqueHlocal descriptor;
};
bool BuildParametersKeySecurity(bool wow64, ParametersKeySecurity& security);

// Creates ParametersKey with that access list and resets both values. The
// access list applies only when the key is new.
bool CreateParametersKey();

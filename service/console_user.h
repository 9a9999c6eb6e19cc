#pragma once

#include <windows.h>

#include "unique_handle.h"

// Where the service meets the user signed in at the console. The service
// links console_user.cpp; unit tests link a fake that names the user and the
// environment instead.

// The console session, its user's token and the three values from which GetTempPathW
// would take that user's temporary folder; a value that is missing or does
// not fit is empty.
struct ConsoleUserLookup {
    UniqueHandle token;
    DWORD session;
    wchar_t tmp[MAX_PATH];
    wchar_t temp[MAX_PATH];
    wchar_t userProfile[MAX_PATH];
};

// False when nobody is signed in at the console, or that user's token or
// environment cannot be had.
bool LookUpConsoleUser(ConsoleUserLookup& found);

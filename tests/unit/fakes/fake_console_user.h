#pragma once

// The console user for unit tests, linked in place of console_user.cpp: this
// process's own user with the TMP, TEMP and USERPROFILE the test names (empty
// ones missing). A lookup before SignIn or SignOut fails the test.

#include <windows.h>

#include <string>

namespace fake_console_user {

void SignIn(const std::wstring& tmp, const std::wstring& temp = L"", const std::wstring& userProfile = L"");
void SignOut(); // nobody at the console
void SetSession(DWORD session); // the console's session id, 1 until set
void Reset();
int Lookups();

} // namespace fake_console_user

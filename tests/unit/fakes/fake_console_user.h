#pragma once

// A fake console user for unit tests, linked in place of console_user.cpp:
// this process's own user, with the environment values the test names. A
// lookup before the test said who is at the console fails the test.

#include <string>

namespace fake_console_user {

// The console user's TMP, TEMP and USERPROFILE; empty values are missing.
void SignIn(const std::wstring& tmp, const std::wstring& temp = L"", const std::wstring& userProfile = L"");
// Nobody at the console: lookups answer false.
void SignOut();
// Lookups fail the test again.
void Reset();
int Lookups();

} // namespace fake_console_user

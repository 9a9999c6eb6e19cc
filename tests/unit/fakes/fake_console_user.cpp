#include "fake_console_user.h"

#include <gtest/gtest.h>

#include "console_user.h"

namespace {
enum class Console { Unset, SignedIn, Nobody } g_console = Console::Unset;
std::wstring g_values[3];
DWORD g_session = 1;
int g_lookups = 0;
} // namespace

namespace fake_console_user {

void SignIn(const std::wstring& tmp, const std::wstring& temp, const std::wstring& userProfile)
{
    g_console = Console::SignedIn;
    g_values[0] = tmp;
    g_values[1] = temp;
    g_values[2] = userProfile;
}

void SignOut() { g_console = Console::Nobody; }
void SetSession(DWORD session) { g_session = session; }
void Reset() { g_console = Console::Unset, g_lookups = 0, g_session = 1; }
int Lookups() { return g_lookups; }

} // namespace fake_console_user

bool LookUpConsoleUser(ConsoleUserLookup& found)
{
    ++g_lookups;
    if (g_console == Console::Unset)
        ADD_FAILURE() << "unexpected lookup of the console user";
    if (g_console != Console::SignedIn ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE, found.token.put()))
        return false;
    found.session = g_session;
    wchar_t* values[] = {found.tmp, found.temp, found.userProfile};
    for (int i = 0; i < 3; ++i)
        wcsncpy_s(values[i], MAX_PATH, g_values[i].c_str(), _TRUNCATE);
    return true;
}

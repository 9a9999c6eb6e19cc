#include "fake_console_user.h"

#include <gtest/gtest.h>

#include "console_user.h"

namespace {

enum class Console { Unset, SignedIn, Nobody };
Console g_console = Console::Unset;
std::wstring g_tmp;
std::wstring g_temp;
std::wstring g_userProfile;
int g_lookups = 0;

void Copy(const std::wstring& from, wchar_t (&to)[MAX_PATH])
{
    to[0] = L'\0';
    if (from.size() < MAX_PATH)
        wcscpy_s(to, from.c_str());
}

} // namespace

namespace fake_console_user {

void SignIn(const std::wstring& tmp, const std::wstring& temp, const std::wstring& userProfile)
{
    g_console = Console::SignedIn;
    g_tmp = tmp;
    g_temp = temp;
    g_userProfile = userProfile;
}

void SignOut()
{
    g_console = Console::Nobody;
}

void Reset()
{
    g_console = Console::Unset;
    g_lookups = 0;
}

int Lookups()
{
    return g_lookups;
}

} // namespace fake_console_user

bool LookUpConsoleUser(ConsoleUserLookup& found)
{
    ++g_lookups;
    if (g_console == Console::Unset)
        ADD_FAILURE() << "unexpected lookup of the console user";
    if (g_console != Console::SignedIn)
        return false;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_IMPERSONATE, found.token.put()))
        return false;
    Copy(g_tmp, found.tmp);
    Copy(g_temp, found.temp);
    Copy(g_userProfile, found.userProfile);
    return true;
}

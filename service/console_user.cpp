#include "console_user.h"

#include <userenv.h>
#include <wtsapi32.h>

#include <wchar.h>

namespace {

void CopyVariable(const wchar_t* block, const wchar_t* name, wchar_t (&value)[MAX_PATH])
{
    value[0] = L'\0';
    size_t nameLength = wcslen(name);
    for (const wchar_t* entry = block; *entry != L'\0'; entry += wcslen(entry) + 1) {
        if (_wcsnicmp(entry, name, nameLength) == 0 && entry[nameLength] == L'=') {
            if (wcslen(entry + nameLength + 1) < MAX_PATH)
                wcscpy_s(value, entry + nameLength + 1);
            return;
        }
    }
}

} // namespace

bool LookUpConsoleUser(ConsoleUserLookup& found)
{
    DWORD session = WTSGetActiveConsoleSessionId();
    if (session == 0xFFFFFFFF)
        return false;
    if (!WTSQueryUserToken(session, found.token.put()))
        return false;
    found.session = session;
    UniqueEnvironment block;
    if (!CreateEnvironmentBlock(block.put(), found.token.get(), FALSE))
        return false;
    const wchar_t* entries = static_cast<const wchar_t*>(block.get());
    CopyVariable(entries, L"TMP", found.tmp);
    CopyVariable(entries, L"TEMP", found.temp);
    CopyVariable(entries, L"USERPROFILE", found.userProfile);
    return true;
}

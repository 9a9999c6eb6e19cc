#pragma once

// An object's access list as read back: its allowed entries by SID text,
// sorted, and whether it is protected from inheritance.

#include <windows.h>
#include <accctrl.h>

#include <ostream>
#include <string>
#include <vector>

struct AccessEntry {
    std::wstring sid;
    DWORD mask;
    bool operator<(const AccessEntry& other) const { return sid < other.sid; }
    bool operator==(const AccessEntry& other) const { return sid == other.sid && mask == other.mask; }
};
void PrintTo(const AccessEntry& entry, std::ostream* out);

std::vector<AccessEntry> AllowedEntries(HANDLE object, SE_OBJECT_TYPE type);
std::vector<AccessEntry> AllowedEntries(PACL acl);
bool IsProtectedList(HANDLE object, SE_OBJECT_TYPE type);

// A new auto-reset event (or the existing one of that name) created with the
// owner and list of a descriptor's text; Wine lets a test name any owner.
HANDLE CreateEventWithDescriptor(const wchar_t* name, const std::wstring& sddl);
// A list in the descriptor's text form that lets anyone do anything with an
// event (0x1F0003 is EVENT_ALL_ACCESS).
inline constexpr wchar_t kOpenToAll[] = L"D:(A;;0x1F0003;;;WD)";

// A SID of this process's token (its user unless told), as text.
std::wstring OwnTokenSid(TOKEN_INFORMATION_CLASS which = TokenUser);

#include "access_entries.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <stdio.h>

#include "bench_support.h"
#include "token_sid.h"
#include "unique_handle.h"

void PrintTo(const AccessEntry& entry, std::ostream* out)
{
    char mask[16];
    snprintf(mask, sizeof(mask), "0x%lX", static_cast<unsigned long>(entry.mask));
    *out << ToBytes(entry.sid) << ":" << mask;
}

std::vector<AccessEntry> AllowedEntries(PACL acl)
{
    std::vector<AccessEntry> entries;
    for (DWORD i = 0; acl && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace))
            continue;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        wchar_t* text = nullptr;
        ConvertSidToStringSidW(&allowed->SidStart, &text);
        UniqueHlocal owned(text);
        entries.push_back({text ? text : L"?", allowed->Mask});
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

static UniqueHlocal ReadDacl(HANDLE object, SE_OBJECT_TYPE type, PACL& dacl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    dacl = nullptr;
    if (GetSecurityInfo(object, type, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl, nullptr, &descriptor) !=
        ERROR_SUCCESS)
        dacl = nullptr;
    return UniqueHlocal(descriptor);
}

std::vector<AccessEntry> AllowedEntries(HANDLE object, SE_OBJECT_TYPE type)
{
    PACL dacl;
    UniqueHlocal descriptor = ReadDacl(object, type, dacl);
    return AllowedEntries(dacl);
}

bool IsProtectedList(HANDLE object, SE_OBJECT_TYPE type)
{
    PACL dacl;
    UniqueHlocal descriptor = ReadDacl(object, type, dacl);
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    return descriptor && GetSecurityDescriptorControl(descriptor.get(), &control, &revision) &&
           (control & SE_DACL_PROTECTED);
}

std::wstring OwnTokenSid(TOKEN_INFORMATION_CLASS which)
{
    SidBuffer sid;
    wchar_t* text = nullptr;
    if (!ReadOwnTokenSid(which, sid) || !ConvertSidToStringSidW(sid.get(), &text))
        return L"";
    UniqueHlocal owned(text);
    return text;
}

HANDLE CreateEventWithDescriptor(const wchar_t* name, const std::wstring& sddl)
{
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    UniqueHlocal held(descriptor);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), descriptor, FALSE};
    return CreateEventW(&attributes, FALSE, FALSE, name);
}

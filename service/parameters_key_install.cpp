#include "parameters_key_install.h"

#include <aclapi.h>

#include "console_output.h"
#include "parameters_key.h"

IsWow64ProcessFn g_isWow64Process;

void ProbeWow64()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel)
        g_isWow64Process =
            reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
}

static void FillAccessEntry(EXPLICIT_ACCESSW& entry, PSID sid, TRUSTEE_TYPE type, DWORD mask)
{
    entry.grfAccessPermissions = mask;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = type;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(sid);
}

// The install tool says on its console which call failed, with its error.
static bool Succeeded(BOOL done, const wchar_t* call)
{
    if (!done)
        ConsolePrint(L"%ls Error %u\n", call, GetLastError());
    return done != FALSE;
}

// One SID of the list.
static bool AllocateSid(SID_IDENTIFIER_AUTHORITY authority, BYTE count, DWORD first, DWORD second, UniqueSid& sid)
{
    return Succeeded(AllocateAndInitializeSid(&authority, count, first, second, 0, 0, 0, 0, 0, 0, sid.put()),
                     L"AllocateAndInitializeSid");
}

bool BuildParametersKeySecurity(bool wow64, ParametersKeySecurity& security)
{
    EXPLICIT_ACCESSW entries[3] = {};
    if (!AllocateSid(SECURITY_WORLD_SID_AUTHORITY, 1, SECURITY_WORLD_RID, 0, security.everyone))
        return false;
    // The registry view bit means nothing in an access mask; it is there on
    // purpose, as the key has always carried it under WOW64.
    FillAccessEntry(entries[0], security.everyone.get(), TRUSTEE_IS_WELL_KNOWN_GROUP,
                    (KEY_READ | KEY_WRITE) | (wow64 ? KEY_WOW64_64KEY : 0));

    if (!AllocateSid(SECURITY_NT_AUTHORITY, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS,
                     security.administrators))
        return false;
    FillAccessEntry(entries[1], security.administrators.get(), TRUSTEE_IS_GROUP, KEY_ALL_ACCESS);

    if (!AllocateSid(SECURITY_NT_AUTHORITY, 1, SECURITY_LOCAL_SYSTEM_RID, 0, security.localSystem))
        return false;
    FillAccessEntry(entries[2], security.localSystem.get(), TRUSTEE_IS_GROUP, KEY_ALL_ACCESS);

    PACL acl = nullptr;
    DWORD aclResult = SetEntriesInAclW(ARRAYSIZE(entries), entries, nullptr, &acl);
    security.acl.reset(acl);
    if (aclResult != ERROR_SUCCESS) {
        ConsolePrint(L"SetEntriesInAcl Error %u\n", aclResult);
        return false;
    }

    // The descriptor's own size on this platform: 20 bytes only on 32-bit Windows.
    security.descriptor.reset(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
    PSECURITY_DESCRIPTOR descriptor = security.descriptor.get();
    return Succeeded(descriptor != nullptr, L"LocalAlloc") &&
           Succeeded(InitializeSecurityDescriptor(descriptor, SECURITY_DESCRIPTOR_REVISION),
                     L"InitializeSecurityDescriptor") &&
           Succeeded(SetSecurityDescriptorDacl(descriptor, TRUE, acl, FALSE), L"SetSecurityDescriptorDacl");
}

bool CreateParametersKey()
{
    BOOL wow64 = FALSE;
    if (g_isWow64Process)
        g_isWow64Process(GetCurrentProcess(), &wow64);

    ParametersKeySecurity security;
    if (!BuildParametersKeySecurity(wow64 != FALSE, security))
        return false;

    SECURITY_ATTRIBUTES attributes{sizeof(attributes), security.descriptor.get(), FALSE};
    UniqueHkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        &attributes, key.put(), nullptr) != ERROR_SUCCESS)
        return false;

    // Whether the values could be reset does not decide the install.
    WriteProfilePath(L"");
    WriteExitCode(EnrollmentSucceeded);
    return true;
}

#include "parameters_key.h"

#include <wchar.h>

#include "unique_handle.h"

namespace {

UniqueHkey OpenParametersKey(REGSAM access)
{
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, access, key.put()) != ERROR_SUCCESS)
        key.reset();
    return key;
}

bool SetValue(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    UniqueHkey key = OpenParametersKey(KEY_WRITE);
    if (!key)
        return false;
    LSTATUS set = RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), size);
    RegFlushKey(key.get());
    return set == ERROR_SUCCESS;
}

} // namespace

bool ReadProfilePath(wchar_t (&path)[MAX_PATH])
{
    wmemset(path, L'\0', MAX_PATH);
    UniqueHkey key = OpenParametersKey(KEY_READ);
    if (!key)
        return false;
    DWORD size = sizeof(path);
    if (RegQueryValueExW(key.get(), kPathValue, nullptr, nullptr, reinterpret_cast<BYTE*>(path), &size) !=
            ERROR_SUCCESS ||
        path[MAX_PATH - 1] != L'\0')
        wmemset(path, L'\0', MAX_PATH);
    return true;
}

bool WriteProfilePath(const wchar_t* path)
{
    return SetValue(kPathValue, REG_SZ, path, static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t)));
}

DWORD ReadExitCode()
{
    UniqueHkey key = OpenParametersKey(KEY_READ);
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!key ||
        RegQueryValueExW(key.get(), kExitCodeValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        size != sizeof(value))
        return EnrollmentFailed;
    return value;
}

bool WriteExitCode(DWORD value)
{
    return SetValue(kExitCodeValue, REG_DWORD, &value, sizeof(value));
}

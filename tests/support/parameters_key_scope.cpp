#include "parameters_key_scope.h"

#include "parameters_key.h"
#include "unique_handle.h"

namespace {

bool CreateKey(const wchar_t* path, bool& created)
{
    UniqueHkey key;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        &disposition) != ERROR_SUCCESS)
        return false;
    created = disposition == REG_CREATED_NEW_KEY;
    return true;
}

} // namespace

ParameterValue ReadParameterValue(const wchar_t* name)
{
    ParameterValue value;
    DWORD size = 0;
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND, &value.type, nullptr,
                     &size) != ERROR_SUCCESS)
        return value;
    value.data.resize(size);
    value.present = RegGetValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, name, RRF_RT_ANY | RRF_NOEXPAND,
                                 &value.type, value.data.data(), &size) == ERROR_SUCCESS;
    value.data.resize(size);
    return value;
}

ParametersKeyScope::ParametersKeyScope()
{
    CreateKey(kServiceKeyPath, createdServiceKey_);
    CreateKey(kParametersKeyPath, createdKey_);
    path_ = ReadParameterValue(kPathValue);
    exitCode_ = ReadParameterValue(kExitCodeValue);
}

ParametersKeyScope::~ParametersKeyScope()
{
    if (createdServiceKey_) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceKeyPath);
        return;
    }
    if (createdKey_) {
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kParametersKeyPath);
        return;
    }
    bool unused = false;
    CreateKey(kParametersKeyPath, unused);
    Restore(kPathValue, path_);
    Restore(kExitCodeValue, exitCode_);
}

void ParametersKeyScope::Restore(const wchar_t* name, const ParameterValue& saved)
{
    if (saved.present)
        SetRaw(name, saved.type, saved.data.data(), static_cast<DWORD>(saved.data.size()));
    else
        Delete(name);
}

void ParametersKeyScope::SetPath(const std::wstring& path)
{
    WriteProfilePath(path.c_str());
}

void ParametersKeyScope::SetExitCode(DWORD value)
{
    WriteExitCode(value);
}

DWORD ParametersKeyScope::ExitCode() const
{
    ParameterValue value = ReadParameterValue(kExitCodeValue);
    if (!value.present || value.type != REG_DWORD || value.data.size() != sizeof(DWORD))
        return kNoExitCode;
    return *reinterpret_cast<const DWORD*>(value.data.data());
}

void ParametersKeyScope::SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size)
{
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, name, type, data, size);
}

void ParametersKeyScope::Delete(const wchar_t* name)
{
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, name);
}

void ParametersKeyScope::DeleteKey()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kParametersKeyPath);
}

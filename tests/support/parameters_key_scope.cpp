#include "parameters_key_scope.h"

#include "contract.h"

namespace {

const std::wstring kServiceKeyPath = std::wstring(kServicesRoot) + L"\\" + kServiceName;

bool CreateKey(const std::wstring& path, bool& created)
{
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS)
        return false;
    created = disposition == REG_CREATED_NEW_KEY;
    RegCloseKey(key);
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
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kServiceKeyPath.c_str());
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
        RegSetKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, name, saved.type, saved.data.data(),
                        static_cast<DWORD>(saved.data.size()));
    else
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, name);
}

void ParametersKeyScope::SetPath(const std::wstring& path)
{
    SetPathBytes(path.c_str(), static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t)));
}

void ParametersKeyScope::SetPathBytes(const void* data, DWORD size)
{
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kPathValue, REG_SZ, data, size);
}

void ParametersKeyScope::SetExitCode(DWORD value)
{
    SetExitCodeRaw(REG_DWORD, &value, sizeof(value));
}

void ParametersKeyScope::SetExitCodeRaw(DWORD type, const void* data, DWORD size)
{
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kExitCodeValue, type, data, size);
}

void ParametersKeyScope::DeleteExitCode()
{
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kExitCodeValue);
}

void ParametersKeyScope::DeletePath()
{
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kPathValue);
}

void ParametersKeyScope::DeleteKey()
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kParametersKeyPath);
}

bool ParametersKeyScope::ReadPath(std::wstring& text, DWORD& type, DWORD& size)
{
    ParameterValue saved = ReadParameterValue(kPathValue);
    if (!saved.present)
        return false;
    type = saved.type;
    size = static_cast<DWORD>(saved.data.size());
    text.assign(reinterpret_cast<const wchar_t*>(saved.data.data()), saved.data.size() / sizeof(wchar_t));
    return true;
}

#pragma once

// The bench: a folder named "bench" beside the modules it serves, where the
// stand-ins installed in one folder keep their shared scenario and records.
// The service runs under the Service Control Manager and the agent in the
// user's session, so the file system is what they both see.

#include <windows.h>

#include <string>

inline std::wstring ModuleDirectory(const void* addressInModule)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(addressInModule), &module);
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring directory(path, length);
    size_t slash = directory.find_last_of(L'\\');
    return slash == std::wstring::npos ? directory : directory.substr(0, slash);
}

// Its address lies in whichever module includes this.
inline const int kModuleMarker = 0;

// The bench of the stand-ins installed in installation; the stand-ins name
// their own folder, the tests the test installation.
inline std::wstring BenchDirectory(const std::wstring& installation = ModuleDirectory(&kModuleMarker))
{
    std::wstring bench = installation + L"\\bench";
    CreateDirectoryW(bench.c_str(), nullptr);
    return bench;
}

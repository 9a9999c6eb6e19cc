#pragma once

// Other processes as the bench sees them: found by program name, and their
// handle counts from the system handle table, because under Wine
// GetProcessHandleCount of another process answers 0.

#include <windows.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

inline std::vector<DWORD> ProcessIdsNamed(const wchar_t* program)
{
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, program) == 0)
            ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}

// NtQuerySystemInformation's SystemExtendedHandleInformation (class 64).
struct SystemHandleEntry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG attributes;
    ULONG reserved;
};
struct SystemHandleTable {
    ULONG_PTR count;
    ULONG_PTR reserved;
    SystemHandleEntry entries[1];
};

// The number of handles each of the given processes holds; -1 where the
// table could not be read.
inline std::vector<long> HandleCounts(const std::vector<DWORD>& processIds)
{
    constexpr ULONG kExtendedHandleInformation = 64;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    using QueryFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<long> counts(processIds.size(), -1);
    if (!query)
        return counts;
    std::vector<unsigned char> buffer(1 << 16);
    LONG status;
    ULONG needed = 0;
    while ((status = query(kExtendedHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &needed)) ==
           kLengthMismatch)
        buffer.resize(needed > buffer.size() ? needed + 4096 : buffer.size() * 2);
    if (status < 0)
        return counts;
    const auto* table = reinterpret_cast<const SystemHandleTable*>(buffer.data());
    for (size_t i = 0; i < processIds.size(); ++i) {
        counts[i] = 0;
        for (ULONG_PTR entry = 0; entry < table->count; ++entry)
            counts[i] += table->entries[entry].processId == processIds[i];
    }
    return counts;
}

// The fewest handles the one running copy of a program holds over a few
// looks, since its own loops open and close some all the time; -1 when not
// exactly one copy runs.
inline long SteadyHandleCount(const wchar_t* program)
{
    long fewest = -1;
    for (int look = 0; look < 5; ++look) {
        std::vector<long> counts = HandleCounts(ProcessIdsNamed(program));
        if (counts.size() == 1 && (fewest < 0 || counts[0] < fewest))
            fewest = counts[0];
        Sleep(100);
    }
    return fewest;
}

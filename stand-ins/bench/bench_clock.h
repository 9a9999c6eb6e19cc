#pragma once

// The one clock of the bench's records, for the stand-ins, the bench tool and
// the tests alike: Unix milliseconds of the system time.

#include <windows.h>

#include <stdint.h>

inline constexpr uint64_t kFileTimeTicksPerMs = 10000;
inline constexpr uint64_t kUnixEpochInFileTimeMs = 11644473600000ULL;

inline uint64_t BenchNowMs()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    uint64_t ticks = (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    return ticks / kFileTimeTicksPerMs - kUnixEpochInFileTimeMs;
}

// A bench time as the local clock shows it.
inline SYSTEMTIME BenchLocalTime(uint64_t unixMs)
{
    uint64_t ticks = (unixMs + kUnixEpochInFileTimeMs) * kFileTimeTicksPerMs;
    FILETIME utc{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
    FILETIME local;
    SYSTEMTIME clock{};
    FileTimeToLocalFileTime(&utc, &local);
    FileTimeToSystemTime(&local, &clock);
    return clock;
}

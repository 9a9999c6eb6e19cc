#pragma once

// What the LED tool stand-in keeps in the bench folder, for itself, the bench
// tool and the tests (each names the folder, since each lives elsewhere):
//
//   leds.log   one line per run, in order: "<ms> <argument text>", UTF-8, where
//              <ms> is the bench clock (bench_clock.h)
//   leds.ini   [leds] led2, led3 (the current mode of each LED), mpc, up
//   wl.ini     [wl] delay_ms (each run lasts this long), hang (1: a run does
//              not end while it stays 1)

#include <windows.h>

#include <stdint.h>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_text.h"

struct LedRun {
    int64_t timeMs = 0;
    std::wstring arguments;
};

struct LedToolSettings {
    DWORD delayMs = 0;
    bool hang = false;
};

inline std::wstring LedLogFile(const std::wstring& bench)
{
    return bench + L"\\leds.log";
}

inline std::wstring LedStateFile(const std::wstring& bench)
{
    return bench + L"\\leds.ini";
}

inline std::wstring LedToolFile(const std::wstring& bench)
{
    return bench + L"\\wl.ini";
}

// One write with append access, so that a line never mixes with another.
inline void AppendLedRun(const std::wstring& bench, const LedRun& run)
{
    HANDLE file = CreateFileW(LedLogFile(bench).c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string line = std::to_string(run.timeMs) + " " + ToBytes(run.arguments) + "\r\n";
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

inline std::vector<LedRun> ReadLedRuns(const std::wstring& bench)
{
    std::vector<LedRun> runs;
    HANDLE file = CreateFileW(LedLogFile(bench).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return runs;
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        text.append(buffer, got);
    CloseHandle(file);

    size_t begin = 0;
    for (size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        std::string line = text.substr(begin, end - begin);
        size_t space = line.find(' ');
        if (space == std::string::npos)
            continue;
        LedRun run;
        run.timeMs = _strtoi64(line.c_str(), nullptr, 10);
        run.arguments = FromBytes(line.substr(space + 1));
        runs.push_back(run);
    }
    return runs;
}

inline void ClearLedRuns(const std::wstring& bench)
{
    DeleteFileW(LedLogFile(bench).c_str());
}

inline std::vector<std::wstring> LedArguments(const std::vector<LedRun>& runs)
{
    std::vector<std::wstring> arguments;
    for (const LedRun& run : runs)
        arguments.push_back(run.arguments);
    return arguments;
}

// The mode an LED was last given, -1 before any.
inline int ReadLedMode(const std::wstring& bench, const wchar_t* key)
{
    return static_cast<int>(GetPrivateProfileIntW(L"leds", key, -1, LedStateFile(bench).c_str()));
}

inline void WriteLedMode(const std::wstring& bench, const wchar_t* key, int mode)
{
    WritePrivateProfileStringW(L"leds", key, std::to_wstring(mode).c_str(), LedStateFile(bench).c_str());
}

inline LedToolSettings ReadLedToolSettings(const std::wstring& bench)
{
    std::wstring file = LedToolFile(bench);
    LedToolSettings settings;
    settings.delayMs = GetPrivateProfileIntW(L"wl", L"delay_ms", 0, file.c_str());
    settings.hang = GetPrivateProfileIntW(L"wl", L"hang", 0, file.c_str()) != 0;
    return settings;
}

inline void WriteLedToolSettings(const std::wstring& bench, const LedToolSettings& settings)
{
    std::wstring file = LedToolFile(bench);
    WritePrivateProfileStringW(L"wl", L"delay_ms", std::to_wstring(settings.delayMs).c_str(), file.c_str());
    WritePrivateProfileStringW(L"wl", L"hang", settings.hang ? L"1" : L"0", file.c_str());
}

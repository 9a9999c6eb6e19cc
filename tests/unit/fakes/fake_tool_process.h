#pragma once

// A fake LED tool for unit tests, linked in place of tool_process.cpp: records
// each run with the fake clock's reading, lets each run take fake time, and
// answers the service's module path with whatever the test set.

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace fake_tool {

struct Run {
    std::wstring commandLine;
    std::wstring arguments; // after the quoted program path and its blank
    std::wstring directory;
    int64_t sleptMs = 0;    // the fake clock's total sleep when the run began
    int64_t seconds = 0;    // the fake clock's calendar seconds then
};

// Forgets the runs and sets the module path; runs take no time.
void Reset(const std::wstring& modulePath = L"C:\\Program Files\\Tolvek Lark\\saddrin.exe");
void SetModulePath(const std::wstring& path);
void SetRunMs(int64_t milliseconds);
// Called after each run with its number, counting from 1.
void SetRunHook(std::function<void(size_t)> hook);

const std::vector<Run>& Runs();
std::vector<std::wstring> Arguments();
int ModulePathQueries();

} // namespace fake_tool

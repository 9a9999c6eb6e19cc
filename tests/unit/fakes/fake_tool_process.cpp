#include "fake_tool_process.h"

#include <wchar.h>

#include "fake_clock.h"
#include "tool_process.h"

namespace {
std::wstring g_modulePath;
int64_t g_runMs = 0;
std::function<void(size_t)> g_hook;
std::vector<fake_tool::Run> g_runs;
int g_queries = 0;
} // namespace

namespace fake_tool {

void Reset(const std::wstring& modulePath)
{
    g_modulePath = modulePath;
    g_runMs = 0;
    g_hook = nullptr;
    g_runs.clear();
    g_queries = 0;
}

void SetModulePath(const std::wstring& path)
{
    g_modulePath = path;
}

void SetRunMs(int64_t milliseconds)
{
    g_runMs = milliseconds;
}

void SetRunHook(std::function<void(size_t)> hook)
{
    g_hook = std::move(hook);
}

const std::vector<Run>& Runs()
{
    return g_runs;
}

std::vector<std::wstring> Arguments()
{
    std::vector<std::wstring> arguments;
    for (const Run& run : g_runs)
        arguments.push_back(run.arguments);
    return arguments;
}

int ModulePathQueries()
{
    return g_queries;
}

} // namespace fake_tool

// As GetModuleFileNameW: a path too long for the buffer comes back cut and
// terminated, with the buffer's size as its length.
DWORD ServiceModulePath(wchar_t* path, DWORD size)
{
    ++g_queries;
    if (size == 0)
        return 0;
    size_t copied = g_modulePath.size() < size ? g_modulePath.size() : size - 1;
    wmemcpy(path, g_modulePath.data(), copied);
    path[copied] = L'\0';
    return g_modulePath.size() < size ? static_cast<DWORD>(copied) : size;
}

void RunToolProcess(wchar_t* commandLine, const wchar_t* currentDirectory)
{
    fake_tool::Run run;
    run.commandLine = commandLine;
    run.directory = currentDirectory;
    run.sleptMs = fake_clock::TotalSleptMs();
    run.seconds = fake_clock::Seconds();
    size_t quote = run.commandLine.find(L'"', 1);
    if (quote != std::wstring::npos && quote + 2 <= run.commandLine.size())
        run.arguments = run.commandLine.substr(quote + 2);
    g_runs.push_back(run);
    fake_clock::AdvanceMs(g_runMs);
    if (g_hook)
        g_hook(g_runs.size());
}

// Stand-in for the vendor's LED tool: records each run in the bench, keeps the
// modes it was given, and takes as long as the bench tells it to.
#include <windows.h>

#include <stdlib.h>
#include <wchar.h>

#include <string>

#include "bench_dir.h"
#include "bench_leds.h"

namespace {

// The argument text as the caller wrote it: the command line after the
// program's name and the blank that follows it.
std::wstring ArgumentText()
{
    const wchar_t* line = GetCommandLineW();
    if (*line == L'"') {
        line = wcschr(line + 1, L'"');
        line = line ? line + 1 : L"";
    } else {
        while (*line && *line != L' ' && *line != L'\t')
            ++line;
    }
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

// "ledbh <led> <mode>", "mpc <0|1>", "up". Anything else changes nothing.
bool Apply(const std::wstring& bench, int argc, wchar_t** argv)
{
    if (argc == 4 && wcscmp(argv[1], L"ledbh") == 0) {
        int led = _wtoi(argv[2]);
        if (led != 2 && led != 3)
            return false;
        WriteLedMode(bench, led == 2 ? L"led2" : L"led3", _wtoi(argv[3]));
        return true;
    }
    if (argc == 3 && wcscmp(argv[1], L"mpc") == 0) {
        WriteLedMode(bench, L"mpc", _wtoi(argv[2]));
        return true;
    }
    if (argc == 2 && wcscmp(argv[1], L"up") == 0) {
        WriteLedMode(bench, L"up", 1);
        return true;
    }
    return false;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    std::wstring bench = BenchDirectory();
    AppendLedRun(bench, {static_cast<int64_t>(BenchNowMs()), ArgumentText()});

    LedToolSettings settings = ReadLedToolSettings(bench);
    if (settings.delayMs)
        Sleep(settings.delayMs);
    // A hanging run ends once the bench lets it go, so that no test leaves a
    // tool behind.
    while (settings.hang) {
        Sleep(50);
        settings = ReadLedToolSettings(bench);
    }
    return Apply(bench, argc, argv) ? 0 : 1;
}

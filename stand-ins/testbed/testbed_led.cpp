// testbed leds ..., testbed wl ...: what the LED tool stand-in was told, and
// how it behaves.
#include "testbed.h"

#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#include "bench_dir.h"
#include "bench_leds.h"

namespace {

void PrintLocalTime(int64_t timeMs)
{
    SYSTEMTIME clock = BenchLocalTime(static_cast<uint64_t>(timeMs));
    wprintf(L"%02u:%02u:%02u.%03u", clock.wHour, clock.wMinute, clock.wSecond, clock.wMilliseconds);
}

void PrintTimeline(const std::wstring& bench)
{
    std::vector<LedRun> runs = ReadLedRuns(bench);
    if (runs.empty()) {
        wprintf(L"no runs of wl.exe recorded\n");
        return;
    }
    for (const LedRun& run : runs) {
        PrintLocalTime(run.timeMs);
        int64_t since = run.timeMs - runs.front().timeMs;
        wprintf(L"  +%lld.%03lld s  %ls\n", static_cast<long long>(since / 1000), static_cast<long long>(since % 1000),
                run.arguments.c_str());
    }
}

void PrintMode(const std::wstring& bench, const wchar_t* label, const wchar_t* key)
{
    int mode = ReadLedMode(bench, key);
    if (mode < 0)
        wprintf(L"%ls: not set\n", label);
    else
        wprintf(L"%ls: %d\n", label, mode);
}

void PrintModes(const std::wstring& bench)
{
    PrintMode(bench, L"LED 2 mode", L"led2");
    PrintMode(bench, L"LED 3 mode", L"led3");
    PrintMode(bench, L"mpc", L"mpc");
}

void PrintSettings(const std::wstring& bench)
{
    LedToolSettings settings = ReadLedToolSettings(bench);
    wprintf(L"each run takes %lu ms%ls\n", settings.delayMs, settings.hang ? L", and hangs" : L"");
}

int Usage()
{
    fwprintf(stderr, L"testbed: wrong use of leds/wl (try --help)\n");
    return 2;
}

int RunWlCommand(int argc, wchar_t** argv, const std::wstring& bench)
{
    LedToolSettings settings = ReadLedToolSettings(bench);
    if (argc == 1 || (argc == 2 && wcscmp(argv[1], L"show") == 0)) {
        PrintSettings(bench);
        return 0;
    }
    if (argc == 3 && wcscmp(argv[1], L"delay") == 0) {
        wchar_t* end = nullptr;
        unsigned long delay = wcstoul(argv[2], &end, 10);
        if (end == argv[2] || *end)
            return Usage();
        settings.delayMs = delay;
    } else if (argc == 3 && wcscmp(argv[1], L"hang") == 0 &&
               (wcscmp(argv[2], L"on") == 0 || wcscmp(argv[2], L"off") == 0)) {
        settings.hang = wcscmp(argv[2], L"on") == 0;
    } else if (argc == 2 && wcscmp(argv[1], L"reset") == 0) {
        settings = {};
    } else {
        return Usage();
    }
    WriteLedToolSettings(bench, settings);
    PrintSettings(bench);
    return 0;
}

} // namespace

void PrintLedHelp()
{
    wprintf(L"LEDs (the wl.exe stand-in):\n"
            L"  leds [show]             current modes of LED 2 and LED 3, then the timeline\n"
            L"  leds timeline           every run of wl.exe: time, time since the first, arguments\n"
            L"  leds modes              current modes of LED 2 and LED 3 and the last \"mpc\"\n"
            L"  leds clear              forget the recorded runs\n"
            L"  wl [show]               how each run behaves\n"
            L"  wl delay <ms>           each run takes <ms> before it ends\n"
            L"  wl hang on|off          runs do not end while on (hung ones end when set off)\n"
            L"  wl reset                no delay, no hang\n\n");
}

int RunLedCommand(int argc, wchar_t** argv)
{
    std::wstring bench = BenchDirectory();
    if (wcscmp(argv[0], L"wl") == 0)
        return RunWlCommand(argc, argv, bench);

    if (argc == 1 || (argc == 2 && wcscmp(argv[1], L"show") == 0)) {
        PrintModes(bench);
        PrintTimeline(bench);
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"timeline") == 0) {
        PrintTimeline(bench);
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"modes") == 0) {
        PrintModes(bench);
        return 0;
    }
    if (argc == 2 && wcscmp(argv[1], L"clear") == 0) {
        ClearLedRuns(bench);
        wprintf(L"timeline cleared\n");
        return 0;
    }
    return Usage();
}

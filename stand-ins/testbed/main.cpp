// testbed: sets the bench scenario that the stand-ins act out and reads back
// what they recorded.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include <string>

#include "bench_dir.h"
#include "testbed.h"

// The stand-in package's uninstall runs this: the bench folder is no file of the package.
static int RemoveBench()
{
    std::wstring bench = BenchDirectory();
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((bench + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((bench + L"\\" + entry.cFileName).c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    return RemoveDirectoryW(bench.c_str()) ? 0 : 1;
}

static void PrintHelp()
{
    wprintf(L"usage: testbed <group> <command> [options]\n\n");
    PrintWpsHelp();
    PrintWlanHelp();
    PrintLedHelp();
    PrintAgentHelp();
    PrintPerfHelp();
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || wcscmp(argv[1], L"--help") == 0 || wcscmp(argv[1], L"help") == 0) {
        PrintHelp();
        return argc < 2 ? 2 : 0;
    }
    const wchar_t* group = argv[1];
    if (wcscmp(group, L"ap") == 0 || wcscmp(group, L"button") == 0 || wcscmp(group, L"wps") == 0 ||
        wcscmp(group, L"calls") == 0)
        return RunWpsCommand(argc - 1, argv + 1);
    if (wcscmp(group, L"wlan") == 0)
        return RunWlanCommand(argc - 1, argv + 1);
    if (wcscmp(group, L"leds") == 0 || wcscmp(group, L"wl") == 0)
        return RunLedCommand(argc - 1, argv + 1);
    if (wcscmp(group, L"agent") == 0)
        return RunAgentCommand(argc - 1, argv + 1);
    if (wcscmp(group, L"bench") == 0 && argc > 2 && wcscmp(argv[2], L"remove") == 0)
        return RemoveBench();
    if (wcscmp(group, L"perf") == 0 || wcscmp(group, L"handles") == 0)
        return RunPerfCommand(argc - 1, argv + 1);
    fwprintf(stderr, L"testbed: unknown group '%ls' (try --help)\n", group);
    return 2;
}

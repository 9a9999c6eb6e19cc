// testbed: sets the bench scenario that the stand-ins act out and reads back
// what they recorded.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

#include "testbed.h"

static void PrintHelp()
{
    wprintf(L"usage: testbed <group> <command> [options]\n\n");
    PrintWpsHelp();
    PrintWlanHelp();
    PrintLedHelp();
    PrintAgentHelp();
    PrintBenchHelp();
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
    if (wcscmp(group, L"bench") == 0 || wcscmp(group, L"handles") == 0)
        return RunBenchCommand(argc - 1, argv + 1);
    fwprintf(stderr, L"testbed: unknown group '%ls' (try --help)\n", group);
    return 2;
}

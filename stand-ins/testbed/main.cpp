// testbed: the bench tool. Each group of commands lives in a file of its own.
#include <windows.h>

#include <stdio.h>
#include <wchar.h>

static void PrintHelp()
{
    wprintf(L"usage: testbed <group> <command> [options]\n"
            L"  --help   this text\n");
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2 || wcscmp(argv[1], L"--help") == 0) {
        PrintHelp();
        return argc < 2 ? 2 : 0;
    }
    fwprintf(stderr, L"testbed: unknown group '%ls'\n", argv[1]);
    return 2;
}

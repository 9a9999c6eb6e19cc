#include "testbed.h"

#include <stdio.h>

void PrintWpsHelp() {}

int RunWpsCommand(int, wchar_t** argv)
{
    fwprintf(stderr, L"testbed: '%ls' is not available yet\n", argv[0]);
    return 2;
}

#pragma once

#include <windows.h>

// Every worker thread of the service starts here: the program links
// thread_start.cpp, unit tests a fake that gives a new thread a head start
// over its creator, or refuses to create it.
HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument, DWORD flags = 0);

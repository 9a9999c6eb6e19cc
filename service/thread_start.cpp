#include "thread_start.h"

HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument, DWORD flags)
{
    return CreateThread(nullptr, 0, routine, argument, flags, nullptr);
}

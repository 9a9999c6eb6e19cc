#include "fake_thread_start.h"

#include <windows.h>

#include <atomic>
#include <memory>
#include <utility>

#include "thread_start.h"
#include "unique_handle.h"

namespace {

using FirstPause = std::shared_ptr<UniqueHandle>;

struct Start {
    LPTHREAD_START_ROUTINE routine;
    void* argument;
    FirstPause firstPause;
};

thread_local FirstPause t_firstPause;
std::atomic<int> g_refusals{0};

DWORD WINAPI RunWithHeadStart(void* parameter)
{
    std::unique_ptr<Start> start(static_cast<Start*>(parameter));
    t_firstPause = start->firstPause;
    DWORD result = start->routine(start->argument);
    fake_thread_start::NotePause();
    return result;
}

} // namespace

namespace fake_thread_start {

void Reset()
{
    g_refusals = 0;
}

void RefuseNext(int count)
{
    g_refusals = count;
}

void NotePause()
{
    if (FirstPause pause = std::exchange(t_firstPause, nullptr))
        SetEvent(pause->get());
}

} // namespace fake_thread_start

HANDLE StartThread(LPTHREAD_START_ROUTINE routine, void* argument, DWORD flags)
{
    if (g_refusals.load() > 0) {
        --g_refusals;
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    bool headStart = (flags & CREATE_SUSPENDED) == 0;
    auto pause = std::make_shared<UniqueHandle>(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto* start = new Start{routine, argument, headStart ? pause : nullptr};
    HANDLE thread = CreateThread(nullptr, 0, RunWithHeadStart, start, flags, nullptr);
    if (!thread) {
        delete start;
        return nullptr;
    }
    if (headStart)
        WaitForSingleObject(pause->get(), fake_thread_start::kHeadStartMs);
    return thread;
}

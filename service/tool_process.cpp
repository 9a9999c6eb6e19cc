#include "tool_process.h"

#include "service_state.h"
#include "unique_handle.h"

DWORD ServiceModulePath(wchar_t* path, DWORD size)
{
    return GetModuleFileNameW(nullptr, path, size);
}

void RunToolProcess(wchar_t* commandLine, const wchar_t* currentDirectory)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    g_service.ToolStarting.store(true);
    BOOL started = CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                  currentDirectory, &startup, &process);
    g_service.ToolStarting.store(false);
    // Both handles stay zero when the start failed.
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (started)
        WaitForSingleObject(processHandle.get(), INFINITE);
}

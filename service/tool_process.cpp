#include "tool_process.h"

#include "service_state.h"
#include "unique_handle.h"

namespace {

// A tool that hangs must not outlive the service. Its job ends every process
// in it when the last handle to the job closes: after the run, or when the
// service exits with the indicator thread cut off inside the wait.
UniqueHandle CreateToolJob()
{
    UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (job && !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits)))
        job.reset();
    return job;
}

} // namespace

DWORD ServiceModulePath(wchar_t* path, DWORD size)
{
    return GetModuleFileNameW(nullptr, path, size);
}

void RunToolProcess(wchar_t* commandLine, const wchar_t* currentDirectory)
{
    UniqueHandle job = CreateToolJob();
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    g_service.ToolStarting.store(true);
    // Suspended until it is in the job; a thread cut off before the
    // assignment would leave the tool outside it.
    BOOL started = CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                                  nullptr, currentDirectory, &startup, &process);
    // A tool outside a job still shows its LED change.
    if (started && job)
        AssignProcessToJobObject(job.get(), process.hProcess);
    g_service.ToolStarting.store(false);
    // Both handles stay zero when the start failed.
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    if (started) {
        ResumeThread(threadHandle.get());
        WaitForSingleObject(processHandle.get(), INFINITE);
    }
}

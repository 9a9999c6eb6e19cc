#include "service_shell.h"
#include "service_shell_internal.h"

#include <strsafe.h>
#include <wchar.h>

#include <algorithm>

#include "adapter.h"
#include "clock.h"
#include "console_output.h"
#include "contract.h"
#include "enrollment_session.h"
#include "parameters_key_install.h"
#include "service_state.h"
#include "service_work.h"
#include "thread_start.h"

namespace {

// A service deleted while another process still holds a handle to it (the
// Services console, an installer's earlier step) stays until that handle
// closes; a new one of the same name is refused until then.
constexpr DWORD kMarkedForDeleteWaitMs = 15000;
constexpr DWORD kMarkedForDeletePollMs = 250;

constexpr wchar_t kServiceDescription[] =
    L"Joins Wi-Fi networks by WPS when the Tolvek Lark Wireless USB Adapter's button is pressed, "
    L"and shows the adapter's state on its LEDs.";

constexpr DWORD kRestartDelayMs = 5000;
// A failure count older than a day starts again from the first action.
constexpr DWORD kFailureCountResetSeconds = 24 * 60 * 60;

UniqueScHandle OpenManager()
{
    return UniqueScHandle(OpenSCManagerW(nullptr, SERVICES_ACTIVE_DATABASEW, SC_MANAGER_ALL_ACCESS));
}

// None, with the manager's error kept, when the manager did not open.
UniqueScHandle OpenOurService(const UniqueScHandle& manager)
{
    return UniqueScHandle(manager ? OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS) : nullptr);
}

// How a step of the install tool went, on its console: the failure with the
// last error, or the success.
bool ReportStep(bool done, const wchar_t* failure, const wchar_t* success)
{
    if (!done) {
        ConsolePrint(failure, GetLastError());
        return false;
    }
    ConsolePrint(L"%ls", success);
    return true;
}

bool InstallServiceEntry()
{
    wchar_t path[1024];
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return false;

    // Quoted, so that a path with blanks cannot start another program.
    wchar_t command[ARRAYSIZE(path) + 2];
    StringCchPrintfW(command, ARRAYSIZE(command), L"\"%ls\"", path);

    UniqueScHandle manager = OpenManager();
    if (!manager)
        return false;
    UniqueScHandle service(CreateServiceWaitingOutDeletion(manager.get(), command));
    if (!service)
        return false;
    DescribeService(service.get());
    return true;
}

void ReportState(DWORD state, DWORD checkPoint = 0, DWORD waitHint = 0)
{
    g_service.Status.dwCurrentState = state;
    g_service.Status.dwCheckPoint = checkPoint;
    g_service.Status.dwWaitHint = waitHint;
    SetServiceStatus(g_service.StatusHandle, &g_service.Status);
}

void ReportStopped(DWORD exitCode)
{
    g_service.Status.dwWin32ExitCode = exitCode;
    ReportState(SERVICE_STOPPED);
}

constexpr DWORD kStartWaitMs = 2000;
constexpr DWORD kStartPollMs = 20;
// How long a request may wait for the monitor to finish a pass over the
// vendor library before it is held where it stands.
constexpr DWORD kMonitorPassWaitMs = 300;
// The main loop's pace, and with it how soon a link change shows.
constexpr DWORD kLinkPollMs = 1000;

void BeginSession()
{
    ResetEvent(g_service.DoneEvent.get());
    g_service.SessionRunning.store(true);
    g_service.KeepSearching.store(true);
    g_service.AbortRequested.store(false);
    // An overlap reported to the last session is not this one's.
    g_service.LastStatus.store(0);
    ResetSessionEnd();
    // Now, not when the profile is written: a change of user during the
    // session must not redirect it. Nobody recorded means nothing is written.
    RecordHandOffUser(g_service.HandOff);
    // Between two passes, not inside the vendor library's button calls.
    SuspendOutside(g_service.MonitorThread.get(), g_service.MonitorReading, kMonitorPassWaitMs);
    g_service.SessionThread.reset(StartThread(RunEnrollmentSession, nullptr));
    // Published at once, so that the agent does not wait out its own limit.
    if (!g_service.SessionThread)
        PublishSessionEnd(EnrollmentFailed, IndicatorFailure);
}

// Running is reported before the events and threads exist; a stop that comes
// that early lets the start finish first, for a while. A start that failed
// has reported the stop itself.
void WaitForServiceWork()
{
    for (DWORD waited = 0; !g_service.WorkStarted.load() && g_service.ServiceRunning.load() && waited < kStartWaitMs;
         waited += kStartPollMs)
        SleepMs(kStartPollMs);
}

} // namespace

void DescribeService(SC_HANDLE service, ChangeServiceConfig2Fn change)
{
    SERVICE_DESCRIPTIONW description{const_cast<wchar_t*>(kServiceDescription)};
    change(service, SERVICE_CONFIG_DESCRIPTION, &description);

    // Restart after the first two failures; a third in a day means something
    // a restart will not mend.
    SC_ACTION actions[] = {
        {SC_ACTION_RESTART, kRestartDelayMs},
        {SC_ACTION_RESTART, kRestartDelayMs},
        {SC_ACTION_NONE, 0},
    };
    SERVICE_FAILURE_ACTIONSW failure{};
    failure.dwResetPeriod = kFailureCountResetSeconds;
    failure.cActions = ARRAYSIZE(actions);
    failure.lpsaActions = actions;
    change(service, SERVICE_CONFIG_FAILURE_ACTIONS, &failure);
}

SC_HANDLE CreateServiceEntry(SC_HANDLE manager, const wchar_t* command)
{
    return CreateServiceW(manager, kServiceName, kServiceTitle, SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                          SERVICE_AUTO_START, SERVICE_ERROR_NORMAL, command, nullptr, nullptr, nullptr, nullptr,
                          nullptr);
}

SC_HANDLE CreateServiceWaitingOutDeletion(SC_HANDLE manager, const wchar_t* command, CreateServiceEntryFn create)
{
    for (DWORD waited = 0;; waited += kMarkedForDeletePollMs) {
        SC_HANDLE service = create(manager, command);
        if (service || GetLastError() != ERROR_SERVICE_MARKED_FOR_DELETE || waited >= kMarkedForDeleteWaitMs)
            return service;
        SleepMs(kMarkedForDeletePollMs);
    }
}

bool InstallService()
{
    bool installed = InstallServiceEntry();
    if (installed)
        CreateParametersKey();
    return ReportStep(installed, L"\nError Installing Service: %u", L"\nService Installed Sucessfully");
}

bool UninstallService()
{
    UniqueScHandle manager = OpenManager();
    UniqueScHandle service = OpenOurService(manager);
    return ReportStep(service && DeleteService(service.get()), L"\nError deleting Service: %u", L"\nservice deleted!");
}

bool StartInstalledService()
{
    ConsolePrint(L"\n%ls", L"starting...");
    UniqueScHandle manager = OpenManager();
    UniqueScHandle service = OpenOurService(manager);
    SERVICE_STATUS status{};
    bool started = service && QueryServiceStatus(service.get(), &status) &&
                   (status.dwCurrentState == SERVICE_RUNNING || StartServiceW(service.get(), 0, nullptr));
    return ReportStep(started, L"\nfail to start service: %u", L" started sucessfully!");
}

namespace {

// The install tool's wait for a stop: a pause of a twentieth of the service's
// wait hint, within bounds, between two looks, and a limit for the whole.
struct StopWait {
    DWORD hintShare;
    DWORD minPauseMs;
    DWORD maxPauseMs;
    DWORD limitMs;
};
constexpr StopWait kStopWait{.hintShare = 20, .minPauseMs = 1000, .maxPauseMs = 10000, .limitMs = 12000};

} // namespace

static bool StopAndWait()
{
    UniqueScHandle manager = OpenManager();
    UniqueScHandle service = OpenOurService(manager);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status))
        return false;
    if (status.dwCurrentState != SERVICE_RUNNING)
        return status.dwCurrentState == SERVICE_STOPPED;

    DWORD start = GetTickCount();
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    while (status.dwCurrentState != SERVICE_STOPPED) {
        SleepMs(std::clamp(status.dwWaitHint / kStopWait.hintShare, kStopWait.minPauseMs, kStopWait.maxPauseMs));
        if (!QueryServiceStatus(service.get(), &status))
            return false;
        if (status.dwCurrentState == SERVICE_STOPPED)
            break;
        if (GetTickCount() - start > kStopWait.limitMs)
            return false;
    }
    return true;
}

bool StopInstalledService()
{
    ConsolePrint(L"\n%ls", L"stopping service...");
    return ReportStep(StopAndWait(), L"\nError stopping service: %u", L" service stopped!");
}

int RunCommandLine(int argc, wchar_t** argv)
{
    if (argc < 2) {
        wchar_t name[ARRAYSIZE(kServiceName)];
        StringCchCopyW(name, ARRAYSIZE(name), kServiceName);
        SERVICE_TABLE_ENTRYW table[] = {{name, ServiceMain}, {nullptr, nullptr}};
        StartServiceCtrlDispatcherW(table);
        return 0;
    }

    const wchar_t* command = argv[1];
    if (wcsncmp(command, L"-i", 2) == 0) {
        if (!InstallService())
            return -1;
        if (wcscmp(command, L"-is") == 0)
            StartInstalledService();
        return 0;
    }
    if (wcsncmp(command, L"-d", 2) == 0) {
        if (wcscmp(command, L"-ds") == 0)
            StopInstalledService();
        UninstallService();
        return 0;
    }

    ConsolePrint(L" %ls", L"Wrong parametr. exiting");
    ConsolePrint(L"\n\nUnknown switch usage\n\nFor install use saddrin -i\nFor unInstall use saddrin -d\n");
    return -3;
}

void WINAPI ServiceMain(DWORD, LPWSTR*)
{
    // Both type bits (0x30) on purpose, as the service has always reported them.
    g_service.Status = {SERVICE_WIN32_OWN_PROCESS | SERVICE_WIN32_SHARE_PROCESS, SERVICE_STOPPED, SERVICE_ACCEPT_STOP,
                        NO_ERROR, 0, 0, 0};

    g_service.StatusHandle = RegisterServiceCtrlHandlerW(kServiceName, ServiceControlHandler);
    if (!g_service.StatusHandle)
        return;
    g_service.StopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!g_service.StopEvent) {
        ReportStopped(GetLastError());
        return;
    }

    // Before the report, so that a stop which follows it at once finds the
    // service running.
    g_service.ServiceRunning.store(true);
    ReportState(SERVICE_RUNNING);

    if (!StartOrReportStopped())
        return;
    RunServiceLoop();
    ReportStopped(NO_ERROR);
}

bool StartOrReportStopped()
{
    // Without its own two events the service would run requests no agent
    // hears of, or share them with a user who can signal a press: it stops
    // and says why instead.
    if (!StartServiceWork()) {
        DWORD error = GetLastError();
        g_service.ServiceRunning.store(false);
        ReportStopped(error);
        return false;
    }
    g_service.WorkStarted.store(true);
    return true;
}

void RunServiceLoop()
{
    // A wait, not a sleep: the loop ends as soon as the stop work is done, and
    // with it the wait for SERVICE_STOPPED.
    while (g_service.ServiceRunning.load() && WaitMs(g_service.StopEvent.get(), kLinkPollMs) == WAIT_TIMEOUT) {
        if (g_service.SessionRunning.load())
            continue;
        bool connected = QueryLinkState();
        if (connected != g_service.LinkConnected.load()) {
            g_service.LinkConnected.store(connected);
            SignalIndicator(IndicatorLinkChanged);
        }
    }
    // Closed here, not by the stop: this loop may signal one after the stop
    // work ended the indicator thread, and is the last to use them.
    for (UniqueHandle& event : g_service.IndicatorEvents)
        event.reset();
}

void WINAPI ServiceControlHandler(DWORD control)
{
    switch (control) {
    case SERVICE_CONTROL_STOP:
        WaitForServiceWork();
        if (!g_service.ServiceRunning.load())
            break;
        g_service.WorkStarted.store(false);
        ReportState(SERVICE_STOP_PENDING, 1, kStopWaitHintMs);
        StopServiceWork();
        // Stopped is reported by ServiceMain once its loop has ended: after
        // that report the process may end under any thread still running.
        g_service.ServiceRunning.store(false);
        SetEvent(g_service.StopEvent.get());
        break;
    // Both need the events and threads of the service work.
    case StartEnrollment:
        if (g_service.WorkStarted.load() && !g_service.SessionRunning.load())
            BeginSession();
        break;
    case CancelEnrollment:
        if (g_service.WorkStarted.load() && g_service.SessionRunning.load())
            CancelSession();
        break;
    default:
        break;
    }
}

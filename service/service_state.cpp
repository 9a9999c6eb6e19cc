#include "service_state.h"

#include <aclapi.h>
#include <strsafe.h>

#include "access_list.h"
#include "button_monitor.h"
#include "clock.h"
#include "console_output.h"
#include "contract.h"
#include "enrollment_session.h"
#include "indicator.h"

ServiceState g_service;
IsWow64ProcessFn g_isWow64Process;

void SignalIndicator(IndicatorEvent event)
{
    SetEvent(g_service.IndicatorEvents[event].get());
}

void ProbeWow64()
{
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    if (kernel)
        g_isWow64Process = reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")));
}

static void FillAccessEntry(EXPLICIT_ACCESSW& entry, PSID sid, TRUSTEE_TYPE type, DWORD mask)
{
    entry.grfAccessPermissions = mask;
    entry.grfAccessMode = SET_ACCESS;
    entry.grfInheritance = NO_INHERITANCE;
    entry.Trustee.TrusteeForm = TRUSTEE_IS_SID;
    entry.Trustee.TrusteeType = type;
    entry.Trustee.ptstrName = static_cast<LPWSTR>(sid);
}

bool BuildParametersKeySecurity(bool wow64, ParametersKeySecurity& security)
{
    EXPLICIT_ACCESSW entries[3] = {};
    SID_IDENTIFIER_AUTHORITY worldAuthority = SECURITY_WORLD_SID_AUTHORITY;
    SID_IDENTIFIER_AUTHORITY ntAuthority = SECURITY_NT_AUTHORITY;

    if (!AllocateAndInitializeSid(&worldAuthority, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0,
                                  security.everyone.put())) {
        ConsolePrint(L"AllocateAndInitializeSid Error %u\n", GetLastError());
        return false;
    }
    FillAccessEntry(entries[0], security.everyone.get(), TRUSTEE_IS_WELL_KNOWN_GROUP,
                    (KEY_READ | KEY_WRITE) | (wow64 ? KEY_WOW64_64KEY : 0));

    if (!AllocateAndInitializeSid(&ntAuthority, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0,
                                  0, 0, security.administrators.put())) {
        ConsolePrint(L"AllocateAndInitializeSid Error %u\n", GetLastError());
        return false;
    }
    FillAccessEntry(entries[1], security.administrators.get(), TRUSTEE_IS_GROUP, KEY_ALL_ACCESS);

    if (!AllocateAndInitializeSid(&ntAuthority, 1, SECURITY_LOCAL_SYSTEM_RID, 0, 0, 0, 0, 0, 0, 0,
                                  security.localSystem.put())) {
        ConsolePrint(L"AllocateAndInitializeSid Error %u\n", GetLastError());
        return false;
    }
    FillAccessEntry(entries[2], security.localSystem.get(), TRUSTEE_IS_GROUP, KEY_ALL_ACCESS);

    PACL acl = nullptr;
    DWORD aclResult = SetEntriesInAclW(3, entries, nullptr, &acl);
    security.acl.reset(acl);
    if (aclResult != ERROR_SUCCESS) {
        ConsolePrint(L"SetEntriesInAcl Error %u\n", aclResult);
        return false;
    }

    // The descriptor's own size on this platform: 20 bytes only on 32-bit Windows.
    security.descriptor.reset(LocalAlloc(LPTR, SECURITY_DESCRIPTOR_MIN_LENGTH));
    if (!security.descriptor) {
        ConsolePrint(L"LocalAlloc Error %u\n", GetLastError());
        return false;
    }
    if (!InitializeSecurityDescriptor(security.descriptor.get(), SECURITY_DESCRIPTOR_REVISION)) {
        ConsolePrint(L"InitializeSecurityDescriptor Error %u\n", GetLastError());
        return false;
    }
    if (!SetSecurityDescriptorDacl(security.descriptor.get(), TRUE, acl, FALSE)) {
        ConsolePrint(L"SetSecurityDescriptorDacl Error %u\n", GetLastError());
        return false;
    }
    return true;
}

// Creates ParametersKey so that every user may write Path, and resets both
// values. The access list applies only when the key is new.
bool CreateParametersKey()
{
    BOOL wow64 = FALSE;
    if (g_isWow64Process)
        g_isWow64Process(GetCurrentProcess(), &wow64);

    wchar_t subkey[1024];
    StringCchPrintfW(subkey, ARRAYSIZE(subkey), L"%ls\\%ls\\%ls", kServicesRoot, kServiceName, kParametersSubkey);

    ParametersKeySecurity security;
    if (!BuildParametersKeySecurity(wow64 != FALSE, security))
        return false;

    SECURITY_ATTRIBUTES attributes{sizeof(attributes), security.descriptor.get(), FALSE};
    UniqueHkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, subkey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        &attributes, key.put(), nullptr) != ERROR_SUCCESS)
        return false;

    const wchar_t empty[] = L"";
    DWORD zero = 0;
    RegSetValueExW(key.get(), kPathValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(empty), sizeof(empty));
    RegSetValueExW(key.get(), kExitCodeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&zero), sizeof(zero));
    return true;
}

// Any user may wait on the two global events; only the service's own
// accounts may signal them, or a user could fake a press or a result.
static bool BuildGlobalEventSecurity(ExplicitSecurity& security)
{
    SidBuffer everyone;
    SidBuffer system;
    SidBuffer administrators;
    return MakeWellKnownSid(WinWorldSid, everyone) && MakeWellKnownSid(WinLocalSystemSid, system) &&
           MakeWellKnownSid(WinBuiltinAdministratorsSid, administrators) &&
           BuildExplicitSecurity({{system.get(), kServiceEventAccess},
                                  {administrators.get(), kServiceEventAccess},
                                  {everyone.get(), kAgentEventAccess}},
                                 security);
}

static UniqueHandle CreateGlobalEvent(const wchar_t* name, const ExplicitSecurity& security)
{
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), const_cast<SECURITY_DESCRIPTOR*>(&security.descriptor), FALSE};
    UniqueHandle event(CreateEventW(&attributes, FALSE, FALSE, name));
    // An agent's handle keeps the event alive across a restart of the
    // service, and CreateEventW then ignores the descriptor.
    if (event && GetLastError() == ERROR_ALREADY_EXISTS)
        ApplyExplicitSecurity(event.get(), SE_KERNEL_OBJECT, security);
    return event;
}

bool StartServiceWork()
{
    ExplicitSecurity security;
    if (BuildGlobalEventSecurity(security)) {
        g_service.ButtonEvent = CreateGlobalEvent(kButtonEventName, security);
        g_service.DoneEvent = CreateGlobalEvent(kDoneEventName, security);
    }
    CreateWorkers();
    return true;
}

bool StopServiceWork()
{
    CancelSession();
    DestroyWorkers();
    g_service.ButtonEvent.reset();
    g_service.DoneEvent.reset();
    return true;
}

void CreateWorkers()
{
    for (UniqueHandle& event : g_service.IndicatorEvents)
        event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));

    g_service.IndicatorThread.reset(CreateThread(nullptr, 0, IndicatorLoop, nullptr, 0, nullptr));
    if (g_service.IndicatorThread)
        SetThreadPriority(g_service.IndicatorThread.get(), THREAD_PRIORITY_HIGHEST);

    // A thread still starting up holds the loader lock, which the session
    // thread needs to start: the monitor counts as reading until it runs.
    SetRelaxed(g_service.MonitorReading, true);
    // Held until its handle is stored, which its first pass may need.
    g_service.MonitorThread.reset(CreateThread(nullptr, 0, ButtonMonitor, nullptr, CREATE_SUSPENDED, nullptr));
    if (g_service.MonitorThread)
        ResumeThread(g_service.MonitorThread.get());
    else
        SetRelaxed(g_service.MonitorReading, false);
}

// How long a forced end may take to take effect.
constexpr DWORD kForcedEndWaitMs = 1000;

static void EndThread(UniqueHandle& thread, DWORD timeout)
{
    if (WaitForSingleObject(thread.get(), timeout) == WAIT_TIMEOUT) {
        TerminateThread(thread.get(), 0);
        // The end is asynchronous; the events it uses are closed next.
        WaitForSingleObject(thread.get(), kForcedEndWaitMs);
    }
    thread.reset();
}

bool SuspendOutside(HANDLE thread, const std::atomic<bool>& busy, DWORD limitMs)
{
    for (DWORD waited = 0;; waited += 20) {
        SuspendThread(thread);
        CONTEXT context{};
        context.ContextFlags = CONTEXT_CONTROL;
        GetThreadContext(thread, &context); // returns once the thread is really held
        if (!Relaxed(busy))
            return true;
        if (waited >= limitMs)
            return false;
        ResumeThread(thread);
        SleepMs(20);
    }
}

// A thread cut off inside process creation can leave the loader or heap lock
// taken, and the rest of the stop would then hang on it: a tool start under
// way is let finish, for at most another second, before the forced end.
static void EndIndicatorThread()
{
    HANDLE thread = g_service.IndicatorThread.get();
    if (WaitMs(thread, 2000) == WAIT_TIMEOUT) {
        SuspendOutside(thread, g_service.ToolStarting, 1000);
        TerminateThread(thread, 0);
        WaitForSingleObject(thread, kForcedEndWaitMs);
    }
    g_service.IndicatorThread.reset();
}

void DestroyWorkers()
{
    SetRelaxed(g_service.MonitorStop, true);
    Sleep(1);

    // The indicator events themselves stay open for the service loop, which
    // closes them when it ends.
    if (g_service.IndicatorThread) {
        SignalIndicator(IndicatorStop);
        EndIndicatorThread();
    }

    EndThread(g_service.MonitorThread, 1500);
}

bool WriteExitCode(DWORD value)
{
    UniqueHkey key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, KEY_WRITE, key.put()) != ERROR_SUCCESS)
        return false;
    RegSetValueExW(key.get(), kExitCodeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegFlushKey(key.get());
    return true;
}

// The install tool's switches and the running service under Wine's SCM.
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <string>
#include <vector>

#include "access_entries.h"
#include "service_bench.h"
#include "case_name.h"
#include "contract.h"
#include "parameters_key.h"
#include "parameters_key_scope.h"
#include "unique_handle.h"

using bench::RunInstalled;

namespace {

class ServiceShellTest : public bench::ServiceBench {};

std::wstring ServiceBinaryPath()
{
    UniqueScHandle service = bench::ServiceHandle(SERVICE_QUERY_CONFIG);
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    if (!QueryServiceConfigW(service.get(), config, needed, &needed))
        return {};
    return config->lpBinaryPathName;
}

TEST_F(ServiceShellTest, InstallCreatesAnAutoStartLocalSystemServiceWithAQuotedPath)
{
    auto install = RunInstalled(L"saddrin.exe", L"-i");
    ASSERT_TRUE(install.finished) << install.output;
    EXPECT_EQ(install.exitCode, 0u);
    EXPECT_EQ(install.output, "\nService Installed Sucessfully");

    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG));
    ASSERT_TRUE(service);
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(QueryServiceConfigW(service.get(), config, needed, &needed));
    EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), L"\"" + bench::InstalledFile(L"saddrin.exe") + L"\"");
    std::wstring account = config->lpServiceStartName ? config->lpServiceStartName : L"";
    EXPECT_TRUE(account.empty() || account == L"LocalSystem") << ToBytes(account);

    UniqueScHandle described(OpenServiceW(manager.get(), kServiceName, SERVICE_QUERY_CONFIG));
    wchar_t title[256];
    DWORD titleLength = ARRAYSIZE(title);
    ASSERT_TRUE(GetServiceDisplayNameW(manager.get(), kServiceName, title, &titleLength));
    EXPECT_STREQ(title, kServiceTitle);
}

TEST_F(ServiceShellTest, InstallingTwiceReportsTheExistingService)
{
    ASSERT_EQ(RunInstalled(L"saddrin.exe", L"-i").exitCode, 0u);
    auto again = RunInstalled(L"saddrin.exe", L"-i");
    EXPECT_EQ(again.exitCode, static_cast<DWORD>(-1));
    EXPECT_EQ(again.output, "\nError Installing Service: 1073");
}

struct SwitchCase {
    const wchar_t* arguments;
    DWORD exitCode;
    const char* output;
    bool installed;
    bool running;
};

class SwitchTest : public ServiceShellTest, public ::testing::WithParamInterface<SwitchCase> {};

const char kUsage[] = " Wrong parametr. exiting\n\nUnknown switch usage\n\nFor install use saddrin -i\n"
                      "For unInstall use saddrin -d\n";

TEST_P(SwitchTest, PrintsItsMessagesAndEndsWithItsStatus)
{
    const SwitchCase& c = GetParam();
    auto run = RunInstalled(L"saddrin.exe", c.arguments);
    ASSERT_TRUE(run.finished) << run.output;
    EXPECT_EQ(run.exitCode, c.exitCode);
    EXPECT_EQ(run.output, c.output);
    EXPECT_EQ(bench::ServiceExists(), c.installed);
    if (c.running)
        EXPECT_TRUE(bench::WaitFor([] { return bench::ServiceCurrentState() == SERVICE_RUNNING; }, 10000));
    else
        EXPECT_NE(bench::ServiceCurrentState(), static_cast<DWORD>(SERVICE_RUNNING));
}

INSTANTIATE_TEST_SUITE_P(
    Switches, SwitchTest,
    ::testing::Values(SwitchCase{L"-i", 0, "\nService Installed Sucessfully", true, false},
                      SwitchCase{L"-install", 0, "\nService Installed Sucessfully", true, false},
                      SwitchCase{L"-isx", 0, "\nService Installed Sucessfully", true, false},
                      SwitchCase{L"-is", 0, "\nService Installed Sucessfully\nstarting... started sucessfully!",
                                 true, true},
                      SwitchCase{L"-I", static_cast<DWORD>(-3), kUsage, false, false},
                      SwitchCase{L"-DS", static_cast<DWORD>(-3), kUsage, false, false},
                      SwitchCase{L"/i", static_cast<DWORD>(-3), kUsage, false, false},
                      SwitchCase{L"-d", 0, "\nError deleting Service: 1060", false, false},
                      SwitchCase{L"", 0, "", false, false}));

TEST_F(ServiceShellTest, StopAndRemoveStopsTheRunningServiceFirst)
{
    ASSERT_TRUE(bench::InstallAndStartService());
    auto remove = RunInstalled(L"saddrin.exe", L"-ds", 30000);
    EXPECT_EQ(remove.exitCode, 0u);
    EXPECT_EQ(remove.output, "\nstopping service... service stopped!\nservice deleted!");
    EXPECT_TRUE(bench::WaitFor([] { return !bench::ServiceExists(); }, 10000));
}

TEST_F(ServiceShellTest, RemoveWithoutStopLeavesTheServiceRunningUntilStopped)
{
    ASSERT_TRUE(bench::InstallAndStartService());
    auto remove = RunInstalled(L"saddrin.exe", L"-dx");
    EXPECT_EQ(remove.exitCode, 0u);
    EXPECT_EQ(remove.output, "\nservice deleted!");
    EXPECT_EQ(bench::ServiceCurrentState(), static_cast<DWORD>(SERVICE_RUNNING));
}

TEST_F(ServiceShellTest, StopAndRemoveOfAStoppedServiceStillRemovesIt)
{
    ASSERT_EQ(RunInstalled(L"saddrin.exe", L"-i").exitCode, 0u);
    auto remove = RunInstalled(L"saddrin.exe", L"-ds");
    EXPECT_EQ(remove.output, "\nstopping service... service stopped!\nservice deleted!");
    EXPECT_FALSE(bench::ServiceExists());
}

// ParametersKey and its access list.

TEST_F(ServiceShellTest, InstallCreatesTheParametersKeyWithItsValuesAndAccessList)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kParametersKeyPath);
    ASSERT_EQ(RunInstalled(L"saddrin.exe", L"-i").exitCode, 0u);

    ParameterValue path = ReadParameterValue(kPathValue);
    EXPECT_EQ(path.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(path.data, (std::vector<BYTE>{0, 0}));
    ParameterValue exitCode = ReadParameterValue(kExitCodeValue);
    EXPECT_EQ(exitCode.type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(exitCode.data, (std::vector<BYTE>{0, 0, 0, 0}));

    UniqueHkey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, READ_CONTROL, key.put()), ERROR_SUCCESS);
    std::vector<AccessEntry> expected = {
        {L"S-1-1-0", 0x2001F}, {L"S-1-5-18", 0xF003F}, {L"S-1-5-32-544", 0xF003F}};
    std::sort(expected.begin(), expected.end());
    std::vector<AccessEntry> actual = AllowedEntries(key.get(), SE_REGISTRY_KEY);
    if (actual != expected && bench::RunningUnderWine())
        GTEST_SKIP() << "Wine's registry ignores the descriptor given to RegCreateKeyExW; parameters_key_test checks the list";
    EXPECT_EQ(actual, expected);
}

TEST_F(ServiceShellTest, InstallOverAnExistingKeyResetsTheValuesAndKeepsItsAccessList)
{
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kParametersKeyPath);
    UniqueHkey existing;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              existing.put(), nullptr),
              ERROR_SUCCESS);
    std::vector<AccessEntry> before = AllowedEntries(existing.get(), SE_REGISTRY_KEY);
    existing.reset();
    ASSERT_TRUE(WriteProfilePath(L"C:\\somewhere\\wps_profile.xml"));
    ASSERT_TRUE(WriteExitCode(2));

    ASSERT_EQ(RunInstalled(L"saddrin.exe", L"-i").exitCode, 0u);

    EXPECT_EQ(ReadParameterValue(kPathValue).data, (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(ReadExitCode(), 0u);
    UniqueHkey key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, READ_CONTROL, key.put()), ERROR_SUCCESS);
    EXPECT_EQ(AllowedEntries(key.get(), SE_REGISTRY_KEY), before);
}

// The running service.

DWORD ServiceProcessId()
{
    UniqueScHandle service = bench::ServiceHandle(SERVICE_QUERY_STATUS);
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    if (!QueryServiceStatusEx(service.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status),
                              sizeof(status), &needed))
        return 0;
    return status.dwProcessId;
}

// The exit code of a start that the service gives up at once.
DWORD ExitCodeOfAFailedStart()
{
    UniqueScHandle service = bench::ServiceHandle(SERVICE_START | SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    auto stopped = [&] { return QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_STOPPED; };
    return StartServiceW(service.get(), 0, nullptr) && bench::WaitFor(stopped, 10000) ? status.dwWin32ExitCode : NO_ERROR;
}

using HeldEvents = std::vector<UniqueHandle>;

HeldEvents MadeBeforeTheStart(const std::wstring& sddl)
{
    HeldEvents events;
    for (const wchar_t* name : {kButtonEventName, kDoneEventName})
        events.emplace_back(CreateEventWithDescriptor(name, sddl));
    return events;
}

// More lists in the descriptor's text form.
const wchar_t kShutToAllButItsMaker[] = L"D:(D;;0x1F0003;;;WD)(A;;0x1F0003;;;WD)";
const wchar_t kTheServicesList[] = L"D:(A;;0x1F0003;;;SY)(A;;0x1F0003;;;BA)(A;;0x120000;;;WD)";
const std::vector<AccessEntry> kOpenToAllEntries = {{L"S-1-1-0", EVENT_ALL_ACCESS}};

// Events that exist when the service starts, owned by whom the row names:
// kept and given the service's list when an administrator made them with no
// wider list than the service's, refused with the service stopped when
// anyone else did, or when a handle opened under a wider list may still
// signal them. (An agent keeping the service's own events across a restart
// is one of the fault test's rows.)
struct EarlierEventsCase {
    const char* name;
    const wchar_t* owner; // nullptr: no earlier events
    const wchar_t* list;
    DWORD exitCode; // NO_ERROR: the service runs
};

using ::operator<<;

class GlobalEventTest : public ServiceShellTest, public ::testing::WithParamInterface<EarlierEventsCase> {};

TEST_P(GlobalEventTest, AnyUserMayWaitOnTheEventsButOnlyTheServicesAccountsSignalThem)
{
    const EarlierEventsCase& c = GetParam();
    HeldEvents earlier;
    if (c.owner) {
        earlier = MadeBeforeTheStart(std::wstring(L"O:") + c.owner + c.list);
        ASSERT_TRUE(earlier.size() == 2 && earlier[0] && earlier[1]);
    }
    ASSERT_EQ(RunInstalled(L"saddrin.exe", L"-i").exitCode, 0u);
    if (c.exitCode != NO_ERROR) {
        EXPECT_EQ(ExitCodeOfAFailedStart(), c.exitCode);
        for (const UniqueHandle& event : earlier) {
            EXPECT_EQ(AllowedEntries(event.get(), SE_KERNEL_OBJECT), kOpenToAllEntries);
            EXPECT_TRUE(SetEvent(event.get()));
        }
        // Once the names are free, the service starts as ever.
        earlier.clear();
    }
    ASSERT_TRUE(bench::StartInstalledService());

    const std::vector<AccessEntry> expected = {
        {L"S-1-1-0", SYNCHRONIZE | READ_CONTROL}, {L"S-1-5-18", EVENT_ALL_ACCESS}, {L"S-1-5-32-544", EVENT_ALL_ACCESS}};
    for (const wchar_t* name : {kButtonEventName, kDoneEventName}) {
        UniqueHandle agent;
        ASSERT_TRUE(bench::WaitFor([&] { return static_cast<bool>(agent = UniqueHandle(OpenEventW(kAgentEventAccess, FALSE, name))); }, 5000));
        EXPECT_EQ(WaitForSingleObject(agent.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_FALSE(SetEvent(agent.get()));
        EXPECT_FALSE(ResetEvent(agent.get()));

        UniqueHandle readable(OpenEventW(READ_CONTROL, FALSE, name));
        ASSERT_TRUE(readable);
        // The service sets it once the events exist; give it that moment.
        EXPECT_TRUE(bench::WaitFor([&] { return AllowedEntries(readable.get(), SE_KERNEL_OBJECT) == expected; }, 2000))
            << ::testing::PrintToString(AllowedEntries(readable.get(), SE_KERNEL_OBJECT));
        // Wine drops the protection SetSecurityInfo asks for on an existing event.
        if (earlier.empty() || !bench::RunningUnderWine()) {
            EXPECT_TRUE(IsProtectedList(readable.get(), SE_KERNEL_OBJECT));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Events, GlobalEventTest,
    ::testing::Values(EarlierEventsCase{"NewlyCreated", nullptr, nullptr, NO_ERROR},
                      EarlierEventsCase{"MadeByAnAdministrator", L"BA", kTheServicesList, NO_ERROR},
                      EarlierEventsCase{"MadeByAnAdministratorOpenToAll", L"BA", kOpenToAll, ERROR_ALREADY_EXISTS},
                      EarlierEventsCase{"MadeFirstByAnotherUser", L"S-1-5-21-1111-2222-3333-4444", kOpenToAll,
                                        ERROR_ALREADY_EXISTS},
                      EarlierEventsCase{"MadeFirstByAnotherUserShuttingTheServiceOut", L"S-1-5-21-1111-2222-3333-4444",
                                        kShutToAllButItsMaker, ERROR_ACCESS_DENIED}),
    CaseName());

TEST_F(ServiceShellTest, ServiceReportsRunningWithStopAsItsOnlyControl)
{
    ASSERT_TRUE(bench::InstallAndStartService());
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_ALL_ACCESS));
    SERVICE_STATUS status{};
    ASSERT_TRUE(QueryServiceStatus(service.get(), &status));
    EXPECT_EQ(status.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(status.dwControlsAccepted, static_cast<DWORD>(SERVICE_ACCEPT_STOP));
    EXPECT_EQ(status.dwWin32ExitCode, 0u);
    EXPECT_EQ(status.dwWaitHint, 0u);
    EXPECT_FALSE(ControlService(service.get(), SERVICE_CONTROL_PAUSE, &status));
}

TEST_F(ServiceShellTest, UserControlCodesReachTheHandler)
{
    ASSERT_TRUE(bench::InstallAndStartService());
    ASSERT_TRUE(OpenEventPair());
    ASSERT_TRUE(WriteExitCode(7));

    // Without a session a cancel changes nothing.
    EXPECT_TRUE(bench::SendControl(CancelEnrollment));
    EXPECT_EQ(WaitForSingleObject(done_.get(), 500), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(ReadExitCode(), 7u);

    // A start runs a session; a library that cannot open ends it at once,
    // which the session publishes as a failure.
    bench::Testbed(L"wps fail open");
    EXPECT_TRUE(bench::SendControl(StartEnrollment));
    EXPECT_EQ(WaitDone(), static_cast<DWORD>(EnrollmentFailed));
}

TEST_F(ServiceShellTest, StopReportsStoppedAndEndsTheProcess)
{
    ASSERT_TRUE(bench::InstallAndStartService());
    DWORD pid = ServiceProcessId();
    ASSERT_NE(pid, 0u);
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    ASSERT_TRUE(process);

    ASSERT_TRUE(bench::StopService());
    EXPECT_TRUE(bench::WaitForStopped(kStopWaitHintMs));
    EXPECT_EQ(WaitForSingleObject(process.get(), 5000), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(ServiceBinaryPath(), L"\"" + bench::InstalledFile(L"saddrin.exe") + L"\"");
}

} // namespace

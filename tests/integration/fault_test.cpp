// The faults the design names, one row each, with the real service and agent
// under Wine. Every row shows what the fault must show, and then the service
// still runs and the next press ends in an installed profile.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_leds.h"
#include "bench_processes.h"
#include "case_name.h"
#include "contract.h"
#include "documented_contract.h"
#include "parameters_key.h"
#include "request_bench.h"
#include "wps_api.h"

using namespace request_bench;

namespace {

const wchar_t kHomeNet[] = L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8";

// An access point whose record holds a key with a control character in it.
std::wstring HostileCredentialHex()
{
    auto record = documented::CredentialRecord<WpsCredential>("HomeNet", "WPA2-PSK", "correct\x01horse", 8);
    return HexOf(std::string(reinterpret_cast<const char*>(&record), sizeof(record)));
}

// The user's temporary folder as the system sees it (HKCU\Environment, which
// the service reads for the console user) and as this process and the agents
// it starts have it, pointed elsewhere until the scope ends.
class TemporaryFolderScope {
public:
    explicit TemporaryFolderScope(const std::wstring& folder)
    {
        for (Saved& saved : saved_) {
            DWORD size = sizeof(saved.registry);
            saved.inRegistry = RegGetValueW(HKEY_CURRENT_USER, L"Environment", saved.name,
                                            RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, &saved.type,
                                            saved.registry, &size) == ERROR_SUCCESS;
            GetEnvironmentVariableW(saved.name, saved.environment, MAX_PATH);
            Set(saved.name, REG_SZ, folder.c_str(), folder.c_str());
        }
    }
    ~TemporaryFolderScope()
    {
        for (const Saved& saved : saved_) {
            if (saved.inRegistry)
                Set(saved.name, saved.type, saved.registry, saved.environment);
            else
                RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Environment", saved.name);
        }
    }

private:
    struct Saved {
        const wchar_t* name;
        bool inRegistry = false;
        DWORD type = REG_SZ;
        wchar_t registry[MAX_PATH] = L"";
        wchar_t environment[MAX_PATH] = L"";
    };
    static void Set(const wchar_t* name, DWORD type, const wchar_t* registry, const wchar_t* environment)
    {
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Environment", name, type, registry,
                        static_cast<DWORD>((wcslen(registry) + 1) * sizeof(wchar_t)));
        SetEnvironmentVariableW(name, environment);
    }
    Saved saved_[2] = {{L"TMP"}, {L"TEMP"}};
};

class FaultTest;
struct FaultCase {
    const char* name;
    std::function<void(FaultTest&)> fault;
};

using ::operator<<;

class FaultTest : public RequestTest, public ::testing::WithParamInterface<FaultCase> {
public:
    using RequestTest::ExpectResult;
    using RequestTest::PressButton;
    void Dismiss()
    {
        if (IsWindowVisible(agent_.Window())) {
            SendMessageW(GetDlgItem(agent_.Window(), kActionButton), BM_CLICK, 0, 0);
            ASSERT_TRUE(agent_.WaitVisible(false, kServiceCheckMs));
        }
    }
    void PressAndExpect(const wchar_t* message)
    {
        PressButton();
        ExpectResult(message);
        Dismiss();
    }
    // A press whose session waits in the search until the row lets it go.
    void PressIntoHungSearch(const wchar_t* hang)
    {
        Testbed(kHomeNet);
        Testbed(std::wstring(L"wps hang findAP ") + hang);
        Testbed(L"calls clear");
        PressButton();
        ASSERT_TRUE(bench::WaitForWpsLine("call", "wps_findAP"));
    }
    AgentProcess& agent() { return agent_; }
    void RestartAgent()
    {
        agent_.Stop();
        ASSERT_TRUE(agent_.StartHidden());
    }
};

const FaultCase kFaults[] = {
    {"HungVendorCallThenCancel",
     [](FaultTest& t) {
         t.PressIntoHungSearch(L"--deaf");
         UniqueHandle done(OpenEventW(SYNCHRONIZE, FALSE, kDoneEventName));
         SendMessageW(GetDlgItem(t.agent().Window(), kActionButton), BM_CLICK, 0, 0);
         // The hung call is ended by force well within the service's stop hint.
         ASSERT_EQ(WaitForSingleObject(done.get(), kStopWaitHintMs), static_cast<DWORD>(WAIT_OBJECT_0));
         EXPECT_EQ(ReadExitCode(), static_cast<DWORD>(EnrollmentFailed));
     }},
    {"HungVendorCallWhileStopping",
     [](FaultTest& t) {
         t.PressIntoHungSearch(L"--deaf");
         ASSERT_TRUE(bench::StopService());
         ASSERT_TRUE(bench::WaitForStopped(kStopWaitHintMs));
         // The agent's worker read the outcome, so both came before the events closed.
         t.ExpectResult(kFailureMessage);
         t.Dismiss();
         ASSERT_TRUE(bench::StartInstalledService());
     }},
    {"HungLedToolDuringStop",
     [](FaultTest&) {
         Testbed(L"wl hang on");
         size_t runs = ReadLedRuns(bench::Records()).size();
         ASSERT_TRUE(bench::StopService());
         ASSERT_TRUE(bench::WaitForStopped(kStopWaitHintMs));
         ASSERT_TRUE(bench::WaitFor([] { return ProcessIdsNamed(L"saddrin.exe").empty(); }, 5000));
         // The stop's first LED change hung, and went with the service.
         EXPECT_EQ(ReadLedRuns(bench::Records()).size(), runs + 1);
         EXPECT_TRUE(bench::WaitFor([] { return ProcessIdsNamed(L"wl.exe").empty(); }, 2000));
         Testbed(L"wl hang off");
         ASSERT_TRUE(bench::StartInstalledService());
     }},
    {"AgentKilledInARequestAndStartedAgain",
     [](FaultTest& t) {
         t.PressIntoHungSearch(L"");
         t.RestartAgent();
         Testbed(L"wps hang findAP off");
         ASSERT_TRUE(bench::WaitForWpsLine("back", "wps_close"));
     }},
    {"ServiceRestartedWhileTheAgentRuns",
     [](FaultTest&) {
         ASSERT_TRUE(bench::StopService());
         ASSERT_TRUE(bench::WaitForStopped(kStopWaitHintMs));
         ASSERT_TRUE(bench::StartInstalledService());
     }},
    {"AdapterUnpluggedJustBeforeTheApply",
     [](FaultTest& t) {
         t.PressIntoHungSearch(L"");
         Testbed(L"wlan unplug 0");
         Testbed(L"wps hang findAP off");
         t.ExpectResult(kFailureMessage);
         t.Dismiss();
         Testbed(L"wlan replug 0");
     }},
    {"TemporaryFolderMissing",
     [](FaultTest& t) {
         {
             TemporaryFolderScope missing(bench::TempFolder() + L"\\tolvek-missing");
             t.RestartAgent();
             Testbed(kHomeNet);
             t.PressAndExpect(kFailureMessage);
             // The service, looking the console user's folder up, refused it.
             EXPECT_EQ(ReadExitCode(), static_cast<DWORD>(EnrollmentFailed));
         }
         t.RestartAgent();
     }},
    {"CredentialThatNoProfileCanCarry",
     [](FaultTest& t) {
         Testbed(L"ap add HomeNet --credential-hex " + HostileCredentialHex());
         t.PressAndExpect(kFailureMessage);
         EXPECT_EQ(Testbed(L"wlan profiles 0").find("profile \""), std::string::npos);
     }},
    {"TwentyRequestsOfEveryOutcome",
     [](FaultTest& t) {
         struct Outcome {
             std::vector<std::wstring> scenario;
             const wchar_t* message;
         };
         // Each press is read once, so no later pass starts a request of its own.
         const Outcome outcomes[] = {
             {{kHomeNet}, kSuccessMessage},
             {{kHomeNet, L"ap add Neighbour --key \"other horse\"", L"wps delay findAP 700"}, kOverlapMessage},
             {{kHomeNet, L"wps delay open 700", L"wps fail open"}, kFailureMessage}};
         long serviceBefore = 0, agentBefore = 0;
         for (int request = 0; request < 20; ++request) {
             if (request == 3) {
                 serviceBefore = SteadyHandleCount(L"saddrin.exe");
                 agentBefore = SteadyHandleCount(L"Quorvel.exe");
             }
             const Outcome& outcome = outcomes[request % 3];
             Testbed(L"wps reset");
             Testbed(L"ap clear");
             for (const std::wstring& command : outcome.scenario)
                 Testbed(command);
             SCOPED_TRACE("request " + std::to_string(request));
             t.PressAndExpect(outcome.message);
             if (t.HasFatalFailure())
                 return;
         }
         long serviceAfter = SteadyHandleCount(L"saddrin.exe"), agentAfter = SteadyHandleCount(L"Quorvel.exe");
         printf("handles: service %ld -> %ld, agent %ld -> %ld\n", serviceBefore, serviceAfter, agentBefore,
                agentAfter);
         EXPECT_LE(serviceAfter, serviceBefore);
         EXPECT_LE(agentAfter, agentBefore);
     }},
};

TEST_P(FaultTest, TheServiceStillAnswersAndTheNextPressWorks)
{
    GetParam().fault(*this);
    if (HasFatalFailure())
        return;

    ASSERT_EQ(bench::ServiceCurrentState(), static_cast<DWORD>(SERVICE_RUNNING));
    Dismiss();
    Testbed(L"wps reset");
    Testbed(L"ap clear");
    Testbed(kHomeNet);
    PressButton();
    ExpectResult(kSuccessMessage);
    EXPECT_NE(StoredProfiles().find("profile \"HomeNet\""), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest, ::testing::ValuesIn(kFaults), CaseName());

} // namespace

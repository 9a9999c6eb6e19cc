#pragma once

// A whole request under Wine: the real service and agent, the WPS library,
// Native Wifi and LED tool stand-ins, and the bench's access points, with the
// adapter plugged in and the agent watching for presses.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "agent_bench.h"
#include "bench_support.h"
#include "bench_text.h"
#include "wlan_bench.h"

namespace request_bench {

using namespace agent_bench;

inline constexpr wchar_t kAdapterGuid[] = L"{7E1A0001-1234-4ABC-8000-000000000001}";

// A session against the stand-in takes well under a second; the apply 600 ms.
inline constexpr DWORD kResultMs = 8000;

inline std::string Testbed(const std::wstring& arguments)
{
    bench::ProcessResult run = bench::RunInstalled(L"testbed.exe", arguments, 20000);
    EXPECT_TRUE(run.finished && run.exitCode == 0) << "testbed " << bench::Narrow(arguments) << ": " << run.output;
    return run.output;
}

inline std::string WpsCallLog()
{
    return ReadWholeFile(BenchDirectory(bench::InstallDirectory()) + L"\\wps_calls.log");
}

inline std::vector<WlanCall> AgentWlanCalls(const wchar_t* function)
{
    std::vector<WlanCall> calls;
    for (const WlanCall& call : ReadWlanCalls(BenchDirectory(bench::InstallDirectory()) + L"\\wlan_calls.log"))
        if (call.program == L"Quorvel.exe" && call.function == function)
            calls.push_back(call);
    return calls;
}

inline std::wstring HandOffFile()
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp, length) + L"wps_profile.xml";
}

class RequestTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        bench::PrepareInstallDirectory();
        DeleteFileW(HandOffFile().c_str());
        Testbed(std::wstring(L"wlan add \"Tolvek Lark Wireless USB Adapter\" --guid ") + kAdapterGuid);
        ASSERT_TRUE(bench::InstallAndStartService());
        ASSERT_TRUE(agent_.Start());
        ASSERT_TRUE(agent_.WaitUntilWatching());
    }
    void TearDown() override
    {
        agent_.Stop();
        bench::RemoveService();
        DeleteFileW(HandOffFile().c_str());
    }

    // The adapter's button, as the service's monitor reads it; the agent shows itself.
    void PressButton()
    {
        Testbed(L"button press --for 400");
        ASSERT_TRUE(agent_.WaitVisible(true, 3000));
    }

    bool WaitForMessage(const wchar_t* message, DWORD timeoutMs = kResultMs)
    {
        return bench::WaitFor([&] { return ItemText(agent_.Window(), kMessageText) == message; }, timeoutMs, 20);
    }

    void ExpectResult(const wchar_t* message)
    {
        ASSERT_TRUE(WaitForMessage(message)) << bench::Narrow(ItemText(agent_.Window(), kMessageText));
        EXPECT_EQ(ItemText(agent_.Window(), kActionButton), kDismissButton);
        EXPECT_TRUE(IsWindowVisible(agent_.Window()));
    }

    std::string StoredProfiles() { return Testbed(L"wlan profiles 0"); }

    AgentProcess agent_;
};

} // namespace request_bench

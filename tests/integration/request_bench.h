#pragma once

// A whole request under Wine: the real service and agent, the WPS library,
// Native Wifi and LED tool stand-ins, and the bench's access points, with the
// adapter plugged in and the agent watching for presses.

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "agent_bench.h"
#include "contract.h"
#include "main_dialog.h"
#include "service_bench.h"
#include "wlan_bench.h"

namespace request_bench {

using namespace agent_bench;

using bench::HandOffFile;
using bench::Testbed;

// A session against the stand-in takes well under a second; the apply 600 ms.
// A session has two minutes and the agent waits a little longer for the
// service's answer before it gives up: a result within one minute is the
// service's own, however loaded the machine.
inline constexpr DWORD kResultMs = 60000;

inline std::vector<WlanCall> AgentWlanCalls(const wchar_t* function)
{
    return bench::WlanCallsOf(L"Quorvel.exe", function);
}

class RequestTest : public bench::ServiceBench {
protected:
    void SetUp() override
    {
        ServiceBench::SetUp();
        DeleteFileW(HandOffFile().c_str());
        bench::PlugAdapter();
        ASSERT_TRUE(bench::InstallAndStartService());
        ASSERT_TRUE(agent_.StartHidden());
    }
    void TearDown() override
    {
        agent_.Stop();
        ServiceBench::TearDown();
        DeleteFileW(HandOffFile().c_str());
    }

    // The adapter's button pressed for one read of the service's monitor,
    // however late the stand-in learns of it; the agent shows itself within
    // its own service check.
    void PressButton()
    {
        Testbed(L"button press --reads 1");
        ASSERT_TRUE(agent_.WaitVisible(true, kServiceCheckMs));
    }

    bool WaitForMessage(const wchar_t* message, DWORD timeoutMs = kResultMs)
    {
        return bench::WaitFor([&] { return ItemText(agent_.Window(), kMessageText) == message; }, timeoutMs, 20);
    }

    void ExpectResult(const wchar_t* message)
    {
        ASSERT_TRUE(WaitForMessage(message)) << ToBytes(ItemText(agent_.Window(), kMessageText));
        EXPECT_EQ(ItemText(agent_.Window(), kActionButton), kDismissButton);
        EXPECT_TRUE(IsWindowVisible(agent_.Window()));
    }

    std::string StoredProfiles() { return Testbed(L"wlan profiles 0"); }

    AgentProcess agent_;
};

} // namespace request_bench

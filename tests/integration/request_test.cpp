// One button press from end to end under Wine: the real service and agent,
// the WPS library, Native Wifi and LED tool stand-ins, and the bench's access
// points. What the user reads, what the adapter stores and joins, what the
// service was asked.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "bench_leds.h"
#include "case_name.h"
#include "request_bench.h"

using namespace request_bench;

namespace {

TEST_F(RequestTest, OnePushButtonAccessPointEndsWithTheProfileInstalledAndTheLinkUp)
{
    Testbed(L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8");
    Testbed(L"wlan connect 0 OfficeNet");

    DWORD pressed = GetTickCount();
    PressButton();
    ExpectResult(kSuccessMessage);
    EXPECT_LE(GetTickCount() - pressed, 5000u);

    EXPECT_NE(StoredProfiles().find("profile \"HomeNet\""), std::string::npos);
    EXPECT_EQ(GetFileAttributesW(HandOffFile().c_str()), INVALID_FILE_ATTRIBUTES) << "the hand-off file is gone";
    std::vector<WlanCall> disconnects = AgentWlanCalls(L"WlanDisconnect");
    std::vector<WlanCall> sets = AgentWlanCalls(L"WlanSetProfile");
    ASSERT_EQ(disconnects.size(), 1u);
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].result, 0u);
    EXPECT_LE(disconnects[0].tick, sets[0].tick);

    // The platform joins with the new profile; the service shows it on LED 2 once its pattern is over.
    EXPECT_TRUE(bench::WaitFor(
        [&] { return Testbed(L"wlan show").find("connected ssid \"HomeNet\" security on") != std::string::npos; },
        5000, 100));
    EXPECT_TRUE(bench::WaitFor([&] { return ReadLedMode(bench::Records(), L"led2") == 1; }, 3000, 50));

    SendMessageW(GetDlgItem(agent_.Window(), kActionButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(agent_.WaitVisible(false, kServiceCheckMs));
}

struct UnappliedCase {
    const char* name;
    std::vector<std::wstring> scenario;
    const wchar_t* message;
    bool profileSet; // tried and refused
};

class UnappliedTest : public RequestTest, public ::testing::WithParamInterface<UnappliedCase> {};

TEST_P(UnappliedTest, TheUserReadsWhatWentWrongAndNoProfileIsStored)
{
    for (const std::wstring& command : GetParam().scenario)
        Testbed(command);
    // A file of an earlier request, which must not pass for this one's answer.
    ASSERT_TRUE(UniqueFileHandle(CreateFileW(HandOffFile().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr)));

    PressButton();
    // Within kResultMs: the service's answer, not the agent giving up on it.
    ExpectResult(GetParam().message);

    EXPECT_EQ(StoredProfiles().find("profile \""), std::string::npos);
    EXPECT_EQ(AgentWlanCalls(L"WlanDisconnect").size(), GetParam().profileSet ? 1u : 0u);
    std::vector<WlanCall> sets = AgentWlanCalls(L"WlanSetProfile");
    EXPECT_EQ(sets.size(), GetParam().profileSet ? 1u : 0u);
    for (const WlanCall& set : sets)
        EXPECT_NE(set.result, 0u);
    EXPECT_EQ(GetFileAttributesW(HandOffFile().c_str()), INVALID_FILE_ATTRIBUTES);
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, UnappliedTest,
    ::testing::Values(
        UnappliedCase{"TwoAccessPointsOverlap",
                      {L"ap add HomeNet --key \"correct horse\"", L"ap add Neighbour --key \"other horse\""},
                      kOverlapMessage, false},
        UnappliedCase{"LibraryFailsToOpen", {L"ap add HomeNet --key \"correct horse\"", L"wps fail open"},
                      kFailureMessage, false},
        UnappliedCase{"ProfileRefusedByNativeWifi", {L"ap add HomeNet --key short --auth WPA2-PSK --encr 8"},
                      kFailureMessage, true}), CaseName());

TEST_F(RequestTest, TheActionButtonDuringARequestCancelsItAndShowsNoResult)
{
    Testbed(L"ap add HomeNet --key \"correct horse\"");
    Testbed(L"wps hang findAP");
    PressButton();
    ASSERT_TRUE(bench::WaitForWpsLine("call", "wps_findAP"));

    SendMessageW(GetDlgItem(agent_.Window(), kActionButton), BM_CLICK, 0, 0);
    EXPECT_TRUE(agent_.WaitVisible(false, kServiceCheckMs));
    // The search ends only when the service, told to cancel, answers its callback with a stop.
    EXPECT_TRUE(bench::WaitFor(
        [] { return bench::CountWpsLines(bench::ReadWpsLog(), "back", "wps_findAP -> 0 stopped") == 1; }, 5000));

    EXPECT_FALSE(agent_.WaitVisible(true, 1000));
    EXPECT_EQ(ItemText(agent_.Window(), kMessageText), kIdleMessage);
    EXPECT_EQ(ItemText(agent_.Window(), kActionButton), kIdleButton);
    EXPECT_EQ(StoredProfiles().find("profile \""), std::string::npos);
}

} // namespace

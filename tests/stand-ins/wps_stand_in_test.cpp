// The WPS library stand-in as the service sees it: loaded from the test
// installation and called directly, with the scenario set by testbed.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string.h>
#include <string>
#include <vector>

#include "bench_clock.h"
#include "bench_scenario.h"
#include "bench_support.h"
#include "case_name.h"
#include "wps_api.h"
#include "wps_bench.h"

namespace {

using ::operator<<;
using bench::Testbed;

struct Library {
    decltype(&wps_open) open;
    decltype(&wps_findAP) findAP;
    decltype(&wps_getAP) getAP;
    decltype(&wps_join) join;
    decltype(&wps_get_AP_info) getApInfo;
    decltype(&wps_close) close;
    decltype(&wps_gpio_open) gpioOpen;
    decltype(&wps_hwbutton_supported) hwbuttonSupported;
    decltype(&wps_get_hwbutton_state) hwbuttonState;
    decltype(&wps_gpio_close) gpioClose;
};

Library g_wps;

template <typename T>
void Bind(HMODULE module, const char* name, T& function)
{
    function = reinterpret_cast<T>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    ASSERT_NE(function, nullptr) << name;
}

struct CallbackRecord {
    ULONGLONG tick;
    uint32_t status;
    std::string data;
};

constexpr int kAlwaysTrue = 1 << 30;
std::vector<CallbackRecord> g_reports; // read only once the call has returned
std::atomic<int> g_reportCount{0};
std::atomic<int> g_answerFalseFrom{kAlwaysTrue}; // the report, counted from 0, from which the callback answers false

unsigned char RecordingCallback(void*, uint32_t status, void* data)
{
    g_reports.push_back({GetTickCount64(), status, data ? static_cast<const char*>(data) : ""});
    return g_reportCount++ < g_answerFalseFrom;
}

class WpsStandInTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        bench::PrepareInstallDirectory();
        HMODULE module = LoadLibraryW(bench::InstalledFile(L"wps_api.dll").c_str());
        ASSERT_NE(module, nullptr);
        Bind(module, "wps_open", g_wps.open);
        Bind(module, "wps_findAP", g_wps.findAP);
        Bind(module, "wps_getAP", g_wps.getAP);
        Bind(module, "wps_join", g_wps.join);
        Bind(module, "wps_get_AP_info", g_wps.getApInfo);
        Bind(module, "wps_close", g_wps.close);
        Bind(module, "wps_gpio_open", g_wps.gpioOpen);
        Bind(module, "wps_hwbutton_supported", g_wps.hwbuttonSupported);
        Bind(module, "wps_get_hwbutton_state", g_wps.hwbuttonState);
        Bind(module, "wps_gpio_close", g_wps.gpioClose);
    }

    void SetUp() override
    {
        DeleteFileW(AccessPointsFile(bench::Records()).c_str());
        DeleteFileW(WpsScenarioFile(bench::Records()).c_str());
        g_reports.clear();
        g_reportCount = 0;
        g_answerFalseFrom = kAlwaysTrue;
    }

    void TearDown() override { g_wps.close(); }

    // The stand-in sees a change of the bench files within its poll.
    static void LetTheScenarioSettle() { Sleep(150); }

    struct Joined {
        unsigned char bssid[6] = {};
        char ssid[33] = {};
        unsigned char joinValue = 1;
    };

    // wps_open, then one search, wps_getAP and wps_join; false at the first
    // call that fails.
    static bool OpenAndJoin(Joined& joined)
    {
        int32_t count = 0;
        uint32_t extra = 0;
        return g_wps.open(0, RecordingCallback) && g_wps.findAP(&count, 0, 120) &&
               g_wps.getAP(0, joined.bssid, joined.ssid, &joined.joinValue, &extra) &&
               g_wps.join(joined.bssid, joined.ssid, joined.joinValue);
    }
};

std::vector<unsigned char> Bytes(const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    return std::vector<unsigned char>(p, p + size);
}

struct CredentialCase {
    const char* name;
    const wchar_t* add;
    const char* ssid;
    const char* keyManagement;
    std::vector<unsigned char> key; // the significant bytes; the rest of the 65 is zero
    uint32_t encryption;
};

std::vector<unsigned char> Text(const char* text)
{
    return std::vector<unsigned char>(text, text + strlen(text));
}

const CredentialCase kCredentialCases[] = {
    {"Wpa2Passphrase", L"ap add HomeNet --key \"correct horse\" --auth WPA2-PSK --encr 8", "HomeNet", "WPA2-PSK",
     Text("correct horse"), 8},
    {"MixedWpaTkipAes", L"ap add Cafe --key 12345678 --auth \"WPA-PSK WPA2-PSK\" --encr 12", "Cafe",
     "WPA-PSK WPA2-PSK", Text("12345678"), 12},
    {"WepRawKey", L"ap add OldNet --key-hex 0a0b0c0d0e --auth OPEN --encr 2", "OldNet", "OPEN",
     {0x0a, 0x0b, 0x0c, 0x0d, 0x0e}, 2},
    {"OpenNetwork", L"ap add Guest --auth OPEN --encr 1", "Guest", "OPEN", {}, 1},
};

class CredentialTest : public WpsStandInTest, public ::testing::WithParamInterface<CredentialCase> {};

TEST_P(CredentialTest, HandsOutTheRecordBuiltFromTheAccessPoint)
{
    const CredentialCase& c = GetParam();
    Testbed(c.add);
    Joined joined;
    ASSERT_TRUE(OpenAndJoin(joined));
    EXPECT_STREQ(joined.ssid, c.ssid);

    WpsCredential credential;
    memset(&credential, 0xEE, sizeof(credential));
    ASSERT_TRUE(g_wps.getApInfo(0, joined.bssid, joined.ssid, 0, &credential));
    EXPECT_STREQ(credential.Ssid, c.ssid);
    EXPECT_STREQ(credential.KeyManagement, c.keyManagement);
    std::vector<unsigned char> key = c.key;
    key.resize(sizeof(credential.NetworkKey));
    EXPECT_EQ(Bytes(credential.NetworkKey, sizeof(credential.NetworkKey)), key);
    EXPECT_EQ(credential.EncryptionType, c.encryption);
    EXPECT_EQ(Bytes(credential.Unused, 4), std::vector<unsigned char>(4, 0));
}

INSTANTIATE_TEST_SUITE_P(Records, CredentialTest, ::testing::ValuesIn(kCredentialCases),
                         [](const ::testing::TestParamInfo<CredentialCase>& info) { return std::string(info.param.name); });

TEST_F(WpsStandInTest, ARawCredentialRecordIsHandedOutByteForByte)
{
    std::wstring hex;
    std::vector<unsigned char> expected(128);
    for (int i = 0; i < 128; ++i) {
        expected[i] = static_cast<unsigned char>(i * 7 + 3);
        wchar_t pair[3];
        swprintf(pair, 3, L"%02x", expected[i]);
        hex += pair;
    }
    Testbed(L"ap add RawNet --credential-hex " + hex);
    Joined joined;
    ASSERT_TRUE(OpenAndJoin(joined));
    WpsCredential credential{};
    ASSERT_TRUE(g_wps.getApInfo(0, joined.bssid, joined.ssid, 0, &credential));
    EXPECT_EQ(Bytes(&credential, sizeof(credential)), expected);
}

TEST_F(WpsStandInTest, SearchCountsOnlyAccessPointsInPushButtonMode)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    Testbed(L"ap add Office --key four-five-six --no-pbc");
    int32_t count = -1;
    ASSERT_TRUE(g_wps.open(0, RecordingCallback));
    EXPECT_TRUE(g_wps.findAP(&count, 0, 120));
    EXPECT_EQ(count, 1);

    Testbed(L"ap pbc Office on");
    LetTheScenarioSettle();
    EXPECT_TRUE(g_wps.findAP(&count, 0, 120));
    EXPECT_EQ(count, 2);

    Testbed(L"ap clear");
    LetTheScenarioSettle();
    EXPECT_FALSE(g_wps.findAP(&count, 0, 120));
    EXPECT_EQ(count, 0);
}

TEST_F(WpsStandInTest, JoinNeedsTheValueFromGetApAndAnAccessPointStillInPushButtonMode)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    Joined joined;
    int32_t count = 0;
    uint32_t extra = 0;
    ASSERT_TRUE(g_wps.open(0, RecordingCallback));
    ASSERT_TRUE(g_wps.findAP(&count, 0, 120));
    ASSERT_TRUE(g_wps.getAP(0, joined.bssid, joined.ssid, &joined.joinValue, &extra));
    EXPECT_FALSE(g_wps.join(joined.bssid, joined.ssid, 1));

    Testbed(L"ap pbc HomeNet off");
    LetTheScenarioSettle();
    EXPECT_FALSE(g_wps.join(joined.bssid, joined.ssid, joined.joinValue));
    WpsCredential credential{};
    EXPECT_FALSE(g_wps.getApInfo(0, joined.bssid, joined.ssid, 0, &credential)) << "not joined";
}

TEST_F(WpsStandInTest, CallsFailWhileTheLibraryIsClosed)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    int32_t count = -1;
    EXPECT_FALSE(g_wps.findAP(&count, 0, 120));
    EXPECT_EQ(count, 0);
    Testbed(L"wps fail open");
    EXPECT_FALSE(g_wps.open(0, RecordingCallback));
    EXPECT_FALSE(g_wps.findAP(&count, 0, 120));
}

TEST_F(WpsStandInTest, ARunningCallReportsAtLeastEvery250MsAndStopsAtTheFirstFalse)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    Testbed(L"wps delay findAP 1000");
    int32_t count = 0;
    ASSERT_TRUE(g_wps.open(0, RecordingCallback));
    ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(g_wps.findAP(&count, 0, 120));
    EXPECT_GE(GetTickCount64() - start, 1000u);
    // One report at once and one a tick: a slow machine only stretches ticks.
    ASSERT_GE(g_reports.size(), 5u);

    g_reports.clear();
    g_reportCount = 0;
    g_answerFalseFrom = 2;
    EXPECT_FALSE(g_wps.findAP(&count, 0, 120));
    EXPECT_EQ(g_reports.size(), 3u);
}

TEST_F(WpsStandInTest, ScriptedCodesAreReportedInOrderWithTheNetworkNameFor9And10)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    Testbed(L"wps status 9,21 --during findAP");
    Testbed(L"wps delay findAP 300");
    int32_t count = 0;
    ASSERT_TRUE(g_wps.open(0, RecordingCallback));
    EXPECT_TRUE(g_wps.findAP(&count, 0, 120));
    ASSERT_GE(g_reports.size(), 3u);
    EXPECT_EQ(g_reports[0].status, kWpsStatusAssociating);
    EXPECT_EQ(g_reports[0].data, "HomeNet");
    for (size_t i = 1; i < g_reports.size(); ++i) {
        EXPECT_EQ(g_reports[i].status, kWpsStatusOverlap);
        EXPECT_EQ(g_reports[i].data, "");
    }
}

TEST_F(WpsStandInTest, JoinReportsAssociatingAndAssociatedWithTheNetworkName)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    Joined joined;
    ASSERT_TRUE(OpenAndJoin(joined));
    std::vector<std::pair<uint32_t, std::string>> seen;
    for (const CallbackRecord& report : g_reports)
        if (report.status == kWpsStatusAssociating || report.status == kWpsStatusAssociated)
            seen.emplace_back(report.status, report.data);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.front(), std::make_pair(kWpsStatusAssociating, std::string("HomeNet")));
    EXPECT_EQ(seen.back(), std::make_pair(kWpsStatusAssociated, std::string("HomeNet")));
}

DWORD WINAPI SearchOnce(void* result)
{
    int32_t count = 0;
    *static_cast<unsigned char*>(result) = g_wps.findAP(&count, 0, 120);
    return 0;
}

struct HangCase {
    const char* name;
    const wchar_t* hang;
    bool stopsAtFalse;
};

class HangTest : public WpsStandInTest, public ::testing::WithParamInterface<HangCase> {};

TEST_P(HangTest, NeverReturnsByItselfUntilTheBenchLiftsIt)
{
    Testbed(L"ap add HomeNet --key one-two-three");
    Testbed(GetParam().hang);
    ASSERT_TRUE(g_wps.open(0, RecordingCallback));
    g_answerFalseFrom = 3;
    unsigned char result = 0xFF;
    HANDLE thread = CreateThread(nullptr, 0, SearchOnce, &result, 0, nullptr);
    ASSERT_NE(thread, nullptr);

    DWORD ended = WaitForSingleObject(thread, 1500);
    if (GetParam().stopsAtFalse) {
        EXPECT_EQ(ended, static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_EQ(result, 0);
    } else {
        EXPECT_EQ(ended, static_cast<DWORD>(WAIT_TIMEOUT));
        EXPECT_GT(g_reportCount.load(), 5) << "still calls back, and ignores the answers";
        g_answerFalseFrom = kAlwaysTrue;
        Testbed(L"wps hang findAP off");
        EXPECT_EQ(WaitForSingleObject(thread, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
        EXPECT_EQ(result, 1);
    }
    CloseHandle(thread);
}

INSTANTIATE_TEST_SUITE_P(Hangs, HangTest,
                         ::testing::Values(HangCase{"Listening", L"wps hang findAP", true},
                                           HangCase{"Deaf", L"wps hang findAP --deaf", false}),
                         [](const ::testing::TestParamInfo<HangCase>& info) { return std::string(info.param.name); });

TEST_F(WpsStandInTest, TheButtonReadsPressedOnlyWhileHeldSupportedAndOpen)
{
    Testbed(L"button press");
    LetTheScenarioSettle();
    EXPECT_EQ(g_wps.hwbuttonState(), 0) << "not open";
    g_wps.gpioOpen();
    EXPECT_TRUE(g_wps.hwbuttonSupported());
    EXPECT_NE(g_wps.hwbuttonState(), 0);
    g_wps.gpioClose();

    Testbed(L"button unsupported");
    LetTheScenarioSettle();
    g_wps.gpioOpen();
    EXPECT_FALSE(g_wps.hwbuttonSupported());
    EXPECT_EQ(g_wps.hwbuttonState(), 0);
    g_wps.gpioClose();

    Testbed(L"button supported");
    constexpr uint64_t kHeldMs = 1000;
    uint64_t pressed = BenchNowMs();
    Testbed(L"button press --for " + std::to_wstring(kHeldMs));
    LetTheScenarioSettle();
    g_wps.gpioOpen();
    EXPECT_NE(g_wps.hwbuttonState(), 0);
    // Released by the bench's clock, never before its time however slow the reads.
    EXPECT_TRUE(bench::WaitFor([] { return g_wps.hwbuttonState() == 0; }, 60000, 10)) << "released after its time";
    EXPECT_GE(BenchNowMs() - pressed, kHeldMs);
    g_wps.gpioClose();
}

} // namespace

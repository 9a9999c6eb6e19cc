// The profile applier with Wine's MSXML and the Native Wifi stand-in: files
// that never reach the adapter, the adapter's old link dropped before the new
// profile goes in, replacement by name, and a fresh lookup on every call.
#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>

#include <string>
#include <vector>

#include "adapter.h"
#include "bench_support.h"
#include "case_name.h"
#include "documented_contract.h"
#include "profile_applier.h"
#include "wlan_test_bench.h"

using namespace wlan_test;

namespace {

const GUID kAdapter = MakeGuid(1);
const GUID kOtherAdapter = MakeGuid(2);
const wchar_t kOtherDescription[] = L"Intel(R) Wireless-AC 9260";

// Laid out as the service's writer lays it out, for ASCII texts.
std::string ProfileDocument(const std::string& ssid, const std::string& key)
{
    const std::wstring name(ssid.begin(), ssid.end());
    return documented::ProfileDocument(
        {name, HexOf(ssid), L"WPA2PSK", L"AES", L"passPhrase", std::wstring(key.begin(), key.end())}, true);
}

const std::string kHomeNet = ProfileDocument("HomeNet", "correct horse");

struct ApplyRun {
    bool accepted = false;
    bool adapterIdClearedAfter = false;
};

DWORD WINAPI ApplyOnWorker(LPVOID parameter)
{
    auto* args = static_cast<std::pair<const wchar_t*, ApplyRun*>*>(parameter);
    args->second->accepted = ApplyProfile(args->first);
    args->second->adapterIdClearedAfter = !IsAdapterKnown();
    return 0;
}

class ProfileApplierTest : public StandInTest {
protected:
    // The agent's main thread holds the multithreaded apartment; the worker
    // that applies never initialises COM itself.
    static void SetUpTestSuite() { CoInitializeEx(nullptr, COINIT_MULTITHREADED); }
    static void TearDownTestSuite() { CoUninitialize(); }

    void SetUp() override
    {
        StandInTest::SetUp();
        AdapterId = GUID{};
        path_ = bench::TempFolder() + L"\\tolvek_apply_" + std::to_wstring(GetCurrentProcessId()) + L".xml";
    }
    void TearDown() override { DeleteFileW(path_.c_str()); }

    void WriteFile(const std::string& bytes) { ASSERT_TRUE(bench::WriteBytes(path_, bytes)); }

    ApplyRun Apply()
    {
        ApplyRun run;
        std::pair<const wchar_t*, ApplyRun*> args{path_.c_str(), &run};
        UniqueHandle worker(CreateThread(nullptr, 0, ApplyOnWorker, &args, 0, nullptr));
        EXPECT_TRUE(worker);
        EXPECT_EQ(WaitForSingleObject(worker.get(), 20000), WAIT_OBJECT_0);
        return run;
    }

    static WlanBenchInterface InterfaceNow(const GUID& guid)
    {
        WlanBench bench = ReadWlanBench();
        WlanBenchInterface* found = FindBenchInterface(bench, guid);
        return found ? *found : WlanBenchInterface{};
    }

    static std::vector<std::wstring> FunctionsCalled()
    {
        std::vector<std::wstring> functions;
        for (const WlanCall& call : OwnCalls())
            functions.push_back(call.function);
        return functions;
    }

    std::wstring path_;
};

struct UnusableFile {
    const char* name;
    bool present;
    std::string bytes;
};

class UnusableFileTest : public ProfileApplierTest, public ::testing::WithParamInterface<UnusableFile> {};

TEST_P(UnusableFileTest, EndsBeforeNativeWifiIsTouched)
{
    AddInterface(AdapterDescription, kAdapter);
    SetConnection(kAdapter, wlan_interface_state_connected, true, L"OfficeNet");
    if (GetParam().present)
        WriteFile(GetParam().bytes);

    EXPECT_FALSE(Apply().accepted);

    EXPECT_TRUE(OwnCalls().empty()) << "no client opened, no disconnect";
    WlanBenchInterface adapter = InterfaceNow(kAdapter);
    EXPECT_EQ(adapter.state, static_cast<DWORD>(wlan_interface_state_connected));
    EXPECT_TRUE(adapter.profiles.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, UnusableFileTest,
    ::testing::Values(UnusableFile{"Missing", false, ""}, UnusableFile{"Empty", true, ""},
                      UnusableFile{"Truncated", true, kHomeNet.substr(0, kHomeNet.size() / 2)},
                      UnusableFile{"LastTagCut", true, kHomeNet.substr(0, kHomeNet.size() - 6)},
                      UnusableFile{"NotXml", true, "HomeNet correct horse\r\n"}), CaseName());

TEST_F(ProfileApplierTest, DropsTheAdaptersLinkThenStoresTheProfileOnItAlone)
{
    AddInterface(kOtherDescription, kOtherAdapter);
    AddInterface(AdapterDescription, kAdapter);
    SetConnection(kOtherAdapter, wlan_interface_state_connected, true, L"OfficeNet");
    SetConnection(kAdapter, wlan_interface_state_connected, true, L"OfficeNet");
    WriteFile(kHomeNet);

    ApplyRun run = Apply();
    EXPECT_TRUE(run.accepted);
    EXPECT_TRUE(run.adapterIdClearedAfter);

    std::vector<WlanCall> calls = OwnCalls();
    std::vector<std::wstring> expected = {L"WlanOpenHandle",   L"WlanOpenHandle", L"WlanEnumInterfaces",
                                          L"WlanFreeMemory",   L"WlanCloseHandle", L"WlanDisconnect",
                                          L"WlanSetProfile",   L"WlanCloseHandle"};
    EXPECT_EQ(FunctionsCalled(), expected);
    for (const WlanCall& call : calls) {
        if (call.function == L"WlanDisconnect" || call.function == L"WlanSetProfile") {
            EXPECT_EQ(call.result, 0u) << std::string(call.function.begin(), call.function.end());
            EXPECT_EQ(Field(call.details, L"interface"), GuidText(kAdapter));
            EXPECT_EQ(Field(call.details, L"handle"), Field(calls.front().details, L"handle"));
        }
    }
    ExpectBalanced(calls);

    WlanBenchInterface adapter = InterfaceNow(kAdapter);
    EXPECT_NE(adapter.state, static_cast<DWORD>(wlan_interface_state_connected));
    ASSERT_EQ(adapter.profiles.size(), 1u);
    EXPECT_EQ(adapter.profiles[0].name, L"HomeNet");
    EXPECT_NE(adapter.profiles[0].xml.find(L"<keyMaterial>correct horse</keyMaterial>"), std::wstring::npos);
    EXPECT_EQ(InterfaceNow(kOtherAdapter).state, static_cast<DWORD>(wlan_interface_state_connected));
    EXPECT_TRUE(InterfaceNow(kOtherAdapter).profiles.empty());
}

TEST_F(ProfileApplierTest, AProfileOfTheSameNameIsReplacedInPlace)
{
    AddInterface(AdapterDescription, kAdapter);
    WriteFile(ProfileDocument("Cafe", "espresso beans"));
    ASSERT_TRUE(Apply().accepted);
    WriteFile(ProfileDocument("HomeNet", "old horse"));
    ASSERT_TRUE(Apply().accepted);

    WriteFile(kHomeNet);
    EXPECT_TRUE(Apply().accepted);

    WlanBenchInterface adapter = InterfaceNow(kAdapter);
    ASSERT_EQ(adapter.profiles.size(), 2u);
    EXPECT_EQ(adapter.profiles[0].name, L"HomeNet");
    EXPECT_NE(adapter.profiles[0].xml.find(L"correct horse"), std::wstring::npos);
    EXPECT_EQ(adapter.profiles[1].name, L"Cafe");
}

TEST_F(ProfileApplierTest, WithTheAdapterUnpluggedItFailsAndTheNextCallLooksAgain)
{
    AddInterface(kOtherDescription, kOtherAdapter);
    AddInterface(AdapterDescription, kAdapter, false);
    SetConnection(kOtherAdapter, wlan_interface_state_connected, true, L"OfficeNet");
    WriteFile(kHomeNet);

    ApplyRun unplugged = Apply();
    EXPECT_FALSE(unplugged.accepted);
    EXPECT_TRUE(unplugged.adapterIdClearedAfter);
    EXPECT_EQ(InterfaceNow(kOtherAdapter).state, static_cast<DWORD>(wlan_interface_state_connected));
    EXPECT_TRUE(InterfaceNow(kOtherAdapter).profiles.empty());
    ExpectBalanced(OwnCalls());

    SetPresent(kAdapter, true);
    size_t before = OwnCalls().size();
    EXPECT_TRUE(Apply().accepted);
    std::vector<WlanCall> calls = OwnCalls();
    calls.erase(calls.begin(), calls.begin() + before);
    EXPECT_EQ(CountCalls(calls, L"WlanEnumInterfaces"), 1);
    EXPECT_EQ(InterfaceNow(kAdapter).profiles.size(), 1u);

    // And once more unplugged: the identifier of the last call is not reused.
    SetPresent(kAdapter, false);
    EXPECT_FALSE(Apply().accepted);
}

struct RefusedCase {
    const char* name;
    std::string document;
    bool serviceRunning;
    bool allUserProfilesDenied = false; // as a managed machine's policy may
    bool storedForTheUser = false;
};

class RefusedTest : public ProfileApplierTest, public ::testing::WithParamInterface<RefusedCase> {};

TEST_P(RefusedTest, NothingIsStoredUnlessForTheUserAndEveryHandleIsGivenBack)
{
    const RefusedCase& c = GetParam();
    AddInterface(AdapterDescription, kAdapter);
    if (!c.serviceRunning)
        SetService(false);
    ModifyWlanBench([&](WlanBench& bench) {
        bench.allUserProfilesDenied = c.allUserProfilesDenied;
        return true;
    });
    WriteFile(c.document);

    ApplyRun run = Apply();
    EXPECT_EQ(run.accepted, c.storedForTheUser);
    EXPECT_TRUE(run.adapterIdClearedAfter);
    std::vector<WlanBenchProfile> stored = InterfaceNow(kAdapter).profiles;
    ASSERT_EQ(stored.size(), c.storedForTheUser ? 1u : 0u);
    if (c.storedForTheUser) {
        EXPECT_TRUE(stored[0].userOnly);
    }
    ExpectBalanced(OwnCalls());
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, RefusedTest,
    ::testing::Values(RefusedCase{"PassphraseTooShort", ProfileDocument("HomeNet", "short"), true},
                      RefusedCase{"WellFormedButNoProfile", "<?xml version=\"1.0\"?><notes>HomeNet</notes>", true},
                      RefusedCase{"WlanServiceStopped", kHomeNet, false},
                      RefusedCase{"AllUserProfilesDenied", kHomeNet, true, true, true},
                      RefusedCase{"AllUserProfilesDeniedAndABadProfile", ProfileDocument("HomeNet", "short"), true,
                                  true}),
    CaseName());

} // namespace

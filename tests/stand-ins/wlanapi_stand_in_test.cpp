// The Native Wifi stand-in through its exports: profile checks as Windows
// makes them, the profile store, automatic join, layouts and memory. The
// store is read back through the bench, as the bench tool reads it.
#include <gtest/gtest.h>

#include <stddef.h>

#include "bench_scenario.h"
#include "documented_contract.h"
#include "wlan_codes.h"
#include "wlan_test_bench.h"

using namespace wlan_test;

namespace {

const GUID kAdapter = MakeGuid(1);

struct Profile {
    std::wstring ns = kWlanProfileNamespace;
    std::wstring name = L"HomeNet";
    std::wstring ssid = L"HomeNet";
    std::wstring authentication = L"WPA2PSK";
    std::wstring encryption = L"AES";
    std::wstring keyType = L"passPhrase"; // empty: no sharedKey
    std::wstring key = L"correct horse";
};

// Laid out the way the agent hands it over: MSXML's text of the document.
// The SSID's name is the profile's in every row.
std::wstring ProfileXml(const Profile& p)
{
    return documented::ProfileText(
        {p.name, HexOf(SsidBytes(p.ssid)), p.authentication, p.encryption, p.keyType, p.key}, L"\t", p.ns);
}

Profile Wpa2(const std::wstring& keyType, const std::wstring& key)
{
    Profile p;
    p.keyType = keyType;
    p.key = key;
    return p;
}

Profile Wep(const std::wstring& key, const std::wstring& keyType = L"networkKey")
{
    Profile p;
    p.authentication = L"open";
    p.encryption = L"WEP";
    p.keyType = keyType;
    p.key = key;
    return p;
}

Profile Pair(const wchar_t* authentication, const wchar_t* encryption, const wchar_t* keyType = L"passPhrase")
{
    Profile p;
    p.authentication = authentication;
    p.encryption = encryption;
    p.keyType = keyType;
    return p;
}

Profile InNamespace(const std::wstring& ns)
{
    Profile p;
    p.ns = ns;
    return p;
}

const std::wstring kHex64 = L"00112233445566778899aabbccddeeff00112233445566778899AABBCCDDEEFF";
const std::wstring kHex64Upper = L"00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";

class StandIn : public StandInTest {
protected:
    void SetUp() override
    {
        StandInTest::SetUp();
        WriteAccessPoints({});
        AddInterface(L"Tolvek Lark Wireless USB Adapter", kAdapter);
        DWORD version = 0;
        ASSERT_EQ(WlanOpenHandle(2, nullptr, &version, &client_), 0u);
    }
    void TearDown() override
    {
        if (client_)
            WlanCloseHandle(client_, nullptr);
    }

    DWORD SetProfile(const std::wstring& xml, DWORD& reason, BOOL overwrite = TRUE)
    {
        reason = 0xDEAD;
        return WlanSetProfile(client_, &kAdapter, 0, xml.c_str(), nullptr, overwrite, nullptr, &reason);
    }

    std::vector<WlanBenchProfile> Stored()
    {
        WlanBench bench = ReadWlanBench();
        return FindBenchInterface(bench, kAdapter)->profiles;
    }

    std::vector<std::wstring> ProfileNames()
    {
        std::vector<std::wstring> names;
        for (const WlanBenchProfile& p : Stored())
            names.push_back(p.name);
        return names;
    }

    std::wstring StoredXml(const std::wstring& name)
    {
        for (const WlanBenchProfile& p : Stored())
            if (p.name == name)
                return p.xml;
        return L"(none)";
    }

    // The current connection, or state 0 when there is none to describe.
    WLAN_CONNECTION_ATTRIBUTES Connection(DWORD* result = nullptr)
    {
        WLAN_CONNECTION_ATTRIBUTES copy{};
        DWORD size = 0;
        void* data = nullptr;
        DWORD answer = WlanQueryInterface(client_, &kAdapter, wlan_intf_opcode_current_connection, nullptr, &size,
                                          &data, nullptr);
        if (result)
            *result = answer;
        if (answer == 0) {
            EXPECT_EQ(size, sizeof(WLAN_CONNECTION_ATTRIBUTES));
            copy = *static_cast<WLAN_CONNECTION_ATTRIBUTES*>(data);
            WlanFreeMemory(data);
        }
        return copy;
    }

    HANDLE client_ = nullptr;
};

struct CheckCase {
    const char* name;
    Profile profile;
    DWORD result;
    DWORD reason;
};

class ProfileCheckTest : public StandIn, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(ProfileCheckTest, AnswersAsWindowsDoes)
{
    DWORD reason = 0;
    EXPECT_EQ(SetProfile(ProfileXml(GetParam().profile), reason), GetParam().result);
    EXPECT_EQ(reason, GetParam().reason) << std::hex << "reason 0x" << reason;
    EXPECT_EQ(ProfileNames().size(), GetParam().result == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, ProfileCheckTest,
    ::testing::Values(
        CheckCase{"Wpa2Passphrase", Wpa2(L"passPhrase", L"correct horse"), 0, 0},
        CheckCase{"PassphraseOf8", Wpa2(L"passPhrase", L"12345678"), 0, 0},
        CheckCase{"PassphraseOf63", Wpa2(L"passPhrase", std::wstring(63, L'x')), 0, 0},
        CheckCase{"Wpa2Hex64", Wpa2(L"networkKey", kHex64), 0, 0},
        CheckCase{"WpaTkip", Pair(L"WPAPSK", L"TKIP"), 0, 0},
        CheckCase{"Wep10Hex", Wep(L"0123456789"), 0, 0},
        CheckCase{"Wep26Hex", Wep(L"0123456789abcdef0123456789"), 0, 0},
        CheckCase{"OpenWithoutKey", Pair(L"open", L"none", L""), 0, 0},
        CheckCase{"PassphraseOf7", Wpa2(L"passPhrase", L"1234567"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH},
        CheckCase{"PassphraseOf64", Wpa2(L"passPhrase", kHex64), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH},
        CheckCase{"PassphraseOf65", Wpa2(L"passPhrase", std::wstring(65, L'x')), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH},
        CheckCase{"NetworkKeyOf65", Wpa2(L"networkKey", kHex64 + L"0"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH},
        CheckCase{"NetworkKeyOf63", Wpa2(L"networkKey", kHex64.substr(1)), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH},
        CheckCase{"NonHexNetworkKey", Wpa2(L"networkKey", kHex64.substr(1) + L"g"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR},
        CheckCase{"PassphraseWithTab", Wpa2(L"passPhrase", L"correct\thorse"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PASSPHRASE_CHAR},
        CheckCase{"PassphraseBeyondAscii", Wpa2(L"passPhrase", L"caf\u00e9 au lait"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_PASSPHRASE_CHAR},
        CheckCase{"Wep11Hex", Wep(L"0123456789a"), ERROR_BAD_PROFILE, WLAN_REASON_CODE_MSMSEC_PROFILE_KEY_LENGTH},
        CheckCase{"Wep5Characters", Wep(L"abcde"), ERROR_BAD_PROFILE, WLAN_REASON_CODE_MSMSEC_PROFILE_KEY_LENGTH},
        CheckCase{"WepNonHex10", Wep(L"012345678z"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR},
        CheckCase{"WepAsPassphrase", Wep(L"0123456789", L"passPhrase"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        CheckCase{"Wpa2WithWep", Pair(L"WPA2PSK", L"WEP"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_AUTH_CIPHER},
        CheckCase{"OpenWithAes", Pair(L"open", L"AES", L""), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_AUTH_CIPHER},
        CheckCase{"SharedWithoutEncryption", Pair(L"shared", L"none", L""), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_AUTH_CIPHER},
        CheckCase{"EnterpriseWithoutOneX", Pair(L"WPA2", L"AES", L""), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        CheckCase{"OpenNetworkWithKey", Pair(L"open", L"none"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        CheckCase{"UnknownAuthentication", Pair(L"WPA2-PSK", L"AES"), ERROR_BAD_PROFILE,
                  WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        CheckCase{"VersionTwoNamespace", InNamespace(L"http://www.microsoft.com/networking/WLAN/profile/v2"),
                  ERROR_BAD_PROFILE, WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        CheckCase{"NamespaceCaseDiffers", InNamespace(L"http://www.microsoft.com/networking/wlan/profile/v1"),
                  ERROR_BAD_PROFILE, WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        CheckCase{"NoNamespace", InNamespace(L""), ERROR_BAD_PROFILE, WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA}),
    [](const ::testing::TestParamInfo<CheckCase>& info) { return info.param.name; });

std::wstring Replaced(std::wstring text, const std::wstring& from, const std::wstring& to)
{
    size_t at = text.find(from);
    if (at != std::wstring::npos)
        text.replace(at, from.size(), to);
    return text;
}

struct DocumentCase {
    const char* name;
    std::wstring xml;
    DWORD reason;
};

class ProfileDocumentTest : public StandIn, public ::testing::WithParamInterface<DocumentCase> {};

TEST_P(ProfileDocumentTest, IsRefusedWithItsReason)
{
    DWORD reason = 0;
    EXPECT_EQ(SetProfile(GetParam().xml, reason), static_cast<DWORD>(ERROR_BAD_PROFILE));
    EXPECT_EQ(reason, GetParam().reason) << std::hex << "reason 0x" << reason;
    EXPECT_TRUE(ProfileNames().empty());
}

const std::wstring kGood = ProfileXml(Profile{});

INSTANTIATE_TEST_SUITE_P(
    Documents, ProfileDocumentTest,
    ::testing::Values(
        DocumentCase{"Empty", L"", WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"Truncated", kGood.substr(0, kGood.size() / 2), WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"OtherRoot", Replaced(Replaced(kGood, L"<WLANProfile", L"<Profile"), L"</WLANProfile>",
                                           L"</Profile>"),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"NoName", Replaced(kGood, L"\t<name>HomeNet</name>\r\n\t<SSIDConfig>", L"\t<SSIDConfig>"),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"EmptyName", Replaced(kGood, L"\t<name>HomeNet</name>\r\n\t<SSIDConfig>",
                                           L"\t<name></name>\r\n\t<SSIDConfig>"),
                     WLAN_REASON_CODE_INVALID_PROFILE_NAME},
        DocumentCase{"NoConnectionType", Replaced(kGood, L"\t<connectionType>ESS</connectionType>\r\n", L""),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"OutOfOrder",
                     Replaced(kGood, L"\t<connectionType>ESS</connectionType>\r\n\t<connectionMode>auto</connectionMode>",
                              L"\t<connectionMode>auto</connectionMode>\r\n\t<connectionType>ESS</connectionType>"),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"UnknownElement", Replaced(kGood, L"<connectionMode>auto</connectionMode>",
                                                L"<connectionMode>auto</connectionMode><roaming>on</roaming>"),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"EmptySsid", Replaced(Replaced(kGood, L"<hex>486F6D654E6574</hex>", L"<hex>0</hex>"),
                                           L"<name>HomeNet</name>\r\n\t\t</SSID>", L"<name></name>\r\n\t\t</SSID>"),
                     WLAN_REASON_CODE_PROFILE_SSID_INVALID},
        DocumentCase{"NoSecurity", kGood.substr(0, kGood.find(L"\t<MSM>")) + L"</WLANProfile>",
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"NoAuthEncryption",
                     kGood.substr(0, kGood.find(L"\t\t\t<authEncryption>")) +
                         kGood.substr(kGood.find(L"\t\t\t<sharedKey>")),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"HexDisagreesWithName", Replaced(kGood, L"<hex>486F6D654E6574</hex>", L"<hex>486F6D654E6575</hex>"),
                     WLAN_REASON_CODE_PROFILE_SSID_INVALID},
        DocumentCase{"TextInsideSecurity", Replaced(kGood, L"<security>", L"<security>key"),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA},
        DocumentCase{"OneXWithPsk", Replaced(kGood, L"<useOneX>false", L"<useOneX>true"),
                     WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA}),
    [](const ::testing::TestParamInfo<DocumentCase>& info) { return info.param.name; });

TEST_F(StandIn, AcceptsTheWritersOwnLayoutWithEscapedText)
{
    Profile p = Wpa2(L"passPhrase", L"tom &amp; jerry &lt;3");
    DWORD reason = 0;
    ASSERT_EQ(SetProfile(L"\xFEFF" + ProfileXml(p), reason), 0u);
    EXPECT_NE(StoredXml(L"HomeNet").find(L"tom &amp; jerry"), std::wstring::npos);
}

TEST_F(StandIn, RefusesBadArgumentsBeforeLookingAtTheProfile)
{
    std::wstring xml = ProfileXml(Profile{});
    DWORD reason = 0;
    const GUID unknown = MakeGuid(9);
    EXPECT_EQ(WlanSetProfile(client_, &kAdapter, 0, xml.c_str(), nullptr, TRUE, nullptr, nullptr),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WlanSetProfile(client_, &kAdapter, 0, nullptr, nullptr, TRUE, nullptr, &reason),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WlanSetProfile(client_, nullptr, 0, xml.c_str(), nullptr, TRUE, nullptr, &reason),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WlanSetProfile(client_, &kAdapter, 8, xml.c_str(), nullptr, TRUE, nullptr, &reason),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WlanSetProfile(nullptr, &kAdapter, 0, xml.c_str(), nullptr, TRUE, nullptr, &reason),
              static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(WlanSetProfile(client_, &unknown, 0, xml.c_str(), nullptr, TRUE, nullptr, &reason),
              static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_TRUE(ProfileNames().empty());
}

TEST_F(StandIn, OverwriteReplacesTheProfileOfTheSameNameInItsPlace)
{
    DWORD reason = 0;
    Profile home = Wpa2(L"passPhrase", L"first key");
    Profile office;
    office.name = office.ssid = L"Office";
    ASSERT_EQ(SetProfile(ProfileXml(home), reason), 0u);
    ASSERT_EQ(SetProfile(ProfileXml(office), reason), 0u);
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"Office", L"HomeNet"}));

    home.key = L"second key";
    EXPECT_EQ(SetProfile(ProfileXml(home), reason, FALSE), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_NE(StoredXml(L"HomeNet").find(L"first key"), std::wstring::npos);

    ASSERT_EQ(SetProfile(ProfileXml(home), reason, TRUE), 0u);
    EXPECT_EQ(ProfileNames(), (std::vector<std::wstring>{L"Office", L"HomeNet"}));
    EXPECT_NE(StoredXml(L"HomeNet").find(L"second key"), std::wstring::npos);
}

struct JoinCase {
    const char* name;
    Profile profile;
    BenchAccessPoint ap;
    bool joins;
    bool secured;
};

BenchAccessPoint Ap(const wchar_t* ssid, const wchar_t* management, unsigned encryption, const wchar_t* key,
                    const wchar_t* keyHex = L"")
{
    BenchAccessPoint ap;
    ap.ssid = ssid;
    ap.keyManagement = management;
    ap.encryption = encryption;
    ap.networkKey = key;
    ap.networkKeyHex = keyHex;
    ap.bssid = L"02:11:22:33:44:55";
    return ap;
}

class AutomaticJoinTest : public StandIn, public ::testing::WithParamInterface<JoinCase> {};

TEST_P(AutomaticJoinTest, JoinsAMatchingAccessPointAMomentAfterTheProfileIsSet)
{
    ModifyWlanBench([](WlanBench& bench) {
        bench.joinDelayMs = 100;
        return true;
    });
    WriteAccessPoints({Ap(L"Neighbour", L"WPA2-PSK", 8, L"not ours at all"), GetParam().ap});
    DWORD reason = 0;
    ASSERT_EQ(SetProfile(ProfileXml(GetParam().profile), reason), 0u);

    DWORD result = 0;
    Connection(&result);
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_INVALID_STATE)) << "joined at once";
    Sleep(150);
    WLAN_CONNECTION_ATTRIBUTES c = Connection(&result);
    if (!GetParam().joins) {
        EXPECT_EQ(result, static_cast<DWORD>(ERROR_INVALID_STATE));
        return;
    }
    ASSERT_EQ(result, 0u);
    EXPECT_EQ(c.isState, wlan_interface_state_connected);
    EXPECT_EQ(c.wlanSecurityAttributes.bSecurityEnabled, GetParam().secured ? TRUE : FALSE);
    EXPECT_STREQ(c.strProfileName, GetParam().profile.name.c_str());
    std::string ssid = SsidBytes(GetParam().profile.ssid);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(c.wlanAssociationAttributes.dot11Ssid.ucSSID),
                          c.wlanAssociationAttributes.dot11Ssid.uSSIDLength),
              ssid);
    EXPECT_EQ(c.wlanAssociationAttributes.dot11Bssid[5], 0x55);
}

INSTANTIATE_TEST_SUITE_P(
    Networks, AutomaticJoinTest,
    ::testing::Values(
        JoinCase{"Wpa2Passphrase", Wpa2(L"passPhrase", L"correct horse"),
                 Ap(L"HomeNet", L"WPA2-PSK", 8, L"correct horse"), true, true},
        JoinCase{"MixedModeAccessPoint", Pair(L"WPAPSK", L"TKIP"),
                 Ap(L"HomeNet", L"WPA-PSK WPA2-PSK", 12, L"correct horse"), true, true},
        JoinCase{"Hex64KeyInOtherCase", Wpa2(L"networkKey", kHex64), Ap(L"HomeNet", L"WPA2-PSK", 8, kHex64Upper.c_str()),
                 true, true},
        JoinCase{"WepRawKey", Wep(L"0A1B2C3D4E"), Ap(L"HomeNet", L"OPEN", 2, L"", L"0a1b2c3d4e"), true, true},
        JoinCase{"OpenNetwork", Pair(L"open", L"none", L""), Ap(L"HomeNet", L"OPEN", 1, L""), true, false},
        JoinCase{"WrongPassphrase", Wpa2(L"passPhrase", L"correct horse"),
                 Ap(L"HomeNet", L"WPA2-PSK", 8, L"correct h0rse"), false, false},
        JoinCase{"OtherSsid", Wpa2(L"passPhrase", L"correct horse"),
                 Ap(L"HomeNet5G", L"WPA2-PSK", 8, L"correct horse"), false, false},
        JoinCase{"SecuredProfileForOpenNetwork", Wpa2(L"passPhrase", L"correct horse"),
                 Ap(L"HomeNet", L"OPEN", 1, L""), false, false}),
    [](const ::testing::TestParamInfo<JoinCase>& info) { return info.param.name; });

TEST_F(StandIn, DisconnectDropsTheConnection)
{
    SetConnection(kAdapter, wlan_interface_state_connected, true);
    EXPECT_EQ(Connection().isState, wlan_interface_state_connected);
    EXPECT_EQ(WlanDisconnect(client_, &kAdapter, nullptr), 0u);
    DWORD result = 0;
    Connection(&result);
    EXPECT_EQ(result, static_cast<DWORD>(ERROR_INVALID_STATE));
    WlanBench bench = ReadWlanBench();
    EXPECT_EQ(FindBenchInterface(bench, kAdapter)->state, static_cast<DWORD>(wlan_interface_state_disconnected));
}

TEST_F(StandIn, UnpluggedInterfaceIsNotListedAndRefusesEveryCall)
{
    SetPresent(kAdapter, false);
    DWORD reason = 0;
    DWORD size = 0;
    void* data = nullptr;
    EXPECT_EQ(WlanDisconnect(client_, &kAdapter, nullptr), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_EQ(SetProfile(ProfileXml(Profile{}), reason), static_cast<DWORD>(ERROR_NOT_FOUND));
    EXPECT_EQ(WlanQueryInterface(client_, &kAdapter, wlan_intf_opcode_current_connection, nullptr, &size, &data,
                                 nullptr),
              static_cast<DWORD>(ERROR_NOT_FOUND));
    PWLAN_INTERFACE_INFO_LIST list = nullptr;
    ASSERT_EQ(WlanEnumInterfaces(client_, nullptr, &list), 0u);
    EXPECT_EQ(list->dwNumberOfItems, 0u);
    WlanFreeMemory(list);
}

TEST_F(StandIn, InterfaceListIsSizedByItsEntries)
{
    AddInterface(L"Second", MakeGuid(2));
    AddInterface(L"Third", MakeGuid(3));
    SetConnection(MakeGuid(3), wlan_interface_state_associating, true);
    PWLAN_INTERFACE_INFO_LIST list = nullptr;
    ASSERT_EQ(WlanEnumInterfaces(client_, nullptr, &list), 0u);
    ASSERT_EQ(list->dwNumberOfItems, 3u);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, list),
              offsetof(WLAN_INTERFACE_INFO_LIST, InterfaceInfo) + 3 * sizeof(WLAN_INTERFACE_INFO));
    EXPECT_TRUE(IsEqualGUID(list->InterfaceInfo[0].InterfaceGuid, kAdapter));
    EXPECT_STREQ(list->InterfaceInfo[1].strInterfaceDescription, L"Second");
    EXPECT_EQ(list->InterfaceInfo[2].isState, wlan_interface_state_associating);
    WlanFreeMemory(list);
}

TEST_F(StandIn, ClosedHandlesAndForeignMemoryAreRefused)
{
    HANDLE second = nullptr;
    DWORD version = 0;
    ASSERT_EQ(WlanOpenHandle(1, nullptr, &version, &second), 0u);
    EXPECT_EQ(version, 1u);
    EXPECT_EQ(WlanCloseHandle(second, nullptr), 0u);
    EXPECT_EQ(WlanCloseHandle(second, nullptr), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    PWLAN_INTERFACE_INFO_LIST list = nullptr;
    EXPECT_EQ(WlanEnumInterfaces(second, nullptr, &list), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    ASSERT_EQ(WlanEnumInterfaces(client_, nullptr, &list), 0u);
    WlanFreeMemory(list);
    WlanFreeMemory(list);
    std::vector<WlanCall> calls = OwnCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(calls[calls.size() - 2].result, 0u);
    EXPECT_EQ(calls.back().result, static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(StandIn, StoppedWlanServiceRefusesNewClients)
{
    SetService(false);
    HANDLE second = nullptr;
    DWORD version = 0;
    EXPECT_EQ(WlanOpenHandle(2, nullptr, &version, &second), static_cast<DWORD>(ERROR_SERVICE_NOT_ACTIVE));
    EXPECT_EQ(second, nullptr);
}

} // namespace

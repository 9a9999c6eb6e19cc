// The profile document written for credential records, read back element by element.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "case_name.h"
#include "documented_contract.h"
#include "profile_test_support.h"
#include "profile_writer_internal.h"
#include "service_state.h"

namespace {

struct CredentialCase {
    const char* name;
    std::string ssid;
    std::string keyManagement;
    std::string networkKey;
    uint32_t encryptionType;
    std::wstring hex;
    const wchar_t* authentication;
    const wchar_t* encryption;
    const wchar_t* keyType = nullptr; // no sharedKey
    std::wstring keyMaterial = L"";
    char fill = 0;
};

WpsCredential MakeCredential(const CredentialCase& c)
{
    return documented::CredentialRecord<WpsCredential>(c.ssid, c.keyManagement, c.networkKey, c.encryptionType,
                                                       c.fill);
}

// What the profile's name reads as: the SSID's bytes in the ANSI code page.
std::wstring ExpectedName(const WpsCredential& credential)
{
    int length = 0;
    while (length < 32 && credential.Ssid[length] != 0)
        ++length;
    wchar_t name[33] = {};
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, credential.Ssid, length, name, 32);
    return name;
}

std::vector<ProfileElement> ExpectedElements(const CredentialCase& c, const std::wstring& name)
{
    return documented::ProfileElements(
        {name, c.hex, c.authentication, c.encryption, c.keyType ? c.keyType : L"", c.keyMaterial});
}

const std::string kHexKey64 = "00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff";
const std::string kKey63 = kHexKey64.substr(0, 63);
std::wstring Repeat(const wchar_t* text, int count)
{
    std::wstring repeated;
    for (int i = 0; i < count; ++i)
        repeated += text;
    return repeated;
}

const CredentialCase kCases[] = {
    {"HomeNetPassphrase", "HomeNet", "WPA2-PSK", "correcthorse", 8, L"486F6D654E6574", L"WPA2PSK", L"AES",
     L"passPhrase", L"correcthorse"},
    {"Wpa2KeyOf64IsNetworkKey", "HomeNet", "WPA2-PSK", kHexKey64, 8, L"486F6D654E6574", L"WPA2PSK", L"AES",
     L"networkKey", FromBytes(kHexKey64)},
    {"Wpa2KeyOf63IsPassphrase", "HomeNet", "WPA2-PSK", kKey63, 8, L"486F6D654E6574", L"WPA2PSK", L"AES",
     L"passPhrase", FromBytes(kKey63)},
    {"WpaTkip", "Net", "WPA-PSK", "passphrase1", 4, L"4E6574", L"WPAPSK", L"TKIP", L"passPhrase",
     L"passphrase1"},
    {"WpaAes8", "Net", "WPA-PSK", "passphrase1", 8, L"4E6574", L"WPAPSK", L"AES", L"passPhrase", L"passphrase1"},
    {"WpaAes12", "Net", "WPA-PSK", "passphrase1", 12, L"4E6574", L"WPAPSK", L"AES", L"passPhrase",
     L"passphrase1"},
    {"WpaAes1", "Net", "WPA-PSK", "passphrase1", 1, L"4E6574", L"WPAPSK", L"AES", L"passPhrase", L"passphrase1"},
    {"WpaAes2KeyAsWepHex", "Net", "WPA-PSK", "passphrase1", 2, L"4E6574", L"WPAPSK", L"AES", L"passPhrase",
     L"70617373706872617365310000"},
    {"WpaAndWpa2", "Net", "WPA-PSK WPA2-PSK", "passphrase1", 12, L"4E6574", L"WPA2PSK", L"AES", L"passPhrase",
     L"passphrase1"},
    {"Wpa2LowerCase", "Net", "wpa2-psk", "passphrase1", 4, L"4E6574", L"WPA2PSK", L"AES", L"passPhrase",
     L"passphrase1"},
    {"Wpa2TrailingBlankIsOpen", "Net", "WPA2-PSK ", "passphrase1", 8, L"4E6574", L"open", L"none"},
    {"Wpa2PrefixIsOpen", "Net", "WPA2-PS", "passphrase1", 8, L"4E6574", L"open", L"none"},
    {"Wpa2WithWepKey", "Net", "WPA2-PSK", "\x01\x23\x45\x67\x89", 2, L"4E6574", L"WPA2PSK", L"AES", L"passPhrase",
     L"0123456789"},
    {"Wep5", "Net", "", "\xAB\xCD\xEF\x01\x23", 2, L"4E6574", L"open", L"WEP", L"networkKey", L"ABCDEF0123"},
    {"Wep13ByItsLastByte",
     "Net",
     "OPEN",
     std::string("\x11\x22\x33\x44\x55\0\0\0\0\0\0\0\xFE\0\0\0\0\0\0\0\x77", 21),
     2,
     L"4E6574",
     L"open",
     L"WEP",
     L"networkKey",
     L"1122334455" + Repeat(L"00", 7) + L"FE"},
    {"OpenNetwork", "Net", "OPEN", "", 1, L"4E6574", L"open", L"none"},
    {"OpenWithAes", "Net", "", "ignored", 8, L"4E6574", L"open", L"none"},
    {"Ssid32", "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", "WPA2-PSK", "passphrase1", 8,
     L"4142434445464748494A4B4C4D4E4F505152535455565758595A303132333435", L"WPA2PSK", L"AES", L"passPhrase",
     L"passphrase1"},
    {"EmptySsid", "", "WPA2-PSK", "passphrase1", 8, L"0", L"WPA2PSK", L"AES", L"passPhrase", L"passphrase1"},
    {"SsidHighBytes", "Caf\xE9\x80\xFF", "", "", 1, L"436166E980FF", L"open", L"none"},
    {"MarkupInSsidAndKey", "A&B<C\"D>", "WPA2-PSK", "p&ss<w\"rd>", 8, L"4126423C4322443E", L"WPA2PSK",
     L"AES", L"passPhrase", L"p&ss<w\"rd>"},
    {"NoNulAnywhere", std::string(33, 'A'), std::string(21, 'A'), std::string(65, 'A'), 0x41414141,
     Repeat(L"41", 32), L"open", L"none", nullptr, L"", 'A'},
    {"NoNulInSsidOrKey", std::string(33, 'S'), "WPA2-PSK", std::string(65, 'k'), 8, Repeat(L"53", 32),
     L"WPA2PSK", L"AES", L"networkKey", std::wstring(64, L'k'), 'x'},
    {"NoNulWep", std::string(33, 'S'), std::string(21, 'Z'), std::string(65, '\xFF'), 2,
     Repeat(L"53", 32), L"open", L"WEP", L"networkKey", std::wstring(26, L'F'), 'x'},
};

class ProfileDocumentTest : public ProfileFolderTest, public ::testing::WithParamInterface<CredentialCase> {};

TEST_P(ProfileDocumentTest, ReadsBackAsTheExpectedProfile)
{
    const CredentialCase& c = GetParam();
    g_service.Credential = MakeCredential(c);

    ASSERT_TRUE(BuildProfileRecord());
    ASSERT_EQ(WriteProfileFile(), 0);

    ParsedProfile parsed = ParseProfile(ReadWholeFile(path_));
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.elements, ExpectedElements(c, ExpectedName(g_service.Credential)));
    EXPECT_EQ(parsed.attributes, (std::vector<ProfileAttribute>{{L"WLANProfile", L"xmlns", documented::kProfileNamespace}}));
    EXPECT_FALSE(parsed.anyEmptyTag);
}

INSTANTIATE_TEST_SUITE_P(Credentials, ProfileDocumentTest, ::testing::ValuesIn(kCases), CaseName());

TEST_F(ProfileDocumentTest, IsUtf8WithADeclarationAndNoStandalone)
{
    g_service.Credential = MakeCredential(kCases[0]);
    BuildProfileRecord();
    ASSERT_EQ(WriteProfileFile(), 0);

    std::string bytes = ReadWholeFile(path_);
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes.erase(0, 3);
    EXPECT_EQ(bytes.compare(0, 38, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>"), 0) << bytes;
    EXPECT_EQ(bytes.find("standalone"), std::string::npos);
}

TEST(HexEncodeBytesTest, WritesUpperCaseDigitsAndRefusesBadInput)
{
    const unsigned char bytes[] = {0x00, 0x9A, 0xFF, 0x5C};
    wchar_t text[9] = L"unused!";
    EXPECT_FALSE(HexEncodeBytes(nullptr, 2, text));
    EXPECT_FALSE(HexEncodeBytes(bytes, -1, text));
    EXPECT_STREQ(text, L"unused!");
    EXPECT_TRUE(HexEncodeBytes(bytes, 0, text));
    EXPECT_STREQ(text, L"");
    EXPECT_TRUE(HexEncodeBytes(bytes, 4, text));
    EXPECT_STREQ(text, L"009AFF5C");
}

} // namespace

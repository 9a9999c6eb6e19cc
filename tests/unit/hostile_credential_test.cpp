// Credential records an access point could hand out, random and mutated,
// through the profile record and the document writer into one file. Every
// document is either a well-formed profile that says what the record said,
// or one that Native Wifi's checks refuse.
#include <gtest/gtest.h>

#include <windows.h>

#include <ctype.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "documented_contract.h"
#include "file_stream.h"
#include "profile_check.h"
#include "profile_test_support.h"
#include "profile_writer.h"
#include "wlan_bench.h"
#include "wlan_codes.h"
#include "service_state.h"

namespace {

const char* const kKnownKeyManagement[] = {"WPA-PSK", "WPA2-PSK", "WPA-PSK WPA2-PSK"};

// A fixed generator (xorshift32), so that the records are the same on every
// machine and with every standard library.
struct Random {
    uint32_t state;
    uint32_t operator()()
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    unsigned char Byte() { return static_cast<unsigned char>((*this)() >> 24); }
};

WpsCredential Record(const std::string& ssid, const std::string& keyManagement, const std::string& key,
                     uint32_t encryptionType)
{
    return documented::CredentialRecord<WpsCredential>(ssid, keyManagement, key, encryptionType);
}

std::vector<WpsCredential> WellFormedRecords()
{
    return {Record("HomeNet", "WPA2-PSK", "correct horse", 8), Record("Cafe", "WPA-PSK", "passphrase1", 4),
            Record("Lab", "WPA-PSK WPA2-PSK", std::string(64, 'a'), 12), Record("Old", "OPEN", "\x01\x02\x03\x04\x05", 2),
            Record("Open", "", "", 1)};
}

// Near-misses of a known key management text: case, one character dropped,
// doubled or changed, blanks and a NUL around or inside, padded to no NUL.
std::vector<std::string> NearMisses(const std::string& name, Random& random)
{
    std::vector<std::string> misses;
    for (int i = 0; i < 8; ++i) {
        std::string changed = name;
        for (char& c : changed)
            if (random() % 2)
                c = static_cast<char>(c ^ 0x20);
        misses.push_back(changed);
    }
    for (size_t i = 0; i < name.size(); ++i) {
        misses.push_back(name.substr(0, i) + name.substr(i + 1));
        misses.push_back(name.substr(0, i + 1) + name.substr(i));
        for (char step : {-1, 1})
            misses.push_back(name.substr(0, i) + static_cast<char>(name[i] + step) + name.substr(i + 1));
        for (const std::string& blank : {std::string(" "), std::string("\t"), std::string(1, '\0')})
            misses.push_back(name.substr(0, i) + blank + name.substr(i));
    }
    for (const char* around : {" ", "\t", "\r\n", "\xA0"}) {
        misses.push_back(around + name);
        misses.push_back(name + around);
    }
    misses.push_back(name + std::string(21 - name.size(), 'X'));
    return misses;
}

// Every class of encryption type: each named value, 0, 3, each power of two,
// all bits, and random ones.
std::vector<uint32_t> EncryptionTypes(Random& random)
{
    std::vector<uint32_t> types = {1, 2, 4, 8, 12, 0, 3, 0xFFFFFFFF};
    for (int bit = 0; bit < 32; ++bit)
        types.push_back(1u << bit);
    for (int i = 0; i < 10; ++i)
        types.push_back(static_cast<uint32_t>(random()));
    return types;
}

std::vector<WpsCredential> HostileRecords()
{
    Random random{20261209};
    std::vector<WpsCredential> records;
    const std::vector<WpsCredential> bases = WellFormedRecords();

    // Every byte value, filling the whole record and filling one field with no NUL.
    for (int value = 0; value < 256; ++value) {
        WpsCredential filled;
        memset(&filled, value, sizeof(filled));
        records.push_back(filled);
        for (const WpsCredential& base : bases) {
            WpsCredential ssid = base, keyManagement = base, key = base;
            memset(ssid.Ssid, value, sizeof(ssid.Ssid));
            memset(keyManagement.KeyManagement, value, sizeof(keyManagement.KeyManagement));
            memset(key.NetworkKey, value, sizeof(key.NetworkKey));
            records.insert(records.end(), {ssid, keyManagement, key});
        }
    }

    // Control characters and markup at every place of the SSID and the key.
    std::string specials = "<>&\"'";
    for (char c = 1; c < 0x20; ++c)
        specials += c;
    specials += '\x7F';
    for (char special : specials) {
        for (const WpsCredential& base : bases) {
            for (size_t at : {size_t{0}, size_t{3}, size_t{31}}) {
                WpsCredential ssid = base, key = base;
                ssid.Ssid[at] = special;
                key.NetworkKey[at] = special;
                records.insert(records.end(), {ssid, key});
            }
        }
    }

    for (uint32_t type : EncryptionTypes(random))
        for (const char* keyManagement : {"WPA-PSK", "WPA2-PSK", "WPA-PSK WPA2-PSK", "OPEN", ""})
            for (const std::string& key : {std::string("\xAB\xCD\xEF\x01\x23"), std::string("passphrase1"),
                                           std::string(64, 'f'), std::string(13, '\x80')})
                records.push_back(Record("Net", keyManagement, key, type));

    for (const char* known : kKnownKeyManagement)
        for (const std::string& miss : NearMisses(known, random))
            for (uint32_t type : {4u, 8u, 2u})
                records.push_back(Record("Net", miss, "passphrase1", type));

    for (int i = 0; i < 2000; ++i) {
        WpsCredential noise;
        for (size_t at = 0; at < sizeof(noise); ++at)
            reinterpret_cast<unsigned char*>(&noise)[at] = random.Byte();
        records.push_back(noise);
    }
    for (int i = 0; i < 3500; ++i) {
        WpsCredential mutated = bases[i % bases.size()];
        for (int flips = 1 + random() % 8; flips > 0; --flips)
            reinterpret_cast<unsigned char*>(&mutated)[random() % sizeof(mutated)] = random.Byte();
        records.push_back(mutated);
    }
    return records;
}

// A text field's bytes, to its NUL or to the end of the first count bytes.
std::string FieldBytes(const void* field, size_t count)
{
    const char* text = static_cast<const char*>(field);
    const void* nul = memchr(text, 0, count);
    return std::string(text, nul ? static_cast<const char*>(nul) - text : count);
}

// XML 1.0 carries no C0 control but tab, line feed and carriage return; the
// system code page here maps every other byte to a character it carries.
bool XmlCarries(const std::string& bytes)
{
    for (unsigned char c : bytes)
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r')
            return false;
    return true;
}

// A text as an XML reader hands it back: every line end, CR LF or a lone CR,
// becomes one LF.
std::string AsRead(const std::string& text)
{
    std::string read;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue;
        read += text[i] == '\r' ? '\n' : text[i];
    }
    return read;
}

// What a record should become, worked out from the record alone: the profile
// is written unless a text it carries holds a character XML cannot carry,
// and Native Wifi then accepts it unless the SSID is empty or does not read
// back as sent, or the key as read back breaks the rules for its kind.
struct Prediction {
    bool written;
    DWORD reason; // when written
    NetworkSecurity security;
    std::string ssid;
    std::string key; // empty: none
};

Prediction Predict(const WpsCredential& record)
{
    Prediction p{};
    p.ssid = FieldBytes(record.Ssid, sizeof(record.Ssid) - 1);
    const std::string keyManagement = FieldBytes(record.KeyManagement, sizeof(record.KeyManagement));
    bool wpa = false;
    for (const char* known : kKnownKeyManagement)
        wpa = wpa || _stricmp(keyManagement.c_str(), known) == 0;
    const bool wep = record.EncryptionType == kWpsEncryptionWep;
    p.security = wpa ? NetworkSecurity::Psk : wep ? NetworkSecurity::Wep : NetworkSecurity::Open;
    if (p.security != NetworkSecurity::Open) {
        // WEP key bytes go as hex: 104 bits when any byte past the 40 bits is set.
        bool longWep = std::any_of(record.NetworkKey + 5, record.NetworkKey + 13, [](unsigned char b) { return b; });
        const char* key = reinterpret_cast<const char*>(record.NetworkKey);
        std::wstring hex = HexOf(std::string(key, longWep ? 13 : 5));
        p.key = wep ? std::string(hex.begin(), hex.end()) : FieldBytes(key, sizeof(record.NetworkKey) - 1);
    }
    p.written = XmlCarries(p.ssid) && XmlCarries(p.key);
    p.key = AsRead(p.key);
    const bool printable = std::all_of(p.key.begin(), p.key.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
    const bool hex =
        std::all_of(p.key.begin(), p.key.end(), [](char c) { return isxdigit(static_cast<unsigned char>(c)); });
    if (p.ssid.empty())
        p.reason = WLAN_REASON_CODE_INVALID_PROFILE_NAME;
    else if (AsRead(p.ssid) != p.ssid)
        p.reason = WLAN_REASON_CODE_PROFILE_SSID_INVALID; // the name no longer matches the hex
    else if (p.security != NetworkSecurity::Psk || p.key.size() == 64)
        p.reason = hex ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR;
    else if (p.key.size() < 8 || p.key.size() > 63)
        p.reason = WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH;
    else
        p.reason = printable ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_PASSPHRASE_CHAR;
    return p;
}

TEST(HostileCredentialTest, EveryDocumentIsAFaithfulProfileOrRefused)
{
    const std::wstring folder = MakeScratchFolder();
    const std::wstring path = folder + L"\\wps_profile.xml";
    const std::wstring beside = folder + L"\\beside.txt";
    ASSERT_TRUE(WriteBytes(beside, "untouched"));

    const std::vector<WpsCredential> records = HostileRecords();
    ASSERT_GE(records.size(), 10000u);
    int accepted = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const Prediction expected = Predict(records[i]);
        g_service.Credential = records[i];
        ASSERT_TRUE(BuildProfileRecord());
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        UniqueCom<IStream> stream(new FileStream(file));
        HRESULT written = WriteProfileDocument(stream.get());
        stream.reset();
        std::string bytes = ReadWholeFile(path);
        SCOPED_TRACE("record " + std::to_string(i) + ":\n" + bytes);
        ASSERT_EQ(SUCCEEDED(written), expected.written);
        if (!expected.written)
            continue;

        CheckedProfile checked;
        ASSERT_EQ(CheckProfileXml(FromBytes(bytes), checked), expected.reason);
        ASSERT_TRUE(ParseProfile(bytes).ok) << "written but not well-formed";
        if (expected.reason != WLAN_REASON_CODE_SUCCESS)
            continue;
        ++accepted;
        ASSERT_EQ(checked.ssidBytes, expected.ssid);
        ASSERT_EQ(checked.security, expected.security);
        ASSERT_EQ(checked.keyMaterial, std::wstring(expected.key.begin(), expected.key.end()));
    }

    EXPECT_EQ(bench::FolderContents(folder), (std::vector<std::wstring>{L"beside.txt", L"wps_profile.xml"}));
    EXPECT_EQ(ReadWholeFile(beside), "untouched");
    RemoveTree(folder);

    printf("%zu records, %d accepted\n", records.size(), accepted);
}

} // namespace

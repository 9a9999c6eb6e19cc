// Credential records an access point could hand out, random and mutated,
// through the profile record and the document writer into one file. Every
// document is either a well-formed profile that says what the record said,
// or one that Native Wifi's checks refuse.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdio.h>
#include <string.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "file_stream.h"
#include "profile_check.h"
#include "profile_test_support.h"
#include "profile_writer.h"
#include "service_state.h"

namespace {

const char* const kKnownKeyManagement[] = {"WPA-PSK", "WPA2-PSK", "WPA-PSK WPA2-PSK"};

void Put(void* field, size_t size, const std::string& bytes)
{
    memset(field, 0, size);
    memcpy(field, bytes.data(), bytes.size() < size ? bytes.size() : size);
}

WpsCredential Record(const std::string& ssid, const std::string& keyManagement, const std::string& key,
                     uint32_t encryptionType)
{
    WpsCredential record{};
    Put(record.Ssid, sizeof(record.Ssid), ssid);
    Put(record.KeyManagement, sizeof(record.KeyManagement), keyManagement);
    Put(record.NetworkKey, sizeof(record.NetworkKey), key);
    record.EncryptionType = encryptionType;
    return record;
}

std::vector<WpsCredential> WellFormedRecords()
{
    return {Record("HomeNet", "WPA2-PSK", "correct horse", 8), Record("Cafe", "WPA-PSK", "passphrase1", 4),
            Record("Lab", "WPA-PSK WPA2-PSK", std::string(64, 'a'), 12), Record("Old", "OPEN", "\x01\x02\x03\x04\x05", 2),
            Record("Open", "", "", 1)};
}

// Near-misses of a known key management text: case, one character dropped,
// doubled or changed, blanks and a NUL around or inside, padded to no NUL.
std::vector<std::string> NearMisses(const std::string& name, std::mt19937& random)
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
std::vector<uint32_t> EncryptionTypes(std::mt19937& random)
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
    std::mt19937 random(20261209);
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

    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 2000; ++i) {
        WpsCredential noise;
        for (size_t at = 0; at < sizeof(noise); ++at)
            reinterpret_cast<unsigned char*>(&noise)[at] = static_cast<unsigned char>(byte(random));
        records.push_back(noise);
    }
    for (int i = 0; i < 3500; ++i) {
        WpsCredential mutated = bases[i % bases.size()];
        for (int flips = 1 + random() % 8; flips > 0; --flips)
            reinterpret_cast<unsigned char*>(&mutated)[random() % sizeof(mutated)] =
                static_cast<unsigned char>(byte(random));
        records.push_back(mutated);
    }
    return records;
}

std::string SsidBytes(const WpsCredential& record)
{
    const void* nul = memchr(record.Ssid, 0, 32);
    return std::string(record.Ssid, nul ? static_cast<const char*>(nul) - record.Ssid : 32);
}

std::vector<std::wstring> FolderContents(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0)
            names.push_back(found.cFileName);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

TEST(HostileCredentialTest, EveryDocumentIsAFaithfulProfileOrRefused)
{
    const std::wstring folder = MakeScratchFolder();
    const std::wstring path = folder + L"\\wps_profile.xml";
    const std::wstring beside = folder + L"\\beside.txt";
    ASSERT_TRUE(WriteBytes(beside, "untouched"));

    const std::vector<WpsCredential> records = HostileRecords();
    ASSERT_GE(records.size(), 10000u);
    int accepted = 0, writerFailed = 0;
    std::map<DWORD, int> refused;
    for (size_t i = 0; i < records.size(); ++i) {
        g_service.Credential = records[i];
        ASSERT_TRUE(BuildProfileRecord());
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        UniqueCom<IStream> stream(new FileStream(file));
        HRESULT written = WriteProfileDocument(stream.get());
        stream.reset();
        std::string bytes = ReadWholeFile(path);
        if (FAILED(written)) {
            ++writerFailed;
            continue;
        }

        CheckedProfile checked;
        DWORD reason = CheckProfileXml(FromBytes(bytes), checked);
        if (reason != 0) {
            ++refused[reason];
            continue;
        }
        ++accepted;
        SCOPED_TRACE("record " + std::to_string(i) + ":\n" + bytes);
        ASSERT_TRUE(ParseProfile(bytes).ok) << "accepted but not well-formed";
        EXPECT_EQ(checked.ssidBytes, SsidBytes(records[i]));
        EXPECT_EQ(checked.name, g_profile.Name);
        EXPECT_EQ(checked.keyMaterial, checked.hasKey ? g_profile.KeyMaterial : L"");
        ASSERT_FALSE(HasFailure());
    }

    EXPECT_EQ(FolderContents(folder), (std::vector<std::wstring>{L"beside.txt", L"wps_profile.xml"}));
    EXPECT_EQ(ReadWholeFile(beside), "untouched");
    RemoveTree(folder);

    printf("%zu records: %d accepted, %d not written by the XML writer", records.size(), accepted, writerFailed);
    for (const auto& [reason, count] : refused)
        printf(", %d refused with reason 0x%08lX", count, reason);
    printf("\n");
    EXPECT_GT(accepted, 0);
}

} // namespace

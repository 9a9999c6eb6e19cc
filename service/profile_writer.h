#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

// The record's codes, one byte each.
enum class ProfileConnection : uint8_t { AdHoc = 0, Infrastructure = 1 };
enum class ProfileAuthentication : uint8_t { Open = 0, Shared = 1, WpaPsk = 3, Wpa2Psk = 5 };
enum class ProfileEncryption : uint8_t { None = 0, Wep = 1, Tkip = 2, Aes = 3 };
enum class ProfileKeyType : uint8_t { None = 0, NetworkKey = 1, PassPhrase = 2 };

// The profile settings derived from the received credential, one record per
// service process, rewritten whole by BuildProfileRecord.
struct ProfileRecord {
    wchar_t Name[33];
    wchar_t Ssid[33];
    ProfileConnection Infrastructure;
    ProfileAuthentication Authentication;
    ProfileEncryption Encryption;
    ProfileKeyType KeyType;
    wchar_t KeyMaterial[65];
};
static_assert(offsetof(ProfileRecord, Infrastructure) == 132 && offsetof(ProfileRecord, KeyMaterial) == 136 &&
                  sizeof(ProfileRecord) == 266,
              "the record keeps its layout");

extern ProfileRecord g_profile;

// Turns the received credential record into the profile settings.
bool BuildProfileRecord();

// Writes the WLAN profile document for g_profile and the credential to the
// stream, UTF-8 with a declaration: the writer's last answer, or
// WC_E_XMLCHARACTER with nothing written for a text XML cannot carry.
HRESULT WriteProfileDocument(IStream* stream);

// Writes the WLAN profile document to the file named by Path: 0 written,
// 1 the Parameters key cannot be opened, -1 the file or the writer failed.
int32_t WriteProfileFile();

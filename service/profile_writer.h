#pragma once

#include <windows.h>
#include <xmllite.h>

#include <stdint.h>

#include "unique_handle.h"

// The profile settings derived from the received credential, one record per
// service process, rewritten whole by BuildProfileRecord.
struct ProfileRecord {
    wchar_t Name[33];
    wchar_t Ssid[33];
    uint8_t Infrastructure;
    uint8_t Authentication; // 0 open, 1 shared, 3 WPA-PSK, 5 WPA2-PSK
    uint8_t Encryption;     // 0 none, 1 WEP, 2 TKIP, 3 AES
    uint8_t KeyType;        // 1 raw network key, 2 passphrase, 0 no key
    wchar_t KeyMaterial[65];
};

extern ProfileRecord g_profile;

inline constexpr wchar_t kProfileNamespace[] = L"http://www.microsoft.com/networking/WLAN/profile/v1";

// Turns the received credential record into the profile settings.
bool BuildProfileRecord();

// Writes the WLAN profile document to the file named by Path: 0 written,
// 1 the Parameters key cannot be opened, -1 the file or the writer failed.
int32_t WriteProfileFile();

// Two upper-case hex digits per byte and a NUL; text holds 2 * count + 1.
bool HexEncodeBytes(const unsigned char* bytes, int count, wchar_t* text);

// The document's subtrees; each holds its own reference to the writer.
void WriteNameElement(UniqueCom<IXmlWriter> writer);
void WriteSsidConfig(UniqueCom<IXmlWriter> writer);
void WriteAuthEncryption(UniqueCom<IXmlWriter> writer);
void WriteSharedKey(UniqueCom<IXmlWriter> writer);

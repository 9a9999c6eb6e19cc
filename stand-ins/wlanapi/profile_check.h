#pragma once

// Checks a WLAN profile document the way Windows' WlanSetProfile does, for
// the one layout the service's writer emits: SSID, the
// authentication/encryption pair and the key each get Windows' own reason;
// any other document gets the schema error.

#include <windows.h>

#include <string>

enum class NetworkSecurity { Open, Wep, Psk };

struct CheckedProfile {
    std::wstring name;
    std::string ssidBytes;
    bool infrastructure = true;
    bool autoConnect = true;
    NetworkSecurity security = NetworkSecurity::Open;
    DWORD authAlgorithm = 0; // DOT11_AUTH_ALGORITHM
    DWORD cipherAlgorithm = 0; // DOT11_CIPHER_ALGORITHM
    bool hasKey = false;
    bool keyIsNetworkKey = false;
    std::wstring keyMaterial;
};

// The WLAN_REASON_CODE Windows gives for the document; 0 when it is accepted.
DWORD CheckProfileXml(const std::wstring& document, CheckedProfile& profile);

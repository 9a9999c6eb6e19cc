#pragma once

// Reads a WLAN profile document and checks it the way Windows' WlanSetProfile
// does: schema namespace, required elements and their order, SSID, the
// authentication/encryption pair and the key.

#include <windows.h>

#include <string>
#include <vector>

struct XmlNode {
    std::wstring name;
    std::wstring ns; // the default namespace in effect
    std::wstring text;
    size_t contentBegin = 0; // where the raw content lies in the document
    size_t contentEnd = 0;
    std::vector<XmlNode> children;
};

// False for anything that is not one well-formed element.
bool ParseXml(const std::wstring& document, XmlNode& root);

enum class NetworkSecurity { Open, Wep, Psk, Enterprise };

struct CheckedProfile {
    std::wstring name;
    std::string ssidBytes;
    std::wstring ssidName;
    bool ssidFromHex = false;
    bool infrastructure = true;
    bool autoConnect = true;
    std::wstring authentication;
    std::wstring encryption;
    NetworkSecurity security = NetworkSecurity::Open;
    DWORD authAlgorithm = 0; // DOT11_AUTH_ALGORITHM
    DWORD cipherAlgorithm = 0; // DOT11_CIPHER_ALGORITHM
    bool hasKey = false;
    bool keyProtected = false;
    bool keyIsNetworkKey = false;
    std::wstring keyMaterial;
    size_t protectedBegin = 0, protectedEnd = 0; // raw content of protected and keyMaterial
    size_t keyBegin = 0, keyEnd = 0;
};

// The WLAN_REASON_CODE Windows gives for the document; 0 when it is accepted.
DWORD CheckProfileXml(const std::wstring& document, CheckedProfile& profile);

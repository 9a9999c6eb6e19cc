#include "profile_check.h"

#include <objidl.h>
#include <wchar.h>
#include <xmllite.h>

#include <vector>

#include "bench_text.h"
#include "unique_handle.h"
#include "wlan_bench.h"
#include "wlan_codes.h"

namespace {

struct Element {
    int depth;
    std::wstring name;
    std::wstring text;
};

// Every element with its depth and text, in document order; false when the
// document is not well-formed or strays from the profile namespace.
bool ReadElements(const std::wstring& document, std::vector<Element>& elements)
{
    // Fed as UTF-8, which is what the document's declaration says.
    std::string bytes = ToBytes(document);
    UniqueCom<IStream> input;
    UniqueCom<IXmlReader> reader;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, input.put())) ||
        FAILED(input->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr)) ||
        FAILED(input->Seek({}, STREAM_SEEK_SET, nullptr)) ||
        FAILED(CreateXmlReader(__uuidof(IXmlReader), reinterpret_cast<void**>(reader.put()), nullptr)) ||
        FAILED(reader->SetInput(input.get())))
        return false;
    std::vector<size_t> open;
    XmlNodeType type;
    HRESULT hr;
    while ((hr = reader->Read(&type)) == S_OK) {
        const wchar_t* value = nullptr;
        if (type == XmlNodeType_Element) {
            const wchar_t* ns = nullptr;
            if (FAILED(reader->GetNamespaceUri(&ns, nullptr)) || wcscmp(ns, kWlanProfileNamespace) != 0 ||
                FAILED(reader->GetLocalName(&value, nullptr)))
                return false;
            elements.push_back({static_cast<int>(open.size()), value, L""});
            if (!reader->IsEmptyElement())
                open.push_back(elements.size() - 1);
        } else if (type == XmlNodeType_EndElement) {
            open.pop_back();
        } else if (type == XmlNodeType_Whitespace && open.empty()) {
            continue;
        } else if (type == XmlNodeType_Text || type == XmlNodeType_CDATA || type == XmlNodeType_Whitespace) {
            if (open.empty() || FAILED(reader->GetValue(&value, nullptr)))
                return false;
            elements[open.back()].text += value;
        }
    }
    return hr == S_FALSE;
}

// The writer's layout; the shared key is left out of open networks.
struct Expected {
    int depth;
    const wchar_t* name;
};
constexpr Expected kLayout[] = {
    {0, L"WLANProfile"},     {1, L"name"},       {1, L"SSIDConfig"},     {2, L"SSID"},
    {3, L"hex"},             {3, L"name"},       {1, L"connectionType"}, {1, L"connectionMode"},
    {1, L"MSM"},             {2, L"security"},   {3, L"authEncryption"}, {4, L"authentication"},
    {4, L"encryption"},      {4, L"useOneX"},    {3, L"sharedKey"},      {4, L"keyType"},
    {4, L"protected"},       {4, L"keyMaterial"},
};
enum LayoutIndex : size_t {
    kName = 1, kHex = 4, kSsidName = 5, kConnectionType = 6, kConnectionMode = 7, kAuthentication = 11,
    kEncryption = 12, kUseOneX = 13, kSharedKey = 14, kKeyType = 15, kProtected = 16, kKeyMaterial = 17,
};

bool FollowsLayout(const std::vector<Element>& elements)
{
    if (elements.size() != kSharedKey && elements.size() != ARRAYSIZE(kLayout))
        return false;
    for (size_t i = 0; i < elements.size(); ++i) {
        bool leaf = i + 1 == elements.size() || elements[i + 1].depth <= elements[i].depth;
        if (elements[i].depth != kLayout[i].depth || elements[i].name != kLayout[i].name ||
            (!leaf && elements[i].text.find_first_not_of(L" \t\r\n") != std::wstring::npos))
            return false;
    }
    return true;
}

struct Pair {
    const wchar_t* authentication;
    const wchar_t* encryption;
    DWORD authAlgorithm;
    DWORD cipherAlgorithm;
    NetworkSecurity security;
};
constexpr Pair kPairs[] = {
    {L"open", L"none", DOT11_AUTH_ALGO_80211_OPEN, DOT11_CIPHER_ALGO_NONE, NetworkSecurity::Open},
    {L"open", L"WEP", DOT11_AUTH_ALGO_80211_OPEN, DOT11_CIPHER_ALGO_WEP, NetworkSecurity::Wep},
    {L"shared", L"WEP", DOT11_AUTH_ALGO_80211_SHARED_KEY, DOT11_CIPHER_ALGO_WEP, NetworkSecurity::Wep},
    {L"WPAPSK", L"TKIP", DOT11_AUTH_ALGO_WPA_PSK, DOT11_CIPHER_ALGO_TKIP, NetworkSecurity::Psk},
    {L"WPAPSK", L"AES", DOT11_AUTH_ALGO_WPA_PSK, DOT11_CIPHER_ALGO_CCMP, NetworkSecurity::Psk},
    {L"WPA2PSK", L"TKIP", DOT11_AUTH_ALGO_RSNA_PSK, DOT11_CIPHER_ALGO_TKIP, NetworkSecurity::Psk},
    {L"WPA2PSK", L"AES", DOT11_AUTH_ALGO_RSNA_PSK, DOT11_CIPHER_ALGO_CCMP, NetworkSecurity::Psk},
};

bool Known(const std::wstring& text, const wchar_t* Pair::*field)
{
    for (const Pair& pair : kPairs)
        if (text == pair.*field)
            return true;
    return false;
}

bool IsHexText(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c > 0x7F || !iswxdigit(c))
            return false;
    return true;
}

bool IsPrintableAscii(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

// The name is the SSID in the system code page; hex gives its bytes.
DWORD CheckSsid(const std::wstring& hex, const std::wstring& name, CheckedProfile& profile)
{
    std::string nameBytes = ToBytes(name, CP_ACP);
    if (nameBytes.empty() || nameBytes.size() > DOT11_SSID_MAX_LENGTH || !DecodeHex(hex, profile.ssidBytes) || profile.ssidBytes != nameBytes)
        return WLAN_REASON_CODE_PROFILE_SSID_INVALID;
    return WLAN_REASON_CODE_SUCCESS;
}

DWORD CheckKey(const CheckedProfile& profile)
{
    const std::wstring& key = profile.keyMaterial;
    if (profile.security == NetworkSecurity::Wep) {
        if (key.size() != 10 && key.size() != 26)
            return WLAN_REASON_CODE_MSMSEC_PROFILE_KEY_LENGTH;
        return IsHexText(key) ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR;
    }
    if (profile.keyIsNetworkKey) {
        if (key.size() != 64)
            return WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH;
        return IsHexText(key) ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR;
    }
    if (key.size() < 8 || key.size() > 63)
        return WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_LENGTH;
    return IsPrintableAscii(key) ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_PASSPHRASE_CHAR;
}

DWORD CheckLayoutValues(const std::vector<Element>& e, CheckedProfile& profile)
{
    profile.name = e[kName].text;
    if (profile.name.empty() || profile.name.size() >= WLAN_MAX_NAME_LENGTH)
        return WLAN_REASON_CODE_INVALID_PROFILE_NAME;
    DWORD reason = CheckSsid(e[kHex].text, e[kSsidName].text, profile);
    if (reason != WLAN_REASON_CODE_SUCCESS)
        return reason;

    // Ad hoc networks are never joined on their own.
    const std::wstring& type = e[kConnectionType].text;
    const std::wstring& mode = e[kConnectionMode].text;
    if (!(type == L"ESS" && mode == L"auto") && !(type == L"IBSS" && mode == L"manual"))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    profile.infrastructure = profile.autoConnect = type == L"ESS";

    const std::wstring& authentication = e[kAuthentication].text;
    const std::wstring& encryption = e[kEncryption].text;
    if (e[kUseOneX].text != L"false" || !Known(authentication, &Pair::authentication) ||
        !Known(encryption, &Pair::encryption))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    const Pair* pair = nullptr;
    for (const Pair& row : kPairs)
        if (authentication == row.authentication && encryption == row.encryption)
            pair = &row;
    if (!pair)
        return WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_AUTH_CIPHER;
    profile.security = pair->security;
    profile.authAlgorithm = pair->authAlgorithm;
    profile.cipherAlgorithm = pair->cipherAlgorithm;

    profile.hasKey = e.size() > kSharedKey;
    if (!profile.hasKey)
        return profile.security == NetworkSecurity::Open ? WLAN_REASON_CODE_SUCCESS
                                                         : WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    // A key for an open network, a sealed key or a WEP passphrase is never written.
    const std::wstring& keyType = e[kKeyType].text;
    profile.keyIsNetworkKey = keyType == L"networkKey";
    profile.keyMaterial = e[kKeyMaterial].text;
    if (profile.security == NetworkSecurity::Open || e[kProtected].text != L"false" ||
        (keyType != L"passPhrase" && !profile.keyIsNetworkKey) ||
        (profile.security == NetworkSecurity::Wep && !profile.keyIsNetworkKey))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    return CheckKey(profile);
}

} // namespace

DWORD CheckProfileXml(const std::wstring& document, CheckedProfile& profile)
{
    profile = CheckedProfile{};
    std::vector<Element> elements;
    if (!ReadElements(document, elements) || !FollowsLayout(elements))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    return CheckLayoutValues(elements, profile);
}

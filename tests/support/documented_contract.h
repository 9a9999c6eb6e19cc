#pragma once

// What README.md promises about the service's LEDs and its profile document,
// written once for the unit and the integration tests. The tests build their
// expectations from these names and never from the product's own constants.

#include <string.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace documented {

// The LED tool's commands: `mpc 0` takes the LEDs, `up` starts the adapter,
// `ledbh LED MODE` sets one LED, `mpc 1` gives them back.
using Commands = std::vector<std::wstring>;

enum Led { kLinkLed = 2, kResultLed = 3 };
enum LedMode { kLedOff = 0, kLedOn = 1, kLedReleased = 11, kLedBusy = 15, kLedBlink = 17 };

inline std::wstring Ledbh(Led led, LedMode mode)
{
    return L"ledbh " + std::to_wstring(static_cast<int>(led)) + L" " + std::to_wstring(static_cast<int>(mode));
}

inline const std::wstring kTakeLeds = L"mpc 0";
inline const std::wstring kAdapterUp = L"up";
inline const std::wstring kReleaseLeds = L"mpc 1";
inline const std::wstring kLinkOn = Ledbh(kLinkLed, kLedOn);
inline const std::wstring kLinkOff = Ledbh(kLinkLed, kLedOff);
inline const std::wstring kResultOn = Ledbh(kResultLed, kLedBlink);
inline const std::wstring kResultOff = Ledbh(kResultLed, kLedOff);

inline Commands Join(std::initializer_list<Commands> parts)
{
    Commands all;
    for (const Commands& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline Commands Repeat(const Commands& part, int times)
{
    Commands all;
    for (int i = 0; i < times; ++i)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

inline const Commands kStart = {kTakeLeds, kAdapterUp, kLinkOff, kResultOff};
inline const Commands kExit = {kLinkOff, Ledbh(kLinkLed, kLedReleased), kResultOff, Ledbh(kResultLed, kLedReleased),
                               kReleaseLeds};
inline const Commands kBusy = {kResultOff, kLinkOff, Ledbh(kLinkLed, kLedBusy)};
inline const Commands kCancelled = {kLinkOff, kResultOff};
// Each result pattern as it shows until it ends, and then whole, with the
// run that closes it: success closes with the link state, here not connected.
inline const Commands kSuccessShown = {kLinkOn};
inline const Commands kSuccess = Join({kSuccessShown, {kLinkOff}});
inline const Commands kFailureShown = {kLinkOff, kLinkOff, kResultOff, kResultOn};
inline const Commands kFailure = Join({kFailureShown, {kResultOff}});
inline Commands Overlap(int blinks)
{
    return Join({{kLinkOff, kResultOff}, Repeat({kResultOn, kResultOff}, blinks), {kResultOff}});
}
// A stop gives the indicator this long for its exit sequence before it ends it.
inline constexpr unsigned long kIndicatorStopMs = 2000;

// The vendor library's calls of a whole session, in order.
inline const std::vector<std::string> kFullSession = {"wps_open", "wps_findAP", "wps_getAP",
                                                      "wps_join", "wps_get_AP_info", "wps_close"};

// The patterns' timings: each lasts at most five minutes. The overlap blinks
// 950 ms on and 450 ms off, for at most 200 blinks; success holds LED 2 and
// failure LED 3, checking the time every 490 and 500 ms.
inline constexpr int64_t kPatternSeconds = 300;
inline constexpr unsigned long kOverlapOnMs = 950;
inline constexpr unsigned long kOverlapOffMs = 450;
inline constexpr int kOverlapBlinks = 200;
inline constexpr unsigned long kSuccessPollMs = 490;
inline constexpr unsigned long kFailurePollMs = 500;

// How many polls of pollMs it takes to pass the pattern's time, or another.
constexpr size_t PollsToPass(unsigned long pollMs, int64_t seconds = kPatternSeconds)
{
    return static_cast<size_t>((seconds * 1000 + pollMs - 1) / pollMs);
}
inline constexpr size_t kSuccessPolls = PollsToPass(kSuccessPollMs);
inline constexpr size_t kFailurePolls = PollsToPass(kFailurePollMs);

// The profile document: one layout, in one namespace, no attribute but the
// namespace declaration.
inline constexpr wchar_t kProfileNamespace[] = L"http://www.microsoft.com/networking/WLAN/profile/v1";

struct ProfileFields {
    std::wstring name;
    std::wstring hex; // the SSID's bytes
    std::wstring authentication;
    std::wstring encryption;
    std::wstring keyType; // empty: no sharedKey
    std::wstring keyMaterial;
};

// One element of a profile document: its path from the root ("WLANProfile/
// SSIDConfig/SSID/hex"), its text, and its namespace.
struct ProfileElement {
    std::wstring path;
    std::wstring text;
    std::wstring ns = kProfileNamespace;
    bool operator==(const ProfileElement&) const = default;
};

// Each element, in document order.
inline std::vector<ProfileElement> ProfileElements(const ProfileFields& f)
{
    std::vector<ProfileElement> elements = {
        {L"WLANProfile", L""},
        {L"WLANProfile/name", f.name},
        {L"WLANProfile/SSIDConfig", L""},
        {L"WLANProfile/SSIDConfig/SSID", L""},
        {L"WLANProfile/SSIDConfig/SSID/hex", f.hex},
        {L"WLANProfile/SSIDConfig/SSID/name", f.name},
        {L"WLANProfile/connectionType", L"ESS"},
        {L"WLANProfile/connectionMode", L"auto"},
        {L"WLANProfile/MSM", L""},
        {L"WLANProfile/MSM/security", L""},
        {L"WLANProfile/MSM/security/authEncryption", L""},
        {L"WLANProfile/MSM/security/authEncryption/authentication", f.authentication},
        {L"WLANProfile/MSM/security/authEncryption/encryption", f.encryption},
        {L"WLANProfile/MSM/security/authEncryption/useOneX", L"false"},
    };
    if (!f.keyType.empty()) {
        elements.push_back({L"WLANProfile/MSM/security/sharedKey", L""});
        elements.push_back({L"WLANProfile/MSM/security/sharedKey/keyType", f.keyType});
        elements.push_back({L"WLANProfile/MSM/security/sharedKey/protected", L"false"});
        elements.push_back({L"WLANProfile/MSM/security/sharedKey/keyMaterial", f.keyMaterial});
    }
    return elements;
}

// The document's text in namespace ns, each element on a line of its own,
// indented by indent for each level, the lines joined by CRLF as XML writers
// do (none after the last); with no indent, no layout at all.
inline std::wstring ProfileText(const ProfileFields& f, const std::wstring& indent,
                                const std::wstring& ns = kProfileNamespace)
{
    auto line = [&indent](size_t depth, const std::wstring& text) {
        if (indent.empty())
            return text;
        std::wstring indented;
        for (size_t i = 0; i < depth; ++i)
            indented += indent;
        return indented + text + L"\r\n";
    };
    std::wstring document = line(0, L"<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
    std::vector<std::wstring> open; // the names of the elements not yet closed
    const std::vector<ProfileElement> elements = ProfileElements(f);
    for (size_t i = 0; i < elements.size(); ++i) {
        const std::wstring& path = elements[i].path;
        const size_t depth = std::count(path.begin(), path.end(), L'/');
        for (; open.size() > depth; open.pop_back())
            document += line(open.size() - 1, L"</" + open.back() + L">");
        const std::wstring name = path.substr(path.rfind(L'/') + 1);
        const std::wstring attributes = i == 0 ? L" xmlns=\"" + ns + L"\"" : L"";
        if (i + 1 < elements.size() && elements[i + 1].path.starts_with(path + L"/")) {
            document += line(depth, L"<" + name + attributes + L">");
            open.push_back(name);
        } else {
            document += line(depth, L"<" + name + L">" + elements[i].text + L"</" + name + L">");
        }
    }
    for (; !open.empty(); open.pop_back())
        document += line(open.size() - 1, L"</" + open.back() + L">");
    return indent.empty() ? document : document.substr(0, document.size() - 2);
}

// The same for ASCII fields, as the service's writer gives it: indented with
// two spaces, or without any layout.
inline std::string ProfileDocument(const ProfileFields& f, bool indented)
{
    const std::wstring text = ProfileText(f, indented ? L"  " : L"");
    return std::string(text.begin(), text.end());
}

// A credential record as the vendor library fills it: each text field cut to
// its size, NUL-padded, over a record first filled with fill.
template <typename Credential>
Credential CredentialRecord(const std::string& ssid, const std::string& keyManagement, const std::string& key,
                            uint32_t encryptionType, char fill = 0)
{
    Credential record;
    memset(&record, fill, sizeof(record));
    auto put = [](void* field, size_t size, const std::string& bytes) {
        memset(field, 0, size);
        memcpy(field, bytes.data(), bytes.size() < size ? bytes.size() : size);
    };
    put(record.Ssid, sizeof(record.Ssid), ssid);
    put(record.KeyManagement, sizeof(record.KeyManagement), keyManagement);
    put(record.NetworkKey, sizeof(record.NetworkKey), key);
    record.EncryptionType = encryptionType;
    return record;
}

} // namespace documented

#include "profile_check.h"

#include "bench_text.h"

#include <wchar.h>

#include <initializer_list>

#include "wlan_codes.h"

namespace {

constexpr int kMaxDepth = 32;

class XmlReader {
public:
    explicit XmlReader(const std::wstring& text) : s_(text) {}

    bool Document(XmlNode& root)
    {
        if (pos_ < s_.size() && s_[pos_] == 0xFEFF)
            ++pos_;
        if (!Misc())
            return false;
        if (!At(L"<") || !Element(L"", root, 0))
            return false;
        return Misc() && pos_ == s_.size();
    }

private:
    bool At(const wchar_t* token) const { return s_.compare(pos_, wcslen(token), token) == 0; }

    bool Skip(const wchar_t* token)
    {
        if (!At(token))
            return false;
        pos_ += wcslen(token);
        return true;
    }

    void Blanks()
    {
        while (pos_ < s_.size() && iswspace(s_[pos_]))
            ++pos_;
    }

    bool SkipPast(const wchar_t* end)
    {
        size_t found = s_.find(end, pos_);
        if (found == std::wstring::npos)
            return false;
        pos_ = found + wcslen(end);
        return true;
    }

    // White space, comments and processing instructions around the root.
    bool Misc()
    {
        for (;;) {
            Blanks();
            if (Skip(L"<?")) {
                if (!SkipPast(L"?>"))
                    return false;
            } else if (Skip(L"<!--")) {
                if (!SkipPast(L"-->"))
                    return false;
            } else {
                return true;
            }
        }
    }

    bool Name(std::wstring& name)
    {
        size_t start = pos_;
        while (pos_ < s_.size() && !iswspace(s_[pos_]) && s_[pos_] != L'/' && s_[pos_] != L'>' &&
               s_[pos_] != L'=' && s_[pos_] != L'<' && s_[pos_] != L'"' && s_[pos_] != L'\'')
            ++pos_;
        name = s_.substr(start, pos_ - start);
        return !name.empty();
    }

    bool AppendDecoded(size_t begin, size_t end, std::wstring& out)
    {
        for (size_t i = begin; i < end; ++i) {
            if (s_[i] != L'&') {
                out += s_[i];
                continue;
            }
            size_t semi = s_.find(L';', i);
            if (semi == std::wstring::npos || semi >= end)
                return false;
            std::wstring entity = s_.substr(i + 1, semi - i - 1);
            if (entity == L"lt")
                out += L'<';
            else if (entity == L"gt")
                out += L'>';
            else if (entity == L"amp")
                out += L'&';
            else if (entity == L"quot")
                out += L'"';
            else if (entity == L"apos")
                out += L'\'';
            else if (entity.size() > 1 && entity[0] == L'#') {
                bool hex = entity[1] == L'x';
                const wchar_t* digits = entity.c_str() + (hex ? 2 : 1);
                wchar_t* stop = nullptr;
                unsigned long code = wcstoul(digits, &stop, hex ? 16 : 10);
                if (*digits == 0 || *stop != 0 || code == 0 || code > 0x10FFFF)
                    return false;
                if (code > 0xFFFF) {
                    code -= 0x10000;
                    out += static_cast<wchar_t>(0xD800 + (code >> 10));
                    out += static_cast<wchar_t>(0xDC00 + (code & 0x3FF));
                } else {
                    out += static_cast<wchar_t>(code);
                }
            } else {
                return false;
            }
            i = semi;
        }
        return true;
    }

    bool Element(const std::wstring& inheritedNs, XmlNode& node, int depth)
    {
        if (depth > kMaxDepth || !Skip(L"<") || !Name(node.name))
            return false;
        node.ns = inheritedNs;
        for (;;) {
            Blanks();
            if (Skip(L"/>")) {
                node.contentBegin = node.contentEnd = pos_;
                return true;
            }
            if (Skip(L">"))
                break;
            std::wstring attribute;
            if (!Name(attribute))
                return false;
            Blanks();
            if (!Skip(L"="))
                return false;
            Blanks();
            if (pos_ >= s_.size() || (s_[pos_] != L'"' && s_[pos_] != L'\''))
                return false;
            wchar_t quote = s_[pos_++];
            size_t close = s_.find(quote, pos_);
            if (close == std::wstring::npos)
                return false;
            std::wstring value;
            if (!AppendDecoded(pos_, close, value))
                return false;
            pos_ = close + 1;
            if (attribute == L"xmlns")
                node.ns = value;
        }

        node.contentBegin = pos_;
        for (;;) {
            if (pos_ >= s_.size())
                return false;
            if (At(L"</")) {
                node.contentEnd = pos_;
                pos_ += 2;
                std::wstring closing;
                if (!Name(closing) || closing != node.name)
                    return false;
                Blanks();
                return Skip(L">");
            }
            if (Skip(L"<!--")) {
                if (!SkipPast(L"-->"))
                    return false;
            } else if (Skip(L"<![CDATA[")) {
                size_t end = s_.find(L"]]>", pos_);
                if (end == std::wstring::npos)
                    return false;
                node.text.append(s_, pos_, end - pos_);
                pos_ = end + 3;
            } else if (Skip(L"<?")) {
                if (!SkipPast(L"?>"))
                    return false;
            } else if (At(L"<")) {
                node.children.emplace_back();
                if (!Element(node.ns, node.children.back(), depth + 1))
                    return false;
            } else {
                size_t end = s_.find(L'<', pos_);
                if (end == std::wstring::npos)
                    return false;
                if (!AppendDecoded(pos_, end, node.text))
                    return false;
                pos_ = end;
            }
        }
    }

    const std::wstring& s_;
    size_t pos_ = 0;
};

struct ChildRule {
    const wchar_t* name;
    int min;
    int max;
};

bool InProfileNamespace(const XmlNode& node)
{
    return node.ns == kWlanProfileNamespace && node.name.find(L':') == std::wstring::npos;
}

// Children of the schema's namespace must be known, in the schema's order and
// within their counts; elements of other namespaces are extensions and pass.
bool FollowsSchema(const XmlNode& node, std::initializer_list<ChildRule> rules)
{
    std::vector<int> counts(rules.size(), 0);
    size_t last = 0;
    for (const XmlNode& child : node.children) {
        if (!InProfileNamespace(child))
            continue;
        size_t index = 0;
        for (const ChildRule& rule : rules) {
            if (child.name == rule.name)
                break;
            ++index;
        }
        if (index == rules.size() || index < last)
            return false;
        last = index;
        ++counts[index];
    }
    size_t index = 0;
    for (const ChildRule& rule : rules) {
        if (counts[index] < rule.min || counts[index] > rule.max)
            return false;
        ++index;
    }
    return true;
}

bool IsLeaf(const XmlNode& node)
{
    for (const XmlNode& child : node.children)
        if (InProfileNamespace(child))
            return false;
    return true;
}

const XmlNode* Child(const XmlNode& node, const wchar_t* name)
{
    for (const XmlNode& child : node.children)
        if (InProfileNamespace(child) && child.name == name)
            return &child;
    return nullptr;
}

int CountChildren(const XmlNode& node, const wchar_t* name)
{
    int count = 0;
    for (const XmlNode& child : node.children)
        if (InProfileNamespace(child) && child.name == name)
            ++count;
    return count;
}

std::wstring Trimmed(const std::wstring& text)
{
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && iswspace(text[begin]))
        ++begin;
    while (end > begin && iswspace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool ReadBoolean(const XmlNode* node, bool fallback, bool& value)
{
    if (!node) {
        value = fallback;
        return true;
    }
    std::wstring text = Trimmed(node->text);
    if (text == L"true" || text == L"1")
        value = true;
    else if (text == L"false" || text == L"0")
        value = false;
    else
        return false;
    return IsLeaf(*node);
}

bool IsHexText(const std::wstring& text)
{
    for (wchar_t c : text)
        if (!iswxdigit(c) || c > 0x7F)
            return false;
    return true;
}

int HexValue(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return c - L'A' + 10;
}

bool IsPrintableAscii(const std::wstring& text)
{
    for (wchar_t c : text)
        if (c < 0x20 || c > 0x7E)
            return false;
    return true;
}

DWORD CheckSsid(const XmlNode& ssidConfig, CheckedProfile& profile)
{
    if (!FollowsSchema(ssidConfig, {{L"SSID", 1, 256}, {L"nonBroadcast", 0, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    if (CountChildren(ssidConfig, L"SSID") > 1)
        return WLAN_REASON_CODE_TOO_MANY_SSID;
    const XmlNode& ssid = *Child(ssidConfig, L"SSID");
    if (!FollowsSchema(ssid, {{L"hex", 0, 1}, {L"name", 0, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    const XmlNode* hex = Child(ssid, L"hex");
    const XmlNode* name = Child(ssid, L"name");
    if (!hex && !name)
        return WLAN_REASON_CODE_PROFILE_SSID_INVALID;
    if (name) {
        profile.ssidName = name->text;
        std::string bytes = ToBytes(name->text);
        if (!IsLeaf(*name) || bytes.empty() || bytes.size() > DOT11_SSID_MAX_LENGTH)
            return WLAN_REASON_CODE_PROFILE_SSID_INVALID;
        profile.ssidBytes = bytes;
    }
    if (hex) {
        std::wstring digits = Trimmed(hex->text);
        if (!IsLeaf(*hex) || digits.empty() || digits.size() % 2 != 0 || digits.size() > 2 * DOT11_SSID_MAX_LENGTH ||
            !IsHexText(digits))
            return WLAN_REASON_CODE_PROFILE_SSID_INVALID;
        profile.ssidBytes.clear();
        for (size_t i = 0; i < digits.size(); i += 2)
            profile.ssidBytes += static_cast<char>(HexValue(digits[i]) * 16 + HexValue(digits[i + 1]));
        profile.ssidFromHex = true;
    }
    return WLAN_REASON_CODE_SUCCESS;
}

struct AuthName {
    const wchar_t* text;
    DWORD algorithm;
};
const AuthName kAuthentications[] = {
    {L"open", DOT11_AUTH_ALGO_80211_OPEN}, {L"shared", DOT11_AUTH_ALGO_80211_SHARED_KEY},
    {L"WPA", DOT11_AUTH_ALGO_WPA},         {L"WPAPSK", DOT11_AUTH_ALGO_WPA_PSK},
    {L"WPA2", DOT11_AUTH_ALGO_RSNA},       {L"WPA2PSK", DOT11_AUTH_ALGO_RSNA_PSK},
};
const AuthName kEncryptions[] = {
    {L"none", DOT11_CIPHER_ALGO_NONE},
    {L"WEP", DOT11_CIPHER_ALGO_WEP},
    {L"TKIP", DOT11_CIPHER_ALGO_TKIP},
    {L"AES", DOT11_CIPHER_ALGO_CCMP},
};

template <size_t N>
bool LookUp(const AuthName (&names)[N], const std::wstring& text, DWORD& algorithm)
{
    for (const AuthName& name : names) {
        if (text == name.text) {
            algorithm = name.algorithm;
            return true;
        }
    }
    return false;
}

bool IsValidPair(const std::wstring& auth, const std::wstring& cipher, bool infrastructure)
{
    if (auth == L"open")
        return cipher == L"none" || cipher == L"WEP";
    if (auth == L"shared")
        return cipher == L"WEP";
    if (!infrastructure)
        return auth == L"WPA2PSK" && cipher == L"AES";
    return cipher == L"TKIP" || cipher == L"AES";
}

DWORD CheckKey(const XmlNode& sharedKey, CheckedProfile& profile)
{
    if (!FollowsSchema(sharedKey, {{L"keyType", 1, 1}, {L"protected", 1, 1}, {L"keyMaterial", 1, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    const XmlNode& keyType = *Child(sharedKey, L"keyType");
    const XmlNode& protectedNode = *Child(sharedKey, L"protected");
    const XmlNode& material = *Child(sharedKey, L"keyMaterial");
    std::wstring type = Trimmed(keyType.text);
    if (!IsLeaf(keyType) || (type != L"networkKey" && type != L"passPhrase") || !IsLeaf(material) ||
        !ReadBoolean(&protectedNode, false, profile.keyProtected))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;

    profile.hasKey = true;
    profile.keyIsNetworkKey = type == L"networkKey";
    profile.keyMaterial = material.text;
    profile.protectedBegin = protectedNode.contentBegin;
    profile.protectedEnd = protectedNode.contentEnd;
    profile.keyBegin = material.contentBegin;
    profile.keyEnd = material.contentEnd;

    if (profile.security == NetworkSecurity::Open || profile.security == NetworkSecurity::Enterprise)
        return WLAN_REASON_CODE_MSMSEC_PROFILE_PSK_PRESENT;
    // A protected key is sealed for this machine and cannot be read back here.
    if (profile.keyProtected)
        return WLAN_REASON_CODE_SUCCESS;

    const std::wstring& key = profile.keyMaterial;
    if (profile.security == NetworkSecurity::Wep) {
        if (!profile.keyIsNetworkKey)
            return WLAN_REASON_CODE_MSMSEC_PROFILE_WRONG_KEYTYPE;
        if (key.size() == 5 || key.size() == 13)
            return IsPrintableAscii(key) ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR;
        if (key.size() == 10 || key.size() == 26)
            return IsHexText(key) ? WLAN_REASON_CODE_SUCCESS : WLAN_REASON_CODE_MSMSEC_PROFILE_KEYMATERIAL_CHAR;
        return WLAN_REASON_CODE_MSMSEC_PROFILE_KEY_LENGTH;
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

DWORD CheckSecurity(const XmlNode& security, CheckedProfile& profile)
{
    if (!FollowsSchema(security, {{L"authEncryption", 0, 1},
                                  {L"sharedKey", 0, 1},
                                  {L"keyIndex", 0, 1},
                                  {L"PMKCacheMode", 0, 1},
                                  {L"PMKCacheTTL", 0, 1},
                                  {L"PMKCacheSize", 0, 1},
                                  {L"preAuthMode", 0, 1},
                                  {L"preAuthThrottle", 0, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    const XmlNode* authEncryption = Child(security, L"authEncryption");
    if (!authEncryption)
        return WLAN_REASON_CODE_MSMSEC_PROFILE_NO_AUTH_CIPHER_SPECIFIED;
    if (!FollowsSchema(*authEncryption, {{L"authentication", 1, 1}, {L"encryption", 1, 1}, {L"useOneX", 0, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;

    const XmlNode& authentication = *Child(*authEncryption, L"authentication");
    const XmlNode& encryption = *Child(*authEncryption, L"encryption");
    profile.authentication = Trimmed(authentication.text);
    profile.encryption = Trimmed(encryption.text);
    bool oneX = false;
    if (!IsLeaf(authentication) || !IsLeaf(encryption) ||
        !LookUp(kAuthentications, profile.authentication, profile.authAlgorithm) ||
        !LookUp(kEncryptions, profile.encryption, profile.cipherAlgorithm) ||
        !ReadBoolean(Child(*authEncryption, L"useOneX"), false, oneX))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    if (!IsValidPair(profile.authentication, profile.encryption, profile.infrastructure))
        return WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_AUTH_CIPHER;

    if (profile.authentication == L"WPA" || profile.authentication == L"WPA2")
        profile.security = NetworkSecurity::Enterprise;
    else if (profile.authentication == L"WPAPSK" || profile.authentication == L"WPA2PSK")
        profile.security = NetworkSecurity::Psk;
    else if (profile.encryption == L"WEP")
        profile.security = NetworkSecurity::Wep;
    else
        profile.security = NetworkSecurity::Open;

    if (profile.security == NetworkSecurity::Enterprise && !oneX)
        return WLAN_REASON_CODE_MSMSEC_PROFILE_ONEX_DISABLED;
    if (oneX && profile.security != NetworkSecurity::Enterprise && profile.security != NetworkSecurity::Wep)
        return WLAN_REASON_CODE_MSMSEC_PROFILE_ONEX_ENABLED;

    if (const XmlNode* sharedKey = Child(security, L"sharedKey")) {
        DWORD reason = CheckKey(*sharedKey, profile);
        if (reason != WLAN_REASON_CODE_SUCCESS)
            return reason;
    }
    if (const XmlNode* keyIndex = Child(security, L"keyIndex")) {
        std::wstring index = Trimmed(keyIndex->text);
        if (!IsLeaf(*keyIndex) || index.size() != 1 || !iswdigit(index[0]))
            return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
        if (index[0] > L'3')
            return WLAN_REASON_CODE_MSMSEC_PROFILE_INVALID_KEY_INDEX;
    }
    return WLAN_REASON_CODE_SUCCESS;
}

} // namespace

bool ParseXml(const std::wstring& document, XmlNode& root)
{
    XmlReader reader(document);
    return reader.Document(root);
}

DWORD CheckProfileXml(const std::wstring& document, CheckedProfile& profile)
{
    profile = CheckedProfile{};
    XmlNode root;
    if (!ParseXml(document, root) || root.name != L"WLANProfile" || root.ns != kWlanProfileNamespace)
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    if (!FollowsSchema(root, {{L"name", 1, 1},
                              {L"SSIDConfig", 1, 256},
                              {L"connectionType", 1, 1},
                              {L"connectionMode", 0, 1},
                              {L"autoSwitch", 0, 1},
                              {L"MSM", 0, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;

    const XmlNode& name = *Child(root, L"name");
    if (!IsLeaf(name))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    profile.name = name.text;
    if (profile.name.empty() || profile.name.size() >= WLAN_MAX_NAME_LENGTH)
        return WLAN_REASON_CODE_INVALID_PROFILE_NAME;

    if (CountChildren(root, L"SSIDConfig") > 1)
        return WLAN_REASON_CODE_TOO_MANY_SSID;
    DWORD reason = CheckSsid(*Child(root, L"SSIDConfig"), profile);
    if (reason != WLAN_REASON_CODE_SUCCESS)
        return reason;

    const XmlNode& connectionType = *Child(root, L"connectionType");
    std::wstring type = Trimmed(connectionType.text);
    if (!IsLeaf(connectionType) || (type != L"ESS" && type != L"IBSS"))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    profile.infrastructure = type == L"ESS";

    profile.autoConnect = profile.infrastructure;
    if (const XmlNode* connectionMode = Child(root, L"connectionMode")) {
        std::wstring mode = Trimmed(connectionMode->text);
        if (!IsLeaf(*connectionMode) || (mode != L"auto" && mode != L"manual"))
            return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
        profile.autoConnect = mode == L"auto";
    }
    if (!profile.infrastructure && profile.autoConnect)
        return WLAN_REASON_CODE_INVALID_ADHOC_CONNECTION_MODE;

    const XmlNode* msm = Child(root, L"MSM");
    if (!msm)
        return WLAN_REASON_CODE_SECURITY_MISSING;
    if (!FollowsSchema(*msm, {{L"connectivity", 0, 1}, {L"security", 0, 1}}))
        return WLAN_REASON_CODE_INVALID_PROFILE_SCHEMA;
    const XmlNode* security = Child(*msm, L"security");
    if (!security)
        return WLAN_REASON_CODE_MSM_SECURITY_MISSING;
    return CheckSecurity(*security, profile);
}

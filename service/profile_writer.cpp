#include "profile_writer_internal.h"

#include <string.h>
#include <utility>
#include <wchar.h>

#include "contract.h"
#include "file_stream.h"
#include "parameters_key.h"
#include "service_state.h"

ProfileRecord g_profile;

namespace {

enum class KeyManagement { Open, WpaPsk, Wpa2Psk };

constexpr wchar_t kProfileNamespace[] = L"http://www.microsoft.com/networking/WLAN/profile/v1";

// A WEP key of 40 or of 104 bits; a WPA key of 64 hex digits is a raw key,
// anything shorter a passphrase.
constexpr int kWep40KeyBytes = 5;
constexpr int kWep104KeyBytes = 13;
constexpr size_t kWpaHexKeyChars = 64;

// A text field of the credential ends at its NUL or at its last byte,
// whichever comes first: the vendor library does not promise the NUL.
size_t FieldLength(const void* field, size_t size)
{
    const void* nul = memchr(field, 0, size);
    return nul ? static_cast<size_t>(static_cast<const char*>(nul) - static_cast<const char*>(field))
               : size;
}

// An SSID has at most 32 bytes; the field's last byte only ever holds the NUL.
size_t SsidLength(const WpsCredential& credential)
{
    return FieldLength(credential.Ssid, sizeof(credential.Ssid) - 1);
}

// Converts count bytes of ANSI text; wide holds capacity characters, NUL included.
void AnsiToWide(const char* text, size_t count, wchar_t* wide, int capacity)
{
    int length = 0;
    if (count > 0)
        length = MultiByteToWideChar(CP_ACP, 0, text, static_cast<int>(count), wide, capacity - 1);
    wide[length] = L'\0';
}

char AsciiLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// The whole field against a name, so that neither a prefix nor a longer text matches.
bool FieldIsName(const char* field, size_t length, const char* name)
{
    if (length != strlen(name))
        return false;
    for (size_t i = 0; i < length; ++i) {
        if (AsciiLower(field[i]) != AsciiLower(name[i]))
            return false;
    }
    return true;
}

KeyManagement KeyManagementClass(const WpsCredential& credential)
{
    size_t length = FieldLength(credential.KeyManagement, sizeof(credential.KeyManagement));
    if (FieldIsName(credential.KeyManagement, length, "WPA-PSK"))
        return KeyManagement::WpaPsk;
    if (FieldIsName(credential.KeyManagement, length, "WPA2-PSK") ||
        FieldIsName(credential.KeyManagement, length, "WPA-PSK WPA2-PSK"))
        return KeyManagement::Wpa2Psk;
    return KeyManagement::Open;
}

ProfileEncryption CipherClass(uint32_t encryptionType)
{
    switch (encryptionType) {
    case kWpsEncryptionWep:
        return ProfileEncryption::Wep;
    case kWpsEncryptionTkip:
        return ProfileEncryption::Tkip;
    case kWpsEncryptionAes:
    case kWpsEncryptionTkip | kWpsEncryptionAes:
        return ProfileEncryption::Aes;
    default:
        return ProfileEncryption::None;
    }
}

// A WEP key arrives as raw bytes: 104 bits when any byte past the 40 bits is
// set.
void WepKeyText(const WpsCredential& credential, wchar_t* text)
{
    int length = kWep40KeyBytes;
    for (int i = kWep40KeyBytes; i < kWep104KeyBytes; ++i) {
        if (credential.NetworkKey[i] != 0)
            length = kWep104KeyBytes;
    }
    HexEncodeBytes(credential.NetworkKey, length, text);
}

// The schema's text for each code; the first row also stands for any code
// the record should never hold.
template <typename Code>
struct CodeText {
    Code code;
    const wchar_t* text;
};

constexpr CodeText<ProfileAuthentication> kAuthenticationTexts[] = {
    {ProfileAuthentication::Open, L"open"},
    {ProfileAuthentication::Shared, L"shared"},
    {ProfileAuthentication::WpaPsk, L"WPAPSK"},
    {ProfileAuthentication::Wpa2Psk, L"WPA2PSK"},
};

constexpr CodeText<ProfileEncryption> kEncryptionTexts[] = {
    {ProfileEncryption::None, L"none"},
    {ProfileEncryption::Wep, L"WEP"},
    {ProfileEncryption::Tkip, L"TKIP"},
    {ProfileEncryption::Aes, L"AES"},
};

template <typename Code, size_t N>
const wchar_t* TextOf(Code code, const CodeText<Code> (&table)[N])
{
    for (const CodeText<Code>& row : table) {
        if (row.code == code)
            return row.text;
    }
    return table[0].text;
}

// XML 1.0 carries no C0 control but tab, line feed and carriage return, nor
// U+FFFE and U+FFFF. Wine's writer silently cuts a text there, so the
// profile would not say what the access point sent (a shorter key, say).
bool XmlCanCarry(const wchar_t* text)
{
    for (; *text; ++text) {
        wchar_t c = *text;
        if ((c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') || c == 0xFFFE || c == 0xFFFF)
            return false;
    }
    return true;
}

void WriteTextElement(IXmlWriter* writer, const wchar_t* name, const wchar_t* text)
{
    writer->WriteStartElement(nullptr, name, nullptr);
    writer->WriteString(text);
    writer->WriteFullEndElement();
}

} // namespace

bool HexEncodeBytes(const unsigned char* bytes, int count, wchar_t* text)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    if (!bytes || count < 0)
        return false;
    for (int i = 0; i < count; ++i) {
        text[2 * i] = digits[bytes[i] >> 4];
        text[2 * i + 1] = digits[bytes[i] & 0x0F];
    }
    text[2 * count] = L'\0';
    return true;
}

bool BuildProfileRecord()
{
    const WpsCredential& credential = g_service.Credential;

    wchar_t ssid[ARRAYSIZE(g_profile.Ssid)];
    AnsiToWide(credential.Ssid, SsidLength(credential), ssid, ARRAYSIZE(ssid));

    // The key text fits the record: at most 64 characters of a WPA key.
    wchar_t key[ARRAYSIZE(g_profile.KeyMaterial)];
    if (credential.EncryptionType == kWpsEncryptionWep)
        WepKeyText(credential, key);
    else
        AnsiToWide(reinterpret_cast<const char*>(credential.NetworkKey),
                   FieldLength(credential.NetworkKey, sizeof(credential.NetworkKey) - 1), key, ARRAYSIZE(key));
    ProfileKeyType wpaKeyType =
        wcslen(key) == kWpaHexKeyChars ? ProfileKeyType::NetworkKey : ProfileKeyType::PassPhrase;

    g_profile = ProfileRecord{};
    wcscpy_s(g_profile.Name, ssid);
    wcscpy_s(g_profile.Ssid, ssid);
    g_profile.Infrastructure = ProfileConnection::Infrastructure;

    ProfileEncryption cipher = CipherClass(credential.EncryptionType);
    switch (KeyManagementClass(credential)) {
    case KeyManagement::Wpa2Psk:
        g_profile.Authentication = ProfileAuthentication::Wpa2Psk;
        g_profile.Encryption = ProfileEncryption::Aes;
        g_profile.KeyType = wpaKeyType;
        wcscpy_s(g_profile.KeyMaterial, key);
        break;
    case KeyManagement::WpaPsk:
        g_profile.Authentication = ProfileAuthentication::WpaPsk;
        g_profile.Encryption = cipher == ProfileEncryption::Tkip ? ProfileEncryption::Tkip : ProfileEncryption::Aes;
        g_profile.KeyType = wpaKeyType;
        wcscpy_s(g_profile.KeyMaterial, key);
        break;
    case KeyManagement::Open:
        if (cipher == ProfileEncryption::Wep) {
            g_profile.Encryption = ProfileEncryption::Wep;
            g_profile.KeyType = ProfileKeyType::NetworkKey;
            wcscpy_s(g_profile.KeyMaterial, key);
        }
        break;
    }
    return true;
}

void WriteNameElement(UniqueCom<IXmlWriter> writer)
{
    WriteTextElement(writer.get(), L"name", g_profile.Name[0] ? g_profile.Name : g_profile.Ssid);
}

void WriteSsidConfig(UniqueCom<IXmlWriter> writer)
{
    const WpsCredential& credential = g_service.Credential;
    // Two digits for each of at most 32 bytes, and the NUL.
    wchar_t hex[2 * (sizeof(credential.Ssid) - 1) + 1] = L"0";
    size_t length = SsidLength(credential);
    if (length > 0)
        HexEncodeBytes(reinterpret_cast<const unsigned char*>(credential.Ssid),
                       static_cast<int>(length), hex);

    writer->WriteStartElement(nullptr, L"SSIDConfig", nullptr);
    writer->WriteStartElement(nullptr, L"SSID", nullptr);
    WriteTextElement(writer.get(), L"hex", hex);
    WriteTextElement(writer.get(), L"name", g_profile.Ssid);
    writer->WriteFullEndElement();
    writer->WriteFullEndElement();
}

void WriteAuthEncryption(UniqueCom<IXmlWriter> writer)
{
    writer->WriteStartElement(nullptr, L"authEncryption", nullptr);
    WriteTextElement(writer.get(), L"authentication", TextOf(g_profile.Authentication, kAuthenticationTexts));
    WriteTextElement(writer.get(), L"encryption", TextOf(g_profile.Encryption, kEncryptionTexts));
    WriteTextElement(writer.get(), L"useOneX", L"false");
    writer->WriteFullEndElement();
}

void WriteSharedKey(UniqueCom<IXmlWriter> writer)
{
    writer->WriteStartElement(nullptr, L"sharedKey", nullptr);
    bool networkKey = g_profile.KeyType == ProfileKeyType::NetworkKey;
    WriteTextElement(writer.get(), L"keyType", networkKey ? L"networkKey" : L"passPhrase");
    WriteTextElement(writer.get(), L"protected", L"false");
    WriteTextElement(writer.get(), L"keyMaterial", g_profile.KeyMaterial);
    writer->WriteFullEndElement();
}

HRESULT WriteProfileDocument(IStream* stream)
{
    if (!XmlCanCarry(g_profile.Name) || !XmlCanCarry(g_profile.Ssid) || !XmlCanCarry(g_profile.KeyMaterial))
        return static_cast<HRESULT>(WC_E_XMLCHARACTER);
    // Declared so that they go in the order output, writer.
    UniqueCom<IXmlWriter> writer;
    HRESULT hr = CreateXmlWriter(__uuidof(IXmlWriter), reinterpret_cast<void**>(writer.put()), nullptr);
    if (FAILED(hr))
        return hr;
    UniqueCom<IXmlWriterOutput> output;
    hr = CreateXmlWriterOutputWithEncodingCodePage(stream, nullptr, CP_UTF8, output.put());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = writer->SetOutput(output.get())) ||
        FAILED(hr = writer->SetProperty(XmlWriterProperty_Indent, TRUE)))
        return hr;

    // The writes' results go unchecked on purpose: a failure leaves a
    // document that the agent cannot load, and it reports that.
    writer->WriteStartDocument(XmlStandalone_Omit);
    writer->WriteStartElement(nullptr, L"WLANProfile", nullptr);
    writer->WriteAttributeString(nullptr, L"xmlns", nullptr, kProfileNamespace);
    WriteNameElement(ShareCom(writer));
    WriteSsidConfig(ShareCom(writer));
    bool infrastructure = g_profile.Infrastructure == ProfileConnection::Infrastructure;
    WriteTextElement(writer.get(), L"connectionType", infrastructure ? L"ESS" : L"IBSS");
    WriteTextElement(writer.get(), L"connectionMode", infrastructure ? L"auto" : L"manual");
    writer->WriteStartElement(nullptr, L"MSM", nullptr);
    writer->WriteStartElement(nullptr, L"security", nullptr);
    WriteAuthEncryption(ShareCom(writer));
    if (g_profile.Authentication != ProfileAuthentication::Open ||
        g_profile.Encryption != ProfileEncryption::None)
        WriteSharedKey(ShareCom(writer));
    writer->WriteFullEndElement();
    writer->WriteFullEndElement();
    writer->WriteFullEndElement();
    writer->WriteEndDocument();
    return writer->Flush();
}

int32_t WriteProfileFile()
{
    UniqueCom<IStream> stream;
    {
        // The user's token is needed to open the file and for nothing after.
        HandOffUser user = std::move(g_service.HandOff);
        wchar_t path[MAX_PATH];
        if (!ReadProfilePath(path))
            return 1;
        if (FAILED(CreateFileStream(path, user, stream.put())) || !stream)
            return -1;
    }
    return FAILED(WriteProfileDocument(stream.get())) ? -1 : 0;
}

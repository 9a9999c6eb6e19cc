#include "profile_writer.h"

#include <string.h>
#include <wchar.h>

#include "contract.h"
#include "file_stream.h"
#include "parameters_key.h"
#include "service_state.h"

ProfileRecord g_profile;

namespace {

enum class Cipher { None, Wep, Tkip, Aes };
enum class KeyManagement { Open, WpaPsk, Wpa2Psk };

constexpr uint32_t kEncryptionWep = 2;

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

Cipher CipherClass(uint32_t encryptionType)
{
    switch (encryptionType) {
    case 2:
        return Cipher::Wep;
    case 4:
        return Cipher::Tkip;
    case 8:
    case 12:
        return Cipher::Aes;
    default:
        return Cipher::None;
    }
}

// A WEP key arrives as raw bytes: 13 of them when any byte past the fifth is
// set, else 5.
void WepKeyText(const WpsCredential& credential, wchar_t* text)
{
    int length = 5;
    for (int i = 5; i < 13; ++i) {
        if (credential.NetworkKey[i] != 0)
            length = 13;
    }
    HexEncodeBytes(credential.NetworkKey, length, text);
}

const wchar_t* AuthenticationText(uint8_t authentication)
{
    switch (authentication) {
    case 1:
        return L"shared";
    case 3:
        return L"WPAPSK";
    case 5:
        return L"WPA2PSK";
    default:
        return L"open";
    }
}

const wchar_t* EncryptionText(uint8_t encryption)
{
    switch (encryption) {
    case 1:
        return L"WEP";
    case 2:
        return L"TKIP";
    case 3:
        return L"AES";
    default:
        return L"none";
    }
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

    wchar_t ssid[33];
    AnsiToWide(credential.Ssid, SsidLength(credential), ssid, 33);

    // The key text fits the record: at most 64 characters of a WPA key.
    wchar_t key[65];
    if (credential.EncryptionType == kEncryptionWep)
        WepKeyText(credential, key);
    else
        AnsiToWide(reinterpret_cast<const char*>(credential.NetworkKey),
                   FieldLength(credential.NetworkKey, sizeof(credential.NetworkKey) - 1), key, 65);
    uint8_t wpaKeyType = wcslen(key) == 64 ? 1 : 2;

    g_profile = ProfileRecord{};
    wcscpy_s(g_profile.Name, ssid);
    wcscpy_s(g_profile.Ssid, ssid);
    g_profile.Infrastructure = 1;

    Cipher cipher = CipherClass(credential.EncryptionType);
    switch (KeyManagementClass(credential)) {
    case KeyManagement::Wpa2Psk:
        g_profile.Authentication = 5;
        g_profile.Encryption = 3;
        g_profile.KeyType = wpaKeyType;
        wcscpy_s(g_profile.KeyMaterial, key);
        break;
    case KeyManagement::WpaPsk:
        g_profile.Authentication = 3;
        g_profile.Encryption = cipher == Cipher::Tkip ? 2 : 3;
        g_profile.KeyType = wpaKeyType;
        wcscpy_s(g_profile.KeyMaterial, key);
        break;
    case KeyManagement::Open:
        if (cipher == Cipher::Wep) {
            g_profile.Encryption = 1;
            g_profile.KeyType = 1;
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
    wchar_t hex[65] = L"0";
    size_t length = SsidLength(credential);
    if (length > 0)
        HexEncodeBytes(reinterpret_cast<const unsigned char*>(credential.Ssid),
                       static_cast<int>(length), hex);

    writer.get()->WriteStartElement(nullptr, L"SSIDConfig", nullptr);
    writer.get()->WriteStartElement(nullptr, L"SSID", nullptr);
    WriteTextElement(writer.get(), L"hex", hex);
    WriteTextElement(writer.get(), L"name", g_profile.Ssid);
    writer.get()->WriteFullEndElement();
    writer.get()->WriteFullEndElement();
}

void WriteAuthEncryption(UniqueCom<IXmlWriter> writer)
{
    writer.get()->WriteStartElement(nullptr, L"authEncryption", nullptr);
    WriteTextElement(writer.get(), L"authentication", AuthenticationText(g_profile.Authentication));
    WriteTextElement(writer.get(), L"encryption", EncryptionText(g_profile.Encryption));
    WriteTextElement(writer.get(), L"useOneX", L"false");
    writer.get()->WriteFullEndElement();
}

void WriteSharedKey(UniqueCom<IXmlWriter> writer)
{
    writer.get()->WriteStartElement(nullptr, L"sharedKey", nullptr);
    WriteTextElement(writer.get(), L"keyType", g_profile.KeyType == 1 ? L"networkKey" : L"passPhrase");
    WriteTextElement(writer.get(), L"protected", L"false");
    WriteTextElement(writer.get(), L"keyMaterial", g_profile.KeyMaterial);
    writer.get()->WriteFullEndElement();
}

int32_t WriteProfileFile()
{
    wchar_t path[MAX_PATH];
    if (!ReadProfilePath(path))
        return 1;

    // Declared so that they go in the order output, writer, stream.
    UniqueCom<IStream> stream;
    if (FAILED(CreateFileStream(path, g_service.HandOff, stream.put())) || !stream)
        return -1;
    UniqueCom<IXmlWriter> writer;
    if (FAILED(CreateXmlWriter(__uuidof(IXmlWriter), reinterpret_cast<void**>(writer.put()), nullptr)))
        return -1;
    UniqueCom<IXmlWriterOutput> output;
    if (FAILED(CreateXmlWriterOutputWithEncodingCodePage(stream.get(), nullptr, CP_UTF8, output.put())))
        return -1;
    if (FAILED(writer.get()->SetOutput(output.get())))
        return -1;
    if (FAILED(writer.get()->SetProperty(XmlWriterProperty_Indent, TRUE)))
        return -1;

    writer.get()->WriteStartDocument(XmlStandalone_Omit);
    writer.get()->WriteStartElement(nullptr, L"WLANProfile", nullptr);
    writer.get()->WriteAttributeString(nullptr, L"xmlns", nullptr, kProfileNamespace);
    WriteNameElement(ShareCom(writer));
    WriteSsidConfig(ShareCom(writer));
    bool infrastructure = g_profile.Infrastructure == 1;
    WriteTextElement(writer.get(), L"connectionType", infrastructure ? L"ESS" : L"IBSS");
    WriteTextElement(writer.get(), L"connectionMode", infrastructure ? L"auto" : L"manual");
    writer.get()->WriteStartElement(nullptr, L"MSM", nullptr);
    writer.get()->WriteStartElement(nullptr, L"security", nullptr);
    WriteAuthEncryption(ShareCom(writer));
    if (g_profile.Authentication != 0 || g_profile.Encryption != 0)
        WriteSharedKey(ShareCom(writer));
    writer.get()->WriteFullEndElement();
    writer.get()->WriteFullEndElement();
    writer.get()->WriteFullEndElement();
    writer.get()->WriteEndDocument();
    writer.get()->Flush();
    return 0;
}

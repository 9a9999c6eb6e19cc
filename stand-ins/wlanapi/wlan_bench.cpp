#include "wlan_bench.h"

#include <stdio.h>
#include <wchar.h>

#include "bench_scenario.h"
#include "bench_text.h"
#include "profile_check.h"
#include "wps_bench.h"

namespace {

constexpr wchar_t kMutexName[] = L"Global\\Tolvek bench Native Wifi";

class BenchLock {
public:
    BenchLock() : mutex_(CreateMutexW(nullptr, FALSE, kMutexName))
    {
        // An owner that died holding it leaves it abandoned, and ours.
        if (mutex_)
            owned_ = WaitForSingleObject(mutex_, 10000) != WAIT_TIMEOUT;
    }
    ~BenchLock()
    {
        if (owned_)
            ReleaseMutex(mutex_);
        if (mutex_)
            CloseHandle(mutex_);
    }
    BenchLock(const BenchLock&) = delete;
    BenchLock& operator=(const BenchLock&) = delete;

private:
    HANDLE mutex_;
    bool owned_ = false;
};

void WriteWholeFile(const std::wstring& path, const std::string& content, bool append)
{
    HANDLE file = CreateFileW(path.c_str(), append ? FILE_APPEND_DATA : GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

// Fields are separated by tabs; tabs, line ends and backslashes inside a
// field are escaped.
std::wstring Escaped(const std::wstring& field)
{
    std::wstring out;
    for (wchar_t c : field) {
        switch (c) {
        case L'\\': out += L"\\\\"; break;
        case L'\t': out += L"\\t"; break;
        case L'\n': out += L"\\n"; break;
        case L'\r': out += L"\\r"; break;
        default: out += c; break;
        }
    }
    return out;
}

std::vector<std::wstring> SplitFields(const std::wstring& line)
{
    std::vector<std::wstring> fields(1);
    for (size_t i = 0; i < line.size(); ++i) {
        wchar_t c = line[i];
        if (c == L'\t') {
            fields.emplace_back();
        } else if (c == L'\\' && i + 1 < line.size()) {
            wchar_t next = line[++i];
            fields.back() += next == L't' ? L'\t' : next == L'n' ? L'\n' : next == L'r' ? L'\r' : next;
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

std::vector<std::wstring> Lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.pop_back();
        if (!line.empty())
            lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

WlanBench ParseState(const std::wstring& text)
{
    WlanBench bench;
    for (const std::wstring& line : Lines(text)) {
        std::vector<std::wstring> f = SplitFields(line);
        if (f[0] == L"service" && f.size() >= 3) {
            bench.serviceRunning = f[1] == L"1";
            bench.joinDelayMs = wcstoul(f[2].c_str(), nullptr, 10);
            bench.allUserProfilesDenied = f.size() >= 4 && f[3] == L"1";
        } else if (f[0] == L"interface" && f.size() >= 12) {
            WlanBenchInterface i;
            ParseGuid(f[1], i.guid);
            i.description = f[2];
            i.present = f[3] == L"1";
            i.state = wcstoul(f[4].c_str(), nullptr, 10);
            DecodeHex(f[5], i.ssid);
            i.securityEnabled = f[6] == L"1";
            i.authAlgorithm = wcstoul(f[7].c_str(), nullptr, 10);
            i.cipherAlgorithm = wcstoul(f[8].c_str(), nullptr, 10);
            i.profileName = f[9];
            i.bssid = f[10];
            i.joinAt = wcstoull(f[11].c_str(), nullptr, 10);
            bench.interfaces.push_back(i);
        } else if (f[0] == L"profile" && f.size() >= 3 && !bench.interfaces.empty()) {
            bench.interfaces.back().profiles.push_back({f[1], f[2], f.size() >= 4 && f[3] == L"user"});
        }
    }
    return bench;
}

std::wstring FormatState(const WlanBench& bench)
{
    std::wstring text = L"service\t" + std::wstring(bench.serviceRunning ? L"1" : L"0") + L"\t" +
                        std::to_wstring(bench.joinDelayMs) + L"\t" + (bench.allUserProfilesDenied ? L"1" : L"0") +
                        L"\n";
    for (const WlanBenchInterface& i : bench.interfaces) {
        text += L"interface\t" + GuidText(i.guid) + L"\t" + Escaped(i.description) + L"\t" +
                (i.present ? L"1" : L"0") + L"\t" + std::to_wstring(i.state) + L"\t" + HexOf(i.ssid) + L"\t" +
                (i.securityEnabled ? L"1" : L"0") + L"\t" + std::to_wstring(i.authAlgorithm) + L"\t" +
                std::to_wstring(i.cipherAlgorithm) + L"\t" + Escaped(i.profileName) + L"\t" + Escaped(i.bssid) +
                L"\t" + std::to_wstring(i.joinAt) + L"\n";
        for (const WlanBenchProfile& p : i.profiles)
            text += L"profile\t" + Escaped(p.name) + L"\t" + Escaped(p.xml) + (p.userOnly ? L"\tuser" : L"") + L"\n";
    }
    return text;
}

bool CatchUpAutomaticConfiguration(WlanBench& bench)
{
    bool changed = false;
    ULONGLONG now = GetTickCount64();
    for (WlanBenchInterface& i : bench.interfaces) {
        if (i.joinAt == 0 || now < i.joinAt)
            continue;
        i.joinAt = 0;
        changed = true;
        if (i.present && i.state != wlan_interface_state_connected)
            JoinStoredNetwork(i);
    }
    return changed;
}

NetworkSecurity AccessPointSecurity(const BenchAccessPoint& ap)
{
    std::wstring management = ap.keyManagement;
    for (wchar_t& c : management)
        c = towupper(c);
    if (management.find(L"PSK") != std::wstring::npos)
        return NetworkSecurity::Psk;
    return ap.encryption == 2 ? NetworkSecurity::Wep : NetworkSecurity::Open;
}

std::string AccessPointKey(const BenchAccessPoint& ap)
{
    std::string key;
    if (!ap.networkKeyHex.empty() && DecodeHex(ap.networkKeyHex, key))
        return key;
    return ToBytes(ap.networkKey, CP_ACP);
}

bool KeysMatch(const CheckedProfile& profile, const BenchAccessPoint& ap)
{
    std::string apKey = AccessPointKey(ap);
    switch (profile.security) {
    case NetworkSecurity::Open:
        return true;
    case NetworkSecurity::Psk:
        if (!profile.hasKey)
            return false;
        // A 64-digit key is the PSK itself; the bench gives it as text.
        if (profile.keyIsNetworkKey)
            return _wcsicmp(profile.keyMaterial.c_str(), FromBytes(apKey).c_str()) == 0;
        return ToBytes(profile.keyMaterial, CP_ACP) == apKey;
    case NetworkSecurity::Wep: {
        if (!profile.hasKey)
            return false;
        std::string profileKey;
        if (!DecodeHex(profile.keyMaterial, profileKey))
            profileKey = ToBytes(profile.keyMaterial, CP_ACP);
        std::string decoded;
        if (ap.networkKeyHex.empty() && (apKey.size() == 10 || apKey.size() == 26) &&
            DecodeHex(FromBytes(apKey), decoded))
            apKey = decoded;
        return profileKey == apKey;
    }
    }
    return false;
}

bool SsidsMatch(const CheckedProfile& profile, const BenchAccessPoint& ap)
{
    return profile.ssidBytes == ToBytes(ap.ssid, CP_ACP);
}

} // namespace

std::wstring HexOf(const std::string& bytes)
{
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    for (unsigned char b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

bool DecodeHex(const std::wstring& text, std::string& bytes)
{
    if (text.size() % 2 != 0)
        return false;
    bytes.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        wchar_t pair[3] = {text[i], text[i + 1], 0};
        if (pair[0] > 0x7F || pair[1] > 0x7F || !iswxdigit(pair[0]) || !iswxdigit(pair[1]))
            return false;
        bytes += static_cast<char>(wcstoul(pair, nullptr, 16));
    }
    return true;
}

std::wstring WlanStateFile()
{
    return BenchDirectory() + L"\\wlan_state.txt";
}

std::wstring WlanCallLogFile(const std::wstring& bench)
{
    return bench + L"\\wlan_calls.log";
}

void ModifyWlanBench(const std::function<bool(WlanBench&)>& change)
{
    BenchLock lock;
    WlanBench bench = ParseState(FromBytes(ReadWholeFile(WlanStateFile())));
    bool changed = CatchUpAutomaticConfiguration(bench);
    if (change(bench) || changed)
        WriteWholeFile(WlanStateFile(), ToBytes(FormatState(bench)), false);
}

WlanBench ReadWlanBench()
{
    WlanBench copy;
    ModifyWlanBench([&](WlanBench& bench) {
        copy = bench;
        return false;
    });
    return copy;
}

void ClearWlanBench()
{
    BenchLock lock;
    DeleteFileW(WlanStateFile().c_str());
    DeleteFileW(WlanCallLogFile().c_str());
}

WlanBenchInterface* FindBenchInterface(WlanBench& bench, const GUID& guid)
{
    for (WlanBenchInterface& i : bench.interfaces)
        if (IsEqualGUID(i.guid, guid))
            return &i;
    return nullptr;
}

bool JoinStoredNetwork(WlanBenchInterface& adapter)
{
    std::vector<BenchAccessPoint> points = ReadAccessPoints();
    for (const WlanBenchProfile& stored : adapter.profiles) {
        CheckedProfile profile;
        if (CheckProfileXml(stored.xml, profile) != 0 || !profile.autoConnect || !profile.infrastructure)
            continue;
        for (const BenchAccessPoint& ap : points) {
            if (!SsidsMatch(profile, ap) || AccessPointSecurity(ap) != profile.security || !KeysMatch(profile, ap))
                continue;
            adapter.state = wlan_interface_state_connected;
            adapter.ssid = profile.ssidBytes;
            adapter.securityEnabled = profile.security != NetworkSecurity::Open;
            adapter.authAlgorithm = profile.authAlgorithm;
            adapter.cipherAlgorithm = profile.cipherAlgorithm;
            adapter.profileName = stored.name;
            adapter.bssid = ap.bssid;
            return true;
        }
    }
    return false;
}

void DisconnectInterface(WlanBenchInterface& adapter)
{
    adapter.state = wlan_interface_state_disconnected;
    adapter.ssid.clear();
    adapter.securityEnabled = false;
    adapter.authAlgorithm = DOT11_AUTH_ALGO_80211_OPEN;
    adapter.cipherAlgorithm = DOT11_CIPHER_ALGO_NONE;
    adapter.profileName.clear();
    adapter.joinAt = 0;
}

std::wstring GuidText(const GUID& g)
{
    wchar_t text[40];
    swprintf(text, ARRAYSIZE(text), L"{%08lX-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
             static_cast<unsigned long>(g.Data1), g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3],
             g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

bool ParseGuid(const std::wstring& text, GUID& guid)
{
    std::wstring digits;
    for (wchar_t c : text)
        if (c != L'{' && c != L'}' && c != L'-')
            digits += c;
    std::string bytes;
    if (text.empty() || digits.size() != 32 || text.size() != (text[0] == L'{' ? 38u : 36u) ||
        !DecodeHex(digits, bytes))
        return false;
    auto byte = [&](int i) { return static_cast<unsigned char>(bytes[i]); };
    guid.Data1 = (static_cast<unsigned long>(byte(0)) << 24) | (byte(1) << 16) | (byte(2) << 8) | byte(3);
    guid.Data2 = static_cast<unsigned short>((byte(4) << 8) | byte(5));
    guid.Data3 = static_cast<unsigned short>((byte(6) << 8) | byte(7));
    for (int i = 0; i < 8; ++i)
        guid.Data4[i] = byte(8 + i);
    return true;
}

std::wstring SsidText(const std::string& ssid)
{
    return FromBytes(ssid, CP_ACP);
}

std::string SsidBytes(const std::wstring& text)
{
    std::string bytes = ToBytes(text, CP_ACP);
    if (bytes.size() > DOT11_SSID_MAX_LENGTH)
        bytes.resize(DOT11_SSID_MAX_LENGTH);
    return bytes;
}

const wchar_t* InterfaceStateName(DWORD state)
{
    static const wchar_t* const names[] = {L"not_ready",    L"connected",   L"ad_hoc_network_formed",
                                           L"disconnecting", L"disconnected", L"associating",
                                           L"discovering",  L"authenticating"};
    return state < ARRAYSIZE(names) ? names[state] : L"unknown";
}

void LogWlanCall(const wchar_t* function, DWORD result, const std::wstring& details)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring program(path, length);
    size_t slash = program.find_last_of(L'\\');
    if (slash != std::wstring::npos)
        program.erase(0, slash + 1);
    std::wstring line = std::to_wstring(GetTickCount64()) + L"\t" + std::to_wstring(GetCurrentProcessId()) + L"\t" +
                        Escaped(program) + L"\t" + function + L"\t" + std::to_wstring(result) + L"\t" +
                        Escaped(details) + L"\t" + std::to_wstring(BenchNowMs()) + L"\n";
    BenchLock lock;
    WriteWholeFile(WlanCallLogFile(), ToBytes(line), true);
}

std::vector<WlanCall> ReadWlanCalls(const std::wstring& logFile)
{
    std::vector<WlanCall> calls;
    std::string content;
    {
        BenchLock lock;
        content = ReadWholeFile(logFile);
    }
    for (const std::wstring& line : Lines(FromBytes(content))) {
        std::vector<std::wstring> f = SplitFields(line);
        if (f.size() < 6)
            continue;
        WlanCall call;
        call.tick = wcstoull(f[0].c_str(), nullptr, 10);
        call.processId = wcstoul(f[1].c_str(), nullptr, 10);
        call.program = f[2];
        call.function = f[3];
        call.result = wcstoul(f[4].c_str(), nullptr, 10);
        call.details = f[5];
        if (f.size() > 6)
            call.clockMs = wcstoull(f[6].c_str(), nullptr, 10);
        calls.push_back(call);
    }
    return calls;
}

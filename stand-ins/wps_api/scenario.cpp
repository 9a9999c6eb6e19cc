#include "scenario.h"

#include <atomic>
#include <string.h>
#include <string>
#include <vector>

#include "bench_scenario.h"

namespace {

// A sequence lock over atomic words: the writer makes the count odd while it
// copies, readers copy until they see the same even count before and after.
constexpr size_t kWords = (sizeof(Scenario) + 7) / 8;
std::atomic<uint32_t> g_sequence{0};
std::atomic<uint64_t> g_words[kWords];

void ToAnsi(const std::wstring& text, char* out, size_t capacity)
{
    memset(out, 0, capacity);
    if (!text.empty())
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out,
                            static_cast<int>(capacity - 1), nullptr, nullptr);
}

int HexDigit(wchar_t c)
{
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// Decodes pairs of hex digits, skipping blanks and colons, up to capacity.
size_t FromHex(const std::wstring& text, unsigned char* out, size_t capacity)
{
    size_t count = 0;
    int high = -1;
    for (wchar_t c : text) {
        int digit = HexDigit(c);
        if (digit < 0)
            continue;
        if (high < 0) {
            high = digit;
            continue;
        }
        if (count == capacity)
            break;
        out[count++] = static_cast<unsigned char>(high * 16 + digit);
        high = -1;
    }
    return count;
}

void FillAccessPoint(const BenchAccessPoint& from, RadioAccessPoint& to)
{
    memset(&to, 0, sizeof(to));
    ToAnsi(from.ssid, to.ssid, sizeof(to.ssid));
    FromHex(from.bssid, to.bssid, sizeof(to.bssid));
    to.pushButton = from.pushButton ? 1 : 0;

    WpsCredential& credential = to.credential;
    if (!from.credentialHex.empty()) {
        FromHex(from.credentialHex, reinterpret_cast<unsigned char*>(&credential), sizeof(credential));
        if (to.ssid[0] == 0)
            memcpy(to.ssid, credential.Ssid, sizeof(to.ssid) - 1);
        return;
    }
    memcpy(credential.Ssid, to.ssid, sizeof(credential.Ssid));
    ToAnsi(from.keyManagement, credential.KeyManagement, sizeof(credential.KeyManagement));
    if (!from.networkKeyHex.empty())
        FromHex(from.networkKeyHex, credential.NetworkKey, sizeof(credential.NetworkKey) - 1);
    else
        ToAnsi(from.networkKey, reinterpret_cast<char*>(credential.NetworkKey), sizeof(credential.NetworkKey));
    credential.EncryptionType = from.encryption;
}

void LoadCallScript(const std::wstring& file, WpsFunction function, CallScript& script)
{
    const wchar_t* section = kWpsFunctionNames[function];
    script.delayMs = GetPrivateProfileIntW(section, L"delay", kWpsDefaultDelayMs[function], file.c_str());
    script.fail = GetPrivateProfileIntW(section, L"fail", 0, file.c_str()) != 0;
    script.hang = GetPrivateProfileIntW(section, L"hang", 0, file.c_str());
    std::wstring codes = ReadBenchString(file, section, L"status");
    script.statusCount = 0;
    const wchar_t* p = codes.c_str();
    while (*p && script.statusCount < kMaxScriptedStatus) {
        wchar_t* end = nullptr;
        unsigned long code = wcstoul(p, &end, 0);
        if (end == p) {
            ++p;
            continue;
        }
        script.status[script.statusCount++] = static_cast<uint32_t>(code);
        p = end;
    }
}

} // namespace

void LoadScenario(Scenario& scenario)
{
    memset(&scenario, 0, sizeof(scenario));
    std::vector<BenchAccessPoint> points = ReadAccessPoints();
    for (const BenchAccessPoint& point : points) {
        if (scenario.accessPointCount == kMaxAccessPoints)
            break;
        FillAccessPoint(point, scenario.accessPoints[scenario.accessPointCount++]);
    }

    std::wstring file = WpsScenarioFile();
    for (int i = 0; i < WpsFunctionCount; ++i)
        LoadCallScript(file, static_cast<WpsFunction>(i), scenario.calls[i]);
    scenario.buttonSupported = GetPrivateProfileIntW(L"button", L"supported", 1, file.c_str()) != 0;
    std::wstring pressed = ReadBenchString(file, L"button", L"pressed_until", L"0");
    scenario.pressedUntilMs = pressed == L"held" ? kButtonHeld : _wcstoui64(pressed.c_str(), nullptr, 10);
    scenario.pressSerial = _wcstoui64(ReadBenchString(file, L"button", L"press_serial", L"0").c_str(), nullptr, 10);
    scenario.pressReads = GetPrivateProfileIntW(L"button", L"press_reads", 0, file.c_str());
}

void PublishScenario(const Scenario& scenario)
{
    uint64_t words[kWords] = {};
    memcpy(words, &scenario, sizeof(scenario));
    uint32_t sequence = g_sequence.load(std::memory_order_relaxed);
    g_sequence.store(sequence + 1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (size_t i = 0; i < kWords; ++i)
        g_words[i].store(words[i], std::memory_order_relaxed);
    g_sequence.store(sequence + 2, std::memory_order_release);
}

void ReadScenario(Scenario& scenario)
{
    uint64_t words[kWords];
    for (;;) {
        uint32_t before = g_sequence.load(std::memory_order_acquire);
        if (before & 1) {
            Sleep(0);
            continue;
        }
        for (size_t i = 0; i < kWords; ++i)
            words[i] = g_words[i].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (g_sequence.load(std::memory_order_relaxed) == before)
            break;
    }
    memcpy(&scenario, words, sizeof(scenario));
}

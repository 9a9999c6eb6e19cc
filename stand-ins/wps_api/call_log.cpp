#include "call_log.h"

#include <atomic>
#include <stdio.h>
#include <string.h>
#include <string>

#include "bench_worker.h"

namespace {

constexpr uint64_t kRingSize = 4096;
// A slot whose writer was terminated or suspended half way is given up after
// this long, so that the record goes on.
constexpr uint64_t kAbandonedSlotMs = 1000;

struct Slot {
    std::atomic<uint64_t> ready{0}; // sequence + 1 once the entry is complete
    LogEntry entry;
};

Slot g_ring[kRingSize];
std::atomic<uint64_t> g_head{0};
std::atomic<uint64_t> g_written{0};
uint64_t g_tail = 0;
uint64_t g_stuckSinceMs = 0;

const char* FunctionName(WpsFunction function)
{
    static const char* const names[WpsFunctionCount] = {
        "wps_open", "wps_findAP", "wps_getAP", "wps_join", "wps_get_AP_info", "wps_close",
        "wps_gpio_open", "wps_hwbutton_supported", "wps_get_hwbutton_state", "wps_gpio_close"};
    return function < WpsFunctionCount ? names[function] : "?";
}

std::string Bssid(const unsigned char* b)
{
    char text[24];
    snprintf(text, sizeof(text), "%02x:%02x:%02x:%02x:%02x:%02x", b[0], b[1], b[2], b[3], b[4], b[5]);
    return text;
}

std::string Quoted(const char* text)
{
    return "\"" + std::string(text) + "\"";
}

std::string CallArguments(const LogEntry& e)
{
    char text[160];
    switch (e.function) {
    case WpsOpen:
        snprintf(text, sizeof(text), "(%d, %s)", e.values[0], e.values[1] ? "callback" : "null");
        break;
    case WpsFindAp:
        snprintf(text, sizeof(text), "(count, %d, %d)", e.values[0], e.values[1]);
        break;
    case WpsGetAp:
        snprintf(text, sizeof(text), "(%d, bssid, ssid, join, extra)", e.values[0]);
        break;
    case WpsJoin:
        snprintf(text, sizeof(text), "(%s, %s, %d)", Bssid(e.bssid).c_str(), Quoted(e.text).c_str(), e.values[0]);
        break;
    case WpsGetApInfo:
        snprintf(text, sizeof(text), "(%d, %s, %s, %d, credential)", e.values[0], Bssid(e.bssid).c_str(),
                 Quoted(e.text).c_str(), e.values[1]);
        break;
    default:
        snprintf(text, sizeof(text), "()");
        break;
    }
    return text;
}

std::string BackOutputs(const LogEntry& e)
{
    char text[160] = "";
    if (e.stopped)
        return " stopped";
    switch (e.function) {
    case WpsFindAp:
        snprintf(text, sizeof(text), " count=%d", e.values[0]);
        break;
    case WpsGetAp:
        if (e.result)
            snprintf(text, sizeof(text), " bssid=%s ssid=%s join=%d extra=%d", Bssid(e.bssid).c_str(),
                     Quoted(e.text).c_str(), e.values[0], e.values[1]);
        break;
    case WpsGetApInfo:
        if (e.result)
            snprintf(text, sizeof(text), " ssid=%s", Quoted(e.text).c_str());
        break;
    default:
        break;
    }
    return text;
}

std::string FormatEntry(const LogEntry& e)
{
    char stamp[64];
    SYSTEMTIME time = BenchLocalTime(e.timeMs);
    snprintf(stamp, sizeof(stamp), "%llu %02u:%02u:%02u.%03u ", static_cast<unsigned long long>(e.timeMs),
             time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);

    std::string line = stamp;
    switch (e.kind) {
    case LogCall:
        line += "call " + std::string(FunctionName(e.function)) + CallArguments(e);
        break;
    case LogBack:
        line += "back " + std::string(FunctionName(e.function)) + " -> " + std::to_string(e.result) + BackOutputs(e);
        break;
    case LogStatus:
        line += "status " + std::to_string(e.values[0]);
        if (e.text[0])
            line += " " + Quoted(e.text);
        line += " -> " + std::to_string(e.result);
        break;
    case LogNote:
        line += "note " + std::string(e.text);
        break;
    }
    return line + "\r\n";
}

void AppendToFile(const std::string& text)
{
    HANDLE file = CreateFileW(WpsCallLogFile().c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

} // namespace

uint64_t PushLogEntry(LogEntry entry)
{
    entry.timeMs = BenchNowMs();
    uint64_t sequence = g_head.fetch_add(1, std::memory_order_relaxed);
    Slot& slot = g_ring[sequence % kRingSize];
    slot.entry = entry;
    slot.ready.store(sequence + 1, std::memory_order_release);
    WakeBenchWorker();
    return sequence;
}

void WaitLogged(uint64_t sequence, uint32_t timeoutMs)
{
    ULONGLONG start = GetTickCount64();
    while (g_written.load(std::memory_order_acquire) <= sequence && GetTickCount64() - start < timeoutMs) {
        WakeBenchWorker();
        Sleep(1);
    }
}

void DrainLog()
{
    std::string text;
    uint64_t head = g_head.load(std::memory_order_relaxed);
    while (g_tail < head) {
        Slot& slot = g_ring[g_tail % kRingSize];
        if (slot.ready.load(std::memory_order_acquire) != g_tail + 1) {
            uint64_t now = GetTickCount64();
            if (g_stuckSinceMs == 0)
                g_stuckSinceMs = now;
            if (now - g_stuckSinceMs < kAbandonedSlotMs)
                break;
            g_stuckSinceMs = 0;
            ++g_tail;
            continue;
        }
        g_stuckSinceMs = 0;
        text += FormatEntry(slot.entry);
        ++g_tail;
    }
    if (!text.empty())
        AppendToFile(text);
    g_written.store(g_tail, std::memory_order_release);
}

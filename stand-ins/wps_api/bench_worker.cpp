#include "bench_worker.h"

#include <windows.h>

#include <atomic>
#include <string>

#include "bench_scenario.h"
#include "call_log.h"
#include "scenario.h"

namespace {

// Often enough that a change made with the bench tool is seen before the
// next button pass.
constexpr DWORD kPollMs = 20;

HANDLE g_wake;
std::atomic<bool> g_ready{false};
std::atomic<uint32_t> g_reloadWanted{0};
std::atomic<uint32_t> g_reloadDone{0};

struct FileStamp {
    FILETIME written{};
    DWORD size = 0;
    bool operator!=(const FileStamp& other) const
    {
        return CompareFileTime(&written, &other.written) != 0 || size != other.size;
    }
};

FileStamp StampOf(const std::wstring& path)
{
    FileStamp stamp;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        stamp.written = data.ftLastWriteTime;
        stamp.size = data.nFileSizeLow;
    }
    return stamp;
}

DWORD WINAPI BenchWorker(void*)
{
    const std::wstring accessPoints = AccessPointsFile();
    const std::wstring scenarioFile = WpsScenarioFile();
    FileStamp accessPointsStamp;
    FileStamp scenarioStamp;
    bool first = true;
    for (;;) {
        uint32_t wanted = g_reloadWanted.load(std::memory_order_acquire);
        FileStamp a = StampOf(accessPoints);
        FileStamp s = StampOf(scenarioFile);
        if (first || a != accessPointsStamp || s != scenarioStamp || wanted != g_reloadDone.load()) {
            accessPointsStamp = a;
            scenarioStamp = s;
            Scenario scenario;
            LoadScenario(scenario);
            PublishScenario(scenario);
            g_reloadDone.store(wanted, std::memory_order_release);
            if (first)
                g_ready.store(true, std::memory_order_release);
            first = false;
        }
        DrainLog();
        WaitForSingleObject(g_wake, kPollMs);
    }
}

void WaitUntil(const std::atomic<bool>& flag, uint32_t timeoutMs)
{
    ULONGLONG start = GetTickCount64();
    while (!flag.load(std::memory_order_acquire) && GetTickCount64() - start < timeoutMs)
        Sleep(1);
}

} // namespace

void StartBenchWorker()
{
    g_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    HANDLE thread = CreateThread(nullptr, 0, BenchWorker, nullptr, 0, nullptr);
    if (thread)
        CloseHandle(thread);
}

void WaitBenchReady(uint32_t timeoutMs)
{
    WaitUntil(g_ready, timeoutMs);
}

void ReloadScenario(uint32_t timeoutMs)
{
    uint32_t wanted = g_reloadWanted.fetch_add(1, std::memory_order_acq_rel) + 1;
    WakeBenchWorker();
    ULONGLONG start = GetTickCount64();
    while (static_cast<int32_t>(g_reloadDone.load(std::memory_order_acquire) - wanted) < 0 &&
           GetTickCount64() - start < timeoutMs)
        Sleep(1);
}

void WakeBenchWorker()
{
    SetEvent(g_wake);
}

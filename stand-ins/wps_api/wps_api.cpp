// Stand-in for the vendor's wps_api.dll: a radio with the access points of
// the bench and the adapter's button, acting out the bench scenario.
//
// The service suspends its button thread wherever it stands and may
// terminate its session thread inside a call, so no call here takes a lock,
// allocates or touches a file: they read the published scenario, keep their
// own state in atomics and hand their records to the bench worker.
#include <windows.h>

#include <atomic>
#include <string.h>

#include "bench_worker.h"
#include "call_log.h"
#include "scenario.h"
#include "wps_api.h"

namespace {

// The library calls back at least this often while a call runs.
constexpr DWORD kTickMs = 100;
// WPS device password id of the push-button method, handed from wps_getAP
// to wps_join.
constexpr unsigned char kPushButtonPasswordId = 4;

// Codes the stand-in reports on its own while a call runs.
constexpr uint32_t kOwnStatus[WpsFunctionCount] = {0, 1, 2, kWpsStatusAssociating, 12, 0, 0, 0, 0, 0};

std::atomic<WpsStatusCallbackFn> g_callback{nullptr};
std::atomic<bool> g_libraryOpen{false};
std::atomic<int> g_joined{-1};
std::atomic<bool> g_gpioOpen{false};
std::atomic<DWORD> g_buttonThread{0};

void Read(Scenario& scenario)
{
    WaitBenchReady(2000);
    ReadScenario(scenario);
}

LogEntry Entry(LogKind kind, WpsFunction function)
{
    LogEntry entry{};
    entry.kind = kind;
    entry.function = function;
    return entry;
}

void CopyText(char* to, const char* from)
{
    if (from)
        strncpy(to, from, 32);
    to[32] = 0;
}

void LogCallOf(WpsFunction function, int32_t a = 0, int32_t b = 0, const unsigned char* bssid = nullptr,
               const char* ssid = nullptr)
{
    LogEntry entry = Entry(LogCall, function);
    entry.values[0] = a;
    entry.values[1] = b;
    if (bssid)
        memcpy(entry.bssid, bssid, 6);
    CopyText(entry.text, ssid);
    PushLogEntry(entry);
}

// The session's calls wait until their record is in the file, so that the
// log is complete by the time the service publishes the outcome.
unsigned char Back(WpsFunction function, unsigned char result, LogEntry entry = {}, bool waitLogged = true)
{
    entry.kind = LogBack;
    entry.function = function;
    entry.result = result;
    uint64_t sequence = PushLogEntry(entry);
    if (waitLogged)
        WaitLogged(sequence, 500);
    return result;
}

unsigned char ButtonBack(WpsFunction function, unsigned char result)
{
    return Back(function, result, {}, false);
}

const RadioAccessPoint* PushButtonPoint(const Scenario& scenario, int index)
{
    for (uint32_t i = 0; i < scenario.accessPointCount; ++i)
        if (scenario.accessPoints[i].pushButton && index-- == 0)
            return &scenario.accessPoints[i];
    return nullptr;
}

int PointByBssid(const Scenario& scenario, const unsigned char* bssid)
{
    for (uint32_t i = 0; i < scenario.accessPointCount; ++i)
        if (memcmp(scenario.accessPoints[i].bssid, bssid, 6) == 0)
            return static_cast<int>(i);
    return -1;
}

bool Report(uint32_t status, const char* network)
{
    WpsStatusCallbackFn callback = g_callback.load();
    if (!callback)
        return true;
    char data[33] = {};
    CopyText(data, network);
    bool goOn = callback(nullptr, status, status == kWpsStatusAssociating || status == kWpsStatusAssociated ? data
                                                                                                           : nullptr) != 0;
    LogEntry entry = Entry(LogStatus, WpsFunctionCount);
    entry.values[0] = static_cast<int32_t>(status);
    entry.result = goOn;
    if (status == kWpsStatusAssociating || status == kWpsStatusAssociated)
        CopyText(entry.text, network);
    PushLogEntry(entry);
    return goOn;
}

// The time a call spends on the radio: calls back at once and then every
// tick until its delay is over, or for ever while it hangs (a listening hang
// still stops at a false answer). False, and the call's answer marked
// stopped, when the callback stopped it.
bool RunOnRadio(WpsFunction function, const char* network, LogEntry& back)
{
    Scenario scenario;
    Read(scenario);
    const CallScript& first = scenario.calls[function];
    if (first.delayMs == 0 && first.hang == 0 && first.statusCount == 0)
        return true;

    ULONGLONG start = GetTickCount64();
    for (uint32_t tick = 0;; ++tick) {
        Read(scenario);
        const CallScript& script = scenario.calls[function];
        uint32_t status = kOwnStatus[function];
        if (script.statusCount > 0)
            status = script.status[tick < script.statusCount ? tick : script.statusCount - 1];
        bool goOn = Report(status, network);
        if (!goOn && script.hang != kWpsHangDeaf) {
            back.stopped = 1;
            return false;
        }
        ULONGLONG elapsed = GetTickCount64() - start;
        if (script.hang == 0 && elapsed >= script.delayMs)
            return true;
        DWORD pause = kTickMs;
        if (script.hang == 0 && script.delayMs - elapsed < pause)
            pause = static_cast<DWORD>(script.delayMs - elapsed);
        Sleep(pause);
    }
}

const char* NetworkOfFirstPoint(const Scenario& scenario)
{
    const RadioAccessPoint* point = PushButtonPoint(scenario, 0);
    return point ? point->ssid : "";
}

} // namespace

extern "C" {

unsigned char wps_open(int32_t reserved, WpsStatusCallbackFn callback)
{
    // A session starts from the scenario as the bench last set it.
    ReloadScenario(1000);
    LogCallOf(WpsOpen, reserved, callback != nullptr);
    g_callback.store(callback);
    g_joined.store(-1);
    LogEntry back{};
    if (!RunOnRadio(WpsOpen, "", back))
        return Back(WpsOpen, 0, back);
    Scenario scenario;
    Read(scenario);
    if (scenario.calls[WpsOpen].fail)
        return Back(WpsOpen, 0);
    g_libraryOpen.store(true);
    return Back(WpsOpen, 1);
}

unsigned char wps_findAP(int32_t* apCount, int32_t reserved, int32_t timeout)
{
    LogCallOf(WpsFindAp, reserved, timeout);
    Scenario scenario;
    Read(scenario);
    LogEntry back{};
    *apCount = 0;
    if (!g_libraryOpen.load())
        return Back(WpsFindAp, 0, back);
    if (!RunOnRadio(WpsFindAp, NetworkOfFirstPoint(scenario), back))
        return Back(WpsFindAp, 0, back);
    Read(scenario);
    if (scenario.calls[WpsFindAp].fail)
        return Back(WpsFindAp, 0, back);
    int32_t count = 0;
    while (PushButtonPoint(scenario, count))
        ++count;
    *apCount = count;
    back.values[0] = count;
    return Back(WpsFindAp, count > 0, back);
}

unsigned char wps_getAP(int32_t index, unsigned char* bssid, char* ssid, unsigned char* joinValue, uint32_t* extra)
{
    LogCallOf(WpsGetAp, index);
    LogEntry back{};
    if (!g_libraryOpen.load())
        return Back(WpsGetAp, 0, back);
    Scenario scenario;
    Read(scenario);
    if (!RunOnRadio(WpsGetAp, NetworkOfFirstPoint(scenario), back))
        return Back(WpsGetAp, 0, back);
    Read(scenario);
    const RadioAccessPoint* point = PushButtonPoint(scenario, index);
    if (scenario.calls[WpsGetAp].fail || !point)
        return Back(WpsGetAp, 0, back);
    memcpy(bssid, point->bssid, 6);
    memset(ssid, 0, 33);
    memcpy(ssid, point->ssid, 32);
    *joinValue = kPushButtonPasswordId;
    *extra = 0;
    memcpy(back.bssid, point->bssid, 6);
    CopyText(back.text, point->ssid);
    back.values[0] = kPushButtonPasswordId;
    return Back(WpsGetAp, 1, back);
}

unsigned char wps_join(unsigned char* bssid, char* ssid, unsigned char joinValue)
{
    LogCallOf(WpsJoin, joinValue, 0, bssid, ssid);
    LogEntry back{};
    if (!g_libraryOpen.load())
        return Back(WpsJoin, 0, back);
    if (!RunOnRadio(WpsJoin, ssid, back))
        return Back(WpsJoin, 0, back);
    Scenario scenario;
    Read(scenario);
    int point = PointByBssid(scenario, bssid);
    // Only an access point still in push-button mode lets us in, and only
    // by the method that wps_getAP named.
    if (scenario.calls[WpsJoin].fail || point < 0 || !scenario.accessPoints[point].pushButton ||
        joinValue != kPushButtonPasswordId)
        return Back(WpsJoin, 0, back);
    if (!Report(kWpsStatusAssociated, ssid)) {
        back.stopped = 1;
        return Back(WpsJoin, 0, back);
    }
    g_joined.store(point);
    return Back(WpsJoin, 1, back);
}

unsigned char wps_get_AP_info(int32_t reserved, unsigned char* bssid, char* ssid, int32_t reserved2,
                              WpsCredential* credential)
{
    LogCallOf(WpsGetApInfo, reserved, reserved2, bssid, ssid);
    LogEntry back{};
    if (!g_libraryOpen.load())
        return Back(WpsGetApInfo, 0, back);
    if (!RunOnRadio(WpsGetApInfo, ssid, back))
        return Back(WpsGetApInfo, 0, back);
    Scenario scenario;
    Read(scenario);
    int point = PointByBssid(scenario, bssid);
    if (scenario.calls[WpsGetApInfo].fail || point < 0 || point != g_joined.load())
        return Back(WpsGetApInfo, 0, back);
    memcpy(credential, &scenario.accessPoints[point].credential, sizeof(*credential));
    CopyText(back.text, scenario.accessPoints[point].credential.Ssid);
    return Back(WpsGetApInfo, 1, back);
}

unsigned char wps_close(void)
{
    LogCallOf(WpsClose);
    g_libraryOpen.store(false);
    g_joined.store(-1);
    g_callback.store(nullptr);
    Scenario scenario;
    Read(scenario);
    return Back(WpsClose, !scenario.calls[WpsClose].fail);
}

unsigned char wps_gpio_open(void)
{
    LogCallOf(WpsGpioOpen);
    g_buttonThread.store(GetCurrentThreadId());
    g_gpioOpen.store(true);
    Scenario scenario;
    Read(scenario);
    return ButtonBack(WpsGpioOpen, !scenario.calls[WpsGpioOpen].fail);
}

unsigned char wps_hwbutton_supported(void)
{
    LogCallOf(WpsHwbuttonSupported);
    Scenario scenario;
    Read(scenario);
    return ButtonBack(WpsHwbuttonSupported,
                      scenario.buttonSupported && !scenario.calls[WpsHwbuttonSupported].fail);
}

unsigned char wps_get_hwbutton_state(void)
{
    LogCallOf(WpsGetHwbuttonState);
    Scenario scenario;
    Read(scenario);
    bool readable = g_gpioOpen.load() && scenario.buttonSupported && !scenario.calls[WpsGetHwbuttonState].fail;
    // The reads of a counted press, whenever this library learns of it: a
    // loaded machine cannot make it miss them.
    static uint64_t serial = 0;
    static uint32_t readsLeft = 0;
    if (scenario.pressSerial != serial) {
        serial = scenario.pressSerial;
        readsLeft = scenario.pressReads;
    }
    bool pressed = readable && BenchNowMs() < scenario.pressedUntilMs;
    if (readable && !pressed && readsLeft > 0) {
        --readsLeft;
        pressed = true;
    }
    return ButtonBack(WpsGetHwbuttonState, pressed);
}

unsigned char wps_gpio_close(void)
{
    LogCallOf(WpsGpioClose);
    g_gpioOpen.store(false);
    Scenario scenario;
    Read(scenario);
    return ButtonBack(WpsGpioClose, !scenario.calls[WpsGpioClose].fail);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void* reserved)
{
    if (reason == DLL_PROCESS_ATTACH) {
        StartBenchWorker();
    } else if (reason == DLL_THREAD_DETACH && GetCurrentThreadId() == g_buttonThread.load()) {
        // A button thread that ends by itself, not by termination. Not
        // waited for here: this runs under the loader lock, which every other
        // thread's end needs too, and the log's writer may be waiting for it.
        LogEntry entry = Entry(LogNote, WpsFunctionCount);
        CopyText(entry.text, "button thread ended");
        PushLogEntry(entry);
    } else if (reason == DLL_PROCESS_DETACH && reserved) {
        // The process is ending and its other threads, the writer's too, are
        // gone: what is still queued is written now.
        DrainLog();
    }
    return TRUE;
}
}

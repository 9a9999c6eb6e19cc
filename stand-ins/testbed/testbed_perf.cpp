// testbed perf ..., testbed handles ...: the figures of scripts/perf.sh.
// Presses through the agent, timed from the stand-ins' own time stamps;
// sessions straight through the service's control code; the stand-ins' own
// idle cost without the product; handle counts of running programs.
#include "testbed.h"

#include <windows.h>

#include <stdio.h>
#include <string.h>
#include <wchar.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "adapter.h"
#include "bench_dir.h"
#include "bench_leds.h"
#include "bench_processes.h"
#include "bench_text.h"
#include "contract.h"
#include "unique_handle.h"
#include "wlan_bench.h"
#include "wps_bench.h"

namespace {

// The design's waits between the button poll and the text.
constexpr int64_t kPollMs = 300;
constexpr int kWorkerTicksToText = 3;
constexpr int64_t kFloorLowMs = kWorkerTicksToText * kPollMs;
constexpr int64_t kFloorMeanMs = kFloorLowMs + kPollMs / 2;
// Past this after the agent's poll the text came one worker tick late.
constexpr int64_t kLateTextAfterShownMs = kFloorLowMs + kPollMs / 2;
constexpr uint32_t kSessionWaitMs = 10000;
constexpr wchar_t kHandOffFile[] = L"wps_profile.xml";
// How often a start or stop looks at the service's state, and for how long.
constexpr DWORD kStatePollMs = 1;
constexpr DWORD kStateWaitMs = 30000;
// Lets a started service reach its idle LED state before it is stopped.
constexpr DWORD kSettleMs = 1500;

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs, DWORD stepMs)
{
    ULONGLONG start = GetTickCount64();
    while (!done()) {
        if (GetTickCount64() - start > timeoutMs)
            return false;
        Sleep(stepMs);
    }
    return true;
}

struct WpsLogLine {
    int64_t ms = 0;
    std::string event; // "call wps_open(...)", "back wps_close -> 1", ...
};

std::vector<WpsLogLine> ReadWpsLog()
{
    std::vector<WpsLogLine> lines;
    std::string text = ReadWholeFile(WpsCallLogFile());
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        std::string line = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? text.size() : end + 1;
        // "<Unix ms> <hh:mm:ss.mmm> <event>"
        size_t clock = line.find(' ');
        size_t event = clock == std::string::npos ? clock : line.find(' ', clock + 1);
        if (event != std::string::npos)
            lines.push_back({_atoi64(line.c_str()), line.substr(event + 1)});
    }
    return lines;
}

int64_t FirstWpsEvent(const std::vector<WpsLogLine>& log, int64_t from, const char* prefix)
{
    for (const WpsLogLine& line : log)
        if (line.ms >= from && line.event.compare(0, strlen(prefix), prefix) == 0)
            return line.ms;
    return 0;
}

int64_t FirstAgentWlanCall(const std::vector<WlanCall>& calls, int64_t from, const wchar_t* function)
{
    for (const WlanCall& call : calls)
        if (static_cast<int64_t>(call.clockMs) >= from && call.program == L"Quorvel.exe" && call.function == function)
            return static_cast<int64_t>(call.clockMs);
    return 0;
}

std::wstring Message(HWND dialog)
{
    wchar_t text[512] = L"";
    GetDlgItemTextW(dialog, kMessageText, text, ARRAYSIZE(text));
    return text;
}

struct PressTimes {
    int64_t press = 0, poll = 0, shown = 0, open = 0, close = 0, disconnect = 0, setProfile = 0, text = 0;
};

// One press, held until the service's button poll has read it. The dialog is
// looked at every millisecond: it shows itself at the agent's poll, and the
// result text comes at a tick of the worker's timer started there.
bool TimePress(HWND dialog, PressTimes& t, std::wstring& message)
{
    DeleteFileW(WpsCallLogFile().c_str());
    DeleteFileW(WlanCallLogFile().c_str());
    const std::wstring idle = Message(dialog);
    t.press = static_cast<int64_t>(BenchNowMs());
    WriteScenario(L"button", L"pressed_until", L"held");
    bool held = true;
    for (int look = 0; !t.text; ++look) {
        int64_t now = static_cast<int64_t>(BenchNowMs());
        if (now - t.press > 15000)
            break;
        if (!t.shown && IsWindowVisible(dialog))
            t.shown = now;
        if (t.shown && Message(dialog) != idle)
            t.text = now;
        if (held && look % 8 == 0 && FirstWpsEvent(ReadWpsLog(), t.press, "back wps_get_hwbutton_state -> 1")) {
            WriteScenario(L"button", L"pressed_until", L"0");
            held = false;
        }
        Sleep(1);
    }
    if (held)
        WriteScenario(L"button", L"pressed_until", L"0");
    if (!t.text)
        return false;
    message = Message(dialog);

    std::vector<WpsLogLine> log = ReadWpsLog();
    t.poll = FirstWpsEvent(log, t.press, "back wps_get_hwbutton_state -> 1");
    t.open = FirstWpsEvent(log, t.poll, "call wps_open");
    t.close = FirstWpsEvent(log, t.open, "back wps_close");
    std::vector<WlanCall> calls = ReadWlanCalls();
    t.disconnect = FirstAgentWlanCall(calls, t.close, L"WlanDisconnect");
    t.setProfile = FirstAgentWlanCall(calls, t.disconnect, L"WlanSetProfile");

    SendMessageW(GetDlgItem(dialog, kActionButton), BM_CLICK, 0, 0);
    return WaitUntil([&] { return !IsWindowVisible(dialog); }, 3000, 5);
}

struct Spread {
    int64_t min, median, max;
};

Spread SpreadOf(std::vector<int64_t> values)
{
    std::sort(values.begin(), values.end());
    return {values.front(), values[values.size() / 2], values.back()};
}

void PrintRow(const wchar_t* name, const std::vector<PressTimes>& presses,
              const std::function<int64_t(const PressTimes&)>& phase, const wchar_t* design)
{
    std::vector<int64_t> values;
    for (const PressTimes& t : presses)
        values.push_back(phase(t));
    Spread s = SpreadOf(values);
    wprintf(L"  %-28ls %6lld %6lld %6lld   %ls\n", name, s.min, s.median, s.max, design);
}

// perf presses N
int Presses(int count)
{
    HWND dialog = FindAgentDialog();
    if (!dialog) {
        fwprintf(stderr, L"testbed: no Quorvel dialog is running\n");
        return 1;
    }
    std::vector<PressTimes> presses;
    int wrong = 0;
    for (int i = 0; i < count; ++i) {
        PressTimes t;
        std::wstring message;
        if (!TimePress(dialog, t, message) || !t.setProfile) {
            fwprintf(stderr, L"testbed: press %d gave no result (message \"%ls\")\n", i + 1, message.c_str());
            return 1;
        }
        // Every press here succeeds; the first words of the success text say so.
        wrong += message.find(L"network is set up") == std::wstring::npos;
        presses.push_back(t);
        // Start the next press at another point of the 300 ms polls.
        Sleep(150 + (i * 97) % 300);
    }

    int late = 0;
    for (const PressTimes& t : presses)
        late += t.text - t.shown > kLateTextAfterShownMs;
    wprintf(L"Press-to-result latency, %d presses (ms)               min median    max   design\n", count);
    PrintRow(L"press -> button poll", presses, [](const PressTimes& t) { return t.poll - t.press; },
             L"0-300, the monitor's poll (the stand-in sees a press within 20)");
    PrintRow(L"poll -> agent's poll", presses, [](const PressTimes& t) { return t.shown - t.poll; },
             L"0-300, the agent's poll (when its dialog shows)");
    PrintRow(L"agent's poll -> wps_open", presses, [](const PressTimes& t) { return t.open - t.shown; }, L"0");
    PrintRow(L"session", presses, [](const PressTimes& t) { return t.close - t.open; },
             L"0, a WPS exchange of 0 s");
    PrintRow(L"DoneEvent -> disconnect", presses, [](const PressTimes& t) { return t.disconnect - t.close; },
             L"0, the profile loaded");
    PrintRow(L"disconnect -> set-profile", presses, [](const PressTimes& t) { return t.setProfile - t.disconnect; },
             L"300, a fixed wait");
    PrintRow(L"set-profile -> text", presses, [](const PressTimes& t) { return t.text - t.setProfile; },
             L"300, a fixed wait, + the rest to the worker timer's third tick");
    PrintRow(L"press -> text", presses, [](const PressTimes& t) { return t.text - t.press; }, L"900-1500");
    PrintRow(L"poll -> text", presses, [](const PressTimes& t) { return t.text - t.poll; },
             L"900-1200, mean 1050: the floor");
    PrintRow(L"poll -> text, past its floor", presses,
             [](const PressTimes& t) { return t.text - t.poll - (t.shown - t.poll + kFloorLowMs); },
             L"0 (target: median within 50)");
    PrintRow(L"worker's end -> third tick", presses, [](const PressTimes& t) { return t.text - t.setProfile - kPollMs; },
             L"what is left after the two fixed waits");
    wprintf(L"  floor of poll -> text: the agent's poll, U(0,300) after the button poll, + %d x %lld ms ticks of\n"
            L"  the worker's timer = %lld-%lld, mean %lld; per press: (agent's poll - button poll) + %lld\n",
            kWorkerTicksToText, kPollMs, kFloorLowMs, kFloorLowMs + kPollMs, kFloorMeanMs, kFloorLowMs);
    wprintf(L"  presses whose text came a worker tick late: %d (target 0); wrong texts: %d\n", late, wrong);
    return 0;
}

// perf sessions N: StartEnrollment straight to the service, DoneEvent awaited.
int Sessions(int count)
{
    wchar_t temp[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp, length) + kHandOffFile;
    if (RegSetKeyValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kPathValue, REG_SZ, path.c_str(),
                        static_cast<DWORD>((path.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS) {
        fwprintf(stderr, L"testbed: cannot write Path\n");
        return 1;
    }
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_USER_DEFINED_CONTROL));
    UniqueHandle done(OpenEventW(SYNCHRONIZE, FALSE, kDoneEventName));
    if (!service || !done) {
        fwprintf(stderr, L"testbed: the service is not running\n");
        return 1;
    }
    int outcomes[3] = {}, lost = 0;
    ULONGLONG start = GetTickCount64();
    for (int i = 0; i < count; ++i) {
        WaitForSingleObject(done.get(), 0);
        SERVICE_STATUS status;
        ControlService(service.get(), StartEnrollment, &status);
        DWORD exitCode = 0;
        DWORD size = sizeof(exitCode);
        if (WaitForSingleObject(done.get(), kSessionWaitMs) != WAIT_OBJECT_0 ||
            RegGetValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kExitCodeValue, RRF_RT_REG_DWORD, nullptr,
                         &exitCode, &size) != ERROR_SUCCESS ||
            exitCode > 2)
            ++lost;
        else
            ++outcomes[exitCode];
        // The session thread still ends itself after DoneEvent; a start before that is ignored.
        Sleep(30);
    }
    DeleteFileW(path.c_str());
    wprintf(L"%d sessions in %.1f s: %d succeeded, %d failed, %d overlapped, %d lost\n", count,
            (GetTickCount64() - start) / 1000.0, outcomes[0], outcomes[1], outcomes[2], lost);
    return lost == 0 ? 0 : 1;
}

// The bench clock when the service first reports state, or -1 past the wait.
int64_t AwaitState(SC_HANDLE service, DWORD state)
{
    SERVICE_STATUS status{};
    for (DWORD waited = 0; waited < kStateWaitMs; waited += kStatePollMs) {
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state)
            return static_cast<int64_t>(BenchNowMs());
        Sleep(kStatePollMs);
    }
    return -1;
}

// perf stops N: N starts and stops of the installed service, the stop timed
// against the LED tool's exit sequence that it runs.
int StartsAndStops(int count)
{
    UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    UniqueScHandle service(OpenServiceW(manager.get(), kServiceName, SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS));
    if (!service) {
        fwprintf(stderr, L"testbed: the service is not installed\n");
        return 1;
    }
    std::wstring bench = BenchDirectory();
    std::vector<int64_t> starts, stops, spans, lastRunToStopped;
    SERVICE_STATUS status;
    ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    AwaitState(service.get(), SERVICE_STOPPED);
    for (int i = 0; i < count; ++i) {
        int64_t startAt = static_cast<int64_t>(BenchNowMs());
        StartServiceW(service.get(), 0, nullptr);
        int64_t running = AwaitState(service.get(), SERVICE_RUNNING);
        Sleep(kSettleMs);
        int64_t stopAt = static_cast<int64_t>(BenchNowMs());
        ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
        int64_t stopped = AwaitState(service.get(), SERVICE_STOPPED);
        std::vector<int64_t> runs;
        for (const LedRun& run : ReadLedRuns(bench))
            if (run.timeMs >= stopAt)
                runs.push_back(run.timeMs);
        if (running < 0 || stopped < 0 || runs.empty()) {
            fwprintf(stderr, L"testbed: start or stop %d did not finish, or ran no LED tool\n", i + 1);
            return 1;
        }
        starts.push_back(running - startAt);
        stops.push_back(stopped - stopAt);
        spans.push_back(runs.back() - runs.front());
        lastRunToStopped.push_back(stopped - runs.back());
    }
    StartServiceW(service.get(), 0, nullptr);
    AwaitState(service.get(), SERVICE_RUNNING);
    wprintf(L"Service start and stop, median of %d (ms)\n", count);
    wprintf(L"  start -> RUNNING                %6lld\n", SpreadOf(starts).median);
    wprintf(L"  stop -> STOPPED                 %6lld\n", SpreadOf(stops).median);
    wprintf(L"  exit sequence's LED runs, span  %6lld\n", SpreadOf(spans).median);
    wprintf(L"  last LED run -> STOPPED         %6lld   (target: within 100)\n", SpreadOf(lastRunToStopped).median);
    return 0;
}

// perf standins SECONDS: what the service asks of the stand-ins while idle,
// without the service: the button read every 300 ms, the link every 1000 ms.
int StandInsAlone(int seconds)
{
    using ButtonFn = unsigned char (*)();
    UniqueHmodule wps(LoadLibraryW(L"wps_api.dll"));
    auto supported = reinterpret_cast<ButtonFn>(
        reinterpret_cast<void*>(GetProcAddress(wps.get(), "wps_hwbutton_supported")));
    auto state = reinterpret_cast<ButtonFn>(
        reinterpret_cast<void*>(GetProcAddress(wps.get(), "wps_get_hwbutton_state")));
    auto open = reinterpret_cast<ButtonFn>(reinterpret_cast<void*>(GetProcAddress(wps.get(), "wps_gpio_open")));
    if (!supported || !state || !open) {
        fwprintf(stderr, L"testbed: no wps_api.dll stand-in beside the bench tool\n");
        return 1;
    }
    open();
    ULONGLONG start = GetTickCount64();
    ULONGLONG nextLink = start;
    while (GetTickCount64() - start < static_cast<ULONGLONG>(seconds) * 1000) {
        if (supported())
            state();
        if (GetTickCount64() >= nextLink) {
            if (!IsAdapterKnown())
                FindAdapter();
            QueryLinkState();
            nextLink += 1000;
        }
        Sleep(kPollMs);
    }
    return 0;
}

// handles PROGRAM...: "<program> <handles>", the steady count of its one running copy.
int Handles(int argc, wchar_t** argv)
{
    for (int i = 1; i < argc; ++i)
        wprintf(L"%ls %ld\n", argv[i], SteadyHandleCount(argv[i]));
    return 0;
}

int Number(int argc, wchar_t** argv, int index, int fallback)
{
    return argc > index ? _wtoi(argv[index]) : fallback;
}

} // namespace

void PrintPerfHelp()
{
    wprintf(L"Figures (scripts/perf.sh):\n"
            L"  perf presses N          N timed presses through the agent, in phases\n"
            L"  perf sessions N         N sessions through the service's StartEnrollment, each awaited\n"
            L"  perf standins S         the stand-ins' idle calls for S seconds, without the service\n"
            L"  perf stops N            N starts and stops of the service, timed against its LED runs\n"
            L"  handles PROGRAM...      the handle count of each running copy of PROGRAM\n"
            L"  bench remove            delete the bench folder and all it holds\n\n");
}

int RunPerfCommand(int argc, wchar_t** argv)
{
    if (wcscmp(argv[0], L"handles") == 0)
        return Handles(argc, argv);
    const wchar_t* command = argc > 1 ? argv[1] : L"";
    if (wcscmp(command, L"presses") == 0)
        return Presses(Number(argc, argv, 2, 30));
    if (wcscmp(command, L"sessions") == 0)
        return Sessions(Number(argc, argv, 2, 1000));
    if (wcscmp(command, L"stops") == 0)
        return StartsAndStops(Number(argc, argv, 2, 5));
    if (wcscmp(command, L"standins") == 0)
        return StandInsAlone(Number(argc, argv, 2, 60));
    PrintPerfHelp();
    return 2;
}

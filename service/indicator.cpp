#include "indicator.h"

#include <strsafe.h>
#include <wchar.h>

#include "clock.h"
#include "service_state.h"
#include "tool_process.h"

namespace {

// Both are used by the indicator thread only. An empty ToolCommandLine means
// ServiceDirectory is still to be computed.
wchar_t ServiceDirectory[MAX_PATH];
wchar_t ToolCommandLine[MAX_PATH];

// The LED tool's commands. LED 2 follows the link, LED 3 shows how a session
// ended; what each mode code looks like is up to the tool.
constexpr wchar_t kTakeLeds[] = L"mpc 0";
constexpr wchar_t kAdapterUp[] = L"up";
constexpr wchar_t kReleaseLeds[] = L"mpc 1";
constexpr wchar_t kLinkLedOff[] = L"ledbh 2 0";
constexpr wchar_t kLinkLedOn[] = L"ledbh 2 1";
constexpr wchar_t kLinkLedBusy[] = L"ledbh 2 15";
constexpr wchar_t kLinkLedReleased[] = L"ledbh 2 11";
constexpr wchar_t kResultLedOff[] = L"ledbh 3 0";
constexpr wchar_t kResultLedOn[] = L"ledbh 3 17";
constexpr wchar_t kResultLedReleased[] = L"ledbh 3 11";

const wchar_t* const kStartSequence[] = {kTakeLeds, kAdapterUp, kLinkLedOff, kResultLedOff};
const wchar_t* const kBusyCommands[] = {kResultLedOff, kLinkLedOff, kLinkLedBusy};
const wchar_t* const kCancelledCommands[] = {kLinkLedOff, kResultLedOff};
const wchar_t* const kExitSequence[] = {kLinkLedOff, kLinkLedReleased, kResultLedOff, kResultLedReleased,
                                        kReleaseLeds};

// How long a pattern lasts at most, by the clock and in cycles.
constexpr int64_t kPatternSeconds = 300;
constexpr int32_t kOverlapCycles = 200;
constexpr int32_t kFailureCycles = 600;

// The pauses of the patterns; each tool run adds its own time to them.
struct PatternPauses {
    DWORD successPollMs;
    DWORD overlapOnMs;
    DWORD overlapOffMs;
    DWORD failurePollMs;
    // After a failed wait on the events, before the next one.
    DWORD failedWaitMs;
};
constexpr PatternPauses kPauses{
    .successPollMs = 490, .overlapOnMs = 950, .overlapOffMs = 450, .failurePollMs = 500, .failedWaitMs = 500};

// The directory of the service's executable, without its trailing backslash.
// A path that came back cut leaves no directory: no tool is run from a
// guessed place.
bool ComputeServiceDirectory()
{
    DWORD length = ServiceModulePath(ServiceDirectory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        ServiceDirectory[0] = L'\0';
        return false;
    }
    ServiceDirectory[length] = L'\0';
    wchar_t* lastSeparator = wcsrchr(ServiceDirectory, L'\\');
    if (lastSeparator && lastSeparator != ServiceDirectory)
        *lastSeparator = L'\0';
    return true;
}

template <size_t N>
void RunTools(const wchar_t* const (&commands)[N])
{
    for (const wchar_t* command : commands)
        RunTool(command);
}

HANDLE IndicatorHandle(IndicatorEvent event)
{
    return g_service.IndicatorEvents[event].get();
}

// A zero-time poll; finding the event signalled resets it.
bool Poll(IndicatorEvent event)
{
    return WaitForSingleObject(IndicatorHandle(event), 0) == WAIT_OBJECT_0;
}

// A pattern ends on IndicatorStop or IndicatorCancelled and hands the event
// back to the idle wait, which serves it.
bool StopOrCancelPending()
{
    for (IndicatorEvent event : {IndicatorStop, IndicatorCancelled}) {
        if (Poll(event)) {
            SignalIndicator(event);
            return true;
        }
    }
    return false;
}

void ShowPendingLinkChange()
{
    if (Poll(IndicatorLinkChanged))
        ShowLinkState();
}

// A clock set back gives a negative difference, which never ends a limit.
int64_t SecondsSince(int64_t start)
{
    return CalendarSeconds() - start;
}

// LED 2 held in mode 1 for 300 seconds; link changes wait for its end.
void ShowSuccess()
{
    RunTool(kLinkLedOn);
    int64_t start = CalendarSeconds();
    for (;;) {
        SleepMs(kPauses.successPollMs);
        if (StopOrCancelPending() || SecondsSince(start) >= kPatternSeconds)
            break;
    }
    ShowLinkState();
}

// LED 2 off, LED 3 blinking.
void ShowOverlap()
{
    RunTool(kLinkLedOff);
    int64_t start = CalendarSeconds();
    RunTool(kResultLedOff);
    for (int32_t cycle = 0; cycle < kOverlapCycles; ++cycle) {
        RunTool(kResultLedOn);
        SleepMs(kPauses.overlapOnMs);
        RunTool(kResultLedOff);
        if (SecondsSince(start) > kPatternSeconds || StopOrCancelPending())
            break;
        ShowPendingLinkChange();
        SleepMs(kPauses.overlapOffMs);
    }
    RunTool(kResultLedOff);
}

// LED 3 held in mode 17, LED 2 following the link.
void ShowFailure()
{
    RunTool(kLinkLedOff);
    ShowLinkState();
    int64_t start = CalendarSeconds();
    RunTool(kResultLedOff);
    RunTool(kResultLedOn);
    for (int32_t cycle = 0; cycle < kFailureCycles; ++cycle) {
        SleepMs(kPauses.failurePollMs);
        if (SecondsSince(start) > kPatternSeconds || StopOrCancelPending())
            break;
        ShowPendingLinkChange();
    }
    RunTool(kResultLedOff);
}

} // namespace

DWORD RunTool(const wchar_t* arguments)
{
    if (ToolCommandLine[0] == L'\0' && !ComputeServiceDirectory())
        return 0;
    // A command line that does not fit is not run cut short.
    if (FAILED(StringCchPrintfW(ToolCommandLine, ARRAYSIZE(ToolCommandLine), L"\"%ls\\wl.exe\" %ls", ServiceDirectory,
                                arguments))) {
        ToolCommandLine[0] = L'\0';
        return 0;
    }
    RunToolProcess(ToolCommandLine, ServiceDirectory);
    return 0;
}

void ShowLinkState()
{
    RunTool(g_service.LinkConnected.load() ? kLinkLedOn : kLinkLedOff);
}

DWORD WINAPI IndicatorLoop(void*)
{
    ToolCommandLine[0] = L'\0';
    RunTools(kStartSequence);

    for (;;) {
        HANDLE events[IndicatorEventCount];
        for (int i = 0; i < IndicatorEventCount; ++i)
            events[i] = IndicatorHandle(static_cast<IndicatorEvent>(i));
        // Several signalled: the lowest index is reported and only that one reset.
        DWORD result = WaitForMultipleObjects(IndicatorEventCount, events, FALSE, INFINITE);
        switch (result) {
        case WAIT_OBJECT_0 + IndicatorSuccess:
            ShowSuccess();
            break;
        case WAIT_OBJECT_0 + IndicatorOverlap:
            ShowOverlap();
            break;
        case WAIT_OBJECT_0 + IndicatorFailure:
            ShowFailure();
            break;
        case WAIT_OBJECT_0 + IndicatorBusy:
            RunTools(kBusyCommands);
            break;
        case WAIT_OBJECT_0 + IndicatorCancelled:
            RunTools(kCancelledCommands);
            break;
        case WAIT_OBJECT_0 + IndicatorLinkChanged:
            ShowLinkState();
            break;
        case WAIT_OBJECT_0 + IndicatorStop:
            RunTools(kExitSequence);
            return 0;
        case WAIT_FAILED:
            SleepMs(kPauses.failedWaitMs);
            break;
        default:
            break;
        }
    }
}

#include "indicator.h"

#include <strsafe.h>

#include "clock.h"
#include "service_state.h"
#include "tool_process.h"

namespace {

// Both are used by the indicator thread only. An empty ToolCommandLine means
// ServiceDirectory is still to be computed.
wchar_t ServiceDirectory[MAX_PATH];
wchar_t ToolCommandLine[MAX_PATH];

constexpr int64_t kPatternSeconds = 300;
constexpr int32_t kOverlapCycles = 200;
constexpr int32_t kFailureCycles = 600;

const wchar_t* const kStartSequence[] = {L"mpc 0", L"up", L"ledbh 2 0", L"ledbh 3 0"};
const wchar_t* const kBusyCommands[] = {L"ledbh 3 0", L"ledbh 2 0", L"ledbh 2 15"};
const wchar_t* const kCancelledCommands[] = {L"ledbh 2 0", L"ledbh 3 0"};
const wchar_t* const kExitSequence[] = {L"ledbh 2 0", L"ledbh 2 11", L"ledbh 3 0", L"ledbh 3 11", L"mpc 1"};

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
    for (DWORD i = length - 1; i > 0; --i) {
        if (ServiceDirectory[i] == L'\\') {
            ServiceDirectory[i] = L'\0';
            break;
        }
    }
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
    RunTool(L"ledbh 2 1");
    int64_t start = CalendarSeconds();
    for (;;) {
        SleepMs(490);
        if (StopOrCancelPending() || SecondsSince(start) >= kPatternSeconds)
            break;
    }
    ShowLinkState();
}

// LED 2 off, LED 3 blinking.
void ShowOverlap()
{
    RunTool(L"ledbh 2 0");
    int64_t start = CalendarSeconds();
    RunTool(L"ledbh 3 0");
    for (int32_t cycle = 0; cycle < kOverlapCycles; ++cycle) {
        RunTool(L"ledbh 3 17");
        SleepMs(950);
        RunTool(L"ledbh 3 0");
        if (SecondsSince(start) > kPatternSeconds || StopOrCancelPending())
            break;
        ShowPendingLinkChange();
        SleepMs(450);
    }
    RunTool(L"ledbh 3 0");
}

// LED 3 held in mode 17, LED 2 following the link.
void ShowFailure()
{
    RunTool(L"ledbh 2 0");
    ShowLinkState();
    int64_t start = CalendarSeconds();
    RunTool(L"ledbh 3 0");
    RunTool(L"ledbh 3 17");
    for (int32_t cycle = 0; cycle < kFailureCycles; ++cycle) {
        SleepMs(500);
        if (SecondsSince(start) > kPatternSeconds || StopOrCancelPending())
            break;
        ShowPendingLinkChange();
    }
    RunTool(L"ledbh 3 0");
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
    RunTool(g_service.LinkConnected.load() ? L"ledbh 2 1" : L"ledbh 2 0");
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
            SleepMs(500);
            break;
        default:
            break;
        }
    }
}

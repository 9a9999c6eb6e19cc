#pragma once

#include <windows.h>

#include <atomic>
#include <stdint.h>

#include "handoff_file.h"
#include "unique_handle.h"
#include "wps_api.h"

// The seven local events through which the service tells the indicator
// thread what to show, by index.
enum IndicatorEvent {
    IndicatorSuccess = 0,
    IndicatorOverlap = 1,
    IndicatorFailure = 2,
    IndicatorBusy = 3,
    IndicatorCancelled = 4,
    IndicatorLinkChanged = 5,
    IndicatorStop = 6,
    IndicatorEventCount = 7,
};

// The service's one process-wide state record. No lock is taken: the fields
// that cross threads are relaxed atomics, each written whole, and the table
// says who writes and reads each and what it guards. Threads: control (the
// dispatcher running the control handler, and with it the stop work), main
// (ServiceMain and its loop), session, callback (the library's status
// callback, during a session call), indicator and monitor.
//
// | field           | written by                          | read by                          | guards                                   |
// |-----------------|-------------------------------------|----------------------------------|------------------------------------------|
// | ServiceRunning  | main (start), control (stop)        | main loop, control               | the loop's passes; a stop after a failed start |
// | WorkStarted     | main (start done), control (stop)   | control (128, 129, stop)         | controls that need the events and threads |
// | SessionRunning  | control (128), session end (last)   | control, main loop, monitor      | one session at a time; no link poll or button read during one |
// | AbortRequested  | control (128 clears, 129 sets)      | session, callback                | a cancelled session ends as cancelled    |
// | KeepSearching   | control (128), callback (time up)   | session, callback                | the library's search goes on             |
// | LastStatus      | control (128 clears), callback      | session                          | an overlap tells the session's end       |
// | SessionStart    | session                             | session, callback                | the session's 120 s                      |
// | Credential      | session (through the library)       | session (profile writer)         | not shared: one session thread at a time |
// | HandOff         | control (128, before the session)   | session (profile writer)         | the profile goes to the user of the request |
// | LibraryOpen     | session, whoever ends the session   | whoever ends the session         | wps_close once, only after wps_open      |
// | SessionOutcome, SessionEndSteps | control (128 resets), session, control (129) | the same | a session's end published once, step by step |
// | LinkConnected   | main loop                           | indicator                        | the link LED                             |
// | MonitorStop     | control (stop)                      | monitor                          | the monitor's last pass                  |
// | MonitorWake     | control (creates, sets at stop)     | monitor                          | the stop need not wait out a pause       |
// | MonitorReading  | monitor, its creator                | control (128)                    | no suspension inside the library's button calls |
// | ToolStarting    | indicator (around CreateProcessW)   | control (stop)                   | no forced end inside process creation    |
// | StopEvent       | main (creates), control (sets)      | main loop                        | the loop ends as soon as the stop work is done |
struct ServiceState {
    Relaxed<bool> ServiceRunning{false};
    Relaxed<bool> SessionRunning{false};
    Relaxed<bool> AbortRequested{false};
    Relaxed<bool> KeepSearching{true};
    Relaxed<bool> MonitorStop{false};
    Relaxed<bool> LinkConnected{false};
    Relaxed<bool> LibraryOpen{false};
    Relaxed<bool> ToolStarting{false};
    Relaxed<bool> MonitorReading{false};
    Relaxed<bool> WorkStarted{false};
    Relaxed<uint32_t> LastStatus{0};
    Relaxed<int64_t> SessionStart{0};
    WpsCredential Credential{};
    HandOffUser HandOff;

    // See PublishSessionEnd.
    std::atomic<uint32_t> SessionOutcome{0};
    std::atomic<int> SessionEndSteps{0};

    SERVICE_STATUS Status{};
    SERVICE_STATUS_HANDLE StatusHandle = nullptr;

    // Lives as long as the process.
    UniqueHandle StopEvent;
    // Set by the stop with MonitorStop: ends the button monitor's pause.
    UniqueHandle MonitorWake;
    UniqueHandle ButtonEvent;
    UniqueHandle DoneEvent;
    UniqueHandle IndicatorEvents[IndicatorEventCount];
    UniqueHandle IndicatorThread;
    UniqueHandle MonitorThread;
    UniqueHandle SessionThread;
};

extern ServiceState g_service;

void SignalIndicator(IndicatorEvent event);

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

// The service's one process-wide state record. Flags are single bytes read and
// written whole by their owners without locks.
struct ServiceState {
    Relaxed<bool> ServiceRunning{false};
    Relaxed<bool> SessionRunning{false};
    Relaxed<bool> AbortRequested{false};
    Relaxed<bool> KeepSearching{true};
    Relaxed<bool> MonitorStop{false};
    Relaxed<bool> LinkConnected{false};
    Relaxed<bool> LibraryOpen{false};
    // Set while the indicator thread is inside CreateProcessW for the LED
    // tool, and while the button monitor starts or is inside a pass over the
    // library: a thread held there may hold a lock that the holder's next
    // step needs.
    Relaxed<bool> ToolStarting{false};
    Relaxed<bool> MonitorReading{false};
    // Set once StartServiceWork is done: controls that need its events and
    // threads wait for it or are ignored.
    Relaxed<bool> WorkStarted{false};
    Relaxed<uint32_t> LastStatus{0};
    Relaxed<int64_t> SessionStart{0};
    WpsCredential Credential{};
    // The console user when the current request was accepted; written by
    // the control handler before the session thread starts.
    HandOffUser HandOff;

    // The end of the current session, published once (see PublishSessionEnd).
    std::atomic<uint32_t> SessionOutcome{0};
    std::atomic<int> SessionEndSteps{0};

    SERVICE_STATUS Status{};
    SERVICE_STATUS_HANDLE StatusHandle = nullptr;

    UniqueHandle ButtonEvent;
    UniqueHandle DoneEvent;
    UniqueHandle IndicatorEvents[IndicatorEventCount];
    UniqueHandle IndicatorThread;
    UniqueHandle MonitorThread;
    UniqueHandle SessionThread;
};

extern ServiceState g_service;

void SignalIndicator(IndicatorEvent event);

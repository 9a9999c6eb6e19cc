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
    std::atomic<bool> ServiceRunning{false};
    std::atomic<bool> SessionRunning{false};
    std::atomic<bool> AbortRequested{false};
    std::atomic<bool> KeepSearching{true};
    std::atomic<bool> MonitorStop{false};
    std::atomic<bool> LinkConnected{false};
    std::atomic<bool> LibraryOpen{false};
    // Set while the indicator thread is inside CreateProcessW for the LED
    // tool, and while the button monitor starts or is inside a pass over the
    // library: a thread held there may hold a lock that the holder's next
    // step needs.
    std::atomic<bool> ToolStarting{false};
    std::atomic<bool> MonitorReading{false};
    // Set once StartServiceWork is done: controls that need its events and
    // threads wait for it or are ignored.
    std::atomic<bool> WorkStarted{false};
    std::atomic<uint32_t> LastStatus{0};
    std::atomic<int64_t> SessionStart{0};
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

inline bool Relaxed(const std::atomic<bool>& flag)
{
    return flag.load(std::memory_order_relaxed);
}
inline void SetRelaxed(std::atomic<bool>& flag, bool value)
{
    flag.store(value, std::memory_order_relaxed);
}

void SignalIndicator(IndicatorEvent event);

// The IsWow64Process entry of kernel32, looked up at process start.
typedef BOOL(WINAPI* IsWow64ProcessFn)(HANDLE, PBOOL);
extern IsWow64ProcessFn g_isWow64Process;
void ProbeWow64();

// The access list of ParametersKey and the descriptor that carries it.
struct ParametersKeySecurity {
    UniqueSid everyone;
    UniqueSid administrators;
    UniqueSid localSystem;
    UniqueHlocal acl;
    UniqueHlocal descriptor;
};
bool BuildParametersKeySecurity(bool wow64, ParametersKeySecurity& security);

// Suspends the thread at a moment when busy is clear, trying again every
// 20 ms; past limitMs it is suspended where it stands. True when it was held
// outside.
bool SuspendOutside(HANDLE thread, const std::atomic<bool>& busy, DWORD limitMs);

bool CreateParametersKey();
bool StartServiceWork();
bool StopServiceWork();
void CreateWorkers();
void DestroyWorkers();
bool WriteExitCode(DWORD value);

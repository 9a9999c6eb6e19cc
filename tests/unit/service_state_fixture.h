#pragma once

// A fresh g_service for each test: flags at their initial values, the events
// the service would create.

#include <gtest/gtest.h>

#include <windows.h>

#include "fake_clock.h"
#include "fake_wps_api.h"
#include "service_state.h"

inline constexpr DWORD kExitCodeSentinel = 7;

inline void ResetServiceState()
{
    ServiceState& s = g_service;
    s.ServiceRunning.store(false);
    s.SessionRunning.store(false);
    s.AbortRequested.store(false);
    s.KeepSearching.store(true);
    s.MonitorStop.store(false);
    s.LinkConnected.store(false);
    s.LibraryOpen.store(false);
    s.ToolStarting.store(false);
    s.MonitorReading.store(false);
    s.WorkStarted.store(false);
    s.LastStatus.store(0);
    s.SessionStart.store(0);
    s.Credential = WpsCredential{};
    s.HandOff.token.reset();
    s.HandOff.folder[0] = L'\0';
    s.SessionOutcome = 0;
    s.SessionEndSteps = 0;
    s.Status = SERVICE_STATUS{};
    s.ButtonEvent.reset();
    s.DoneEvent.reset();
    for (UniqueHandle& event : s.IndicatorEvents)
        event.reset();
    s.IndicatorThread.reset();
    s.MonitorThread.reset();
    s.SessionThread.reset();
}

inline void CreateServiceEvents()
{
    g_service.ButtonEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    g_service.DoneEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    for (UniqueHandle& event : g_service.IndicatorEvents)
        event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
}

inline bool Signalled(const UniqueHandle& event)
{
    return WaitForSingleObject(event.get(), 0) == WAIT_OBJECT_0;
}

// Consumes every indicator signal; the indices that were signalled, as a
// bit mask.
inline unsigned TakeIndicators()
{
    unsigned mask = 0;
    for (int i = 0; i < IndicatorEventCount; ++i)
        if (Signalled(g_service.IndicatorEvents[i]))
            mask |= 1u << i;
    return mask;
}

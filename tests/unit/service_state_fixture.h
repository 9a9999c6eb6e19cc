#pragma once

// A fresh g_service for each test: flags at their initial values, the events
// the service would create, and ParametersKey with a sentinel ExitCode.

#include <gtest/gtest.h>

#include <windows.h>

#include "contract.h"
#include "fake_clock.h"
#include "fake_wps_api.h"
#include "service_state.h"

inline constexpr DWORD kExitCodeSentinel = 7;

inline void ResetServiceState()
{
    ServiceState& s = g_service;
    SetRelaxed(s.ServiceRunning, false);
    SetRelaxed(s.SessionRunning, false);
    SetRelaxed(s.AbortRequested, false);
    SetRelaxed(s.KeepSearching, true);
    SetRelaxed(s.MonitorStop, false);
    SetRelaxed(s.LinkConnected, false);
    SetRelaxed(s.LibraryOpen, false);
    SetRelaxed(s.ToolStarting, false);
    SetRelaxed(s.MonitorReading, false);
    SetRelaxed(s.WorkStarted, false);
    s.LastStatus = 0;
    s.SessionStart = 0;
    s.Credential = WpsCredential{};
    s.HandOff.token.reset();
    s.HandOff.folder[0] = L'\0';
    s.SessionOutcome = 0;
    s.SessionEndSteps = 0;
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

inline bool CreateParametersKeyForTest(DWORD exitCode)
{
    UniqueHkey key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kParametersKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                        nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), kExitCodeValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&exitCode),
                          sizeof(exitCode)) == ERROR_SUCCESS;
}

inline DWORD ReadExitCodeForTest()
{
    DWORD value = 0xFFFFFFFF;
    DWORD size = sizeof(value);
    RegGetValueW(HKEY_LOCAL_MACHINE, kParametersKeyPath, kExitCodeValue, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

#pragma once

// A fresh g_service for each test: flags at their initial values, the events
// the service would create, and every fake of its edges reset.

#include <gtest/gtest.h>

#include <windows.h>

#include <new>

#include "fake_clock.h"
#include "fake_console_user.h"
#include "fake_folder_volume.h"
#include "fake_wps_api.h"
#include "service_state.h"

inline constexpr DWORD kExitCodeSentinel = 7;
using fake_clock::kWatchdogMs;

// The base of every unit test of the service's state; a test plays its
// library script with fake_wps::Play.
class ServiceStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEdges();
        g_service.StopEvent.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        g_service.MonitorWake.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        g_service.ButtonEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        g_service.DoneEvent.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
        for (UniqueHandle& event : g_service.IndicatorEvents)
            event.reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    }
    void TearDown() override { ResetEdges(); }

private:
    static void ResetEdges()
    {
        // The record as a whole, destroyed (its handles closed) and built anew
        // in place, since its atomics cannot be assigned: no field can be left out.
        g_service.~ServiceState();
        new (&g_service) ServiceState();
        fake_clock::Reset();
        fake_wps::Reset();
        fake_console_user::Reset();
        fake_folder_volume::Reset();
    }
};

// A handle of the test's own to what handle names, which outlives the
// service's closing of its copy.
inline HANDLE CopyOf(const UniqueHandle& handle)
{
    HANDLE copy = nullptr;
    DuplicateHandle(GetCurrentProcess(), handle.get(), GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS);
    return copy;
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

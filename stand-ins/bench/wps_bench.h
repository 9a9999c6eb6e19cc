#pragma once

// How the WPS stand-in behaves beyond the access points, and what it records.
// Kept in bench\wps_scenario.ini:
//
//   [wps_findAP] (a section per library function, named as it is exported)
//                delay=ms       how long the call runs (calling back meanwhile)
//                fail=1         the call answers false
//                hang=1         the call never returns by itself but still
//                               stops when the status callback answers false;
//                               hang=2 ignores the answers too
//                status=21,9    codes reported through the callback while the
//                               call runs, in order, the last one repeated
//   [button]     supported=0|1, pressed_until=Unix ms or "held"
//
// Every call is recorded in bench\wps_calls.log, one line per event:
//   <Unix ms> <hh:mm:ss.mmm> call <function>(<arguments>)
//   <Unix ms> <hh:mm:ss.mmm> back <function> -> <result> [outputs]
//   <Unix ms> <hh:mm:ss.mmm> status <code> ["network"] -> <answer>
//   <Unix ms> <hh:mm:ss.mmm> note <text>

#include <windows.h>

#include <stdint.h>
#include <string>
#include <wchar.h>

#include "bench_clock.h"
#include "bench_dir.h"

enum WpsFunction {
    WpsOpen,
    WpsFindAp,
    WpsGetAp,
    WpsJoin,
    WpsGetApInfo,
    WpsClose,
    WpsGpioOpen,
    WpsHwbuttonSupported,
    WpsGetHwbuttonState,
    WpsGpioClose,
    WpsFunctionCount
};

inline constexpr const wchar_t* kWpsFunctionNames[WpsFunctionCount] = {
    L"wps_open",     L"wps_findAP",    L"wps_getAP",          L"wps_join",
    L"wps_get_AP_info", L"wps_close",  L"wps_gpio_open",      L"wps_hwbutton_supported",
    L"wps_get_hwbutton_state", L"wps_gpio_close",
};

// How long each call runs when the scenario does not say: a search or an
// exchange with the access point takes a moment, as on a real radio, so that
// a session that finds nothing does not spin.
inline constexpr uint32_t kWpsDefaultDelayMs[WpsFunctionCount] = {0, 200, 0, 100, 100, 0, 0, 0, 0, 0};

inline constexpr uint32_t kWpsHangListens = 1;
inline constexpr uint32_t kWpsHangDeaf = 2;

// "findAP", "wps_findAP" and "get_hwbutton_state" all name their function;
// answers WpsFunctionCount for anything else.
inline WpsFunction WpsFunctionByName(const wchar_t* name)
{
    for (int i = 0; i < WpsFunctionCount; ++i) {
        const wchar_t* full = kWpsFunctionNames[i];
        if (_wcsicmp(name, full) == 0 || _wcsicmp(name, full + 4) == 0)
            return static_cast<WpsFunction>(i);
    }
    return WpsFunctionCount;
}

inline std::wstring WpsScenarioFile(const std::wstring& bench = BenchDirectory())
{
    return bench + L"\\wps_scenario.ini";
}

inline std::wstring WpsCallLogFile(const std::wstring& bench = BenchDirectory())
{
    return bench + L"\\wps_calls.log";
}

inline constexpr uint64_t kButtonHeld = UINT64_MAX;


#pragma once

// The Native Wifi stand-in's world, shared by every process that loads it
// (the service under the SCM, the agent, the bench tool, tests): the WLAN
// service, its interfaces with their connections, each interface's profile
// store, and a log of the calls made. It lives in files of the bench folder,
// read and written whole under one named mutex.
//
//   bench\wlan_state.txt   the state, one record a line
//   bench\wlan_calls.log   one line a call: tick, process id, program,
//                          function, result, details, and the Unix ms of
//                          the WPS stand-in's log, to line the two up

#include <windows.h>
#include <wlanapi.h>

#include <functional>
#include <string>
#include <vector>

#include "bench_dir.h"

struct WlanBenchProfile {
    std::wstring name;
    std::wstring xml;
    bool userOnly = false; // stored with WLAN_PROFILE_USER
};

struct WlanBenchInterface {
    GUID guid{};
    std::wstring description;
    bool present = true;
    DWORD state = wlan_interface_state_disconnected; // WLAN_INTERFACE_STATE
    std::string ssid;                                // bytes, as on the air
    bool securityEnabled = false;
    DWORD authAlgorithm = DOT11_AUTH_ALGO_80211_OPEN;
    DWORD cipherAlgorithm = DOT11_CIPHER_ALGO_NONE;
    std::wstring profileName;
    std::wstring bssid = L"02:00:00:00:00:01";
    // When automatic configuration next tries the stored profiles (tick
    // count, 0 for never).
    ULONGLONG joinAt = 0;
    std::vector<WlanBenchProfile> profiles; // in preference order
};

struct WlanBench {
    bool serviceRunning = true;
    DWORD joinDelayMs = 500;
    // As the wlan_secure_add_new_all_user_profiles setting does for a
    // standard user: an all-user profile is refused with ERROR_ACCESS_DENIED.
    bool allUserProfilesDenied = false;
    std::vector<WlanBenchInterface> interfaces;
};

std::wstring WlanStateFile();
std::wstring WlanCallLogFile(const std::wstring& bench = BenchDirectory());

// Loads the state, lets automatic configuration catch up, hands it to change
// and saves what change leaves when it returns true. All under the mutex.
void ModifyWlanBench(const std::function<bool(WlanBench&)>& change);
WlanBench ReadWlanBench();
void ClearWlanBench();

WlanBenchInterface* FindBenchInterface(WlanBench& bench, const GUID& guid);

// Joins the first stored profile whose SSID and key match an access point of
// the bench scenario. False when none does.
bool JoinStoredNetwork(WlanBenchInterface& adapter);
void DisconnectInterface(WlanBenchInterface& adapter);

std::wstring GuidText(const GUID& guid);
bool ParseGuid(const std::wstring& text, GUID& guid);
std::wstring SsidText(const std::string& ssid);
std::string SsidBytes(const std::wstring& text);
// The bytes as pairs of upper-case hex digits, and back: false unless the
// text is pairs of ASCII hex digits.
std::wstring HexOf(const std::string& bytes);
bool DecodeHex(const std::wstring& text, std::string& bytes);
const wchar_t* InterfaceStateName(DWORD state);

void LogWlanCall(const wchar_t* function, DWORD result, const std::wstring& details = L"");

struct WlanCall {
    ULONGLONG tick = 0;
    ULONGLONG clockMs = 0;
    DWORD processId = 0;
    std::wstring program;
    std::wstring function;
    DWORD result = 0;
    std::wstring details;
};
std::vector<WlanCall> ReadWlanCalls(const std::wstring& logFile = WlanCallLogFile());

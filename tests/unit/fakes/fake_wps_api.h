#pragma once

// A fake vendor WPS library for unit tests, linked in place of wps_api.dll.
// A test plays a script; until it does, every call fails the test and
// answers failure.

#include <stdint.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "wps_api.h"

namespace fake_wps {

// The access point wps_getAP hands out; wps_join and wps_get_AP_info must be
// given it back.
struct AccessPoint {
    unsigned char bssid[6] = {2, 0, 0, 0, 0, 1};
    const char* ssid = "HomeNet";
    unsigned char joinValue = 4;
};

// How the library behaves in one test; each table row fills one.
struct Script {
    bool openOk = true;
    int searchesBeforeFound = 0;
    int32_t apCount = 1;
    int64_t searchMs = 0;            // each wps_findAP moves the fake clock on by this much
    uint32_t searchStatus = 0;       // reported through the callback by each search, 0 for none
    bool statusBeforeSearch = false; // reported before the search's time passes, else after
    bool getApOk = true;
    AccessPoint ap = {};
    bool joinOk = true;
    std::optional<int64_t> joinReturnsAt = std::nullopt; // the calendar second wps_join returns at
    bool credentialsOk = true;
    std::optional<int64_t> credentialsAt = std::nullopt; // the calendar second the credential comes at
    uint32_t encryptionType = 0;                          // of the credential, whose SSID is the AP's
    bool buttonSupported = true;
    std::function<bool()> buttonPressed = [] { return false; };

    // In place of the scripted search: sets the count and answers.
    std::function<unsigned char(int32_t* count)> search = {};
    std::function<void()> onOpen = {};
    std::function<void()> onGpioOpen = {};
    std::function<void()> onClose = {};
};

// Both also forget the calls seen so far.
void Play(Script script);
void Reset();

// The functions called so far, in order, by their exported names.
std::vector<std::string> Calls();
int CallCount(const std::string& name);

// What the library was handed: the status callback by wps_open, what
// wps_getAP found in its arguments, the record wps_get_AP_info filled and
// whether it was all zeros before.
struct Received {
    WpsStatusCallbackFn callback = nullptr;
    unsigned char bssid[6] = {};
    std::string ssid;
    unsigned char joinValue = 0;
    WpsCredential* credential = nullptr;
    bool credentialCleared = false;
};
Received LastReceived();

} // namespace fake_wps

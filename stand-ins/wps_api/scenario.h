#pragma once

// The stand-in's picture of the radio and the button, as one plain record.
// Only the bench worker thread reads the bench files and publishes a new
// record; the library's calls take a copy without any lock, so that a thread
// suspended or terminated inside the library blocks nobody.

#include <stdint.h>

#include "wps_api.h"
#include "wps_bench.h"

inline constexpr int kMaxAccessPoints = 8;
inline constexpr int kMaxScriptedStatus = 8;

struct RadioAccessPoint {
    char ssid[33];
    unsigned char bssid[6];
    unsigned char pushButton;
    WpsCredential credential;
};

struct CallScript {
    uint32_t delayMs;
    uint32_t hang;
    uint32_t statusCount;
    uint32_t status[kMaxScriptedStatus];
    unsigned char fail;
};

struct Scenario {
    uint32_t accessPointCount;
    RadioAccessPoint accessPoints[kMaxAccessPoints];
    CallScript calls[WpsFunctionCount];
    unsigned char buttonSupported;
    uint64_t pressedUntilMs;
    // A press for a number of reads: each new serial gives that many.
    uint64_t pressSerial;
    uint32_t pressReads;
};

// Reads the bench files; bench worker thread only.
void LoadScenario(Scenario& scenario);
void PublishScenario(const Scenario& scenario);
// A consistent copy of the last published record.
void ReadScenario(Scenario& scenario);

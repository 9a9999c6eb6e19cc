#pragma once

// The record of every call, kept in bench\wps_calls.log. Callers only fill a
// slot of a ring of atomics; the bench worker thread writes the file.

#include <stdint.h>

#include "wps_bench.h"

enum LogKind : unsigned char { LogCall, LogBack, LogStatus, LogNote };

struct LogEntry {
    uint64_t timeMs;
    LogKind kind;
    WpsFunction function;
    int32_t values[3];      // the call's numbers, in its argument order
    uint32_t result;        // a result, a status code or its answer
    unsigned char stopped;  // the callback answered false
    unsigned char bssid[6];
    char text[33];          // a network name or a note
};

// Returns the entry's sequence number.
uint64_t PushLogEntry(LogEntry entry);
// Waits, at most timeoutMs, until the entry is in the file.
void WaitLogged(uint64_t sequence, uint32_t timeoutMs);
// Writes what is ready to the file; bench worker thread only.
void DrainLog();

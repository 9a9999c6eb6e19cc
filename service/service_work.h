#pragma once

// What the service runs between its start and its stop: the two global
// events and the worker threads (indicator and button monitor).

#include <windows.h>

#include "unique_handle.h"

// False, with the last error, when either event cannot be had: nothing of the
// work is then left running.
bool StartServiceWork();
bool StopServiceWork();

void CreateWorkers();
void DestroyWorkers();

// A thread that is inside a step which a forced end would leave holding a
// process-wide lock (busy set) gets up to graceMs more to leave it first.
struct ForcedEndGrace {
    const Relaxed<bool>& busy;
    DWORD graceMs;
};

// The one way a worker is ended: it gets waitMs to end by itself, is then
// ended by force, and the forced end (asynchronous) gets a bounded wait to
// take effect. True when the end was forced.
bool EndThread(HANDLE thread, DWORD waitMs, const ForcedEndGrace* grace = nullptr);

// Suspends the thread at a moment when busy is clear, trying again every
// kSuspendRetryMs; past limitMs it is suspended where it stands. True when it
// was held outside.
bool SuspendOutside(HANDLE thread, const Relaxed<bool>& busy, DWORD limitMs);

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

// Suspends the thread at a moment when busy is clear, trying again every
// kSuspendRetryMs; past limitMs it is suspended where it stands. True when it
// was held outside.
bool SuspendOutside(HANDLE thread, const Relaxed<bool>& busy, DWORD limitMs);

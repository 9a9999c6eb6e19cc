#pragma once

// The stand-in's own thread: the only one that touches the bench files. It
// reloads the scenario when a bench file changes or a caller asks, and
// writes the call log.

#include <stdint.h>

void StartBenchWorker();
// Waits, at most timeoutMs, until the first scenario is published.
void WaitBenchReady(uint32_t timeoutMs);
// Has the scenario read afresh and waits for it, at most timeoutMs.
void ReloadScenario(uint32_t timeoutMs);
void WakeBenchWorker();

#pragma once

// The service as the agent's unit tests see it: the control codes it is sent
// (SendServiceControl linked in place of the SCM's), its Parameters key
// (ParametersKeyScope) and its events; and which session is at the console.

#include <windows.h>

#include <functional>
#include <vector>

#include "parameters_key_scope.h"

namespace fake_service {

void Reset();
std::vector<DWORD> SentCodes();
// Runs inside SendServiceControl, on the sender's thread, before it answers.
void OnSend(std::function<void(DWORD code)> action);

// A second handle to event with only the access the service grants agents:
// wait. The caller owns it.
HANDLE WaitOnlyHandle(HANDLE event);

// What the session lookup answers; Reset leaves it as it was.
void SetConsoleSession(bool atConsole);

// The flags of each restart the agent asked Restart Manager for.
std::vector<DWORD> RestartRegistrations();

} // namespace fake_service

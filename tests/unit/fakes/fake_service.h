#pragma once

// The service as the agent's unit tests see it: the control codes it is sent
// (SendServiceControl linked in place of the SCM's) and its Parameters key
// (ParametersKeyScope).

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "parameters_key_scope.h"

namespace fake_service {

void Reset();
std::vector<DWORD> SentCodes();
// Runs inside SendServiceControl, on the sender's thread, before it answers.
void OnSend(std::function<void(DWORD code)> action);

} // namespace fake_service

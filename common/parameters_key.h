#pragma once

// The one reader and writer of the Parameters key's two values for both
// programs: the agent names the hand-off file in Path and reads the outcome
// from ExitCode; the service does the reverse.

#include <windows.h>

#include "contract.h"

// Path as the service reads it. False when the key cannot be opened; a value
// that is missing or leaves no room for its NUL reads as empty.
bool ReadProfilePath(wchar_t (&path)[MAX_PATH]);

// Sets Path and has it on disk before it returns: the other program reads it.
bool WriteProfilePath(const wchar_t* path);

// ExitCode, or EnrollmentFailed when it cannot be told.
DWORD ReadExitCode();

// Sets ExitCode and has it on disk before it returns.
bool WriteExitCode(DWORD value);

#pragma once

#include <windows.h>
#include <stdint.h>

// The session thread's routine; returns the session's EnrollmentResult.
DWORD WINAPI RunEnrollmentSession(void* unused);

// Handed to wps_open; answers whether the library may go on.
unsigned char WpsStatusCallback(void* context, uint32_t status, void* data);

// Ends a running session, terminating its thread after 5000 ms; true when it
// had to terminate it.
bool CancelSession();

// Publishes a failed session at once when the session thread could not be
// started, so that the agent does not wait out its own limit.
void PublishUnstartedSession();

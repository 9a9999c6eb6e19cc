#pragma once

#include <windows.h>
#include <stdint.h>

#include "service_state.h"
#include "wps_api.h"

// The session thread's routine; returns the session's EnrollmentResult.
DWORD WINAPI RunEnrollmentSession(void* unused);

// Handed to wps_open; answers whether the library may go on.
unsigned char WPSAPI WpsStatusCallback(void* context, uint32_t status, void* data);

// Ends a running session, terminating its thread after 5000 ms; true when it
// had to terminate it.
bool CancelSession();

// Publishes the end of the current session exactly once, whoever ends it:
// indicator, wps_close, ExitCode, DoneEvent, the button's reset, the monitor's
// resumption and the idle state. The first caller's outcome stands; true when
// it was this caller's. ResetSessionEnd readies it for the next session.
bool PublishSessionEnd(DWORD result, IndicatorEvent indicator);
void ResetSessionEnd();

// Tests only: runs right after a session's end has marked the service idle,
// the moment from which a new start may be accepted.
extern void (*g_afterSessionIdle)();

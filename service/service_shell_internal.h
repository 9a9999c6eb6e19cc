#pragma once

// The service shell's parts that only the shell and its tests call.

#include <windows.h>

// The description and recovery actions of the newly created service. Wine can
// neither read the recovery actions back nor carry them out: tests pass a
// fake for ChangeServiceConfig2W.
using ChangeServiceConfig2Fn = BOOL(WINAPI*)(SC_HANDLE service, DWORD level, void* info);
void DescribeService(SC_HANDLE service, ChangeServiceConfig2Fn change = ChangeServiceConfig2W);

// ServiceMain's start of the service work; a start that fails reports the
// service stopped, with its error. True when the work runs.
bool StartOrReportStopped();

// CreateServiceW for the service, as InstallService asks for it.
SC_HANDLE CreateServiceEntry(SC_HANDLE manager, const wchar_t* command);

// The service's creation, tried again for a while as long as the SCM answers
// that an earlier service of the name is still marked for deletion; the last
// error stays the last attempt's.
using CreateServiceEntryFn = SC_HANDLE (*)(SC_HANDLE manager, const wchar_t* command);
SC_HANDLE CreateServiceWaitingOutDeletion(SC_HANDLE manager, const wchar_t* command,
                                          CreateServiceEntryFn create = CreateServiceEntry);

// ServiceMain's loop once the service work has started: follows the link
// state until the stop, then closes the indicator events.
void RunServiceLoop();

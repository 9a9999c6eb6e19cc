#pragma once

// What the service and the agent agree on: the service's name, the two global
// events, the Parameters key with its two values, the control codes and the
// values of ExitCode.

#include <windows.h>

inline constexpr wchar_t kServiceName[] = L"WLANTolvekService";
inline constexpr wchar_t kServiceTitle[] = L"Tolvek WLAN service";

inline constexpr wchar_t kButtonEventName[] = L"Global\\Tolvek WLAN PBN utility: PBN event";
inline constexpr wchar_t kDoneEventName[] = L"Global\\Tolvek WLAN PBN utility: WPS done";

// Below HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kServicesRoot[] = L"System\\CurrentControlSet\\Services";
inline constexpr wchar_t kParametersSubkey[] = L"Parameters";
inline constexpr wchar_t kParametersKeyPath[] =
    L"System\\CurrentControlSet\\Services\\WLANTolvekService\\Parameters";
inline constexpr wchar_t kPathValue[] = L"Path";
inline constexpr wchar_t kExitCodeValue[] = L"ExitCode";

// User control codes sent through the Service Control Manager.
inline constexpr DWORD StartEnrollment = 128;
inline constexpr DWORD CancelEnrollment = 129;

// The values of ExitCode and of the agent's result.
enum EnrollmentResult : DWORD {
    EnrollmentSucceeded = 0,
    EnrollmentFailed = 1,
    EnrollmentOverlap = 2,
};

// What any user may do with the two global events: wait on them. Only the
// service's own accounts may signal them; a wait that finds one signalled
// consumes it as a reset would.
inline constexpr DWORD kAgentEventAccess = SYNCHRONIZE;
inline constexpr DWORD kServiceEventAccess = EVENT_ALL_ACCESS;

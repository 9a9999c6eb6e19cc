#pragma once

// What the service and the agent agree on: the service's name, the two global
// events, the Parameters key with its two values, the hand-off file's name,
// the control codes and the values of ExitCode.

#include <windows.h>

#include <array>
#include <stddef.h>
#include <type_traits>

inline constexpr wchar_t kServiceName[] = L"WLANTolvekService";
inline constexpr wchar_t kServiceTitle[] = L"Tolvek WLAN service";

inline constexpr wchar_t kButtonEventName[] = L"Global\\Tolvek WLAN PBN utility: PBN event";
inline constexpr wchar_t kDoneEventName[] = L"Global\\Tolvek WLAN PBN utility: WPS done";

// The units of a text with its terminating NUL: a literal or a composed path.
template <typename Text>
constexpr size_t TextUnits()
{
    if constexpr (std::is_array_v<Text>)
        return std::extent_v<Text>;
    else
        return std::tuple_size_v<Text>;
}

// "parent\\child", for registry paths composed at compile time.
template <typename Parent, typename Child>
constexpr std::array<wchar_t, TextUnits<Parent>() + TextUnits<Child>()> JoinKeyPath(const Parent& parent,
                                                                                    const Child& child)
{
    std::array<wchar_t, TextUnits<Parent>() + TextUnits<Child>()> path{};
    size_t at = 0;
    for (size_t i = 0; i + 1 < TextUnits<Parent>(); ++i)
        path[at++] = parent[i];
    path[at++] = L'\\';
    for (size_t i = 0; i + 1 < TextUnits<Child>(); ++i)
        path[at++] = child[i];
    return path;
}

// Below HKEY_LOCAL_MACHINE.
inline constexpr wchar_t kServicesRoot[] = L"System\\CurrentControlSet\\Services";
inline constexpr wchar_t kParametersSubkey[] = L"Parameters";
inline constexpr auto kServiceKey = JoinKeyPath(kServicesRoot, kServiceName);
inline constexpr const wchar_t* kServiceKeyPath = kServiceKey.data();
inline constexpr auto kParametersKey = JoinKeyPath(kServiceKey, kParametersSubkey);
inline constexpr const wchar_t* kParametersKeyPath = kParametersKey.data();
inline constexpr wchar_t kPathValue[] = L"Path";
inline constexpr wchar_t kExitCodeValue[] = L"ExitCode";

// The file through which the service hands the profile to the agent, in the
// temporary folder of the user at the console.
inline constexpr wchar_t kHandOffFileName[] = L"wps_profile.xml";

// The wait hint of the service's stop: its own bounds (a hung session, then
// each worker) and the loop's last pass, with room to spare. Installers and
// the Service Control Manager wait this long for SERVICE_STOPPED.
inline constexpr DWORD kStopWaitHintMs = 15000;

// User control codes sent through the Service Control Manager.
inline constexpr DWORD StartEnrollment = 128;
inline constexpr DWORD CancelEnrollment = 129;

// The values of ExitCode and of the agent's result.
enum EnrollmentResult : DWORD {
    EnrollmentSucceeded = 0,
    EnrollmentFailed = 1,
    EnrollmentOverlap = 2,
};

// What any user may do with the two global events: wait on them, and read
// who owns them, so that an agent can refuse a pair another user made. Only
// the service's own accounts may signal them; a wait that finds one signalled
// consumes it as a reset would.
inline constexpr DWORD kAgentEventAccess = SYNCHRONIZE | READ_CONTROL;
inline constexpr DWORD kServiceEventAccess = EVENT_ALL_ACCESS;

#pragma once

// What the agent's integration tests share: a stand-in for the service's side
// of the contract, the agent as a process, and its dialog seen from outside.

#include <windows.h>

#include <string>

#include "unique_handle.h"

namespace agent_bench {

// The dialog's controls, and the English library's texts that the tests read back.
inline constexpr int kActionButton = 1001;
inline constexpr int kMessageText = 1002;
inline constexpr wchar_t kIdleCaption[] = L"Tolvek Lark WPS Push Button";
inline constexpr wchar_t kIdleButton[] = L"Cancel";
inline constexpr wchar_t kIdleMessage[] = L"Press the WPS button on your router or access point now.";
inline constexpr wchar_t kSuccessMessage[] = L"The network is set up. Your computer is joining it now.";
inline constexpr wchar_t kFailureMessage[] = L"The connection could not be set up. Please try again.";
inline constexpr wchar_t kOverlapMessage[] =
    L"More than one access point is in push-button mode. Please try again later.";
inline constexpr wchar_t kDismissButton[] = L"Close";

// The service as the agent sees it: installed (so the presence test passes)
// but not started, with the two global events created by the test.
class FakeService {
public:
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    bool installed() const { return installed_; }
    bool CreateButtonEvent();
    bool CreateDoneEvent();
    bool Press() { return SetEvent(button_.get()) != FALSE; }
    // True when a press is still waiting to be taken (and takes it).
    bool PressPending() { return WaitForSingleObject(button_.get(), 0) == WAIT_OBJECT_0; }

private:
    bool installed_ = false;
    UniqueHandle button_;
    UniqueHandle done_;
};

class AgentProcess {
public:
    AgentProcess() = default;
    ~AgentProcess() { Stop(); }
    AgentProcess(const AgentProcess&) = delete;
    AgentProcess& operator=(const AgentProcess&) = delete;

    // Starts the installed Quorvel.exe as a logon would, with a visible show command.
    bool Start();
    void Stop();
    bool Running() const;
    DWORD ExitCode() const;
    HANDLE process() const { return process_.get(); }

    // The agent's dialog, once it exists.
    HWND Window();
    // Waits until the dialog exists, has had its first show and hidden itself.
    bool WaitUntilWatching(DWORD timeoutMs = 10000);
    bool WaitVisible(bool visible, DWORD timeoutMs);

private:
    UniqueHandle process_;
    DWORD id_ = 0;
    HWND window_ = nullptr;
};

HWND FindProcessDialog(DWORD processId);
std::wstring WindowText(HWND window);
std::wstring ItemText(HWND dialog, int control);

} // namespace agent_bench

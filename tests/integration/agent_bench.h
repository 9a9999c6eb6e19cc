#pragma once

// What the agent's integration tests share: a stand-in for the service's side
// of the contract, the agent as a process, and its dialog seen from outside.

#include <windows.h>

#include <string>

#include "unique_handle.h"

namespace agent_bench {

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

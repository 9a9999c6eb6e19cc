#pragma once

// What the agent's integration tests share: a stand-in for the service's side
// of the contract, the agent as a process, and its dialog seen from outside.

#include <windows.h>

#include "bench_support.h"
#include "contract.h"
#include "resource.h"
#include "text_ids.h"
#include "unique_handle.h"

namespace agent_bench {

// Entry id of the English library as built; a text that is not there reads
// as a note that no control shows.
const wchar_t* EnglishText(UINT id);

// The dialog's controls, and the texts that the tests read back.
inline constexpr int kActionButton = IDC_ACTION_BUTTON;
inline constexpr int kMessageText = IDC_MESSAGE_TEXT;
inline const wchar_t* const kIdleCaption = EnglishText(IDS_CAPTION);
inline const wchar_t* const kIdleButton = EnglishText(IDS_ACTION_CANCEL);
inline const wchar_t* const kIdleMessage = EnglishText(IDS_PRESS_ROUTER_BUTTON);
inline const wchar_t* const kSuccessMessage = EnglishText(IDS_RESULT_SUCCEEDED);
inline const wchar_t* const kFailureMessage = EnglishText(IDS_RESULT_FAILED);
inline const wchar_t* const kOverlapMessage = EnglishText(IDS_RESULT_OVERLAP);
inline const wchar_t* const kDismissButton = EnglishText(IDS_ACTION_DISMISS);

// The service as the agent sees it: installed (so the presence test passes)
// but not started, with the two global events created by the test, owned by
// LocalSystem as the service's are, or by whom the test names (SDDL).
class FakeService {
public:
    FakeService();
    ~FakeService();
    FakeService(const FakeService&) = delete;
    FakeService& operator=(const FakeService&) = delete;

    bool installed() const { return installed_; }
    bool CreateButtonEvent(const wchar_t* owner = L"SY") { return Create(button_, kButtonEventName, owner); }
    bool CreateDoneEvent(const wchar_t* owner = L"SY") { return Create(done_, kDoneEventName, owner); }
    bool Press() { return SetEvent(button_.get()) != FALSE; }
    bool Done() { return SetEvent(done_.get()) != FALSE; }
    // True when a press is still waiting to be taken (and takes it).
    bool PressPending() { return WaitForSingleObject(button_.get(), 0) == WAIT_OBJECT_0; }

private:
    static bool Create(UniqueHandle& event, const wchar_t* name, const wchar_t* owner);

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
    // Starts it and waits until the dialog exists, has had its first show and
    // hidden itself.
    bool StartHidden(DWORD timeoutMs = 10000);
    bool WaitVisible(bool visible, DWORD timeoutMs);
    // Runs one pass of the dialog's timer now, as its own timer would, and
    // returns once it has run: the pass after an event, without a wait.
    void RunTimer(UINT_PTR timer);
    // Returns once the dialog has handled every message posted to it before
    // (a marker posted after them has been seen); false if it never is.
    bool HandledPosted(DWORD timeoutMs = 10000);

private:
    UniqueHandle process_;
    DWORD id_ = 0;
    HWND window_ = nullptr;
};

using bench::ItemText;
using bench::WindowText;

} // namespace agent_bench

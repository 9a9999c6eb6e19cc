#include "agent_bench.h"

#include <map>
#include <string>
#include <vector>

#include "access_entries.h"
#include "bench_support.h"
#include "contract.h"

namespace agent_bench {

const wchar_t* EnglishText(UINT id)
{
    static const UniqueHmodule library(LoadLibraryExW((bench::DistDirectory() + L"\\TolvekwresDLL.dll").c_str(),
                                                      nullptr, LOAD_LIBRARY_AS_DATAFILE));
    static std::map<UINT, std::wstring> texts; // nodes stay put: their text is handed out
    auto found = texts.find(id);
    if (found == texts.end()) {
        const wchar_t* entry = nullptr;
        int length = library ? LoadStringW(library.get(), id, reinterpret_cast<LPWSTR>(&entry), 0) : 0;
        std::wstring text = length > 0 ? std::wstring(entry, length)
                                       : L"(no text " + std::to_wstring(id) + L" in the English library)";
        found = texts.emplace(id, text).first;
    }
    return found->second.c_str();
}

FakeService::FakeService()
{
    installed_ = bench::ServiceExists() || bench::RunInstalled(L"saddrin.exe", L"-i").exitCode == 0;
}

FakeService::~FakeService()
{
    bench::RemoveService();
}

bool FakeService::Create(UniqueHandle& event, const wchar_t* name, const wchar_t* owner)
{
    event.reset(CreateEventWithDescriptor(name, std::wstring(L"O:") + owner + kOpenToAll));
    return static_cast<bool>(event);
}

bool AgentProcess::Start()
{
    std::wstring program = bench::InstalledFile(L"Quorvel.exe");
    std::wstring commandLine = L"\"" + program + L"\"";
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        bench::InstallDirectory().c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
    window_ = nullptr;
    return true;
}

void AgentProcess::Stop()
{
    if (Running()) {
        TerminateProcess(process_.get(), 0);
        WaitForSingleObject(process_.get(), 5000);
    }
    process_.reset();
    window_ = nullptr;
}

bool AgentProcess::Running() const
{
    return process_ && WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

DWORD AgentProcess::ExitCode() const
{
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &code);
    return code;
}

// The first top-level dialog window of the process.
static HWND FindProcessDialog(DWORD processId)
{
    for (HWND window = FindWindowExW(nullptr, nullptr, L"#32770", nullptr); window;
         window = FindWindowExW(nullptr, window, L"#32770", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == processId)
            return window;
    }
    return nullptr;
}

HWND AgentProcess::Window()
{
    if (!window_ || !IsWindow(window_))
        window_ = FindProcessDialog(id_);
    return window_;
}

bool AgentProcess::StartHidden(DWORD timeoutMs)
{
    if (!Start() || !bench::WaitFor([&] { return Window() != nullptr; }, timeoutMs))
        return false;
    // The posted close of the first show runs once the loop has started.
    WaitForInputIdle(process_.get(), timeoutMs);
    return WaitVisible(false, timeoutMs);
}

bool AgentProcess::WaitVisible(bool visible, DWORD timeoutMs)
{
    return bench::WaitFor([&] { return Window() && (IsWindowVisible(Window()) != FALSE) == visible; }, timeoutMs, 5);
}

void AgentProcess::RunTimer(UINT_PTR timer)
{
    SendMessageW(Window(), WM_TIMER, timer, 0);
}

bool AgentProcess::HandledPosted(DWORD timeoutMs)
{
    // The pushed look of the action button, posted to the same thread's queue.
    HWND button = GetDlgItem(Window(), kActionButton);
    if (!PostMessageW(button, BM_SETSTATE, TRUE, 0))
        return false;
    bool seen = bench::WaitFor([&] { return (SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0; }, timeoutMs);
    SendMessageW(button, BM_SETSTATE, FALSE, 0);
    return seen;
}

} // namespace agent_bench

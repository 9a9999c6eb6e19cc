#include "fake_service.h"

#include <mutex>

#include "contract.h"
#include "main_dialog.h"

namespace {

std::mutex g_lock;
std::vector<DWORD> g_sent;
std::function<void(DWORD)> g_onSend;
bool g_atConsole = true;
std::vector<DWORD> g_restarts;

} // namespace

namespace fake_service {

void Reset()
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_sent.clear();
    g_onSend = nullptr;
    g_restarts.clear();
}

std::vector<DWORD> SentCodes()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_sent;
}

void OnSend(std::function<void(DWORD)> action)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_onSend = std::move(action);
}

HANDLE WaitOnlyHandle(HANDLE event)
{
    HANDLE waitOnly = nullptr;
    DuplicateHandle(GetCurrentProcess(), event, GetCurrentProcess(), &waitOnly, SYNCHRONIZE, FALSE, 0);
    return waitOnly;
}

void SetConsoleSession(bool atConsole)
{
    g_atConsole = atConsole;
}

std::vector<DWORD> RestartRegistrations()
{
    std::lock_guard<std::mutex> lock(g_lock);
    return g_restarts;
}

} // namespace fake_service

bool IsConsoleSession()
{
    return g_atConsole;
}

void RegisterAgentRestart(DWORD flags)
{
    std::lock_guard<std::mutex> lock(g_lock);
    g_restarts.push_back(flags);
}

bool CMainDlg::SendServiceControl(DWORD code)
{
    std::function<void(DWORD)> action;
    {
        std::lock_guard<std::mutex> lock(g_lock);
        g_sent.push_back(code);
        action = g_onSend;
    }
    if (action)
        action(code);
    return true;
}

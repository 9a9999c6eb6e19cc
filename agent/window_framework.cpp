#include "window_framework.h"

#include <algorithm>

CAppModule g_Module;

template <typename T>
static BOOL AddToSlots(std::vector<T*>& slots, T* item)
{
    auto empty = std::find(slots.begin(), slots.end(), nullptr);
    if (empty != slots.end())
        *empty = item;
    else
        slots.push_back(item);
    return TRUE;
}

template <typename T>
static BOOL RemoveFromSlots(std::vector<T*>& slots, T* item)
{
    auto found = std::find(slots.begin(), slots.end(), item);
    if (found == slots.end())
        return FALSE;
    *found = nullptr;
    return TRUE;
}

BOOL CMessageLoop::AddMessageFilter(CMessageFilter* filter)
{
    return AddToSlots(m_aMsgFilter, filter);
}

BOOL CMessageLoop::RemoveMessageFilter(CMessageFilter* filter)
{
    return RemoveFromSlots(m_aMsgFilter, filter);
}

BOOL CMessageLoop::AddIdleHandler(CIdleHandler* handler)
{
    return AddToSlots(m_aIdleHandler, handler);
}

BOOL CMessageLoop::RemoveIdleHandler(CIdleHandler* handler)
{
    return RemoveFromSlots(m_aIdleHandler, handler);
}

BOOL CMessageLoop::PreTranslateMessage(MSG* msg)
{
    // By index: a filter may add or remove filters while it runs.
    for (size_t i = 0; i < m_aMsgFilter.size(); ++i) {
        CMessageFilter* filter = m_aMsgFilter[i];
        if (filter && filter->PreTranslateMessage(msg))
            return TRUE;
    }
    return FALSE;
}

void CMessageLoop::OnIdle()
{
    for (size_t i = 0; i < m_aIdleHandler.size(); ++i) {
        CIdleHandler* handler = m_aIdleHandler[i];
        if (handler)
            handler->OnIdle();
    }
}

int CMessageLoop::Run()
{
    MSG msg{};
    bool idle = true;
    for (;;) {
        while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
            OnIdle();
            idle = false;
        }
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1)
            continue;
        if (!got)
            break;
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
        // Idle work is due again once the queue has been emptied.
        idle = true;
    }
    return static_cast<int>(msg.wParam);
}

HRESULT CAppModule::Init(HINSTANCE hInstance)
{
    m_hInst = hInstance;
    if (!m_bInitialised) {
        ::InitializeCriticalSection(&m_csMsgLoop);
        m_bInitialised = true;
    }
    return S_OK;
}

void CAppModule::Term()
{
    if (m_bInitialised) {
        ::DeleteCriticalSection(&m_csMsgLoop);
        m_bInitialised = false;
    }
    m_aMsgLoop.clear();
}

BOOL CAppModule::AddMessageLoop(CMessageLoop* loop)
{
    DWORD thread = ::GetCurrentThreadId();
    ::EnterCriticalSection(&m_csMsgLoop);
    bool taken = std::any_of(m_aMsgLoop.begin(), m_aMsgLoop.end(),
                             [thread](const auto& entry) { return entry.first == thread; });
    if (!taken)
        m_aMsgLoop.emplace_back(thread, loop);
    ::LeaveCriticalSection(&m_csMsgLoop);
    return !taken;
}

BOOL CAppModule::RemoveMessageLoop()
{
    DWORD thread = ::GetCurrentThreadId();
    ::EnterCriticalSection(&m_csMsgLoop);
    auto found = std::find_if(m_aMsgLoop.begin(), m_aMsgLoop.end(),
                              [thread](const auto& entry) { return entry.first == thread; });
    bool removed = found != m_aMsgLoop.end();
    if (removed)
        m_aMsgLoop.erase(found);
    ::LeaveCriticalSection(&m_csMsgLoop);
    return removed;
}

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId)
{
    ::EnterCriticalSection(&m_csMsgLoop);
    CMessageLoop* loop = nullptr;
    for (const auto& entry : m_aMsgLoop) {
        if (entry.first == threadId)
            loop = entry.second;
    }
    ::LeaveCriticalSection(&m_csMsgLoop);
    return loop;
}

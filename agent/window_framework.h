#pragma once

// The agent's small window framework: a module that knows each thread's
// message loop, a loop with message filters and idle handlers, a modeless
// dialog class whose message map is one virtual function, and the update-UI
// container registration. Only what the agent uses.

#include <windows.h>

#include <algorithm>
#include <utility>
#include <vector>

class CMessageFilter {
public:
    // Answers TRUE when the message was consumed and must not be dispatched.
    virtual BOOL PreTranslateMessage(MSG* pMsg) = 0;

protected:
    ~CMessageFilter() = default;
};

class CIdleHandler {
public:
    // Answers TRUE while it has more idle work.
    virtual BOOL OnIdle() = 0;

protected:
    ~CIdleHandler() = default;
};

class CMessageLoop {
public:
    BOOL AddMessageFilter(CMessageFilter* filter);
    BOOL RemoveMessageFilter(CMessageFilter* filter);
    BOOL AddIdleHandler(CIdleHandler* handler);
    BOOL RemoveIdleHandler(CIdleHandler* handler);

    // Runs until WM_QUIT and answers its wParam.
    int Run();

private:
    BOOL PreTranslateMessage(MSG* msg);
    void OnIdle();

    // A filter may remove itself while the list is walked (its dialog's
    // teardown runs inside IsDialogMessageW), so removal leaves a null slot.
    std::vector<CMessageFilter*> m_aMsgFilter;
    std::vector<CIdleHandler*> m_aIdleHandler;
};

class CAppModule {
public:
    HRESULT Init(HINSTANCE hInstance);
    void Term();

    HINSTANCE GetModuleInstance() const { return m_hInst; }
    HINSTANCE GetResourceInstance() const { return m_hInst; }

    // Each thread registers at most one loop.
    BOOL AddMessageLoop(CMessageLoop* loop);
    BOOL RemoveMessageLoop();
    CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId());

private:
    HINSTANCE m_hInst = nullptr;
    bool m_bInitialised = false;
    CRITICAL_SECTION m_csMsgLoop{};
    std::vector<std::pair<DWORD, CMessageLoop*>> m_aMsgLoop;
};

extern CAppModule g_Module;

// A modeless dialog on template T::IDD. Messages reach ProcessWindowMessage
// from WM_INITDIALOG to WM_NCDESTROY; the ones it reports unhandled go to the
// dialog manager.
template <typename T>
class CDialogImpl {
public:
    HWND m_hWnd = nullptr;

    CDialogImpl() = default;
    CDialogImpl(const CDialogImpl&) = delete;
    CDialogImpl& operator=(const CDialogImpl&) = delete;

    virtual ~CDialogImpl()
    {
        // The derived object is gone: let no late message reach it.
        if (m_hWnd) {
            ::SetWindowLongPtrW(m_hWnd, DWLP_USER, 0);
            ::DestroyWindow(m_hWnd);
        }
    }

    HWND Create(HWND hWndParent)
    {
        return ::CreateDialogParamW(g_Module.GetResourceInstance(), MAKEINTRESOURCEW(T::IDD), hWndParent,
                                    StartDialogProc, reinterpret_cast<LPARAM>(this));
    }

    BOOL DestroyWindow() { return ::DestroyWindow(m_hWnd); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }

    // Centres on the work area of the screen, keeping the window inside it.
    void CenterWindow()
    {
        RECT area{};
        RECT window{};
        if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0) || !::GetWindowRect(m_hWnd, &window))
            return;
        LONG width = window.right - window.left;
        LONG height = window.bottom - window.top;
        LONG left = area.left + (area.right - area.left - width) / 2;
        LONG top = area.top + (area.bottom - area.top - height) / 2;
        // A window larger than the area keeps its top left corner inside it.
        left = (std::max)(area.left, (std::min)(left, area.right - width));
        top = (std::max)(area.top, (std::min)(top, area.bottom - height));
        ::SetWindowPos(m_hWnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    // The message map. Answers TRUE when the message was handled, with its
    // result in lResult.
    virtual BOOL ProcessWindowMessage(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lResult) = 0;

    virtual void OnFinalMessage(HWND) {}

private:
    static INT_PTR CALLBACK StartDialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        // Messages before WM_INITDIALOG (the font, creation) are the dialog manager's.
        if (uMsg != WM_INITDIALOG)
            return FALSE;
        auto* self = reinterpret_cast<CDialogImpl*>(lParam);
        self->m_hWnd = hWnd;
        ::SetWindowLongPtrW(hWnd, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
        ::SetWindowLongPtrW(hWnd, DWLP_DLGPROC, reinterpret_cast<LONG_PTR>(DialogProc));
        return DialogProc(hWnd, uMsg, wParam, 0);
    }

    static INT_PTR CALLBACK DialogProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<CDialogImpl*>(::GetWindowLongPtrW(hWnd, DWLP_USER));
        if (!self)
            return FALSE;
        LRESULT lResult = 0;
        BOOL handled = self->ProcessWindowMessage(hWnd, uMsg, wParam, lParam, lResult);
        if (uMsg == WM_NCDESTROY) {
            ::SetWindowLongPtrW(hWnd, DWLP_USER, 0);
            self->m_hWnd = nullptr;
            self->OnFinalMessage(hWnd);
            return handled;
        }
        if (!handled)
            return FALSE;
        switch (uMsg) {
        // These answer through the procedure's own result.
        case WM_INITDIALOG:
        case WM_CHARTOITEM:
        case WM_COMPAREITEM:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORMSGBOX:
        case WM_QUERYDRAGICON:
        case WM_VKEYTOITEM:
            return static_cast<INT_PTR>(lResult);
        default:
            ::SetWindowLongPtrW(hWnd, DWLP_MSGRESULT, lResult);
            return TRUE;
        }
    }
};

// Update UI for the controls of a child-window container. The agent's update
// map is empty, so only the container is recorded.
template <typename T>
class CUpdateUI {
public:
    BOOL UIAddChildWindowContainer(HWND hWnd)
    {
        m_hWndContainer = hWnd;
        return hWnd != nullptr;
    }

protected:
    ~CUpdateUI() = default;
    HWND m_hWndContainer = nullptr;
};

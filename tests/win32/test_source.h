#pragma once

// A program's window for the capture tests, run by a thread of its own as another
// application's window would be: a top-level window holding an edit control, a rich edit
// control, or nothing (then the window itself holds a "selected" text and copies it on
// CTRL+C and CTRL+INSERT, as browsers and most editors do). It notes the keys it receives.

#include <windows.h>
#include <richedit.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class CTestSource {
public:
    enum class Control { kNone, kEdit, kRichEdit };
    struct Options {
        Control control = Control::kNone;
        std::wstring text;
        DWORD style = 0;               // extra style of the control (ES_MULTILINE, ES_PASSWORD)
        bool selected = true;          // the whole text selected, or nothing
        DWORD copyDelayMs = 0;         // the plain window copies this long after the key
        bool lyingPositions = false;   // the control answers EM_GETSEL past its text
        bool ansi = false;             // the control is an ANSI window (CreateWindowExA)
        wchar_t passwordChar = 0;      // set with EM_SETPASSWORDCHAR, without the style
        const wchar_t* windowClass = L"SelvaneTestSource";
    };

    explicit CTestSource(const Options& options) : m_options(options) {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_resume = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this] { Run(); });
        WaitForSingleObject(m_ready, 10000);
    }
    ~CTestSource() {
        SetEvent(m_resume);
        if (m_top) PostMessageW(m_top, WM_CLOSE, 0, 0);
        m_thread.join();
        CloseHandle(m_ready);
        CloseHandle(m_resume);
    }
    CTestSource(const CTestSource&) = delete;
    CTestSource& operator=(const CTestSource&) = delete;

    bool IsForeground() const {
        for (int i = 0; i < 200; ++i) {
            if (GetForegroundWindow() == m_top) return true;
            Sleep(10);
        }
        return false;
    }
    HWND Top() const { return m_top; }
    HWND ControlWindow() const { return m_control; }
    // Selects characters [start, end) of the control, from this thread.
    void Select(DWORD start, DWORD end) const { SendMessageW(m_control, EM_SETSEL, start, end); }
    // The thread stops answering messages until the object ends.
    void Hang() const {
        PostMessageW(m_top, kHangMessage, 0, 0);
        Sleep(100);
    }
    // Virtual keys received (key-downs), in order.
    std::vector<WPARAM> Keys() const {
        std::lock_guard<std::mutex> lock(m_keysLock);
        return m_keys;
    }
    bool Received(WPARAM key) const {
        for (WPARAM k : Keys()) {
            if (k == key) return true;
        }
        return false;
    }
    DWORD CKeyTick() const { return m_cKeyTick; }
    bool WinDownAtC() const { return m_winDownAtC; }

private:
    static constexpr UINT kHangMessage = WM_APP + 1;
    static constexpr UINT_PTR kCopyTimer = 1;

    static CTestSource* Of(HWND hwnd) {
        return reinterpret_cast<CTestSource*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
        }
        CTestSource* self = Of(hwnd);
        switch (message) {
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
            case WM_SETFOCUS:
                if (self && self->m_control) SetFocus(self->m_control);
                return 0;
            case WM_TIMER:
                KillTimer(hwnd, kCopyTimer);
                self->Copy();
                return 0;
            case kHangMessage:
                WaitForSingleObject(self->m_resume, INFINITE);
                return 0;
            default:
                return DefWindowProcW(hwnd, message, wParam, lParam);
        }
    }
    static LRESULT CALLBACK LyingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        WNDPROC original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, L"SelvaneTestProc"));
        if (message == EM_GETSEL) {
            const DWORD past = static_cast<DWORD>(GetWindowTextLengthW(hwnd)) + 50;
            if (wParam) *reinterpret_cast<DWORD*>(wParam) = 2;
            if (lParam) *reinterpret_cast<DWORD*>(lParam) = past;
            return MAKELRESULT(2, past);
        }
        return CallWindowProcW(original, hwnd, message, wParam, lParam);
    }
    void Copy() {
        if (!m_options.selected || !OpenClipboard(m_top)) return;
        EmptyClipboard();
        const std::wstring& text = m_options.text;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(block);
        SetClipboardData(CF_UNICODETEXT, block);
        CloseClipboard();
    }
    void Run() {
        if (m_options.control == Control::kRichEdit) LoadLibraryW(L"msftedit.dll");
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = m_options.windowClass;
        RegisterClassW(&windowClass);
        m_top = CreateWindowW(m_options.windowClass, L"source", WS_OVERLAPPEDWINDOW, 50, 50, 400,
                              200, nullptr, nullptr, windowClass.hInstance, this);
        const wchar_t* controlClass = m_options.control == Control::kEdit       ? L"EDIT"
                                      : m_options.control == Control::kRichEdit ? MSFTEDIT_CLASS
                                                                                : nullptr;
        if (controlClass != nullptr) {
            const DWORD style = WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | m_options.style;
            m_control = m_options.ansi ? CreateWindowA("EDIT", "", style, 5, 5, 380, 150, m_top,
                                                       nullptr, windowClass.hInstance, nullptr)
                                       : CreateWindowW(controlClass, L"", style, 5, 5, 380, 150,
                                                       m_top, nullptr, windowClass.hInstance,
                                                       nullptr);
            if (m_options.passwordChar != 0) {
                SendMessageW(m_control, EM_SETPASSWORDCHAR, m_options.passwordChar, 0);
            }
            SendMessageW(m_control, EM_LIMITTEXT, 0, 0);  // no 30,000-character limit
            SetWindowTextW(m_control, m_options.text.c_str());
            if (m_options.lyingPositions) {
                SetPropW(m_control, L"SelvaneTestProc",
                         reinterpret_cast<HANDLE>(GetWindowLongPtrW(m_control, GWLP_WNDPROC)));
                SetWindowLongPtrW(m_control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(LyingProc));
            }
        }
        ShowWindow(m_top, SW_SHOW);
        SetForegroundWindow(m_top);
        SetFocus(m_control ? m_control : m_top);
        if (m_control) {
            if (m_options.selected) {
                SendMessageW(m_control, EM_SETSEL, 0, -1);
            } else {
                SendMessageW(m_control, EM_SETSEL, 0, 0);
            }
        }
        SetEvent(m_ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_KEYDOWN) {
                {
                    std::lock_guard<std::mutex> lock(m_keysLock);
                    m_keys.push_back(msg.wParam);
                }
                const bool control = GetKeyState(VK_CONTROL) < 0;
                if (msg.wParam == 'C') {
                    m_cKeyTick = GetTickCount();
                    m_winDownAtC = (GetKeyState(VK_LWIN) & 0x8000) != 0;
                }
                if (m_control == nullptr && control &&
                    (msg.wParam == 'C' || msg.wParam == VK_INSERT)) {
                    if (m_options.copyDelayMs == 0) {
                        Copy();
                    } else {
                        SetTimer(m_top, kCopyTimer, m_options.copyDelayMs, nullptr);
                    }
                }
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    Options m_options;
    HANDLE m_ready = nullptr;
    HANDLE m_resume = nullptr;
    std::thread m_thread;
    HWND m_top = nullptr;
    HWND m_control = nullptr;
    mutable std::mutex m_keysLock;
    std::vector<WPARAM> m_keys;
    std::atomic<DWORD> m_cKeyTick{0};
    std::atomic<bool> m_winDownAtC{false};
};

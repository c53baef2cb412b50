#include "app/tray_window.h"

#include "services/balloon.h"
#include "options/option_dialog.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"
#include "settings/settings.h"

#if !defined(_WIN64)
// The shell tells the record's versions apart by their size; identifying the icon by
// GUID needs the full form, with guidItem and hBalloonIcon.
static_assert(sizeof(NOTIFYICONDATAW) == 956, "full NOTIFYICONDATAW expected");
#endif

// {F6AD0683-9189-4A0C-AC7D-F4D72D4C0737}
const GUID TrayIconGuid = {
    0xf6ad0683, 0x9189, 0x4a0c, {0xac, 0x7d, 0xf4, 0xd7, 0x2d, 0x4c, 0x07, 0x37}};

namespace {

void ShowWarning(HWND owner, UINT textId) {
    MessageBoxW(owner, GetWstring(textId), GetWstring(IDS_CAPTION), MB_OK | MB_ICONWARNING);
}

bool KeyDown(int key) {
    return GetAsyncKeyState(key) < 0;
}

// Whether every key of the hotkey that WM_HOTKEY's lParam names is down right now.
bool HotkeyHeld(LPARAM lParam) {
    const UINT modifiers = LOWORD(lParam);
    const int key = HIWORD(lParam);
    if (key == 0 || !KeyDown(key)) return false;
    if ((modifiers & MOD_CONTROL) && !KeyDown(VK_CONTROL)) return false;
    if ((modifiers & MOD_ALT) && !KeyDown(VK_MENU)) return false;
    if ((modifiers & MOD_SHIFT) && !KeyDown(VK_SHIFT)) return false;
    if ((modifiers & MOD_WIN) && !KeyDown(VK_LWIN) && !KeyDown(VK_RWIN)) return false;
    return true;
}

// As long as the copy keystroke waits for the hotkey's modifiers.
constexpr DWORD kReleaseWaitMs = 2000;

}  // namespace

CTrayWindow::CTrayWindow()
    : m_iconAdded(false),
      m_popupMenu(nullptr),
      m_trayCallbackMessage(0),
      m_iconVersion4(false),
      m_optionDialog(nullptr),
      m_taskbarCreatedMessage(0),
      m_iconTries(0),
      m_releaseWatch(nullptr),
      m_watchedKeys(0),
      m_waitAfterRun(false) {
    SettingsKeyPath = "Software\\Selvane";
    // Before the single-instance test on purpose: the Settings page reads the stored
    // hotkey here, in every copy.
    m_optionDialog = new COptionDialog(this);
}

void CTrayWindow::RegisterWindowClass() {
    HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &CTrayWindow::StaticWindowProc;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = module;
    windowClass.hIcon = LoadIconA(module, MAKEINTRESOURCEA(IDI_SELVANE));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINMENU);
    windowClass.lpszClassName = GetWstring(IDS_APP_TITLE);
    windowClass.hIconSm = LoadIconA(module, MAKEINTRESOURCEA(IDI_SELVANE));
    // A failure shows as the window creation failing.
    RegisterClassExW(&windowClass);
}

bool CTrayWindow::Create() {
    RegisterWindowClass();
    HWND hwnd = CreateWindowExW(0, GetWstring(IDS_APP_TITLE), GetWstring(IDS_APP_TITLE),
                                WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT, 0, nullptr,
                                nullptr, GetModuleHandleW(nullptr), this);
    m_hWnd = hwnd;
    if (hwnd == nullptr) return false;
    ShowWindow(hwnd, SW_HIDE);
    UpdateWindow(hwnd);
    return true;
}

LRESULT CALLBACK CTrayWindow::StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_CREATE) {
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    CTrayWindow* self = reinterpret_cast<CTrayWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return DefWindowProcW(hwnd, message, wParam, lParam);
    self->m_hWnd = hwnd;
    return self->WindowProc(message, wParam, lParam);
}

LRESULT CTrayWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    // 0 until the icon is set up; WM_NULL must not pass for a tray notification.
    if (m_trayCallbackMessage != 0 && message == m_trayCallbackMessage) {
        OnTrayNotification(lParam);
        return 0;
    }
    if (m_taskbarCreatedMessage != 0 && message == m_taskbarCreatedMessage) {
        // The shell was (re)started and forgot every icon: add ours again, same record.
        // A shell that comes up after every try failed brings the icon too.
        if (m_notifyIconData.hWnd != nullptr && TryAddIcon()) KillTimer(m_hWnd, kIconRetryTimer);
        return 0;
    }

    switch (message) {
        case WM_CREATE:
            OnCreate();
            if (ReadSetting("FirstLaunch", true)) {
                ShowOptions();
                WriteSetting("FirstLaunch", false);
            }
            return 0;
        case WM_DESTROY:
            Shutdown();
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(m_hWnd, &paint);
            EndPaint(m_hWnd, &paint);
            return 0;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDM_ABOUT:
                    return 0;
                case IDM_EXIT:
                    DestroyWindow(m_hWnd);
                    return 0;
                case IDM_OPTIONS:
                    ShowOptions();
                    return 0;
                case IDM_QUIT:
                    // Default handling of WM_CLOSE destroys the window, as Exit does.
                    SendMessageW(m_hWnd, WM_CLOSE, 0, 0);
                    return 0;
                default:
                    return DefWindowProcW(m_hWnd, message, wParam, lParam);
            }
        case WM_HOTKEY:
            if (wParam == 0 && !IsRepeatedHotkey()) {
                // The press runs at once: a direct read needs no key let go, and the copy
                // keystroke waits for the hotkey's keys itself.
                TrackHotkeyPress(lParam);
                OpenSelection(static_cast<UINT>(HIWORD(lParam)));
                WaitForHotkeyRelease(lParam);
            }
            return 0;
        case WM_TIMER:
            if (wParam == kIconRetryTimer) {
                RetryTrayIcon();
            } else {
                m_opener.OnTimer(wParam);
            }
            return 0;
        case WM_CLIPBOARDUPDATE:
            m_opener.OnClipboardUpdate();
            return 0;
        default:
            return DefWindowProcW(m_hWnd, message, wParam, lParam);
    }
}

void CTrayWindow::OnTrayNotification(LPARAM lParam) {
    // Version 4 puts the event in the low word (the icon's id in the high word) and asks for
    // the menu with WM_CONTEXTMENU, after the right button's release and from the keyboard
    // alike. A shell that refused the version sends the mouse message itself.
    const LPARAM event = m_iconVersion4 ? LOWORD(lParam) : lParam;
    const LPARAM menuEvent = m_iconVersion4 ? WM_CONTEXTMENU : WM_RBUTTONUP;
    if (event == menuEvent) {
        if (m_popupMenu != nullptr) ShowTrayMenu();
    } else if (event == WM_LBUTTONDBLCLK || event == NIN_KEYSELECT) {
        // What users expect of a tray icon; a single click (NIN_SELECT) stays without
        // effect, so that the first click of a double-click does nothing else.
        ShowOptions();
    }
}

void CTrayWindow::ShowTrayMenu() {
    POINT cursor = {};
    GetCursorPos(&cursor);
    HMENU menu = GetSubMenu(m_popupMenu, 0);
    // A notification-icon menu only closes on a click elsewhere when its owner is the
    // foreground window, and the posted message lets it close properly afterwards.
    SetForegroundWindow(m_hWnd);
    TrackPopupMenu(menu, TPM_CENTERALIGN | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

void CTrayWindow::OnCreate() {
    // The last error is not cleared before these steps: a value left by an earlier call
    // is traced like a new one.
    // MOD_NOREPEAT: keyboard auto-repeat must not queue further runs of one press.
    if (RegisterHotKey(m_hWnd, 0, GetOpenSelectionHotkeyModifier() | kHotkeyRegisterFlags,
                       GetOpenSelectionHotkey())) {
        m_hotkeyRegistered = true;
    } else {
        TraceLastError();
        if (GetLastError() != 0) TraceLastError();
        ShowWarning(m_hWnd, IDS_HOTKEY_FAILED);
    }

    if (!AddTrayIcon()) ShowWarning(m_hWnd, IDS_TRAY_ADD_FAILED);
    if (!LoadTrayMenu()) ShowWarning(m_hWnd, IDS_TRAY_MENU_FAILED);
}

bool CTrayWindow::AddTrayIcon() {
    m_trayCallbackMessage = RegisterWindowMessageA("NotifyIcon");
    // Judged by its result, not by the last error: window creation leaves unrelated
    // values on the thread (Wine: ERROR_INVALID_WINDOW_HANDLE before WM_CREATE), and a
    // stale value must not cost the user the icon.
    if (m_trayCallbackMessage == 0) {
        TraceLastError();
        return false;
    }

    HINSTANCE module = GetModuleHandleW(nullptr);
    HICON icon = LoadIconA(module, MAKEINTRESOURCEA(IDI_SELVANE));
    if (GetLastError() != 0) TraceLastError();
    if (icon == nullptr) return false;

    m_notifyIconData = NOTIFYICONDATAW();
    m_notifyIconData.cbSize = sizeof(m_notifyIconData);
    m_notifyIconData.hWnd = m_hWnd;
    m_notifyIconData.uID = 0;
    // Under version 4 the shell shows the tip only when asked to (NIF_SHOWTIP).
    m_notifyIconData.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_GUID | NIF_SHOWTIP;
    m_notifyIconData.uCallbackMessage = m_trayCallbackMessage;
    m_notifyIconData.hIcon = icon;
    CopyBounded(m_notifyIconData.szTip, ARRAYSIZE(m_notifyIconData.szTip),
                GetWstring(IDS_TRAY_TIP));
    m_notifyIconData.uVersion = NOTIFYICON_VERSION_4;
    m_notifyIconData.guidItem = TrayIconGuid;
    m_notifyIconData.hBalloonIcon = nullptr;

    m_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    m_iconTries = 1;
    if (TryAddIcon()) return true;
    // Refused by both identifications: at logon the shell may still be starting. Try
    // again shortly; the box comes only when every try has failed.
    return SetTimer(m_hWnd, kIconRetryTimer, kIconRetryMs, nullptr) != 0;
}

bool CTrayWindow::TryAddIcon() {
    if (Shell_NotifyIconW(NIM_ADD, &m_notifyIconData)) return IconAdded();
    // Already there (a TaskbarCreated the shell sends while it keeps its icons): a modify
    // request is taken only for an icon the shell knows.
    if (Shell_NotifyIconW(NIM_MODIFY, &m_notifyIconData)) return IconAdded();
    if ((m_notifyIconData.uFlags & NIF_GUID) == 0) return false;
    // Windows ties a GUID to the path of the program that first registered it, so a
    // moved Selvane.exe is refused: identify the icon by window and id instead, in every
    // later request (balloons and the delete included).
    NOTIFYICONDATAW byWindow = m_notifyIconData;
    byWindow.uFlags &= ~NIF_GUID;
    byWindow.guidItem = GUID();
    if (!Shell_NotifyIconW(NIM_ADD, &byWindow)) return false;
    m_notifyIconData = byWindow;
    return IconAdded();
}

bool CTrayWindow::IconAdded() {
    m_iconAdded = true;
    // Only version 4 reports the keyboard's select on the icon (NIN_KEYSELECT). The shell
    // forgets the version with the icon, so it is asked for after every add.
    m_iconVersion4 = Shell_NotifyIconW(NIM_SETVERSION, &m_notifyIconData) != FALSE;
    return true;
}

void CTrayWindow::RetryTrayIcon() {
    // One shot per try: no timer is left running once the icon is in or the tries are up.
    KillTimer(m_hWnd, kIconRetryTimer);
    m_opener.StopWatching();
    EndReleaseWatch();
    if (m_iconAdded || TryAddIcon()) return;
    if (++m_iconTries < kIconTries &&
        SetTimer(m_hWnd, kIconRetryTimer, kIconRetryMs, nullptr) != 0) {
        return;
    }
    ShowWarning(m_hWnd, IDS_TRAY_ADD_FAILED);
}

bool CTrayWindow::IsRepeatedHotkey() {
    // A message sent by a program is no key press.
    if (InSendMessage()) return false;
    return m_repeats.IsRepeat(static_cast<DWORD>(GetMessageTime()));
}

void CTrayWindow::TrackHotkeyPress(LPARAM lParam) {
    // The system does not honour MOD_NOREPEAT everywhere (Wine does not). Watch the keys
    // of this press until they are let go, to know which later messages repeat it. The
    // watch runs beside the press: a press made after the release, while the run was still
    // busy, is a new one.
    EndReleaseWatch();
    m_waitAfterRun = false;
    if (InSendMessage() || !HotkeyHeld(lParam)) {
        m_repeats.Untracked();
        return;
    }
    m_repeats.Pressed(static_cast<DWORD>(GetMessageTime()));
    m_watchedKeys = lParam;
    m_releaseWatch = CreateThread(nullptr, 0, &CTrayWindow::WatchRelease, this, 0, nullptr);
    if (m_releaseWatch == nullptr) {
        TraceLastError();
        m_waitAfterRun = true;
    }
}

DWORD WINAPI CTrayWindow::WatchRelease(void* self) {
    CTrayWindow* window = static_cast<CTrayWindow*>(self);
    const DWORD start = GetTickCount();
    while (HotkeyHeld(window->m_watchedKeys) && GetTickCount() - start < kReleaseWaitMs) {
        Sleep(10);
    }
    window->m_repeats.Released(GetTickCount());
    return 0;
}

void CTrayWindow::WaitForHotkeyRelease(LPARAM lParam) {
    if (!m_waitAfterRun) return;
    m_waitAfterRun = false;
    const DWORD start = GetTickCount();
    while (HotkeyHeld(lParam) && GetTickCount() - start < kReleaseWaitMs) Sleep(10);
    m_repeats.Released(GetTickCount());
}

void CTrayWindow::EndReleaseWatch() {
    if (m_releaseWatch == nullptr) return;
    // The watch ends by itself within kReleaseWaitMs of its start.
    WaitForSingleObject(m_releaseWatch, kReleaseWaitMs + 500);
    CloseHandle(m_releaseWatch);
    m_releaseWatch = nullptr;
}

bool CTrayWindow::LoadTrayMenu() {
    m_popupMenu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAYMENU));
    if (GetLastError() != 0) TraceLastError();
    return m_popupMenu != nullptr;
}

void CTrayWindow::Shutdown() {
    if (m_optionDialog != nullptr) {
        m_optionDialog->Destroy();
        delete m_optionDialog;
        m_optionDialog = nullptr;
    }
    KillTimer(m_hWnd, kIconRetryTimer);
    // The same record as the add request: the shell finds the icon the same way.
    if (m_iconAdded) Shell_NotifyIconW(NIM_DELETE, &m_notifyIconData);
    m_iconAdded = false;
    DestroyMenu(m_popupMenu);
    m_popupMenu = nullptr;
    if (m_hotkeyRegistered) {
        UnregisterHotKey(m_hWnd, 0);
        m_hotkeyRegistered = false;
    }
    m_opener.ReleaseComApartment();
    PostQuitMessage(0);
}

void CTrayWindow::OpenSelection(UINT hotkeyKey) {
    m_opener.Run(m_notifyIconData, hotkeyKey);
}

void CTrayWindow::ShowLocationNotFound() {
    ShowNotFoundBalloon(m_notifyIconData);
}

bool CTrayWindow::IsOptionsWindowMessage(MSG* msg) {
    return m_optionDialog != nullptr && m_optionDialog->m_hWnd != nullptr &&
           IsDialogMessageW(m_optionDialog->m_hWnd, msg) != FALSE;
}

void CTrayWindow::ShowOptions() {
    if (m_optionDialog != nullptr) m_optionDialog->Show(m_hWnd);
}

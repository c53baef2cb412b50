#pragma once

#include <windows.h>
#include <shellapi.h>

// What the main window shares with the windows below it: the window that owns the tray
// icon and receives the hotkey, the icon's record (balloons name the icon by it), and
// whether the hotkey is registered for that window (the Settings page re-registers it).
struct CTrayState {
    HWND m_hWnd = nullptr;
    NOTIFYICONDATAW m_notifyIconData = {};
    bool m_hotkeyRegistered = false;
};

// Flags the hotkey is registered with beside the stored modifiers: one run per press.
const UINT kHotkeyRegisterFlags = MOD_NOREPEAT;

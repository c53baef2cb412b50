#pragma once

#include <windows.h>
#include <shellapi.h>

class COptionDialog;

// Identifies our tray icon to the shell in every request.
extern const GUID TrayIconGuid;

// The program's main object: the hidden main window, the tray icon and its menu, the
// hotkey registration and the options window.
class CTrayWindow {
public:
    CTrayWindow();

    static void RegisterWindowClass();
    bool Create();

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    bool AddTrayIcon();
    bool LoadTrayMenu();

    // Runs on WM_HOTKEY id 0: copy the selection, open it, report in a balloon.
    void OpenSelection();
    void ShowLocationNotFound();

    // Shows the options window, creating it on first use.
    void ShowOptions();

    HWND m_hWnd;
    NOTIFYICONDATAW m_notifyIconData;
    bool m_iconAdded;
    HMENU m_popupMenu;
    bool m_hotkeyRegistered;
    UINT m_trayCallbackMessage;
    COptionDialog* m_optionDialog;
    // Broadcast by the shell when the taskbar is re-created; the icon is re-added then.
    UINT m_taskbarCreatedMessage;

private:
    void ShowTrayMenu();
    void Shutdown();
};

// Exit code of wWinMain when the main window cannot be created: without it nothing
// could ever end the message loop, so the program stops at once.
const int kExitNoMainWindow = 1;
// Exit code when another copy of the program is already running.
const int kExitAlreadyRunning = -1;

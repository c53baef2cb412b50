#pragma once

#include <windows.h>
#include <shellapi.h>

#include "base/press_repeat.h"
#include "opener/open_selection.h"
#include "services/tray_state.h"

class COptionDialog;

// Identifies our tray icon to the shell in every request.
extern const GUID TrayIconGuid;

// The program's main object: the hidden main window, the tray icon and its menu, the
// hotkey registration and the options window.
class CTrayWindow : public CTrayState {
public:
    CTrayWindow();

    static void RegisterWindowClass();
    bool Create();

    static LRESULT CALLBACK StaticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    void OnCreate();
    bool AddTrayIcon();
    bool LoadTrayMenu();
    // One add request for the prepared icon record; see tray_window.cpp.
    bool TryAddIcon();

    // Runs on WM_HOTKEY id 0: copy the selection, open it, report in a balloon. The copy
    // keystroke waits for `hotkeyKey` (the hotkey's own key, when still held) to be let go.
    void OpenSelection(UINT hotkeyKey = 0);
    void ShowLocationNotFound();

    // Shows the options window, creating it on first use.
    void ShowOptions();
    // Keyboard navigation of the options window (Tab, Shift+Tab) for the message loop:
    // true when `msg` was such a message and has been handled.
    bool IsOptionsWindowMessage(MSG* msg);

    bool m_iconAdded;
    HMENU m_popupMenu;
    UINT m_trayCallbackMessage;
    // The shell took NOTIFYICON_VERSION_4 for the icon: its notifications carry the event in
    // the low word of lParam. False: lParam is the mouse message itself.
    bool m_iconVersion4;
    COptionDialog* m_optionDialog;
    // Broadcast by the shell when the taskbar is re-created; the icon is re-added then.
    UINT m_taskbarCreatedMessage;
    // Tries of the icon's add request so far; while the shell refuses them a one-shot
    // timer (kIconRetryTimer) tries again, up to kIconTries in all.
    int m_iconTries;
    // The hotkey press that started the last run, while its keys were seen held: hotkey
    // messages typed between its start and the keys' release are its auto-repeats.
    CPressRepeatFilter m_repeats;
    // Watches the keys of the tracked press until they come up, while the run goes on:
    // a thread of its own, ended with the release (at most kReleaseWaitMs).
    HANDLE m_releaseWatch;
    LPARAM m_watchedKeys;
    // The watch could not be started: the release is noted after the run instead.
    bool m_waitAfterRun;
    // Runs the presses; holds what outlives one run (COM on this thread).
    CSelectionOpener m_opener;

private:
    // The tray icon's callback: the menu on the right button (or the keyboard's menu key),
    // the options window on a double-click or the keyboard's select.
    void OnTrayNotification(LPARAM lParam);
    // Records a successful add request and asks for the notifications of version 4.
    bool IconAdded();
    void ShowTrayMenu();
    void Shutdown();
    void RetryTrayIcon();
    bool IsRepeatedHotkey();
    void TrackHotkeyPress(LPARAM lParam);
    void WaitForHotkeyRelease(LPARAM lParam);
    void EndReleaseWatch();
    static DWORD WINAPI WatchRelease(void* self);
};

// The tray icon's add request is tried again on this timer of the main window while the
// shell refuses it (it is still starting), kIconTries times in all, kIconRetryMs apart.
const UINT_PTR kIconRetryTimer = 1;
const int kIconTries = 5;
const UINT kIconRetryMs = 2000;

// Exit code of wWinMain when the main window cannot be created: without it nothing
// could ever end the message loop, so the program stops at once.
const int kExitNoMainWindow = 1;
// Exit code when another copy of the program is already running.
const int kExitAlreadyRunning = -1;

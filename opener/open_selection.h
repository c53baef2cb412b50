#pragma once

#include <windows.h>
#include <shellapi.h>

#include "capture/late_copy.h"

// The hotkey command: capture the selection, hand it to the shell, report in a balloon on
// the tray icon that `icon` identifies. Keeps only what outlives a run: COM on this thread,
// set up before the first shell request and released at shutdown.
class CSelectionOpener {
public:
    // One press, start to end. A copy keystroke waits for `hotkeyKey` to be let go.
    void Run(const NOTIFYICONDATAW& icon, UINT hotkeyKey = 0);
    // Balances the COM set-up of the first press; called once, at shutdown.
    void ReleaseComApartment();
    // The main window's WM_CLIPBOARDUPDATE and WM_TIMER, for the watch that undoes a copy
    // made after a press gave up. OnTimer is true when the timer was the watch's.
    void OnClipboardUpdate() { m_lateCopy.OnClipboardUpdate(); }
    bool OnTimer(UINT_PTR timer);
    // Ends the watch (at shutdown, before the window goes).
    void StopWatching() { m_lateCopy.Stop(); }
    // The process whose windows are never sent keys: this one. A benchmark whose stand-in
    // windows run on threads of its own process sets 0 (no process).
    void SetOwnProcess(DWORD process) { m_ownProcess = process; }

private:
    void EnsureComApartment();

    CLateCopyWatch m_lateCopy;
    DWORD m_ownProcess = GetCurrentProcessId();

    bool m_comTried = false;
    bool m_comApartment = false;
};

// "Could not find this location", on the icon `icon` identifies.
void ShowNotFoundBalloon(const NOTIFYICONDATAW& icon);

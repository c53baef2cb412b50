#pragma once

// The watch that undoes a copy made after a press gave up waiting. A busy or remote program
// may copy the selection seconds after the keys: that copy replaces the user's clipboard
// after the press has ended. For a few seconds the user's contents are kept and the
// clipboard is watched; a copy in that time from the program the keys went to, with no
// input from the user since, is replaced by what the user had. Anything else lets go.
// Idle costs nothing: a clipboard listener and one one-shot timer, both gone at the end.

#include <windows.h>

#include "capture/clipboard.h"

// How long a press's snapshot is kept for a late copy.
constexpr UINT kLateCopyWatchMs = 5000;
// The watch's one-shot timer on the window it watches with.
constexpr UINT_PTR kLateCopyTimer = 0x5E17;

// What the watch does with a change of the clipboard while it watches.
enum class LateCopyVerdict {
    kIgnore,   // not a change since the press (its own put-back or nothing)
    kPutBack,  // the late copy of the press: the user's contents go back
    kLetGo,    // someone else's copy, or the user's own: the snapshot is let go
};

// The rule, apart from the system: `ownerProcess` owns the clipboard now (0: nobody known),
// `lastInput` is GetLastInputInfo's time now.
LateCopyVerdict JudgeLateCopy(const LateCopy& late, DWORD sequence, DWORD ownerProcess,
                              DWORD lastInput);

class CLateCopyWatch {
public:
    CLateCopyWatch() = default;
    ~CLateCopyWatch() { Stop(); }
    CLateCopyWatch(const CLateCopyWatch&) = delete;
    CLateCopyWatch& operator=(const CLateCopyWatch&) = delete;

    // Watches with `window` (which must pass WM_CLIPBOARDUPDATE and the timer on) while
    // `late` is armed; takes its snapshot. False when nothing is watched.
    bool Start(HWND window, LateCopy&& late);
    // WM_CLIPBOARDUPDATE on the window: puts back or lets go as JudgeLateCopy says.
    void OnClipboardUpdate();
    // The timer or a new press: lets go of the snapshot, removes the listener and timer.
    void Stop();
    bool Watching() const { return m_window != nullptr; }

private:
    HWND m_window = nullptr;
    LateCopy m_late;
};

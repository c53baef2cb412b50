#pragma once

// The Win32 side of the capture: the facts PlanCapture decides on, the direct read of an
// edit control's selection, and the press's whole capture.

#include <windows.h>

#include <string>

#include "capture/capture_plan.h"
#include "capture/clipboard.h"

// The foreground window, the focused control of its thread and the integrity levels, as
// the system reports them when the object is made.
class CWin32CapturePlatform : public CCapturePlatform {
public:
    // `ownProcess`: the process whose windows are never sent keys, this one.
    explicit CWin32CapturePlatform(DWORD ownProcess = GetCurrentProcessId());
    ~CWin32CapturePlatform() override;
    CWin32CapturePlatform(const CWin32CapturePlatform&) = delete;
    CWin32CapturePlatform& operator=(const CWin32CapturePlatform&) = delete;

    std::wstring ForegroundClass() override;
    std::wstring FocusClass() override;
    bool FocusIsPassword() override;
    bool ForegroundIntegrity(std::uint32_t& level) override;
    bool OwnIntegrity(std::uint32_t& level) override;
    bool ForegroundIsOwnProcess() override;
    std::wstring ForegroundExecutable() override;
    bool FocusIsUnicode() override;

    HWND Foreground() const { return m_foreground; }
    HWND Focus() const { return m_focus; }
    DWORD ForegroundProcess() const { return m_process; }

private:
    // The foreground process, opened for queries on first use; null when it cannot be.
    HANDLE ForegroundHandle();

    HWND m_foreground = nullptr;
    HWND m_focus = nullptr;
    DWORD m_process = 0;
    DWORD m_ownProcess = 0;
    HANDLE m_processHandle = nullptr;
    bool m_handleTried = false;
};

// What a direct read came to.
enum class DirectRead {
    kText,         // `text` holds the selection, as CTRL+C would have copied it
    kEmpty,        // nothing is selected
    kUnavailable,  // no answer, a refusal or positions that do not add up: use the clipboard
};

// How long the control has to answer each message of a direct read.
constexpr UINT kDirectReadTimeoutMs = 250;
// A selection inside one line reads that line, of at most this many characters: EM_GETLINE's
// buffer, twice the line (see capture_win.cpp), must have a size a WORD can say. A longer
// line is read as a whole text, or left to the clipboard.
constexpr DWORD kDirectReadMaxLine = 32000;
// A selection over several lines of an edit control reads the whole text only up to this
// many characters; a larger document is left to the clipboard.
constexpr DWORD kDirectReadMaxText = 1u << 18;

// Reads the selection of `control`, an edit or rich edit control of any process, with its
// own messages, each sent with a time-out so that a hung program cannot hang this one.
DirectRead ReadSelectionDirectly(HWND control, EditKind kind, std::wstring& text);

// The press's capture: chooses the way (PlanCapture), reads directly or copies through the
// clipboard, and falls back from a direct read that does not add up to the copy keys.
// `text` receives the selection; it stays empty when nothing was selected or copied.
// Returns the way the text was got (kNothing when it was not). A copy keystroke waits for
// `heldKey` (the hotkey's own key; 0 for none) as it waits for the modifiers. When the
// program copied nothing in time, `late` (if given) receives the user's clipboard and what
// is needed to undo a copy that comes afterwards. `ownProcess` is the process that is never
// sent keys.
CaptureWay CaptureSelection(std::wstring& text, UINT heldKey = 0, LateCopy* late = nullptr,
                            DWORD ownProcess = GetCurrentProcessId());

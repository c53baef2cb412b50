#pragma once

// How a press reads the selection: directly from the focused control, through the
// clipboard with CTRL+C or CTRL+INSERT, or not at all. Free of <windows.h>, so that the
// choice is tested natively; the facts come through CCapturePlatform, whose Win32 side
// lives in capture_win.cpp.

#include <cstdint>
#include <string>

// The system's edit controls whose selection can be read with their own messages.
enum class EditKind {
    kNone,      // any other window
    kEdit,      // the system edit control ("Edit")
    kRichEdit,  // a rich edit control ("RichEdit20W", "RICHEDIT50W", "RichEditD2DPT")
};

// What a press does to get the selection.
enum class CaptureWay {
    kNothing,       // nothing can be read: nothing is sent, the clipboard is not touched
    kReadDirectly,  // the control's own messages; the clipboard is not touched
    kCopyKeys,      // CTRL+C through the clipboard
    kInsertKeys,    // CTRL+INSERT through the clipboard: terminals, where CTRL+C interrupts
};

// Why a press reads nothing.
enum class NothingReason {
    kNone,
    kHigherRights,  // the foreground program runs at a higher integrity level: the system
                    // drops injected keys and messages into it without telling
    kPassword,      // a password box: never read, and it copies nothing anyway
};

struct CapturePlan {
    CaptureWay way = CaptureWay::kCopyKeys;
    // Where a direct read that does not add up falls back to: kCopyKeys or kInsertKeys.
    CaptureWay fallback = CaptureWay::kNothing;
    EditKind edit = EditKind::kNone;
    NothingReason reason = NothingReason::kNone;
};

// The facts the choice rests on.
class CCapturePlatform {
public:
    virtual ~CCapturePlatform() = default;

    // Window class of the foreground (top-level) window; empty when there is none.
    virtual std::wstring ForegroundClass() = 0;
    // Window class of the control that has the keyboard focus in the foreground thread;
    // empty when it is not known.
    virtual std::wstring FocusClass() = 0;
    // Whether the focused control is a password box (ES_PASSWORD).
    virtual bool FocusIsPassword() = 0;
    // Mandatory integrity level (the label's RID: 0x1000 low, 0x2000 medium, 0x3000 high,
    // 0x4000 system) of the foreground window's process and of this process. False when it
    // cannot be read.
    virtual bool ForegroundIntegrity(std::uint32_t& level) = 0;
    virtual bool OwnIntegrity(std::uint32_t& level) = 0;
};

// The kind of edit control a window class names, compared without case as the system
// compares class names.
EditKind EditKindOf(const std::wstring& windowClass);

// Whether a window class is a terminal's: its programs take CTRL+C as an interrupt.
bool IsTerminalClass(const std::wstring& windowClass);

// The way this press reads the selection.
CapturePlan PlanCapture(CCapturePlatform& platform);

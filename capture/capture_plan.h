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
    kOwnWindow,     // one of Selvane's own windows, without an edit control to read: keys
                    // sent to it would wait behind this very press and land afterwards
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

    // Which program is in front, and what the focused control can be read with.
    // Whether the foreground window belongs to this very process.
    virtual bool ForegroundIsOwnProcess() = 0;
    // File name (no folder) of the foreground process's executable; empty when unknown.
    virtual std::wstring ForegroundExecutable() = 0;
    // Whether the focused control is a Unicode window: an ANSI edit control counts its
    // positions in bytes, which a direct read cannot match to characters.
    virtual bool FocusIsUnicode() = 0;
};

// The kind of edit control a window class names, compared without case as the system
// compares class names.
EditKind EditKindOf(const std::wstring& windowClass);

// Whether a window class is a terminal's: its programs take CTRL+C as an interrupt.
bool IsTerminalClass(const std::wstring& windowClass);
// Whether an executable's file name is a terminal's whose window class other programs
// share, so that only the name tells it apart.
bool IsTerminalExecutable(const std::wstring& fileName);

// Whether text read directly from a control of `kind` can stand for what a copy would give.
// A NUL means the text was cut short on the way. A rich edit control's text may also hold
// its structure (objects, table and annotation marks, line breaks inside a paragraph, which
// its copy turns into something else): such text goes through the clipboard.
bool DirectTextIsPlain(EditKind kind, const std::wstring& text);

// The way this press reads the selection.
CapturePlan PlanCapture(CCapturePlatform& platform);

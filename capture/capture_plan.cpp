#include "capture/capture_plan.h"

#include "base/text_chars.h"

namespace {

bool SameClass(const std::wstring& windowClass, const wchar_t* name) {
    return EqualsNoCase(windowClass, 0, windowClass.size(), name);
}

template <std::size_t N>
bool OneOf(const std::wstring& windowClass, const wchar_t* const (&names)[N]) {
    for (const wchar_t* name : names) {
        if (SameClass(windowClass, name)) return true;
    }
    return false;
}

}  // namespace

EditKind EditKindOf(const std::wstring& windowClass) {
    static const wchar_t* const kEdits[] = {L"Edit"};
    // Only the Unicode classes: an ANSI rich edit answers its text messages in ANSI.
    static const wchar_t* const kRichEdits[] = {L"RichEdit20W", L"RICHEDIT50W", L"RichEditD2DPT"};
    if (OneOf(windowClass, kEdits)) return EditKind::kEdit;
    if (OneOf(windowClass, kRichEdits)) return EditKind::kRichEdit;
    return EditKind::kNone;
}

namespace {

// The terminals that copy on CTRL+INSERT and pass CTRL+C on as an interrupt. Their window
// classes, where the class is their own:
const wchar_t* const kTerminalClasses[] = {
    L"ConsoleWindowClass",             // the console host (cmd, PowerShell)
    L"CASCADIA_HOSTING_WINDOW_CLASS",  // Windows Terminal
    L"VirtualConsoleClass",            // ConEmu, Cmder
    L"PuTTY",                          // PuTTY: its class is its program's name
    L"PuTTYtel",
    L"pterm",
    L"KiTTY",
    L"org.wezfurlong.wezterm",  // WezTerm
};
// Classes that begin so: mintty (Git Bash, Cygwin, MSYS2) registers "mintty" or
// "mintty-<pid>" and variants of them; a class the user names otherwise is not known.
const wchar_t* const kTerminalClassPrefixes[] = {
    L"mintty",
};
// Terminals whose window class other programs share ("Window Class" of the toolkit
// Alacritty is built on, Chromium's classes for Electron programs): known by the file name
// of their executable.
const wchar_t* const kTerminalExecutables[] = {
    L"alacritty.exe",
    L"Hyper.exe",
    L"Tabby.exe",
};

}  // namespace

bool IsTerminalClass(const std::wstring& windowClass) {
    if (OneOf(windowClass, kTerminalClasses)) return true;
    for (const wchar_t* prefix : kTerminalClassPrefixes) {
        if (StartsWithNoCase(windowClass, prefix)) return true;
    }
    return false;
}

bool IsTerminalExecutable(const std::wstring& fileName) {
    // File names compare without case, as the file system does.
    return OneOf(fileName, kTerminalExecutables);
}

bool DirectTextIsPlain(EditKind kind, const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c == L'\0') return false;
        if (kind != EditKind::kRichEdit) continue;
        // An edit control's line breaks are what its copy gives; a rich edit control's
        // paragraph marks and soft breaks are not, and no other control character is text.
        if (c < 0x20 && c != L'\t') return false;
        if (c >= 0xFFF9 && c <= 0xFFFC) return false;  // annotations, embedded objects
        if (c >= 0xFDD0 && c <= 0xFDEF) return false;  // table structure
    }
    return true;
}

CapturePlan PlanCapture(CCapturePlatform& platform) {
    CapturePlan plan;
    if (platform.ForegroundIsOwnProcess()) {
        // Never keys into ourselves: this thread is the one that would have to copy, and it
        // is busy with the press. An edit control of our own is read directly or not at all.
        const EditKind edit = EditKindOf(platform.FocusClass());
        const bool readable = edit != EditKind::kNone && platform.FocusIsUnicode() &&
                              !platform.FocusIsPassword();
        plan.way = readable ? CaptureWay::kReadDirectly : CaptureWay::kNothing;
        plan.edit = readable ? edit : EditKind::kNone;
        plan.reason = readable ? NothingReason::kNone : NothingReason::kOwnWindow;
        return plan;
    }
    std::uint32_t foreground = 0, own = 0;
    if (platform.ForegroundIntegrity(foreground) && platform.OwnIntegrity(own) &&
        foreground > own) {
        plan.way = CaptureWay::kNothing;
        plan.reason = NothingReason::kHigherRights;
        return plan;
    }
    const std::wstring focus = platform.FocusClass();
    const bool terminal = IsTerminalClass(platform.ForegroundClass()) || IsTerminalClass(focus) ||
                          IsTerminalExecutable(platform.ForegroundExecutable());
    const CaptureWay keys = terminal ? CaptureWay::kInsertKeys : CaptureWay::kCopyKeys;
    plan.edit = EditKindOf(focus);
    if (plan.edit == EditKind::kNone) {
        plan.way = keys;
        return plan;
    }
    if (platform.FocusIsPassword()) {
        // Edit controls refuse to copy from a password box; the keys could only cost the wait.
        plan.way = CaptureWay::kNothing;
        plan.reason = NothingReason::kPassword;
        return plan;
    }
    if (!platform.FocusIsUnicode()) {
        // An ANSI control's positions count bytes: its copy gives the right text.
        plan.edit = EditKind::kNone;
        plan.way = keys;
        return plan;
    }
    plan.way = CaptureWay::kReadDirectly;
    plan.fallback = keys;
    return plan;
}

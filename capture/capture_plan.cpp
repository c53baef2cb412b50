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

bool IsTerminalClass(const std::wstring& windowClass) {
    static const wchar_t* const kTerminals[] = {
        L"ConsoleWindowClass",              // the console host (cmd, PowerShell)
        L"CASCADIA_HOSTING_WINDOW_CLASS",   // Windows Terminal
        L"mintty",                          // Git Bash, Cygwin, MSYS2
        L"VirtualConsoleClass",             // ConEmu, Cmder
    };
    return OneOf(windowClass, kTerminals);
}

CapturePlan PlanCapture(CCapturePlatform& platform) {
    CapturePlan plan;
    std::uint32_t foreground = 0, own = 0;
    if (platform.ForegroundIntegrity(foreground) && platform.OwnIntegrity(own) &&
        foreground > own) {
        plan.way = CaptureWay::kNothing;
        plan.reason = NothingReason::kHigherRights;
        return plan;
    }
    const std::wstring focus = platform.FocusClass();
    const CaptureWay keys = IsTerminalClass(platform.ForegroundClass()) || IsTerminalClass(focus)
                                ? CaptureWay::kInsertKeys
                                : CaptureWay::kCopyKeys;
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
    plan.way = CaptureWay::kReadDirectly;
    plan.fallback = keys;
    return plan;
}

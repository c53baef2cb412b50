// The choice of how a press reads the selection, against a fake system that reports the
// foreground window, the focused control and the integrity levels.

#include "capture/capture_plan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

constexpr std::uint32_t kMedium = 0x2000;
constexpr std::uint32_t kHigh = 0x3000;
constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;  // the level could not be read

class CFakeDesktop : public CCapturePlatform {
public:
    std::wstring foreground, focus, executable;
    bool password = false, own = false, unicode = true;
    std::uint32_t foregroundLevel = kMedium, ownLevel = kMedium;

    std::wstring ForegroundClass() override { return foreground; }
    std::wstring FocusClass() override { return focus; }
    bool FocusIsPassword() override { return password; }
    bool ForegroundIntegrity(std::uint32_t& level) override {
        level = foregroundLevel;
        return foregroundLevel != kUnknown;
    }
    bool OwnIntegrity(std::uint32_t& level) override {
        level = ownLevel;
        return ownLevel != kUnknown;
    }
    bool ForegroundIsOwnProcess() override { return own; }
    std::wstring ForegroundExecutable() override { return executable; }
    bool FocusIsUnicode() override { return unicode; }
};

TEST(CapturePlan, ChoosesTheWayFromTheWindowsAndTheRights) {
    struct Case {
        const char* what;
        const wchar_t* foreground;
        const wchar_t* focus;
        bool password;
        std::uint32_t foregroundLevel, ownLevel;
        CaptureWay way, fallback;
        EditKind edit;
        NothingReason reason;
        const wchar_t* executable = L"x.exe";
        bool own = false, unicode = true;
    };
    const CaptureWay kNothing = CaptureWay::kNothing, kRead = CaptureWay::kReadDirectly,
                     kC = CaptureWay::kCopyKeys, kInsert = CaptureWay::kInsertKeys;
    const NothingReason kNone = NothingReason::kNone, kOwn = NothingReason::kOwnWindow;
    const EditKind kNoEdit = EditKind::kNone;
    const Case cases[] = {
        {"browser", L"Chrome_WidgetWin_1", L"Chrome_RenderWidgetHostHWND", false, kMedium,
         kMedium, kC, kNothing, EditKind::kNone, kNone},
        {"no foreground window", L"", L"", false, kUnknown, kMedium, kC, kNothing,
         EditKind::kNone, kNone},
        {"Notepad", L"Notepad", L"Edit", false, kMedium, kMedium, kRead, kC, EditKind::kEdit,
         kNone},
        {"class names compare without case", L"#32770", L"EDIT", false, kMedium, kMedium, kRead,
         kC, EditKind::kEdit, kNone},
        {"WordPad", L"WordPadClass", L"RICHEDIT50W", false, kMedium, kMedium, kRead, kC,
         EditKind::kRichEdit, kNone},
        {"rich edit 2", L"x", L"RichEdit20W", false, kMedium, kMedium, kRead, kC,
         EditKind::kRichEdit, kNone},
        {"Windows 11 Notepad", L"Notepad", L"RichEditD2DPT", false, kMedium, kMedium, kRead, kC,
         EditKind::kRichEdit, kNone},
        {"ANSI rich edit is not read", L"x", L"RichEdit20A", false, kMedium, kMedium, kC,
         kNothing, EditKind::kNone, kNone},
        {"a look-alike class is no edit", L"x", L"EditEx", false, kMedium, kMedium, kC, kNothing,
         EditKind::kNone, kNone},
        {"password box", L"#32770", L"Edit", true, kMedium, kMedium, kNothing, kNothing,
         EditKind::kEdit, NothingReason::kPassword},
        {"console", L"ConsoleWindowClass", L"ConsoleWindowClass", false, kMedium, kMedium,
         kInsert, kNothing, EditKind::kNone, kNone},
        {"Windows Terminal", L"CASCADIA_HOSTING_WINDOW_CLASS",
         L"Windows.UI.Input.InputSite.WindowClass", false, kMedium, kMedium, kInsert, kNothing,
         EditKind::kNone, kNone},
        {"mintty", L"mintty", L"mintty", false, kMedium, kMedium, kInsert, kNothing,
         EditKind::kNone, kNone},
        {"ConEmu, focus in its console", L"VirtualConsoleClass", L"", false, kMedium, kMedium,
         kInsert, kNothing, EditKind::kNone, kNone},
        {"console class only on the focus", L"SomeHost", L"consolewindowclass", false, kMedium,
         kMedium, kInsert, kNothing, EditKind::kNone, kNone},
        {"an edit inside a terminal falls back to CTRL+INSERT", L"VirtualConsoleClass", L"Edit",
         false, kMedium, kMedium, kRead, kInsert, EditKind::kEdit, kNone},
        {"higher rights", L"Notepad", L"Edit", false, kHigh, kMedium, kNothing, kNothing,
         EditKind::kNone, NothingReason::kHigherRights},
        {"higher rights in a terminal", L"ConsoleWindowClass", L"", false, kHigh, kMedium,
         kNothing, kNothing, EditKind::kNone, NothingReason::kHigherRights},
        {"lower rights are reachable", L"x", L"y", false, 0x1000, kMedium, kC, kNothing,
         EditKind::kNone, kNone},
        {"both high", L"x", L"y", false, kHigh, kHigh, kC, kNothing, EditKind::kNone, kNone},
        {"foreground level unknown: try", L"x", L"y", false, kUnknown, kMedium, kC, kNothing,
         EditKind::kNone, kNone},
        {"own level unknown: try", L"x", L"y", false, kHigh, kUnknown, kC, kNothing,
         EditKind::kNone, kNone},
        // Terminals by class (a mintty variant, the focused child's), or by the executable
        // where the class is shared with other programs.
        {"PuTTY", L"PuTTY", L"", false, kMedium, kMedium, kInsert, kNothing, kNoEdit, kNone},
        {"WezTerm", L"org.wezfurlong.wezterm", L"", false, kMedium, kMedium, kInsert, kNothing,
         kNoEdit, kNone},
        {"mintty with its process id", L"mintty-4242", L"", false, kMedium, kMedium, kInsert,
         kNothing, kNoEdit, kNone},
        {"PuTTY embedded", L"SessionManager", L"PuTTY", false, kMedium, kMedium, kInsert,
         kNothing, kNoEdit, kNone},
        {"a PuTTY look-alike", L"PuTTYConfigBox", L"", false, kMedium, kMedium, kC, kNothing,
         kNoEdit, kNone},
        {"Alacritty", L"Window Class", L"", false, kMedium, kMedium, kInsert, kNothing, kNoEdit,
         kNone, L"Alacritty.EXE"},
        {"same toolkit, no terminal", L"Window Class", L"", false, kMedium, kMedium, kC, kNothing,
         kNoEdit, kNone, L"viewer.exe"},
        {"Hyper", L"Chrome_WidgetWin_1", L"Chrome_RenderWidgetHostHWND", false, kMedium, kMedium,
         kInsert, kNothing, kNoEdit, kNone, L"Hyper.exe"},
        // Selvane's own windows get no keys; ANSI edit controls go through the copy.
        {"own hotkey box", L"#32770", L"msctls_hotkey32", false, kMedium, kMedium, kNothing,
         kNothing, kNoEdit, kOwn, L"Selvane.exe", true},
        {"own edit control", L"#32770", L"Edit", false, kMedium, kMedium, kRead, kNothing,
         EditKind::kEdit, kNone, L"Selvane.exe", true},
        {"own password box", L"#32770", L"Edit", true, kMedium, kMedium, kNothing, kNothing,
         kNoEdit, kOwn, L"Selvane.exe", true},
        {"ANSI edit", L"Notepad", L"Edit", false, kMedium, kMedium, kC, kNothing, kNoEdit, kNone,
         L"old.exe", false, false},
        {"ANSI password box", L"x", L"Edit", true, kMedium, kMedium, kNothing, kNothing,
         EditKind::kEdit, NothingReason::kPassword, L"old.exe", false, false},
    };
    for (const Case& c : cases) {
        CFakeDesktop desktop;
        desktop.foreground = c.foreground;
        desktop.focus = c.focus;
        desktop.password = c.password;
        desktop.foregroundLevel = c.foregroundLevel;
        desktop.ownLevel = c.ownLevel;
        desktop.executable = c.executable;
        desktop.own = c.own;
        desktop.unicode = c.unicode;
        const CapturePlan plan = PlanCapture(desktop);
        EXPECT_EQ(plan.way, c.way) << c.what;
        EXPECT_EQ(plan.fallback, c.fallback) << c.what;
        EXPECT_EQ(plan.edit, c.edit) << c.what;
        EXPECT_EQ(plan.reason, c.reason) << c.what;
    }
}

// What a direct read may hand on: anything an edit control holds but a NUL (text cut short
// on the way); from a rich edit control no structure characters and no control characters
// but the tab.
TEST(DirectText, RichEditStructureGoesToTheCopy) {
    struct Case {
        const wchar_t* what;
        std::wstring text;
        bool edit, richEdit;
    };
    const Case cases[] = {
        {L"a path", L"C:\\Program Files\\x", true, true},
        {L"a tab", L"a\tb", true, true},
        {L"lines of an edit control", L"a\r\nb", true, false},
        {L"a soft line break", L"a\vb", true, false},
        {L"a NUL", std::wstring(L"a\0b", 3), false, false},
        {L"an embedded object", L"a\xFFFC" L"b", true, false},
        {L"annotation marks", L"\xFFF9" L"a\xFFFA" L"b\xFFFB", true, false},
        {L"table marks", L"a\xFDD0" L"b\xFDEF", true, false},
        {L"just outside the ranges", L"\xFFF8\xFDCF\xFDF0\xFFFD", true, true},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DirectTextIsPlain(EditKind::kEdit, c.text), c.edit) << c.what;
        EXPECT_EQ(DirectTextIsPlain(EditKind::kRichEdit, c.text), c.richEdit) << c.what;
    }
}

}  // namespace

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
    std::wstring foreground, focus;
    bool password = false;
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
    };
    const CaptureWay kNothing = CaptureWay::kNothing, kRead = CaptureWay::kReadDirectly,
                     kC = CaptureWay::kCopyKeys, kInsert = CaptureWay::kInsertKeys;
    const NothingReason kNone = NothingReason::kNone;
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
    };
    for (const Case& c : cases) {
        CFakeDesktop desktop;
        desktop.foreground = c.foreground;
        desktop.focus = c.focus;
        desktop.password = c.password;
        desktop.foregroundLevel = c.foregroundLevel;
        desktop.ownLevel = c.ownLevel;
        const CapturePlan plan = PlanCapture(desktop);
        EXPECT_EQ(plan.way, c.way) << c.what;
        EXPECT_EQ(plan.fallback, c.fallback) << c.what;
        EXPECT_EQ(plan.edit, c.edit) << c.what;
        EXPECT_EQ(plan.reason, c.reason) << c.what;
    }
}

}  // namespace

// The press's capture against real controls and windows of another thread: the direct
// read of edit and rich edit controls (and what it falls back to), the facts the choice
// rests on, and the whole capture with the way it took.

#include "capture/capture_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "capture/clipboard.h"
#include "tests/win32/test_source.h"

namespace {

using Control = CTestSource::Control;

void SetClipboardText(const std::wstring& text) {
    for (int i = 0; i < 300 && !OpenClipboard(nullptr); ++i) Sleep(10);
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
}

CTestSource::Options Source(Control control, const std::wstring& text, DWORD style = 0) {
    CTestSource::Options options;
    options.control = control;
    options.text = text;
    options.style = style;
    return options;
}

const wchar_t kLines[] = L"first line\r\nC:\\Selvane test\\second\r\nthird";

// Lines of a document larger than a direct read takes whole.
std::wstring LargeDocument() {
    std::wstring text;
    while (text.size() <= kDirectReadMaxText) text += std::wstring(70, L'x') + L"\r\n";
    return text + L"C:\\the last line";
}

// Every direct read that gives text gives what CTRL+C copies from the same control; every
// other answer sends the press to the clipboard or ends it.
TEST(DirectRead, GivesWhatCopyWouldOrSaysWhyNot) {
    const std::wstring large = LargeDocument();
    const DWORD largeEnd = static_cast<DWORD>(large.size());
    const std::wstring longLine = std::wstring(kDirectReadMaxLine + 10, L'y') + L"\r\nC:\\x";
    struct Case {
        const char* what;
        Control control;
        std::wstring text;
        DWORD style, start, end;
        DirectRead result;
        std::wstring read;
    };
    const DWORD kMulti = ES_MULTILINE | ES_AUTOVSCROLL;
    const Case cases[] = {
        {"single-line edit", Control::kEdit, L"open C:\\Windows now", 0, 5, 15, DirectRead::kText,
         L"C:\\Windows"},
        {"inside one line", Control::kEdit, kLines, kMulti, 12, 34, DirectRead::kText,
         L"C:\\Selvane test\\second"},
        {"the line with its break", Control::kEdit, kLines, kMulti, 12, 36, DirectRead::kText,
         L"C:\\Selvane test\\second\r\n"},
        {"over three lines", Control::kEdit, kLines, kMulti, 6, 41, DirectRead::kText,
         L"line\r\nC:\\Selvane test\\second\r\nthird"},
        {"nothing selected", Control::kEdit, kLines, kMulti, 7, 7, DirectRead::kEmpty, L""},
        {"one line of a large document", Control::kEdit, large, kMulti, largeEnd - 16, largeEnd,
         DirectRead::kText, L"C:\\the last line"},
        {"many lines of a large document", Control::kEdit, large, kMulti, 0, largeEnd,
         DirectRead::kUnavailable, L""},
        {"a line too long for EM_GETLINE", Control::kEdit, longLine, kMulti, 5,
         kDirectReadMaxLine + 16, DirectRead::kText,
         std::wstring(kDirectReadMaxLine + 5, L'y') + L"\r\nC:\\x"},
        // Inside, a rich edit control ends a line with "\r" alone: its positions count one.
        {"rich edit, one line", Control::kRichEdit, kLines, kMulti, 11, 33, DirectRead::kText,
         L"C:\\Selvane test\\second"},
        {"rich edit, single-line control", Control::kRichEdit, L"see C:\\Temp.", 0, 4, 11,
         DirectRead::kText, L"C:\\Temp"},
        // Its line breaks are "\r" inside, "\r\n" on the clipboard: left to the clipboard.
        {"rich edit over lines", Control::kRichEdit, kLines, kMulti, 6, 20,
         DirectRead::kUnavailable, L""},
        // A selection ending with the line's paragraph mark, as a triple click makes it, is
        // read without the mark; so is select-all in a one-line document (WordPad's CTRL+A).
        {"rich edit, the line with its mark", Control::kRichEdit, kLines, kMulti, 11, 34,
         DirectRead::kText, L"C:\\Selvane test\\second"},
        {"rich edit, select all of one line", Control::kRichEdit, L"C:\\Temp\\x", kMulti, 0,
         0xFFFFFFFFu, DirectRead::kText, L"C:\\Temp\\x"},
        {"rich edit, the mark alone", Control::kRichEdit, kLines, kMulti, 33, 34,
         DirectRead::kEmpty, L""},
        {"rich edit, a soft line break inside", Control::kRichEdit, L"C:\\a\vb", kMulti, 0, 5,
         DirectRead::kUnavailable, L""},
    };
    for (const Case& c : cases) {
        CTestSource source(Source(c.control, c.text, c.style));
        ASSERT_TRUE(source.IsForeground()) << c.what;
        source.Select(c.start, c.end);
        std::wstring text = L"untouched";
        const EditKind kind = c.control == Control::kEdit ? EditKind::kEdit : EditKind::kRichEdit;
        EXPECT_EQ(ReadSelectionDirectly(source.ControlWindow(), kind, text), c.result) << c.what;
        if (c.result != DirectRead::kText) {
            EXPECT_EQ(text, L"untouched") << c.what;
            continue;
        }
        EXPECT_EQ(text, c.read) << c.what;
        std::wstring copied;
        SetClipboardText(L"before");
        EXPECT_EQ(CopyThroughClipboard(CopyKey::kC, copied, 0), CopyResult::kCopied) << c.what;
        // The copy carries the paragraph mark as a line break, which the read leaves out.
        if (copied.size() > text.size() && copied.compare(0, text.size(), text) == 0 &&
            copied.find_first_not_of(L"\r\n", text.size()) == std::wstring::npos) {
            copied.resize(text.size());
        }
        EXPECT_EQ(text, copied) << c.what << ": CTRL+C gives something else";
    }
}

TEST(DirectRead, AControlThatDoesNotAnswerOrLiesIsNotBelieved) {
    {
        CTestSource source(Source(Control::kEdit, L"C:\\Selvane"));
        ASSERT_TRUE(source.IsForeground());
        source.Hang();
        std::wstring text;
        EXPECT_EQ(ReadSelectionDirectly(source.ControlWindow(), EditKind::kEdit, text),
                  DirectRead::kUnavailable);
    }
    CTestSource::Options options = Source(Control::kEdit, L"C:\\Selvane");
    options.lyingPositions = true;
    CTestSource source(options);
    ASSERT_TRUE(source.IsForeground());
    std::wstring text;
    EXPECT_EQ(ReadSelectionDirectly(source.ControlWindow(), EditKind::kEdit, text),
              DirectRead::kUnavailable);
}

TEST(CaptureFacts, AreThoseOfTheForegroundWindowAndItsFocus) {
    CTestSource source(Source(Control::kEdit, L"secret", ES_PASSWORD));
    ASSERT_TRUE(source.IsForeground());
    CWin32CapturePlatform platform;
    EXPECT_EQ(platform.Foreground(), source.Top());
    EXPECT_EQ(platform.Focus(), source.ControlWindow());
    EXPECT_EQ(platform.ForegroundClass(), L"SelvaneTestSource");
    EXPECT_EQ(EditKindOf(platform.FocusClass()), EditKind::kEdit);
    EXPECT_TRUE(platform.FocusIsPassword());
    std::uint32_t own = 0, foreground = 1;
    ASSERT_TRUE(platform.OwnIntegrity(own));
    ASSERT_TRUE(platform.ForegroundIntegrity(foreground));
    EXPECT_EQ(foreground, own);  // a window of this very process
    EXPECT_TRUE(platform.ForegroundIsOwnProcess());
    EXPECT_TRUE(platform.FocusIsUnicode());
    EXPECT_EQ(platform.ForegroundProcess(), GetCurrentProcessId());
    wchar_t path[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring module(path);
    EXPECT_EQ(platform.ForegroundExecutable(), module.substr(module.find_last_of(L"\\/") + 1));
    EXPECT_FALSE(CWin32CapturePlatform(0).ForegroundIsOwnProcess());
}

// A password box is known by its password character too (rich edit password fields need not
// carry the style); an ANSI control is told apart from a Unicode one.
TEST(CaptureFacts, PasswordCharacterAndAnsiControls) {
    CTestSource::Options password = Source(Control::kRichEdit, L"secret", 0), ansi = password;
    password.passwordChar = L'*';
    ansi.control = Control::kEdit;
    ansi.ansi = true;
    for (const CTestSource::Options& options : {password, ansi}) {
        CTestSource source(options);
        ASSERT_TRUE(source.IsForeground());
        CWin32CapturePlatform platform;
        EXPECT_EQ(platform.FocusIsPassword(), !options.ansi);
        EXPECT_EQ(platform.FocusIsUnicode(), !options.ansi);
    }
}

// The whole capture: the way it took, the keys the program received, and whether the
// clipboard was touched at all.
TEST(CaptureSelection, TakesTheWayTheWindowAllowsAndTouchesNothingElse) {
    struct Case {
        const char* what;
        CTestSource::Options options;
        CaptureWay way;
        bool clipboardTouched;
        WPARAM keyReceived;  // 0: none at all
    };
    auto plain = [](const wchar_t* windowClass, bool selected) {
        CTestSource::Options options = Source(Control::kNone, L"C:\\Selvane\\plain");
        options.windowClass = windowClass;
        options.selected = selected;
        return options;
    };
    CTestSource::Options lying = Source(Control::kEdit, L"C:\\Selvane\\plain");
    lying.lyingPositions = true;
    CTestSource::Options unselected = Source(Control::kEdit, L"C:\\Selvane\\plain");
    unselected.selected = false;
    const Case cases[] = {
        {"edit control", Source(Control::kEdit, L"C:\\Selvane\\plain"), CaptureWay::kReadDirectly,
         false, 0},
        {"edit control, nothing selected", unselected, CaptureWay::kNothing, false, 0},
        {"password box", Source(Control::kEdit, L"C:\\Selvane\\plain", ES_PASSWORD),
         CaptureWay::kNothing, false, 0},
        {"edit control that lies: CTRL+C", lying, CaptureWay::kCopyKeys, true, 'C'},
        {"window", plain(L"SelvaneTestSource", true), CaptureWay::kCopyKeys, true, 'C'},
        {"window, nothing selected", plain(L"SelvaneTestSource", false), CaptureWay::kNothing,
         false, 'C'},
        {"console", plain(L"ConsoleWindowClass", true), CaptureWay::kInsertKeys, true, VK_INSERT},
        {"console, nothing selected", plain(L"ConsoleWindowClass", false), CaptureWay::kNothing,
         false, VK_INSERT},
        {"Windows Terminal", plain(L"CASCADIA_HOSTING_WINDOW_CLASS", true),
         CaptureWay::kInsertKeys, true, VK_INSERT},
        {"mintty", plain(L"mintty", true), CaptureWay::kInsertKeys, true, VK_INSERT},
        {"ConEmu", plain(L"VirtualConsoleClass", true), CaptureWay::kInsertKeys, true, VK_INSERT},
    };
    for (const Case& c : cases) {
        CTestSource source(c.options);
        ASSERT_TRUE(source.IsForeground()) << c.what;
        SetClipboardText(L"C:\\old clipboard text");
        const DWORD sequence = GetClipboardSequenceNumber();
        std::wstring text;
        // The windows are this program's own: count no process as Selvane's.
        EXPECT_EQ(CaptureSelection(text, 0, nullptr, 0), c.way) << c.what;
        EXPECT_EQ(text, c.way == CaptureWay::kNothing ? L"" : L"C:\\Selvane\\plain") << c.what;
        EXPECT_EQ(GetClipboardSequenceNumber() != sequence, c.clipboardTouched) << c.what;
        const std::vector<WPARAM> keys = source.Keys();
        if (c.keyReceived == 0) {
            EXPECT_TRUE(keys.empty()) << c.what;
        } else {
            EXPECT_TRUE(source.Received(c.keyReceived)) << c.what;
            EXPECT_FALSE(source.Received(c.keyReceived == 'C' ? VK_INSERT : 'C')) << c.what;
        }
    }
}

}  // namespace

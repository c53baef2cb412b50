// When a press may contact a server, and that it asks about each text once; the menu's
// labels show a name's characters in the order they are stored.

#include "opener/press_lookups.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "opener/selection_scan.h"
#include "tests/unit/fake_windows.h"

namespace {

TEST(IsOneNetworkPathTest, BlanksOnlyWhereThePathGoesOn) {
    const std::vector<std::pair<std::wstring, bool>> rows = {
        {L"\\\\fs\\Team Share\\a.txt", true},
        {L"\\\\fs\\share\\Q4 report.xlsx", true},
        {L"\\\\fs\\My Files\\", true},
        {L"\\\\fs\\share is down", false},
        {L"\\\\fs\\share\\x is down.", false},
        {L"\\\\file server\\x", false},
        {L"\\\\fs\\share\r\n\\\\fs\\other", false},
        {L"\\\\fs\\a and C:\\b", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, IsOneNetworkPath(row.first)) << row.first;
}

struct Line {
    const wchar_t* selection;
    std::vector<std::wstring> menu;  // what is offered before anything on a server is asked
    int choice;                      // -1: the menu closed without one
    OpenOutcome outcome;
};

// No text is asked about twice, and nothing on a server or network drive (Z:) before the
// user chose it from the menu.
TEST_F(OpenDecisionTest, AServerIsContactedOnlyForWhatTheUserChose) {
    windows.remoteDrives = L"Z";
    windows.AddFile(L"Z:\\logs\\today.txt");
    windows.AddFile(L"C:\\data\\in.csv");
    windows.AddFile(L"C:\\data\\invoice\u202Efdp.exe");
    const Line lines[] = {
        {L"\\\\attacker\\share is down", {L"\\\\attacker\\share"}, -1,
         OpenOutcome::kNothingChosen},
        // Alone inside a text, it is still offered; the pick is what is looked up.
        {L"see \\\\server\\share\\team for it", {L"\\\\server\\share\\team"}, 0,
         OpenOutcome::kOpenedFolder},
        {L"see file://server/share/team today", {L"file://server/share/team"}, 0,
         OpenOutcome::kOpenedFolder},
        {L"logs in Z:\\logs\\today.txt now", {L"Z:\\logs\\today.txt"}, 0, OpenOutcome::kOpenedFile},
        {L"Z:\\a and z:\\b, not C:\\data\\in.csv", {L"Z:\\a", L"z:\\b", L"C:\\data\\in.csv"}, -1,
         OpenOutcome::kNothingChosen},
        // The menu shows names in the order they are stored: no "invoiceexe.pdf".
        {L"C:\\data\\invoice\u202Efdp.exe and C:\\data\\in.csv",
         {L"C:\\data\\invoicefdp.exe", L"C:\\data\\in.csv"}, 0, OpenOutcome::kShownInFolder},
    };
    for (const Line& line : lines) {
        SCOPED_TRACE(line.selection);
        EXPECT_EQ(line.outcome, OpenChoosing(line.selection, line.choice));
        EXPECT_EQ(line.menu, windows.offered);
        bool menuShown = false;
        std::set<std::wstring> asked;
        for (const Call& call : windows.calls) {
            menuShown = menuShown || call.operation == L"menu";
            if (call.operation != L"attributes") continue;
            EXPECT_TRUE(asked.insert(call.argument).second) << "asked twice";
            const bool onServer =
                StartsWith(call.argument, L"\\\\") || StartsWith(Upper(call.argument), L"Z:");
            EXPECT_TRUE(!onServer || menuShown) << "asked before the user chose";
        }
    }
    windows.calls.clear();  // each drive's type is asked once a press
    Open(L"Z:\\a, Z:\\b, Z:\\c and Z:\\d");
    EXPECT_EQ(1, windows.Count(L"drive type"));
}

TEST(MenuLabelTest, DropsWhatReordersTextThenShortens) {
    EXPECT_EQ(L"abcdefghijkl",
              MenuLabel(L"a\u200Eb\u200Fc\u202Ad\u202Be\u202Cf\u202Dg\u2066h\u2067i\u2068j\u2069k"
                        L"\u061Cl"));
    EXPECT_EQ(L"C:\\\u05D0\u05D1.txt", MenuLabel(L"C:\\\u05D0\u05D1.txt"));  // letters stay
    const std::wstring shown(80, L'a');  // counted without them: no ellipsis
    EXPECT_EQ(shown, MenuLabel(L"\u202E" + shown + L"\u202C"));
}

}  // namespace

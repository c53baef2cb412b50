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
        {L"\\\\fs\\share", true},
        {L"\\\\fs\\Team Share\\a.txt", true},
        {L"\\\\fs\\share\\Q4 report.xlsx", true},
        {L"\\\\fs\\My Files\\", true},
        {L"\\\\fs/share/x", true},
        {L"\\\\fs\\share is down", false},
        {L"\\\\fs\\share\\x is down", false},
        {L"\\\\fs\\share\\x is down.", false},
        {L"\\\\fs\\share\\notes are in the", false},
        {L"\\\\file server\\x", false},
        {L"\\\\fs\\share\r\n\\\\fs\\other", false},
        {L"\\\\", false},
        {L"\\\\\\share", false},
        {L"C:\\a b", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, IsOneNetworkPath(row.first)) << row.first;
}

struct Line {
    const wchar_t* selection;
    std::vector<std::wstring> menu;  // what is offered before anything on a server is asked
    int choice;                      // -1: the menu closed without one
    OpenOutcome outcome;
};

class PressLookupsTest : public OpenDecisionTest {
protected:
    // The lookups that reach a server or a network drive, and how many came before the menu.
    void ExpectLines(const std::vector<Line>& lines) {
        for (const Line& line : lines) {
            SCOPED_TRACE(line.selection);
            windows.calls.clear();
            windows.offered.clear();
            windows.choice = line.choice;
            EXPECT_EQ(line.outcome, Open(line.selection));
            EXPECT_EQ(line.menu, windows.offered);
            bool menuShown = false;
            std::set<std::wstring> asked;
            for (const Call& call : windows.calls) {
                menuShown = menuShown || call.operation == L"menu";
                if (call.operation != L"attributes") continue;
                const std::wstring& path = call.argument;
                EXPECT_TRUE(asked.insert(Upper(path)).second) << "asked twice";
                const bool onServer = StartsWith(path, L"\\\\") || StartsWith(Upper(path), L"Z:");
                EXPECT_TRUE(!onServer || menuShown) << "asked before the user chose";
            }
        }
    }
};

TEST_F(PressLookupsTest, AServerIsContactedOnlyForWhatTheUserChose) {
    windows.remoteDrives = L"Z";
    windows.AddFile(L"Z:\\logs\\today.txt");
    windows.AddFile(L"C:\\data\\in.csv");
    ExpectLines({
        // A sentence that starts with a network path is offered, not looked up whole.
        {L"\\\\attacker\\share is down", {L"\\\\attacker\\share"}, -1,
         OpenOutcome::kNothingChosen},
        {L"\\\\attacker\\share\\x is down.", {L"\\\\attacker\\share\\x"}, -1,
         OpenOutcome::kNothingChosen},
        // Alone inside a text, it is still offered; the pick is what is looked up.
        {L"see \\\\server\\share\\team for it", {L"\\\\server\\share\\team"}, 0,
         OpenOutcome::kOpenedFolder},
        {L"see file://server/share/team today", {L"file://server/share/team"}, 0,
         OpenOutcome::kOpenedFolder},
        // A mapped network drive is a server too.
        {L"logs in Z:\\logs\\today.txt now", {L"Z:\\logs\\today.txt"}, 0,
         OpenOutcome::kOpenedFile},
        {L"Z:\\a and z:\\b, not C:\\data\\in.csv", {L"Z:\\a", L"z:\\b", L"C:\\data\\in.csv"}, -1,
         OpenOutcome::kNothingChosen},
        // A local path alone opens as before.
        {L"cannot read C:\\data\\in.csv: denied", {}, 0, OpenOutcome::kOpenedFile},
    });
    // Each drive's type is asked once a press.
    windows.calls.clear();
    windows.choice = -1;
    Open(L"Z:\\a, Z:\\b, Z:\\c and Z:\\d");
    EXPECT_EQ(1, windows.Count(L"drive type"));
}

TEST_F(PressLookupsTest, OneNetworkPathSelectedWholeIsLookedUpOnce) {
    windows.AddFile(L"\\\\server\\share\\team\\Q4 report.xlsx");
    ExpectRows({
        {L"\\\\server\\share\\team", OpenOutcome::kOpenedFolder, L"explore \\\\server\\share\\team"},
        {L"\"\\\\server\\share\\team\\Q4 report.xlsx\".", OpenOutcome::kOpenedFile,
         L"open \\\\server\\share\\team\\Q4 report.xlsx"},
        {L"file://server/share/team", OpenOutcome::kOpenedFolder,
         L"explore \\\\server\\share\\team"},
    });
    // The cleaned-up text, a form and the pick that are the same text are asked about once.
    for (const wchar_t* selection :
         {L"C:\\src\\main.cpp", L"(C:\\work\\nowhere).", L"see C:\\src\\main.cpp:42 there",
          L"C:\\data\\a.txt and C:\\data\\b.txt", L"\\\\server\\share\\team\\"}) {
        SCOPED_TRACE(selection);
        windows.calls.clear();
        Open(selection);
        std::set<std::wstring> asked;
        for (const Call& call : windows.calls) {
            if (call.operation == L"attributes") {
                EXPECT_TRUE(asked.insert(call.argument).second);
            }
        }
    }
}

TEST(MenuLabelTest, DropsWhatReordersTextThenShortens) {
    const std::vector<std::pair<std::wstring, std::wstring>> rows = {
        {L"C:\\x\\invoice\u202Efdp.exe", L"C:\\x\\invoicefdp.exe"},
        {L"a\u200Eb\u200Fc\u202Ad\u202Be\u202Cf\u202Dg\u2066h\u2067i\u2068j\u2069k\u061Cl",
         L"abcdefghijkl"},
        {L"C:\\caf\u00E9\\\u05D0\u05D1.txt", L"C:\\caf\u00E9\\\u05D0\u05D1.txt"},  // letters stay
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, MenuLabel(row.first));
    // Counted without them: 80 characters that are shown need no ellipsis.
    const std::wstring shown(80, L'a');
    EXPECT_EQ(shown, MenuLabel(L"\u202E" + shown + L"\u202C"));
}

TEST_F(OpenDecisionTest, TheMenuShowsNamesInStoredOrder) {
    windows.AddFile(L"C:\\data\\invoice\u202Efdp.exe");
    windows.AddFile(L"C:\\data\\in.csv");
    windows.choice = 0;
    EXPECT_EQ(OpenOutcome::kShownInFolder,
              Open(L"C:\\data\\invoice\u202Efdp.exe and C:\\data\\in.csv"));
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\data\\invoicefdp.exe", L"C:\\data\\in.csv"}),
              windows.offered);
    EXPECT_EQ(Launches{L"select C:\\data\\invoice\u202Efdp.exe"}, windows.Launches());
}

}  // namespace

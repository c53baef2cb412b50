// A relative path opens where it was selected: the bases in their order, one and several
// hits, the forms developers paste, and the bounds, through the fake system.

#include <gtest/gtest.h>

#include "opener/pasted_forms.h"
#include "opener/relative_bases.h"
#include "opener/selection_scan.h"
#include "tests/unit/fake_windows.h"

namespace {

constexpr const wchar_t* kEditor = L"\"C:\\Program Files\\Notepad++\\notepad++.exe\"";

class RelativeBasesTest : public OpenDecisionTest {
protected:
    void SetUp() override {
        OpenDecisionTest::SetUp();
        // A terminal whose shells work in two projects, a document in its title.
        windows.title = L"*C:\\doc\\report.md - Editor";
        windows.AddFile(L"C:\\doc\\report.md");
        windows.foregroundFolder = L"C:\\term\\";
        windows.descendantFolders = {L"C:\\newer", L"C:\\older"};
        windows.explorerFolder = L"C:\\shown";
        windows.userFolder = L"C:\\Users\\me";
        windows.programs[L".CPP"] = L"C:\\Program Files\\Notepad++\\notepad++.exe";
        windows.programs[L".PY"] = L"C:\\Program Files\\Notepad++\\notepad++.exe";
    }

    struct Case {
        const wchar_t* selection;
        std::vector<std::wstring> files;  // made for this case alone
        OpenOutcome outcome;
        std::wstring launch;  // empty: none
        int choice = 0;       // the menu's pick
        std::vector<std::wstring> menu = {};
    };
    void ExpectCases(const std::vector<Case>& cases) {
        for (const Case& c : cases) {
            SCOPED_TRACE(c.selection);
            for (const std::wstring& file : c.files) windows.AddFile(file);
            windows.calls.clear();
            windows.offered.clear();
            windows.choice = c.choice;
            EXPECT_EQ(c.outcome, Open(c.selection));
            EXPECT_EQ(c.launch.empty() ? Launches{} : Launches{c.launch}, windows.Launches());
            EXPECT_EQ(c.menu, windows.offered);
            for (const std::wstring& file : c.files) windows.RemoveEntry(file);
        }
    }
    const OpenOutcome kFile = OpenOutcome::kOpenedFile, kEdited = OpenOutcome::kOpenedInEditor;
};

TEST_F(RelativeBasesTest, TheFirstAndOnlyHitOpensSeveralAreOfferedInTheBasesOrder) {
    windows.AddFolder(L"C:\\older\\lib");
    ExpectCases({
        // One base has it, wherever it is in the order.
        {L"notes.txt", {L"C:\\doc\\notes.txt"}, kFile, L"open C:\\doc\\notes.txt"},
        {L"src\\notes.txt", {L"C:\\term\\src\\notes.txt"}, kFile, L"open C:\\term\\src\\notes.txt"},
        {L"lib\\util.txt", {L"C:\\older\\lib\\util.txt"}, kFile, L"open C:\\older\\lib\\util.txt"},
        {L"x.txt", {L"C:\\shown\\x.txt"}, kFile, L"open C:\\shown\\x.txt"},
        {L"lib", {}, OpenOutcome::kOpenedFolder, L"explore C:\\older\\lib"},
        // Several: the menu lists the full paths in the bases' order; the pick opens.
        {L"a.txt",
         {L"C:\\Users\\me\\a.txt", L"C:\\newer\\a.txt", L"C:\\doc\\a.txt", L"C:\\term\\a.txt"},
         kFile, L"open C:\\newer\\a.txt", 2,
         {L"C:\\doc\\a.txt", L"C:\\term\\a.txt", L"C:\\newer\\a.txt", L"C:\\Users\\me\\a.txt"}},
        {L"b.txt", {L"C:\\term\\b.txt", L"C:\\older\\b.txt"}, OpenOutcome::kNothingChosen, L"",
         -1, {L"C:\\term\\b.txt", L"C:\\older\\b.txt"}},
        // ".." leads out of a base.
        {L"..\\c.txt", {L"C:\\c.txt"}, kFile, L"open C:\\c.txt"},
        // Found nowhere: today's rules, the user's folder through the current one.
        {L"notes.txt", {}, kFile, L"open C:\\work\\notes.txt"},
        {L"just words", {}, OpenOutcome::kNotFound, L""},
    });
}

TEST_F(RelativeBasesTest, TheSameFolderTwiceIsOneBaseAndOneHit) {
    windows.descendantFolders = {L"c:\\TERM", L"C:\\term\\", L"relative\\folder", L""};
    windows.explorerFolder = L"C:\\doc";
    // The bases themselves: each folder once, a relative one never.
    std::size_t lookups = 64;
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\doc", L"C:\\term", L"C:\\Users\\me"}),
              RelativeBases(windows, lookups));
}

TEST_F(RelativeBasesTest, PositionsTracebacksAndDiffsWorkOnTheBases) {
    windows.AddFolder(L"C:\\term\\src");
    windows.AddFolder(L"C:\\newer\\src\\main.cpp");  // a folder is no file at a line
    const std::wstring start = std::wstring(L"start ") + kEditor;
    ExpectCases({
        {L"src/main.cpp:42:7", {L"C:\\older\\src\\main.cpp"}, kEdited,
         start + L" -n42 -c7 C:\\older\\src\\main.cpp"},
        {L"File \"app/models.py\", line 3, in main", {L"C:\\term\\app\\models.py"}, kEdited,
         start + L" -n3 C:\\term\\app\\models.py"},
        // A diff's side: without its prefix only when with it names nothing.
        {L"b/src/x.c", {L"C:\\newer\\src\\x.c"}, kFile, L"open C:\\newer\\src\\x.c"},
        {L"a/src/x.c", {L"C:\\newer\\src\\x.c", L"C:\\term\\a\\src\\x.c"}, kFile,
         L"open C:\\term\\a\\src\\x.c"},
    });
}

TEST_F(RelativeBasesTest, NothingOfThisRunsForWhatIsNoRelativePath) {
    windows.AddFolder(L"C:\\Users\\me\\Documents");
    const wchar_t* const texts[] = {
        L"C:\\src\\main.cpp",  L"C:/nowhere/x.c:3", L"\\\\server\\share\\team", L"\\rooted\\x",
        L"https://example.com/a", L"mailto:me@example.com", L"me@example.com",
        L"HKCU\\Software\\Selvane", L"%USERPROFILE%\\x", L"www.example.com/path",
        L"localhost:3000", L"~/Documents", L"/mnt/c/src/main.cpp", L"file:///C:/Users/nobody",
        L"Error: file not found", L"",
    };
    for (const wchar_t* text : texts) {
        SCOPED_TRACE(text);
        windows.calls.clear();
        Open(text);
        EXPECT_FALSE(windows.Called(L"base"));
    }
}

TEST_F(RelativeBasesTest, HomeWslGitBashAndTracebackForms) {
    windows.AddFolder(L"C:\\Users\\me");
    windows.AddFolder(L"C:\\Users\\me\\Documents");
    ExpectRows({
        {L"~", OpenOutcome::kOpenedFolder, L"explore C:\\Users\\me"},
        {L"~\\Documents", OpenOutcome::kOpenedFolder, L"explore C:\\Users\\me\\Documents"},
        {L"/mnt/c/src/main.cpp", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        {L"/mnt/c/src/main.cpp:12", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n12 C:\\src\\main.cpp"},
        {L"File \"C:\\src\\main.cpp\", line 12, in main", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n12 C:\\src\\main.cpp"},
        {L"/mnt/q/nothing", OpenOutcome::kNotFound, nullptr},
    });
    std::wstring out;
    const struct {
        const wchar_t* text;
        bool drive;
        const wchar_t* path;
    } unix[] = {
        {L"/mnt/c", true, L"C:\\"},          {L"/mnt/d/x/y", true, L"D:\\x\\y"},
        {L"/c/Users/x", true, L"C:\\Users\\x"}, {L"/c", false, L""},
        {L"/mnt/wsl/x", false, L""},          {L"/usr/bin", false, L""},
    };
    for (const auto& row : unix) {
        SCOPED_TRACE(row.text);
        out.clear();
        EXPECT_EQ(row.drive, DrivePathFromUnixForm(row.text, out));
        EXPECT_EQ(row.path, out);
    }
    EXPECT_FALSE(TracebackLineIn(L"File \"x.py\", line twelve", out));
    EXPECT_FALSE(TracebackLineIn(L"File \"x.py\", line 3 and more", out));
}

TEST_F(RelativeBasesTest, TheBasesStayWithinThePressesLookups) {
    // A title full of paths that name nothing, the most shells, a diff's prefix that
    // names nothing either: the whole press keeps its bound.
    std::wstring title;
    for (int i = 0; i < 40; ++i) title += L"C:\\gone" + std::to_wstring(i) + L"\\x.txt ";
    windows.title = title;
    windows.descendantFolders.clear();
    for (int i = 0; i < 40; ++i) windows.descendantFolders.push_back(L"C:\\s" + std::to_wstring(i));
    EXPECT_EQ(OpenOutcome::kNotFound, Open(L"a/src/missing.c"));
    EXPECT_LE(windows.Count(L"attributes"), static_cast<int>(kMostLookupsPerPress));
    EXPECT_GT(windows.Count(L"attributes"), 32);  // the bases are tried, not skipped

    // Found on every base: no more than a menu lists.
    windows.calls.clear();
    for (const std::wstring& folder : windows.descendantFolders) {
        windows.AddFile(folder + L"\\e.txt");
    }
    windows.AddFile(L"C:\\term\\e.txt");
    windows.AddFile(L"C:\\shown\\e.txt");
    windows.choice = 15;
    EXPECT_EQ(OpenOutcome::kOpenedFile, Open(L"e.txt"));
    EXPECT_EQ(kMostCandidates, windows.offered.size());

    // The title's scan has its own share.
    std::size_t lookups = 64;
    RelativeBases(windows, lookups);
    EXPECT_EQ(64 - kMostTitleLookups, lookups);
}

}  // namespace

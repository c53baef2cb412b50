// The open-selection decision against the fake system of fake_windows.h.

#include "opener/editors.h"
#include "opener/file_types.h"
#include "opener/open_decision.h"
#include "opener/selection_scan.h"

#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/unit/fake_windows.h"

namespace {

TEST(StartsWithTest, ComparesCodeUnitsCaseSensitively) {
    EXPECT_TRUE(StartsWith(L"http://", L"http://"));
    EXPECT_FALSE(StartsWith(L"http:/", L"http://"));  // shorter than the prefix
    EXPECT_FALSE(StartsWith(L"HTTP://a", L"http://"));
    EXPECT_FALSE(StartsWith(L"", L"h"));
    // A NUL inside the text is a code unit like any other, not an end.
    EXPECT_FALSE(StartsWith(std::wstring(L"ht\0tp://", 8), L"http://"));
}

TEST(ReplaceAllTest, ScansLeftToRightWithoutOverlapOrRescan) {
    std::wstring text = L"aaa";
    ReplaceAll(text, L"aa", L"a");
    EXPECT_EQ(L"aa", text);  // "aa" then the lone "a"; no overlapping second match

    text = L"xax";
    ReplaceAll(text, L"a", L"aa");
    EXPECT_EQ(L"xaax", text);  // the inserted "aa" is not scanned again

    text = L"a/b//c///d";
    ReplaceAll(text, L"//", L"/");
    EXPECT_EQ(L"a/b/c//d", text);

    text = L"";
    ReplaceAll(text, L"a", L"b");
    EXPECT_EQ(L"", text);
    text = L"abc";
    ReplaceAll(text, L"", L"x");  // an empty pattern would match everywhere: ignored
    EXPECT_EQ(L"abc", text);
}

TEST(CollapseSeparatorsTest, RunsOfEitherSeparatorBecomeOne) {
    std::wstring three = L"C:\\\\\\x";
    ReplaceAll(three, L"\\\\", L"\\");
    EXPECT_EQ(L"C:\\\\x", three);  // three become two in one pass ...
    ReplaceAll(three, L"\\\\", L"\\");
    EXPECT_EQ(L"C:\\x", three);  // ... and one in the next

    std::wstring text = L"C:\\\\\\x";
    CollapseSeparators(text);
    EXPECT_EQ(L"C:\\x", text);

    text = L"C:\\\\Users\\\\me//a////b\\\\\\\\\\\\\\c";
    CollapseSeparators(text);
    EXPECT_EQ(L"C:\\Users\\me/a/b\\c", text);

    // Backslashes go first within a pass, so "\/" pairs are left alone.
    text = L"a\\/\\/b";
    CollapseSeparators(text);
    EXPECT_EQ(L"a\\/\\/b", text);

    text = L"file:///C:/x";
    CollapseSeparators(text);
    EXPECT_EQ(L"file:/C:/x", text);
}

TEST(CollapseSeparatorsTest, KeepsTheLeadingPairOfANetworkPath) {
    std::wstring text = L"\\\\server\\share";
    CollapseSeparators(text);
    EXPECT_EQ(L"\\\\server\\share", text);

    text = L"\\\\\\\\server\\\\share";  // the same path as a string literal
    CollapseSeparators(text);
    EXPECT_EQ(L"\\\\server\\share", text);

    text = L"\\single\\\\rooted";
    CollapseSeparators(text);
    EXPECT_EQ(L"\\single\\rooted", text);
}

TEST_F(OpenDecisionTest, EmptyCaptureDoesNothing) {
    EXPECT_EQ(OpenOutcome::kNothing, Open(L""));
    EXPECT_EQ(OpenOutcome::kNothing, Open(L" \r\n\t"));
    EXPECT_TRUE(windows.calls.empty());
}

TEST_F(OpenDecisionTest, FoldersAreExploredAndFilesOpened) {
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(L"C:\\Users\\me\\Projects"));
    EXPECT_EQ(Launches{L"explore C:\\Users\\me\\Projects"}, windows.Launches());

    windows.calls.clear();  // as written in source code, and canonicalised
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(L"C:\\\\Users\\\\me\\\\old\\\\..\\\\Projects"));
    EXPECT_EQ(Launches{L"explore C:\\Users\\me\\Projects"}, windows.Launches());

    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kOpenedFile, Open(L"C:\\work\\notes.txt"));
    EXPECT_EQ(Launches{L"open C:\\work\\notes.txt"}, windows.Launches());

    windows.calls.clear();  // forward slashes: the full path has backslashes
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(L"c:/users//me/projects"));
    EXPECT_EQ(Launches{L"explore c:\\users\\me\\projects"}, windows.Launches());
}

TEST_F(OpenDecisionTest, RelativeNamesResolveAgainstTheCurrentDirectory) {
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(L"docs"));
    EXPECT_EQ(Launches{L"explore C:\\work\\docs"}, windows.Launches());

    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kOpenedFile, Open(L".\\notes.txt"));
    EXPECT_EQ(Launches{L"open C:\\work\\notes.txt"}, windows.Launches());

    windows.calls.clear();
    windows.currentDirectory = L"C:\\elsewhere";
    EXPECT_EQ(OpenOutcome::kNotFound, Open(L"docs"));  // no longer a folder here, nor a host
    EXPECT_EQ(Launches{}, windows.Launches());
}

TEST_F(OpenDecisionTest, NetworkPathIsOpenedOnTheServer) {
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(L"\\\\server\\share\\team"));
    EXPECT_EQ(Launches{L"explore \\\\server\\share\\team"}, windows.Launches());

    // With its pair collapsed it would have named C:\server\share\team instead.
    windows.AddFolder(L"C:\\server\\share\\team");
    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(L"\\\\\\\\server\\\\share\\\\team"));
    EXPECT_EQ(Launches{L"explore \\\\server\\share\\team"}, windows.Launches());
}

TEST_F(OpenDecisionTest, WebAddressesSkipCollapseAndCanonicalisation) {
    EXPECT_EQ(OpenOutcome::kOpenedAddress, Open(L"http://example.com//a\\\\b/../c"));
    EXPECT_EQ(Launches{L"open http://example.com//a\\\\b/../c"}, windows.Launches());
    EXPECT_FALSE(windows.Called(L"canonicalize"));

    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kOpenedAddress, Open(L"https://example.com//x"));
    EXPECT_EQ(Launches{L"open https://example.com//x"}, windows.Launches());
    EXPECT_FALSE(windows.Called(L"canonicalize"));
}

TEST_F(OpenDecisionTest, WebSchemesInAnyCaseSkipTheCollapseAndFileUrlsNeverReachTheShell) {
    EXPECT_EQ(OpenOutcome::kOpenedAddress, Open(L"HTTP://Example.com//a"));
    EXPECT_FALSE(windows.Called(L"canonicalize"));
    EXPECT_EQ(Launches{L"open HTTP://Example.com//a"}, windows.Launches());

    windows.calls.clear();  // a file URL that names nothing is a missing path
    EXPECT_EQ(OpenOutcome::kNotFound, Open(L"file:///C:/Users/nobody"));
    EXPECT_EQ(Launches{}, windows.Launches());
}

TEST_F(OpenDecisionTest, UrlWithADriveThatNamesNothingIsNotFound) {
    EXPECT_EQ(OpenOutcome::kNotFound, Open(L"Q:\\nowhere\\at\\all"));
    EXPECT_TRUE(windows.Launches().empty());
    // A drive is no scheme and a path no host: nothing is asked of the URL check.
    EXPECT_FALSE(windows.Called(L"url"));
}

TEST(CleanUpSelectionTest, NeverTakesAwayEverythingNorADrivesColon) {
    const wchar_t* cases[][2] = {
        {L"...", L"..."}, {L"\"\"", L"\"\""}, {L"( )", L"( )"},
        {L"C:.", L"C:"},  {L"f(1)", L"f(1)"}, {L"[ \"a b\" ]!?", L"a b"},
    };
    for (const auto& c : cases) {
        std::wstring text = c[0];
        CleanUpSelection(text);
        EXPECT_EQ(c[1], text) << c[0];
    }
}

TEST_F(OpenDecisionTest, EachFormOpensWhatItNamesOnDisk) {
    ExpectRows({
        // Surrounding blanks go first.
        {L"C:\\Users\\me\\Projects\r\n", OpenOutcome::kOpenedFolder,
         L"explore C:\\Users\\me\\Projects"},
        {L" \t\u00A0C:\\work\\notes.txt \n", OpenOutcome::kOpenedFile, L"open C:\\work\\notes.txt"},
        // Quotes, brackets and trailing punctuation.
        {L"\u201CC:\\work\\notes.txt\u201D.", OpenOutcome::kOpenedFile,
         L"open C:\\work\\notes.txt"},
        {L"(<C:\\work\\docs>);", OpenOutcome::kOpenedFolder, L"explore C:\\work\\docs"},
        // Variables.
        {L"%USERPROFILE%\\Projects", OpenOutcome::kOpenedFolder,
         L"explore C:\\Users\\me\\Projects"},
        // File URLs, local and on a server.
        {L"file:///C:/Users/me/My%20Notes/a%20b.txt", OpenOutcome::kOpenedFile,
         L"open C:\\Users\\me\\My Notes\\a b.txt"},
        {L"file://server/share/team", OpenOutcome::kOpenedFolder,
         L"explore \\\\server\\share\\team"},
        // Source positions after a file, with the drive path's slashes turned round.
        {L"C:\\src\\main.cpp:42", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        {L"C:/src/main.cpp:42:7:", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        {L"C:\\src\\main.cpp(42)", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        {L"C:\\src\\main.cpp(42, 7)", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        // "(2)" after a blank is part of a name ("Report (2)"), not a position; the copy
        // named does not exist, and the longest stretch that does is the file before it.
        {L"C:\\work\\notes.txt (2)", OpenOutcome::kOpenedFile, L"open C:\\work\\notes.txt"},
        {L"\"C:\\src\\main.cpp\", line 42", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        // A position after a folder, or no position at all, names nothing.
        {L"C:\\work\\docs:12", OpenOutcome::kNotFound, nullptr},
        {L"C:\\src\\main.cpp:x", OpenOutcome::kNotFound, nullptr},
    });
}

TEST_F(OpenDecisionTest, RegistryKeysAndMailAddressesComeBeforeTheAddressTests) {
    ExpectRows({
        {L"Computer\\HKEY_CURRENT_USER\\Software\\Selvane", OpenOutcome::kOpenedRegistryKey,
         L"regjump HKEY_CURRENT_USER\\Software\\Selvane"},
        {L"\"hklm\\\\SOFTWARE\\\\Microsoft\".", OpenOutcome::kOpenedRegistryKey,
         L"regjump hklm\\SOFTWARE\\Microsoft"},
        {L"HKCR", OpenOutcome::kOpenedRegistryKey, L"regjump HKCR"},
        {L"someone@example.com.", OpenOutcome::kOpenedMailAddress,
         L"open mailto:someone@example.com"},
        {L"<mailto:first.last+x@mail.example.org>", OpenOutcome::kOpenedMailAddress,
         L"open mailto:first.last+x@mail.example.org"},
        // Near misses go on to the address tests as before.
        {L"HKCUX\\Software", OpenOutcome::kNotFound, nullptr},
        {L"me@localhost", OpenOutcome::kOpenedWithPrefix, L"open http://me@localhost"},
        {L"me@example.com/x", OpenOutcome::kOpenedWithPrefix, L"open http://me@example.com/x"},
        // The cleaned-up text goes to the address tests.
        {L"(example.com/path).", OpenOutcome::kOpenedWithPrefix, L"open http://example.com/path"},
        {L"\"Q:\\nowhere\".", OpenOutcome::kNotFound, nullptr},
    });
    windows.registryToolStarts = false;
    EXPECT_EQ(OpenOutcome::kShellFailed, Open(L"HKCU"));
}

TEST_F(OpenDecisionTest, WhatExistsAsSelectedWinsAndFormsComeInOrder) {
    windows.AddFolder(L"C:\\work\\(draft)");
    windows.AddFolder(L"C:\\work\\draft");
    windows.AddFolder(L"C:\\work\\HKCU\\Software");
    windows.AddFile(L"C:\\work\\me@example.com");
    windows.AddFolder(L"C:\\work\\%USERPROFILE%");
    windows.AddFile(L"C:\\Users\\me\\Projects\\main.cpp");
    ExpectRows({
        {L"(draft)", OpenOutcome::kOpenedFolder, L"explore C:\\work\\(draft)"},
        {L"%USERPROFILE%", OpenOutcome::kOpenedFolder, L"explore C:\\work\\%USERPROFILE%"},
        {L"\"HKCU\\Software\"", OpenOutcome::kOpenedFolder, L"explore C:\\work\\HKCU\\Software"},
        // The file wins over the address; and a ".com" file is a program, shown, not run.
        {L"me@example.com", OpenOutcome::kShownInFolder, L"select C:\\work\\me@example.com"},
        // Each form works on the result of the ones before.
        {L"\"%USERPROFILE%\\Projects\\main.cpp:3\",", OpenOutcome::kOpenedFile,
         L"open C:\\Users\\me\\Projects\\main.cpp"},
        {L"<file:///C:/Users/me/My%20Notes/a%20b.txt>.", OpenOutcome::kOpenedFile,
         L"open C:\\Users\\me\\My Notes\\a b.txt"},
        {L"(C:/src/main.cpp(42,7))", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
    });
}

// A literal path, an http URL and a bare host name are opened by the tests above as they
// always were; these are texts that the new forms could wrongly catch.
TEST_F(OpenDecisionTest, WhatOpenedBeforeOpensTheSameWay) {
    ExpectRows({
        {L"http://example.com/a.b?c=d:1", OpenOutcome::kOpenedAddress,
         L"open http://example.com/a.b?c=d:1"},
        {L"https://user@example.com/", OpenOutcome::kOpenedAddress,
         L"open https://user@example.com/"},
        {L"localhost:8080", OpenOutcome::kOpenedWithPrefix, L"open http://localhost:8080"},
        // Trailing punctuation is the sentence's, as autolinkers take it.
        {L"https://en.wikipedia.org/wiki/Oklahoma!", OpenOutcome::kOpenedAddress,
         L"open https://en.wikipedia.org/wiki/Oklahoma"},
        {L"file:///Q:/missing", OpenOutcome::kNotFound, nullptr},
    });
}

TEST_F(OpenDecisionTest, BareHostNameIsOpenedWithHttpInFront) {
    EXPECT_EQ(OpenOutcome::kOpenedWithPrefix, Open(L"example.com/path"));
    EXPECT_EQ(Launches{L"open http://example.com/path"}, windows.Launches());
    EXPECT_EQ(L"http://example.com/path", last);
}

TEST_F(OpenDecisionTest, TextTooLongToCanonicaliseIsUsedAsCollapsed) {
    // 300 characters with ".." segments that canonicalisation would otherwise fold.
    std::wstring collapsed = L"C:\\Users";
    while (collapsed.size() < 300) collapsed += L"\\deep\\..";
    std::wstring longPath = collapsed;
    ReplaceAll(longPath, L"\\", L"\\\\");

    EXPECT_EQ(OpenOutcome::kNotFound, Open(longPath));
    EXPECT_EQ(L"fullpath", windows.calls[1].operation);
    EXPECT_EQ(collapsed, windows.calls[1].argument);

    // Just short enough: canonicalised, and it names the folder.
    windows.calls.clear();
    std::wstring fits = L"C:\\Users\\me\\Projects";
    while (fits.size() < kPathBufferSize - 10) fits += L"\\x\\..";
    ASSERT_LT(fits.size(), kPathBufferSize);
    EXPECT_EQ(OpenOutcome::kOpenedFolder, Open(fits));
    EXPECT_EQ(Launches{L"explore C:\\Users\\me\\Projects"}, windows.Launches());
}

TEST_F(OpenDecisionTest, ShellRefusalIsNotReportedAsSuccess) {
    windows.shellSucceeds = false;
    EXPECT_EQ(OpenOutcome::kShellFailed, Open(L"C:\\Users\\me\\Projects"));
    EXPECT_EQ(OpenOutcome::kShellFailed, Open(L"http://example.com"));
    EXPECT_EQ(OpenOutcome::kShellFailed, Open(L"example.com"));
    EXPECT_EQ(3u, windows.Launches().size());  // one attempt each, no fall-back
}

// Lines people select whole: the path or address inside is opened, several are offered in
// a menu in the order they appear, and a network path is never looked up to find them.
TEST_F(OpenDecisionTest, WhatALongerSelectionHoldsIsFoundInside) {
    windows.AddFile(L"C:\\data\\in.csv");
    windows.AddFolder(L"C:\\Program Files");
    windows.AddFile(L"C:\\Program Files\\App\\app.ini");
    windows.AddFolder(L"C:\\Program Files (x86)\\Tool");
    struct Line {
        const wchar_t* selection;
        OpenOutcome outcome;
        const wchar_t* launch;                  // "verb target", or nullptr
        std::vector<std::wstring> menu;  // the items offered, when several
        int choice;                             // -1: the menu closed without one
    };
    const Line lines[] = {
        {L"2026-12-07 10:41:07 ERROR cannot read C:\\data\\in.csv: access denied\r\n",
         OpenOutcome::kOpenedFile, L"open C:\\data\\in.csv", {}, 0},
        // Blanks inside: the longest stretch that names something, shorter ones at blanks.
        {L"Config C:\\Program Files\\App\\app.ini is missing, reinstall", OpenOutcome::kOpenedFile,
         L"open C:\\Program Files\\App\\app.ini", {}, 0},
        {L"it went to C:\\Program Files as usual", OpenOutcome::kOpenedFolder,
         L"explore C:\\Program Files", {}, 0},
        {L"tool in C:\\Program Files (x86)\\Tool.", OpenOutcome::kOpenedFolder,
         L"explore C:\\Program Files (x86)\\Tool", {}, 0},
        // Punctuation and brackets around the path belong to the sentence.
        {L"(see C:\\data\\in.csv), then 'C:\\data\\in.csv'!", OpenOutcome::kOpenedFile,
         L"open C:\\data\\in.csv", {}, 0},
        {L"src: C:\\src\\main.cpp(42,7): error C2065: 'x': undeclared identifier",
         OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp", {}, 0},
        {L"at C:/src/main.cpp:42:7: warning", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp",
         {}, 0},
        {L"look in %USERPROFILE%\\Projects today", OpenOutcome::kOpenedFolder,
         L"explore C:\\Users\\me\\Projects", {}, 0},
        {L"open file:///C:/Users/me/My%20Notes/a%20b.txt please", OpenOutcome::kOpenedFile,
         L"open C:\\Users\\me\\My Notes\\a b.txt", {}, 0},
        // Addresses end at white space and lose the sentence's punctuation.
        {L"The docs are at https://example.com/a_(b)/c.html, see there.",
         OpenOutcome::kOpenedAddress, L"open https://example.com/a_(b)/c.html", {}, 0},
        {L"(go to www.example.com).", OpenOutcome::kOpenedWithPrefix,
         L"open http://www.example.com", {}, 0},
        // Several: a menu in the order of appearance; the pick is opened as its own rule says.
        {L"copied C:\\data\\in.csv to C:\\Users\\me\\Projects, see https://example.com",
         OpenOutcome::kOpenedFolder, L"explore C:\\Users\\me\\Projects",
         {L"C:\\data\\in.csv", L"C:\\Users\\me\\Projects", L"https://example.com"}, 1},
        {L"C:\\data\\in.csv and C:\\src\\main.cpp:3", OpenOutcome::kNothingChosen, nullptr,
         {L"C:\\data\\in.csv", L"C:\\src\\main.cpp:3"}, -1},
        // A network path is offered up to the first blank, without a lookup.
        {L"The report is in \\\\fs01\\reports\\2026\\q4.xlsx, or C:\\data\\in.csv.",
         OpenOutcome::kNothingChosen, nullptr, {L"\\\\fs01\\reports\\2026\\q4.xlsx",
         L"C:\\data\\in.csv"}, -1},
        // A file URL of a server is not looked up either.
        {L"see file://server/share/team or C:\\data\\in.csv", OpenOutcome::kNothingChosen,
         nullptr, {L"file://server/share/team", L"C:\\data\\in.csv"}, -1},
        // The same path twice is one candidate.
        {L"C:\\data\\in.csv, again C:\\data\\in.csv", OpenOutcome::kOpenedFile,
         L"open C:\\data\\in.csv", {}, 0},
        // Nothing inside: the address steps as before.
        {L"C:\\nowhere\\x.txt was deleted", OpenOutcome::kNotFound, nullptr, {}, 0},
        {L"just words", OpenOutcome::kNotFound, nullptr, {}, 0},
    };
    for (const Line& line : lines) {
        SCOPED_TRACE(line.selection);
        EXPECT_EQ(line.outcome, OpenChoosing(line.selection, line.choice));
        EXPECT_EQ(line.launch ? Launches{line.launch} : Launches{}, windows.Launches());
        EXPECT_EQ(line.menu, windows.offered);
        for (const Call& call : windows.calls) {
            EXPECT_FALSE(call.operation == L"attributes" && StartsWith(call.argument, L"\\\\"))
                << "looked up " << std::string(call.argument.begin(), call.argument.end());
        }
    }
}

TEST_F(OpenDecisionTest, TheScanIsBoundedWhateverWasSelected) {
    // 1 MB of log text with no path or address in it: today's outcome, few lookups.
    std::wstring log;
    while (log.size() < (1u << 20)) log += L"10:41:07 ERROR 42 (cannot read: x.y) 'a' - b; ";
    EXPECT_EQ(OpenOutcome::kNotFound, Open(log));
    EXPECT_LE(windows.Count(L"attributes"), 2 * 6);

    // Many paths that name nothing, each with blanks after it: at most 64 lookups.
    windows.calls.clear();
    std::wstring missing;
    for (int i = 0; i < 500; ++i) missing += L"C:\\gone\\file " + std::to_wstring(i) + L" a b c d ";
    EXPECT_EQ(OpenOutcome::kNotFound, Open(missing));
    EXPECT_LE(windows.Count(L"attributes"), static_cast<int>(kMostLookupsPerPress));
    EXPECT_GT(windows.Count(L"attributes"), 32);  // the budget is used, not skipped

    // Many that exist: 16 offered, the 17th is not.
    windows.calls.clear();
    std::wstring many;
    for (int i = 0; i < 20; ++i) {
        const std::wstring path = L"C:\\data\\f" + std::to_wstring(i) + L".txt";
        windows.AddFile(path);
        many += path + L" ";
    }
    windows.choice = 15;
    EXPECT_EQ(OpenOutcome::kOpenedFile, Open(many));
    EXPECT_EQ(16u, windows.offered.size());
    EXPECT_EQ(Launches{L"open C:\\data\\f15.txt"}, windows.Launches());
    EXPECT_LE(windows.Count(L"attributes"), static_cast<int>(kMostLookupsPerPress));
}

TEST(ShortenInTheMiddleTest, KeepsBothEndsWithinEightyCharacters) {
    const std::wstring exact(80, L'a');
    EXPECT_EQ(exact, ShortenInTheMiddle(exact));
    const std::wstring longer = std::wstring(50, L'a') + std::wstring(50, L'b');
    const std::wstring shortened = ShortenInTheMiddle(longer);
    EXPECT_EQ(std::wstring(40, L'a') + L"\u2026" + std::wstring(39, L'b'), shortened);
    // A surrogate pair across the cut is left out whole, never halved.
    std::wstring pairs;
    for (int i = 0; i < 60; ++i) pairs += L"\xD83D\xDCC1";
    const std::wstring cut = ShortenInTheMiddle(pairs);
    EXPECT_LE(cut.size(), 80u);
    const std::size_t dots = cut.find(L'\u2026');
    ASSERT_NE(std::wstring::npos, dots);
    EXPECT_EQ(0u, dots % 2);                    // whole pairs before ...
    EXPECT_EQ(0u, (cut.size() - dots - 1) % 2);  // ... and after
    EXPECT_EQ(L'\xD83D', cut[dots + 1]);
}

TEST(BalloonStringForTest, SuccessFollowsTheSwitchNotFoundAlwaysShows) {
    struct Row {
        OpenOutcome outcome;
        unsigned int on, off;
    } rows[] = {
        {OpenOutcome::kNothing, 0, 0},
        {OpenOutcome::kOpenedFolder, IDS_OPENING_SELECTION, 0},
        {OpenOutcome::kOpenedFile, IDS_OPENING_SELECTION, 0},
        {OpenOutcome::kOpenedAddress, IDS_OPENING_WEBPAGE, 0},
        {OpenOutcome::kOpenedWithPrefix, 0, 0},
        {OpenOutcome::kOpenedRegistryKey, IDS_OPENING_SELECTION, 0},
        {OpenOutcome::kOpenedMailAddress, IDS_OPENING_SELECTION, 0},
        {OpenOutcome::kNotFound, IDS_NOT_FOUND, IDS_NOT_FOUND},
        {OpenOutcome::kShellFailed, 0, 0},
        {OpenOutcome::kOpenedInEditor, IDS_OPENING_SELECTION, 0},
        {OpenOutcome::kShownInFolder, IDS_OPENING_SELECTION, 0},
        {OpenOutcome::kOutOfMemory, 0, 0},
        {OpenOutcome::kNothingChosen, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.outcome));
        EXPECT_EQ(row.on, BalloonStringFor(row.outcome, true));
        EXPECT_EQ(row.off, BalloonStringFor(row.outcome, false));
    }
}

TEST(AppendArgumentTest, QuotesAsTheCRuntimeReadsBack) {
    // Each row: the argument, and how it must appear on the command line.
    const wchar_t* rows[][2] = {
        {L"plain", L"plain"},
        {L"C:\\src\\main.cpp:12:3", L"C:\\src\\main.cpp:12:3"},
        {L"", L"\"\""},
        {L"C:\\My Files\\a b.cpp", L"\"C:\\My Files\\a b.cpp\""},
        {L"tab\there", L"\"tab\there\""},
        // Backslashes before the closing quote are doubled, or they would escape it.
        {L"C:\\My Files\\", L"\"C:\\My Files\\\\\""},
        {L"C:\\Temp\\", L"C:\\Temp\\"},  // no quotes, so no escaping
        // A quote is escaped, and so are the backslashes before it.
        {L"say \"hi\"", L"\"say \\\"hi\\\"\""},
        {L"a\\\"b", L"\"a\\\\\\\"b\""},
        {L"a\\\\b c", L"\"a\\\\b c\""},  // backslashes not before a quote stay single
    };
    for (const auto& row : rows) {
        std::wstring line;
        AppendArgument(line, row[0]);
        EXPECT_EQ(row[1], line) << row[0];
    }
    std::wstring line = L"\"C:\\e.exe\"";
    AppendArgument(line, L"-g");
    AppendArgument(line, L"x y");
    EXPECT_EQ(L"\"C:\\e.exe\" -g \"x y\"", line);
}

TEST(EditorCommandLineTest, EachEditorGetsItsOwnSyntax) {
    const std::wstring file = L"C:\\My Files\\main.cpp";
    const SourcePosition lineAndColumn{L"12", L"3"};
    const SourcePosition lineOnly{L"12", L""};
    struct Row {
        const wchar_t* program;
        const wchar_t* withColumn;  // the command line after the quoted program
        const wchar_t* withoutColumn;
    } rows[] = {
        {L"C:\\Program Files\\Microsoft VS Code\\Code.exe",
         L"-g \"C:\\My Files\\main.cpp:12:3\"", L"-g \"C:\\My Files\\main.cpp:12\""},
        {L"C:\\Apps\\cursor\\CURSOR.EXE", L"-g \"C:\\My Files\\main.cpp:12:3\"",
         L"-g \"C:\\My Files\\main.cpp:12\""},
        {L"C:\\Program Files\\Notepad++\\notepad++.exe", L"-n12 -c3 \"C:\\My Files\\main.cpp\"",
         L"-n12 \"C:\\My Files\\main.cpp\""},
        {L"C:\\Program Files\\Sublime Text\\sublime_text.exe",
         L"\"C:\\My Files\\main.cpp:12:3\"", L"\"C:\\My Files\\main.cpp:12\""},
        {L"C:\\Program Files\\Vim\\vim91\\gvim.exe", L"+12 \"C:\\My Files\\main.cpp\"",
         L"+12 \"C:\\My Files\\main.cpp\""},
        {L"C:\\emacs\\bin\\runemacs.exe", L"+12:3 \"C:\\My Files\\main.cpp\"",
         L"+12 \"C:\\My Files\\main.cpp\""},
        {L"C:\\JetBrains\\CLion\\bin\\clion64.exe",
         L"--line 12 --column 3 \"C:\\My Files\\main.cpp\"",
         L"--line 12 \"C:\\My Files\\main.cpp\""},
        {L"C:\\Tools\\Notepad3.exe", L"/g 12 \"C:\\My Files\\main.cpp\"",
         L"/g 12 \"C:\\My Files\\main.cpp\""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.program);
        const std::wstring program = L"\"" + std::wstring(row.program) + L"\" ";
        std::wstring line;
        ASSERT_TRUE(EditorCommandLine(row.program, file, lineAndColumn, line));
        EXPECT_EQ(program + row.withColumn, line);
        ASSERT_TRUE(EditorCommandLine(row.program, file, lineOnly, line));
        EXPECT_EQ(program + row.withoutColumn, line);
    }

    std::wstring line = L"unchanged";
    EXPECT_FALSE(EditorCommandLine(L"C:\\Windows\\notepad.exe", file, lineOnly, line));
    EXPECT_FALSE(EditorCommandLine(L"C:\\Tools\\xCode.exe", file, lineOnly, line));
    EXPECT_EQ(L"unchanged", line);
    // A relative name that looks like a switch, or written with slashes, is still a file.
    ASSERT_TRUE(EditorCommandLine(L"C:\\vim\\gvim.exe", L"-c/x.vim", lineOnly, line));
    EXPECT_EQ(L"\"C:\\vim\\gvim.exe\" +12 .\\-c\\x.vim", line);
}

TEST_F(OpenDecisionTest, APositionOpensTheFilesEditorAtThatLine) {
    windows.programs[L".CPP"] = L"C:\\Program Files\\Notepad++\\notepad++.exe";
    windows.programs[L".TXT"] = L"C:\\Windows\\notepad.exe";
    windows.programs[L".H"] = L"notepad++.exe";  // not a full path: never started
    windows.AddFile(L"C:\\src\\main.h");
    ExpectRows({
        {L"C:\\src\\main.cpp(42,7)", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n42 -c7 C:\\src\\main.cpp"},
        {L"\"C:\\src\\main.cpp\", line 9", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n9 C:\\src\\main.cpp"},
        {L"C:/src/main.cpp:42:7:", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n42 -c7 C:\\src\\main.cpp"},
        // Without a position, or with a program that is no editor we know: as always.
        {L"C:\\src\\main.cpp", OpenOutcome::kOpenedFile, L"open C:\\src\\main.cpp"},
        {L"C:\\work\\notes.txt:3", OpenOutcome::kOpenedFile, L"open C:\\work\\notes.txt"},
        {L"C:\\src\\main.h:3", OpenOutcome::kOpenedFile, L"open C:\\src\\main.h"},
    });
    // An editor that does not start: the plain open.
    windows.programStarts = false;
    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kOpenedFile, Open(L"C:\\src\\main.cpp:42"));
    EXPECT_EQ((Launches{L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n42 "
                        L"C:\\src\\main.cpp",
                        L"open C:\\src\\main.cpp"}),
              windows.Launches());
}

TEST_F(OpenDecisionTest, ProgramsAndScriptsAreShownNotRun) {
    windows.AddFile(L"C:\\Tools\\setup.BAT");
    windows.AddFile(L"C:\\Tools\\tool.tcl");  // only PATHEXT knows it
    windows.AddFile(L"C:\\Tools\\old.zap");   // only the system's own list knows it
    windows.AddFile(L"C:\\Tools\\app.js");
    windows.AddFile(L"C:\\Tools\\deploy.ps1");
    windows.AddFile(L"C:\\Tools\\run");
    windows.programs[L".JS"] = L"C:\\VS Code\\Code.exe";
    windows.programs[L".PS1"] = L"C:\\Windows\\notepad.exe";
    windows.programs[L".BAT"] = L"\"%1\" %*";
    ExpectRows({
        {L"C:\\Tools\\run.exe", OpenOutcome::kShownInFolder, L"select C:\\Tools\\run.exe"},
        // Windows drops the dot that ends a name: this is run.exe.
        {L"C:\\Tools\\run.exe.", OpenOutcome::kShownInFolder, L"select C:\\Tools\\run.exe"},
        {L"\"C:\\Tools\\setup.bat\".", OpenOutcome::kShownInFolder,
         L"select C:\\Tools\\setup.bat"},
        {L"C:\\Tools\\setup.bat:12", OpenOutcome::kShownInFolder, L"select C:\\Tools\\setup.bat"},
        {L"C:\\Tools\\tool.tcl", OpenOutcome::kShownInFolder, L"select C:\\Tools\\tool.tcl"},
        {L"C:\\Tools\\old.zap", OpenOutcome::kShownInFolder, L"select C:\\Tools\\old.zap"},
        {L"C:\\Tools\\deploy.ps1:3:1", OpenOutcome::kShownInFolder,
         L"select C:\\Tools\\deploy.ps1"},
        {L"C:\\Tools\\app.js", OpenOutcome::kShownInFolder, L"select C:\\Tools\\app.js"},
        // Its editor only edits it.
        {L"C:\\Tools\\app.js:12:5", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\VS Code\\Code.exe\" -g C:\\Tools\\app.js:12:5"},
        // Documents, and names without a type, open as before.
        {L"C:\\Tools\\run", OpenOutcome::kOpenedFile, L"open C:\\Tools\\run"},
        {L"C:\\work\\notes.txt", OpenOutcome::kOpenedFile, L"open C:\\work\\notes.txt"},
    });
    windows.programStarts = false;  // and when the editor fails, the script is still not run
    windows.calls.clear();
    EXPECT_EQ(OpenOutcome::kShownInFolder, Open(L"C:\\Tools\\app.js:12:5"));
    windows.shownInFolder = false;
    EXPECT_EQ(OpenOutcome::kShellFailed, Open(L"C:\\Tools\\run.exe"));
    EXPECT_FALSE(windows.Called(L"open"));
}

TEST(IsDangerousFileTest, EveryPartOfANameWithStreamsCounts) {
    CFakeWindows windows;
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"C:\\x\\run.exe::$DATA", true}, {L"C:\\x\\a.txt:b.exe", true},
        {L"C:run.cmd", true},            {L"C:\\x\\RUN.Exe . .", true},
        {L"C:\\x.exe\\notes.txt", false}, {L"C:\\x\\.exe.txt", false},
        {L"C:\\x\\archive.tar.gz", false}, {L"setup", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, IsDangerousFile(row.first, windows)) << row.first;
    EXPECT_EQ(L".exe", FileTypeOf(L"C:\\x\\run.exe::$DATA"));
}

TEST_F(OpenDecisionTest, MailNearMissesAreNoAddresses) {
    ExpectRows({
        // Headers would be added to the mail: "?", "&", "%", "=" in the local part.
        // Nor are they hosts with a user in front.
        {L"a?cc=boss@corp.com", OpenOutcome::kNotFound, nullptr},
        {L"a&body=x@corp.com", OpenOutcome::kNotFound, nullptr},
        {L"a%3Fcc@corp.com", OpenOutcome::kNotFound, nullptr},
        // The last label of a domain is letters.
        {L"lodash@4.17.21", OpenOutcome::kNotFound, nullptr},
        {L"me@example.c0m", OpenOutcome::kNotFound, nullptr},
        // A picture at a screen scale, unless "mailto:" says otherwise.
        {L"icon@2x.png", OpenOutcome::kNotFound, nullptr},
        {L"mailto:team@2x.com", OpenOutcome::kOpenedMailAddress, L"open mailto:team@2x.com"},
        // Still addresses.
        {L"first.last+tag@sub.example.co.uk", OpenOutcome::kOpenedMailAddress,
         L"open mailto:first.last+tag@sub.example.co.uk"},
        {L"me@2xample.com", OpenOutcome::kOpenedMailAddress, L"open mailto:me@2xample.com"},
        {L"me@example.xn--p1ai", OpenOutcome::kOpenedMailAddress,
         L"open mailto:me@example.xn--p1ai"},
    });
}

// Throws when asked about a file, as an allocation deep in a system call may.
class COutOfMemoryWindows : public CFakeWindows {
public:
    std::uint32_t FileAttributes(const wchar_t*) override { throw std::bad_alloc(); }
};

TEST(OutOfMemoryTest, EndsTheRunQuietlyAndTraced) {
    COutOfMemoryWindows windows;
    std::wstring text = L"C:\\work\\notes.txt";
    EXPECT_EQ(OpenOutcome::kOutOfMemory, OpenText(text, windows));
    ASSERT_FALSE(windows.calls.empty());
    EXPECT_EQ(L"out of memory", windows.calls.back().operation);
    EXPECT_TRUE(windows.Launches().empty());
}

TEST_F(OpenDecisionTest, TextLongerThanAnyPathGoesStraightToTheAddressTests) {
    const std::wstring longText = L"(" + std::wstring(kLongestPath, L'a') + L"@example.com)";
    EXPECT_EQ(OpenOutcome::kNotFound, Open(longText));  // far too long for an address too
    int lookups = 0;  // the whole text only, no form of it
    for (const Call& call : windows.calls) lookups += call.operation == L"attributes";
    EXPECT_EQ(1, lookups);
    EXPECT_EQ(0u, windows.Launches().size());
    // One character less: the mail address it is.
    const std::wstring address = std::wstring(kLongestPath - 12, L'a') + L"@example.com";
    EXPECT_EQ(OpenOutcome::kOpenedMailAddress, Open(L"(" + address + L")"));
}

}  // namespace

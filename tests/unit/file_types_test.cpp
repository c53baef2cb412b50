// What must not run when opened: by the program that opens the type, by the type, by a
// class id in the name, and behind a short name. Against the fake system of fake_windows.h.
#include "opener/file_types.h"

#include <gtest/gtest.h>

#include "tests/unit/fake_windows.h"

namespace {

TEST(IsInterpreterTest, KnowsTheHostsThatRunWhatTheyAreGiven) {
    const std::pair<const wchar_t*, bool> rows[] = {
        {L"C:\\Python312\\python.exe", true},
        {L"C:\\Users\\me\\AppData\\Local\\Microsoft\\WindowsApps\\python3.12.exe", true},
        {L"C:\\Windows\\py.exe", true},
        {L"C:\\Windows\\System32\\WScript.exe", true},
        {L"C:\\Windows\\System32\\mshta.exe", true},
        {L"C:\\Program Files\\PowerShell\\7\\pwsh.exe", true},
        {L"C:\\Program Files\\AutoHotkey\\v2\\AutoHotkey64.exe", true},
        {L"C:\\Program Files\\AutoHotkey\\UX\\AutoHotkeyUX.exe", true},
        {L"C:\\Program Files\\WindowsApps\\Microsoft.DesktopAppInstaller\\AppInstaller.exe", true},
        {L"C:\\Windows\\System32\\msiexec.exe", true},
        {L"C:\\Program Files\\Java\\bin\\javaw.exe", true},
        {L"\"C:\\Windows\\System32\\mstsc.exe\"", true},
        {L"node", true},
        // Editors and viewers open a file without running it.
        {L"C:\\Windows\\notepad.exe", false},
        {L"C:\\VS Code\\Code.exe", false},
        {L"C:\\Tools\\shell.exe", false},  // "sh" is a whole name, not a prefix
        {L"C:\\Tools\\nodepad.exe", false},
        {L"\"%1\" %*", false},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, IsInterpreter(row.first)) << row.first;
}

TEST(ShellObjectNameEndTest, FindsTheFirstNameEndingInAClassId) {
    const std::wstring computer = L".{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    EXPECT_EQ(std::wstring::npos, ShellObjectNameEnd(L"C:\\Users\\me\\Projects"));
    EXPECT_EQ(std::wstring::npos, ShellObjectNameEnd(L"C:\\x.{20D04FE0}\\a{b}.txt"));
    EXPECT_EQ(std::wstring::npos,
              ShellObjectNameEnd(L"C:\\x.{20D04FE0-3AEA-1069-A2D8-08002B30309G}"));
    const std::wstring folder = L"C:\\Docs" + computer;
    EXPECT_EQ(folder.size(), ShellObjectNameEnd(folder));
    EXPECT_EQ(folder.size(), ShellObjectNameEnd(folder + L"\\inner\\a.txt"));
    // The dots and blanks that end a name do not count, as Windows drops them.
    EXPECT_EQ(folder.size() + 1, ShellObjectNameEnd(folder + L".\\x" + computer));
}

// A file type opened by an interpreter runs; the listed types run, install, mount or
// connect. Each is shown in its folder, and its editor at a line still only edits it.
TEST_F(OpenDecisionTest, ScriptsAndWhatRunsByASideDoorAreShownNotRun) {
    windows.programs[L".SV1"] = L"C:\\Python312\\python.exe";
    windows.programs[L".SV2"] = L"C:\\Windows\\System32\\rundll32.exe";
    windows.programs[L".SV3"] = L"C:\\Windows\\notepad.exe";
    windows.programs[L".PY"] = L"C:\\VS Code\\Code.exe";
    const wchar_t* const files[] = {
        L"C:\\in\\invoice.sv1",
        L"C:\\in\\invoice.sv2",
        L"C:\\in\\invoice.sv3",
        L"C:\\in\\invoice.py",
        L"C:\\in\\setup.PYW",
        L"C:\\in\\x.ahk",
        L"C:\\in\\x.rdp",
        L"C:\\in\\x.msix",
        L"C:\\in\\x.appinstaller",
        L"C:\\in\\x.searchConnector-ms",
        L"C:\\in\\disk.iso",
        L"C:\\in\\disk.vhdx",
        L"C:\\in\\x.theme",
        L"C:\\in\\report.pdf.website",
        L"C:\\in\\x.{0002DF01-0000-0000-C000-000000000046}",
    };
    for (const wchar_t* file : files) windows.AddFile(file);
    ExpectRows({
        {L"C:\\in\\invoice.sv1", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.sv1"},
        {L"C:\\in\\invoice.sv2", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.sv2"},
        {L"C:\\in\\invoice.sv3", OpenOutcome::kOpenedFile, L"open C:\\in\\invoice.sv3"},
        {L"C:\\in\\invoice.py", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.py"},
        {L"C:\\in\\setup.PYW", OpenOutcome::kShownInFolder, L"select C:\\in\\setup.PYW"},
        {L"C:\\in\\x.ahk", OpenOutcome::kShownInFolder, L"select C:\\in\\x.ahk"},
        {L"C:\\in\\x.rdp", OpenOutcome::kShownInFolder, L"select C:\\in\\x.rdp"},
        {L"C:\\in\\x.msix", OpenOutcome::kShownInFolder, L"select C:\\in\\x.msix"},
        {L"C:\\in\\x.appinstaller", OpenOutcome::kShownInFolder, L"select C:\\in\\x.appinstaller"},
        {L"C:\\in\\x.searchconnector-ms", OpenOutcome::kShownInFolder,
         L"select C:\\in\\x.searchconnector-ms"},
        {L"C:\\in\\disk.iso", OpenOutcome::kShownInFolder, L"select C:\\in\\disk.iso"},
        {L"C:\\in\\disk.vhdx", OpenOutcome::kShownInFolder, L"select C:\\in\\disk.vhdx"},
        {L"C:\\in\\x.theme", OpenOutcome::kShownInFolder, L"select C:\\in\\x.theme"},
        {L"C:\\in\\report.pdf.website", OpenOutcome::kShownInFolder,
         L"select C:\\in\\report.pdf.website"},
        {L"C:\\in\\x.{0002DF01-0000-0000-C000-000000000046}", OpenOutcome::kShownInFolder,
         L"select C:\\in\\x.{0002DF01-0000-0000-C000-000000000046}"},
        // The editor of the type, at a line: edits, never runs.
        {L"C:\\in\\invoice.py:12", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\VS Code\\Code.exe\" -g C:\\in\\invoice.py:12"},
        // An interpreter is no editor: at a line as well, the file is only shown.
        {L"C:\\in\\invoice.sv1:12", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.sv1"},
    });
}

// A folder whose name ends in a class id opens that class's object in Explorer; it and
// anything inside it is shown, as the first such name, in the folder above.
TEST_F(OpenDecisionTest, ClassIdNamesAreShownNotExplored) {
    const std::wstring folder = L"C:\\in\\Documents.{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    windows.AddFolder(folder);
    windows.AddFile(folder + L"\\notes.txt");
    windows.AddFolder(folder + L"\\inner");
    for (const std::wstring& selection :
         {folder, folder + L"\\notes.txt", folder + L"\\inner", L"\"" + folder + L"\"."}) {
        SCOPED_TRACE(selection);
        windows.calls.clear();
        EXPECT_EQ(OpenOutcome::kShownInFolder, Open(selection));
        EXPECT_EQ(Launches{L"select " + folder}, windows.Launches());
    }
}

// A short name stands for the long one, whose type is the one that counts; one the system
// cannot expand is not opened.
TEST_F(OpenDecisionTest, ShortNamesAreJudgedByTheirLongNames) {
    windows.AddFile(L"C:\\in\\invoice.appref-ms");
    windows.AddShortName(L"C:\\in\\INVOIC~1.APP", L"C:\\in\\invoice.appref-ms");
    windows.AddFile(L"C:\\in\\Quarterly report.txt");
    windows.AddShortName(L"C:\\in\\QUARTE~1.TXT", L"C:\\in\\Quarterly report.txt");
    windows.AddFolder(L"C:\\Program Files\\App");
    windows.AddShortName(L"C:\\PROGRA~1", L"C:\\Program Files");
    ExpectRows({
        {L"C:\\in\\INVOIC~1.APP", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.appref-ms"},
        {L"file:///C:/in/INVOIC~1.APP", OpenOutcome::kShownInFolder,
         L"select C:\\in\\invoice.appref-ms"},
        {L"C:\\in\\QUARTE~1.TXT", OpenOutcome::kOpenedFile, L"open C:\\in\\Quarterly report.txt"},
        {L"C:\\PROGRA~1\\App", OpenOutcome::kOpenedFolder, L"explore C:\\Program Files\\App"},
    });
    CFakeWindows cannotExpand;  // a name that looks short and names nothing the fake knows
    EXPECT_TRUE(IsDangerousFile(L"C:\\in\\REPORT~1.TXT", cannotExpand));
    EXPECT_FALSE(IsDangerousFile(L"C:\\in\\report.txt", cannotExpand));
}

}  // namespace

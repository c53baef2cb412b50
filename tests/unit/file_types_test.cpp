// What must not run when opened: by the program that opens the type, by the type, by a
// class id in the name, and behind a short name. Against the fake system of fake_windows.h.
#include "opener/file_types.h"

#include <gtest/gtest.h>

#include "tests/unit/fake_windows.h"

namespace {

TEST(IsInterpreterTest, KnowsTheHostsThatRunWhatTheyAreGiven) {
    for (const wchar_t* host :
         {L"C:\\Python312\\python.exe", L"C:\\WindowsApps\\python3.12.exe", L"C:\\Windows\\py.exe",
          L"C:\\Windows\\System32\\WScript.exe", L"C:\\AutoHotkey\\v2\\AutoHotkey64.exe",
          L"C:\\WindowsApps\\AppInstaller.exe", L"\"C:\\Windows\\System32\\mstsc.exe\"", L"node"}) {
        EXPECT_TRUE(IsInterpreter(host)) << host;
    }
    // Editors and viewers, a whole name that only starts like one, a command.
    for (const wchar_t* other : {L"C:\\Windows\\notepad.exe", L"C:\\VS Code\\Code.exe",
                                 L"C:\\Tools\\shell.exe", L"\"%1\" %*"}) {
        EXPECT_FALSE(IsInterpreter(other)) << other;
    }
}

// A type opened by an interpreter runs, and so do the listed types and a name ending in a
// class id: each is shown in its folder; an editor at a line still only edits.
TEST_F(OpenDecisionTest, ScriptsAndWhatRunsByASideDoorAreShownNotRun) {
    windows.programs[L".SV1"] = L"C:\\Python312\\python.exe";
    windows.programs[L".SV2"] = L"C:\\Windows\\notepad.exe";
    windows.programs[L".PY"] = L"C:\\VS Code\\Code.exe";
    for (const wchar_t* file :
         {L"C:\\in\\invoice.sv1", L"C:\\in\\invoice.py", L"C:\\in\\x.searchConnector-ms",
          L"C:\\in\\report.pdf.website", L"C:\\in\\x.{0002DF01-0000-0000-C000-000000000046}"}) {
        windows.AddFile(file);
        ExpectRows(
            {{file, OpenOutcome::kShownInFolder, (L"select " + std::wstring(file)).c_str()}});
    }
    windows.AddFile(L"C:\\in\\invoice.sv2");
    ExpectRows({
        {L"C:\\in\\invoice.sv2", OpenOutcome::kOpenedFile, L"open C:\\in\\invoice.sv2"},
        {L"C:\\in\\invoice.py:12", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\VS Code\\Code.exe\" -g C:\\in\\invoice.py:12"},
        // An interpreter is no editor: at a line as well, the file is only shown.
        {L"C:\\in\\invoice.sv1:12", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.sv1"},
    });
}

// Explorer opens a folder named so as that class's object: it, and anything inside it,
// is shown as the first such name, in the folder above.
TEST_F(OpenDecisionTest, ClassIdNamesAreShownNotExplored) {
    const std::wstring folder = L"C:\\in\\Documents.{20D04FE0-3AEA-1069-A2D8-08002B30309D}";
    windows.AddFolder(folder);
    windows.AddFile(folder + L"\\notes.txt");
    for (const std::wstring& selection :
         {folder, folder + L"\\notes.txt", L"\"" + folder + L"\"."}) {
        ExpectRows(
            {{selection.c_str(), OpenOutcome::kShownInFolder, (L"select " + folder).c_str()}});
    }
    EXPECT_EQ(std::wstring::npos,
              ShellObjectNameEnd(L"C:\\x.{20D04FE0-3AEA-1069-A2D8-08002B30309G}"));
}

// A short name is judged, and handed on, as the long one; one that cannot be expanded is
// not opened.
TEST_F(OpenDecisionTest, ShortNamesAreJudgedByTheirLongNames) {
    windows.AddFile(L"C:\\in\\invoice.appref-ms");
    windows.AddShortName(L"C:\\in\\INVOIC~1.APP", L"C:\\in\\invoice.appref-ms");
    windows.AddFolder(L"C:\\Program Files\\App");
    windows.AddShortName(L"C:\\PROGRA~1", L"C:\\Program Files");
    ExpectRows({
        {L"C:\\in\\INVOIC~1.APP", OpenOutcome::kShownInFolder, L"select C:\\in\\invoice.appref-ms"},
        {L"file:///C:/in/INVOIC~1.APP", OpenOutcome::kShownInFolder,
         L"select C:\\in\\invoice.appref-ms"},
        {L"C:\\PROGRA~1\\App", OpenOutcome::kOpenedFolder, L"explore C:\\Program Files\\App"},
    });
    EXPECT_TRUE(IsDangerousFile(L"C:\\in\\REPORT~1.TXT", windows));
    EXPECT_FALSE(IsDangerousFile(L"C:\\in\\report.txt", windows));
}

}  // namespace

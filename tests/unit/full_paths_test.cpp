// What the shell is handed for a name found on disk: its full path, so that an Explorer
// that runs already cannot resolve it against its own folder. The fake's folder is C:\work.
#include <gtest/gtest.h>

#include "tests/unit/fake_windows.h"

namespace {

TEST_F(OpenDecisionTest, RelativeNamesReachTheShellAsFullPathsDevicesNot) {
    windows.AddFile(L"C:\\work\\tool.exe");
    windows.AddFile(L"C:\\work\\docs\\main.cpp");
    windows.programs[L".CPP"] = L"C:\\Notepad++\\notepad++.exe";
    ExpectRows({
        {L"docs\\..\\notes.txt", OpenOutcome::kOpenedFile, L"open C:\\work\\notes.txt"},
        {L"\\work\\docs", OpenOutcome::kOpenedFolder, L"explore C:\\work\\docs"},
        {L"\"tool.exe\"", OpenOutcome::kShownInFolder, L"select C:\\work\\tool.exe"},
        {L"docs/main.cpp:42", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Notepad++\\notepad++.exe\" -n42 C:\\work\\docs\\main.cpp"},
        // A reserved device name is looked up as no file at all (the count below).
        {L"C:\\work\\con", OpenOutcome::kNotFound, nullptr},
    });
    EXPECT_EQ(0, windows.Count(L"attributes"));
}

}  // namespace

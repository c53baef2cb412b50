// What the shell is handed for a name found on disk: its full path, whatever the form of
// the selection, so that an Explorer that runs already cannot resolve it against its own
// folder. Against the fake system of fake_windows.h, whose current folder is C:\work.
#include <gtest/gtest.h>

#include "tests/unit/fake_windows.h"

namespace {

TEST_F(OpenDecisionTest, RelativeNamesReachTheShellAsFullPaths) {
    windows.AddFile(L"C:\\work\\tool.exe");
    windows.AddFile(L"C:\\work\\docs\\main.cpp");
    windows.programs[L".CPP"] = L"C:\\Program Files\\Notepad++\\notepad++.exe";
    ExpectRows({
        {L".\\docs", OpenOutcome::kOpenedFolder, L"explore C:\\work\\docs"},
        {L"docs\\..\\notes.txt", OpenOutcome::kOpenedFile, L"open C:\\work\\notes.txt"},
        {L"\\work\\docs", OpenOutcome::kOpenedFolder, L"explore C:\\work\\docs"},
        {L"\"tool.exe\"", OpenOutcome::kShownInFolder, L"select C:\\work\\tool.exe"},
        {L"docs/main.cpp:42", OpenOutcome::kOpenedInEditor,
         L"start \"C:\\Program Files\\Notepad++\\notepad++.exe\" -n42 C:\\work\\docs\\main.cpp"},
    });
}

TEST_F(OpenDecisionTest, ReservedDeviceNamesAreNoFiles) {
    for (const wchar_t* selection : {L"C:\\work\\con", L"nul", L"docs\\AUX"}) {
        SCOPED_TRACE(selection);
        windows.calls.clear();
        Open(selection);
        EXPECT_EQ(0, windows.Count(L"attributes"));
        EXPECT_FALSE(windows.Called(L"explore") || windows.Called(L"select"));
        for (const std::wstring& launch : windows.Launches()) {
            EXPECT_EQ(0u, launch.find(L"open http://")) << launch.c_str();
        }
    }
}

}  // namespace

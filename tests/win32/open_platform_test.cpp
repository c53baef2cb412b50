// The Win32 side of the decision for real: Explorer's refusal of a quote and, for the 32-bit
// build in a 64-bit prefix (WOW64), the file system and the program folders as 64-bit
// programs see them.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "opener/open_platform_win.h"

namespace {

bool RunsUnderWow64() {
    BOOL under = FALSE;
    return IsWow64Process(GetCurrentProcess(), &under) && under;
}

std::wstring WindowsFolder() {
    wchar_t folder[MAX_PATH] = {};
    GetSystemWindowsDirectoryW(folder, MAX_PATH);
    return folder;
}

TEST(Win32OpenPlatform, ExplorerIsNeverHandedAPathWithAQuote) {
    CWin32OpenPlatform platform;
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(platform.ShowInFolder(L"C:\\Temp\\a\" /root,\"C:\\Windows"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), GetLastError());
}

TEST(Win32OpenPlatform, A32BitProcessSeesTheFileSystemAs64BitProgramsDo) {
    if (!RunsUnderWow64()) GTEST_SKIP() << "not a 32-bit process on 64-bit Windows";
    const std::wstring windows = WindowsFolder();
    // A file only in the 64-bit System32, made through the alias that reaches it.
    const std::wstring name = L"selvane only64 platform.txt";
    const std::wstring native = windows + L"\\Sysnative\\" + name;
    const std::wstring system32 = windows + L"\\System32\\" + name;
    HANDLE created = CreateFileW(native.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(created, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(created);
    ASSERT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(system32.c_str()))
        << "System32 is not redirected here";

    CWin32OpenPlatform platform;
    EXPECT_NE(kInvalidFileAttributes, platform.FileAttributes(system32.c_str()));
    // Other programs are handed System32, never the alias they do not know.
    std::wstring full;
    EXPECT_TRUE(platform.FullPathName(native.c_str(), full));
    EXPECT_EQ(0, _wcsicmp(system32.c_str(), full.c_str()));

    // The program folders the user means.
    wchar_t programFiles[MAX_PATH] = {}, commonFiles[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"ProgramW6432", programFiles, MAX_PATH), 0u);
    ASSERT_NE(GetEnvironmentVariableW(L"CommonProgramW6432", commonFiles, MAX_PATH), 0u);
    std::wstring expanded;
    EXPECT_TRUE(platform.ExpandVariables(L"%ProgramFiles%\\App;%COMMONPROGRAMFILES%", expanded));
    EXPECT_EQ(std::wstring(programFiles) + L"\\App;" + commonFiles, expanded);
    EXPECT_TRUE(platform.ExpandVariables(L"%ProgramFiles(x86)%", expanded));
    EXPECT_NE(std::wstring(programFiles), expanded);

    DeleteFileW(native.c_str());
}

}  // namespace

// The file system as 64-bit programs see it, for a 32-bit process on 64-bit Windows.
#include "opener/native_paths.h"

#include <gtest/gtest.h>

#include "base/text_chars.h"

namespace {

TEST(NativePathsTest, System32IsLookedUpThroughSysnativeAndNamedSystem32Again) {
    const struct {
        const wchar_t* path;
        const wchar_t* sysnative;  // nullptr: not in System32, looked up as it is
    } rows[] = {
        {L"C:\\Windows\\System32\\winevt\\Logs", L"C:\\Windows\\Sysnative\\winevt\\Logs"},
        {L"c:\\windows\\system32", L"c:\\windows\\Sysnative"},
        {L"C:\\WINDOWS\\SYSTEM32\\", L"C:\\WINDOWS\\Sysnative\\"},
        {L"C:\\Windows\\System32\\drivers\\etc\\hosts",
         L"C:\\Windows\\Sysnative\\drivers\\etc\\hosts"},
        {L"C:\\Windows\\System32x\\a.txt", nullptr},
        {L"C:\\Windows\\SysWOW64\\a.txt", nullptr},
        {L"C:\\Windows", nullptr},
        {L"D:\\Windows\\System32\\a.txt", nullptr},
        {L"C:\\Windows2\\System32\\a.txt", nullptr},
        {L"\\\\server\\c$\\Windows\\System32\\a.txt", nullptr},
        {L"System32\\a.txt", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        std::wstring lookup = L"unchanged";
        EXPECT_EQ(row.sysnative != nullptr, SysnativeFormOf(row.path, L"C:\\Windows", lookup));
        EXPECT_EQ(row.sysnative ? row.sysnative : L"unchanged", lookup);
        if (row.sysnative == nullptr) continue;
        // Back again, for the programs that open it.
        std::wstring shellPath;
        ASSERT_TRUE(System32FormOf(lookup, L"C:\\Windows\\", shellPath));
        EXPECT_TRUE(EqualsNoCase(shellPath, 0, shellPath.size(), row.path)) << shellPath.c_str();
    }
    std::wstring unchanged = L"unchanged";
    EXPECT_FALSE(System32FormOf(L"C:\\Windows\\System32\\a.txt", L"C:\\Windows", unchanged));
    EXPECT_FALSE(SysnativeFormOf(L"C:\\Windows\\System32\\a.txt", L"", unchanged));
    EXPECT_EQ(L"unchanged", unchanged);
}

TEST(NativePathsTest, ProgramFolderVariablesNameThe64BitFolders) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"%ProgramFiles%\\App", L"%ProgramW6432%\\App"},
        {L"%PROGRAMFILES%\\a;%commonprogramfiles%\\b",
         L"%ProgramW6432%\\a;%CommonProgramW6432%\\b"},
        {L"%ProgramFiles(x86)%\\App", L"%ProgramFiles(x86)%\\App"},
        {L"%APPDATA%\\x", L"%APPDATA%\\x"},
        // Variables pair up from the left: here "ProgramFiles" sits between two of them.
        {L"%A%ProgramFiles%B%", L"%A%ProgramFiles%B%"},
        {L"100%ProgramFiles", L"100%ProgramFiles"},
        {L"%%ProgramFiles%", L"%%ProgramFiles%"},
        {L"", L""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(row.second, WithNativeProgramFolders(row.first)) << row.first;
}

}  // namespace

// The file system as 64-bit programs see it, for a 32-bit process on 64-bit Windows.
#include "opener/native_paths.h"

#include <gtest/gtest.h>

namespace {

TEST(NativePathsTest, System32IsLookedUpThroughSysnativeAndNamedSystem32Again) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"C:\\Windows\\System32\\winevt\\Logs", L"C:\\Windows\\Sysnative\\winevt\\Logs"},
        {L"c:\\windows\\system32", L"c:\\windows\\Sysnative"},
        {L"C:\\Windows\\System32x\\a.txt", nullptr},
        {L"C:\\Windows\\SysWOW64\\a.txt", nullptr},
        {L"C:\\Windows2\\System32\\a", nullptr},
        {L"D:\\Windows\\System32\\a", nullptr},
        {L"System32\\a.txt", nullptr},
    };
    for (const auto& row : rows) {
        std::wstring lookup = L"unchanged", back;
        EXPECT_EQ(row.second != nullptr, SysnativeFormOf(row.first, L"C:\\Windows\\", lookup));
        EXPECT_EQ(row.second ? row.second : L"unchanged", lookup) << row.first;
        // and back, for the programs that open it
        EXPECT_EQ(row.second != nullptr, System32FormOf(lookup, L"C:\\Windows", back));
    }
    std::wstring back;
    ASSERT_TRUE(System32FormOf(L"C:\\Windows\\sysnative\\x", L"C:\\Windows", back));
    EXPECT_EQ(L"C:\\Windows\\System32\\x", back);
}

TEST(NativePathsTest, ProgramFolderVariablesNameThe64BitFolders) {
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"%PROGRAMFILES%\\a;%commonprogramfiles%", L"%ProgramW6432%\\a;%CommonProgramW6432%"},
        {L"%ProgramFiles(x86)%\\App", L"%ProgramFiles(x86)%\\App"},
        // Variables pair up from the left: here "ProgramFiles" sits between two of them.
        {L"%A%ProgramFiles%B%", L"%A%ProgramFiles%B%"},
        {L"100%ProgramFiles", L"100%ProgramFiles"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.second, WithNativeProgramFolders(row.first));
}

}  // namespace

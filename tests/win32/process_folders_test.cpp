// Another process's current folder read back for real: a child started in a known folder
// (as the foreground program or as a shell it started), a program of the other bitness,
// and processes that cannot be read.

#include "opener/process_folders_win.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// A command interpreter that idles on an open pipe in `folder` until it is ended.
class CIdleChild {
public:
    CIdleChild(const std::wstring& program, const std::wstring& folder) {
        SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
        HANDLE read = nullptr;
        if (!CreatePipe(&read, &m_input, &inherit, 0)) return;
        SetHandleInformation(m_input, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = read;
        startup.hStdOutput = startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
        std::wstring line = L"\"" + program + L"\" /q /k";
        PROCESS_INFORMATION process = {};
        if (CreateProcessW(program.c_str(), &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                           nullptr, folder.c_str(), &startup, &process)) {
            CloseHandle(process.hThread);
            m_process = process.hProcess;
            m_id = process.dwProcessId;
        }
        CloseHandle(read);
    }
    ~CIdleChild() {
        if (m_process != nullptr) {
            TerminateProcess(m_process, 0);
            WaitForSingleObject(m_process, 5000);
            CloseHandle(m_process);
        }
        if (m_input != nullptr) CloseHandle(m_input);
    }
    DWORD Id() const { return m_id; }

private:
    HANDLE m_process = nullptr;
    HANDLE m_input = nullptr;
    DWORD m_id = 0;
};

std::wstring Folder(UINT (WINAPI* get)(LPWSTR, UINT)) {
    wchar_t path[MAX_PATH] = {};
    const UINT length = get(path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path, length) : std::wstring();
}

// The interpreter of our own bitness, and of the other one where the system has both.
std::wstring OwnCmd() { return Folder(GetSystemDirectoryW) + L"\\cmd.exe"; }
std::wstring OtherCmd() {
    BOOL wow64 = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow64);
    if (wow64) return Folder(GetWindowsDirectoryW) + L"\\Sysnative\\cmd.exe";
    const std::wstring wow = Folder(GetSystemWow64DirectoryW);
    return wow.empty() ? std::wstring() : wow + L"\\cmd.exe";
}

// A fresh folder under the temporary one, made for the test.
std::wstring MadeFolder(const wchar_t* name) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    wchar_t full[MAX_PATH] = {};
    GetLongPathNameW(folder.c_str(), full, MAX_PATH);
    return full;
}

bool SameFolder(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Waits, bounded, until the child has started far enough to have its parameters.
bool ReadBack(DWORD id, std::wstring& folder) {
    for (int i = 0; i < 100; ++i) {
        if (ProcessCurrentFolder(id, folder)) return true;
        Sleep(20);
    }
    return false;
}

TEST(ProcessFolders, AChildStartedInAFolderIsReadBackAsItsOwnAndAsADescendant) {
    const std::wstring project = MadeFolder(L"selvane project");
    const std::wstring other = MadeFolder(L"selvane other");
    CIdleChild first(OwnCmd(), project);
    ASSERT_NE(0u, first.Id());
    std::wstring folder;
    ASSERT_TRUE(ReadBack(first.Id(), folder));
    EXPECT_TRUE(SameFolder(project, folder)) << std::string(folder.begin(), folder.end());

    // The newest shell first; a bound of one reads only it.
    Sleep(50);  // distinct start times
    CIdleChild second(OwnCmd(), other);
    ASSERT_TRUE(ReadBack(second.Id(), folder));
    const std::vector<std::wstring> folders = DescendantCurrentFolders(GetCurrentProcessId(), 16);
    ASSERT_EQ(2u, folders.size());
    EXPECT_TRUE(SameFolder(other, folders[0]));
    EXPECT_TRUE(SameFolder(project, folders[1]));
    const std::vector<std::wstring> one = DescendantCurrentFolders(GetCurrentProcessId(), 1);
    ASSERT_EQ(1u, one.size());
    EXPECT_TRUE(SameFolder(other, one[0]));
    EXPECT_TRUE(DescendantCurrentFolders(GetCurrentProcessId(), 0).empty());
}

TEST(ProcessFolders, WhatCannotBeReadGivesNoFolderAndNoFailure) {
    std::wstring folder = L"untouched";
    // The idle process, and a number no process has.
    EXPECT_FALSE(ProcessCurrentFolder(0, folder));
    EXPECT_FALSE(ProcessCurrentFolder(0xFFFFFFF0u, folder));
    EXPECT_EQ(L"untouched", folder);
    EXPECT_TRUE(DescendantCurrentFolders(0xFFFFFFF0u, 16).empty());

    // The other bitness: read where the system has the calls, else no folder; never a
    // wrong one.
    const std::wstring program = OtherCmd();
    if (program.empty() || GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
        GTEST_SKIP() << "no program of the other bitness";
    }
    const std::wstring where = MadeFolder(L"selvane other bitness");
    CIdleChild child(program, where);
    ASSERT_NE(0u, child.Id());
    Sleep(200);  // let it start; a folder read too early is simply none
    if (ProcessCurrentFolder(child.Id(), folder)) {
        EXPECT_TRUE(SameFolder(where, folder)) << std::string(folder.begin(), folder.end());
        std::printf("other bitness: read back\n");
    } else {
        std::printf("other bitness: no folder (the system lacks the calls)\n");
    }
}

}  // namespace

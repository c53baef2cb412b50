#pragma once

// The Win32 side of the open decision: each platform operation is the system call of the
// same name, or a few lines around it.

#include <windows.h>

#include "opener/open_platform.h"

class CWin32OpenPlatform : public COpenPlatform {
public:
    // `owner`: the window the menu of several paths belongs to (a press runs in its
    // procedure); without one no menu is shown.
    // `foreground`: the window the press took the selection from, whose title and
    // processes tell where a relative path was meant.
    explicit CWin32OpenPlatform(HWND owner = nullptr, HWND foreground = nullptr)
        : m_owner(owner), m_foreground(foreground) {}

    bool Canonicalize(wchar_t* buffer, const wchar_t* path) override;
    std::uint32_t FileAttributes(const wchar_t* path) override;
    bool IsValidUrl(const wchar_t* text) override;
    bool RunShellVerb(const wchar_t* verb, const wchar_t* target) override;
    bool ExpandVariables(const wchar_t* text, std::wstring& expanded) override;
    bool PathFromFileUrl(const wchar_t* url, std::wstring& path) override;
    bool OpenRegistryKey(const wchar_t* key) override;
    bool ProgramForType(const wchar_t* type, std::wstring& program) override;
    bool StartProgram(const wchar_t* program, const wchar_t* commandLine) override;
    bool IsDangerousType(const wchar_t* type) override;
    bool ShowInFolder(const wchar_t* path) override;
    void TraceOutOfMemory() override;
    bool ChooseCandidate(const std::vector<std::wstring>& items, std::size_t& chosen) override;

    // Network drives.
    bool IsRemoteDrive(wchar_t letter) override;

    // Where a relative path was selected.
    std::wstring ForegroundTitle() override;
    bool ForegroundFolder(std::wstring& folder) override;
    std::vector<std::wstring> DescendantFolders(std::size_t most) override;
    bool ExplorerFolder(std::wstring& folder) override;
    bool UserFolder(std::wstring& folder) override;

    // The names the shell is handed; under WOW64 as 64-bit programs know them.
    bool FullPathName(const wchar_t* path, std::wstring& full) override;
    bool LongPathName(const wchar_t* path, std::wstring& longPath) override;

private:
    DWORD ForegroundProcess() const;

    HWND m_owner;
    HWND m_foreground;
};

#pragma once

// Another process's current folder, read from its process parameters, and those of the
// processes it started. A few small reads with rights any user has over their own
// programs; whatever cannot be read (an elevated program, a call the system lacks) is
// left out without a word.

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// True in a 32-bit process on 64-bit Windows. Asked once, then kept.
bool RunsUnderWow64();

// The current folder of process `processId`, without a trailing backslash (but "C:\").
// False when it cannot be read.
bool ProcessCurrentFolder(DWORD processId, std::wstring& folder);

// The current folders of the descendants of `processId`, newest first, of at most `most`
// processes; those that cannot be read are left out.
std::vector<std::wstring> DescendantCurrentFolders(DWORD processId, std::size_t most);

// The folder an Explorer window `window` shows, from the shell's list of its windows.
// False when `window` is none or the shell does not say. Needs COM on this thread.
bool ExplorerWindowFolder(HWND window, std::wstring& folder);

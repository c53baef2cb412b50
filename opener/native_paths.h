#pragma once

// The file system as 64-bit programs see it, for a 32-bit process on 64-bit Windows: there
// the system redirects the process's lookups of "<Windows>\System32" to the 32-bit
// "SysWOW64" and expands %ProgramFiles% to the "(x86)" folder. The "Sysnative" alias names
// the real System32 for a 32-bit process alone; 64-bit programs know only "System32".
// Portable: the Windows folder is an argument.

#include <string>

// When the full path `path` lies in "<windowsFolder>\System32" (the folder itself
// included), sets `lookup` to the same place under "<windowsFolder>\Sysnative", which a
// 32-bit process looks up without redirection, and returns true.
bool SysnativeFormOf(const std::wstring& path, const std::wstring& windowsFolder,
                     std::wstring& lookup);

// When the full path `path` lies in "<windowsFolder>\Sysnative", sets `shellPath` to the
// same place under "<windowsFolder>\System32", the name other programs know, and returns
// true.
bool System32FormOf(const std::wstring& path, const std::wstring& windowsFolder,
                    std::wstring& shellPath);

// `text` with %ProgramFiles% and %CommonProgramFiles% (any letter case) written as
// %ProgramW6432% and %CommonProgramW6432%, the variables that hold the 64-bit folders.
// Variables are read in pairs of percent signs from the left, as the system expands them.
std::wstring WithNativeProgramFolders(const std::wstring& text);

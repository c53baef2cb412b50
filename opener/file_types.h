#pragma once

// A file's type and whether opening it would run something: the names Windows gives
// files, and the types that must never be opened from a selection. Portable.

#include <cstddef>
#include <string>

#include "opener/open_platform.h"

// Where the name of the file `path` names begins: after the last separator, or after the
// colon of a drive ("C:run.exe").
std::size_t NameStart(const std::wstring& path);

// True when `path` starts with a drive letter and its colon ("C:", "c:/x").
bool StartsWithDrive(const std::wstring& path);

// A drive path with its backslash ("C:\x").
bool IsDrivePath(const std::wstring& path);

// True when `path` starts with a pair of backslashes: a server's, or a device's.
bool IsNetworkPath(const std::wstring& path);

// A drive path with its backslash or a network path: nothing is searched for it.
bool IsFullPath(const std::wstring& path);

// The type of the file `path` names: its extension with the dot (".cpp"), as Windows sees
// it (the blanks and dots that end a name do not count), or empty.
std::wstring FileTypeOf(const std::wstring& path);

// True when opening the file `path` would run it: a program, a script, an installer, a
// shortcut or what mounts or connects, by the system's own judgement, by PATHEXT, by our
// list, by the program that opens its type, or because its short name cannot be expanded
// to the long one whose type counts.
bool IsDangerousFile(const std::wstring& path, COpenPlatform& platform);

// True when `program` (the program that opens a file type, as registered) runs, installs
// or connects with what it is given: an interpreter, a script host, an installer.
bool IsInterpreter(const std::wstring& program);

// Where the first name in `path` that ends in a class id (".{20D04FE0-...}") ends: the
// shell opens such a file or folder as that class's object. npos when there is none.
std::size_t ShellObjectNameEnd(const std::wstring& path);

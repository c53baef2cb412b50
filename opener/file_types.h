#pragma once

// A file's type and whether opening it would run something: the names Windows gives
// files, and the types that must never be opened from a selection. Portable.

#include <cstddef>
#include <string>

#include "opener/open_platform.h"

// Where the name of the file `path` names begins: after the last separator, or after the
// colon of a drive ("C:run.exe").
std::size_t NameStart(const std::wstring& path);

// A drive path with its backslash ("C:\x") or a network path: nothing is searched for it.
bool IsFullPath(const std::wstring& path);

// The type of the file `path` names: its extension with the dot (".cpp"), as Windows sees
// it (the blanks and dots that end a name do not count), or empty.
std::wstring FileTypeOf(const std::wstring& path);

// True when opening the file `path` would run it: a program, a script, an installer or a
// shortcut, by the system's own judgement, by PATHEXT or by our list.
bool IsDangerousFile(const std::wstring& path, COpenPlatform& platform);

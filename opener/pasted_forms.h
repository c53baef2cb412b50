#pragma once

// The forms developers paste from a terminal, a traceback or a diff: a Python traceback
// line, a path in WSL's or Git Bash's spelling, a path under "~", a diff's a/ and b/.
// Plain text work; portable.

#include <string>

// `File "C:\src\app.py", line 12, in main` (a line of a Python traceback): sets `located`
// to `"C:\src\app.py", line 12`, which StripSourcePosition reads as a file at a line.
bool TracebackLineIn(const std::wstring& text, std::wstring& located);

// `/mnt/c/Users/x` (WSL) or `/c/Users/x` (Git Bash, MSYS2): sets `path` to `C:\Users\x`.
bool DrivePathFromUnixForm(const std::wstring& text, std::wstring& path);

// `~`, `~\x` or `~/x`: sets `rest` to what follows the user's folder ("" or "\x", with
// backslashes).
bool HomeRelativeRest(const std::wstring& text, std::wstring& rest);

// `a\src\x.c` or `b\src\x.c` (a diff's sides, slashes already turned): sets `rest` to
// `src\x.c`.
bool WithoutDiffPrefix(const std::wstring& path, std::wstring& rest);

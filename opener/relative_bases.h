#pragma once

// Where a relative path was meant: the folders a selection like `src\main.cpp(42,7)` is
// tried against, in this order: the folder of each document whose full path is in the
// foreground window's title, the foreground program's current folder, the current folders
// of the processes it started (the shells inside a terminal), the folder of an Explorer
// window in front, the user's folder. Portable: the facts come from COpenPlatform.

#include <cstddef>
#include <string>
#include <vector>

#include "opener/open_platform.h"
#include "opener/selection_forms.h"

// At most this many processes started by the foreground program are read.
constexpr std::size_t kMostDescendantFolders = 16;
// The title's drive paths are found with at most this many lookups.
constexpr std::size_t kMostTitleLookups = 8;

// A selection that is a relative path once its forms are taken away (the clean-up, a
// traceback line, a source position), with backslashes for slashes.
struct RelativePath {
    std::wstring path;
    std::wstring withoutDiffPrefix;  // `src\x.c` for `a\src\x.c`; empty when none
    bool hasPosition = false;
    SourcePosition position;
};

// True, with `relative` set, when `selection` is a relative path: no drive, network path,
// rooted path, scheme, variable, "~", registry key, mail address or "www." name.
bool RelativePathIn(const std::wstring& selection, RelativePath& relative);

// The bases, in order, each a full path without a trailing backslash (but "C:\"), none
// twice. `lookups` is what the title's scan may spend; it is lowered by what it spent.
std::vector<std::wstring> RelativeBases(COpenPlatform& platform, std::size_t& lookups);

// The full paths that `relative` names on the bases, in their order, none twice; a
// folder only when no position was given. The diff's prefix is dropped only when the
// path with it names nothing. At most `lookups` attribute queries in all, and at most
// kMostCandidates targets.
std::vector<std::wstring> FindRelativeTargets(const RelativePath& relative,
                                              COpenPlatform& platform, std::size_t lookups);

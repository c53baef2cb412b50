#pragma once

// The editors that take a line (and a column) on their command line, and how the command
// line is quoted for them. Portable.

#include <string>

#include "opener/selection_forms.h"

// Appends `argument` to `commandLine` (after a blank unless it is empty) so that
// CommandLineToArgvW and the C runtime read it back unchanged: in quotes when it is empty
// or holds a blank, a tab or a quote, with the backslashes before a quote doubled.
void AppendArgument(std::wstring& commandLine, const std::wstring& argument);

// When the file name of `program` is one of the editors we know, sets `commandLine` to the
// command line that opens `file` at `position` in it, program included, and returns true.
bool EditorCommandLine(const std::wstring& program, const std::wstring& file,
                       const SourcePosition& position, std::wstring& commandLine);

#pragma once

#include <string>

// The system's text for the thread's last error (empty for 0), exactly as produced.
std::string FormatLastError();

// Writes FormatLastError() to the debugger output; always returns false so that a
// caller can `if (!RegisterHotKey(...)) return TraceLastError();`-style chain it.
bool TraceLastError();

#pragma once

#include <windows.h>

// Loads a library of the system folder by its full path, so that no other copy (in the
// current or the program's folder) can stand in. Null, with the failure traced, when it
// cannot be loaded. For libraries loaded on first use rather than imported at start-up.
HMODULE LoadSystemLibrary(const wchar_t* name);

// The address of `function` in the system library `name`, loaded as above; null, traced,
// when either cannot be found.
FARPROC SystemFunction(const wchar_t* name, const char* function);

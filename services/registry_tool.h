#pragma once

#include <string>

// Starts util\regjump.exe from the program's folder with `key` as its whole command line,
// in the tool's folder and without a console window; the earlier current directory is put
// back. True when the tool started; otherwise the thread's last error says why. Used by
// the About page's Browse Registry and by the open-selection command for a selected key.
bool StartRegistryTool(const std::wstring& key);

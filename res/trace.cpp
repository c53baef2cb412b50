#include "res/trace.h"

#include <windows.h>

std::string FormatLastError() {
    DWORD code = GetLastError();
    if (code == 0) return std::string();

    char* buffer = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer),
        0, nullptr);
    std::string text;
    if (length != 0 && buffer != nullptr) text.assign(buffer, length);
    LocalFree(buffer);
    // A failed FormatMessageA sets its own error; callers test the last error again after
    // tracing it, so it must still be the one they traced.
    SetLastError(code);
    return text;
}

bool TraceLastError() {
    std::string text = FormatLastError();
    DWORD code = GetLastError();
    OutputDebugStringA(text.c_str());
    SetLastError(code);
    return false;
}

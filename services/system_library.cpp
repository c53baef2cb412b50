#include "services/system_library.h"

#include <string>

#include "res/trace.h"

HMODULE LoadSystemLibrary(const wchar_t* name) {
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        TraceLastError();
        return nullptr;
    }
    HMODULE module = LoadLibraryW((std::wstring(folder, length) + L"\\" + name).c_str());
    if (module == nullptr) TraceLastError();
    return module;
}

FARPROC SystemFunction(const wchar_t* name, const char* function) {
    HMODULE module = LoadSystemLibrary(name);
    if (module == nullptr) return nullptr;
    FARPROC address = GetProcAddress(module, function);
    if (address == nullptr) TraceLastError();
    return address;
}

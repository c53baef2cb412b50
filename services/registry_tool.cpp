#include "services/registry_tool.h"

#include <windows.h>

#include <vector>

namespace {

bool GetCurrentDirectoryString(std::wstring& directory) {
    DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0) return false;
    std::vector<wchar_t> buffer(needed);
    DWORD length = GetCurrentDirectoryW(needed, buffer.data());
    if (length == 0 || length >= needed) return false;
    directory.assign(buffer.data(), length);
    return true;
}

}  // namespace

bool StartRegistryTool(const std::wstring& key) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;

    // Wide functions throughout: a program folder named outside the ANSI code page must
    // still find the tool.
    wchar_t modulePath[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), modulePath, MAX_PATH + 1);
    // A cut-off path would name some other folder.
    if (length == 0 || length >= MAX_PATH + 1) {
        if (length != 0) SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    std::wstring toolFolder(modulePath, length);
    size_t slash = toolFolder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    toolFolder.resize(slash + 1);
    toolFolder += L"util\\";

    // The application name carries no folder, so the tool is looked for in the current
    // directory only (no path search). The open-selection command resolves relative
    // names against the current directory, so the earlier one is put back afterwards.
    // Without the tool folder the relative name would find a "regjump.exe" in whatever
    // directory happens to be current: start nothing then.
    std::wstring earlierDirectory;
    const bool haveEarlier = GetCurrentDirectoryString(earlierDirectory);
    if (!SetCurrentDirectoryW(toolFolder.c_str())) return false;

    std::vector<wchar_t> writable(key.begin(), key.end());
    writable.push_back(L'\0');

    PROCESS_INFORMATION process = {};
    const bool started =
        CreateProcessW(L"regjump.exe", writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process) != FALSE;
    const DWORD error = started ? ERROR_SUCCESS : GetLastError();
    if (started) {
        // We neither wait for the tool nor keep it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    if (haveEarlier) SetCurrentDirectoryW(earlierDirectory.c_str());
    SetLastError(error);
    return started;
}

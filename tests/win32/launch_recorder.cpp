// Stands in for util\regjump.exe in tests: writes how it was started to a file of its own
// in the folder named by SELVANE_LAUNCH_RECORDS, one item a line (UTF-8): command line,
// current directory, whether it has a console window, start-up flags, show command.
#include <windows.h>

#include <string>

int wmain() {
    wchar_t folder[MAX_PATH] = {};
    if (GetEnvironmentVariableW(L"SELVANE_LAUNCH_RECORDS", folder, MAX_PATH) == 0) return 1;
    wchar_t directory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, directory);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    GetStartupInfoW(&startup);

    std::wstring record = GetCommandLineW();
    record += L"\n";
    record += directory;
    record += L"\n";
    record += GetConsoleWindow() != nullptr ? L"1\n" : L"0\n";
    record += std::to_wstring(startup.dwFlags) + L"\n";
    record += std::to_wstring(startup.wShowWindow) + L"\n";

    int size = WideCharToMultiByte(CP_UTF8, 0, record.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, record.c_str(), -1, &utf8[0], size, nullptr, nullptr);
    utf8.pop_back();

    // Written under a temporary name and renamed, so that a reader never sees half of it.
    std::wstring base = std::wstring(folder) + L"\\" + std::to_wstring(GetCurrentProcessId());
    HANDLE file = CreateFileW((base + L".tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 2;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
    return MoveFileW((base + L".tmp").c_str(), (base + L".txt").c_str()) ? 0 : 3;
}

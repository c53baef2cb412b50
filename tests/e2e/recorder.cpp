// e2e_recorder: stands in for the programs behind the shell's verbs in the end-to-end
// tests. Command line: LOGFILE REST...; appends REST (as written, up to the end of the
// command line) and a newline to LOGFILE in UTF-8, then exits.
// Copied under another name (an editor's, "Code.exe"), it is started with that editor's
// own command line: it then appends all of it after the program to "<its path>.log".
#include <windows.h>

#include <string>

namespace {

// Skips one argument of a command line (quoted or not) and the blanks after it.
const wchar_t* SkipArgument(const wchar_t* p, std::wstring* argument) {
    bool quoted = false;
    for (; *p != L'\0' && (quoted || (*p != L' ' && *p != L'\t')); ++p) {
        if (*p == L'"') {
            quoted = !quoted;
        } else if (argument != nullptr) {
            *argument += *p;
        }
    }
    while (*p == L' ' || *p == L'\t') ++p;
    return p;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t self[MAX_PATH] = {};
    const DWORD selfLength = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (selfLength == 0 || selfLength >= MAX_PATH) return 1;
    const wchar_t* name = self + selfLength;
    while (name > self && name[-1] != L'\\' && name[-1] != L'/') --name;

    std::wstring logPath;
    const wchar_t* rest = SkipArgument(GetCommandLineW(), nullptr);
    if (lstrcmpiW(name, L"e2e_recorder.exe") == 0) {
        rest = SkipArgument(rest, &logPath);
    } else {
        logPath = std::wstring(self) + L".log";
    }
    std::wstring line = std::wstring(rest) + L"\n";
    int size = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &bytes[0], size,
                        nullptr, nullptr);
    HANDLE file = CreateFileW(logPath.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 1;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return 0;
}

#include "options/about_dialog.h"

#include <string>
#include <vector>

#include "res/resource.h"
#include "settings/settings.h"

INT_PTR CAboutDialog::DialogProc(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_SHOWWINDOW && wParam != FALSE) {
        // The page is shown when its tab is chosen.
        RevealOnShift();
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_BROWSE_REGISTRY) {
        BrowseRegistry();
    }
    return 0;
}

void CAboutDialog::RevealOnShift() {
    // Once shown, the button stays for the rest of the run.
    if (GetKeyState(VK_SHIFT) >= 0) return;
    if (HWND button = GetDlgItem(m_hWnd, IDC_BROWSE_REGISTRY)) ShowWindow(button, SW_SHOW);
}

namespace {

// The settings key path is narrow text in the ANSI code page.
std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

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

void CAboutDialog::BrowseRegistry() {
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;

    // Wide functions throughout: a program folder named outside the ANSI code page must
    // still find the tool.
    wchar_t modulePath[MAX_PATH + 1] = {};
    DWORD length = GetModuleFileNameW(GetModuleHandleW(nullptr), modulePath, MAX_PATH + 1);
    // A cut-off path would name some other folder.
    if (length == 0 || length >= MAX_PATH + 1) return;
    std::wstring toolFolder(modulePath, length);
    size_t slash = toolFolder.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return;
    toolFolder.resize(slash + 1);
    toolFolder += L"util\\";

    // The application name carries no folder, so the tool is looked for in the current
    // directory only (no path search). The open-selection command resolves relative
    // names against the current directory, so the earlier one is put back afterwards.
    // Without the tool folder the relative name would find a "regjump.exe" in whatever
    // directory happens to be current: start nothing then.
    std::wstring earlierDirectory;
    const bool haveEarlier = GetCurrentDirectoryString(earlierDirectory);
    if (!SetCurrentDirectoryW(toolFolder.c_str())) return;

    std::wstring commandLine = L"HKEY_CURRENT_USER\\" + Widen(SettingsKeyPath);
    std::vector<wchar_t> writable(commandLine.begin(), commandLine.end());
    writable.push_back(L'\0');

    PROCESS_INFORMATION process = {};
    if (CreateProcessW(L"regjump.exe", writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                       nullptr, nullptr, &startup, &process)) {
        // We neither wait for the tool nor keep it.
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    // A tool that is missing or fails to start is not reported.

    if (haveEarlier) SetCurrentDirectoryW(earlierDirectory.c_str());
}

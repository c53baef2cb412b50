// regjump: opens the registry editor at the key given as the whole command line, e.g.
//   regjump.exe HKEY_CURRENT_USER\Software\Selvane
// It stores the key as the editor's last visited key (the only thing it writes) and starts
// the editor, which opens where it was last. Exit codes: 0 started, 1 no key or not a key,
// 2 no such key, 3 the last key could not be stored, 4 the editor could not be started.

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "tools/regjump/regjump_key.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitBadKey = 1;
constexpr int kExitNoSuchKey = 2;
constexpr int kExitStoreFailed = 3;
constexpr int kExitStartFailed = 4;

const wchar_t kTitle[] = L"regjump";
const wchar_t kUsage[] =
    L"Usage: regjump.exe ROOT\\path\\of\\key\n"
    L"ROOT is HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM), HKEY_CLASSES_ROOT "
    L"(HKCR), HKEY_USERS (HKU) or HKEY_CURRENT_CONFIG (HKCC).";
const wchar_t kEditorKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Applets\\Regedit";
const wchar_t kLastKey[] = L"LastKey";

int Fail(int code, const std::wstring& text) {
    MessageBoxW(nullptr, text.c_str(), kTitle, MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
    return code;
}

std::wstring SystemText(DWORD error) {
    wchar_t* text = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring result = length != 0 ? std::wstring(text, length) : std::wstring();
    if (text != nullptr) LocalFree(text);
    if (result.empty()) result = L"Error " + std::to_wstring(error);
    return result;
}

HKEY RootHandle(RegistryRoot root) {
    switch (root) {
        case RegistryRoot::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case RegistryRoot::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case RegistryRoot::Users:
            return HKEY_USERS;
        case RegistryRoot::CurrentConfig:
            return HKEY_CURRENT_CONFIG;
        case RegistryRoot::CurrentUser:
        default:
            return HKEY_CURRENT_USER;
    }
}

// Wine's registry editor stores its last key without a top node name.
bool RunningOnWine() {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring ReadPreviousLastKey() {
    HKEY editor = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kEditorKey, 0, KEY_QUERY_VALUE, &editor) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);  // room for a terminator
    DWORD type = 0;
    std::wstring value;
    if (RegQueryValueExW(editor, kLastKey, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                         &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        value.assign(buffer, size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();
    }
    RegCloseKey(editor);
    return value;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    RegistryKeyName key;
    std::wstring text;
    switch (ParseKeyCommandLine(GetCommandLineW(), key, text)) {
        case KeyParseResult::Empty:
            return Fail(kExitBadKey, std::wstring(L"No registry key was given.\n\n") + kUsage);
        case KeyParseResult::Malformed:
            return Fail(kExitBadKey, L"\"" + text + L"\" is not a registry key.\n\n" + kUsage);
        case KeyParseResult::Ok:
            break;
    }

    // The editor shows the 64-bit view on 64-bit Windows; check the key there too.
    HKEY opened = nullptr;
    LONG status = RegOpenKeyExW(RootHandle(key.root), key.subKey.c_str(), 0,
                                KEY_QUERY_VALUE | KEY_WOW64_64KEY, &opened);
    if (status == ERROR_SUCCESS) {
        RegCloseKey(opened);
    } else if (status != ERROR_ACCESS_DENIED) {  // denied still means it exists
        return Fail(kExitNoSuchKey, L"The registry key \"" + text + L"\" does not exist.");
    }

    std::wstring lastKey = MakeLastKeyValue(key, ReadPreviousLastKey(), RunningOnWine());
    HKEY editor = nullptr;
    status = RegCreateKeyExW(HKEY_CURRENT_USER, kEditorKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                             &editor, nullptr);
    if (status == ERROR_SUCCESS) {
        status = RegSetValueExW(editor, kLastKey, 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(lastKey.c_str()),
                                static_cast<DWORD>((lastKey.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(editor);
    }
    if (status != ERROR_SUCCESS) {
        return Fail(kExitStoreFailed, L"The key could not be passed to the registry editor:\n" +
                                          SystemText(static_cast<DWORD>(status)));
    }

    // The editor of the Windows folder by its full path: a bare name is looked for in this
    // tool's own folder first, where anyone who can write there could put a "regedit.exe".
    wchar_t windows[MAX_PATH] = {};
    const UINT windowsLength = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (windowsLength == 0 || windowsLength >= MAX_PATH) {
        return Fail(kExitStartFailed, L"The registry editor could not be found:\n" +
                                          SystemText(GetLastError()));
    }
    const std::wstring editorPath = std::wstring(windows, windowsLength) + L"\\regedit.exe";

    // The shell asks for elevation where the editor needs it. On Windows "-m" opens a new
    // editor window even when one is open already, so that it reads the last key; Wine's
    // editor has no such switch.
    SHELLEXECUTEINFOW execute = {};
    execute.cbSize = sizeof(execute);
    execute.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpFile = editorPath.c_str();
    execute.lpParameters = RunningOnWine() ? nullptr : L"-m";
    execute.nShow = SW_SHOWNORMAL;
    if (!ShellExecuteExW(&execute)) {
        return Fail(kExitStartFailed,
                    L"The registry editor could not be started:\n" + SystemText(GetLastError()));
    }
    return kExitOk;
}

#include "opener/open_platform_win.h"

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <vector>

#include "opener/native_paths.h"
#include "opener/process_folders_win.h"
#include "opener/selection_forms.h"
#include "res/trace.h"
#include "services/registry_tool.h"
#include "services/system_library.h"

static_assert(kPathBufferSize == MAX_PATH, "the canonical path buffer is MAX_PATH long");
static_assert(kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES, "same no-such-file value");
static_assert(kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY, "same directory bit");

namespace {

using IsValidUrlFunction = HRESULT(WINAPI*)(IBindCtx*, LPCWSTR, DWORD);

// The URL moniker library is loaded on the first hotkey press, not at start-up: importing it
// brings OLE, WinINet and Winsock into every start for one call that most runs never make.
// Without it no text is a web address; the load traces why, since the user only sees
// "Could not find this location".
IsValidUrlFunction UrlValidator() {
    static const auto function = reinterpret_cast<IsValidUrlFunction>(
        reinterpret_cast<void*>(SystemFunction(L"urlmon.dll", "IsValidURL")));
    return function;
}

// ExpandEnvironmentStringsW handles at most 32,767 characters; PathCreateFromUrlW gets
// the same room.
constexpr size_t kLongestExpansion = 32768;

// The menu's loop dispatches whatever else arrives while it is open: a second press would
// run inside it, its copy keystroke landing in the menu and its capture reading a clipboard
// the first press put back. A press made while the menu is open is dropped.
LRESULT CALLBACK DropPressesInMenu(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == MSGF_MENU && message != nullptr && message->message == WM_HOTKEY) return TRUE;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The shared Windows folder ("C:\Windows"), not a user's own under Terminal Services;
// empty when it cannot be read. Read once: every lookup under WOW64 asks for it.
const std::wstring& WindowsFolder() {
    static const std::wstring folder = [] {
        wchar_t path[MAX_PATH] = {};
        const UINT length = GetSystemWindowsDirectoryW(path, MAX_PATH);
        return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(path, length);
    }();
    return folder;
}

// What a lookup of the full path `path` asks the system: under WOW64 the real System32
// through its alias, so that the files a 64-bit program sees are found. Redirection itself
// stays on: the shell calls of this process load code.
std::wstring LookupPath(const wchar_t* path) {
    std::wstring lookup;
    if (RunsUnderWow64() && SysnativeFormOf(path, WindowsFolder(), lookup)) return lookup;
    return path;
}

// A path as other programs know it: under WOW64 "Sysnative" named "System32" again.
void NameAsOthersDo(std::wstring& path) {
    std::wstring shellPath;
    if (RunsUnderWow64() && System32FormOf(path, WindowsFolder(), shellPath)) path.swap(shellPath);
}

bool StartProcess(const wchar_t* program, const wchar_t* commandLine) {
    // CreateProcessW may write into the command line it is given.
    std::vector<wchar_t> line(commandLine, commandLine + wcslen(commandLine) + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    // The program's own path, so that nothing is searched for; no handles handed down.
    if (!CreateProcessW(program, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return TraceLastError();
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// Starts the Explorer of the Windows folder, never one found elsewhere, on `switches`
// followed by the full path `path` in quotes, which keep its commas and equals signs from
// splitting it into fields. A quote inside would end the field and let the rest be read as
// more switches: such a path is refused.
bool StartExplorer(const wchar_t* switches, const std::wstring& path) {
    if (path.find(L'"') != std::wstring::npos) {
        SetLastError(ERROR_INVALID_NAME);
        return TraceLastError();
    }
    const std::wstring& windows = WindowsFolder();
    if (windows.empty()) return TraceLastError();
    // On 64-bit Windows this is the 64-bit Explorer even for this process: only System32
    // and the Windows folder's regedit.exe are redirected.
    const std::wstring explorer = windows + L"\\explorer.exe";
    const std::wstring commandLine = L"\"" + explorer + L"\" " + switches + L"\"" + path + L"\"";
    return StartProcess(explorer.c_str(), commandLine.c_str());
}

}  // namespace

bool CWin32OpenPlatform::Canonicalize(wchar_t* buffer, const wchar_t* path) {
    // PathCanonicalizeW is told nothing of the buffer's size, and some versions (Wine's
    // among them) write a result as long as the input. A text that cannot fit MAX_PATH
    // is not handed to it at all, and the result lands in a buffer with room to spare.
    if (wcslen(path) >= MAX_PATH) return false;
    wchar_t scratch[MAX_PATH + 16] = {};
    if (!PathCanonicalizeW(scratch, path)) return false;
    const size_t length = wcsnlen(scratch, ARRAYSIZE(scratch));
    if (length >= MAX_PATH) return false;
    wmemcpy(buffer, scratch, length + 1);
    return true;
}

std::uint32_t CWin32OpenPlatform::FileAttributes(const wchar_t* path) {
    return GetFileAttributesW(LookupPath(path).c_str());
}

bool CWin32OpenPlatform::IsValidUrl(const wchar_t* text) {
    IsValidUrlFunction isValid = UrlValidator();
    return isValid != nullptr && isValid(nullptr, text, 0) == S_OK;
}

bool CWin32OpenPlatform::RunShellVerb(const wchar_t* verb, const wchar_t* target) {
    // The shell resolves the target in this process, where a 32-bit process's lookups of
    // System32 land in SysWOW64: a 64-bit-only file is missing there, and another is found
    // in its 32-bit copy. Such a target goes to the 64-bit Explorer, which opens a file with
    // its program and shows a folder as the user's other programs see them.
    std::wstring lookup;
    if (RunsUnderWow64() && SysnativeFormOf(target, WindowsFolder(), lookup)) {
        return StartExplorer(L"", target);
    }
    HINSTANCE result = ShellExecuteW(nullptr, verb, target, nullptr, nullptr, SW_SHOW);
    // Values above 32 mean the shell took the request; the rest are error codes, and
    // the shell has already shown its own message for them.
    if (reinterpret_cast<INT_PTR>(result) > 32) return true;
    TraceLastError();
    return false;
}

bool CWin32OpenPlatform::ExpandVariables(const wchar_t* text, std::wstring& expanded) {
    // A longer text is no path with variables in it.
    if (wcslen(text) >= kLongestExpansion) return false;
    // The program folders the user means are the 64-bit ones; a 32-bit process is given
    // the "(x86)" folders under the usual names.
    const std::wstring source = RunsUnderWow64() ? WithNativeProgramFolders(text) : text;
    std::vector<wchar_t> buffer(kLongestExpansion);
    const DWORD length =
        ExpandEnvironmentStringsW(source.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length == 0 || length > buffer.size()) return false;
    expanded.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

bool CWin32OpenPlatform::PathFromFileUrl(const wchar_t* url, std::wstring& path) {
    std::vector<wchar_t> buffer(kLongestExpansion);
    DWORD length = static_cast<DWORD>(buffer.size());
    if (PathCreateFromUrlW(url, buffer.data(), &length, 0) != S_OK) return false;
    path.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return true;
}

bool CWin32OpenPlatform::OpenRegistryKey(const wchar_t* key) {
    if (StartRegistryTool(key)) return true;
    TraceLastError();
    return false;
}

bool CWin32OpenPlatform::ProgramForType(const wchar_t* type, std::wstring& program) {
    // Without ASSOCF_INIT_IGNOREUNKNOWN a type with no program answers with the "Open
    // with" dialog's host.
    const ASSOCF flags = ASSOCF_INIT_IGNOREUNKNOWN | ASSOCF_NOTRUNCATE;
    std::vector<wchar_t> buffer(kLongestExpansion);
    DWORD length = static_cast<DWORD>(buffer.size());
    if (AssocQueryStringW(flags, ASSOCSTR_EXECUTABLE, type, L"open", buffer.data(), &length) !=
        S_OK) {
        return false;
    }
    program.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
    return !program.empty();
}

bool CWin32OpenPlatform::StartProgram(const wchar_t* program, const wchar_t* commandLine) {
    return StartProcess(program, commandLine);
}

bool CWin32OpenPlatform::IsDangerousType(const wchar_t* type) {
    return AssocIsDangerous(type) != FALSE;
}

bool CWin32OpenPlatform::ShowInFolder(const wchar_t* path) {
    // Explorer's own switch, not SHOpenFolderAndSelectItems: Wine's version of that reports
    // success and shows nothing.
    return StartExplorer(L"/select,", path);
}

void CWin32OpenPlatform::TraceOutOfMemory() {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    TraceLastError();
}
bool CWin32OpenPlatform::ChooseCandidate(const std::vector<std::wstring>& items,
                                         std::size_t& chosen) {
    if (m_owner == nullptr || items.empty()) return false;
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) {
        TraceLastError();
        return false;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        // A menu takes "&" for the underlined key of the item; "R&D" means itself here.
        std::wstring label = items[i];
        ReplaceAll(label, L"&", L"&&");
        if (!AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(i + 1), label.c_str())) {
            TraceLastError();
            DestroyMenu(menu);
            return false;
        }
    }
    POINT cursor = {};
    GetCursorPos(&cursor);
    // As with the tray menu: the menu closes on a click elsewhere, and reads the keyboard,
    // only while its owner is the foreground window; the posted message lets it close
    // properly afterwards. The Down key, read by the menu's loop as soon as it runs,
    // selects the first item, so that Enter alone opens it.
    SetForegroundWindow(m_owner);
    PostMessageW(m_owner, WM_KEYDOWN, VK_DOWN, 0);
    HHOOK hook = SetWindowsHookExW(WH_MSGFILTER, DropPressesInMenu, nullptr, GetCurrentThreadId());
    if (hook == nullptr) TraceLastError();
    const UINT command = static_cast<UINT>(TrackPopupMenu(
        menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON,
        cursor.x, cursor.y, 0, m_owner, nullptr));
    if (hook != nullptr) UnhookWindowsHookEx(hook);
    PostMessageW(m_owner, WM_NULL, 0, 0);
    DestroyMenu(menu);
    if (command == 0 || command > items.size()) return false;
    chosen = command - 1;
    return true;
}

bool CWin32OpenPlatform::IsRemoteDrive(wchar_t letter) {
    // The drive's type comes from the local mapping; the server is not asked.
    const wchar_t root[] = {letter, L':', L'\\', L'\0'};
    return GetDriveTypeW(root) == DRIVE_REMOTE;
}

std::wstring CWin32OpenPlatform::ForegroundTitle() {
    // GetWindowTextW reads another program's title without a message to it, so a hung
    // program cannot hold the press.
    if (m_foreground == nullptr) return std::wstring();
    std::vector<wchar_t> title(1024);
    const int length = GetWindowTextW(m_foreground, title.data(), static_cast<int>(title.size()));
    return length > 0 ? std::wstring(title.data(), static_cast<size_t>(length)) : std::wstring();
}

DWORD CWin32OpenPlatform::ForegroundProcess() const {
    // A console window names the shell attached to it, not the console's host.
    DWORD process = 0;
    if (m_foreground == nullptr || GetWindowThreadProcessId(m_foreground, &process) == 0) return 0;
    return process == GetCurrentProcessId() ? 0 : process;
}

bool CWin32OpenPlatform::ForegroundFolder(std::wstring& folder) {
    const DWORD process = ForegroundProcess();
    return process != 0 && ProcessCurrentFolder(process, folder);
}

std::vector<std::wstring> CWin32OpenPlatform::DescendantFolders(std::size_t most) {
    const DWORD process = ForegroundProcess();
    return process != 0 ? DescendantCurrentFolders(process, most) : std::vector<std::wstring>();
}

bool CWin32OpenPlatform::ExplorerFolder(std::wstring& folder) {
    return ExplorerWindowFolder(m_foreground, folder);
}

bool CWin32OpenPlatform::UserFolder(std::wstring& folder) {
    // The folder start-up made current, from the same source.
    wchar_t profile[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    folder.assign(profile, length);
    return true;
}

bool CWin32OpenPlatform::FullPathName(const wchar_t* path, std::wstring& full) {
    if (wcslen(path) >= kLongestExpansion) return false;
    std::vector<wchar_t> buffer(kLongestExpansion);
    const DWORD length =
        GetFullPathNameW(path, static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
    if (length == 0 || length >= buffer.size()) return false;
    full.assign(buffer.data(), length);
    NameAsOthersDo(full);
    return true;
}

bool CWin32OpenPlatform::LongPathName(const wchar_t* path, std::wstring& longPath) {
    std::vector<wchar_t> buffer(kLongestExpansion);
    const DWORD length = GetLongPathNameW(LookupPath(path).c_str(), buffer.data(),
                                          static_cast<DWORD>(buffer.size()));
    if (length == 0 || length >= buffer.size()) return false;
    longPath.assign(buffer.data(), length);
    NameAsOthersDo(longPath);
    return true;
}

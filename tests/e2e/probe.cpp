// e2e_probe: Win32 queries and actions on behalf of the end-to-end tests, run under Wine
// as a program separate from Selvane.exe. One command per run; results go to stdout as
// UTF-8 lines, the exit code says yes (0) or no (1); 2 means a usage error.
//
//   find CLASS TITLE [WAIT_MS]        top-level window (hidden too); prints "HWND PID VISIBLE"
//   gone CLASS TITLE WAIT_MS          waits until no such window exists
//   list [CLASS]                      top-level windows: HWND PID VISIBLE CLASS TITLE L T R B
//   msgbox TITLE [WAIT_MS]            message box: prints text=, owner=, icon=, buttons=
//   click-ok TITLE                    dismisses that message box (WM_COMMAND IDOK)
//   send CLASS TITLE MSG WP LP        SendMessageW, prints the result
//   post CLASS TITLE MSG WP LP        PostMessageW
//   broadcast MSGNAME                 posts a registered message to every top-level window
//   icon modify|delete CLASS TITLE GUID   tray request for the icon of that window
//   balloons [WAIT_MS]                visible balloons: "title=...\ttext=..." per line
//   menu [WAIT_MS]                    visible popup menu: rect, item count and item texts
//   hotkey-try MODS VK                0 when the combination is free
//   hotkey-hold MODS VK               holds it until stdin closes; prints "held" or "taken"
//   reg-get KEY NAME | reg-set KEY NAME DATA | reg-del KEY | reg-exists KEY   (HKCU, REG_SZ)
//   clip-set TEXT [FORMAT DATA]       clipboard: Unicode text and a registered format
//   clip-get [FORMAT]                 prints "text=..." and "FORMAT=..." ("<none>" if absent)
//   clip-bridge WAIT_MS               waits until Wine's clipboard bridge (its manager window
//                                     in the desktop process) has started and taken in the X
//                                     selection, which empties the clipboard
//   gui-resources PID                 prints "gdi=N user=N"
//   hold-window CLASS TITLE           a hidden top-level window of a class registered under
//                                     CLASS, until stdin closes; prints "ready"
//   watch-keys                        until stdin closes, notes the keys that programs inject
//                                     (SendInput), seen through a low-level keyboard hook;
//                                     prints "ready", then at the end "injected VK up|down"
//                                     per event
// A CLASS or TITLE of "-" matches any; MSG is a number or "reg:NAME" for a registered one.
// clip-get also prints "seq=N" (the clipboard's sequence number) and "markers=N" (how many of
// the three formats that keep a put-back out of clipboard history it holds); "formats=N"
// counts the others.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0], size,
                        nullptr, nullptr);
    return out;
}

void Print(const std::wstring& line) {
    std::string text = Utf8(line) + "\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text.data(), static_cast<DWORD>(text.size()),
              &written, nullptr);
}

const wchar_t* OrNull(const wchar_t* arg) {
    return std::wcscmp(arg, L"-") == 0 ? nullptr : arg;
}

unsigned long long Number(const wchar_t* text) {
    return std::wcstoull(text, nullptr, 0);
}

UINT MessageId(const wchar_t* text) {
    if (std::wcsncmp(text, L"reg:", 4) == 0) return RegisterWindowMessageW(text + 4);
    return static_cast<UINT>(Number(text));
}

std::wstring Hex(const void* handle) {
    wchar_t buffer[32];
    std::swprintf(buffer, 32, L"0x%llx",
                  static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(handle)));
    return buffer;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[2048] = {};
    GetWindowTextW(hwnd, text, 2048);
    return text;
}

// Polls for `test` every 50 ms until it holds or `waitMs` has passed.
template <typename Test>
bool WaitFor(DWORD waitMs, Test test) {
    DWORD start = GetTickCount();
    for (;;) {
        if (test()) return true;
        if (GetTickCount() - start >= waitMs) return false;
        Sleep(50);
    }
}

int Find(const wchar_t* cls, const wchar_t* title, DWORD waitMs) {
    HWND found = nullptr;
    WaitFor(waitMs, [&] { return (found = FindWindowW(OrNull(cls), OrNull(title))) != nullptr; });
    if (found == nullptr) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(found, &pid);
    wchar_t line[96];
    std::swprintf(line, 96, L"%ls %lu %d", Hex(found).c_str(), pid, IsWindowVisible(found) ? 1 : 0);
    Print(line);
    return 0;
}

struct ListFilter {
    const wchar_t* cls;
    std::vector<HWND> windows;
};

BOOL CALLBACK Collect(HWND hwnd, LPARAM param) {
    ListFilter* filter = reinterpret_cast<ListFilter*>(param);
    if (filter->cls == nullptr || ClassOf(hwnd) == filter->cls) filter->windows.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> TopLevel(const wchar_t* cls) {
    ListFilter filter = {cls, {}};
    EnumWindows(&Collect, reinterpret_cast<LPARAM>(&filter));
    return filter.windows;
}

int List(const wchar_t* cls) {
    for (HWND hwnd : TopLevel(cls)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        RECT rect = {};
        GetWindowRect(hwnd, &rect);
        wchar_t line[256];
        std::swprintf(line, 256, L"%ls\t%lu\t%d\t", Hex(hwnd).c_str(), pid,
                      IsWindowVisible(hwnd) ? 1 : 0);
        wchar_t where[96];
        std::swprintf(where, 96, L"\t%ld %ld %ld %ld", rect.left, rect.top, rect.right,
                      rect.bottom);
        Print(line + ClassOf(hwnd) + L"\t" + TextOf(hwnd) + where);
    }
    return 0;
}

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
    reinterpret_cast<std::vector<HWND>*>(param)->push_back(hwnd);
    return TRUE;
}

// A message box is a "#32770" window with a message-text control (0xFFFF). The options
// window shares class and title with our boxes, so the class and title alone are not enough.
HWND FindMessageBox(const wchar_t* title) {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", title)) != nullptr) {
        if (GetDlgItem(box, 0xFFFF) != nullptr) return box;
    }
    return nullptr;
}

int MessageBoxInfo(const wchar_t* title, DWORD waitMs) {
    // A box is filled in before it is shown: read it once it is visible.
    HWND box = nullptr;
    WaitFor(waitMs, [&] {
        box = FindMessageBox(title);
        return box != nullptr && IsWindowVisible(box);
    });
    if (box == nullptr || !IsWindowVisible(box)) return 1;
    Print(L"text=" + TextOf(GetDlgItem(box, 0xFFFF)));
    Print(L"owner=" + Hex(GetWindow(box, GW_OWNER)));
    std::vector<HWND> children;
    EnumChildWindows(box, &CollectChild, reinterpret_cast<LPARAM>(&children));
    bool icon = false;
    std::wstring buttons;
    for (HWND child : children) {
        LONG style = GetWindowLongW(child, GWL_STYLE);
        std::wstring cls = ClassOf(child);
        if (_wcsicmp(cls.c_str(), L"Static") == 0 && (style & SS_TYPEMASK) == SS_ICON &&
            IsWindowVisible(child)) {
            icon = true;
        }
        if (_wcsicmp(cls.c_str(), L"Button") == 0 && IsWindowVisible(child)) {
            if (!buttons.empty()) buttons += L",";
            buttons += TextOf(child);
        }
    }
    Print(std::wstring(L"icon=") + (icon ? L"1" : L"0"));
    Print(L"buttons=" + buttons);
    return 0;
}

int ClickOk(const wchar_t* title) {
    HWND box = FindMessageBox(title);
    if (box == nullptr) return 1;
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    // Return once it is gone, so that a box that follows is not mistaken for this one.
    return WaitFor(5000, [&] { return !IsWindow(box); }) ? 0 : 1;
}

int Send(const wchar_t* cls, const wchar_t* title, wchar_t** args, bool post) {
    HWND target = FindWindowW(OrNull(cls), OrNull(title));
    if (target == nullptr) return 1;
    UINT message = MessageId(args[0]);
    WPARAM wParam = static_cast<WPARAM>(Number(args[1]));
    LPARAM lParam = static_cast<LPARAM>(Number(args[2]));
    if (post) return PostMessageW(target, message, wParam, lParam) ? 0 : 1;
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(target, message, wParam, lParam, SMTO_NORMAL, 10000, &result)) {
        return 1;
    }
    wchar_t line[32];
    std::swprintf(line, 32, L"%lld", static_cast<long long>(result));
    Print(line);
    return 0;
}

int Broadcast(const wchar_t* name) {
    UINT message = RegisterWindowMessageW(name);
    return PostMessageW(HWND_BROADCAST, message, 0, 0) ? 0 : 1;
}

int Icon(const wchar_t* mode, const wchar_t* cls, const wchar_t* title, const wchar_t* guid) {
    HWND owner = FindWindowW(OrNull(cls), OrNull(title));
    if (owner == nullptr) return 1;
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = owner;
    data.uID = 0;
    data.uFlags = NIF_GUID;
    if (CLSIDFromString(const_cast<wchar_t*>(guid), &data.guidItem) != NOERROR) return 2;
    DWORD request = std::wcscmp(mode, L"delete") == 0 ? NIM_DELETE : NIM_MODIFY;
    return Shell_NotifyIconW(request, &data) ? 0 : 1;
}

// Reads tooltip texts out of the shell's process: the tooltip messages carry pointers,
// so the buffers must live in that process.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, SIZE_T size) : m_size(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        m_process =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (m_process != nullptr) {
            m_base = static_cast<char*>(
                VirtualAllocEx(m_process, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
        }
    }
    ~RemoteBuffer() {
        if (m_base != nullptr) VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
        if (m_process != nullptr) CloseHandle(m_process);
    }
    bool ok() const { return m_base != nullptr; }
    char* at(SIZE_T offset) const { return m_base + offset; }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) {
        return WriteProcessMemory(m_process, m_base + offset, data, size, nullptr) != 0;
    }
    std::wstring ReadText(SIZE_T offset, SIZE_T chars) {
        std::wstring text(chars, L'\0');
        SIZE_T read = 0;
        if (!ReadProcessMemory(m_process, m_base + offset, &text[0], chars * sizeof(wchar_t),
                               &read)) {
            return L"<unreadable>";
        }
        text.resize(std::wcslen(text.c_str()));
        return text;
    }

private:
    HANDLE m_process = nullptr;
    char* m_base = nullptr;
    SIZE_T m_size;
};

bool BalloonTexts(HWND tip, std::wstring& title, std::wstring& text) {
    const SIZE_T kInfo = 0, kText = 1024, kTitleInfo = 512, kTitle = 8192, kSize = 16384;
    const DWORD kChars = 2048;
    RemoteBuffer remote(tip, kSize);
    if (!remote.ok()) return false;
    TTTOOLINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpszText = reinterpret_cast<wchar_t*>(remote.at(kText));
    remote.Write(kInfo, &info, sizeof(info));
    DWORD_PTR result = 0;
    SendMessageTimeoutW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(remote.at(kInfo)),
                        SMTO_NORMAL, 5000, &result);
    // The enumeration may have replaced the text pointer; point it at our buffer again.
    remote.Write(kInfo, &info, sizeof(info));
    SendMessageTimeoutW(tip, TTM_GETTEXTW, kChars, reinterpret_cast<LPARAM>(remote.at(kInfo)),
                        SMTO_NORMAL, 5000, &result);
    text = remote.ReadText(kText, kChars);
    // The records above have the layout of this probe's own bitness: a 32-bit probe asking
    // the 64-bit shell reads nothing through them. WM_GETTEXT, which the system carries
    // between processes of either kind, answers with the tip's shown text.
    if (text.empty()) {
        wchar_t shown[kChars] = {};
        if (SendMessageTimeoutW(tip, WM_GETTEXT, kChars, reinterpret_cast<LPARAM>(shown),
                                SMTO_NORMAL, 5000, &result) != 0) {
            text = shown;
        }
    }
    TTGETTITLE get = {};
    get.dwSize = sizeof(get);
    get.cch = kChars;
    get.pszTitle = reinterpret_cast<wchar_t*>(remote.at(kTitle));
    remote.Write(kTitleInfo, &get, sizeof(get));
    SendMessageTimeoutW(tip, TTM_GETTITLE, 0, reinterpret_cast<LPARAM>(remote.at(kTitleInfo)),
                        SMTO_NORMAL, 5000, &result);
    title = remote.ReadText(kTitle, kChars);
    return true;
}

int Balloons(DWORD waitMs) {
    std::vector<HWND> shown;
    WaitFor(waitMs, [&] {
        shown.clear();
        for (HWND tip : TopLevel(TOOLTIPS_CLASSW)) {
            if (IsWindowVisible(tip)) shown.push_back(tip);
        }
        return !shown.empty();
    });
    for (HWND tip : shown) {
        std::wstring title, text;
        if (!BalloonTexts(tip, title, text)) continue;
        Print(L"title=" + title + L"\ttext=" + text);
    }
    return shown.empty() ? 1 : 0;
}

int Menu(DWORD waitMs) {
    HWND menuWindow = nullptr;
    WaitFor(waitMs, [&] {
        menuWindow = nullptr;
        for (HWND window : TopLevel(L"#32768")) {
            if (IsWindowVisible(window)) menuWindow = window;
        }
        return menuWindow != nullptr;
    });
    if (menuWindow == nullptr) return 1;
    RECT rect = {};
    GetWindowRect(menuWindow, &rect);
    wchar_t line[96];
    std::swprintf(line, 96, L"rect=%ld %ld %ld %ld", rect.left, rect.top, rect.right, rect.bottom);
    Print(line);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, MN_GETHMENU, 0, 0));
    int count = menu != nullptr ? GetMenuItemCount(menu) : -1;
    std::swprintf(line, 96, L"count=%d", count);
    Print(line);
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        std::swprintf(line, 96, L"item=%u\t", GetMenuItemID(menu, i));
        Print(line + std::wstring(text));
    }
    return 0;
}

int HotkeyTry(UINT modifiers, UINT key) {
    if (!RegisterHotKey(nullptr, 1, modifiers, key)) return 1;
    UnregisterHotKey(nullptr, 1);
    return 0;
}

int HotkeyHold(UINT modifiers, UINT key) {
    bool held = RegisterHotKey(nullptr, 1, modifiers, key) != 0;
    Print(held ? L"held" : L"taken");
    char byte;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read != 0) {
    }
    if (held) UnregisterHotKey(nullptr, 1);
    return held ? 0 : 1;
}

int RegGet(const wchar_t* key, const wchar_t* name) {
    wchar_t data[4096] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_CURRENT_USER, key, name, RRF_RT_REG_SZ, nullptr, data, &size) !=
        ERROR_SUCCESS) {
        return 1;
    }
    Print(data);
    return 0;
}

int RegSet(const wchar_t* key, const wchar_t* name, const wchar_t* data) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle,
                        nullptr) != ERROR_SUCCESS) {
        return 1;
    }
    LONG status = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data),
                                 static_cast<DWORD>((std::wcslen(data) + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return status == ERROR_SUCCESS ? 0 : 1;
}

int RegExists(const wchar_t* key) {
    HKEY handle = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return 1;
    RegCloseKey(handle);
    return 0;
}

int RegDel(const wchar_t* key) {
    LONG status = RegDeleteTreeW(HKEY_CURRENT_USER, key);
    if (status == ERROR_SUCCESS) status = RegDeleteKeyW(HKEY_CURRENT_USER, key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND ? 0 : 1;
}

// Another program may hold the clipboard for a moment; retry briefly.
bool OpenClipboardRetrying() {
    return WaitFor(2000, [] { return OpenClipboard(nullptr) != 0; });
}

HGLOBAL CopyToGlobal(const void* data, SIZE_T size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (memory == nullptr) return nullptr;
    std::memcpy(GlobalLock(memory), data, size);
    GlobalUnlock(memory);
    return memory;
}

int ClipSet(const wchar_t* text, const wchar_t* format, const wchar_t* data) {
    if (!OpenClipboardRetrying()) return 1;
    EmptyClipboard();
    bool ok = SetClipboardData(CF_UNICODETEXT,
                               CopyToGlobal(text, (std::wcslen(text) + 1) * sizeof(wchar_t)));
    if (format != nullptr) {
        std::string bytes = Utf8(data);
        ok = ok && SetClipboardData(RegisterClipboardFormatW(format),
                                    CopyToGlobal(bytes.data(), bytes.size()));
    }
    CloseClipboard();
    return ok ? 0 : 1;
}

std::wstring FromUtf8(const char* bytes, int size) {
    int chars = MultiByteToWideChar(CP_UTF8, 0, bytes, size, nullptr, 0);
    std::wstring out(static_cast<size_t>(chars), L'\0');
    if (chars > 0) MultiByteToWideChar(CP_UTF8, 0, bytes, size, &out[0], chars);
    return out;
}

int ClipGet(const wchar_t* format) {
    if (!OpenClipboardRetrying()) return 1;
    HANDLE text = GetClipboardData(CF_UNICODETEXT);
    if (text != nullptr) {
        Print(L"text=" + std::wstring(static_cast<const wchar_t*>(GlobalLock(text))));
        GlobalUnlock(text);
    } else {
        Print(L"text=<none>");
    }
    if (format != nullptr) {
        HANDLE data = GetClipboardData(RegisterClipboardFormatW(format));
        if (data != nullptr) {
            std::wstring value = FromUtf8(static_cast<const char*>(GlobalLock(data)),
                                          static_cast<int>(GlobalSize(data)));
            GlobalUnlock(data);
            Print(std::wstring(format) + L"=" + value);
        } else {
            Print(std::wstring(format) + L"=<none>");
        }
    }
    int markers = 0;
    for (const wchar_t* name : {L"ExcludeClipboardContentFromMonitorProcessing",
                                L"CanIncludeInClipboardHistory", L"CanUploadToCloudClipboard"}) {
        if (IsClipboardFormatAvailable(RegisterClipboardFormatW(name))) ++markers;
    }
    wchar_t line[32];
    std::swprintf(line, 32, L"formats=%d", CountClipboardFormats() - markers);
    Print(line);
    std::swprintf(line, 32, L"markers=%d", markers);
    Print(line);
    std::swprintf(line, 32, L"seq=%lu", GetClipboardSequenceNumber());
    Print(line);
    CloseClipboard();
    return 0;
}

// Wine's X11 clipboard bridge runs in the desktop process. When it starts, it takes in the
// X selection and empties the clipboard, inside the creation of its window; a message sent
// to that window is answered only once the creation is over.
int ClipBridge(DWORD waitMs) {
    return WaitFor(waitMs,
                   [] {
                       HWND bridge = FindWindowExW(HWND_MESSAGE, nullptr,
                                                   L"__wine_clipboard_manager", nullptr);
                       DWORD_PTR result = 0;
                       return bridge != nullptr &&
                              SendMessageTimeoutW(bridge, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 1000,
                                                  &result) != 0;
                   })
               ? 0
               : 1;
}

int GuiResources(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
    if (process == nullptr) return 1;
    wchar_t line[64];
    std::swprintf(line, 64, L"gdi=%lu user=%lu", GetGuiResources(process, GR_GDIOBJECTS),
                  GetGuiResources(process, GR_USEROBJECTS));
    CloseHandle(process);
    Print(line);
    return 0;
}

int HoldWindow(const wchar_t* cls, const wchar_t* title) {
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = &DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = cls;
    RegisterClassExW(&windowClass);
    HWND window = CreateWindowExW(0, cls, title, WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) return 1;
    Print(L"ready");
    char byte;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read != 0) {
    }
    DestroyWindow(window);
    return 0;
}

std::vector<std::wstring> g_injected;

LRESULT CALLBACK NoteInjected(int code, WPARAM wParam, LPARAM lParam) {
    const KBDLLHOOKSTRUCT* key = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
    if (code == HC_ACTION && (key->flags & LLKHF_INJECTED)) {
        wchar_t line[48];
        std::swprintf(line, 48, L"injected %02lX %ls", key->vkCode,
                      (key->flags & LLKHF_UP) ? L"up" : L"down");
        g_injected.push_back(line);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

DWORD WINAPI QuitWhenStdinCloses(void* thread) {
    char byte;
    DWORD read = 0;
    while (ReadFile(GetStdHandle(STD_INPUT_HANDLE), &byte, 1, &read, nullptr) && read != 0) {
    }
    PostThreadMessageW(static_cast<DWORD>(reinterpret_cast<UINT_PTR>(thread)), WM_QUIT, 0, 0);
    return 0;
}

int WatchKeys() {
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, NoteInjected, GetModuleHandleW(nullptr), 0);
    if (hook == nullptr) return 1;
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // this thread's queue exists from here
    void* self = reinterpret_cast<void*>(static_cast<UINT_PTR>(GetCurrentThreadId()));
    HANDLE waiter = CreateThread(nullptr, 0, QuitWhenStdinCloses, self, 0, nullptr);
    Print(L"ready");
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    UnhookWindowsHookEx(hook);
    if (waiter) CloseHandle(waiter);
    for (const std::wstring& line : g_injected) Print(line);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    std::wstring command = argv[1];
    int n = argc - 2;
    wchar_t** a = argv + 2;
    auto wait = [&](int index, DWORD fallback) {
        return n > index ? static_cast<DWORD>(Number(a[index])) : fallback;
    };
    if (command == L"find" && n >= 2) return Find(a[0], a[1], wait(2, 0));
    if (command == L"gone" && n >= 3) {
        return WaitFor(wait(2, 0),
                       [&] { return FindWindowW(OrNull(a[0]), OrNull(a[1])) == nullptr; })
                   ? 0
                   : 1;
    }
    if (command == L"list") return List(n >= 1 ? a[0] : nullptr);
    if (command == L"msgbox" && n >= 1) return MessageBoxInfo(a[0], wait(1, 0));
    if (command == L"click-ok" && n >= 1) return ClickOk(a[0]);
    if (command == L"send" && n >= 5) return Send(a[0], a[1], a + 2, false);
    if (command == L"post" && n >= 5) return Send(a[0], a[1], a + 2, true);
    if (command == L"broadcast" && n >= 1) return Broadcast(a[0]);
    if (command == L"icon" && n >= 4) return Icon(a[0], a[1], a[2], a[3]);
    if (command == L"balloons") return Balloons(wait(0, 0));
    if (command == L"menu") return Menu(wait(0, 0));
    if (command == L"hotkey-try" && n >= 2) {
        return HotkeyTry(static_cast<UINT>(Number(a[0])), static_cast<UINT>(Number(a[1])));
    }
    if (command == L"hotkey-hold" && n >= 2) {
        return HotkeyHold(static_cast<UINT>(Number(a[0])), static_cast<UINT>(Number(a[1])));
    }
    if (command == L"reg-get" && n >= 2) return RegGet(a[0], a[1]);
    if (command == L"reg-set" && n >= 3) return RegSet(a[0], a[1], a[2]);
    if (command == L"reg-del" && n >= 1) return RegDel(a[0]);
    if (command == L"reg-exists" && n >= 1) return RegExists(a[0]);
    if (command == L"clip-set" && n >= 1) {
        return ClipSet(a[0], n >= 3 ? a[1] : nullptr, n >= 3 ? a[2] : nullptr);
    }
    if (command == L"clip-get") return ClipGet(n >= 1 ? a[0] : nullptr);
    if (command == L"clip-bridge" && n >= 1) return ClipBridge(static_cast<DWORD>(Number(a[0])));
    if (command == L"hold-window" && n >= 2) return HoldWindow(a[0], a[1]);
    if (command == L"watch-keys") return WatchKeys();
    if (command == L"gui-resources" && n >= 1)
        return GuiResources(static_cast<DWORD>(Number(a[0])));
    return 2;
}

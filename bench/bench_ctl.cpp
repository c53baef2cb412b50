// Drives and measures a running tray program from inside the same Wine session:
// start-up time to a present tray icon, memory after start, GUI object counts, and the
// options window opened and closed once. Prints plain "key value" lines for scripts.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <cwctype>
#include <string>
#include <vector>

#include "bench/bench_clock.h"

namespace {

const UINT kOptionsCommand = 32775;

// The icon counts as present once the shell accepts a modification of it: that is the
// moment a user could see and click it.
bool IconPresent(HWND hwnd) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = hwnd;
    data.uID = 0;
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

HWND WaitForIcon(const wchar_t* cls, const wchar_t* title, DWORD timeoutMs) {
    double end = NowMs() + timeoutMs;
    while (NowMs() < end) {
        HWND hwnd = FindWindowW(cls, title);
        if (hwnd && IconPresent(hwnd)) return hwnd;
        Sleep(1);
    }
    return nullptr;
}

bool WaitForExit(HANDLE process, HWND hwnd) {
    PostMessageW(hwnd, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process, 10000) == WAIT_OBJECT_0) return true;
    TerminateProcess(process, 99);
    WaitForSingleObject(process, 5000);
    return false;
}

struct Program {
    std::wstring label, exe, cls, title;
};

// startup RUNS SETTLE_MS {LABEL EXE CLASS TITLE}...: starts the programs in turn, RUNS
// rounds, and reports for each start the milliseconds from CreateProcess to a present
// icon and, SETTLE_MS later, the working set (Wine reports no private bytes of another
// process).
int Startup(int argc, wchar_t** argv) {
    if (argc < 8 || (argc - 4) % 4 != 0) return 2;
    int runs = _wtoi(argv[2]);
    DWORD settle = static_cast<DWORD>(_wtoi(argv[3]));
    std::vector<Program> programs;
    for (int i = 4; i + 3 < argc; i += 4) {
        programs.push_back({argv[i], argv[i + 1], argv[i + 2], argv[i + 3]});
    }
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (const Program& p : programs) {
            if (FindWindowW(p.cls.c_str(), p.title.c_str())) {
                fwprintf(stderr, L"%ls is running already\n", p.label.c_str());
                return 1;
            }
            std::wstring cmd = L"\"" + p.exe + L"\"";
            STARTUPINFOW si = {};
            si.cb = sizeof(si);
            PROCESS_INFORMATION pi = {};
            double t0 = NowMs();
            if (!CreateProcessW(p.exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr,
                                nullptr, &si, &pi)) {
                fwprintf(stderr, L"cannot start %ls (%lu)\n", p.exe.c_str(), GetLastError());
                return 1;
            }
            HWND hwnd = WaitForIcon(p.cls.c_str(), p.title.c_str(), 30000);
            double t1 = NowMs();
            if (!hwnd) {
                fwprintf(stderr, L"%ls: no tray icon within 30 s\n", p.label.c_str());
                ++failures;
                TerminateProcess(pi.hProcess, 99);
            } else {
                wprintf(L"startup_ms %ls %.2f\n", p.label.c_str(), t1 - t0);
                Sleep(settle);
                PROCESS_MEMORY_COUNTERS_EX mem = {};
                mem.cb = sizeof(mem);
                if (GetProcessMemoryInfo(pi.hProcess,
                                         reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                                         sizeof(mem))) {
                    wprintf(L"working_set_kb %ls %llu\n", p.label.c_str(),
                            static_cast<unsigned long long>(mem.WorkingSetSize / 1024));
                }
                if (!WaitForExit(pi.hProcess, hwnd)) {
                    fwprintf(stderr, L"%ls did not quit on WM_CLOSE\n", p.label.c_str());
                    ++failures;
                }
            }
            fflush(stdout);
            CloseHandle(pi.hThread);
            CloseHandle(pi.hProcess);
        }
    }
    return failures ? 1 : 0;
}

struct TopLevelSearch {
    DWORD pid;
    const wchar_t* cls;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK FindVisibleOfProcess(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<TopLevelSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != search->pid || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[64] = L"", title[64] = L"";
    GetClassNameW(hwnd, cls, 64);
    GetWindowTextW(hwnd, title, 64);
    if (wcscmp(cls, search->cls) == 0 && wcscmp(title, search->title) == 0) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

HWND FindVisibleDialog(DWORD pid, const wchar_t* title) {
    TopLevelSearch search = {pid, L"#32770", title, nullptr};
    EnumWindows(FindVisibleOfProcess, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// options-cycle CLASS TITLE: opens the options window through the tray menu's command,
// waits until it is visible, closes it with its close box message and waits until hidden.
int OptionsCycle(const wchar_t* cls, const wchar_t* title) {
    HWND main = FindWindowW(cls, title);
    if (!main) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    PostMessageW(main, WM_COMMAND, kOptionsCommand, 0);
    HWND dialog = nullptr;
    for (int i = 0; i < 500 && !dialog; ++i) {
        Sleep(10);
        dialog = FindVisibleDialog(pid, title);
    }
    if (!dialog) {
        fwprintf(stderr, L"options window did not appear\n");
        return 1;
    }
    PostMessageW(dialog, WM_CLOSE, 0, 0);
    for (int i = 0; i < 500; ++i) {
        Sleep(10);
        if (!IsWindowVisible(dialog)) {
            wprintf(L"options shown_and_hidden\n");
            return 0;
        }
    }
    fwprintf(stderr, L"options window did not hide\n");
    return 1;
}

struct WindowCount {
    DWORD pid;
    int count;
};

BOOL CALLBACK CountChild(HWND, LPARAM param) {
    ++reinterpret_cast<WindowCount*>(param)->count;
    return TRUE;
}

BOOL CALLBACK CountOfProcess(HWND hwnd, LPARAM param) {
    auto* counter = reinterpret_cast<WindowCount*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == counter->pid) {
        ++counter->count;
        EnumChildWindows(hwnd, CountChild, param);
    }
    return TRUE;
}

// Wine does not implement GetGuiResources, but keeps each process's GDI handles in a
// table that the process's PEB points to (GdiSharedHandleTable, as on Windows): an entry
// in use has a non-zero type byte. Returns -1 where the table cannot be read.
long CountGdiHandles(HANDLE process) {
    using QueryFn = LONG(WINAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    auto query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info = {};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof(info), nullptr) != 0) {
        return -1;
    }
    // Offset of GdiSharedHandleTable in the PEB of a process of our own bitness.
    const size_t offset = sizeof(void*) == 8 ? 0xF8 : 0x94;
    void* table = nullptr;
    if (!ReadProcessMemory(process,
                           static_cast<char*>(static_cast<void*>(info.PebBaseAddress)) + offset,
                           &table, sizeof(table), nullptr) ||
        !table) {
        return -1;
    }
    const size_t kEntrySize = 24, kTypeOffset = 14, kMaxEntries = 0x10000;
    MEMORY_BASIC_INFORMATION region = {};
    if (!VirtualQueryEx(process, table, &region, sizeof(region))) return -1;
    size_t available =
        static_cast<char*>(region.BaseAddress) + region.RegionSize - static_cast<char*>(table);
    size_t entries = std::min(kMaxEntries, available / kEntrySize);
    std::vector<unsigned char> bytes(entries * kEntrySize);
    SIZE_T read = 0;
    if (!ReadProcessMemory(process, table, bytes.data(), bytes.size(), &read)) return -1;
    long used = 0;
    for (size_t i = 0; i + kEntrySize <= read; i += kEntrySize) {
        if (bytes[i + kTypeOffset] != 0) ++used;
    }
    return used;
}

// gui-resources CLASS TITLE: the program's GDI and USER object counts, and the number of
// its windows (top-level and children) as a cross-check where the counts are not kept.
int GuiResources(const wchar_t* cls, const wchar_t* title) {
    HWND main = FindWindowW(cls, title);
    if (!main) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return 1;
    SetLastError(0);
    DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    DWORD error = GetLastError();
    long gdiTable = CountGdiHandles(process);
    CloseHandle(process);
    WindowCount counter = {pid, 0};
    EnumWindows(CountOfProcess, reinterpret_cast<LPARAM>(&counter));
    // A zero count with ERROR_CALL_NOT_IMPLEMENTED means the system does not keep them.
    wprintf(L"gdi_objects %lu\nuser_objects %lu\ngui_resources_error %lu\n", gdi, user, error);
    wprintf(L"gdi_table_entries %ld\nwindows %d\n", gdiTable, counter.count);
    return 0;
}

// gdi-selftest: the table count must see objects come and go, or the soak's GDI figure
// would prove nothing.
int GdiSelfTest() {
    long before = CountGdiHandles(GetCurrentProcess());
    HBRUSH brushes[10];
    for (HBRUSH& brush : brushes) brush = CreateSolidBrush(RGB(1, 2, 3));
    long during = CountGdiHandles(GetCurrentProcess());
    for (HBRUSH brush : brushes) DeleteObject(brush);
    long after = CountGdiHandles(GetCurrentProcess());
    wprintf(L"gdi_selftest %ld %ld %ld\n", before, during, after);
    return before >= 0 && during == before + 10 && after == before ? 0 : 1;
}

// The clipboard, opened with a short retry: Wine's X11 bridge and other listeners hold
// it for a moment after each change.
bool OpenClipboardRetrying() {
    for (int i = 0; i < 100; ++i) {
        if (OpenClipboard(nullptr)) return true;
        Sleep(10);
    }
    return false;
}

UINT FormatFromName(const wchar_t* name) {
    if (iswdigit(name[0])) return static_cast<UINT>(_wtoi(name));
    if (wcscmp(name, L"CF_UNICODETEXT") == 0) return CF_UNICODETEXT;
    if (wcscmp(name, L"CF_DIB") == 0) return CF_DIB;
    return RegisterClipboardFormatW(name);
}

std::wstring FormatLabel(UINT format) {
    wchar_t name[128] = L"";
    if (format >= 0xC000 && GetClipboardFormatNameW(format, name, 128) > 0) return name;
    return std::to_wstring(format);
}

// clip-put {FORMAT HEX}...: empties the clipboard and puts these blocks on it, bytes
// given in hexadecimal ("-" for none). FORMAT is a number, CF_UNICODETEXT, CF_DIB or the
// name of a registered format.
int ClipPut(int argc, wchar_t** argv) {
    if (argc < 4 || argc % 2 != 0) return 2;
    if (!OpenClipboardRetrying()) return 1;
    EmptyClipboard();
    bool ok = true;
    for (int i = 2; i + 1 < argc; i += 2) {
        std::wstring hex = wcscmp(argv[i + 1], L"-") == 0 ? L"" : argv[i + 1];
        size_t size = hex.size() / 2;
        HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size ? size : 1);
        unsigned char* bytes = block ? static_cast<unsigned char*>(GlobalLock(block)) : nullptr;
        if (!bytes) {
            ok = false;
            break;
        }
        for (size_t k = 0; k < size; ++k) {
            bytes[k] =
                static_cast<unsigned char>(wcstoul(hex.substr(2 * k, 2).c_str(), nullptr, 16));
        }
        GlobalUnlock(block);
        if (!SetClipboardData(FormatFromName(argv[i]), block)) {
            GlobalFree(block);
            ok = false;
        }
    }
    CloseClipboard();
    return ok ? 0 : 1;
}

// clip-dump: one line per format in enumeration order: its number (or registered name),
// the block's size and an FNV-1a hash of its bytes; GDI formats give their object type.
int ClipDump() {
    if (!OpenClipboardRetrying()) return 1;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        HANDLE handle = GetClipboardData(format);
        std::wstring label = FormatLabel(format);
        if (!handle) {
            wprintf(L"%ls none\n", label.c_str());
            continue;
        }
        if (format == CF_BITMAP || format == CF_PALETTE || format == CF_ENHMETAFILE) {
            BITMAP bitmap = {};
            if (format == CF_BITMAP && GetObjectW(handle, sizeof(bitmap), &bitmap)) {
                wprintf(L"%ls bitmap %ldx%ld %u\n", label.c_str(), bitmap.bmWidth, bitmap.bmHeight,
                        bitmap.bmBitsPixel);
            } else {
                wprintf(L"%ls object %lu\n", label.c_str(), GetObjectType(handle));
            }
            continue;
        }
        SIZE_T size = GlobalSize(handle);
        const unsigned char* bytes = static_cast<const unsigned char*>(GlobalLock(handle));
        unsigned long long hash = 1469598103934665603ull;
        for (SIZE_T i = 0; bytes && i < size; ++i) {
            hash = (hash ^ bytes[i]) * 1099511628211ull;
        }
        if (bytes) GlobalUnlock(handle);
        wprintf(L"%ls size=%llu fnv=%016llx\n", label.c_str(),
                static_cast<unsigned long long>(size), hash);
    }
    CloseClipboard();
    return 0;
}

// wait-icon CLASS TITLE TIMEOUT_MS
int WaitIcon(const wchar_t* cls, const wchar_t* title, DWORD timeout) {
    return WaitForIcon(cls, title, timeout) ? 0 : 1;
}

// quit CLASS TITLE: WM_CLOSE to the main window and wait for the process to end; prints
// its exit code.
// A hotkey press as the system posts it, for a program whose front window copies nothing:
// the press gives up waiting and keeps the clipboard's snapshot for a late copy.
int Press(const wchar_t* cls, const wchar_t* title) {
    HWND main = FindWindowW(cls, title);
    if (!main) return 1;
    const bool posted =
        PostMessageW(main, WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL | MOD_WIN, 'O')) != FALSE;
    return posted ? 0 : 1;
}

int Quit(const wchar_t* cls, const wchar_t* title) {
    HWND main = FindWindowW(cls, title);
    if (!main) return 1;
    DWORD pid = 0;
    GetWindowThreadProcessId(main, &pid);
    HANDLE process =
        OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE, FALSE, pid);
    if (!process) return 1;
    bool quit = WaitForExit(process, main);
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    CloseHandle(process);
    wprintf(L"exit_code %lu\n", code);
    return quit ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2) {
        std::wstring cmd = argv[1];
        if (cmd == L"startup") return Startup(argc, argv);
        if (cmd == L"options-cycle" && argc == 4) return OptionsCycle(argv[2], argv[3]);
        if (cmd == L"gui-resources" && argc == 4) return GuiResources(argv[2], argv[3]);
        if (cmd == L"wait-icon" && argc == 5) {
            return WaitIcon(argv[2], argv[3], static_cast<DWORD>(_wtoi(argv[4])));
        }
        if (cmd == L"gdi-selftest") return GdiSelfTest();
        if (cmd == L"clip-put") return ClipPut(argc, argv);
        if (cmd == L"clip-dump") return ClipDump();
        if (cmd == L"quit" && argc == 4) return Quit(argv[2], argv[3]);
        if (cmd == L"press" && argc == 4) return Press(argv[2], argv[3]);
    }
    fwprintf(stderr,
             L"usage: bench_ctl startup RUNS SETTLE_MS {LABEL EXE CLASS TITLE}...\n"
             L"       bench_ctl options-cycle|gui-resources|quit|press CLASS TITLE\n"
             L"       bench_ctl wait-icon CLASS TITLE TIMEOUT_MS\n"
             L"       bench_ctl gdi-selftest | clip-dump | clip-put {FORMAT HEX}...\n");
    return 2;
}

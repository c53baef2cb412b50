// e2e_source: a program whose selection is no edit control's, for the end-to-end tests of
// the capture. It shows a text it treats as selected, copies it on CTRL+C and CTRL+INSERT
// (as browsers and most editors do), and appends every key it receives to a log file.
//
//   e2e_source LOG TITLE TEXT [--class NAME] [--unselected] [--delay MS] [--folder DIR]
//                             [--child-in DIR]
//
// --class registers the window under NAME (a terminal's class, to stand in for one);
// --unselected copies nothing, as a window with no selection; --delay copies MS
// milliseconds after the key; --folder works in DIR, as a shell does; --child-in starts a
// process of its own that works in DIR and lives as long as the window (a shell inside a
// terminal). Log lines: "key XX" (virtual key, hex, with "+ctrl" when
// CTRL was down) and "copied".
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace {

std::wstring g_log;
std::wstring g_text;
bool g_selected = true;
UINT g_delayMs = 0;
constexpr UINT_PTR kCopyTimer = 1;

void Log(const char* line) {
    HANDLE file = CreateFileW(g_log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, static_cast<DWORD>(std::strlen(line)), &written, nullptr);
    WriteFile(file, "\n", 1, &written, nullptr);
    CloseHandle(file);
}

void Copy(HWND window) {
    if (!OpenClipboard(window)) return;
    EmptyClipboard();
    const size_t bytes = (g_text.size() + 1) * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
    std::memcpy(GlobalLock(block), g_text.c_str(), bytes);
    GlobalUnlock(block);
    SetClipboardData(CF_UNICODETEXT, block);
    CloseClipboard();
    Log("copied");
}

LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN: {
            const bool control = GetKeyState(VK_CONTROL) < 0;
            char line[48];
            std::snprintf(line, sizeof(line), "key %02X%s", static_cast<unsigned>(wParam),
                          control ? "+ctrl" : "");
            Log(line);
            if (control && g_selected && (wParam == 'C' || wParam == VK_INSERT)) {
                if (g_delayMs == 0) {
                    Copy(window);
                } else {
                    SetTimer(window, kCopyTimer, g_delayMs, nullptr);
                }
            }
            return 0;
        }
        case WM_TIMER:
            KillTimer(window, kCopyTimer);
            Copy(window);
            return 0;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            if (g_selected) {
                SetBkColor(dc, GetSysColor(COLOR_HIGHLIGHT));
                SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
            }
            DrawTextW(dc, g_text.c_str(), -1, &area, DT_LEFT | DT_TOP | DT_NOPREFIX);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

// Starts this program again, working in `folder`, to wait for this process's end.
void StartChildIn(const wchar_t* folder) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" --idle " +
                        std::to_wstring(GetCurrentProcessId());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
}

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--idle") == 0) {
        HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(argv[2], nullptr, 10));
        if (parent != nullptr) WaitForSingleObject(parent, INFINITE);
        return 0;
    }
    if (argc < 4) return 2;
    g_log = argv[1];
    const wchar_t* title = argv[2];
    g_text = argv[3];
    const wchar_t* className = L"SelvaneE2ESource";
    for (int i = 4; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--class") == 0 && i + 1 < argc) {
            className = argv[++i];
        } else if (std::wcscmp(argv[i], L"--unselected") == 0) {
            g_selected = false;
        } else if (std::wcscmp(argv[i], L"--delay") == 0 && i + 1 < argc) {
            g_delayMs = static_cast<UINT>(std::wcstoul(argv[++i], nullptr, 10));
        } else if (std::wcscmp(argv[i], L"--folder") == 0 && i + 1 < argc) {
            if (!SetCurrentDirectoryW(argv[++i])) return 1;
        } else if (std::wcscmp(argv[i], L"--child-in") == 0 && i + 1 < argc) {
            StartChildIn(argv[++i]);
        }
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Proc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = className;
    if (!RegisterClassW(&windowClass)) return 1;
    HWND window = CreateWindowW(className, title, WS_OVERLAPPEDWINDOW, 40, 40, 600, 120, nullptr,
                                nullptr, windowClass.hInstance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    Log("ready");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

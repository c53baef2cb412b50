// Looks into Selvane's options window from another process for the end-to-end tests:
// `options_probe state` prints one "name=value" a line: the window, its tabs, which pages
// are visible, the Settings page's controls and the screen rectangles of what a test
// clicks. Exit code 1 when there is no options window.
// `options_probe box` prints the text of a message box titled "Selvane" (the options
// window has that class and title too) and `options_probe box-ok` dismisses it; exit
// code 1 when there is none.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

namespace {

void Print(const std::string& line) {
    std::printf("%s\n", line.c_str());
}

std::string Rect(HWND hwnd) {
    RECT rect = {};
    GetWindowRect(hwnd, &rect);
    char text[96];
    std::snprintf(text, sizeof(text), "%ld %ld %ld %ld", rect.left, rect.top, rect.right,
                  rect.bottom);
    return text;
}

std::string Hex(UINT_PTR value) {
    char text[32];
    std::snprintf(text, sizeof(text), "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

// The options window: a dialog titled "Selvane" holding the tab control 1005 (message
// boxes share class and title).
HWND FindOptions() {
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"#32770", L"Selvane")) != nullptr) {
        if (GetDlgItem(window, 1005) != nullptr) return window;
    }
    return nullptr;
}

// The page that holds control `id` (1011 Welcome, 1003 Settings, 1012 About).
HWND FindPage(HWND frame, int id) {
    for (HWND page = GetWindow(frame, GW_CHILD); page != nullptr;
         page = GetWindow(page, GW_HWNDNEXT)) {
        if (GetDlgItem(page, id) != nullptr) return page;
    }
    return nullptr;
}

HWND FindBox() {
    HWND box = nullptr;
    while ((box = FindWindowExW(nullptr, box, L"#32770", L"Selvane")) != nullptr) {
        if (IsWindowVisible(box) && GetDlgItem(box, 0xFFFF) != nullptr) return box;
    }
    return nullptr;
}

int Box(bool dismiss) {
    HWND box = FindBox();
    if (box == nullptr) return 1;
    if (dismiss) return PostMessageW(box, WM_COMMAND, IDOK, 0) ? 0 : 1;
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof(utf8), nullptr, nullptr);
    Print(std::string("text=") + utf8);
    Print("owner=" + Hex(reinterpret_cast<UINT_PTR>(GetWindow(box, GW_OWNER))));
    return 0;
}

int Checked(HWND page, int id) {
    return static_cast<int>(SendDlgItemMessageW(page, id, BM_GETCHECK, 0, 0));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "box") return Box(false);
    if (argc >= 2 && std::string(argv[1]) == "box-ok") return Box(true);
    if (argc < 2 || std::string(argv[1]) != "state") return 2;
    HWND window = FindOptions();
    if (window == nullptr) return 1;
    HWND tabs = GetDlgItem(window, 1005);
    HWND frame = GetDlgItem(window, 1007);
    HWND welcome = FindPage(frame, 1011);
    HWND settings = FindPage(frame, 1003);
    HWND about = FindPage(frame, 1012);

    Print("window=" + Hex(reinterpret_cast<UINT_PTR>(window)));
    Print(std::string("visible=") + (IsWindowVisible(window) ? "1" : "0"));
    Print(std::string("enabled=") + (IsWindowEnabled(window) ? "1" : "0"));
    Print(std::string("foreground=") + (GetForegroundWindow() == window ? "1" : "0"));
    Print("rect=" + Rect(window));
    // The control with the keyboard focus in the window's thread, and whether it is seen.
    GUITHREADINFO thread = {};
    thread.cbSize = sizeof(thread);
    GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &thread);
    Print("focus=" + std::to_string(thread.hwndFocus ? GetDlgCtrlID(thread.hwndFocus) : 0));
    Print(std::string("focus.visible=") + (IsWindowVisible(thread.hwndFocus) ? "1" : "0"));
    Print("tabs.count=" + std::to_string(SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0)));
    Print("tabs.selected=" + std::to_string(SendMessageW(tabs, TCM_GETCURSEL, 0, 0)));
    Print("tabs.rect=" + Rect(tabs));
    std::string pages;
    if (welcome != nullptr && IsWindowVisible(welcome)) pages += "W";
    if (settings != nullptr && IsWindowVisible(settings)) pages += "S";
    if (about != nullptr && IsWindowVisible(about)) pages += "A";
    Print("pages=" + pages);
    if (settings != nullptr) {
        Print("hotkey=" +
              Hex(static_cast<UINT_PTR>(SendDlgItemMessageW(settings, 1003, HKM_GETHOTKEY, 0, 0))));
        Print("hotkey.rect=" + Rect(GetDlgItem(settings, 1003)));
        Print("win=" + std::to_string(Checked(settings, 1002)));
        Print("win.rect=" + Rect(GetDlgItem(settings, 1002)));
        Print(std::string("apply=") + (IsWindowEnabled(GetDlgItem(settings, 1004)) ? "1" : "0"));
        Print("apply.rect=" + Rect(GetDlgItem(settings, 1004)));
        Print("balloon.shortcut=" + std::to_string(Checked(settings, 1008)));
        Print("balloon.shortcut.rect=" + Rect(GetDlgItem(settings, 1008)));
        Print("balloon.close=" + std::to_string(Checked(settings, 1010)));
        Print("balloon.close.rect=" + Rect(GetDlgItem(settings, 1010)));
    }
    if (about != nullptr) {
        HWND browse = GetDlgItem(about, 1012);
        Print(std::string("browse=") + (IsWindowVisible(browse) ? "1" : "0"));
        Print("browse.rect=" + Rect(browse));
    }
    return 0;
}

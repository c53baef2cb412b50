// Another process on the clipboard, for the capture tests:
//   clipboard_holder hold <ready event> <milliseconds>
//     opens the clipboard, signals, keeps it open that long, closes it;
//   clipboard_holder delayed <ready event> <quit event>
//     owns one rendered and one delayed-rendered format and CF_OWNERDISPLAY, signals, and
//     never renders the delayed one; on the quit event it empties the clipboard and exits.
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

const char kRenderedFormat[] = "SelvaneTestRendered";
const char kDelayedFormat[] = "SelvaneTestDelayed";

bool OpenClipboardPatiently(HWND owner) {
    // Wine's clipboard manager holds the clipboard for a moment after changes.
    for (int i = 0; i < 200; ++i) {
        if (OpenClipboard(owner)) return true;
        Sleep(10);
    }
    return false;
}

bool Signal(const char* name) {
    HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
    if (event == nullptr) return false;
    SetEvent(event);
    CloseHandle(event);
    return true;
}

int Hold(const char* ready, DWORD milliseconds) {
    if (!OpenClipboardPatiently(nullptr)) return 2;
    if (!Signal(ready)) return 3;
    Sleep(milliseconds);
    CloseClipboard();
    return 0;
}

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Asked to render: decline, which leaves the format without data.
    if (message == WM_RENDERFORMAT || message == WM_RENDERALLFORMATS) return 0;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

int Delayed(const char* ready, const char* quit) {
    HANDLE quitEvent = OpenEventA(SYNCHRONIZE, FALSE, quit);
    if (quitEvent == nullptr) return 3;
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = OwnerProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = "SelvaneTestOwner";
    RegisterClassA(&windowClass);
    HWND owner = CreateWindowA("SelvaneTestOwner", "owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                               nullptr, windowClass.hInstance, nullptr);
    if (owner == nullptr) return 4;

    if (!OpenClipboardPatiently(owner)) return 2;
    EmptyClipboard();
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
    std::memcpy(GlobalLock(block), "abc", 4);
    GlobalUnlock(block);
    SetClipboardData(RegisterClipboardFormatA(kRenderedFormat), block);
    SetClipboardData(RegisterClipboardFormatA(kDelayedFormat), nullptr);
    SetClipboardData(CF_OWNERDISPLAY, nullptr);
    CloseClipboard();
    if (!Signal(ready)) return 3;

    for (;;) {
        DWORD woke = MsgWaitForMultipleObjects(1, &quitEvent, FALSE, 30000, QS_ALLINPUT);
        if (woke != WAIT_OBJECT_0 + 1) break;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    }
    if (OpenClipboardPatiently(owner)) {
        EmptyClipboard();
        CloseClipboard();
    }
    DestroyWindow(owner);
    CloseHandle(quitEvent);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "hold") == 0) {
        return Hold(argv[2], static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)));
    }
    if (argc == 4 && std::strcmp(argv[1], "delayed") == 0) return Delayed(argv[2], argv[3]);
    return 1;
}

#include <windows.h>

#include "app/tray_window.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"

namespace {

// A selected relative name ("drivers", "logoff.exe") is looked up in the current folder.
// Started at sign-in that is the system folder; the user's own folder is the one such a
// name should mean, whoever started us. On failure the folder stays as it was.
void UseProfileFolder() {
    wchar_t profile[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        TraceLastError();
        return;
    }
    if (!SetCurrentDirectoryW(profile)) TraceLastError();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    HACCEL accelerators = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

    CTrayWindow tray;

    // Class and title must both match: a folder window named "Selvane" is no copy.
    if (FindWindowW(GetWstring(IDS_APP_TITLE), GetWstring(IDS_APP_TITLE)) != nullptr) {
        MessageBoxW(GetDesktopWindow(), GetWstring(IDS_ALREADY_RUNNING), GetWstring(IDS_APP_TITLE),
                    MB_OK | MB_ICONWARNING);
        return kExitAlreadyRunning;
    }

    UseProfileFolder();
    if (!tray.Create()) return kExitNoMainWindow;

    MSG msg = {};
    BOOL got;
    while ((got = GetMessageW(&msg, nullptr, 0, 0)) != 0) {
        // Only an invalid window filter makes it fail; ours is null. Never spin on it.
        if (got == -1) return kExitNoMainWindow;
        // The message's own target: the accelerators serve the options window's controls.
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg) == 0 &&
            !tray.IsOptionsWindowMessage(&msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return static_cast<int>(msg.wParam);
}

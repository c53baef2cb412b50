#include <windows.h>

#include "app/tray_window.h"
#include "res/resource.h"
#include "res/strings.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, PWSTR, int) {
    HACCEL accelerators = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDR_ACCELERATORS));

    CTrayWindow tray;

    // Class and title must both match: a folder window named "Selvane" is no copy.
    if (FindWindowW(GetWstring(IDS_APP_TITLE), GetWstring(IDS_APP_TITLE)) != nullptr) {
        MessageBoxW(GetDesktopWindow(), GetWstring(IDS_ALREADY_RUNNING), GetWstring(IDS_APP_TITLE),
                    MB_OK | MB_ICONWARNING);
        return kExitAlreadyRunning;
    }

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

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/tray_window.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"

namespace {

// COM on the message-loop thread for the shell's verbs that COM handlers carry out, as
// ShellExecute asks: apartment-threaded, without OLE1 DDE. Released when the loop ends.
class CComApartment {
public:
    CComApartment() : m_result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED |
                                                           COINIT_DISABLE_OLE1DDE)) {
        if (FAILED(m_result)) {
            SetLastError(static_cast<DWORD>(m_result));
            TraceLastError();
        }
    }
    ~CComApartment() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    HRESULT m_result;
};

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

    CComApartment com;
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

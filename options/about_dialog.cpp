#include "options/about_dialog.h"

#include <string>

#include "res/resource.h"
#include "settings/settings.h"

INT_PTR CAboutDialog::DialogProc(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_SHOWWINDOW && wParam != FALSE) {
        // The page is shown when its tab is chosen; with Shift held at that moment the
        // hidden "Browse Registry" button appears and stays for the rest of the run.
        if (GetKeyState(VK_SHIFT) < 0) {
            if (HWND button = GetDlgItem(m_hWnd, IDC_BROWSE_REGISTRY)) {
                ShowWindow(button, SW_SHOW);
            }
        }
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_BROWSE_REGISTRY) {
        BrowseRegistry();
    }
    return 0;
}

void CAboutDialog::BrowseRegistry() {}

#include "options/base_window.h"

INT_PTR CALLBACK CBaseWindow::StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // The creation parameter is the object's address. The pointer-sized slot keeps it
        // whole on 64-bit builds too.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, lParam);
        if (lParam != 0) reinterpret_cast<CBaseWindow*>(lParam)->m_hWnd = hwnd;
    }
    // Messages before WM_INITDIALOG (WM_SETFONT, ...) find no object yet.
    auto* self = reinterpret_cast<CBaseWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self == nullptr) return FALSE;
    return self->DialogProc(message, wParam, lParam);
}

void CBaseWindow::Destroy() {
    if (m_hWnd == nullptr) return;
    DestroyWindow(m_hWnd);
    m_hWnd = nullptr;
}

bool CBaseWindow::IsChecked(int controlId) {
    HWND control = GetDlgItem(m_hWnd, controlId);
    if (control == nullptr) return false;
    // Exactly checked: an indeterminate box does not count.
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

#pragma once

#include <windows.h>

// Base of every dialog object: one static dialog procedure binds the window to its
// object at WM_INITDIALOG and forwards every later message to DialogProc.
class CBaseWindow {
public:
    static INT_PTR CALLBACK StaticDialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) = 0;

    void Destroy();
    bool IsChecked(int controlId);

    HWND m_hWnd = nullptr;

protected:
    CBaseWindow() = default;
    ~CBaseWindow() = default;  // never deleted through the base
};

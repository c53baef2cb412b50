#include "options/welcome_dialog.h"

#include "res/resource.h"

INT_PTR CWelcomeDialog::DialogProc(UINT message, WPARAM /*wParam*/, LPARAM /*lParam*/) {
    if (message != WM_INITDIALOG) return 0;
    // Size 0 by 0 keeps the bitmap's own size. The bitmap and the font live as long as the
    // page, which is as long as the program.
    HANDLE bitmap =
        LoadImageA(GetModuleHandleW(nullptr), MAKEINTRESOURCEA(IDB_WELCOME), IMAGE_BITMAP, 0, 0, 0);
    if (bitmap != nullptr) {
        SendDlgItemMessageW(m_hWnd, IDC_WELCOME_PICTURE, STM_SETIMAGE, IMAGE_BITMAP,
                            reinterpret_cast<LPARAM>(bitmap));
    }
    HFONT font =
        CreateFontW(20, 0, 0, 0, FW_DONTCARE, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                    CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Arial");
    SendDlgItemMessageW(m_hWnd, IDC_WELCOME_TITLE, WM_SETFONT, reinterpret_cast<WPARAM>(font),
                        TRUE);
    return 0;
}

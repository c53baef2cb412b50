#include "services/balloon.h"

void CopyBounded(wchar_t* field, size_t capacity, const wchar_t* source) {
    if (capacity == 0) return;
    size_t i = 0;
    if (source != nullptr) {
        for (; i + 1 < capacity && source[i] != L'\0'; ++i) field[i] = source[i];
    }
    field[i] = L'\0';
}

NOTIFYICONDATAW MakeBalloonRequest(const NOTIFYICONDATAW& icon, const wchar_t* text,
                                   const wchar_t* title, UINT timeout) {
    NOTIFYICONDATAW request = {};
    request.cbSize = sizeof(request);
    // The same identification as every other request for the icon.
    request.hWnd = icon.hWnd;
    request.uID = icon.uID;
    request.uFlags = NIF_INFO | (icon.uFlags & NIF_GUID);
    request.guidItem = icon.guidItem;
    // NIIF_USER without a balloon icon of our own: the shell shows the tray icon's.
    request.dwInfoFlags = NIIF_USER | NIIF_LARGE_ICON;
    CopyBounded(request.szInfoTitle, ARRAYSIZE(request.szInfoTitle), title);
    CopyBounded(request.szInfo, ARRAYSIZE(request.szInfo), text);
    request.uTimeout = timeout;
    request.hBalloonIcon = nullptr;
    return request;
}

void ShowBalloon(const NOTIFYICONDATAW& icon, const wchar_t* text, const wchar_t* title,
                 UINT timeout) {
    NOTIFYICONDATAW request = MakeBalloonRequest(icon, text, title, timeout);
    // Refused when there is no icon (never added, or lost with the shell): nothing to say.
    Shell_NotifyIconW(NIM_MODIFY, &request);
}

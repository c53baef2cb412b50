#pragma once

#include <windows.h>

// Shows a balloon with `title` and `text` on the tray icon identified by `iconGuid`.
// Both texts are cut to fit their fields. Does nothing visible when there is no icon.
void ShowBalloon(HWND hWnd, const GUID& iconGuid, const wchar_t* text, const wchar_t* title,
                 UINT timeout);

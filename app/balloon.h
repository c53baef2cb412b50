#pragma once

#include <windows.h>
#include <shellapi.h>

// Shows a balloon with `title` and `text` on the tray icon identified by `iconGuid`.
// Both texts are cut to fit their fields. Does nothing visible when there is no icon.
void ShowBalloon(HWND hWnd, const GUID& iconGuid, const wchar_t* text, const wchar_t* title,
                 UINT timeout);

// The modify request ShowBalloon sends, apart so that its bounds can be checked.
NOTIFYICONDATAW MakeBalloonRequest(HWND hWnd, const GUID& iconGuid, const wchar_t* text,
                                   const wchar_t* title, UINT timeout);

// Copies `source` into `field` of `capacity` characters, cutting it so that the
// terminating NUL always fits. A null source yields an empty field.
void CopyBounded(wchar_t* field, size_t capacity, const wchar_t* source);

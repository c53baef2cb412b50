#pragma once

#include <windows.h>
#include <shellapi.h>

// Shows a balloon with `title` and `text` on the tray icon that `icon` (the icon's own
// record) identifies: by its GUID, or by window and id when it was added that way.
// Both texts are cut to fit their fields. Does nothing visible when there is no icon.
void ShowBalloon(const NOTIFYICONDATAW& icon, const wchar_t* text, const wchar_t* title,
                 UINT timeout);

// The modify request ShowBalloon sends, apart so that its bounds can be checked.
NOTIFYICONDATAW MakeBalloonRequest(const NOTIFYICONDATAW& icon, const wchar_t* text,
                                   const wchar_t* title, UINT timeout);

// Copies `source` into `field` of `capacity` characters, cutting it so that the
// terminating NUL always fits. A null source yields an empty field.
void CopyBounded(wchar_t* field, size_t capacity, const wchar_t* source);

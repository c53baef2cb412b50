#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One saved clipboard format. Memory formats keep their bytes; formats whose handle is
// a GDI object (bitmaps, palettes, metafiles) keep an owned copy of that object.
struct ClipboardEntry;

// Every format of the clipboard, in enumeration order; owns what it holds.
class ClipboardSnapshot;

bool SaveClipboard(ClipboardSnapshot& snapshot);
void SendCopyKeystroke();
bool GetClipboardText(std::wstring& text);
bool RestoreClipboard(const ClipboardSnapshot& snapshot);

#pragma once

#include <windows.h>

#include <string>
#include <vector>

// One saved clipboard format. Memory formats keep their bytes; formats whose handle is
// a GDI object (bitmaps, palettes, metafiles) keep an owned copy of that object.
struct ClipboardEntry {
    ClipboardEntry() = default;
    explicit ClipboardEntry(UINT entryFormat) : format(entryFormat) {}
    ~ClipboardEntry();
    ClipboardEntry(ClipboardEntry&& other) noexcept;
    ClipboardEntry& operator=(ClipboardEntry&& other) noexcept;
    ClipboardEntry(const ClipboardEntry&) = delete;
    ClipboardEntry& operator=(const ClipboardEntry&) = delete;

    // Releases the owned object, if any.
    void Reset();

    UINT format = 0;
    // Bytes of the format's global memory block. For a metafile picture these are the
    // METAFILEPICT bytes, whose metafile handle is replaced when the entry is put back.
    std::vector<unsigned char> data;
    // Owned copy of the format's object: HBITMAP, HPALETTE or HENHMETAFILE, or the
    // HMETAFILE inside a metafile picture; null for plain memory formats.
    HANDLE object = nullptr;
};

// Every format of the clipboard, in enumeration order; owns what it holds.
class ClipboardSnapshot {
public:
    std::vector<ClipboardEntry> entries;
};

// Keeps the clipboard open for one scope and closes it on every way out.
class ClipboardGuard {
public:
    ClipboardGuard() = default;
    ~ClipboardGuard();
    ClipboardGuard(const ClipboardGuard&) = delete;
    ClipboardGuard& operator=(const ClipboardGuard&) = delete;

    // Opens the clipboard with the desktop window as owner. Clipboard monitors hold the
    // clipboard for a moment after every change, so a failed open is retried for a short
    // while; the last error is traced once when the final try fails.
    bool Open();
    bool IsOpen() const { return m_open; }

private:
    bool m_open = false;
};

// How long ClipboardGuard::Open keeps trying, and how long SendCopyKeystroke waits for the
// user to let go of the modifier keys.
constexpr DWORD kClipboardOpenRetryMs = 150;
constexpr DWORD kClipboardOpenRetryStepMs = 10;
constexpr DWORD kModifierReleaseWaitMs = 2000;
// Pause after each injected key event.
constexpr DWORD kKeystrokePauseMs = 150;

bool SaveClipboard(ClipboardSnapshot& snapshot);
void SendCopyKeystroke();
bool GetClipboardText(std::wstring& text);
bool RestoreClipboard(const ClipboardSnapshot& snapshot);

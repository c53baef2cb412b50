#pragma once

#include <windows.h>

#include <cstddef>
#include <string>
#include <vector>

// One saved clipboard format. Its contents are copied once, at the save, into what the
// restore hands to SetClipboardData as it is: a global block of our own for memory formats,
// an owned copy of the object for bitmaps, palettes and metafiles. A large picture is then
// copied once per press instead of three times.
struct ClipboardEntry {
    ClipboardEntry() = default;
    explicit ClipboardEntry(UINT entryFormat) : format(entryFormat) {}
    ~ClipboardEntry();
    ClipboardEntry(ClipboardEntry&& other) noexcept;
    ClipboardEntry& operator=(ClipboardEntry&& other) noexcept;
    ClipboardEntry(const ClipboardEntry&) = delete;
    ClipboardEntry& operator=(const ClipboardEntry&) = delete;

    // Releases what the entry still owns.
    void Reset();
    // Makes `block` a new movable block holding `size` bytes (none for size 0). Throws
    // std::bad_alloc when the block cannot be had.
    void Assign(const void* bytes, size_t size);
    // Bytes held in `block`.
    size_t Size() const;
    // Whether the restore has something to hand back.
    bool HasContents() const;

    UINT format = 0;
    // The format's bytes in a movable global block, owned until the clipboard takes it. For
    // a metafile picture these are the METAFILEPICT bytes, with `object` as their metafile.
    HGLOBAL block = nullptr;
    // Owned copy of the format's object: HBITMAP, HPALETTE or HENHMETAFILE, or the
    // HMETAFILE inside a metafile picture; null for plain memory formats.
    HANDLE object = nullptr;
};

// Every format of the clipboard, in enumeration order; owns what it holds until the restore
// hands it to the clipboard, so a snapshot is put back once.
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
// Hands every saved entry to the clipboard; what the clipboard took, the snapshot no longer
// owns.
bool RestoreClipboard(ClipboardSnapshot& snapshot);

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

// How long ClipboardGuard::Open keeps trying by default, and how often.
constexpr DWORD kClipboardOpenRetryMs = 150;
constexpr DWORD kClipboardOpenRetryStepMs = 10;
// A put-back in an opening of its own waits longer: clipboard listeners (history, managers,
// remote-desktop sync) open the clipboard after every change, and the user's contents must
// not be lost to one of them.
constexpr DWORD kPutBackRetryMs = 1000;
// How long SendCopyKeystroke waits for the user to let go of the modifier keys.
constexpr DWORD kModifierReleaseWaitMs = 2000;
// Gap between the injected key events, so that a program reading the key state sees CTRL
// held while the copy key goes down.
constexpr DWORD kKeyGapMs = 5;
// How long a press waits for the program to copy, and how often it looks. A program that
// copies later than this has copied nothing for this press.
constexpr DWORD kCopyWaitMs = 1500;
constexpr DWORD kCopyPollMs = 5;

// Keeps the clipboard open for one scope and closes it on every way out.
class ClipboardGuard {
public:
    explicit ClipboardGuard(DWORD retryMs = kClipboardOpenRetryMs) : m_retryMs(retryMs) {}
    ~ClipboardGuard();
    ClipboardGuard(const ClipboardGuard&) = delete;
    ClipboardGuard& operator=(const ClipboardGuard&) = delete;

    // Opens the clipboard with the desktop window as owner. Clipboard monitors hold the
    // clipboard for a moment after every change, so a failed open is retried for the
    // guard's while; the last error is traced once when the final try fails.
    bool Open();
    bool IsOpen() const { return m_open; }

private:
    DWORD m_retryMs;
    bool m_open = false;
};

// The copy key sent with CTRL: C, or INSERT where CTRL+C would interrupt (terminals).
enum class CopyKey { kC, kInsert };

// What a copy through the clipboard came to.
enum class CopyResult {
    kNotSaved,       // the clipboard could not be saved whole: nothing was sent
    kNothingCopied,  // the program did not copy in time: the clipboard was not touched again
    kCopied,         // the program copied; its text (if any) was read, the clipboard put back
};

// What a press that copied nothing in time leaves behind, so that a copy the program makes
// afterwards can be undone (see late_copy.h).
struct LateCopy {
    ClipboardSnapshot snapshot;  // the user's clipboard, as the press found it
    DWORD targetProcess = 0;     // the process the keys went to
    DWORD sequence = 0;          // the clipboard's sequence number when the press gave up
    DWORD inputTime = 0;         // GetLastInputInfo's time then: the keystroke's own
    bool armed = false;          // the fields above are set and worth watching with
};

// Saves every format that yields data. A format that yields none (CF_OWNERDISPLAY, or a
// delayed one whose owner does not render it) cannot be put back by anyone: it is left
// out and traced. False when the clipboard cannot be opened or memory runs out.
bool SaveClipboard(ClipboardSnapshot& snapshot);
// Waits for the user's modifier keys and `heldKey` (0: none) to be let go, then injects
// CTRL + the copy key.
void SendCopyKeystroke(CopyKey key = CopyKey::kC, UINT heldKey = 0);
// Waits (up to kCopyWaitMs) until the clipboard's sequence number differs from `before`
// and the clipboard can be opened, then reads its Unicode text into `text` (left alone when
// there is none) and, in that same opening, puts `putBack` back when it is given. False
// when nothing changed in time.
bool WaitForCopy(DWORD before, std::wstring& text, ClipboardSnapshot* putBack = nullptr);
bool GetClipboardText(std::wstring& text);
// Hands every saved entry to the clipboard, in an opening of its own that is retried for
// kPutBackRetryMs; a failure is traced. What the clipboard took, the snapshot no longer
// owns. When something came back, the marker formats that keep a put-back out of clipboard
// history, cloud sync and clipboard managers are added, unless the snapshot holds them.
bool RestoreClipboard(ClipboardSnapshot& snapshot);
// The whole capture through the clipboard: save, the copy keystroke, the wait for the copy,
// the read and the put-back in the same opening. A press that copied nothing leaves the
// clipboard as it found it, and hands the snapshot to `late` when it is given.
CopyResult CopyThroughClipboard(CopyKey key, std::wstring& text, UINT heldKey = 0,
                                LateCopy* late = nullptr);

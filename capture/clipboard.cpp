#include "capture/clipboard.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <utility>

#include "res/trace.h"

namespace {

// What a format's clipboard handle is, which decides how it is copied and released.
enum class FormatKind {
    Memory,        // a global memory block
    Bitmap,        // HBITMAP
    Palette,       // HPALETTE
    EnhMetafile,   // HENHMETAFILE
    MetafilePict,  // a global block holding a METAFILEPICT with an HMETAFILE inside
    Opaque,        // a value only its owner understands; nothing can be carried over
};

FormatKind KindOf(UINT format) {
    switch (format) {
        case CF_BITMAP:
        case CF_DSPBITMAP:
            return FormatKind::Bitmap;
        case CF_PALETTE:
            return FormatKind::Palette;
        case CF_ENHMETAFILE:
        case CF_DSPENHMETAFILE:
            return FormatKind::EnhMetafile;
        case CF_METAFILEPICT:
        case CF_DSPMETAFILEPICT:
            return FormatKind::MetafilePict;
        case CF_OWNERDISPLAY:
            return FormatKind::Opaque;
        default:
            break;
    }
    // Private and GDI-object ranges carry arbitrary values that the system never frees or
    // copies; reading them as memory blocks would read some other object's bytes.
    if (format >= CF_PRIVATEFIRST && format <= CF_PRIVATELAST) return FormatKind::Opaque;
    if (format >= CF_GDIOBJFIRST && format <= CF_GDIOBJLAST) return FormatKind::Opaque;
    return FormatKind::Memory;
}

HPALETTE CopyPalette(HPALETTE source) {
    WORD count = 0;
    if (GetObjectW(source, sizeof(count), &count) == 0 || count == 0) return nullptr;
    std::vector<unsigned char> buffer(offsetof(LOGPALETTE, palPalEntry) +
                                      count * sizeof(PALETTEENTRY));
    LOGPALETTE* palette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    palette->palVersion = 0x300;
    palette->palNumEntries = count;
    if (GetPaletteEntries(source, 0, count, palette->palPalEntry) != count) return nullptr;
    return CreatePalette(palette);
}

// A new object of the same kind and content that the caller owns, or null.
HANDLE CopyObjectOf(FormatKind kind, HANDLE source) {
    if (source == nullptr) return nullptr;
    switch (kind) {
        case FormatKind::Bitmap:
            // Without LR_CREATEDIBSECTION this is a device-dependent bitmap again, which is
            // what the clipboard expects under CF_BITMAP.
            return CopyImage(source, IMAGE_BITMAP, 0, 0, 0);
        case FormatKind::Palette:
            return CopyPalette(static_cast<HPALETTE>(source));
        case FormatKind::EnhMetafile:
            return CopyEnhMetaFileW(static_cast<HENHMETAFILE>(source), nullptr);
        case FormatKind::MetafilePict:
            return CopyMetaFileW(static_cast<HMETAFILE>(source), nullptr);
        default:
            return nullptr;
    }
}

void ReleaseObjectOf(FormatKind kind, HANDLE object) {
    if (object == nullptr) return;
    switch (kind) {
        case FormatKind::Bitmap:
        case FormatKind::Palette:
            DeleteObject(object);
            break;
        case FormatKind::EnhMetafile:
            DeleteEnhMetaFile(static_cast<HENHMETAFILE>(object));
            break;
        case FormatKind::MetafilePict:
            DeleteMetaFile(static_cast<HMETAFILE>(object));
            break;
        default:
            break;
    }
}

// Locks a global block for one scope, so that a failed copy cannot leave it locked.
class GlobalLockScope {
public:
    explicit GlobalLockScope(HGLOBAL block) : m_block(block), m_address(GlobalLock(block)) {}
    ~GlobalLockScope() {
        if (m_address != nullptr) GlobalUnlock(m_block);
    }
    GlobalLockScope(const GlobalLockScope&) = delete;
    GlobalLockScope& operator=(const GlobalLockScope&) = delete;
    unsigned char* Address() const { return static_cast<unsigned char*>(m_address); }

private:
    HGLOBAL m_block;
    void* m_address;
};

// Copies one format's data off the clipboard into `entry`, once: into the block or object
// that the restore will hand back as it is. An entry left without contents has nothing to
// put back and is skipped by the restore. Throws std::bad_alloc when memory runs out.
void CopyFormat(HANDLE handle, ClipboardEntry& entry) {
    FormatKind kind = KindOf(entry.format);
    switch (kind) {
        case FormatKind::Memory:
        case FormatKind::MetafilePict: {
            GlobalLockScope lock(handle);
            SIZE_T size = GlobalSize(handle);
            // Without the block's bytes a zero-filled block would be put back as if it
            // were the user's data; an empty entry is skipped instead.
            if (lock.Address() == nullptr || size == 0) return;
            if (kind == FormatKind::MetafilePict) {
                // The block's metafile handle dies when the clipboard is emptied, so the
                // metafile itself is copied and stands in the saved block instead.
                if (size < sizeof(METAFILEPICT)) return;
                HMETAFILE metafile = reinterpret_cast<METAFILEPICT*>(lock.Address())->hMF;
                entry.object = CopyObjectOf(kind, metafile);
                if (entry.object == nullptr) return;
            }
            entry.Assign(lock.Address(), size);
            if (kind == FormatKind::MetafilePict) {
                GlobalLockScope saved(entry.block);
                if (saved.Address() == nullptr) throw std::bad_alloc();
                reinterpret_cast<METAFILEPICT*>(saved.Address())->hMF =
                    static_cast<HMETAFILE>(entry.object);
            }
            return;
        }
        case FormatKind::Bitmap:
        case FormatKind::Palette:
        case FormatKind::EnhMetafile:
            entry.object = CopyObjectOf(kind, handle);
            return;
        case FormatKind::Opaque:
            return;
    }
}

// Hands one saved entry to the clipboard as it is. On success the clipboard owns it (and
// frees it when it is next emptied), so the entry lets go of it; a refused handle stays
// the entry's to release.
bool PutEntry(ClipboardEntry& entry) {
    if (!entry.HasContents()) return false;
    FormatKind kind = KindOf(entry.format);
    HANDLE handle = kind == FormatKind::Memory || kind == FormatKind::MetafilePict
                        ? static_cast<HANDLE>(entry.block)
                        : entry.object;
    if (SetClipboardData(entry.format, handle) == nullptr) return false;
    // A metafile picture's metafile went with its block.
    entry.block = nullptr;
    entry.object = nullptr;
    return true;
}

constexpr DWORD kModifierPollMs = 10;

bool AnyModifierDown() {
    static const int kModifiers[] = {VK_LWIN,   VK_RWIN,   VK_LMENU,    VK_RMENU,
                                     VK_LSHIFT, VK_RSHIFT, VK_LCONTROL, VK_RCONTROL};
    for (int key : kModifiers) {
        if (GetAsyncKeyState(key) & 0x8000) return true;
    }
    return false;
}

bool KeyHeld(UINT key) {
    return key != 0 && GetAsyncKeyState(static_cast<int>(key)) < 0;
}

INPUT KeyEvent(WORD key, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    // Consoles and terminals read the scan code as well; INSERT is an extended key, which
    // without the flag would be the keypad's 0.
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = flags | (key == VK_INSERT ? KEYEVENTF_EXTENDEDKEY : 0);
    return input;
}

void SendKeys(INPUT* events, UINT count) {
    SendInput(count, events, sizeof(INPUT));
}

// The marker formats a put-back carries: registered names with a DWORD, as documented for
// clipboard history and cloud clipboard; the first one is honoured by clipboard managers.
const wchar_t* const kPutBackMarkers[] = {
    L"ExcludeClipboardContentFromMonitorProcessing",
    L"CanIncludeInClipboardHistory",
    L"CanUploadToCloudClipboard",
};

bool SnapshotHolds(const ClipboardSnapshot& snapshot, UINT format) {
    for (const ClipboardEntry& entry : snapshot.entries) {
        if (entry.format == format) return true;
    }
    return false;
}

// Places the markers the snapshot does not hold already. The clipboard is open and holds
// the put-back.
void AddPutBackMarkers(const ClipboardSnapshot& snapshot) {
    for (const wchar_t* name : kPutBackMarkers) {
        const UINT format = RegisterClipboardFormatW(name);
        if (format == 0 || SnapshotHolds(snapshot, format)) continue;
        const DWORD zero = 0;
        ClipboardEntry marker(format);
        try {
            marker.Assign(&zero, sizeof(zero));
        } catch (const std::bad_alloc&) {
            return;
        }
        PutEntry(marker);
    }
}

// Reads CF_UNICODETEXT of the open clipboard into `text`; false (and `text` untouched)
// when there is none.
bool ReadOpenClipboardText(std::wstring& text) {
    HANDLE handle = GetClipboardData(CF_UNICODETEXT);
    if (handle == nullptr) return false;
    SIZE_T count = GlobalSize(handle) / sizeof(wchar_t);
    if (count == 0) return false;
    GlobalLockScope lock(handle);
    if (lock.Address() == nullptr) return false;

    const wchar_t* units = reinterpret_cast<const wchar_t*>(lock.Address());
    size_t length = wcsnlen(units, count);
    if (length == 0) return false;
    try {
        std::wstring read(units, length);
        text = std::move(read);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

// The user's injected keys and the system's note of them may lie this far apart.
constexpr DWORD kInputSlackMs = 50;

void TraceFormatLeftOut(UINT format) {
    const std::string line = "Selvane: clipboard format " + std::to_string(format) +
                             " yields no data and is left out of the put-back.\n";
    OutputDebugStringA(line.c_str());
}

// Empties the open clipboard and hands it every saved entry. Nothing is allocated here: every
// entry goes back unless it has nothing to give or the clipboard refuses it.
bool PutBackOpen(ClipboardSnapshot& snapshot) {
    EmptyClipboard();
    bool everyEntry = true;
    bool anyEntry = false;
    for (ClipboardEntry& entry : snapshot.entries) {
        if (PutEntry(entry)) {
            anyEntry = true;
        } else {
            everyEntry = false;
        }
    }
    // The put-back is the user's old copy, not a new one: history, sync and clipboard
    // managers are told to leave it out. An empty clipboard needs no such word.
    if (anyEntry) AddPutBackMarkers(snapshot);
    return everyEntry;
}

}  // namespace

ClipboardEntry::~ClipboardEntry() {
    Reset();
}

ClipboardEntry::ClipboardEntry(ClipboardEntry&& other) noexcept
    : format(other.format), block(other.block), object(other.object) {
    other.block = nullptr;
    other.object = nullptr;
}

ClipboardEntry& ClipboardEntry::operator=(ClipboardEntry&& other) noexcept {
    if (this != &other) {
        Reset();
        format = other.format;
        block = other.block;
        object = other.object;
        other.block = nullptr;
        other.object = nullptr;
    }
    return *this;
}

void ClipboardEntry::Reset() {
    if (block != nullptr) GlobalFree(block);
    block = nullptr;
    ReleaseObjectOf(KindOf(format), object);
    object = nullptr;
}

void ClipboardEntry::Assign(const void* bytes, size_t size) {
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy == nullptr) throw std::bad_alloc();
    if (size != 0) {
        void* address = GlobalLock(copy);
        if (address == nullptr) {
            GlobalFree(copy);
            throw std::bad_alloc();
        }
        std::memcpy(address, bytes, size);
        GlobalUnlock(copy);
    }
    if (block != nullptr) GlobalFree(block);
    block = copy;
}

size_t ClipboardEntry::Size() const {
    return block != nullptr ? GlobalSize(block) : 0;
}

bool ClipboardEntry::HasContents() const {
    switch (KindOf(format)) {
        case FormatKind::Memory:
            return Size() != 0;
        case FormatKind::MetafilePict:
            return Size() >= sizeof(METAFILEPICT) && object != nullptr;
        case FormatKind::Bitmap:
        case FormatKind::Palette:
        case FormatKind::EnhMetafile:
            return object != nullptr;
        case FormatKind::Opaque:
            return false;
    }
    return false;
}

ClipboardGuard::~ClipboardGuard() {
    if (m_open) CloseClipboard();
}

bool ClipboardGuard::Open() {
    if (m_open) return true;
    // Timed by the clock: a Sleep of 10 ms may take a whole scheduler tick.
    DWORD start = GetTickCount();
    for (;;) {
        if (OpenClipboard(GetDesktopWindow())) {
            m_open = true;
            return true;
        }
        DWORD error = GetLastError();
        if (GetTickCount() - start >= m_retryMs) {
            SetLastError(error);
            TraceLastError();
            return false;
        }
        Sleep(kClipboardOpenRetryStepMs);
    }
}

bool SaveClipboard(ClipboardSnapshot& snapshot) {
    ClipboardGuard guard;
    if (!guard.Open()) return false;

    std::vector<ClipboardEntry> entries;
    try {
        for (UINT format = EnumClipboardFormats(0); format != 0;
             format = EnumClipboardFormats(format)) {
            // CF_OWNERDISPLAY is drawn by its owner and never holds data; a delayed format
            // whose owner does not render it has none either. Nobody could put them back:
            // leave them out rather than give up the whole press.
            HANDLE handle = format == CF_OWNERDISPLAY ? nullptr : GetClipboardData(format);
            if (handle == nullptr) {
                TraceFormatLeftOut(format);
                continue;
            }
            entries.emplace_back(format);
            CopyFormat(handle, entries.back());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    snapshot.entries = std::move(entries);
    return true;
}

void SendCopyKeystroke(CopyKey key, UINT heldKey) {
    // Keys still held from the hotkey would combine with the injected ones: Win turns the
    // copy into Win+Ctrl+C, and Ctrl let go halfway makes the injected C type a "c" over
    // the selection. Wait for them, but never hang on a stuck key.
    DWORD start = GetTickCount();
    while ((AnyModifierDown() || KeyHeld(heldKey)) &&
           GetTickCount() - start < kModifierReleaseWaitMs) {
        Sleep(kModifierPollMs);
    }

    const WORD copyKey = key == CopyKey::kInsert ? static_cast<WORD>(VK_INSERT) : 'C';
    INPUT control = KeyEvent(VK_CONTROL, 0);
    SendKeys(&control, 1);
    Sleep(kKeyGapMs);
    INPUT down = KeyEvent(copyKey, 0);
    SendKeys(&down, 1);
    Sleep(kKeyGapMs);
    INPUT ups[] = {KeyEvent(copyKey, KEYEVENTF_KEYUP), KeyEvent(VK_CONTROL, KEYEVENTF_KEYUP)};
    SendKeys(ups, 2);
}

bool WaitForCopy(DWORD before, std::wstring& text, ClipboardSnapshot* putBack) {
    // The number changes when the program empties the clipboard, before it has placed its
    // formats; it holds the clipboard open until it has, so the read waits for the open.
    // Timed by the clock: a Sleep of a few ms may take a whole scheduler tick.
    const DWORD start = GetTickCount();
    for (;;) {
        if (GetClipboardSequenceNumber() != before && OpenClipboard(GetDesktopWindow())) {
            ReadOpenClipboardText(text);
            // Put back before closing: a listener told of the copy would otherwise open the
            // clipboard first and could hold it past any retry.
            if (putBack != nullptr) PutBackOpen(*putBack);
            CloseClipboard();
            return true;
        }
        if (GetTickCount() - start >= kCopyWaitMs) return false;
        Sleep(kCopyPollMs);
    }
}

CopyResult CopyThroughClipboard(CopyKey key, std::wstring& text, UINT heldKey, LateCopy* late) {
    ClipboardSnapshot snapshot;
    // Without a snapshot the user's clipboard could not be put back: touch nothing.
    if (!SaveClipboard(snapshot)) return CopyResult::kNotSaved;
    const DWORD before = GetClipboardSequenceNumber();
    SendCopyKeystroke(key, heldKey);
    const DWORD keysSent = GetTickCount();
    // Only what this press's copy put there is the selection.
    if (WaitForCopy(before, text, &snapshot)) return CopyResult::kCopied;
    // Nothing copied: the text on the clipboard is the user's, not a selection, and there
    // is nothing to put back now. A program that copies later would replace the user's
    // clipboard: the caller may watch for that with the snapshot, unless the user has
    // already typed or clicked since the keystroke (then a later copy may be theirs).
    if (late != nullptr) {
        LASTINPUTINFO input = {};
        input.cbSize = sizeof(input);
        if (GetLastInputInfo(&input) &&
            static_cast<LONG>(input.dwTime - keysSent) <= static_cast<LONG>(kInputSlackMs)) {
            late->snapshot = std::move(snapshot);
            late->sequence = before;
            late->inputTime = input.dwTime;
            late->armed = true;
        }
    }
    return CopyResult::kNothingCopied;
}

bool GetClipboardText(std::wstring& text) {
    ClipboardGuard guard;
    if (!guard.Open()) return false;
    return ReadOpenClipboardText(text);
}

bool RestoreClipboard(ClipboardSnapshot& snapshot) {
    // A failed open is traced by the guard, once, with the system's reason.
    ClipboardGuard guard(kPutBackRetryMs);
    if (!guard.Open()) return false;
    return PutBackOpen(snapshot);
}

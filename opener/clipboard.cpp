#include "opener/clipboard.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <new>
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

void SendKey(WORD key, DWORD flags) {
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.dwFlags = flags;
    SendInput(1, &input, sizeof(INPUT));
    Sleep(kKeystrokePauseMs);
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
        if (GetTickCount() - start >= kClipboardOpenRetryMs) {
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
            HANDLE handle = GetClipboardData(format);
            // A delayed-rendered format whose owner did not render: the contents cannot be
            // saved whole, so nothing is taken and the clipboard is left alone.
            if (handle == nullptr) return false;
            entries.emplace_back(format);
            CopyFormat(handle, entries.back());
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    snapshot.entries = std::move(entries);
    return true;
}

void SendCopyKeystroke() {
    // Keys still held from the hotkey would combine with the injected ones: Win turns the
    // copy into Win+Ctrl+C, and Ctrl let go halfway makes the injected C type a "c" over
    // the selection. Wait for them, but never hang on a stuck key.
    DWORD start = GetTickCount();
    while (AnyModifierDown() && GetTickCount() - start < kModifierReleaseWaitMs) {
        Sleep(kModifierPollMs);
    }

    SendKey(VK_CONTROL, 0);
    SendKey('C', 0);
    SendKey('C', KEYEVENTF_KEYUP);
    SendKey(VK_CONTROL, KEYEVENTF_KEYUP);
}

bool GetClipboardText(std::wstring& text) {
    ClipboardGuard guard;
    if (!guard.Open()) return false;

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

bool RestoreClipboard(ClipboardSnapshot& snapshot) {
    ClipboardGuard guard;
    if (!guard.Open()) return false;

    EmptyClipboard();
    // Nothing is allocated here any more: every entry goes back unless it has nothing to
    // give or the clipboard refuses it.
    bool everyEntry = true;
    for (ClipboardEntry& entry : snapshot.entries) {
        if (!PutEntry(entry)) everyEntry = false;
    }
    return everyEntry;
}

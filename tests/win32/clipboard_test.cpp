#include "capture/clipboard.h"
#include "capture/late_copy.h"
#include "tests/win32/test_source.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Counts the process's debugger output: OutputDebugString raises an exception that a
// vectored handler sees before the system swallows it.
std::atomic<int> g_traceLines{0};
std::string g_lastTrace;

LONG CALLBACK CountTrace(EXCEPTION_POINTERS* info) {
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (record->ExceptionCode == DBG_PRINTEXCEPTION_C && record->NumberParameters >= 2) {
        g_lastTrace = reinterpret_cast<const char*>(record->ExceptionInformation[1]);
        ++g_traceLines;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

// GoogleTest writes its failure messages there as well, so a count is read right after the
// call it is about.
class TraceCounter {
public:
    TraceCounter() : m_handler(AddVectoredExceptionHandler(1, CountTrace)) {
        g_traceLines = 0;
        g_lastTrace.clear();
    }
    ~TraceCounter() { RemoveVectoredExceptionHandler(m_handler); }
    int Lines() const { return g_traceLines; }
    // The system's message for the error, not an empty line.
    const std::string& LastLine() const { return g_lastTrace; }

private:
    void* m_handler;
};

// The tests' own clipboard access; Wine's clipboard manager may hold it for a moment.
class OpenedClipboard {
public:
    OpenedClipboard() {
        for (int i = 0; i < 300 && !m_open; ++i) {
            m_open = OpenClipboard(nullptr) != FALSE;
            if (!m_open) Sleep(10);
        }
    }
    ~OpenedClipboard() {
        if (m_open) CloseClipboard();
    }
    bool IsOpen() const { return m_open; }

private:
    bool m_open = false;
};

HGLOBAL BlockOf(const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (size != 0) {
        std::memcpy(GlobalLock(block), bytes, size);
        GlobalUnlock(block);
    }
    return block;
}

HGLOBAL BlockOf(const std::string& text) {
    return BlockOf(text.c_str(), text.size() + 1);
}

HGLOBAL BlockOf(const std::wstring& text) {
    return BlockOf(text.c_str(), (text.size() + 1) * sizeof(wchar_t));
}

void SetUnicodeText(const std::wstring& text) {
    OpenedClipboard clipboard;
    ASSERT_TRUE(clipboard.IsOpen());
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, BlockOf(text));
}

void SetRawUnicodeBlock(const void* bytes, size_t size) {
    OpenedClipboard clipboard;
    ASSERT_TRUE(clipboard.IsOpen());
    EmptyClipboard();
    SetClipboardData(CF_UNICODETEXT, BlockOf(bytes, size));
}

void EmptyTheClipboard() {
    OpenedClipboard clipboard;
    ASSERT_TRUE(clipboard.IsOpen());
    EmptyClipboard();
}

std::vector<UINT> Formats() {
    std::vector<UINT> formats;
    OpenedClipboard clipboard;
    if (!clipboard.IsOpen()) return formats;
    for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) {
        formats.push_back(f);
    }
    return formats;
}

// What a format holds, in a form that compares by content: memory blocks byte for byte,
// bitmaps by size and pixels, metafiles by their bits, palettes by their entries.
Bytes ContentOf(UINT format, HANDLE handle) {
    Bytes out;
    auto append = [&out](const void* p, size_t n) {
        const unsigned char* b = static_cast<const unsigned char*>(p);
        out.insert(out.end(), b, b + n);
    };
    switch (format) {
        case CF_BITMAP:
        case CF_DSPBITMAP: {
            BITMAP bm = {};
            if (!GetObjectW(handle, sizeof(bm), &bm)) return {0xEE};
            BITMAPINFO info = {};
            info.bmiHeader.biSize = sizeof(info.bmiHeader);
            info.bmiHeader.biWidth = bm.bmWidth;
            info.bmiHeader.biHeight = -bm.bmHeight;
            info.bmiHeader.biPlanes = 1;
            info.bmiHeader.biBitCount = 32;
            std::vector<DWORD> pixels(static_cast<size_t>(bm.bmWidth) * bm.bmHeight);
            HDC dc = GetDC(nullptr);
            int lines = GetDIBits(dc, static_cast<HBITMAP>(handle), 0, bm.bmHeight, pixels.data(),
                                  &info, DIB_RGB_COLORS);
            ReleaseDC(nullptr, dc);
            if (lines != bm.bmHeight) return {0xEF};
            for (DWORD& p : pixels) p &= 0x00FFFFFF;  // the unused byte is not content
            append(&bm.bmWidth, sizeof(bm.bmWidth));
            append(&bm.bmHeight, sizeof(bm.bmHeight));
            append(pixels.data(), pixels.size() * sizeof(DWORD));
            return out;
        }
        case CF_ENHMETAFILE:
        case CF_DSPENHMETAFILE: {
            UINT size = GetEnhMetaFileBits(static_cast<HENHMETAFILE>(handle), 0, nullptr);
            out.resize(size);
            GetEnhMetaFileBits(static_cast<HENHMETAFILE>(handle), size, out.data());
            return out;
        }
        case CF_METAFILEPICT:
        case CF_DSPMETAFILEPICT: {
            METAFILEPICT* pict = static_cast<METAFILEPICT*>(GlobalLock(handle));
            if (pict == nullptr) return {0xED};
            append(&pict->mm, sizeof(pict->mm));
            append(&pict->xExt, sizeof(pict->xExt));
            append(&pict->yExt, sizeof(pict->yExt));
            UINT size = GetMetaFileBitsEx(pict->hMF, 0, nullptr);
            Bytes bits(size);
            if (size == 0 || GetMetaFileBitsEx(pict->hMF, size, bits.data()) != size) {
                out.push_back(0xEC);  // no usable metafile
            }
            GlobalUnlock(handle);
            out.insert(out.end(), bits.begin(), bits.end());
            return out;
        }
        case CF_PALETTE: {
            WORD count = 0;
            GetObjectW(handle, sizeof(count), &count);
            std::vector<PALETTEENTRY> entries(count);
            GetPaletteEntries(static_cast<HPALETTE>(handle), 0, count, entries.data());
            append(entries.data(), entries.size() * sizeof(PALETTEENTRY));
            return out;
        }
        default: {
            void* p = GlobalLock(handle);
            if (p == nullptr) return {0xEB};
            append(p, GlobalSize(handle));
            GlobalUnlock(handle);
            return out;
        }
    }
}

struct Held {
    UINT format;
    Bytes content;
    bool operator==(const Held& o) const { return format == o.format && content == o.content; }
};

std::vector<Held> ClipboardContents() {
    std::vector<Held> held;
    OpenedClipboard clipboard;
    if (!clipboard.IsOpen()) return held;
    for (UINT f = EnumClipboardFormats(0); f != 0; f = EnumClipboardFormats(f)) {
        HANDLE handle = GetClipboardData(f);
        held.push_back({f, handle ? ContentOf(f, handle) : Bytes{0xEA}});
    }
    return held;
}

std::string Describe(const std::vector<Held>& held) {
    std::string text;
    for (const Held& h : held) {
        text += std::to_string(h.format) + ":" + std::to_string(h.content.size()) + " ";
    }
    return text;
}

Bytes DibOf(int width, int height, WORD bits) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = bits;
    header.biCompression = BI_RGB;
    size_t stride = ((width * bits + 31) / 32) * 4;
    header.biSizeImage = static_cast<DWORD>(stride * height);
    Bytes dib(sizeof(header) + header.biSizeImage);
    std::memcpy(dib.data(), &header, sizeof(header));
    for (size_t i = sizeof(header); i < dib.size(); ++i) dib[i] = static_cast<unsigned char>(i * 7);
    if (bits == 32) {
        for (size_t i = sizeof(header) + 3; i < dib.size(); i += 4) dib[i] = 0;
    }
    return dib;
}

HBITMAP MakeBitmap() {
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 5, 4);
    HDC dc = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) SetPixel(dc, x, y, RGB(40 * x, 60 * y, 255 - 30 * x));
    }
    SelectObject(dc, old);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return bitmap;
}

void Draw(HDC dc) {
    Rectangle(dc, 1, 2, 30, 40);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 25, 17);
}

HENHMETAFILE MakeEnhMetafile() {
    HDC dc = CreateEnhMetaFileW(nullptr, nullptr, nullptr, L"Selvane\0test\0");
    Draw(dc);
    return CloseEnhMetaFile(dc);
}

HGLOBAL MakeMetafilePict() {
    HDC dc = CreateMetaFileW(nullptr);
    Draw(dc);
    METAFILEPICT pict = {MM_ANISOTROPIC, 3000, 4000, CloseMetaFile(dc)};
    return BlockOf(&pict, sizeof(pict));
}

HPALETTE MakePalette() {
    struct {
        WORD version, count;
        PALETTEENTRY entries[3];
    } logical = {0x300, 3, {{1, 2, 3, 0}, {200, 100, 50, 0}, {9, 8, 7, 0}}};
    return CreatePalette(reinterpret_cast<LOGPALETTE*>(&logical));
}

HGLOBAL MakeDropFiles() {
    std::wstring files = std::wstring(L"C:\\one.txt") + L'\0' + L"C:\\two dir" + L'\0' + L'\0';
    Bytes block(sizeof(DROPFILES) + files.size() * sizeof(wchar_t));
    DROPFILES header = {};
    header.pFiles = sizeof(DROPFILES);
    header.fWide = TRUE;
    std::memcpy(block.data(), &header, sizeof(header));
    std::memcpy(block.data() + sizeof(header), files.data(), files.size() * sizeof(wchar_t));
    return BlockOf(block.data(), block.size());
}

// A clipboard that holds one of everything a user's clipboard commonly carries.
void FillWithEveryKind() {
    OpenedClipboard clipboard;
    ASSERT_TRUE(clipboard.IsOpen());
    EmptyClipboard();
    std::string html =
        "Version:0.9\r\nStartHTML:0000000097\r\nEndHTML:0000000170\r\n"
        "StartFragment:0000000131\r\nEndFragment:0000000134\r\n"
        "<html><body><!--StartFragment--><b>x</b><!--EndFragment--></body></html>";
    Bytes dib = DibOf(3, 2, 32);
    Bytes privateBytes = {0, 1, 2, 0, 255, 0};
    SetClipboardData(CF_UNICODETEXT, BlockOf(std::wstring(L"Selvane \u00fc\u20ac text")));
    SetClipboardData(RegisterClipboardFormatW(L"HTML Format"), BlockOf(html));
    SetClipboardData(RegisterClipboardFormatW(L"Rich Text Format"),
                     BlockOf(std::string("{\\rtf1\\ansi hello}")));
    SetClipboardData(CF_DIB, BlockOf(dib.data(), dib.size()));
    SetClipboardData(CF_HDROP, MakeDropFiles());
    SetClipboardData(RegisterClipboardFormatW(L"SelvaneTestPrivate"),
                     BlockOf(privateBytes.data(), privateBytes.size()));
    SetClipboardData(CF_BITMAP, MakeBitmap());
    SetClipboardData(CF_ENHMETAFILE, MakeEnhMetafile());
    SetClipboardData(CF_METAFILEPICT, MakeMetafilePict());
    SetClipboardData(CF_PALETTE, MakePalette());
}

bool Contains(const std::vector<UINT>& formats, UINT format) {
    for (UINT f : formats) {
        if (f == format) return true;
    }
    return false;
}

const wchar_t* const kMarkers[] = {L"ExcludeClipboardContentFromMonitorProcessing",
                                   L"CanIncludeInClipboardHistory",
                                   L"CanUploadToCloudClipboard"};

bool IsMarker(UINT format) {
    for (const wchar_t* name : kMarkers) {
        if (RegisterClipboardFormatW(name) == format) return true;
    }
    return false;
}

// `after` is `before`, every format in its order with its content, plus exactly the three
// put-back markers (a DWORD 0 each) that `before` did not hold.
void ExpectSameWithMarkers(const std::vector<Held>& before, const std::vector<Held>& after,
                           const char* what) {
    std::vector<Held> rest;
    std::vector<UINT> added;
    for (const Held& h : after) {
        bool wasThere = false;
        for (const Held& b : before) wasThere = wasThere || b.format == h.format;
        if (IsMarker(h.format) && !wasThere) {
            added.push_back(h.format);
            EXPECT_EQ(h.content, Bytes(4, 0)) << what << ": marker " << h.format;
        } else {
            rest.push_back(h);
        }
    }
    EXPECT_EQ(Describe(rest), Describe(before)) << what;
    for (size_t i = 0; i < before.size() && i < rest.size(); ++i) {
        EXPECT_TRUE(before[i] == rest[i]) << what << ": format " << before[i].format << " differs";
    }
    size_t expected = 0;
    for (const wchar_t* name : kMarkers) {
        bool held = false;
        for (const Held& b : before) held = held || b.format == RegisterClipboardFormatW(name);
        if (!held) ++expected;
    }
    EXPECT_EQ(added.size(), before.empty() ? 0u : expected) << what;
}

// Saves, lets a copied selection replace everything, restores, and checks that every
// format came back in its order with its content. The snapshot is gone before the check:
// what the restore handed over belongs to the clipboard alone.
void ExpectCaptureKeepsTheClipboard(const char* what) {
    std::vector<Held> before = ClipboardContents();
    {
        ClipboardSnapshot snapshot;
        ASSERT_TRUE(SaveClipboard(snapshot)) << what;
        SetUnicodeText(L"the copied selection");
        ASSERT_TRUE(RestoreClipboard(snapshot)) << what;
    }
    ExpectSameWithMarkers(before, ClipboardContents(), what);
    // Emptying frees what was handed over once, and nothing of it twice.
    EmptyTheClipboard();
    EXPECT_TRUE(Formats().empty()) << what;
}

TEST(ClipboardSnapshot, EveryFormatComesBackInOrderWithItsContent) {
    FillWithEveryKind();
    std::vector<UINT> formats = Formats();
    // Synthesised text and DIB formats are part of what the user would paste.
    for (UINT f : {CF_UNICODETEXT, CF_TEXT, CF_OEMTEXT, CF_LOCALE, CF_DIB, CF_DIBV5, CF_HDROP,
                   CF_BITMAP, CF_ENHMETAFILE, CF_METAFILEPICT, CF_PALETTE}) {
        EXPECT_TRUE(Contains(formats, f)) << "format " << f << " missing";
    }
    ExpectCaptureKeepsTheClipboard("every kind");
}

// A picture copied with transparency: the program places a DIB and a DIBV5 of its own whose
// alpha channel the DIB lacks. Synthesising the DIBV5 again from the DIB would lose it.
TEST(ClipboardSnapshot, PlacedDibV5WithAlphaBesideADibComesBackAsItWas) {
    Bytes dib = DibOf(4, 3, 32);
    BITMAPV5HEADER v5 = {};
    v5.bV5Size = sizeof(v5);
    v5.bV5Width = 4;
    v5.bV5Height = 3;
    v5.bV5Planes = 1;
    v5.bV5BitCount = 32;
    v5.bV5Compression = BI_BITFIELDS;
    v5.bV5RedMask = 0x00FF0000;
    v5.bV5GreenMask = 0x0000FF00;
    v5.bV5BlueMask = 0x000000FF;
    v5.bV5AlphaMask = 0xFF000000;
    v5.bV5CSType = 0x73524742;  // LCS_sRGB, a multi-character constant in the headers
    v5.bV5SizeImage = 4 * 3 * 4;
    Bytes dibV5(sizeof(v5) + v5.bV5SizeImage);
    std::memcpy(dibV5.data(), &v5, sizeof(v5));
    for (size_t i = sizeof(v5); i < dibV5.size(); ++i)
        dibV5[i] = static_cast<unsigned char>(i * 13);
    {
        OpenedClipboard clipboard;
        ASSERT_TRUE(clipboard.IsOpen());
        EmptyClipboard();
        SetClipboardData(CF_DIB, BlockOf(dib.data(), dib.size()));
        SetClipboardData(CF_DIBV5, BlockOf(dibV5.data(), dibV5.size()));
    }
    std::vector<Held> held = ClipboardContents();
    bool placedV5 = false;
    for (const Held& h : held) placedV5 = placedV5 || (h.format == CF_DIBV5 && h.content == dibV5);
    ASSERT_TRUE(placedV5) << Describe(held);
    ExpectCaptureKeepsTheClipboard("DIB and DIBV5");
}

// A program's own word for history and cloud sync is kept, and not said twice.
TEST(ClipboardSnapshot, MarkersTheClipboardHeldComeBackAsTheyWere) {
    {
        OpenedClipboard clipboard;
        ASSERT_TRUE(clipboard.IsOpen());
        EmptyClipboard();
        const DWORD one = 1;
        SetClipboardData(CF_UNICODETEXT, BlockOf(std::wstring(L"with a marker")));
        SetClipboardData(RegisterClipboardFormatW(L"CanIncludeInClipboardHistory"),
                         BlockOf(&one, sizeof(one)));
    }
    ExpectCaptureKeepsTheClipboard("one marker held");
}

TEST(ClipboardSnapshot, EmptyClipboardStaysEmpty) {
    EmptyTheClipboard();
    ClipboardSnapshot snapshot;
    ASSERT_TRUE(SaveClipboard(snapshot));
    EXPECT_TRUE(snapshot.entries.empty());
    SetUnicodeText(L"the copied selection");
    EXPECT_TRUE(RestoreClipboard(snapshot));
    EXPECT_TRUE(Formats().empty());
}

TEST(ClipboardSnapshot, EntryWithNothingToPutBackIsSkippedAndLaterOnesReturn) {
    ClipboardSnapshot snapshot;
    UINT privateFormat = RegisterClipboardFormatW(L"SelvaneTestPrivate");
    snapshot.entries.emplace_back(privateFormat);  // a memory format saved without bytes
    snapshot.entries.emplace_back(CF_BITMAP);      // a bitmap that could not be copied
    snapshot.entries.emplace_back(CF_UNICODETEXT);
    std::wstring text = L"still here";
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(text.c_str());
    snapshot.entries.back().Assign(bytes, (text.size() + 1) * sizeof(wchar_t));

    SetUnicodeText(L"the copied selection");
    EXPECT_FALSE(RestoreClipboard(snapshot));  // not every entry came back
    std::vector<UINT> formats = Formats();
    EXPECT_FALSE(Contains(formats, privateFormat));
    EXPECT_FALSE(Contains(formats, CF_BITMAP));
    std::wstring read;
    EXPECT_TRUE(GetClipboardText(read));
    EXPECT_EQ(read, text);
}

TEST(ClipboardText, ReadUpToFirstNulWithinTheBlock) {
    struct Case {
        const char* what;
        Bytes block;
        bool found;
        std::wstring text;
    };
    auto units = [](const std::wstring& s) {
        const unsigned char* b = reinterpret_cast<const unsigned char*>(s.data());
        return Bytes(b, b + s.size() * sizeof(wchar_t));
    };
    const Case cases[] = {
        {"embedded NUL", units(std::wstring(L"abc\0def\0", 8)), true, L"abc"},
        {"kept as stored", units(std::wstring(L"  \"C:\\a b\"\r\n\0", 13)), true,
         L"  \"C:\\a b\"\r\n"},
        {"odd byte ignored", Bytes{'x', 0, 'y', 0, 'z'}, true, L"xy"},
        {"empty text", units(std::wstring(L"\0", 1)), false, L""},
        {"one byte", Bytes{'a'}, false, L""},
    };
    for (const Case& c : cases) {
        SetRawUnicodeBlock(c.block.data(), c.block.size());
        std::wstring text = L"unchanged";
        EXPECT_EQ(GetClipboardText(text), c.found) << c.what;
        EXPECT_EQ(text, c.found ? c.text : L"unchanged") << c.what;
    }

    EmptyTheClipboard();
    std::wstring text = L"unchanged";
    EXPECT_FALSE(GetClipboardText(text));
    EXPECT_EQ(text, L"unchanged");
}

// Runs clipboard_holder.exe (beside this program) and waits until it is in place.
class Holder {
public:
    Holder(const std::string& mode, const std::string& argument) {
        std::string tag = std::to_string(GetCurrentProcessId()) + "_" + std::to_string(++s_count);
        std::string readyName = "SelvaneReady_" + tag;
        std::string quitName = "SelvaneQuit_" + tag;
        m_ready = CreateEventA(nullptr, TRUE, FALSE, readyName.c_str());
        m_quit = CreateEventA(nullptr, TRUE, FALSE, quitName.c_str());
        char path[MAX_PATH];
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string exe(path);
        exe = exe.substr(0, exe.find_last_of("\\/") + 1) + "clipboard_holder.exe";
        std::string command = "\"" + exe + "\" " + mode + " " + readyName + " " +
                              (mode == "delayed" ? quitName : argument);
        STARTUPINFOA startup = {};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION info = {};
        if (CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &info)) {
            m_process = info.hProcess;
            m_processId = info.dwProcessId;
            CloseHandle(info.hThread);
            HANDLE waits[] = {m_ready, m_process};
            m_inPlace = WaitForMultipleObjects(2, waits, FALSE, 10000) == WAIT_OBJECT_0;
        }
    }
    ~Holder() {
        SetEvent(m_quit);
        if (m_process) {
            WaitForSingleObject(m_process, 10000);
            CloseHandle(m_process);
        }
        CloseHandle(m_ready);
        CloseHandle(m_quit);
    }
    bool InPlace() const { return m_inPlace; }
    DWORD ProcessId() const { return m_processId; }
    bool Finish() { return WaitForSingleObject(m_process, 10000) == WAIT_OBJECT_0; }

private:
    static int s_count;
    HANDLE m_ready = nullptr;
    HANDLE m_quit = nullptr;
    HANDLE m_process = nullptr;
    DWORD m_processId = 0;
    bool m_inPlace = false;
};
int Holder::s_count = 0;

// Longer than any retry window, short enough for a test.
const char kHoldThroughout[] = "1500";
const char kHoldBriefly[] = "60";

TEST(ClipboardBusy, HeldThroughoutEachOperationFailsWithOneTrace) {
    SetUnicodeText(L"before");
    std::vector<Held> before = ClipboardContents();
    {
        ClipboardSnapshot snapshot;
        snapshot.entries.emplace_back(CF_TEXT);  // marks "left as it was"
        Holder holder("hold", kHoldThroughout);
        ASSERT_TRUE(holder.InPlace());
        TraceCounter trace;
        bool result = SaveClipboard(snapshot);
        int lines = trace.Lines();
        EXPECT_FALSE(result);
        EXPECT_EQ(lines, 1);
        EXPECT_FALSE(trace.LastLine().empty());
        ASSERT_EQ(snapshot.entries.size(), 1u);
        EXPECT_EQ(snapshot.entries[0].format, static_cast<UINT>(CF_TEXT));
    }
    {
        std::wstring text = L"unchanged";
        Holder holder("hold", kHoldThroughout);
        ASSERT_TRUE(holder.InPlace());
        TraceCounter trace;
        bool result = GetClipboardText(text);
        int lines = trace.Lines();
        EXPECT_FALSE(result);
        EXPECT_EQ(lines, 1);
        EXPECT_FALSE(trace.LastLine().empty());
        EXPECT_EQ(text, L"unchanged");
    }
    {
        ClipboardSnapshot snapshot;
        snapshot.entries.emplace_back(CF_UNICODETEXT);
        snapshot.entries.back().Assign("xxxxxxx", 8);
        Holder holder("hold", kHoldThroughout);
        ASSERT_TRUE(holder.InPlace());
        TraceCounter trace;
        bool result = RestoreClipboard(snapshot);
        int lines = trace.Lines();
        EXPECT_FALSE(result);
        EXPECT_EQ(lines, 1);
        EXPECT_FALSE(trace.LastLine().empty());
        ASSERT_TRUE(holder.Finish());
    }
    EXPECT_TRUE(ClipboardContents() == before);  // nothing was emptied or put back
}

TEST(ClipboardBusy, HeldBrieflyEachOperationSucceedsWithoutTrace) {
    SetUnicodeText(L"briefly held");
    ClipboardSnapshot snapshot;
    {
        Holder holder("hold", kHoldBriefly);
        ASSERT_TRUE(holder.InPlace());
        TraceCounter trace;
        bool result = SaveClipboard(snapshot);
        int lines = trace.Lines();
        EXPECT_TRUE(result);
        EXPECT_EQ(lines, 0);
    }
    {
        std::wstring text;
        Holder holder("hold", kHoldBriefly);
        ASSERT_TRUE(holder.InPlace());
        TraceCounter trace;
        EXPECT_TRUE(GetClipboardText(text));
        EXPECT_EQ(text, L"briefly held");
        EXPECT_EQ(trace.Lines(), 0);
    }
    SetUnicodeText(L"the copied selection");
    {
        Holder holder("hold", kHoldBriefly);
        ASSERT_TRUE(holder.InPlace());
        TraceCounter trace;
        bool result = RestoreClipboard(snapshot);
        int lines = trace.Lines();
        EXPECT_TRUE(result);
        EXPECT_EQ(lines, 0);
    }
    std::wstring text;
    EXPECT_TRUE(GetClipboardText(text));
    EXPECT_EQ(text, L"briefly held");
}

// Formats that yield no data (a delayed one its owner does not render, CF_OWNERDISPLAY)
// cannot be put back by anyone: they are left out of the snapshot, each traced, and the
// rest is kept. The clipboard itself is not touched.
TEST(ClipboardSnapshot, FormatsWithoutDataAreLeftOutAndTraced) {
    Holder holder("delayed", "");
    ASSERT_TRUE(holder.InPlace());
    std::vector<UINT> before = Formats();
    const UINT rendered = RegisterClipboardFormatW(L"SelvaneTestRendered");
    const UINT delayed = RegisterClipboardFormatW(L"SelvaneTestDelayed");
    ASSERT_TRUE(Contains(before, delayed));
    ASSERT_TRUE(Contains(before, CF_OWNERDISPLAY));

    ClipboardSnapshot snapshot;
    TraceCounter trace;
    const bool saved = SaveClipboard(snapshot);
    const int lines = trace.Lines();
    EXPECT_TRUE(saved);
    EXPECT_EQ(lines, 2);
    std::vector<UINT> kept;
    for (const ClipboardEntry& entry : snapshot.entries) kept.push_back(entry.format);
    EXPECT_TRUE(Contains(kept, rendered));
    EXPECT_FALSE(Contains(kept, delayed));
    EXPECT_FALSE(Contains(kept, CF_OWNERDISPLAY));

    EXPECT_EQ(Formats(), before);
    DWORD ownerProcess = 0;
    GetWindowThreadProcessId(GetClipboardOwner(), &ownerProcess);
    EXPECT_EQ(ownerProcess, holder.ProcessId());
}

// Injected key-downs released at the end of a test whatever happens.
class HeldKey {
public:
    explicit HeldKey(WORD key) : m_key(key) { Send(0); }
    ~HeldKey() { Release(); }
    void Release() {
        if (m_down) Send(KEYEVENTF_KEYUP);
    }

private:
    void Send(DWORD flags) {
        INPUT input = {};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = m_key;
        input.ki.dwFlags = flags;
        SendInput(1, &input, sizeof(input));
        m_down = (flags & KEYEVENTF_KEYUP) == 0;
    }
    WORD m_key;
    bool m_down = false;
};

const wchar_t kSelection[] = L"C:\\Selvane test\\selected path";

CTestSource::Options EditSource() {
    CTestSource::Options options;
    options.control = CTestSource::Control::kEdit;
    options.text = kSelection;
    return options;
}

// The copy through the clipboard against a program that copies at once, late, or not at
// all, with either copy key: only what this press's copy put there is read; a press that
// copied nothing leaves the clipboard as it was, sequence number included.
TEST(CopyThroughClipboard, ReadsOnlyWhatThisPressCopied) {
    struct Case {
        const char* what;
        CTestSource::Control control;
        bool selected;
        DWORD delayMs;
        CopyKey key;
        CopyResult result;
    };
    const Case cases[] = {
        {"edit control, CTRL+C", CTestSource::Control::kEdit, true, 0, CopyKey::kC,
         CopyResult::kCopied},
        {"edit control, nothing selected", CTestSource::Control::kEdit, false, 0, CopyKey::kC,
         CopyResult::kNothingCopied},
        {"window, CTRL+C", CTestSource::Control::kNone, true, 0, CopyKey::kC,
         CopyResult::kCopied},
        {"window, CTRL+INSERT", CTestSource::Control::kNone, true, 0, CopyKey::kInsert,
         CopyResult::kCopied},
        {"window copying after 800 ms", CTestSource::Control::kNone, true, 800, CopyKey::kC,
         CopyResult::kCopied},
        {"window, nothing selected", CTestSource::Control::kNone, false, 0, CopyKey::kC,
         CopyResult::kNothingCopied},
    };
    for (const Case& c : cases) {
        CTestSource::Options options;
        options.control = c.control;
        options.text = kSelection;
        options.selected = c.selected;
        options.copyDelayMs = c.delayMs;
        CTestSource source(options);
        ASSERT_TRUE(source.IsForeground()) << c.what;
        SetUnicodeText(L"C:\\old clipboard text");
        const std::vector<Held> before = ClipboardContents();
        const DWORD sequence = GetClipboardSequenceNumber();

        std::wstring text;
        EXPECT_EQ(CopyThroughClipboard(c.key, text, 0), c.result) << c.what;
        const WPARAM other = c.key == CopyKey::kC ? VK_INSERT : 'C';
        EXPECT_FALSE(source.Received(other)) << c.what;
        if (c.result == CopyResult::kCopied) {
            EXPECT_EQ(text, kSelection) << c.what;
            ExpectSameWithMarkers(before, ClipboardContents(), c.what);
        } else {
            EXPECT_EQ(text, L"") << c.what;
            EXPECT_EQ(GetClipboardSequenceNumber(), sequence) << c.what;
        }
    }
}

TEST(CopyKeystroke, WaitsForHeldModifiersAndTheHotkeysKeyThenCopies) {
    CTestSource source(EditSource());
    ASSERT_TRUE(source.IsForeground());
    for (WORD key : {static_cast<WORD>(VK_LWIN), static_cast<WORD>(VK_RCONTROL),
                     static_cast<WORD>(VK_F9)}) {
        SetUnicodeText(L"old clipboard text");
        HeldKey held(key);
        std::atomic<DWORD> releasedAt{0};
        std::thread user([&] {
            Sleep(400);
            releasedAt = GetTickCount();
            held.Release();
        });
        std::wstring text;
        EXPECT_EQ(CopyThroughClipboard(CopyKey::kC, text, VK_F9), CopyResult::kCopied) << key;
        user.join();
        EXPECT_NE(source.CKeyTick(), 0u) << key;
        EXPECT_GE(static_cast<LONG>(source.CKeyTick() - releasedAt), 0) << key;
        EXPECT_FALSE(source.WinDownAtC()) << key;
        EXPECT_EQ(text, kSelection) << key;
        source.Select(0, -1);
    }
}

TEST(CopyKeystroke, GoesOutDespiteAStuckKey) {
    CTestSource source(EditSource());
    ASSERT_TRUE(source.IsForeground());
    HeldKey held(VK_LSHIFT);
    SendCopyKeystroke(CopyKey::kC, 0);
    held.Release();
    EXPECT_TRUE(source.Received('C'));
}

// GDI objects of the process: GetGuiResources where the system counts them; Wine's is a
// stub that answers 0, so there the GDI handle table is walked (Wine accepts a bare index).
// The USER count below only means something where GetGuiResources is real.
DWORD GdiObjects() {
    DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0) return count;
    for (ULONG_PTR index = 1; index < 0x10000; ++index) {
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++count;
    }
    return count;
}

TEST(CopyThroughClipboard, HundredCapturesLeaveObjectCountsAlone) {
    CTestSource editor(EditSource());
    ASSERT_TRUE(editor.IsForeground());
    FillWithEveryKind();
    std::vector<Held> before = ClipboardContents();
    // One capture first: system caches (DCs, fonts, the clipboard's own) settle.
    auto capture = [] {
        std::wstring text;
        return CopyThroughClipboard(CopyKey::kC, text, 0) == CopyResult::kCopied &&
               text == kSelection;
    };
    ASSERT_TRUE(capture());
    DWORD gdi = GdiObjects();
    DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    ASSERT_NE(gdi, 0u);
    int good = 0;
    for (int i = 0; i < 100; ++i) {
        if (capture()) ++good;
        editor.Select(0, -1);
    }
    EXPECT_EQ(good, 100);
    EXPECT_EQ(GdiObjects(), gdi);
    EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS), user);
    ExpectSameWithMarkers(before, ClipboardContents(), "after a hundred captures");
}

// A clipboard listener that opens the clipboard the moment the press's read lets it go, and
// keeps it longer than any put-back would wait. It must find the user's contents already
// back: the read and the put-back are one opening.
TEST(CopyThroughClipboard, PutsBackInTheOpeningOfTheRead) {
    CTestSource source(EditSource());
    ASSERT_TRUE(source.IsForeground());
    // The listener must see the press's opening to grab the clipboard the moment it ends;
    // on a busy machine it may miss one that short, and the press is tried again.
    bool sawRead = false;
    for (int attempt = 0; attempt < 5 && !sawRead; ++attempt) {
        SCOPED_TRACE(attempt);
        SetUnicodeText(L"C:\\old clipboard text");
        const std::vector<Held> before = ClipboardContents();
        const DWORD sequence = GetClipboardSequenceNumber();
        std::atomic<bool> read{false}, grabbed{false}, stop{false};
        std::wstring seen;
        std::thread listener([&] {
            // The copy first (the number moves), then the press's own opening, then ours.
            while (!stop && GetClipboardSequenceNumber() == sequence) Sleep(1);
            while (!stop && !read) read = GetOpenClipboardWindow() == GetDesktopWindow();
            while (!stop && read && !grabbed) grabbed = OpenClipboard(nullptr) != FALSE;
            if (!grabbed) return;
            HANDLE handle = GetClipboardData(CF_UNICODETEXT);
            if (handle != nullptr) {
                seen = static_cast<const wchar_t*>(GlobalLock(handle));
                GlobalUnlock(handle);
            }
            Sleep(kPutBackRetryMs + 300);
            CloseClipboard();
        });
        std::wstring text;
        const CopyResult result = CopyThroughClipboard(CopyKey::kC, text, 0);
        for (int i = 0; i < 300 && !grabbed; ++i) Sleep(10);
        stop = true;
        listener.join();
        EXPECT_EQ(result, CopyResult::kCopied);
        EXPECT_EQ(text, kSelection);
        sawRead = read;
        if (!sawRead) continue;
        ASSERT_TRUE(grabbed);
        EXPECT_EQ(seen, L"C:\\old clipboard text");
        ExpectSameWithMarkers(before, ClipboardContents(), "after the listener");
    }
    ASSERT_TRUE(sawRead) << "the listener never saw the press's opening";
}

// A window of the test that listens to the clipboard, as the main window does.
class WatchWindow {
public:
    WatchWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = Proc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SelvaneTestWatch";
        RegisterClassW(&windowClass);
        m_window = CreateWindowW(L"SelvaneTestWatch", L"watch", WS_OVERLAPPED, 0, 0, 10, 10,
                                 nullptr, nullptr, windowClass.hInstance, nullptr);
        SetWindowLongPtrW(m_window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&watch));
    }
    ~WatchWindow() { watch.Stop(); DestroyWindow(m_window); }
    HWND Window() const { return m_window; }
    // Runs the window's messages until the watch has ended, for at most `ms`.
    void PumpUntilDone(DWORD ms) {
        const DWORD start = GetTickCount();
        while (watch.Watching() && GetTickCount() - start < ms) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        }
    }
    CLateCopyWatch watch;

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* watch = reinterpret_cast<CLateCopyWatch*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (watch != nullptr && message == WM_CLIPBOARDUPDATE) {
            watch->OnClipboardUpdate();
            return 0;
        }
        if (watch != nullptr && message == WM_TIMER && wParam == kLateCopyTimer) {
            watch->Stop();
            return 0;
        }
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    HWND m_window = nullptr;
};

// A program that copies after the press gave up: the user's clipboard comes back, unless the
// user pressed a key or clicked in the meantime; then the copy may be theirs and stays.
TEST(LateCopy, IsUndoneOnlyWithoutInputSinceTheKeys) {
    for (const bool userInput : {false, true}) {
        const char* what = userInput ? "the user typed meanwhile" : "copied 2.5 s after the keys";
        CTestSource::Options options;
        options.text = kSelection;
        options.copyDelayMs = kCopyWaitMs + 1000;
        CTestSource source(options);
        ASSERT_TRUE(source.IsForeground()) << what;
        SetUnicodeText(L"C:\\old clipboard text");
        const std::vector<Held> before = ClipboardContents();
        WatchWindow window;
        LateCopy late;
        late.targetProcess = GetCurrentProcessId();  // the source is this program's window
        std::wstring text;
        ASSERT_EQ(CopyThroughClipboard(CopyKey::kC, text, 0, &late), CopyResult::kNothingCopied)
            << what;
        ASSERT_TRUE(late.armed) << what;
        ASSERT_TRUE(window.watch.Start(window.Window(), std::move(late))) << what;
        if (userInput) {
            HeldKey key(VK_F24);
            key.Release();
        }
        window.PumpUntilDone(kLateCopyWatchMs + 1000);
        EXPECT_FALSE(window.watch.Watching()) << what;
        if (userInput) {
            std::wstring now;
            EXPECT_TRUE(GetClipboardText(now));
            EXPECT_EQ(now, kSelection) << what;
        } else {
            ExpectSameWithMarkers(before, ClipboardContents(), what);
        }
    }
}

}  // namespace

// Times the hotkey press in-process, from WM_HOTKEY sent to the tray window to the end of
// its run: through the clipboard, against a window of a second thread that copies its
// "selection" at once on CTRL+C (with a small clipboard, and with a 32 MB device-independent
// bitmap on it), and read directly from Wine's Notepad. Reports the distribution and the
// copy's own share; compares the 32 MB press with a plain memcpy of the same bytes and with
// the floor: one GetClipboardData plus one SetClipboardData of the same bitmap by bare
// calls, measured in the same runs. Also times the capture's steps, lists what the
// clipboard offers for the bitmap, and samples the working set during one large press.
#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <psapi.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "services/balloon.h"
#include "app/tray_window.h"
#include "capture/clipboard.h"
#include "settings/settings.h"

#include "bench/bench_clock.h"

namespace {

// 4096 x 2048 pixels at 32 bits: 32 MiB of pixels behind the header.
constexpr LONG kDibWidth = 4096;
constexpr LONG kDibHeight = 2048;
// Names nothing on disk and carries a drive: the command ends with its not-found balloon,
// so nothing is started and every run takes the same path.
const wchar_t kMissingPath[] = L"C:\\selvane-bench\\missing\\nothing-here.txt";

HGLOBAL BlockOf(const void* bytes, size_t size);

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Nearest-rank percentile.
double Percentile(std::vector<double> values, double share) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    size_t rank = static_cast<size_t>(share * static_cast<double>(values.size()) + 0.999999);
    if (rank < 1) rank = 1;
    return values[std::min(rank, values.size()) - 1];
}

// "label median p90 max" of a series.
void PrintDistribution(const char* key, const char* label, const std::vector<double>& values) {
    wprintf(L"%hs %hs %.2f p90=%.2f max=%.2f runs=%zu\n", key, label, Median(values),
            Percentile(values, 0.9), values.empty() ? 0.0 : *std::max_element(values.begin(),
                                                                              values.end()),
            values.size());
}

// A user presses the hotkey in a window that was in front and idle for a while: its
// activation and repainting are over before the press is timed.
bool BringToFront(HWND window) {
    SetForegroundWindow(window);
    for (int i = 0; i < 200 && GetForegroundWindow() != window; ++i) Sleep(5);
    SendMessageW(window, WM_NULL, 0, 0);
    Sleep(50);
    return GetForegroundWindow() == window;
}

// A program's window, run by a second thread: it holds a "selection" (the text the bench
// uses) that is no edit control's, and copies it on CTRL+C at once, as a responsive browser
// or editor does. It notes when the key arrived and when its copy was done.
class CBenchSource {
public:
    explicit CBenchSource(const wchar_t* text) : m_text(text) {
        m_ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_thread = std::thread([this] { Run(); });
        WaitForSingleObject(m_ready, 10000);
    }
    ~CBenchSource() {
        PostMessageW(m_window, WM_CLOSE, 0, 0);
        m_thread.join();
        CloseHandle(m_ready);
    }
    // Brings the window to the front, lets it settle and forgets the last copy.
    bool Front() {
        m_keyMs = m_copiedMs = 0;
        return BringToFront(m_window);
    }
    double KeyMs() const { return m_keyMs; }
    double CopiedMs() const { return m_copiedMs; }

private:
    void Run() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"SelvaneBenchSource";
        RegisterClassW(&windowClass);
        m_window = CreateWindowW(L"SelvaneBenchSource", L"bench source", WS_OVERLAPPEDWINDOW, 0,
                                 0, 300, 100, nullptr, nullptr, windowClass.hInstance, nullptr);
        ShowWindow(m_window, SW_SHOW);
        SetEvent(m_ready);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_KEYDOWN && msg.wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
                m_keyMs = NowMs();
                if (OpenClipboard(m_window)) {
                    EmptyClipboard();
                    SetClipboardData(CF_UNICODETEXT,
                                     BlockOf(m_text, (wcslen(m_text) + 1) * sizeof(wchar_t)));
                    CloseClipboard();
                }
                m_copiedMs = NowMs();
            }
            if (msg.message == WM_CLOSE) break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        DestroyWindow(m_window);
    }

    const wchar_t* m_text;
    HANDLE m_ready = nullptr;
    std::thread m_thread;
    HWND m_window = nullptr;
    std::atomic<double> m_keyMs{0}, m_copiedMs{0};
};

// The hotkey message as the system posts it for CTRL+WIN+O, handled by the tray window.
void PressHotkey(HWND tray) {
    SendMessageW(tray, WM_HOTKEY, 0, MAKELPARAM(MOD_CONTROL | MOD_WIN, 'O'));
}

HGLOBAL BlockOf(const void* bytes, size_t size) {
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!block) return nullptr;
    void* address = GlobalLock(block);
    if (!address) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(address, bytes, size);
    GlobalUnlock(block);
    return block;
}

std::vector<unsigned char> MakeDib() {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = kDibWidth;
    header.biHeight = kDibHeight;
    header.biPlanes = 1;
    header.biBitCount = 32;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(kDibWidth * kDibHeight * 4);
    std::vector<unsigned char> dib(sizeof(header) + header.biSizeImage);
    std::memcpy(dib.data(), &header, sizeof(header));
    for (size_t i = sizeof(header); i < dib.size(); ++i) {
        dib[i] = static_cast<unsigned char>(i * 131u >> 3);
    }
    return dib;
}

// Time of the last SetClipboardData of the bitmap: what handing 32 MB to the clipboard
// costs by itself.
double g_lastPutMs = 0;

// Puts the text (and the bitmap, when given) on the clipboard as a copying program would,
// then lets clipboard listeners (Wine's X11 bridge) finish reacting to the change: a
// user's copy happened long before the hotkey.
bool FillClipboard(const std::vector<unsigned char>* dib) {
    if (!OpenClipboard(nullptr)) return false;
    EmptyClipboard();
    bool ok = true;
    HGLOBAL text = BlockOf(kMissingPath, sizeof(kMissingPath));
    if (!text || !SetClipboardData(CF_UNICODETEXT, text)) ok = false;
    if (dib) {
        HGLOBAL bits = BlockOf(dib->data(), dib->size());
        double t0 = NowMs();
        if (!bits || !SetClipboardData(CF_DIB, bits)) ok = false;
        g_lastPutMs = NowMs() - t0;
    }
    CloseClipboard();
    Sleep(300);
    return ok;
}

void PumpMessages() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

std::wstring FormatName(UINT format) {
    static const struct {
        UINT id;
        const wchar_t* name;
    } kStandard[] = {
        {CF_TEXT, L"CF_TEXT"},   {CF_BITMAP, L"CF_BITMAP"},           {CF_OEMTEXT, L"CF_OEMTEXT"},
        {CF_DIB, L"CF_DIB"},     {CF_UNICODETEXT, L"CF_UNICODETEXT"}, {CF_LOCALE, L"CF_LOCALE"},
        {CF_DIBV5, L"CF_DIBV5"}, {CF_PALETTE, L"CF_PALETTE"}};
    for (const auto& f : kStandard) {
        if (f.id == format) return f.name;
    }
    wchar_t name[128] = L"";
    if (GetClipboardFormatNameW(format, name, 128) > 0) return name;
    return std::to_wstring(format);
}

// What the clipboard offers for the bitmap and what each format costs to fetch. The
// formats not put there by FillClipboard are synthesised by the system on request.
void DescribeClipboard(const char* label) {
    if (!OpenClipboard(nullptr)) return;
    for (UINT format = EnumClipboardFormats(0); format; format = EnumClipboardFormats(format)) {
        double t0 = NowMs();
        HANDLE handle = GetClipboardData(format);
        double t1 = NowMs();
        unsigned long long size = 0;
        if (handle && format != CF_BITMAP && format != CF_PALETTE) size = GlobalSize(handle);
        wprintf(L"format %hs %ls bytes=%llu fetch_ms=%.2f\n", label, FormatName(format).c_str(),
                size, t1 - t0);
    }
    CloseClipboard();
}

// The floor any saving program pays under this system: with the bitmap on the clipboard
// (placed by FillClipboard), one GetClipboardData of it and one SetClipboardData of a
// block holding the same bytes, by bare calls. The copy between the two is timed apart:
// the clipboard frees its own block when it is emptied, so a program must make one.
struct Floor {
    double getMs = 0, copyMs = 0, setMs = 0;
};

bool MeasureFloor(Floor& floor) {
    if (!OpenClipboard(nullptr)) return false;
    double t0 = NowMs();
    HANDLE handle = GetClipboardData(CF_DIB);
    double t1 = NowMs();
    HGLOBAL copy = nullptr;
    if (handle) {
        const void* bytes = GlobalLock(handle);
        if (bytes) copy = BlockOf(bytes, GlobalSize(handle));
        GlobalUnlock(handle);
    }
    double t2 = NowMs();
    EmptyClipboard();
    double t3 = NowMs();
    bool ok = copy && SetClipboardData(CF_DIB, copy);
    double t4 = NowMs();
    if (!ok && copy) GlobalFree(copy);
    CloseClipboard();
    floor.getMs = t1 - t0;
    floor.copyMs = t2 - t1;
    floor.setMs = t4 - t3;
    return ok;
}

size_t WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return counters.WorkingSetSize;
}

// Highest working set seen while `work` runs, sampled every millisecond or so by a second
// thread, less the working set just before.
template <typename Work>
size_t PeakGrowthDuring(Work work) {
    const size_t before = WorkingSet();
    std::atomic<bool> done{false};
    std::atomic<size_t> peak{before};
    std::thread sampler([&] {
        while (!done) {
            size_t now = WorkingSet();
            if (now > peak) peak = now;
            Sleep(1);
        }
    });
    work();
    done = true;
    sampler.join();
    return peak > before ? peak - before : 0;
}

struct Case {
    const char* label;
    const std::vector<unsigned char>* dib;
};

// Presses the hotkey `runs` times with Notepad in front, all of its text (the bench's path)
// selected; checks that no press touched the clipboard.
bool PressInNotepad(HWND tray, int runs) {
    wchar_t folder[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, folder);
    const std::wstring file = std::wstring(folder) + L"selvane-bench-notepad.txt";
    HANDLE handle = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    const wchar_t bom = 0xFEFF;
    DWORD written = 0;
    WriteFile(handle, &bom, sizeof(bom), &written, nullptr);
    WriteFile(handle, kMissingPath, static_cast<DWORD>(wcslen(kMissingPath) * sizeof(wchar_t)),
              &written, nullptr);
    CloseHandle(handle);

    std::wstring command = L"notepad.exe \"" + file + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        fwprintf(stderr, L"cannot start Notepad\n");
        return false;
    }
    HWND notepad = nullptr, edit = nullptr;
    for (int i = 0; i < 2000 && edit == nullptr; ++i) {
        notepad = FindWindowW(L"Notepad", nullptr);
        if (notepad != nullptr && IsWindowVisible(notepad)) {
            edit = FindWindowExW(notepad, nullptr, L"Edit", nullptr);
        }
        if (edit == nullptr) Sleep(10);
    }
    bool ok = edit != nullptr;
    std::vector<double> times;
    int touched = 0;
    FillClipboard(nullptr);
    for (int i = 0; ok && i < runs; ++i) {
        SendMessageW(edit, EM_SETSEL, 0, -1);
        BringToFront(notepad);
        const DWORD sequence = GetClipboardSequenceNumber();
        const double t0 = NowMs();
        PressHotkey(tray);
        times.push_back(NowMs() - t0);
        if (GetClipboardSequenceNumber() != sequence) ++touched;
        PumpMessages();
    }
    if (ok) {
        PrintDistribution("press_ms", "notepad", times);
        wprintf(L"notepad_presses_that_touched_the_clipboard %d\n", touched);
    } else {
        fwprintf(stderr, L"Notepad's window did not show\n");
    }
    if (notepad != nullptr) PostMessageW(notepad, WM_CLOSE, 0, 0);
    WaitForSingleObject(process.hProcess, 10000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    DeleteFileW(file.c_str());
    fflush(stdout);
    return ok;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int smallRuns = argc > 1 ? _wtoi(argv[1]) : 15;
    int largeRuns = argc > 2 ? _wtoi(argv[2]) : 7;

    // The icon cannot be added before the shell's tray exists (Wine starts it on demand).
    for (int i = 0; i < 1000 && !FindWindowW(L"Shell_TrayWnd", nullptr); ++i) Sleep(10);

    CTrayWindow tray;
    // No options window on this object's start: the bench's own prefix is always "new".
    WriteSetting(std::string("FirstLaunch"), false);
    // The stand-in source window is a thread of this process: not Selvane's own window.
    tray.m_opener.SetOwnProcess(0);
    if (!tray.Create()) {
        fwprintf(stderr, L"cannot create the tray window\n");
        return 1;
    }
    PumpMessages();

    const std::vector<unsigned char> dib = MakeDib();
    const size_t dibBytes = dib.size();

    // The copies the capture must make: the bitmap saved once and put back once.
    {
        std::vector<unsigned char> source(dib), middle(dibBytes), target(dibBytes);
        std::vector<double> memcpys;
        for (int i = 0; i < 9; ++i) {
            double t0 = NowMs();
            std::memcpy(middle.data(), source.data(), dibBytes);
            std::memcpy(target.data(), middle.data(), dibBytes);
            memcpys.push_back(NowMs() - t0);
        }
        const double memcpyMs = Median(memcpys);
        wprintf(L"memcpy_2x_ms %.2f bytes=%llu\n", memcpyMs,
                static_cast<unsigned long long>(dibBytes));
        // The same with fresh global blocks, as a snapshot and a restore allocate them.
        std::vector<double> fresh;
        for (int i = 0; i < 9; ++i) {
            double t0 = NowMs();
            for (int k = 0; k < 2; ++k) {
                HGLOBAL block = BlockOf(source.data(), dibBytes);
                GlobalFree(block);
            }
            fresh.push_back(NowMs() - t0);
        }
        wprintf(L"memcpy_fresh_2x_ms %.2f\n", Median(fresh));
    }

    // The system calls of the decision and the balloon, for the text the runs use.
    {
        std::vector<double> canon, attrs, url, balloon;
        for (int i = 0; i < 9; ++i) {
            wchar_t buffer[MAX_PATH];
            double t0 = NowMs();
            PathCanonicalizeW(buffer, kMissingPath);
            double t1 = NowMs();
            GetFileAttributesW(kMissingPath);
            double t2 = NowMs();
            IsValidURL(nullptr, kMissingPath, 0);
            double t3 = NowMs();
            ShowBalloon(tray.m_notifyIconData, L"bench", L"Selvane", 500);
            double t4 = NowMs();
            canon.push_back(t1 - t0);
            attrs.push_back(t2 - t1);
            url.push_back(t3 - t2);
            balloon.push_back(t4 - t3);
            PumpMessages();
        }
        wprintf(L"call_ms PathCanonicalizeW %.3f\ncall_ms GetFileAttributesW %.3f\n", Median(canon),
                Median(attrs));
        wprintf(L"call_ms IsValidURL %.3f\ncall_ms ShowBalloon %.3f\n", Median(url),
                Median(balloon));
    }
    fflush(stdout);

    CBenchSource source(kMissingPath);
    const Case cases[] = {{"small", nullptr}, {"large", &dib}};
    for (const Case& c : cases) {
        int runs = c.dib ? largeRuns : smallRuns;
        if (!FillClipboard(c.dib)) {
            fwprintf(stderr, L"cannot fill the clipboard\n");
            return 1;
        }
        DescribeClipboard(c.label);

        std::vector<double> whole, save, read, restore, put, floorGet, floorCopy, floorSet;
        std::vector<double> toKey, copy, afterCopy;
        size_t savedBytes = 0, savedObjects = 0, savedFormats = 0;
        for (int i = 0; i < runs; ++i) {
            if (c.dib) {
                // The floor, in the same run as the command, so that both see the same load.
                FillClipboard(c.dib);
                Floor floor;
                if (!MeasureFloor(floor)) {
                    fwprintf(stderr, L"cannot measure the floor\n");
                    return 1;
                }
                floorGet.push_back(floor.getMs);
                floorCopy.push_back(floor.copyMs);
                floorSet.push_back(floor.setMs);
            }
            // The capture's steps one by one (without the keystroke and its pauses).
            FillClipboard(c.dib);
            put.push_back(g_lastPutMs);
            ClipboardSnapshot snapshot;
            double t0 = NowMs();
            bool saved = SaveClipboard(snapshot);
            double t1 = NowMs();
            // What the snapshot holds, counted before the restore hands it over.
            savedBytes = savedObjects = 0;
            savedFormats = snapshot.entries.size();
            for (const ClipboardEntry& e : snapshot.entries) {
                savedBytes += e.Size();
                if (e.object) ++savedObjects;
            }
            std::wstring text;
            GetClipboardText(text);
            double t2 = NowMs();
            RestoreClipboard(snapshot);
            double t3 = NowMs();
            if (!saved || text != kMissingPath) {
                fwprintf(stderr, L"capture did not see the clipboard\n");
                return 1;
            }
            save.push_back(t1 - t0);
            read.push_back(t2 - t1);
            restore.push_back(t3 - t2);

            // The whole press, from the hotkey message, against the window that copies.
            FillClipboard(c.dib);
            PumpMessages();
            if (!source.Front()) {
                fwprintf(stderr, L"the source window did not come to the front\n");
                return 1;
            }
            double w0 = NowMs();
            PressHotkey(tray.m_hWnd);
            double w1 = NowMs();
            if (source.CopiedMs() == 0) {
                fwprintf(stderr, L"the source window did not copy\n");
                return 1;
            }
            whole.push_back(w1 - w0);
            toKey.push_back(source.KeyMs() - w0);
            copy.push_back(source.CopiedMs() - source.KeyMs());
            afterCopy.push_back(w1 - source.CopiedMs());
            PumpMessages();
        }
        // Nothing to take away any more: the press waits for the copy, not for a clock.
        PrintDistribution("press_ms", c.label, whole);
        wprintf(L"overhead_ms %hs %.2f\n", c.label, Median(whole));
        // Where a press's time goes: to the key's arrival in the window (the modifier check
        // and the gaps between the key events), the window's own copy, and after it (the
        // look at the sequence number, the read, the put-back, the decision, the balloon).
        wprintf(L"press_share_ms %hs to_key=%.2f copy=%.2f after_copy=%.2f\n", c.label,
                Median(toKey), Median(copy), Median(afterCopy));
        wprintf(L"save_ms %hs %.2f\nread_ms %hs %.2f\nrestore_ms %hs %.2f\n", c.label, Median(save),
                c.label, Median(read), c.label, Median(restore));
        if (c.dib) {
            wprintf(L"set_clipboard_data_dib_ms %.2f\n", Median(put));
            // Medians of each part, and the median of the per-run sums.
            std::vector<double> sums;
            for (size_t k = 0; k < floorGet.size(); ++k) sums.push_back(floorGet[k] + floorSet[k]);
            wprintf(L"floor_get_ms %hs %.2f\nfloor_set_ms %hs %.2f\nfloor_copy_ms %hs %.2f\n",
                    c.label, Median(floorGet), c.label, Median(floorSet), c.label,
                    Median(floorCopy));
            wprintf(L"floor_ms %hs %.2f\n", c.label, Median(sums));
            // One more press, its working set sampled: what the capture holds at its peak.
            FillClipboard(c.dib);
            PumpMessages();
            source.Front();
            size_t growth = PeakGrowthDuring([&] { PressHotkey(tray.m_hWnd); });
            PumpMessages();
            // The same for the save alone: where the peak is reached.
            FillClipboard(c.dib);
            ClipboardSnapshot held;
            size_t saveGrowth = PeakGrowthDuring([&] { SaveClipboard(held); });
            RestoreClipboard(held);
            wprintf(L"save_peak_mb %hs %.1f\n", c.label, saveGrowth / 1048576.0);
            wprintf(L"press_peak_mb %hs %.1f\nblock_mb %hs %.1f\n", c.label, growth / 1048576.0,
                    c.label, dibBytes / 1048576.0);
            wprintf(L"press_peak_blocks %hs %.2f\n", c.label,
                    static_cast<double>(growth) / static_cast<double>(dibBytes));
        }
        wprintf(L"snapshot %hs formats=%zu bytes=%zu objects=%zu\n", c.label, savedFormats,
                savedBytes, savedObjects);
        fflush(stdout);
    }
    // The press in Wine's Notepad: its text box is an edit control, read directly.
    if (!PressInNotepad(tray.m_hWnd, smallRuns)) return 1;

    DestroyWindow(tray.m_hWnd);
    PumpMessages();
    return 0;
}

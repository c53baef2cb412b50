// Times the bases of a relative path on the product's own code, with many processes
// running: a "terminal" process with a window titled with a document's path starts
// COUNT idle processes and, last, a "shell" working in a project folder. Each round opens
// "src\notes.txt" (found in the shell's folder) and "src\missing.txt" (found nowhere) through
// the decision, from the first base asked to the outcome, against that window; nothing is
// launched. Prints the distribution in milliseconds.
//   bench_relative_bases.exe [COUNT]      (under Wine; COUNT defaults to 200)
#include <windows.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "bench/bench_clock.h"
#include "opener/open_decision.h"
#include "opener/open_platform_win.h"
#include "opener/process_folders_win.h"

namespace {

constexpr int kRounds = 101;
const wchar_t kReadyTitle[] = L"selvane bench terminal ready";

bool Start(const std::wstring& arguments, const std::wstring& folder) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process)) {
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

// The terminal: its window, its idle processes, its shell; lives until the bench ends.
int Terminal(int count, const std::wstring& idle, const std::wstring& shell, DWORD bench) {
    HWND window = CreateWindowW(L"STATIC", L"starting", WS_OVERLAPPEDWINDOW, 0, 0, 300, 100,
                                nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    const std::wstring wait = L"--idle " + std::to_wstring(GetCurrentProcessId());
    for (int i = 0; i < count; ++i) {
        if (!Start(wait, idle)) return 1;
    }
    if (!Start(wait, shell)) return 1;
    SetWindowTextW(window, kReadyTitle);
    HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, bench);
    while (parent != nullptr && MsgWaitForMultipleObjects(1, &parent, FALSE, INFINITE,
                                                          QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
    return 0;
}

// The product's platform, but nothing is opened.
class CNoLaunchPlatform : public CWin32OpenPlatform {
public:
    explicit CNoLaunchPlatform(HWND foreground) : CWin32OpenPlatform(nullptr, foreground) {}
    bool RunShellVerb(const wchar_t*, const wchar_t* target) override {
        last = target;
        return true;
    }
    bool StartProgram(const wchar_t*, const wchar_t* commandLine) override {
        last = commandLine;
        return true;
    }
    bool ShowInFolder(const wchar_t* path) override {
        last = path;
        return true;
    }
    std::wstring last;
};

void Report(const char* label, std::vector<double> times) {
    std::sort(times.begin(), times.end());
    auto at = [&times](double share) {
        return times[static_cast<size_t>(share * static_cast<double>(times.size() - 1))];
    };
    std::printf("relative %-22s median %7.3f  min %7.3f  p10 %7.3f  p90 %7.3f  max %7.3f ms\n",
                label, at(0.5), times.front(), at(0.1), at(0.9), times.back());
}

void MakeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"--idle") == 0) {
        HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, std::wcstoul(argv[2], nullptr, 10));
        if (parent != nullptr) WaitForSingleObject(parent, INFINITE);
        return 0;
    }
    if (argc == 6 && std::wcscmp(argv[1], L"--terminal") == 0) {
        return Terminal(_wtoi(argv[2]), argv[3], argv[4], std::wcstoul(argv[5], nullptr, 10));
    }
    const int count = argc > 1 ? _wtoi(argv[1]) : 200;
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring root = std::wstring(temp) + L"selvane-relative-bench";
    const std::wstring idle = root + L"\\idle", shell = root + L"\\shell", doc = root + L"\\doc";
    for (const std::wstring& folder : {root, idle, shell, shell + L"\\src", doc}) {
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    MakeFile(shell + L"\\src\\notes.txt");
    MakeFile(doc + L"\\report.txt");

    const double started = NowMs();
    if (!Start(L"--terminal " + std::to_wstring(count) + L" \"" + idle + L"\" \"" + shell +
                   L"\" " + std::to_wstring(GetCurrentProcessId()),
               root)) {
        std::printf("could not start the terminal\n");
        return 1;
    }
    HWND terminal = nullptr;
    while ((terminal = FindWindowW(L"STATIC", kReadyTitle)) == nullptr) {
        if (NowMs() - started > 600000) return 1;
        Sleep(100);
    }
    std::printf("relative %d idle processes started in %.0f ms\n", count, NowMs() - started);
    // The document's path in the title, as editors show it.
    SetWindowTextW(terminal, (doc + L"\\report.txt - Editor").c_str());

    {
        // The parts: a toolhelp snapshot (what the list of processes could be had from),
        // the one system question it is made from, the descendants, one process's folder.
        DWORD id = 0;
        GetWindowThreadProcessId(terminal, &id);
        using QuerySystem = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
        const auto query = reinterpret_cast<QuerySystem>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
        std::vector<unsigned char> buffer(1u << 20);
        std::vector<double> snapshot, list, descendants, one;
        for (int round = 0; round < 21; ++round) {
            double t = NowMs();
            HANDLE h = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            PROCESSENTRY32W entry = {};
            entry.dwSize = sizeof(entry);
            for (BOOL more = Process32FirstW(h, &entry); more; more = Process32NextW(h, &entry)) {
            }
            CloseHandle(h);
            snapshot.push_back(NowMs() - t);
            t = NowMs();
            ULONG length = 0;
            query(5, buffer.data(), static_cast<ULONG>(buffer.size()), &length);
            list.push_back(NowMs() - t);
            t = NowMs();
            DescendantCurrentFolders(id, 16);
            descendants.push_back(NowMs() - t);
            t = NowMs();
            std::wstring folder;
            ProcessCurrentFolder(id, folder);
            one.push_back(NowMs() - t);
        }
        Report("toolhelp snapshot", snapshot);
        Report("process list", list);
        Report("descendants", descendants);
        Report("one process's folder", one);
    }
    CNoLaunchPlatform platform(terminal);
    const struct {
        const char* label;
        const wchar_t* text;
    } cases[] = {{"found in the shell", L"src\\notes.txt"}, {"found nowhere", L"src\\missing.txt"}};
    for (const auto& c : cases) {
        std::vector<double> times;
        OpenOutcome outcome = OpenOutcome::kNothing;
        for (int round = 0; round < kRounds; ++round) {
            std::wstring text = c.text;
            const double start = NowMs();
            outcome = OpenText(text, platform);
            times.push_back(NowMs() - start);
        }
        std::printf("relative %-22s outcome %d, last %ls\n", c.label, static_cast<int>(outcome),
                    platform.last.c_str());
        Report(c.label, times);
    }
    return 0;
}

// The error trace, observed from outside: its system calls are counted by rerouting this
// program's own import table, and what it writes is read back by a real debugger loop
// around a child process.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstring>
#include <string>
#include <vector>

#include "res/trace.h"

namespace {

// The import-table slot through which this program calls `function` of `dll`.
void** FindImportSlot(const char* dll, const char* function) {
    auto base = reinterpret_cast<BYTE*>(GetModuleHandleW(nullptr));
    auto dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    auto desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
    for (; desc->Name != 0; ++desc) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), dll) != 0) continue;
        auto names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
        auto slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

void* SwapSlot(void** slot, void* replacement) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return previous;
}

struct FormatCall {
    DWORD flags;
    const void* source;
    DWORD id;
    DWORD language;
    DWORD size;
    va_list* arguments;
    DWORD result;
    char* buffer;
};

// What the trace asked of the system while a Recorder was alive.
struct Record {
    std::vector<FormatCall> formats;
    std::vector<HLOCAL> frees;
    std::vector<std::string> outputs;
};
Record* g_record = nullptr;
decltype(&FormatMessageA) g_formatMessage = nullptr;
decltype(&LocalFree) g_localFree = nullptr;
decltype(&OutputDebugStringA) g_outputDebugString = nullptr;

DWORD WINAPI RecordFormatMessageA(DWORD flags, LPCVOID source, DWORD id, DWORD language,
                                  LPSTR buffer, DWORD size, va_list* arguments) {
    DWORD result = g_formatMessage(flags, source, id, language, buffer, size, arguments);
    g_record->formats.push_back(
        {flags, source, id, language, size, arguments, result, *reinterpret_cast<char**>(buffer)});
    return result;
}

HLOCAL WINAPI RecordLocalFree(HLOCAL memory) {
    g_record->frees.push_back(memory);
    return g_localFree(memory);
}

void WINAPI RecordOutputDebugStringA(LPCSTR text) {
    g_record->outputs.push_back(text);
    g_outputDebugString(text);
}

class Recorder {
public:
    Recorder() {
        g_record = &record;
        formatSlot_ = FindImportSlot("kernel32.dll", "FormatMessageA");
        freeSlot_ = FindImportSlot("kernel32.dll", "LocalFree");
        outputSlot_ = FindImportSlot("kernel32.dll", "OutputDebugStringA");
        if (!formatSlot_ || !freeSlot_ || !outputSlot_) return;
        g_formatMessage = reinterpret_cast<decltype(g_formatMessage)>(
            SwapSlot(formatSlot_, reinterpret_cast<void*>(&RecordFormatMessageA)));
        g_localFree = reinterpret_cast<decltype(g_localFree)>(
            SwapSlot(freeSlot_, reinterpret_cast<void*>(&RecordLocalFree)));
        g_outputDebugString = reinterpret_cast<decltype(g_outputDebugString)>(
            SwapSlot(outputSlot_, reinterpret_cast<void*>(&RecordOutputDebugStringA)));
    }
    ~Recorder() {
        if (g_formatMessage) SwapSlot(formatSlot_, reinterpret_cast<void*>(g_formatMessage));
        if (g_localFree) SwapSlot(freeSlot_, reinterpret_cast<void*>(g_localFree));
        if (g_outputDebugString)
            SwapSlot(outputSlot_, reinterpret_cast<void*>(g_outputDebugString));
        g_record = nullptr;
    }
    bool Installed() const { return g_formatMessage && g_localFree && g_outputDebugString; }

    Record record;

private:
    void** formatSlot_ = nullptr;
    void** freeSlot_ = nullptr;
    void** outputSlot_ = nullptr;
};

// The system's own text for `code`, as an independent reference.
std::string SystemText(DWORD code) {
    char* buffer = nullptr;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(&buffer),
        0, nullptr);
    std::string text = length ? std::string(buffer, length) : std::string();
    LocalFree(buffer);
    return text;
}

// An error code from the customer range: the system has no text for it.
const DWORD kNoMessageCode = 0x20000123;

TEST(FormatLastError, ZeroGivesEmptyTextWithoutAskingTheSystem) {
    Recorder recorder;
    ASSERT_TRUE(recorder.Installed());
    SetLastError(0);
    std::string text = FormatLastError();
    EXPECT_EQ(text, "");
    EXPECT_TRUE(recorder.record.formats.empty());
    EXPECT_EQ(GetLastError(), 0u);

    // The empty text is still written.
    EXPECT_FALSE(TraceLastError());
    EXPECT_TRUE(recorder.record.formats.empty());
    ASSERT_EQ(recorder.record.outputs.size(), 1u);
    EXPECT_EQ(recorder.record.outputs[0], "");
}

TEST(FormatLastError, SystemTextExactlyAsProduced) {
    std::string expected = SystemText(ERROR_ACCESS_DENIED);
    ASSERT_GT(expected.size(), 2u);

    Recorder recorder;
    ASSERT_TRUE(recorder.Installed());
    SetLastError(ERROR_ACCESS_DENIED);
    std::string text = FormatLastError();
    EXPECT_EQ(text, expected);  // nothing in front, nothing trimmed
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));

    ASSERT_EQ(recorder.record.formats.size(), 1u);
    const FormatCall& call = recorder.record.formats[0];
    EXPECT_EQ(call.flags, 0x1300u);
    EXPECT_EQ(call.source, nullptr);
    EXPECT_EQ(call.id, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(call.language, 0x0400u);
    EXPECT_EQ(call.size, 0u);
    EXPECT_EQ(call.arguments, nullptr);
    // The system's buffer is released, exactly once.
    ASSERT_EQ(recorder.record.frees.size(), 1u);
    EXPECT_EQ(recorder.record.frees[0], call.buffer);
}

TEST(FormatLastError, CodeWithoutMessageGivesEmptyTextAndKeepsTheCode) {
    ASSERT_EQ(SystemText(kNoMessageCode), "");

    Recorder recorder;
    ASSERT_TRUE(recorder.Installed());
    SetLastError(kNoMessageCode);
    EXPECT_EQ(FormatLastError(), "");
    ASSERT_EQ(recorder.record.formats.size(), 1u);
    EXPECT_EQ(recorder.record.formats[0].result, 0u);
    // LocalFree runs even for the null pointer of a failed call.
    ASSERT_EQ(recorder.record.frees.size(), 1u);
    EXPECT_EQ(recorder.record.frees[0], nullptr);
    // The failed FormatMessageA must not leave its own error behind: callers test the
    // last error again after tracing it.
    EXPECT_EQ(GetLastError(), kNoMessageCode);

    EXPECT_FALSE(TraceLastError());
    ASSERT_EQ(recorder.record.outputs.size(), 1u);
    EXPECT_EQ(recorder.record.outputs[0], "");
    EXPECT_EQ(GetLastError(), kNoMessageCode);
}

TEST(TraceLastError, WritesTheTextOnceAndReturnsFalse) {
    Recorder recorder;
    ASSERT_TRUE(recorder.Installed());
    SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(TraceLastError());
    ASSERT_EQ(recorder.record.outputs.size(), 1u);
    EXPECT_EQ(recorder.record.outputs[0], SystemText(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

// Run only as the child of the test below, under its debugger.
TEST(TraceChild, DISABLED_EmitTraces) {
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(TraceLastError());
    SetLastError(0);
    EXPECT_FALSE(TraceLastError());
}

// Starts this program again as `TraceChild` under a debug loop and returns every debug
// string it wrote; `exitCode` receives the child's exit code.
bool DebugChild(std::vector<std::string>* strings, DWORD* exitCode) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(path) +
                           L"\" --gtest_also_run_disabled_tests "
                           L"--gtest_filter=TraceChild.DISABLED_EmitTraces";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE nul =
        CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = nul;
    si.hStdOutput = nul;
    si.hStdError = nul;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, DEBUG_ONLY_THIS_PROCESS,
                        nullptr, nullptr, &si, &pi)) {
        CloseHandle(nul);
        return false;
    }
    CloseHandle(nul);

    bool running = true;
    while (running) {
        DEBUG_EVENT event = {};
        if (!WaitForDebugEvent(&event, 60000)) break;
        DWORD status = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
            case CREATE_PROCESS_DEBUG_EVENT:
                if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
                break;
            case LOAD_DLL_DEBUG_EVENT:
                if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
                break;
            case OUTPUT_DEBUG_STRING_EVENT: {
                const OUTPUT_DEBUG_STRING_INFO& info = event.u.DebugString;
                std::string text(info.nDebugStringLength, '\0');
                SIZE_T read = 0;
                ReadProcessMemory(pi.hProcess, info.lpDebugStringData, &text[0], text.size(),
                                  &read);
                text.resize(read);
                // The length counts the terminating NUL.
                if (!text.empty() && text.back() == '\0') text.pop_back();
                strings->push_back(text);
                break;
            }
            case EXCEPTION_DEBUG_EVENT:
                // The loader's initial breakpoint is ours to swallow; anything else is the
                // child's own business.
                if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                    status = DBG_EXCEPTION_NOT_HANDLED;
                break;
            case EXIT_PROCESS_DEBUG_EVENT:
                *exitCode = event.u.ExitProcess.dwExitCode;
                running = false;
                break;
        }
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
    }
    if (running) TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return !running;
}

TEST(TraceLastError, TextReachesTheDebugger) {
    std::vector<std::string> strings;
    DWORD exitCode = 1;
    ASSERT_TRUE(DebugChild(&strings, &exitCode));
    EXPECT_EQ(exitCode, 0u);  // the child's TraceLastError returned false both times
    std::vector<std::string> expected = {SystemText(ERROR_ACCESS_DENIED), ""};
    EXPECT_EQ(strings, expected);
}

}  // namespace

#include "opener/process_folders_win.h"

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "services/system_library.h"

namespace {

// Where the current folder lies in the two layouts of a process's memory: the process
// parameters' address in the PEB, and the CurrentDirectory.DosPath string in them.
struct Layout {
    std::uint32_t parametersInPeb;
    std::uint32_t folderInParameters;
    bool wide;  // 64-bit: UNICODE_STRING with a 64-bit buffer address, after padding
};
constexpr Layout kLayout32 = {0x10, 0x24, false};
constexpr Layout kLayout64 = {0x20, 0x38, true};

// The process information classes used (winternl.h names only the first).
constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kProcessWow64Information = 26;
// No process has anything mapped below this address.
constexpr std::uint64_t kLowestAddress = 0x10000;

// The longest folder a process can have, in bytes.
constexpr std::uint32_t kLongestFolderBytes = 32767 * sizeof(wchar_t);

using QueryProcess = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using ReadMemory64 = LONG(NTAPI*)(HANDLE, ULONGLONG, PVOID, ULONGLONG, PULONGLONG);

struct BasicInformation64 {
    LONG exitStatus;
    ULONG padding;
    ULONGLONG pebAddress;
    ULONGLONG rest[4];
};

// ntdll is loaded in every process; its functions are found, not loaded.
FARPROC NtdllFunction(const char* name) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll == nullptr ? nullptr : GetProcAddress(ntdll, name);
}

template <typename Function>
Function Ntdll(const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(NtdllFunction(name)));
}

bool IsWow64(HANDLE process) {
    BOOL wow64 = FALSE;
    return IsWow64Process(process, &wow64) && wow64;
}

// Reads the memory of a process of the other layout than ours, or of our own.
class CReader {
public:
    CReader(HANDLE process, bool through64) : m_process(process), m_through64(through64) {
        if (through64) m_read64 = Ntdll<ReadMemory64>("NtWow64ReadVirtualMemory64");
    }
    bool Read(std::uint64_t address, void* buffer, std::uint32_t size) const {
        if (m_through64) {
            ULONGLONG read = 0;
            return m_read64 != nullptr && m_read64(m_process, address, buffer, size, &read) >= 0 &&
                   read == size;
        }
        if (address > UINTPTR_MAX) return false;
        SIZE_T read = 0;
        return ReadProcessMemory(m_process,
                                 reinterpret_cast<LPCVOID>(static_cast<std::uintptr_t>(address)),
                                 buffer, size, &read) &&
               read == size;
    }
    bool ReadAddress(std::uint64_t address, bool wide, std::uint64_t& value) const {
        if (wide) return Read(address, &value, sizeof(value));
        std::uint32_t narrow = 0;
        if (!Read(address, &narrow, sizeof(narrow))) return false;
        value = narrow;
        return true;
    }

private:
    HANDLE m_process;
    bool m_through64;
    ReadMemory64 m_read64 = nullptr;
};

// The PEB's address in `process` and its layout. A 32-bit program on 64-bit Windows has
// two PEBs: its own 32-bit one, which its current folder is kept in, is the one read.
bool FindPeb(HANDLE process, std::uint64_t& peb, Layout& layout, bool& through64) {
    const bool ourselves64 = sizeof(void*) == 8;
    const bool windows64 = ourselves64 || RunsUnderWow64();
    const bool target32 = !windows64 || IsWow64(process);
    through64 = false;
    auto query = Ntdll<QueryProcess>("NtQueryInformationProcess");
    if (query == nullptr) return false;
    if (target32) {
        layout = kLayout32;
        if (windows64) {
            ULONG_PTR address = 0;
            // Wine answers 1 here, a flag rather than the address: nothing below the first
            // 64 KB is ever mapped.
            if (query(process, kProcessWow64Information, &address, sizeof(address), nullptr) >= 0 &&
                address >= kLowestAddress) {
                peb = address;
                return true;
            }
            // A 32-bit caller is given the 32-bit PEB of its own kind by the basic class.
            if (ourselves64) return false;
        }
        PROCESS_BASIC_INFORMATION basic = {};
        if (query(process, kProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0) {
            return false;
        }
        peb = reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress);
        return peb != 0;
    }
    layout = kLayout64;
    if (ourselves64) {
        PROCESS_BASIC_INFORMATION basic = {};
        if (query(process, kProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0) {
            return false;
        }
        peb = reinterpret_cast<std::uintptr_t>(basic.PebBaseAddress);
        return peb != 0;
    }
    // We are 32-bit, it is 64-bit: the WOW64 forms, where the system has them.
    auto query64 = Ntdll<QueryProcess>("NtWow64QueryInformationProcess64");
    if (query64 == nullptr) return false;
    BasicInformation64 basic = {};
    if (query64(process, kProcessBasicInformation, &basic, sizeof(basic), nullptr) < 0) {
        return false;
    }
    through64 = true;
    peb = basic.pebAddress;
    return peb != 0;
}

bool IsFullFolder(const std::wstring& folder) {
    return (folder.size() >= 3 && folder[1] == L':' && folder[2] == L'\\') ||
           (folder.size() >= 3 && folder[0] == L'\\' && folder[1] == L'\\');
}

// The current folder of an opened process.
bool FolderOf(HANDLE process, std::wstring& folder) {
    std::uint64_t peb = 0;
    Layout layout = {};
    bool through64 = false;
    if (!FindPeb(process, peb, layout, through64)) return false;
    const CReader reader(process, through64);
    std::uint64_t parameters = 0;
    if (!reader.ReadAddress(peb + layout.parametersInPeb, layout.wide, parameters) ||
        parameters == 0) {
        return false;
    }
    // UNICODE_STRING: the length in bytes, the room, then the buffer's address (aligned).
    const std::uint64_t string = parameters + layout.folderInParameters;
    std::uint16_t length = 0;
    std::uint64_t buffer = 0;
    if (!reader.Read(string, &length, sizeof(length)) ||
        !reader.ReadAddress(string + (layout.wide ? 8 : 4), layout.wide, buffer)) {
        return false;
    }
    if (length == 0 || length % 2 != 0 || length > kLongestFolderBytes || buffer == 0) {
        return false;
    }
    std::wstring text(length / 2, L'\0');
    if (!reader.Read(buffer, &text[0], length)) return false;
    while (text.size() > 3 && text.back() == L'\\') text.pop_back();
    if (!IsFullFolder(text)) return false;
    folder.swap(text);
    return true;
}

constexpr DWORD kReadRights = PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_VM_READ;

struct ProcessEntry {
    DWORD id;
    DWORD parent;
    std::uint64_t created;
    bool consoleHost;  // conhost.exe or OpenConsole.exe: no shell, its folder the system's
};

// The console's host is started beside every console program and works in the system
// folder: a relative name found there was not selected there.
bool IsConsoleHost(const unsigned char* buffer, std::size_t size,
                   const SYSTEM_PROCESS_INFORMATION& entry) {
    const auto* name = reinterpret_cast<const unsigned char*>(entry.ImageName.Buffer);
    const std::size_t bytes = entry.ImageName.Length;
    if (name == nullptr || name < buffer || bytes > size ||
        name + bytes > buffer + size) {  // the name lies inside the answer, or is none
        return false;
    }
    std::wstring image(bytes / sizeof(wchar_t), L'\0');
    std::memcpy(&image[0], name, image.size() * sizeof(wchar_t));
    return CompareStringOrdinal(image.c_str(), -1, L"conhost.exe", -1, TRUE) == CSTR_EQUAL ||
           CompareStringOrdinal(image.c_str(), -1, L"OpenConsole.exe", -1, TRUE) == CSTR_EQUAL;
}

// Every running process with its parent and start, from one question to the system: the
// list a process snapshot is made from, with the start times a snapshot leaves out (else
// each process would have to be opened to learn which are the newest).
bool RunningProcesses(std::vector<ProcessEntry>& processes) {
    using QuerySystem = LONG(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
    auto query = Ntdll<QuerySystem>("NtQuerySystemInformation");
    if (query == nullptr) return false;
    constexpr ULONG kSystemProcessInformation = 5;
    constexpr LONG kLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<unsigned char> buffer(1u << 18);
    LONG status = kLengthMismatch;
    for (int attempt = 0; attempt < 4 && status == kLengthMismatch; ++attempt) {
        ULONG needed = 0;
        status = query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
                       &needed);
        if (status == kLengthMismatch)
            buffer.resize(std::max<std::size_t>(needed, buffer.size()) * 2);
    }
    if (status < 0) return false;
    std::size_t at = 0;
    while (at + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size()) {
        SYSTEM_PROCESS_INFORMATION entry;
        std::memcpy(&entry, buffer.data() + at, sizeof(entry));  // aligned or not
        processes.push_back(
            {static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(entry.UniqueProcessId)),
             static_cast<DWORD>(
                 reinterpret_cast<std::uintptr_t>(entry.InheritedFromUniqueProcessId)),
             static_cast<std::uint64_t>(entry.CreateTime.QuadPart),
             IsConsoleHost(buffer.data(), buffer.size(), entry)});
        if (entry.NextEntryOffset == 0) break;
        at += entry.NextEntryOffset;
    }
    return true;
}

}  // namespace

bool RunsUnderWow64() {
    // This process's lookups of System32 land in the 32-bit SysWOW64 then.
    static const bool wow64 = IsWow64(GetCurrentProcess());
    return wow64;
}

bool ProcessCurrentFolder(DWORD processId, std::wstring& folder) {
    HANDLE process = OpenProcess(kReadRights, FALSE, processId);
    if (process == nullptr) return false;
    const bool read = FolderOf(process, folder);
    CloseHandle(process);
    return read;
}

std::vector<std::wstring> DescendantCurrentFolders(DWORD processId, std::size_t most) {
    std::vector<std::wstring> folders;
    if (most == 0 || processId == 0) return folders;
    std::vector<ProcessEntry> processes;
    if (!RunningProcesses(processes)) return folders;
    std::uint64_t rootCreated = 0;
    for (const ProcessEntry& entry : processes) {
        if (entry.id == processId) rootCreated = entry.created;
    }
    if (rootCreated == 0) return folders;

    // Children, then theirs. A process whose parent's number was reused by another one
    // started before it, and is no descendant.
    std::vector<ProcessEntry> found;
    std::vector<ProcessEntry> frontier = {{processId, 0, rootCreated, false}};
    while (!frontier.empty()) {
        std::vector<ProcessEntry> next;
        for (const ProcessEntry& entry : processes) {
            if (entry.id == processId || entry.id == 0) continue;
            for (const ProcessEntry& parent : frontier) {
                if (entry.parent == parent.id && entry.created >= parent.created) {
                    next.push_back(entry);
                    break;
                }
            }
        }
        found.insert(found.end(), next.begin(), next.end());
        frontier.swap(next);
        if (found.size() > processes.size()) break;  // a loop of numbers: never endless
    }
    found.erase(std::remove_if(found.begin(), found.end(),
                               [](const ProcessEntry& entry) { return entry.consoleHost; }),
                found.end());
    // Newest first; the same start time (a clock's tick) by the higher number.
    std::sort(found.begin(), found.end(), [](const ProcessEntry& a, const ProcessEntry& b) {
        return a.created != b.created ? a.created > b.created : a.id > b.id;
    });
    if (found.size() > most) found.resize(most);
    for (const ProcessEntry& entry : found) {
        std::wstring folder;
        if (ProcessCurrentFolder(entry.id, folder)) folders.push_back(folder);
    }
    return folders;
}

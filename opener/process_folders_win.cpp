#include "opener/process_folders_win.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
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
    const bool windows64 = ourselves64 || IsWow64(GetCurrentProcess());
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

std::uint64_t CreationTime(HANDLE process) {
    FILETIME created = {}, exited = {}, kernel = {}, user = {};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

// At most this many descendants are opened to learn which are the newest.
constexpr std::size_t kMostDescendantsOpened = 64;

}  // namespace

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
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return folders;
    std::vector<std::pair<DWORD, DWORD>> parentOf;  // process, its parent
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        parentOf.emplace_back(entry.th32ProcessID, entry.th32ParentProcessID);
    }
    CloseHandle(snapshot);

    // Children before grandchildren; a process whose parent's number was reused by ours is
    // told apart below by its start before its "parent".
    struct Descendant {
        DWORD id;
        DWORD parent;
        HANDLE handle;
        std::uint64_t created;
    };
    std::vector<Descendant> found;
    std::vector<DWORD> frontier = {processId};
    while (!frontier.empty() && found.size() < kMostDescendantsOpened) {
        std::vector<DWORD> next;
        for (const auto& link : parentOf) {
            if (link.first == processId || link.first == 0) continue;
            if (std::find(frontier.begin(), frontier.end(), link.second) == frontier.end()) continue;
            bool seen = false;
            for (const Descendant& d : found) seen = seen || d.id == link.first;
            if (seen || found.size() >= kMostDescendantsOpened) continue;
            found.push_back({link.first, link.second, nullptr, 0});
            next.push_back(link.first);
        }
        frontier.swap(next);
    }
    HANDLE root = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    const std::uint64_t rootCreated = root != nullptr ? CreationTime(root) : 0;
    if (root != nullptr) CloseHandle(root);
    for (Descendant& d : found) {
        d.handle = OpenProcess(kReadRights, FALSE, d.id);
        if (d.handle != nullptr) d.created = CreationTime(d.handle);
    }
    auto createdOf = [&](DWORD id) {
        if (id == processId) return rootCreated;
        for (const Descendant& d : found) {
            if (d.id == id) return d.created;
        }
        return std::uint64_t{0};
    };
    std::vector<const Descendant*> readable;
    for (const Descendant& d : found) {
        if (d.handle != nullptr && d.created != 0 && d.created >= createdOf(d.parent)) {
            readable.push_back(&d);
        }
    }
    std::stable_sort(readable.begin(), readable.end(),
                     [](const Descendant* a, const Descendant* b) { return a->created > b->created; });
    if (readable.size() > most) readable.resize(most);
    for (const Descendant* d : readable) {
        std::wstring folder;
        if (FolderOf(d->handle, folder)) folders.push_back(folder);
    }
    for (const Descendant& d : found) {
        if (d.handle != nullptr) CloseHandle(d.handle);
    }
    return folders;
}

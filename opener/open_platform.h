#pragma once

// The system operations that the decision of what a selection names uses, free of
// <windows.h> so that the decision is tested natively with a fake of them. The Win32
// implementation lives in open_platform_win.cpp.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Size, in characters with the NUL, of the buffer the canonical path is written into
// (MAX_PATH).
constexpr std::size_t kPathBufferSize = 260;

// The longest path Windows takes (a "\\?\" path), in characters without the NUL. A longer
// text names nothing on disk.
constexpr std::size_t kLongestPath = 32767;

// All 32 bits set: the name resolves to nothing.
constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr std::uint32_t kFileAttributeDirectory = 0x10u;

// The system operations the decision uses. Every text argument is NUL-terminated.
class COpenPlatform {
public:
    virtual ~COpenPlatform() = default;

    // PathCanonicalizeW: writes the canonical form of `path` into `buffer`, which holds
    // kPathBufferSize characters. False when it cannot (too long, for instance).
    virtual bool Canonicalize(wchar_t* buffer, const wchar_t* path) = 0;
    // GetFileAttributesW: kInvalidFileAttributes when the name resolves to nothing.
    virtual std::uint32_t FileAttributes(const wchar_t* path) = 0;
    // IsValidURL: true only for S_OK.
    virtual bool IsValidUrl(const wchar_t* text) = 0;
    // ShellExecuteW with no owner, no parameters, no directory and SW_SHOW. True when the
    // shell took the request.
    virtual bool RunShellVerb(const wchar_t* verb, const wchar_t* target) = 0;
    // ExpandEnvironmentStringsW: `expanded` receives `text` with every %NAME% of a defined
    // variable replaced (undefined ones stay as written). False when it cannot.
    virtual bool ExpandVariables(const wchar_t* text, std::wstring& expanded) = 0;
    // PathCreateFromUrlW: the path that the file URL `url` names. False when it is none.
    virtual bool PathFromFileUrl(const wchar_t* url, std::wstring& path) = 0;
    // Starts util\regjump.exe beside the program on `key`, as the About page does. True
    // when the tool started.
    virtual bool OpenRegistryKey(const wchar_t* key) = 0;
    // AssocQueryStringW(ASSOCSTR_EXECUTABLE) for the "open" verb of the file type `type`
    // (".cpp"): the program that opens such files, as registered. False when there is none.
    virtual bool ProgramForType(const wchar_t* type, std::wstring& program) = 0;
    // CreateProcessW of `program` (a full path; no shell, no search) with `commandLine`,
    // which starts with the program's quoted path. True when the program started.
    virtual bool StartProgram(const wchar_t* program, const wchar_t* commandLine) = 0;
    // AssocIsDangerous: true when the system counts the file type `type` (".exe") as
    // unsafe to open.
    virtual bool IsDangerousType(const wchar_t* type) = 0;
    // Shows the folder that holds the file or folder `path` (a full path) in Explorer with
    // it selected, without opening it. True when shown.
    virtual bool ShowInFolder(const wchar_t* path) = 0;
    // Traces that a run ended because memory ran out.
    virtual void TraceOutOfMemory() = 0;
    // Shows `items` as a popup menu at the mouse position, the first one selected. True
    // with `chosen` set to the index of the item picked; false when the menu was closed
    // without a choice.
    virtual bool ChooseCandidate(const std::vector<std::wstring>& items, std::size_t& chosen) = 0;

    // Network drives: a lookup on one reaches its server.
    // GetDriveTypeW on "X:\" for the drive letter `letter`: true for DRIVE_REMOTE.
    virtual bool IsRemoteDrive(wchar_t letter) = 0;

    // Where a relative path was selected: the window the press took the selection from and
    // its processes. Asked only during a press whose text is a relative path.
    // The title of that window; empty when there is none.
    virtual std::wstring ForegroundTitle() = 0;
    // The current folder of that window's process. False when it cannot be read.
    virtual bool ForegroundFolder(std::wstring& folder) = 0;
    // The current folders of the processes that one started, and theirs, newest first: of
    // at most `most` processes, leaving out those that cannot be read.
    virtual std::vector<std::wstring> DescendantFolders(std::size_t most) = 0;
    // The folder that window shows, when it is an Explorer window and the shell says.
    virtual bool ExplorerFolder(std::wstring& folder) = 0;
    // The user's own folder (the profile). False when it is not known.
    virtual bool UserFolder(std::wstring& folder) = 0;

    // The names the shell is handed for what was found on disk.
    // GetFullPathNameW: `full` receives the full path of `path`, a relative name resolved
    // against the current folder. False when it cannot.
    virtual bool FullPathName(const wchar_t* path, std::wstring& full) = 0;
    // GetLongPathNameW: `longPath` receives the existing `path` with each short (8.3) name
    // in it replaced by the long one. False when it cannot.
    virtual bool LongPathName(const wchar_t* path, std::wstring& longPath) = 0;
};

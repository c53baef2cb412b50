#pragma once

// What the open-selection command does with a captured text, free of <windows.h> so that
// it is tested natively as well. The few system calls it needs come through
// COpenPlatform; the Win32 implementation lives in open_selection.cpp.

#include <cstddef>
#include <cstdint>
#include <string>

// Size, in characters with the NUL, of the buffer the canonical path is written into
// (MAX_PATH).
constexpr std::size_t kPathBufferSize = 260;

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
};

// What a run did; the caller picks the balloon from it.
enum class OpenOutcome {
    kNothing,           // no text: nothing opened, nothing shown
    kOpenedFolder,      // "explore"; "Opening selection"
    kOpenedFile,        // "open"; "Opening selection"
    kOpenedAddress,     // "open" on the text as captured; "Opening Webpage"
    kOpenedWithPrefix,  // "open" on "http://" + text; no balloon
    kNotFound,          // nothing opened; "Could not find this location"
    kShellFailed,       // the shell refused the target and reported it itself; no balloon
};

// True when `text` begins with `prefix`, compared code unit by code unit (case matters).
bool StartsWith(const std::wstring& text, const wchar_t* prefix);

// Replaces every occurrence of `find` in `text` by `replacement`, scanning left to right;
// occurrences do not overlap and inserted text is not scanned again. Does nothing when
// `text` or `find` is empty.
void ReplaceAll(std::wstring& text, const std::wstring& find, const std::wstring& replacement);

// Reduces every run of backslashes and every run of slashes to one, so that a path
// written as a string literal ("C:\\Users\\me") becomes a path. A leading pair of
// backslashes (a network path) is kept.
void CollapseSeparators(std::wstring& text);

// Normalises `text` in place and hands it to the shell as a folder, a file or an address.
OpenOutcome OpenText(std::wstring& text, COpenPlatform& platform);

// The string-table id of the balloon text that reports `outcome`, or 0 for no balloon.
// The success balloons follow the user's switch; "not found" is always shown.
unsigned int BalloonStringFor(OpenOutcome outcome, bool showSuccessBalloon);

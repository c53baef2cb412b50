#pragma once

// What the open-selection command does with a captured text, free of <windows.h> so that
// it is tested natively as well. The few system calls it needs come through
// COpenPlatform; the Win32 implementation lives in open_platform_win.cpp.

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
    // Shows the folder that holds the file `path` in Explorer with the file selected,
    // without opening the file. True when shown.
    virtual bool ShowInFolder(const wchar_t* path) = 0;
    // Traces that a run ended because memory ran out.
    virtual void TraceOutOfMemory() = 0;
    // Shows `items` as a popup menu at the mouse position, the first one selected. True
    // with `chosen` set to the index of the item picked; false when the menu was closed
    // without a choice.
    virtual bool ChooseCandidate(const std::vector<std::wstring>& items, std::size_t& chosen) = 0;
};

// The most file attribute queries one press makes: a path inside a longer text is found
// by trying stretches of it, and a network path or a slow disk can make each one cost.
constexpr std::size_t kMostLookupsPerPress = 64;

// What a run did; the caller picks the balloon from it.
enum class OpenOutcome {
    kNothing,            // no text: nothing opened, nothing shown
    kOpenedFolder,       // "explore"; "Opening selection"
    kOpenedFile,         // "open"; "Opening selection"
    kOpenedAddress,      // "open" on the text as captured; "Opening Webpage"
    kOpenedWithPrefix,   // "open" on "http://" + text; no balloon
    kOpenedRegistryKey,  // util\regjump.exe started on a key; "Opening selection"
    kOpenedMailAddress,  // "open" on "mailto:" + address; "Opening selection"
    kOpenedInEditor,     // the file type's editor started at the position; "Opening selection"
    kShownInFolder,      // a program or script shown selected in its folder, not run;
                         // "Opening selection"
    kNotFound,           // nothing opened; "Could not find this location"
    kNothingChosen,      // several paths or addresses offered, none chosen; no balloon
    kShellFailed,        // the shell refused the target and reported it itself, or the
                         // registry tool did not start; no balloon
    kOutOfMemory,        // the run ran out of memory and ended, traced; no balloon
};

// A line and, when given, a column, as the digits written in the selection.
struct SourcePosition {
    std::wstring line;
    std::wstring column;  // empty when the text gave none
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

// Removes surrounding blanks, tabs and line breaks.
void TrimBlanks(std::wstring& text);

// Takes away what surrounds a path or an address in prose, repeated while something
// changes: trailing sentence punctuation (. , ; : ! ?), one pair of enclosing quotes
// (straight or typographic, double or single) or brackets (<>, (), []), and the blanks
// inside them. Never leaves an empty text, and keeps the colon of a bare drive ("C:").
void CleanUpSelection(std::wstring& text);

// When `text` ends in a source position (":12", ":12:5", "(12)", "(12,5)", ", line 12"),
// sets `path` to what comes before it, without enclosing quotes, and `position` (when
// given) to the line and column, and returns true.
bool StripSourcePosition(const std::wstring& text, std::wstring& path,
                         SourcePosition* position = nullptr);

// When `text` is a registry key ("HKCU\Software", "Computer\HKEY_USERS", ...), sets `key` to
// it without "Computer\" and with runs of backslashes made single.
bool RegistryKeyIn(const std::wstring& text, std::wstring& key);

// When `text` is one e-mail address, with or without "mailto:", sets `address` to it
// without the scheme.
bool MailAddressIn(const std::wstring& text, std::wstring& address);

// The type of the file `path` names: its extension with the dot (".cpp"), as Windows sees
// it (the blanks and dots that end a name do not count), or empty.
std::wstring FileTypeOf(const std::wstring& path);

// True when opening the file `path` would run it: a program, a script, an installer or a
// shortcut, by the system's own judgement, by PATHEXT or by our list.
bool IsDangerousFile(const std::wstring& path, COpenPlatform& platform);

// Appends `argument` to `commandLine` (after a blank unless it is empty) so that
// CommandLineToArgvW and the C runtime read it back unchanged: in quotes when it is empty
// or holds a blank, a tab or a quote, with the backslashes before a quote doubled.
void AppendArgument(std::wstring& commandLine, const std::wstring& argument);

// When the file name of `program` is one of the editors we know, sets `commandLine` to the
// command line that opens `file` at `position` in it, program included, and returns true.
bool EditorCommandLine(const std::wstring& program, const std::wstring& file,
                       const SourcePosition& position, std::wstring& commandLine);

// Opens the existing file `path`: in its editor at `position` when one is given and the
// file type's program is an editor we know; a program or script is only shown in its
// folder; anything else with the shell's "open".
OpenOutcome OpenExistingFile(const std::wstring& path, const SourcePosition* position,
                             COpenPlatform& platform);

// Hands the selection to the shell as a folder, a file, an address, a registry key or a
// mail address; when the whole of it is none of these, the path or address inside it
// (several: the one the user picks from a menu). On return `text` holds what was opened
// (or last tried). Running out of memory ends the run with kOutOfMemory, traced through
// the platform.
OpenOutcome OpenText(std::wstring& text, COpenPlatform& platform);

// The string-table id of the balloon text that reports `outcome`, or 0 for no balloon.
// The success balloons follow the user's switch; "not found" is always shown.
unsigned int BalloonStringFor(OpenOutcome outcome, bool showSuccessBalloon);

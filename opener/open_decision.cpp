#include "opener/open_decision.h"

#include <algorithm>
#include <new>

#include "base/text_chars.h"
#include "opener/editors.h"
#include "opener/file_types.h"
#include "opener/selection_forms.h"
#include "opener/selection_scan.h"
#include "res/resource.h"

namespace {

// The shell's answer decides whether a success is reported: a target it refused has
// already been reported by the shell's own error box, and "Opening ..." would be false.
OpenOutcome Launch(COpenPlatform& platform, const wchar_t* verb, const std::wstring& target,
                   OpenOutcome success) {
    return platform.RunShellVerb(verb, target.c_str()) ? success : OpenOutcome::kShellFailed;
}

bool IsWebAddress(const std::wstring& text) {
    return StartsWith(text, L"http://") || StartsWith(text, L"https://");
}

}  // namespace

OpenOutcome OpenExistingFile(const std::wstring& path, const SourcePosition* position,
                             COpenPlatform& platform) {
    // The program registered for the type, if it is an editor we know, takes the position.
    // Starting it opens the file for editing and never runs it, whatever its type. The
    // program must be a full path: a bare name would be looked up in the current folder.
    if (position != nullptr && !position->line.empty()) {
        const std::wstring type = FileTypeOf(path);
        std::wstring program, commandLine;
        if (!type.empty() && platform.ProgramForType(type.c_str(), program) &&
            IsFullPath(program) && EditorCommandLine(program, path, *position, commandLine) &&
            platform.StartProgram(program.c_str(), commandLine.c_str())) {
            return OpenOutcome::kOpenedInEditor;
        }
    }
    // "open" runs a program or a script, and the selection may come from any mail, chat or
    // web page: such a file is only shown.
    if (IsDangerousFile(path, platform)) {
        return platform.ShowInFolder(path.c_str()) ? OpenOutcome::kShownInFolder
                                                   : OpenOutcome::kShellFailed;
    }
    return Launch(platform, L"open", path, OpenOutcome::kOpenedFile);
}

namespace {

// A text that is no web address has its doubled separators collapsed and is canonicalised.
void Normalise(std::wstring& text, COpenPlatform& platform) {
    if (IsWebAddress(text)) return;
    CollapseSeparators(text);
    wchar_t buffer[kPathBufferSize] = {};
    if (platform.Canonicalize(buffer, text.c_str())) {
        // Bounded by the buffer even if the platform left it unterminated.
        const wchar_t* end = std::find(buffer, buffer + kPathBufferSize, L'\0');
        text.assign(buffer, static_cast<std::size_t>(end - buffer));
    }
}

// Where the normalised `text` is on disk: its full path and its attributes. This is the one
// place where a relative name gets its folder (the current one, which start-up sets to the
// user's own), and the shell is handed the full path, never the relative text: an Explorer
// that runs already would resolve that against its own folder.
bool LocateOnDisk(const std::wstring& text, COpenPlatform& platform, std::wstring& full,
                  std::uint32_t& attributes) {
    if (!platform.FullPathName(text.c_str(), full) || full.empty()) return false;
    // A reserved device name ("con", "nul.txt") comes back as a "\\.\" path: no file.
    if (StartsWith(full, L"\\\\.\\")) return false;
    attributes = platform.FileAttributes(full.c_str());
    return attributes != kInvalidFileAttributes;
}

// Opens the normalised `text` when it names a folder ("explore") or a file; a folder only
// when `filesOnly` is false. `position` is where in the file, if the text said. On return
// `text` is the full path that was opened.
bool OpenIfOnDisk(std::wstring& text, bool filesOnly, const SourcePosition* position,
                  COpenPlatform& platform, OpenOutcome& outcome) {
    std::wstring full;
    std::uint32_t attributes = kInvalidFileAttributes;
    if (!LocateOnDisk(text, platform, full, attributes)) return false;
    if (filesOnly && (attributes & kFileAttributeDirectory)) return false;
    // By its long name, the one the user knows it by and whose type is judged.
    std::wstring longPath;
    if (platform.LongPathName(full.c_str(), longPath) && !longPath.empty()) full.swap(longPath);
    text.swap(full);
    // A name ending in a class id opens that class's object, whatever it holds: the first
    // such name is only shown, in the folder above it.
    const std::size_t objectEnd = ShellObjectNameEnd(text);
    if (objectEnd != std::wstring::npos) {
        text.resize(objectEnd);
        outcome = platform.ShowInFolder(text.c_str()) ? OpenOutcome::kShownInFolder
                                                      : OpenOutcome::kShellFailed;
        return true;
    }
    if (attributes & kFileAttributeDirectory) {
        outcome = Launch(platform, L"explore", text, OpenOutcome::kOpenedFolder);
        return true;
    }
    outcome = OpenExistingFile(text, position, platform);
    return true;
}

// What people select around a path, taken away form by form, each form working on the
// result of the one before: the cleaned-up text, its variables expanded, a file URL as its
// path, a drive path's slashes as backslashes, a source position cut off. The first that
// names something on disk is opened; `text` is then what was opened.
bool OpenFormOnDisk(const std::wstring& selection, const std::wstring& cleaned,
                    COpenPlatform& platform, std::wstring& text, OpenOutcome& outcome) {
    if (IsWebAddress(cleaned)) return false;  // an address names nothing on disk
    std::wstring tried = selection;           // already looked up
    std::wstring candidate = cleaned;
    auto attempt = [&](bool filesOnly, const SourcePosition* position) {
        if (candidate.empty() || candidate == tried || IsWebAddress(candidate)) return false;
        tried = candidate;
        std::wstring normalised = candidate;
        Normalise(normalised, platform);
        if (!OpenIfOnDisk(normalised, filesOnly, position, platform, outcome)) return false;
        text = normalised;
        return true;
    };

    if (attempt(false, nullptr)) return true;
    std::wstring expanded;
    if (candidate.find(L'%') != std::wstring::npos &&
        platform.ExpandVariables(candidate.c_str(), expanded)) {
        candidate = expanded;
        if (attempt(false, nullptr)) return true;
    }
    std::wstring path;
    if (StartsWithNoCase(candidate, L"file:") &&
        platform.PathFromFileUrl(candidate.c_str(), path)) {
        candidate = path;
        if (attempt(false, nullptr)) return true;
    }
    if (candidate.size() >= 2 && IsAsciiLetter(candidate[0]) && candidate[1] == L':' &&
        candidate.find(L'/') != std::wstring::npos) {
        std::replace(candidate.begin(), candidate.end(), L'/', L'\\');
        if (attempt(false, nullptr)) return true;
    }
    SourcePosition position;
    if (StripSourcePosition(candidate, path, &position)) {
        candidate = path;
        if (attempt(true, &position)) return true;
    }
    return false;
}

// One text, whole or found inside a longer one, opened as its own rule says.
OpenOutcome OpenOneText(std::wstring& text, COpenPlatform& platform, bool lookInside);

// One text makes at most this many lookups: as selected, then each form of
// OpenFormOnDisk. What a press has left for its scan keeps the press within
// kMostLookupsPerPress with the whole selection before it and the chosen text after it.
constexpr std::size_t kLookupsPerText = 6;
constexpr std::size_t kLookupsForScan = kMostLookupsPerPress - 2 * kLookupsPerText;

// Whether a stretch of a longer selection names something on disk, with one lookup at
// most: the forms of OpenFormOnDisk applied at once (a position always cut off).
bool NamesSomethingOnDisk(const std::wstring& stretch, COpenPlatform& platform) {
    std::wstring path = stretch;
    std::wstring converted;
    if (path.find(L'%') != std::wstring::npos &&
        platform.ExpandVariables(path.c_str(), converted)) {
        path = converted;
    }
    if (StartsWithNoCase(path, L"file:")) {
        if (!platform.PathFromFileUrl(path.c_str(), converted)) return false;
        path = converted;
    }
    // A server that does not answer holds a lookup for seconds: a network path is
    // offered unasked, but only up to the first blank, since nothing tells where it ends.
    if (StartsWith(path, L"\\\\")) return stretch.find(L' ') == std::wstring::npos;
    if (path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':') {
        std::replace(path.begin(), path.end(), L'/', L'\\');
    }
    std::wstring withoutPosition;
    const bool filesOnly = StripSourcePosition(path, withoutPosition);
    if (filesOnly) path = withoutPosition;
    Normalise(path, platform);
    std::wstring full;
    std::uint32_t attributes = kInvalidFileAttributes;
    return LocateOnDisk(path, platform, full, attributes) &&
           !(filesOnly && (attributes & kFileAttributeDirectory));
}

// The paths and addresses inside a selection that is none as a whole: one is opened as
// its own rule would open it, several are offered in a menu.
bool OpenFoundInside(const std::wstring& cleaned, COpenPlatform& platform, std::wstring& text,
                     OpenOutcome& outcome) {
    std::vector<std::wstring> found =
        FindCandidates(cleaned, kLookupsForScan, [&platform](const std::wstring& stretch) {
            return NamesSomethingOnDisk(stretch, platform);
        });
    if (found.empty()) return false;
    std::size_t chosen = 0;
    if (found.size() > 1) {
        std::vector<std::wstring> items;
        for (const std::wstring& candidate : found) items.push_back(ShortenInTheMiddle(candidate));
        if (!platform.ChooseCandidate(items, chosen) || chosen >= found.size()) {
            outcome = OpenOutcome::kNothingChosen;
            return true;
        }
    }
    text = found[chosen];
    outcome = OpenOneText(text, platform, false);
    return true;
}

OpenOutcome OpenOneText(std::wstring& text, COpenPlatform& platform, bool lookInside) {
    // A triple click takes the line break with it, and no file name ends in a blank.
    TrimBlanks(text);
    if (text.empty()) {
        return OpenOutcome::kNothing;
    }
    // The working text and this copy are the only whole copies of a long selection that
    // the run holds at once; the forms copy only texts that could be a path.
    std::wstring selection = text;

    Normalise(text, platform);
    OpenOutcome outcome = OpenOutcome::kNothing;
    if (OpenIfOnDisk(text, false, nullptr, platform, outcome)) return outcome;

    std::size_t begin = 0;
    std::size_t end = 0;
    CleanedRange(selection, begin, end);
    // Longer than any path, and so no path, registry key or mail address either; a path
    // or an address inside it is still found.
    const bool pathSized = end - begin <= kLongestPath;
    std::wstring cleaned;
    if (pathSized) {
        cleaned.assign(selection, begin, end - begin);
        if (OpenFormOnDisk(selection, cleaned, platform, text, outcome)) return outcome;

        std::wstring found;
        if (RegistryKeyIn(cleaned, found)) {
            text = found;
            return platform.OpenRegistryKey(text.c_str()) ? OpenOutcome::kOpenedRegistryKey
                                                          : OpenOutcome::kShellFailed;
        }
        if (MailAddressIn(cleaned, found)) {
            text = L"mailto:" + found;
            return Launch(platform, L"open", text, OpenOutcome::kOpenedMailAddress);
        }
    }
    // The scan reads a text too long for a path as it is, without a copy of its own.
    if (lookInside &&
        OpenFoundInside(pathSized ? cleaned : selection, platform, text, outcome)) {
        return outcome;
    }
    std::wstring().swap(cleaned);

    // The address tests see the cleaned-up text: a URL in quotes or ending a sentence
    // opens without them. A text with nothing to clean up is tested exactly as before.
    if (begin != 0 || end != selection.size()) {
        text.assign(selection, begin, end - begin);  // fits: no new buffer
        Normalise(text, platform);
    }
    std::wstring().swap(selection);  // before "http://" is put in front

    if (platform.IsValidUrl(text.c_str())) {
        // "C:\nowhere" passes as a URL of scheme "c"; a drive that names nothing on disk
        // is a missing path, not an address.
        const bool hasDrive = text.size() >= 2 && text[1] == L':';
        if (hasDrive) {
            return OpenOutcome::kNotFound;
        }
        return Launch(platform, L"open", text, OpenOutcome::kOpenedAddress);
    }

    {
        // Built in a buffer of its size: growing the text in place would double its room.
        std::wstring prefixed;
        prefixed.reserve(text.size() + 7);
        prefixed.append(L"http://").append(text);
        text.swap(prefixed);
    }
    if (platform.IsValidUrl(text.c_str())) {
        return Launch(platform, L"open", text, OpenOutcome::kOpenedWithPrefix);
    }
    return OpenOutcome::kNotFound;
}

}  // namespace

OpenOutcome OpenText(std::wstring& text, COpenPlatform& platform) {
    // A selection too large for the memory left ends this run, not the program; the
    // clipboard has been put back before the decision starts.
    try {
        return OpenOneText(text, platform, true);
    } catch (const std::bad_alloc&) {
        platform.TraceOutOfMemory();
        return OpenOutcome::kOutOfMemory;
    }
}

unsigned int BalloonStringFor(OpenOutcome outcome, bool showSuccessBalloon) {
    switch (outcome) {
        case OpenOutcome::kOpenedFolder:
        case OpenOutcome::kOpenedFile:
        case OpenOutcome::kOpenedRegistryKey:
        case OpenOutcome::kOpenedMailAddress:
        case OpenOutcome::kOpenedInEditor:
        case OpenOutcome::kShownInFolder:
            return showSuccessBalloon ? IDS_OPENING_SELECTION : 0;
        case OpenOutcome::kOpenedAddress:
            return showSuccessBalloon ? IDS_OPENING_WEBPAGE : 0;
        case OpenOutcome::kNotFound:
            return IDS_NOT_FOUND;
        case OpenOutcome::kNothing:
        case OpenOutcome::kOpenedWithPrefix:
        case OpenOutcome::kShellFailed:
        case OpenOutcome::kOutOfMemory:
        case OpenOutcome::kNothingChosen:
            break;
    }
    return 0;
}

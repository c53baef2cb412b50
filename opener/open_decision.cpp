#include "opener/open_decision.h"

#include <algorithm>
#include <new>

#include "base/text_chars.h"
#include "opener/editors.h"
#include "opener/file_types.h"
#include "opener/pasted_forms.h"
#include "opener/press_lookups.h"
#include "opener/relative_bases.h"
#include "opener/selection_forms.h"
#include "opener/selection_scan.h"
#include "opener/web_address.h"
#include "res/resource.h"

namespace {

// The shell's answer decides whether a success is reported: a target it refused has
// already been reported by the shell's own error box, and "Opening ..." would be false.
OpenOutcome Launch(COpenPlatform& platform, const wchar_t* verb, const std::wstring& target,
                   OpenOutcome success) {
    return platform.RunShellVerb(verb, target.c_str()) ? success : OpenOutcome::kShellFailed;
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

    std::wstring located;
    if (TracebackLineIn(candidate, located)) candidate = located;  // then read as a position
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
    std::wstring home, rest;
    if (HomeRelativeRest(candidate, rest) && platform.UserFolder(home)) {
        candidate = home + rest;
        if (attempt(false, nullptr)) return true;
    } else if (DrivePathFromUnixForm(candidate, path)) {
        candidate = path;
        if (attempt(false, nullptr)) return true;
    }
    // Slashes as separators: a drive path's, and a relative path's ("src/main.cpp:42").
    if ((StartsWithDrive(candidate) || candidate.find(L':') == std::wstring::npos ||
         StripSourcePosition(candidate, rest)) &&
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
// A relative path leaves the scan nothing to look up (it holds no drive, variable or URL),
// so its bases have the scan's share; what is found is looked up once more to open it.
constexpr std::size_t kLookupsForRelative = kLookupsForScan - 1;

// Whether a stretch of a longer selection names something on disk, with one lookup at
// most: the forms of OpenFormOnDisk applied at once (a position always cut off). A path on
// a server or a network drive is not looked up: `onServer` is set, and the stretch is
// offered up to the first blank, since nothing tells where it ends.
bool NamesSomethingOnDisk(const std::wstring& stretch, COpenPlatform& platform, bool& onServer) {
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
    const bool drive = StartsWithDrive(path);
    onServer = IsNetworkPath(path) || (drive && platform.IsRemoteDrive(path[0]));
    if (onServer) return std::none_of(stretch.begin(), stretch.end(), IsBlank);
    if (drive) std::replace(path.begin(), path.end(), L'/', L'\\');
    std::wstring withoutPosition;
    const bool filesOnly = StripSourcePosition(path, withoutPosition);
    if (filesOnly) path = withoutPosition;
    Normalise(path, platform);
    std::wstring full;
    std::uint32_t attributes = kInvalidFileAttributes;
    return LocateOnDisk(path, platform, full, attributes) &&
           !(filesOnly && (attributes & kFileAttributeDirectory));
}

// The one of `found` to open: the only one, or the one the user picks from a menu (offered
// even for one when `askFirst`). False when the menu was closed without a choice.
bool ChooseOne(const std::vector<std::wstring>& found, bool askFirst, COpenPlatform& platform,
               std::size_t& chosen) {
    chosen = 0;
    if (found.size() < 2 && !askFirst) return true;
    std::vector<std::wstring> items;
    for (const std::wstring& candidate : found) items.push_back(MenuLabel(candidate));
    return platform.ChooseCandidate(items, chosen) && chosen < found.size();
}

// The paths and addresses inside a selection that is none as a whole: one is opened as
// its own rule would open it, several are offered in a menu. A path on a server is always
// offered, even alone: only the user's pick may contact the server.
bool OpenFoundInside(const std::wstring& cleaned, COpenPlatform& platform, std::wstring& text,
                     OpenOutcome& outcome) {
    std::vector<std::wstring> onServer;
    std::vector<std::wstring> found =
        FindCandidates(cleaned, kLookupsForScan, [&](const std::wstring& stretch) {
            bool server = false;
            const bool names = NamesSomethingOnDisk(stretch, platform, server);
            if (server && names) onServer.push_back(stretch);
            return names;
        });
    if (found.empty()) return false;
    // The scan offers network paths without asking at all.
    const bool askFirst = std::any_of(found.begin(), found.end(), [&](const std::wstring& c) {
        return IsNetworkPath(c) ||
               std::find(onServer.begin(), onServer.end(), c) != onServer.end();
    });
    std::size_t chosen = 0;
    if (!ChooseOne(found, askFirst, platform, chosen)) {
        outcome = OpenOutcome::kNothingChosen;
        return true;
    }
    text = found[chosen];
    outcome = OpenOneText(text, platform, false);
    return true;
}

// A relative path opens where it was selected (relative_bases.h): one target found there
// as its own rule says, several from the menu, full paths both. None: today's rules,
// which resolve it in the user's folder alone.
bool OpenRelative(const std::wstring& selection, COpenPlatform& platform, std::wstring& text,
                  OpenOutcome& outcome) {
    RelativePath relative;
    if (!RelativePathIn(selection, relative)) return false;
    const std::vector<std::wstring> found =
        FindRelativeTargets(relative, platform, kLookupsForRelative);
    if (found.empty()) return false;
    std::size_t chosen = 0;
    if (!ChooseOne(found, false, platform, chosen)) {
        outcome = OpenOutcome::kNothingChosen;
        return true;
    }
    text = found[chosen];
    const SourcePosition* position = relative.hasPosition ? &relative.position : nullptr;
    if (OpenIfOnDisk(text, relative.hasPosition, position, platform, outcome)) return true;
    // Gone since it was found: what the user picked from a menu is not found, and no
    // second menu follows.
    if (found.size() < 2) return false;
    outcome = OpenOutcome::kNotFound;
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
    OpenOutcome outcome = OpenOutcome::kNothing;
    if (OpenRelative(selection, platform, text, outcome)) return outcome;

    Normalise(text, platform);
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

    // Only the web's schemes reach the shell: any other one starts whatever program
    // registered it, with the text on its command line. IsValidURL has the last word.
    if (IsWebAddress(text)) {
        return platform.IsValidUrl(text.c_str())
                   ? Launch(platform, L"open", text, OpenOutcome::kOpenedAddress)
                   : OpenOutcome::kNotFound;
    }
    // Words, sentences, "Error: ..." and file names are no host.
    if (!LooksLikeHost(text)) return OpenOutcome::kNotFound;
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
        CPressLookups press(platform);
        return OpenOneText(text, press, true);
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

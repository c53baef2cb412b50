#include "opener/open_decision.h"

#include <algorithm>
#include <iterator>

#include "opener/selection_scan.h"
#include "res/resource.h"

namespace {

bool IsBlank(wchar_t c) {
    switch (c) {
        case L' ':
        case L'\t':
        case L'\r':
        case L'\n':
        case L'\v':
        case L'\f':
        case 0x00A0:  // no-break space, as copied from web pages
        case 0x2028:  // line and paragraph separators
        case 0x2029:
            return true;
        default:
            return false;
    }
}

bool IsSentencePunctuation(wchar_t c) {
    return c == L'.' || c == L',' || c == L';' || c == L':' || c == L'!' || c == L'?';
}

bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

wchar_t LowerAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// True when the `length` characters of `text` at `start` equal `word`, letters compared
// without case (only ASCII words are asked about).
bool EqualsNoCase(const std::wstring& text, std::size_t start, std::size_t length,
                  const wchar_t* word) {
    if (std::char_traits<wchar_t>::length(word) != length || start + length > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(text[start + i]) != LowerAscii(word[i])) return false;
    }
    return true;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    return EqualsNoCase(text, 0, std::char_traits<wchar_t>::length(prefix), prefix);
}

// The closing half of a pair that may enclose a selection, or 0.
wchar_t ClosingOf(wchar_t open) {
    switch (open) {
        case L'"':
            return L'"';
        case L'\'':
            return L'\'';
        case 0x201C:  // typographic double quotes
            return 0x201D;
        case 0x2018:  // typographic single quotes
            return 0x2019;
        case L'<':
            return L'>';
        case L'(':
            return L')';
        case L'[':
            return L']';
        default:
            return 0;
    }
}

}  // namespace

bool StartsWith(const std::wstring& text, const wchar_t* prefix) {
    const std::wstring::size_type length = std::char_traits<wchar_t>::length(prefix);
    return text.size() >= length && text.compare(0, length, prefix) == 0;
}

void ReplaceAll(std::wstring& text, const std::wstring& find, const std::wstring& replacement) {
    if (text.empty() || find.empty()) {
        return;
    }
    std::wstring result;
    result.reserve(text.size());
    std::wstring::size_type start = 0;
    std::wstring::size_type found;
    while ((found = text.find(find, start)) != std::wstring::npos) {
        result.append(text, start, found - start);
        result += replacement;
        start = found + find.size();
    }
    result.append(text, start, std::wstring::npos);
    text.swap(result);
}

void CollapseSeparators(std::wstring& text) {
    // "\\server\share" must stay a network path: collapsing its leading pair would turn
    // it into a folder of the current drive, which is a different place altogether.
    const bool networkPath = StartsWith(text, L"\\\\");
    std::wstring before;
    do {
        before = text;
        ReplaceAll(text, L"\\\\", L"\\");
        ReplaceAll(text, L"//", L"/");
    } while (text != before);
    if (networkPath) {
        text.insert(0, 1, L'\\');
    }
}

void TrimBlanks(std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    text = text.substr(begin, end - begin);
}

void CleanUpSelection(std::wstring& text) {
    // Worked on as a range and cut once: a long run of brackets costs no copies.
    std::size_t begin = 0;
    std::size_t end = text.size();
    auto trim = [&]() {
        while (begin < end && IsBlank(text[begin])) ++begin;
        while (end > begin && IsBlank(text[end - 1])) --end;
    };
    trim();
    bool changed = true;
    while (changed) {
        changed = false;
        // Trailing punctuation, but not all of the text (an ellipsis stays what it is) and
        // not the colon of a bare drive.
        std::size_t last = end;
        while (last > begin && IsSentencePunctuation(text[last - 1])) --last;
        if (last > begin && last < end) {
            if (last - begin == 1 && IsAsciiLetter(text[begin]) && text[last] == L':') ++last;
            if (last < end) {
                end = last;
                trim();
                changed = true;
            }
        }
        // One pair of enclosing quotes or brackets, unless only blanks are inside.
        if (end - begin >= 2) {
            const wchar_t close = ClosingOf(text[begin]);
            if (close != 0 && text[end - 1] == close) {
                std::size_t innerBegin = begin + 1;
                std::size_t innerEnd = end - 1;
                while (innerBegin < innerEnd && IsBlank(text[innerBegin])) ++innerBegin;
                while (innerEnd > innerBegin && IsBlank(text[innerEnd - 1])) --innerEnd;
                if (innerBegin < innerEnd) {
                    begin = innerBegin;
                    end = innerEnd;
                    changed = true;
                }
            }
        }
    }
    text = text.substr(begin, end - begin);
}

bool StripSourcePosition(const std::wstring& text, std::wstring& path) {
    // The start of the run of digits that ends just before `position`.
    auto digitsBefore = [&text](std::size_t position) {
        while (position > 0 && IsDigit(text[position - 1])) --position;
        return position;
    };
    // A colon in second place belongs to a drive ("C:12" is a name on drive C).
    auto driveColon = [&text](std::size_t position) {
        return position == 1 && IsAsciiLetter(text[0]);
    };
    const std::size_t npos = std::wstring::npos;
    std::size_t cut = npos;
    const std::size_t end = text.size();
    if (end > 0 && text[end - 1] == L')') {
        // "(LINE)" or "(LINE,COL)", as compilers on Windows print them.
        std::size_t position = end - 1;
        std::size_t digits = digitsBefore(position);
        std::size_t comma = digits;
        while (comma > 0 && text[comma - 1] == L' ') --comma;
        if (digits < position && comma > 0 && text[comma - 1] == L',') {
            position = comma - 1;  // that was the column; the line comes before the comma
            digits = digitsBefore(position);
        }
        // "Report (2)" is a name: Windows drops the blank a cut there would leave, and
        // would open "Report" instead.
        if (digits < position && digits > 1 && text[digits - 1] == L'(' &&
            !IsBlank(text[digits - 2])) {
            cut = digits - 1;
        }
    } else {
        const std::size_t digits = digitsBefore(end);
        if (digits < end && digits > 0 && text[digits - 1] == L':' && !driveColon(digits - 1)) {
            // ":LINE" or ":LINE:COL"
            cut = digits - 1;
            const std::size_t line = digitsBefore(cut);
            if (line < cut && line > 0 && text[line - 1] == L':' && !driveColon(line - 1)) {
                cut = line - 1;
            }
        } else if (digits < end && digits >= 7 && EqualsNoCase(text, digits - 7, 7, L", line ")) {
            cut = digits - 7;  // Python's tracebacks
        }
    }
    if (cut == npos || cut == 0) return false;
    path = text.substr(0, cut);
    // Python quotes the file name: "C:\app\main.py", line 12
    if (path.size() >= 2 && path.front() == L'"' && path.back() == L'"') {
        path = path.substr(1, path.size() - 2);
    }
    return !path.empty();
}

bool RegistryKeyIn(const std::wstring& text, std::wstring& key) {
    // Registry Editor's address bar shows "Computer\" in front of the root.
    const std::size_t start = StartsWithNoCase(text, L"Computer\\") ? 9 : 0;
    const std::size_t slash = text.find(L'\\', start);
    const std::size_t rootLength = (slash == std::wstring::npos ? text.size() : slash) - start;
    static const wchar_t* const kRoots[] = {
        L"HKEY_CURRENT_USER",   L"HKCU", L"HKEY_LOCAL_MACHINE", L"HKLM",
        L"HKEY_CLASSES_ROOT",   L"HKCR", L"HKEY_USERS",         L"HKU",
        L"HKEY_CURRENT_CONFIG", L"HKCC",
    };
    bool known = false;
    for (const wchar_t* root : kRoots) known = known || EqualsNoCase(text, start, rootLength, root);
    if (!known) return false;
    std::wstring result;
    for (std::size_t i = start; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if (c < 0x20 || c == 0x7F) return false;  // a line break: more than one key
        // No key name holds a backslash: a run of them is a string literal's escape.
        if (c == L'\\' && !result.empty() && result.back() == L'\\') continue;
        result += c;
    }
    key.swap(result);
    return true;
}

bool MailAddressIn(const std::wstring& text, std::wstring& address) {
    const std::wstring candidate = StartsWithNoCase(text, L"mailto:") ? text.substr(7) : text;
    const std::size_t at = candidate.find(L'@');
    if (at == std::wstring::npos || at == 0 || candidate.find(L'@', at + 1) != std::wstring::npos) {
        return false;
    }
    const wchar_t kNeverInAddress[] = L"\"(),:;<>[\\]/";
    const std::size_t kNeverCount = std::size(kNeverInAddress) - 1;
    for (wchar_t c : candidate) {
        if (c <= 0x20 || c == 0x7F || IsBlank(c)) return false;
        if (std::char_traits<wchar_t>::find(kNeverInAddress, kNeverCount, c) != nullptr) {
            return false;
        }
    }
    const std::wstring domain = candidate.substr(at + 1);
    if (domain.find(L'.') == std::wstring::npos || domain.front() == L'.' ||
        domain.back() == L'.' || domain.find(L"..") != std::wstring::npos) {
        return false;
    }
    for (wchar_t c : domain) {
        const bool allowed = IsAsciiLetter(c) || IsDigit(c) || c == L'-' || c == L'.' || c >= 0x80;
        if (!allowed) return false;
    }
    address = candidate;
    return true;
}

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

// Opens the normalised `text` when it names a folder ("explore") or a file ("open"); a
// folder only when `filesOnly` is false.
bool OpenIfOnDisk(std::wstring& text, bool filesOnly, COpenPlatform& platform,
                  OpenOutcome& outcome) {
    const std::uint32_t attributes = platform.FileAttributes(text.c_str());
    if (attributes == kInvalidFileAttributes) return false;
    if (attributes & kFileAttributeDirectory) {
        if (filesOnly) return false;
        outcome = Launch(platform, L"explore", text, OpenOutcome::kOpenedFolder);
        return true;
    }
    outcome = Launch(platform, L"open", text, OpenOutcome::kOpenedFile);
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
    auto attempt = [&](bool filesOnly) {
        if (candidate.empty() || candidate == tried || IsWebAddress(candidate)) return false;
        tried = candidate;
        std::wstring normalised = candidate;
        Normalise(normalised, platform);
        if (!OpenIfOnDisk(normalised, filesOnly, platform, outcome)) return false;
        text = normalised;
        return true;
    };

    if (attempt(false)) return true;
    std::wstring expanded;
    if (candidate.find(L'%') != std::wstring::npos &&
        platform.ExpandVariables(candidate.c_str(), expanded)) {
        candidate = expanded;
        if (attempt(false)) return true;
    }
    std::wstring path;
    if (StartsWithNoCase(candidate, L"file:") &&
        platform.PathFromFileUrl(candidate.c_str(), path)) {
        candidate = path;
        if (attempt(false)) return true;
    }
    if (candidate.size() >= 2 && IsAsciiLetter(candidate[0]) && candidate[1] == L':' &&
        candidate.find(L'/') != std::wstring::npos) {
        std::replace(candidate.begin(), candidate.end(), L'/', L'\\');
        if (attempt(false)) return true;
    }
    // Opening at the line is the editor's business; the file is what is asked for.
    if (StripSourcePosition(candidate, path)) {
        candidate = path;
        if (attempt(true)) return true;
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
    const std::uint32_t attributes = platform.FileAttributes(path.c_str());
    return attributes != kInvalidFileAttributes &&
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
    const std::wstring selection = text;

    Normalise(text, platform);
    OpenOutcome outcome = OpenOutcome::kNothing;
    if (OpenIfOnDisk(text, false, platform, outcome)) return outcome;

    std::wstring cleaned = selection;
    CleanUpSelection(cleaned);
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
    if (lookInside && OpenFoundInside(cleaned, platform, text, outcome)) return outcome;

    // The address tests see the cleaned-up text: a URL in quotes or ending a sentence
    // opens without them. A text with nothing to clean up is tested exactly as before.
    if (cleaned != selection) {
        text = cleaned;
        Normalise(text, platform);
    }

    if (platform.IsValidUrl(text.c_str())) {
        // "C:\nowhere" passes as a URL of scheme "c"; a drive that names nothing on disk
        // is a missing path, not an address.
        const bool hasDrive = text.size() >= 2 && text[1] == L':';
        if (hasDrive) {
            return OpenOutcome::kNotFound;
        }
        return Launch(platform, L"open", text, OpenOutcome::kOpenedAddress);
    }

    text.insert(0, L"http://");
    if (platform.IsValidUrl(text.c_str())) {
        return Launch(platform, L"open", text, OpenOutcome::kOpenedWithPrefix);
    }
    return OpenOutcome::kNotFound;
}

}  // namespace

OpenOutcome OpenText(std::wstring& text, COpenPlatform& platform) {
    return OpenOneText(text, platform, true);
}

unsigned int BalloonStringFor(OpenOutcome outcome, bool showSuccessBalloon) {
    switch (outcome) {
        case OpenOutcome::kOpenedFolder:
        case OpenOutcome::kOpenedFile:
        case OpenOutcome::kOpenedRegistryKey:
        case OpenOutcome::kOpenedMailAddress:
            return showSuccessBalloon ? IDS_OPENING_SELECTION : 0;
        case OpenOutcome::kOpenedAddress:
            return showSuccessBalloon ? IDS_OPENING_WEBPAGE : 0;
        case OpenOutcome::kNotFound:
            return IDS_NOT_FOUND;
        case OpenOutcome::kNothing:
        case OpenOutcome::kOpenedWithPrefix:
        case OpenOutcome::kShellFailed:
        case OpenOutcome::kNothingChosen:
            break;
    }
    return 0;
}

#include "opener/open_decision.h"

#include <algorithm>
#include <iterator>
#include <new>

#include "opener/selection_scan.h"
#include "base/text_chars.h"
#include "res/resource.h"

namespace {

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
    // Pass by pass, pairs of equal separators become one until none is left: every run of
    // backslashes ends as one backslash, every run of slashes as one slash. Done in one
    // pass, in place, so that a long selection is not copied.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const wchar_t c = text[i];
        if ((c == L'\\' || c == L'/') && kept > 0 && text[kept - 1] == c) continue;
        text[kept++] = c;
    }
    text.resize(kept);
    if (networkPath) {
        text.insert(0, 1, L'\\');
    }
}

void TrimBlanks(std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    text.erase(end);
    text.erase(0, begin);
}

namespace {

// The range of `text` that CleanUpSelection keeps.
void CleanedRange(const std::wstring& text, std::size_t& begin, std::size_t& end) {
    // Worked on as a range: a long run of brackets costs no copies.
    begin = 0;
    end = text.size();
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
}

}  // namespace

void CleanUpSelection(std::wstring& text) {
    std::size_t begin = 0;
    std::size_t end = 0;
    CleanedRange(text, begin, end);
    text.erase(end);
    text.erase(0, begin);
}

bool StripSourcePosition(const std::wstring& text, std::wstring& path,
                         SourcePosition* position) {
    // The start of the run of digits that ends just before `at`.
    auto digitsBefore = [&text](std::size_t at) {
        while (at > 0 && IsDigit(text[at - 1])) --at;
        return at;
    };
    // A colon in second place belongs to a drive ("C:12" is a name on drive C).
    auto driveColon = [&text](std::size_t at) { return at == 1 && IsAsciiLetter(text[0]); };
    const std::size_t npos = std::wstring::npos;
    std::size_t cut = npos;
    // Where the digits of the line and the column are: [begin, end).
    std::size_t lineBegin = 0, lineEnd = 0, columnBegin = 0, columnEnd = 0;
    const std::size_t end = text.size();
    if (end > 0 && text[end - 1] == L')') {
        // "(LINE)" or "(LINE,COL)", as compilers on Windows print them.
        std::size_t at = end - 1;
        std::size_t digits = digitsBefore(at);
        std::size_t comma = digits;
        while (comma > 0 && text[comma - 1] == L' ') --comma;
        if (digits < at && comma > 0 && text[comma - 1] == L',') {
            columnBegin = digits;  // that was the column; the line comes before the comma
            columnEnd = at;
            at = comma - 1;
            digits = digitsBefore(at);
        }
        // "Report (2)" is a name: Windows drops the blank a cut there would leave, and
        // would open "Report" instead.
        if (digits < at && digits > 1 && text[digits - 1] == L'(' && !IsBlank(text[digits - 2])) {
            cut = digits - 1;
            lineBegin = digits;
            lineEnd = at;
        }
    } else {
        const std::size_t digits = digitsBefore(end);
        if (digits < end && digits > 0 && text[digits - 1] == L':' && !driveColon(digits - 1)) {
            // ":LINE" or ":LINE:COL"
            cut = digits - 1;
            lineBegin = digits;
            lineEnd = end;
            const std::size_t line = digitsBefore(cut);
            if (line < cut && line > 0 && text[line - 1] == L':' && !driveColon(line - 1)) {
                columnBegin = lineBegin;
                columnEnd = lineEnd;
                lineBegin = line;
                lineEnd = cut;
                cut = line - 1;
            }
        } else if (digits < end && digits >= 7 && EqualsNoCase(text, digits - 7, 7, L", line ")) {
            cut = digits - 7;  // Python's tracebacks
            lineBegin = digits;
            lineEnd = end;
        }
    }
    if (cut == npos || cut == 0) return false;
    // Python quotes the file name: "C:\app\main.py", line 12
    std::size_t begin = 0;
    if (cut >= 2 && text[0] == L'"' && text[cut - 1] == L'"') {
        begin = 1;
        --cut;
    }
    if (cut == begin) return false;
    path.assign(text, begin, cut - begin);
    if (position != nullptr) {
        position->line.assign(text, lineBegin, lineEnd - lineBegin);
        position->column.assign(text, columnBegin, columnEnd - columnBegin);
    }
    return true;
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
    // "a?cc=boss@corp.com" would become a mail with a copy to the boss: "?", "&", "%" and
    // "=" start or encode the headers of a mailto: link, and no real address has them.
    const std::wstring local = candidate.substr(0, at);
    if (local.find_first_of(L"?&%=") != std::wstring::npos) return false;
    const std::wstring domain = candidate.substr(at + 1);
    if (domain.find(L'.') == std::wstring::npos || domain.front() == L'.' ||
        domain.back() == L'.' || domain.find(L"..") != std::wstring::npos) {
        return false;
    }
    for (wchar_t c : domain) {
        const bool allowed = IsAsciiLetter(c) || IsDigit(c) || c == L'-' || c == L'.' || c >= 0x80;
        if (!allowed) return false;
    }
    // Top-level domains are letters ("lodash@4.17.21" is a package at a version), or an
    // internationalised one in its ASCII form ("xn--p1ai").
    const std::wstring last = domain.substr(domain.rfind(L'.') + 1);
    if (!StartsWithNoCase(last, L"xn--")) {
        for (wchar_t c : last) {
            if (!IsAsciiLetter(c) && c < 0x80) return false;
        }
    }
    // "icon@2x.png", "logo@3x.webp": a picture at a screen scale, not an address, unless
    // "mailto:" says otherwise.
    const std::size_t scale = domain.find(L'.');
    if (candidate.size() == text.size() && scale >= 2 && LowerAscii(domain[scale - 1]) == L'x') {
        bool digits = true;
        for (std::size_t i = 0; i + 1 < scale; ++i) digits = digits && IsDigit(domain[i]);
        if (digits) return false;
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

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// Where the name of the file `path` names begins: after the last separator, or after the
// colon of a drive ("C:run.exe").
std::size_t NameStart(const std::wstring& path) {
    std::size_t start = path.size();
    while (start > 0 && !IsSeparator(path[start - 1])) --start;
    if (start == 0 && path.size() >= 2 && path[1] == L':' && IsAsciiLetter(path[0])) start = 2;
    return start;
}

// The type of the name in [begin, end) of `path`: from its last dot on, without the blanks
// and dots that end it (Windows drops them: "run.exe." is run.exe).
std::wstring TypeOfName(const std::wstring& path, std::size_t begin, std::size_t end) {
    while (end > begin && (path[end - 1] == L'.' || path[end - 1] == L' ')) --end;
    for (std::size_t dot = end; dot > begin; --dot) {
        if (path[dot - 1] == L'.') return path.substr(dot - 1, end - dot + 1);
    }
    return std::wstring();
}

bool SameType(const std::wstring& type, const wchar_t* other, std::size_t length) {
    return EqualsNoCase(type, 0, type.size(), std::wstring(other, length).c_str());
}

// File types that run something when opened, whatever this system's settings say: the
// usual PATHEXT, scripts of the script hosts and PowerShell, installers, control panel
// items, registry files, shortcuts of every kind and the help formats that run script.
const wchar_t* const kDangerousTypes[] = {
    L".exe",        L".com",   L".bat",   L".cmd",         L".msc",       L".scr", L".pif",
    L".cpl",        L".msi",   L".msp",   L".mst",         L".ps1",       L".vbs", L".vbe",
    L".js",         L".jse",   L".wsf",   L".wsh",         L".ws",        L".wsc", L".sct",
    L".hta",        L".reg",   L".lnk",   L".url",         L".scf",       L".jar", L".chm",
    L".appref-ms",  L".application",      L".settingcontent-ms",          L".library-ms",
};

bool IsFullPath(const std::wstring& path) {
    return StartsWith(path, L"\\\\") ||
           (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\');
}

// What the editors are told, by their executable's file name. In the arguments %f is the
// file, %l the line and %c the column; what is in [brackets] only when there is a column;
// a blank separates arguments, each quoted as the C runtime reads it.
struct EditorSyntax {
    const wchar_t* program;
    const wchar_t* arguments;
};
const EditorSyntax kEditors[] = {
    // Visual Studio Code and the forks that share its switches
    {L"Code.exe", L"-g %f:%l[:%c]"},
    {L"Code - Insiders.exe", L"-g %f:%l[:%c]"},
    {L"VSCodium.exe", L"-g %f:%l[:%c]"},
    {L"Cursor.exe", L"-g %f:%l[:%c]"},
    {L"Windsurf.exe", L"-g %f:%l[:%c]"},
    {L"notepad++.exe", L"-n%l [-c%c] %f"},
    {L"sublime_text.exe", L"%f:%l[:%c]"},
    {L"subl.exe", L"%f:%l[:%c]"},
    {L"gvim.exe", L"+%l %f"},
    {L"vim.exe", L"+%l %f"},
    {L"nvim-qt.exe", L"+%l %f"},
    {L"emacs.exe", L"+%l[:%c] %f"},
    {L"runemacs.exe", L"+%l[:%c] %f"},
    {L"emacsclientw.exe", L"+%l[:%c] %f"},
    // The JetBrains IDEs
    {L"idea64.exe", L"--line %l [--column %c] %f"},
    {L"pycharm64.exe", L"--line %l [--column %c] %f"},
    {L"clion64.exe", L"--line %l [--column %c] %f"},
    {L"webstorm64.exe", L"--line %l [--column %c] %f"},
    {L"phpstorm64.exe", L"--line %l [--column %c] %f"},
    {L"rider64.exe", L"--line %l [--column %c] %f"},
    {L"goland64.exe", L"--line %l [--column %c] %f"},
    {L"rubymine64.exe", L"--line %l [--column %c] %f"},
    {L"rustrover64.exe", L"--line %l [--column %c] %f"},
    {L"datagrip64.exe", L"--line %l [--column %c] %f"},
    {L"studio64.exe", L"--line %l [--column %c] %f"},
    {L"Notepad2.exe", L"/g %l %f"},
    {L"Notepad3.exe", L"/g %l %f"},
};

}  // namespace

std::wstring FileTypeOf(const std::wstring& path) {
    // The file's own type: a stream name after a colon ("a.txt:b") is not the file.
    const std::size_t start = NameStart(path);
    std::size_t end = path.find(L':', start);
    if (end == std::wstring::npos) end = path.size();
    return TypeOfName(path, start, end);
}

bool IsDangerousFile(const std::wstring& path, COpenPlatform& platform) {
    // Every part of a name with streams counts: "run.exe::$DATA" runs run.exe.
    std::wstring pathExt;
    bool pathExtRead = false;
    std::size_t begin = NameStart(path);
    while (begin <= path.size()) {
        std::size_t end = path.find(L':', begin);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring type = TypeOfName(path, begin, end);
        begin = end + 1;
        if (type.empty()) continue;
        for (const wchar_t* listed : kDangerousTypes) {
            if (EqualsNoCase(type, 0, type.size(), listed)) return true;
        }
        if (platform.IsDangerousType(type.c_str())) return true;
        if (!pathExtRead) {
            pathExtRead = true;
            if (!platform.ExpandVariables(L"%PATHEXT%", pathExt)) pathExt.clear();
        }
        for (std::size_t item = 0; item <= pathExt.size();) {
            std::size_t next = pathExt.find(L';', item);
            if (next == std::wstring::npos) next = pathExt.size();
            if (next > item && SameType(type, pathExt.c_str() + item, next - item)) return true;
            item = next + 1;
        }
    }
    return false;
}

void AppendArgument(std::wstring& commandLine, const std::wstring& argument) {
    if (!commandLine.empty()) commandLine += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        commandLine += argument;
        return;
    }
    // Backslashes are literal unless a quote follows them: then each is doubled, and the
    // quote itself escaped. The closing quote counts too.
    commandLine += L'"';
    std::size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        commandLine.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        commandLine += c;
    }
    commandLine.append(backslashes * 2, L'\\');
    commandLine += L'"';
}

bool EditorCommandLine(const std::wstring& program, const std::wstring& file,
                       const SourcePosition& position, std::wstring& commandLine) {
    const std::size_t nameStart = NameStart(program);
    const EditorSyntax* syntax = nullptr;
    for (const EditorSyntax& row : kEditors) {
        if (EqualsNoCase(program, nameStart, program.size() - nameStart, row.program)) {
            syntax = &row;
            break;
        }
    }
    if (syntax == nullptr) return false;

    // The editor reads its own switches from its command line: a name that starts like one
    // goes in as ".\-name", and slashes become backslashes ("/g" is a switch of Notepad2).
    std::wstring path = file;
    std::replace(path.begin(), path.end(), L'/', L'\\');
    if (!path.empty() && (path[0] == L'-' || path[0] == L'+' || path[0] == L'@')) {
        path.insert(0, L".\\");
    }
    // argv[0] follows other rules: quoted, and taken as it is up to the next quote.
    std::wstring line = L"\"" + program + L"\"";
    std::wstring argument;
    bool inArgument = false;
    bool skipping = false;
    for (const wchar_t* p = syntax->arguments;; ++p) {
        if (*p == L'\0' || *p == L' ') {
            if (inArgument) AppendArgument(line, argument);
            argument.clear();
            inArgument = false;
            if (*p == L'\0') break;
        } else if (*p == L'[') {
            skipping = position.column.empty();
        } else if (*p == L']') {
            skipping = false;
        } else if (!skipping) {
            inArgument = true;
            if (*p == L'%' && (p[1] == L'f' || p[1] == L'l' || p[1] == L'c')) {
                ++p;
                argument += *p == L'f' ? path : *p == L'l' ? position.line : position.column;
            } else {
                argument += *p;
            }
        }
    }
    commandLine.swap(line);
    return true;
}

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

// Opens the normalised `text` when it names a folder ("explore") or a file; a folder only
// when `filesOnly` is false. `position` is where in the file, if the text said.
bool OpenIfOnDisk(std::wstring& text, bool filesOnly, const SourcePosition* position,
                  COpenPlatform& platform, OpenOutcome& outcome) {
    const std::uint32_t attributes = platform.FileAttributes(text.c_str());
    if (attributes == kInvalidFileAttributes) return false;
    if (attributes & kFileAttributeDirectory) {
        if (filesOnly) return false;
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

#include "opener/selection_forms.h"

#include <iterator>

#include "base/text_chars.h"

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

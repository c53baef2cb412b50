#include "opener/selection_scan.h"

#include <algorithm>
#include <cstdint>

#include "base/text_chars.h"
#include "opener/selection_forms.h"
#include "opener/web_address.h"

namespace {

// No path on Windows is longer than MAX_PATH, even with its variables unexpanded or its
// blanks written %20; a stretch stops well after that, so that the work per place where
// a path starts does not grow with the selection.
constexpr std::size_t kLongestPathStretch = 1024;
// A mail address's local part is at most this long.
constexpr std::size_t kLongestMailbox = 64;
// Places where something starts that the scan looks at, found or not, repeated or not:
// beyond them a text full of addresses or missing paths costs no more than plain prose.
constexpr std::size_t kMostStarts = 256;
// Environment variable names people write are short; looking further would make every
// "%" in a long text cost more.
constexpr std::size_t kLongestVariableName = 64;

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029;
}

// Part of a word: a start of a path or address right after one is no start.
bool IsWordCharacter(wchar_t c) {
    return IsAsciiLetter(c) || IsDigit(c) || c == L'_' || (c >= 0x80 && !IsBlank(c));
}

// Where a shorter stretch of a path may end: before a blank or punctuation.
bool IsBoundary(wchar_t c) {
    return IsBlank(c) || IsSentencePunctuation(c) || c == L'(' || c == L')' || c == L'[' ||
           c == L']' || c == L'{' || c == L'}' || c == L'\'' || c == 0x2018 || c == 0x2019;
}

bool IsPunctuation(wchar_t c) {
    return (IsBoundary(c) && !IsBlank(c)) || c == L'"' || c == L'<' || c == L'>' || c == 0x201C ||
           c == 0x201D;
}

// True when the text from `end` on holds nothing but punctuation before white space or the
// end: a stretch ends there at a word boundary. "docs:12" or "main.cpp:x" end nowhere
// inside; "in.csv: access" and "(C:\Temp)." do. A run of punctuation longer than any
// sentence ends with is no end, and looking no further keeps the scan linear.
bool EndsWord(const std::wstring& text, std::size_t end) {
    for (std::size_t k = 0; k < 64 && end + k < text.size(); ++k) {
        const wchar_t c = text[end + k];
        if (IsBlank(c) || IsControl(c)) return true;
        if (!IsPunctuation(c)) return false;
    }
    return end + 64 > text.size();
}

// No file name holds these; nor does an address hold the quotes and angle brackets that
// people put around one.
bool EndsPath(wchar_t c) {
    return IsControl(c) || c == L'"' || c == L'<' || c == L'>' || c == L'|' || c == L'*' ||
           c == L'?' || c == 0x201C || c == 0x201D;
}

bool EndsOffered(wchar_t c) {
    return IsControl(c) || IsBlank(c) || c == L'"' || c == L'<' || c == L'>' || c == 0x201C ||
           c == 0x201D;
}

bool MatchesNoCase(const std::wstring& text, std::size_t at, const wchar_t* word) {
    return EqualsNoCase(text, at, std::char_traits<wchar_t>::length(word), word);
}

bool Matches(const std::wstring& text, std::size_t at, const wchar_t* word) {
    return text.compare(at, std::char_traits<wchar_t>::length(word), word) == 0;
}

enum class Kind { kNone, kDrive, kVariable, kFileUrl, kNetwork, kAddress, kMail };

struct Start {
    Kind kind = Kind::kNone;
    std::size_t prefix = 0;  // characters that make the start; a stretch is at least these
};

Start At(Kind kind, std::size_t prefix) {
    Start start;
    start.kind = kind;
    start.prefix = prefix;
    return start;
}

// Most characters start nothing: a look at them alone decides, before StartAt looks
// around.
// `text` is NUL-terminated, so the character after `i` may always be read.
inline bool MayStart(const wchar_t* text, std::size_t i) {
    const wchar_t c = text[i];
    if (c == L'%' || c == L'\\') return true;
    const wchar_t lower = static_cast<wchar_t>(c | 0x20);
    if (lower < L'a' || lower > L'z') return false;
    if (i > 0 && IsWordCharacter(text[i - 1])) return false;  // inside a word
    // A drive letter, or the first letter of "file:", "http" or "www.".
    return lower == L'f' || lower == L'h' || lower == L'w' || text[i + 1] == L':';
}

// What starts at `i`, if anything. Constant work but for a "%", which looks at most
// kLongestVariableName characters ahead.
Start StartAt(const std::wstring& text, std::size_t i) {
    const std::size_t n = text.size();
    const wchar_t c = text[i];
    const bool letter = IsAsciiLetter(c);
    if (i > 0) {
        // "abC:\", "x.www.", "a\\\\b": the middle of something else.
        const wchar_t before = text[i - 1];
        if (IsWordCharacter(before) || before == L'\\' || before == L'/' || before == L':' ||
            before == L'.' || before == L'@' || before == L'%' || before == L'-') {
            return {};
        }
    }
    if (letter && i + 2 < n && text[i + 1] == L':' &&
        (text[i + 2] == L'\\' || text[i + 2] == L'/')) {
        return At(Kind::kDrive, 3);
    }
    if (c == L'%') {
        std::size_t j = i + 1;
        while (j < n && j - i - 1 < kLongestVariableName && text[j] != L'%' && !IsBlank(text[j]) &&
               !IsControl(text[j]) && text[j] != L'\\' && text[j] != L'/') {
            ++j;
        }
        if (j > i + 1 && j + 1 < n && text[j] == L'%' && text[j + 1] == L'\\') {
            return At(Kind::kVariable, j + 2 - i);
        }
        return {};
    }
    if (MatchesNoCase(text, i, L"file:/")) return At(Kind::kFileUrl, 6);
    if (c == L'\\') {
        // A string literal doubles the backslashes: "\\\\server\\share".
        std::size_t j = i;
        while (j < n && text[j] == L'\\') ++j;
        if (j - i >= 2 && j < n && IsWordCharacter(text[j])) return At(Kind::kNetwork, j - i);
        return {};
    }
    // The address rules take these two schemes as written; another case goes the path way.
    if (Matches(text, i, L"http://")) return At(Kind::kAddress, 7);
    if (Matches(text, i, L"https://")) return At(Kind::kAddress, 8);
    if (MatchesNoCase(text, i, L"www.") && i + 4 < n && IsWordCharacter(text[i + 4])) {
        return At(Kind::kAddress, 4);
    }
    return {};
}

// Where the mail address whose "@" is at `at` starts, or npos: its local part runs back over
// the characters an address may hold ("?", "=", "&" and "%" belong to a link's headers, not
// to an address), and is preceded by the start of the text, white space, or what people
// write before an address ("Contact: ", "<", "(", a quote).
std::size_t MailStartBefore(const std::wstring& text, std::size_t at) {
    std::size_t start = at;
    while (start > 0 && at - start < kLongestMailbox) {
        const wchar_t c = text[start - 1];
        const bool local = IsAsciiLetter(c) || IsDigit(c) || (c >= 0x80 && !IsBlank(c)) ||
                           (c != 0 && std::char_traits<wchar_t>::find(L".!#$*+^_`{|}~-", 14, c));
        if (!local) break;
        --start;
    }
    if (start == at) return std::wstring::npos;
    if (start == 0) return start;
    const wchar_t before = text[start - 1];
    const bool opens = IsBlank(before) || IsControl(before) || before == L':' || before == L'(' ||
                       before == L'[' || before == L'<' || before == L'"' || before == L'\'' ||
                       before == L',' || before == L';' || before == 0x201C || before == 0x2018;
    return opens ? start : std::wstring::npos;
}

// Characters that end a mail address found inside a text; a slash or a backslash after it
// makes it part of a path or an address, which the mail rule refuses.
bool EndsMail(wchar_t c) {
    return EndsOffered(c) || c == L'(' || c == L')' || c == L',' || c == L':' || c == L';' ||
           c == L'[' || c == L']' || c == L'\'' || c == 0x2019;
}

// The first place at or after `from` where something starts, and what; text.size() when
// none. Every start holds a marker near its beginning (a drive's, "file:"'s or "http:"'s
// colon, the dot of "www.", the "%" of a variable, the backslashes of a network path), so
// the loop that a long text spends its time in looks for those few characters alone.
std::size_t NextStart(const std::wstring& text, std::size_t from, Start& what) {
    const wchar_t* const data = text.c_str();
    const std::size_t n = text.size();
    for (std::size_t j = from; j < n; ++j) {
        const wchar_t c = data[j];
        // One test for most characters: "%", "." and ":" are below 64, "@" is 64, "\\" is 92.
        constexpr std::uint64_t kMarkers = (1ull << L'%') | (1ull << L'.') | (1ull << L':');
        if (c != L'\\' && c != L'@' && (c >= 64 || ((kMarkers >> c) & 1u) == 0)) continue;
        if (c == L'@') {
            const std::size_t start = MailStartBefore(text, j);
            if (start == std::wstring::npos || start < from) continue;
            what = At(Kind::kMail, j + 1 - start);
            return start;
        }
        std::size_t back[3] = {0, 0, 0};  // how far before the marker a start may lie
        std::size_t count = 0;
        switch (c) {
            case L':':  // "https:", "http:" or "file:", a drive letter
                back[count++] = 5;
                back[count++] = 4;
                back[count++] = 1;
                break;
            case L'.':  // "www."
                back[count++] = 3;
                break;
            case L'%':
            case L'\\':
                back[count++] = 0;
                break;
            default:
                continue;
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (back[k] > j || j - back[k] < from) continue;
            // A start begins with a letter, "%" or "\\": "10:41" needs no closer look.
            const wchar_t first = data[j - back[k]];
            if (first != L'%' && first != L'\\' && !IsAsciiLetter(first)) continue;
            what = StartAt(text, j - back[k]);
            if (what.kind != Kind::kNone) return j - back[k];
        }
    }
    return n;
}

// Counts the quotes and brackets of a stretch as it grows, to tell whether a closing one
// at its end belongs to it ("Program Files (x86)", "main.cpp(42,7)") or to the text around
// it ("(see C:\Temp)").
class CPairCount {
public:
    void Add(wchar_t c) {
        const int pair = PairOf(c);
        if (pair < 0) return;
        if (c == kOpen[pair]) {
            ++m_open[pair];
        } else {
            ++m_close[pair];
        }
    }
    // True when `c`, the last character added, has an opening partner in the stretch.
    bool Closes(wchar_t c) const {
        const int pair = PairOf(c);
        if (pair < 0 || c != kClose[pair]) return true;  // no closing character at all
        // A quote that opens and closes alike is counted as opening: an even count pairs up.
        return kOpen[pair] == kClose[pair] ? m_open[pair] % 2 == 0 : m_close[pair] <= m_open[pair];
    }

private:
    static int PairOf(wchar_t c) {
        switch (c) {
            case L'(':
            case L')':
                return 0;
            case L'[':
            case L']':
                return 1;
            case L'{':
            case L'}':
                return 2;
            case L'\'':
                return 3;
            case 0x2018:
            case 0x2019:
                return 4;
            case L'<':
            case L'>':
                return 5;
            case L'"':
                return 6;
            default:
                return -1;
        }
    }
    static constexpr wchar_t kOpen[] = {L'(', L'[', L'{', L'\'', 0x2018, L'<', L'"'};
    static constexpr wchar_t kClose[] = {L')', L']', L'}', L'\'', 0x2019, L'>', L'"'};
    std::size_t m_open[7] = {};
    std::size_t m_close[7] = {};
};

// May a candidate end after `last`? Not with a blank, sentence punctuation or a closing
// quote or bracket whose opening one lies outside.
bool CanEndWith(wchar_t last, const CPairCount& pairs) {
    return !IsBlank(last) && !IsSentencePunctuation(last) && pairs.Closes(last);
}

// Where a path stretch from `start` may reach: not over a character no path holds, a
// colon other than a drive's or one before a line number, nor into the next start.
std::size_t PathStretchLimit(const std::wstring& text, std::size_t start, const Start& what) {
    const std::size_t limit = std::min(text.size(), start + kLongestPathStretch);
    std::size_t j = start + what.prefix;
    for (; j < limit; ++j) {
        const wchar_t c = text[j];
        if (EndsPath(c)) break;
        if (c == L':') {
            const bool position = j + 1 < text.size() && IsDigit(text[j + 1]);
            // file:///C:/x has a drive inside.
            const bool urlDrive = what.kind == Kind::kFileUrl && j >= 2 &&
                                  IsAsciiLetter(text[j - 1]) && text[j - 2] == L'/';
            if (!position && !urlDrive) break;
        }
        if (MayStart(text.c_str(), j) && StartAt(text, j).kind != Kind::kNone) break;
    }
    return j;
}

}  // namespace

std::vector<std::wstring> FindCandidates(
    const std::wstring& text, std::size_t lookups,
    const std::function<bool(const std::wstring& stretch)>& namesSomething) {
    std::vector<std::wstring> found;
    // Compared where it stands: a text that repeats one address costs no copies.
    auto offer = [&found, &text](std::size_t start, std::size_t length) {
        for (const std::wstring& earlier : found) {
            if (earlier.size() == length && text.compare(start, length, earlier) == 0) return;
        }
        found.push_back(text.substr(start, length));
    };
    std::vector<std::size_t> ends;
    std::vector<bool> wordEnd;
    std::size_t starts = 0;
    std::size_t i = 0;
    while (i < text.size() && found.size() < kMostCandidates && starts < kMostStarts) {
        Start what;
        i = NextStart(text, i, what);
        if (i >= text.size()) break;
        ++starts;
        if (what.kind == Kind::kNetwork || what.kind == Kind::kAddress ||
            what.kind == Kind::kMail) {
            // Up to white space, less what ends a sentence or closes around it.
            const bool mail = what.kind == Kind::kMail;
            const std::size_t limit = std::min(text.size(), i + kLongestWebAddress);
            CPairCount pairs;
            std::size_t end = i;
            std::size_t j = i;
            for (; j < limit && !(mail ? EndsMail(text[j]) : EndsOffered(text[j])); ++j) {
                pairs.Add(text[j]);
                if (j + 1 > i + what.prefix && CanEndWith(text[j], pairs)) end = j + 1;
            }
            // An address cut off at the longest a browser takes would open another page.
            if (j == limit && limit < text.size() && !EndsOffered(text[limit])) end = i;
            // The mail rule judges what looks like an address; what it refuses is no candidate.
            std::wstring address;
            if (mail && end > i && !MailAddressIn(text.substr(i, end - i), address)) end = i;
            if (end > i) offer(i, end - i);
            i = std::max(j, i + 1);
            continue;
        }
        if (lookups == 0) {
            ++i;
            continue;
        }
        // Where the stretch may end, longest first: before blanks or punctuation that end a
        // word; the start alone ("C:\", "%TEMP%\") names a folder too.
        const std::size_t limit = PathStretchLimit(text, i, what);
        // wordEnd[k]: the stretch may end k characters after its start (from the back, so
        // that each character is looked at once).
        wordEnd.assign(limit - i + 1, false);
        wordEnd[limit - i] = EndsWord(text, limit);
        for (std::size_t k = limit - i; k-- > 0;) {
            const wchar_t c = text[i + k];
            wordEnd[k] = IsBlank(c) || IsControl(c) || (IsPunctuation(c) && wordEnd[k + 1]);
        }
        ends.clear();
        CPairCount pairs;
        for (std::size_t j = i; j < limit; ++j) {
            pairs.Add(text[j]);
            const std::size_t end = j + 1;
            if (end < i + what.prefix || !CanEndWith(text[j], pairs)) continue;
            if (wordEnd[end - i]) ends.push_back(end);
        }
        std::size_t next = i + 1;
        for (auto end = ends.rbegin(); end != ends.rend() && lookups > 0; ++end) {
            --lookups;
            if (namesSomething(text.substr(i, *end - i))) {
                offer(i, *end - i);
                next = *end;
                break;
            }
        }
        i = next;
    }
    return found;
}

std::wstring MenuLabel(const std::wstring& candidate) {
    // The marks and embeddings that reorder text would let "\u202Efdp.exe" show as
    // "exe.pdf"; the label shows the characters in the order they are stored.
    std::wstring label;
    label.reserve(candidate.size());
    for (wchar_t c : candidate) {
        const bool reorders = c == 0x061C || c == 0x200E || c == 0x200F ||
                              (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
        if (!reorders) label += c;
    }
    return ShortenInTheMiddle(label);
}

std::wstring ShortenInTheMiddle(const std::wstring& text, std::size_t longest) {
    if (text.size() <= longest || longest < 3) return text;
    std::size_t head = (longest - 1 + 1) / 2;
    std::size_t tail = longest - 1 - head;
    // Half a character would show as a box.
    auto isHigh = [](wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; };
    auto isLow = [](wchar_t c) { return c >= 0xDC00 && c <= 0xDFFF; };
    if (isHigh(text[head - 1])) --head;
    if (isLow(text[text.size() - tail])) --tail;
    return text.substr(0, head) + L"\u2026" + text.substr(text.size() - tail);
}

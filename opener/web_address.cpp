#include "opener/web_address.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

#include "base/text_chars.h"

namespace {

// IANA's list, in ASCII and lower case, each one between two bars.
const char kTopLevelDomains[] =
#include "opener/top_level_domains.inc"
    ;

// File types people name files by. Some are also top-level domains (".md", ".py", ".sh",
// ".zip", ".mov", ".rs", ".cc"); a bare "setup.py" is far more often a file than a site.
// The big web domains that are also types (".com", ".app") are not listed.
const wchar_t* const kFileTypes[] = {
    L"7z",   L"avi",  L"bak",  L"bat",  L"bin", L"bmp",  L"c",    L"cc",   L"cfg",  L"cmd",
    L"conf", L"cpp",  L"cs",   L"css",  L"csv", L"dat",  L"db",   L"dll",  L"doc",  L"docx",
    L"exe",  L"gif",  L"go",   L"gz",   L"h",   L"hpp",  L"htm",  L"html", L"ini",  L"iso",
    L"jar",  L"java", L"jpeg", L"jpg",  L"js",  L"json", L"log",  L"lua",  L"md",   L"mkv",
    L"mov",  L"mp3",  L"mp4",  L"msi",  L"pdf", L"php",  L"png",  L"ppt",  L"pptx", L"ps1",
    L"py",   L"rar",  L"rb",   L"rs",   L"sh",  L"sql",  L"svg",  L"tar",  L"tmp",  L"toml",
    L"ts",   L"tsv",  L"txt",  L"wav",  L"xls", L"xlsx", L"xml",  L"yaml", L"yml",  L"zip",
};

std::wstring Lowered(const std::wstring& text, std::size_t begin, std::size_t end) {
    std::wstring lowered(text, begin, end - begin);
    for (wchar_t& c : lowered) c = LowerAscii(c);
    return lowered;
}

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

// Characters that end a command-line argument or hide where text begins and ends.
bool BendsCommandLine(wchar_t c) {
    return IsControl(c) || IsBlank(c) || c == L'"' || c == L'<' || c == L'>';
}

bool IsUserCharacter(wchar_t c, bool bare) {
    if (IsAsciiLetter(c) || IsDigit(c) || c == L'-' || c == L'.' || c == L'_' || c == L'~' ||
        c == L'+') {
        return true;
    }
    // With a scheme, the rest of what a URL's user part may hold ("user:password").
    static const wchar_t kMore[] = L"!$&'()*,;=:%";
    return !bare && std::char_traits<wchar_t>::find(kMore, std::size(kMore) - 1, c) != nullptr;
}

// A port: one to five digits, at most 65535.
bool IsPort(const std::wstring& text, std::size_t begin, std::size_t end) {
    if (begin >= end || end - begin > 5) return false;
    unsigned long value = 0;
    for (std::size_t i = begin; i < end; ++i) {
        if (!IsDigit(text[i])) return false;
        value = value * 10 + static_cast<unsigned long>(text[i] - L'0');
    }
    return value <= 65535;
}

bool IsIpv4(const std::wstring& text, std::size_t begin, std::size_t end) {
    int parts = 0;
    std::size_t i = begin;
    while (i <= end) {
        std::size_t digits = i;
        unsigned value = 0;
        while (digits < end && IsDigit(text[digits]) && digits - i < 3) {
            value = value * 10 + static_cast<unsigned>(text[digits] - L'0');
            ++digits;
        }
        if (digits == i || value > 255) return false;
        ++parts;
        if (digits == end) return parts == 4;
        if (text[digits] != L'.') return false;
        i = digits + 1;
    }
    return false;
}

// Labels of letters, digits and inner hyphens, 1 to 63 characters, at least two of them;
// [lastLabel, end) is the last one.
bool IsDottedName(const std::wstring& text, std::size_t begin, std::size_t end,
                  std::size_t& lastLabel) {
    int labels = 0;
    std::size_t label = begin;
    for (std::size_t i = begin; i <= end; ++i) {
        if (i < end && text[i] != L'.') {
            const wchar_t c = text[i];
            if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'-') return false;
            continue;
        }
        const std::size_t length = i - label;
        if (length == 0 || length > 63 || text[label] == L'-' || text[i - 1] == L'-') return false;
        ++labels;
        lastLabel = label;
        label = i + 1;
    }
    return labels >= 2;
}

// The host of a URL with a scheme: a bracketed IPv6 address or a name of letters, digits,
// "-", ".", "_" and characters beyond ASCII (an internationalised name as written).
bool IsUrlHost(const std::wstring& text, std::size_t begin, std::size_t end) {
    if (begin >= end) return false;
    if (text[begin] == L'[') {
        if (text[end - 1] != L']' || end - begin < 4) return false;
        for (std::size_t i = begin + 1; i + 1 < end; ++i) {
            const wchar_t c = LowerAscii(text[i]);
            if (!IsDigit(c) && !(c >= L'a' && c <= L'f') && c != L':' && c != L'.') return false;
        }
        return true;
    }
    if (text[begin] == L'.' || text[begin] == L'-') return false;
    for (std::size_t i = begin; i < end; ++i) {
        const wchar_t c = text[i];
        if (!IsAsciiLetter(c) && !IsDigit(c) && c != L'-' && c != L'.' && c != L'_' && c < 0x80) {
            return false;
        }
    }
    return true;
}

// Splits [begin, end) as "user@host:port"; false when the user part holds what it may not.
bool SplitAuthority(const std::wstring& text, std::size_t begin, std::size_t end, bool bare,
                    std::size_t& hostBegin, std::size_t& hostEnd, bool& hasPort) {
    hostBegin = begin;
    const std::size_t at = text.rfind(L'@', end == 0 ? 0 : end - 1);
    if (at != std::wstring::npos && at >= begin) {
        if (at == begin) return false;
        for (std::size_t i = begin; i < at; ++i) {
            if (!IsUserCharacter(text[i], bare)) return false;
        }
        hostBegin = at + 1;
    }
    // A bracketed IPv6 address holds colons of its own.
    std::size_t searchFrom = hostBegin;
    if (searchFrom < end && text[searchFrom] == L'[') {
        const std::size_t close = text.find(L']', searchFrom);
        searchFrom = close == std::wstring::npos || close >= end ? end : close;
    }
    const std::size_t colon = text.find(L':', searchFrom);
    hasPort = colon != std::wstring::npos && colon < end;
    hostEnd = hasPort ? colon : end;
    return !hasPort || IsPort(text, colon + 1, end);
}

}  // namespace

bool IsTopLevelDomain(const std::wstring& label) {
    // "|label|" in the list; a label with a bar or a character past ASCII is in no entry.
    if (label.empty() || label.size() > 63) return false;
    std::string entry = "|";
    for (wchar_t c : label) {
        if (c >= 0x80 || c == L'|') return false;
        entry += static_cast<char>(LowerAscii(c));
    }
    entry += '|';
    return std::strstr(kTopLevelDomains, entry.c_str()) != nullptr;
}

bool IsWebAddress(const std::wstring& text) {
    if (text.size() > kLongestWebAddress) return false;
    std::size_t begin = 0;
    if (StartsWithNoCase(text, L"http://")) {
        begin = 7;
    } else if (StartsWithNoCase(text, L"https://")) {
        begin = 8;
    } else {
        return false;
    }
    if (std::any_of(text.begin(), text.end(), BendsCommandLine)) return false;
    // Browsers read a backslash as a slash: it ends the host as well.
    std::size_t end = text.find_first_of(L"/?#\\", begin);
    if (end == std::wstring::npos) end = text.size();
    std::size_t hostBegin = 0, hostEnd = 0;
    bool hasPort = false;
    return SplitAuthority(text, begin, end, false, hostBegin, hostEnd, hasPort) &&
           IsUrlHost(text, hostBegin, hostEnd);
}

bool LooksLikeHost(const std::wstring& text) {
    if (text.empty() || text.size() + 7 > kLongestWebAddress) return false;
    for (wchar_t c : text) {
        if (BendsCommandLine(c) || c == L'\\') return false;
    }
    std::size_t end = text.find_first_of(L"/?#");
    if (end == std::wstring::npos) end = text.size();
    std::size_t hostBegin = 0, hostEnd = 0;
    bool hasPort = false;
    if (!SplitAuthority(text, 0, end, true, hostBegin, hostEnd, hasPort)) return false;
    if (EqualsNoCase(text, hostBegin, hostEnd - hostBegin, L"localhost")) return true;
    if (IsIpv4(text, hostBegin, hostEnd)) return true;
    std::size_t lastLabel = 0;
    if (!IsDottedName(text, hostBegin, hostEnd, lastLabel)) return false;
    const std::wstring domain = Lowered(text, lastLabel, hostEnd);
    if (!IsTopLevelDomain(domain)) return false;
    const bool hasPath = end < text.size() && text[end] == L'/';
    if (hasPort || hasPath || EqualsNoCase(text, hostBegin, 4, L"www.")) return true;
    return std::none_of(std::begin(kFileTypes), std::end(kFileTypes),
                        [&domain](const wchar_t* type) { return domain == type; });
}

#include "opener/pasted_forms.h"

#include <algorithm>

#include "base/text_chars.h"
#include "opener/selection_forms.h"

namespace {

std::wstring WithBackslashes(std::wstring text) {
    std::replace(text.begin(), text.end(), L'/', L'\\');
    return text;
}

}  // namespace

bool TracebackLineIn(const std::wstring& text, std::wstring& located) {
    // File "<path>", line <digits>[, in <name>]
    if (!StartsWithNoCase(text, L"File \"")) return false;
    const std::size_t close = text.find(L'"', 6);
    if (close == std::wstring::npos || close == 6) return false;
    if (!EqualsNoCase(text, close + 1, 7, L", line ")) return false;
    std::size_t end = close + 8;
    while (end < text.size() && IsDigit(text[end])) ++end;
    if (end == close + 8) return false;
    // What follows the line is the function's name; anything else is no traceback line.
    if (end != text.size() && text.compare(end, 5, L", in ") != 0) return false;
    located.assign(text, 5, end - 5);
    return true;
}

bool DrivePathFromUnixForm(const std::wstring& text, std::wstring& path) {
    // "/mnt/c" and "/mnt/c/..." name drive C; "/c/..." does too, but "/c" alone is a
    // command's switch far more often than a drive.
    std::size_t letter;
    if (StartsWith(text, L"/mnt/") && text.size() >= 6) {
        letter = 5;
        if (text.size() > 6 && text[6] != L'/') return false;
    } else if (text.size() >= 3 && text[0] == L'/' && text[2] == L'/') {
        letter = 1;
    } else {
        return false;
    }
    if (!IsAsciiLetter(text[letter])) return false;
    const wchar_t drive = static_cast<wchar_t>(text[letter] & ~0x20);  // upper case
    std::wstring rest = letter + 1 < text.size() ? text.substr(letter + 2) : std::wstring();
    path = std::wstring(1, drive) + L":\\" + WithBackslashes(rest);
    return true;
}

bool HomeRelativeRest(const std::wstring& text, std::wstring& rest) {
    if (text == L"~") {
        rest.clear();
        return true;
    }
    if (text.size() < 2 || text[0] != L'~' || (text[1] != L'\\' && text[1] != L'/')) return false;
    rest = WithBackslashes(text.substr(1));
    return true;
}

bool WithoutDiffPrefix(const std::wstring& path, std::wstring& rest) {
    if (path.size() < 3 || (path[0] != L'a' && path[0] != L'b') || path[1] != L'\\') return false;
    rest = path.substr(2);
    return true;
}

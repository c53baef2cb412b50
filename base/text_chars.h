#pragma once

// Character classes and comparisons that the decision, the scan of a longer selection and
// the capture's window-class checks share. Portable: no <windows.h>.

#include <cstddef>
#include <string>

// White space around or inside a selection: blanks, tabs, line breaks, the no-break space
// that web pages copy, and the line and paragraph separators.
inline bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\v' || c == L'\f' ||
           c == 0x00A0 || c == 0x2028 || c == 0x2029;
}

inline bool IsSentencePunctuation(wchar_t c) {
    return c == L'.' || c == L',' || c == L';' || c == L':' || c == L'!' || c == L'?';
}

inline bool IsAsciiLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

inline bool IsDigit(wchar_t c) {
    return c >= L'0' && c <= L'9';
}

inline wchar_t LowerAscii(wchar_t c) {
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

// True when the `length` characters of `text` at `start` equal `word`, letters compared
// without case (only ASCII words are asked about).
inline bool EqualsNoCase(const std::wstring& text, std::size_t start, std::size_t length,
                         const wchar_t* word) {
    if (std::char_traits<wchar_t>::length(word) != length || start + length > text.size()) {
        return false;
    }
    for (std::size_t i = 0; i < length; ++i) {
        if (LowerAscii(text[start + i]) != LowerAscii(word[i])) return false;
    }
    return true;
}

inline bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
    return EqualsNoCase(text, 0, std::char_traits<wchar_t>::length(prefix), prefix);
}

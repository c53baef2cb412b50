#pragma once

// The forms of what people select around a path or an address, as plain text work: the
// clean-up of prose around it, separators doubled in source code, a source position after
// it, a registry key, a mail address. Portable: no <windows.h>.

#include <cstddef>
#include <string>

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

// The range [begin, end) of `text` that CleanUpSelection keeps, found without a copy.
void CleanedRange(const std::wstring& text, std::size_t& begin, std::size_t& end);

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

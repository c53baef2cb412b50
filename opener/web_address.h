#pragma once

// What counts as a web address: the only texts besides paths and the mail rule's own
// "mailto:" link that reach the shell's "open". Any other scheme would start whatever
// program registered it (and some of those run code), so a scheme is never admitted on
// its own say-so. Portable: no <windows.h>.

#include <cstddef>
#include <string>

// The longest web address a browser takes; nothing longer is launched.
constexpr std::size_t kLongestWebAddress = 2083;

// True when `text` is "http://" or "https://", in any letter case, followed by a host (an
// optional "user@", a name, an IPv4 address or a bracketed IPv6 one, an optional ":port")
// and then only a path, a query or a fragment: no blanks, no control characters, no
// quotes or angle brackets, which would let a program's command line be bent.
bool IsWebAddress(const std::wstring& text);

// True when `text`, written without a scheme, looks like a host that "http://" may be put
// in front of: no blanks, no backslashes, an optional "user@", then "localhost", an IPv4
// address or a dotted name whose last label is a top-level domain, then an optional
// ":port" and "/path", "?query", "#fragment". A name whose last label is a common file
// type ("notes.txt", "setup.py", "photos.zip") is a file, not a host, unless it starts
// with "www." or carries a port or a path.
bool LooksLikeHost(const std::wstring& text);

// True when `label` ("com", "XN--P1AI") is a top-level domain, letters compared without case.
bool IsTopLevelDomain(const std::wstring& label);

#pragma once

// Finding the paths and addresses inside a longer selection: a log line, a sentence, a
// compiler message. Plain text work, free of <windows.h>; whether a stretch names
// something on disk is asked of the caller, one question per lookup, so that the work of a
// press stays bounded whatever was selected.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

// At most this many candidates are offered, in the order they appear.
constexpr std::size_t kMostCandidates = 16;
// A menu item shows at most this many characters of its candidate.
constexpr std::size_t kLongestMenuText = 80;

// Finds candidates in `text`, in order of appearance, without repeats:
// - drive paths (X:\ and X:/), paths that start with %NAME%\, and file URLs: for each
//   place where one starts, the longest stretch that ends at a word boundary (the end of
//   the line, a blank or punctuation) and of which `namesSomething` says yes; blanks
//   inside are allowed. A stretch never runs into the start of the next candidate, over a
//   line break or over a colon other than a drive's or a source position's.
// - network paths (\\server\...), http:// and https:// addresses and www. names: up to
//   the next white space, offered without asking anything (a server that does not answer
//   would hold the press for seconds).
// - mail addresses ("Contact: someone@example.com"), as the mail rule takes them.
// Trailing sentence punctuation and closing quotes or brackets without their opening one
// are not part of a candidate. `namesSomething` is called at most `lookups` times; it is
// given the stretch as it would be offered (with a source position, if any). The scan
// stops after kMostCandidates candidates or a few hundred places where one could start.
std::vector<std::wstring> FindCandidates(
    const std::wstring& text, std::size_t lookups,
    const std::function<bool(const std::wstring& stretch)>& namesSomething);

// The menu item that shows `candidate`: without the characters that reorder text (the
// directional marks, embeddings, overrides and isolates), shortened as below.
std::wstring MenuLabel(const std::wstring& candidate);

// `text` itself when it has at most `longest` characters; otherwise its beginning and its
// end with "…" between them, `longest` characters in all, never splitting a surrogate pair.
std::wstring ShortenInTheMiddle(const std::wstring& text, std::size_t longest = kLongestMenuText);

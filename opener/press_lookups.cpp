#include "opener/press_lookups.h"

#include "base/text_chars.h"
#include "opener/selection_forms.h"

namespace {

// The components of `path` from `first` on hold blanks only where another component
// follows, or in a last one that has a file type; no control characters, nor characters
// that no name holds (a colon among them). With `server`,
// the first component is a server's name: not empty, no blanks.
bool IsOnePath(const std::wstring& path, std::size_t first, bool server) {
    std::size_t component = first;
    for (std::size_t i = first; i <= path.size(); ++i) {
        const wchar_t c = i < path.size() ? path[i] : L'\\';
        if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) return false;
        // No name holds these; a colon past the drive's starts the next path of a sentence.
        if (c == L':' || c == L'"' || c == L'<' || c == L'>' || c == L'|' || c == L'?' ||
            c == L'*') {
            return false;
        }
        if (c != L'\\' && c != L'/') continue;
        bool blank = false;
        std::size_t dot = std::wstring::npos;
        for (std::size_t k = component; k < i; ++k) {
            blank = blank || IsBlank(path[k]);
            if (path[k] == L'.') dot = k;
        }
        if (server && component == first && (i == first || blank)) return false;
        // A component that a separator follows is part of the path; only the last one
        // may be where a sentence goes on, unless it ends in a file type.
        if (blank && i == path.size()) {
            bool typed = dot != std::wstring::npos && dot + 1 < i;
            for (std::size_t k = dot + 1; typed && k < i; ++k) {
                typed = !IsBlank(path[k]) && path[k] != L'.';
            }
            if (!typed) return false;
        }
        component = i + 1;
    }
    return true;
}

}  // namespace

bool IsOneNetworkPath(const std::wstring& path) {
    return IsNetworkPath(path) && IsOnePath(path, 2, true);
}

std::uint32_t CPressLookups::FileAttributes(const wchar_t* path) {
    // A text longer than any path names nothing, and is asked about once at most: it is not
    // kept, so that a long selection is not copied once more.
    if (std::char_traits<wchar_t>::length(path) > kLongestPath) {
        const bool server = path[0] == L'\\' && path[1] == L'\\';
        return server ? kInvalidFileAttributes : m_platform.FileAttributes(path);
    }
    const std::wstring text = path;
    if (IsNetworkPath(text) && !IsOneNetworkPath(text)) return kInvalidFileAttributes;
    // A network drive is a server too.
    if (StartsWithDrive(text) && !IsOnePath(text, 2, false) && IsRemoteDrive(text[0])) {
        return kInvalidFileAttributes;
    }
    for (const auto& known : m_attributes) {
        if (known.first == text) return known.second;
    }
    const std::uint32_t attributes = m_platform.FileAttributes(path);
    m_attributes.emplace_back(text, attributes);
    return attributes;
}

bool CPressLookups::IsRemoteDrive(wchar_t letter) {
    letter = LowerAscii(letter);
    for (const auto& known : m_remoteDrives) {
        if (known.first == letter) return known.second;
    }
    const bool remote = m_platform.IsRemoteDrive(letter);
    m_remoteDrives.emplace_back(letter, remote);
    return remote;
}

#include "opener/native_paths.h"

#include <cstddef>

#include "base/text_chars.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// When `path` is "<windowsFolder>\<from>" or lies below it, sets `mapped` to the same place
// under "<windowsFolder>\<to>".
bool MapSystemFolder(const std::wstring& path, const std::wstring& windowsFolder,
                     const wchar_t* from, const wchar_t* to, std::wstring& mapped) {
    std::size_t folderEnd = windowsFolder.size();
    while (folderEnd > 0 && IsSeparator(windowsFolder[folderEnd - 1])) --folderEnd;
    const std::wstring folder = windowsFolder.substr(0, folderEnd);
    if (folder.empty() || !EqualsNoCase(path, 0, folderEnd, folder.c_str())) return false;
    if (path.size() <= folderEnd || !IsSeparator(path[folderEnd])) return false;
    const std::size_t nameStart = folderEnd + 1;
    std::size_t nameEnd = nameStart;
    while (nameEnd < path.size() && !IsSeparator(path[nameEnd])) ++nameEnd;
    if (!EqualsNoCase(path, nameStart, nameEnd - nameStart, from)) return false;
    mapped = path.substr(0, nameStart) + to + path.substr(nameEnd);
    return true;
}

}  // namespace

bool SysnativeFormOf(const std::wstring& path, const std::wstring& windowsFolder,
                     std::wstring& lookup) {
    return MapSystemFolder(path, windowsFolder, L"System32", L"Sysnative", lookup);
}

bool System32FormOf(const std::wstring& path, const std::wstring& windowsFolder,
                    std::wstring& shellPath) {
    return MapSystemFolder(path, windowsFolder, L"Sysnative", L"System32", shellPath);
}

std::wstring WithNativeProgramFolders(const std::wstring& text) {
    static const struct {
        const wchar_t* name;
        const wchar_t* native;
    } kFolders[] = {{L"ProgramFiles", L"ProgramW6432"},
                    {L"CommonProgramFiles", L"CommonProgramW6432"}};
    std::wstring result;
    std::size_t done = 0;
    for (std::size_t open = text.find(L'%'); open != std::wstring::npos;) {
        const std::size_t close = text.find(L'%', open + 1);
        if (close == std::wstring::npos) break;
        for (const auto& folder : kFolders) {
            if (EqualsNoCase(text, open + 1, close - open - 1, folder.name)) {
                result.append(text, done, open + 1 - done).append(folder.native);
                done = close;
                break;
            }
        }
        open = text.find(L'%', close + 1);
    }
    return result.append(text, done, std::wstring::npos);
}

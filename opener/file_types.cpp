#include "opener/file_types.h"

#include "base/text_chars.h"
#include "opener/selection_forms.h"

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

// The type of the name in [begin, end) of `path`: from its last dot on, without the blanks
// and dots that end it (Windows drops them: "run.exe." is run.exe).
std::wstring TypeOfName(const std::wstring& path, std::size_t begin, std::size_t end) {
    while (end > begin && (path[end - 1] == L'.' || path[end - 1] == L' ')) --end;
    for (std::size_t dot = end; dot > begin; --dot) {
        if (path[dot - 1] == L'.') return path.substr(dot - 1, end - dot + 1);
    }
    return std::wstring();
}

bool SameType(const std::wstring& type, const wchar_t* other, std::size_t length) {
    return EqualsNoCase(type, 0, type.size(), std::wstring(other, length).c_str());
}

// File types that run something when opened, whatever this system's settings say: the
// usual PATHEXT, scripts of the script hosts and PowerShell, installers, control panel
// items, registry files, shortcuts of every kind and the help formats that run script.
const wchar_t* const kDangerousTypes[] = {
    L".exe",        L".com",   L".bat",   L".cmd",         L".msc",       L".scr", L".pif",
    L".cpl",        L".msi",   L".msp",   L".mst",         L".ps1",       L".vbs", L".vbe",
    L".js",         L".jse",   L".wsf",   L".wsh",         L".ws",        L".wsc", L".sct",
    L".hta",        L".reg",   L".lnk",   L".url",         L".scf",       L".jar", L".chm",
    L".appref-ms",  L".application",      L".settingcontent-ms",          L".library-ms",
};

}  // namespace

std::size_t NameStart(const std::wstring& path) {
    std::size_t start = path.size();
    while (start > 0 && !IsSeparator(path[start - 1])) --start;
    if (start == 0 && path.size() >= 2 && path[1] == L':' && IsAsciiLetter(path[0])) start = 2;
    return start;
}

bool IsFullPath(const std::wstring& path) {
    return StartsWith(path, L"\\\\") ||
           (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\');
}

std::wstring FileTypeOf(const std::wstring& path) {
    // The file's own type: a stream name after a colon ("a.txt:b") is not the file.
    const std::size_t start = NameStart(path);
    std::size_t end = path.find(L':', start);
    if (end == std::wstring::npos) end = path.size();
    return TypeOfName(path, start, end);
}

bool IsDangerousFile(const std::wstring& path, COpenPlatform& platform) {
    // Every part of a name with streams counts: "run.exe::$DATA" runs run.exe.
    std::wstring pathExt;
    bool pathExtRead = false;
    std::size_t begin = NameStart(path);
    while (begin <= path.size()) {
        std::size_t end = path.find(L':', begin);
        if (end == std::wstring::npos) end = path.size();
        const std::wstring type = TypeOfName(path, begin, end);
        begin = end + 1;
        if (type.empty()) continue;
        for (const wchar_t* listed : kDangerousTypes) {
            if (EqualsNoCase(type, 0, type.size(), listed)) return true;
        }
        if (platform.IsDangerousType(type.c_str())) return true;
        if (!pathExtRead) {
            pathExtRead = true;
            if (!platform.ExpandVariables(L"%PATHEXT%", pathExt)) pathExt.clear();
        }
        for (std::size_t item = 0; item <= pathExt.size();) {
            std::size_t next = pathExt.find(L';', item);
            if (next == std::wstring::npos) next = pathExt.size();
            if (next > item && SameType(type, pathExt.c_str() + item, next - item)) return true;
            item = next + 1;
        }
    }
    return false;
}

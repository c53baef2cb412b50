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
// usual PATHEXT, scripts of the script hosts, PowerShell and the common interpreters,
// installers and app packages, control panel items, registry files, shortcuts of every
// kind, the help formats that run script, and what connects, mounts or changes the system
// when opened: remote desktop and sandbox configurations, themes, saved searches and
// search connectors, troubleshooting packs, Excel add-ins, console files and disk images.
// clang-format off
const wchar_t* const kDangerousTypes[] = {
    L".exe", L".com", L".bat", L".cmd", L".msc", L".scr", L".pif", L".cpl", L".msi", L".msp",
    L".mst", L".ps1", L".vbs", L".vbe", L".js", L".jse", L".wsf", L".wsh", L".ws", L".wsc",
    L".sct", L".hta", L".reg", L".lnk", L".url", L".scf", L".jar", L".chm", L".appref-ms",
    L".application", L".settingcontent-ms", L".library-ms", L".py", L".pyw", L".pyz", L".sh",
    L".ahk", L".rb", L".pl", L".php", L".jnlp", L".appinstaller", L".appx", L".appxbundle",
    L".msix", L".msixbundle", L".rdp", L".theme", L".themepack", L".search-ms",
    L".searchConnector-ms", L".diagcab", L".website", L".xll", L".psc1", L".wsb", L".iso",
    L".img", L".vhd", L".vhdx",
};
// clang-format on

// Programs that run, install, connect or change the system with the file they are given:
// a type opened by one of them runs whatever the file says. Names without ".exe"; the
// families whose names vary by version and build (python3.12, AutoHotkeyU64) end in "*".
// clang-format off
const wchar_t* const kInterpreters[] = {
    L"python*", L"py", L"pyw", L"wscript", L"cscript", L"mshta", L"powershell", L"pwsh", L"cmd",
    L"bash", L"sh", L"wsl", L"perl", L"wperl", L"ruby", L"rubyw", L"node", L"php", L"php-win",
    L"java", L"javaw", L"javaws", L"msiexec", L"rundll32", L"regsvr32", L"regedit",
    L"AutoHotkey*", L"mstsc", L"AppInstaller", L"winget", L"tclsh*", L"wish*",
};
// clang-format on

// ".{20D04FE0-3AEA-1069-A2D8-08002B30309D}": a name that the shell opens as the object of
// that class, whatever the file or folder holds.
bool IsClassIdType(const std::wstring& type) {
    static const wchar_t kPattern[] = L".{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}";
    if (type.size() != sizeof(kPattern) / sizeof(kPattern[0]) - 1) return false;
    for (std::size_t i = 0; i < type.size(); ++i) {
        const wchar_t c = type[i];
        if (kPattern[i] != L'x') {
            if (c != kPattern[i]) return false;
        } else if (!IsDigit(c) && !((c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F'))) {
            return false;
        }
    }
    return true;
}

// A short (8.3) name the system made for a longer one: a tilde followed by a digit or, as
// Wine writes them, by letters ("INVOIC~1.APP", "INVO~DWN.APP").
bool MayBeShortName(const std::wstring& path) {
    const std::size_t tilde = path.find(L'~', NameStart(path));
    return tilde != std::wstring::npos && tilde + 1 < path.size() && path[tilde + 1] != L'.';
}

// Whether the name in [begin, end) of `path` has a type that must not be opened.
bool IsDangerousName(const std::wstring& path, std::size_t begin, std::size_t end,
                     COpenPlatform& platform, std::wstring& pathExt, bool& pathExtRead) {
    const std::wstring type = TypeOfName(path, begin, end);
    if (type.empty()) return false;
    for (const wchar_t* listed : kDangerousTypes) {
        if (EqualsNoCase(type, 0, type.size(), listed)) return true;
    }
    if (IsClassIdType(type) || platform.IsDangerousType(type.c_str())) return true;
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
    std::wstring program;
    return platform.ProgramForType(type.c_str(), program) && IsInterpreter(program);
}

}  // namespace

std::size_t NameStart(const std::wstring& path) {
    std::size_t start = path.size();
    while (start > 0 && !IsSeparator(path[start - 1])) --start;
    if (start == 0 && StartsWithDrive(path)) start = 2;
    return start;
}

bool StartsWithDrive(const std::wstring& path) {
    return path.size() >= 2 && IsAsciiLetter(path[0]) && path[1] == L':';
}

bool IsDrivePath(const std::wstring& path) {
    return StartsWithDrive(path) && path.size() >= 3 && path[2] == L'\\';
}

bool IsNetworkPath(const std::wstring& path) {
    return StartsWith(path, L"\\\\");
}

bool IsFullPath(const std::wstring& path) {
    return IsNetworkPath(path) || IsDrivePath(path);
}

std::wstring FileTypeOf(const std::wstring& path) {
    // The file's own type: a stream name after a colon ("a.txt:b") is not the file.
    const std::size_t start = NameStart(path);
    std::size_t end = path.find(L':', start);
    if (end == std::wstring::npos) end = path.size();
    return TypeOfName(path, start, end);
}

bool IsInterpreter(const std::wstring& program) {
    // The file name alone, without the quotes of a command and without ".exe".
    std::wstring name = program.substr(NameStart(program));
    while (!name.empty() && (name.back() == L'"' || name.back() == L' ')) name.pop_back();
    if (name.size() > 4 && EqualsNoCase(name, name.size() - 4, 4, L".exe"))
        name.resize(name.size() - 4);
    for (const wchar_t* listed : kInterpreters) {
        std::wstring word = listed;
        if (word.back() == L'*') {
            word.pop_back();
            if (StartsWithNoCase(name, word.c_str())) return true;
        } else if (EqualsNoCase(name, 0, name.size(), listed)) {
            return true;
        }
    }
    return false;
}

std::size_t ShellObjectNameEnd(const std::wstring& path) {
    std::size_t begin = 0;
    while (begin < path.size()) {
        std::size_t end = begin;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (IsClassIdType(TypeOfName(path, begin, end))) return end;
        begin = end + 1;
    }
    return std::wstring::npos;
}

bool IsDangerousFile(const std::wstring& path, COpenPlatform& platform) {
    // A short name hides the type of the long one: "INVOIC~1.APP" may be an .appref-ms.
    // What the system cannot expand is not opened.
    if (MayBeShortName(path)) {
        std::wstring longPath;
        if (!platform.LongPathName(path.c_str(), longPath) || longPath.empty()) return true;
        if (longPath != path && IsDangerousFile(longPath, platform)) return true;
    }
    // Every part of a name with streams counts: "run.exe::$DATA" runs run.exe.
    std::wstring pathExt;
    bool pathExtRead = false;
    std::size_t begin = NameStart(path);
    while (begin <= path.size()) {
        std::size_t end = path.find(L':', begin);
        if (end == std::wstring::npos) end = path.size();
        if (IsDangerousName(path, begin, end, platform, pathExt, pathExtRead)) return true;
        begin = end + 1;
    }
    return false;
}

#include "tools/regjump/regjump_key.h"

#include <cwctype>

namespace {

struct RootAlias {
    const wchar_t* longName;
    const wchar_t* shortName;
    RegistryRoot root;
};

constexpr RootAlias kRoots[] = {
    {L"HKEY_CLASSES_ROOT", L"HKCR", RegistryRoot::ClassesRoot},
    {L"HKEY_CURRENT_USER", L"HKCU", RegistryRoot::CurrentUser},
    {L"HKEY_LOCAL_MACHINE", L"HKLM", RegistryRoot::LocalMachine},
    {L"HKEY_USERS", L"HKU", RegistryRoot::Users},
    {L"HKEY_CURRENT_CONFIG", L"HKCC", RegistryRoot::CurrentConfig},
};

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

std::wstring Trim(const std::wstring& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

bool EqualsNoCase(const std::wstring& a, const wchar_t* b) {
    size_t i = 0;
    for (; i < a.size() && b[i] != L'\0'; ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i])) return false;
    }
    return i == a.size() && b[i] == L'\0';
}

const RootAlias* FindRoot(const std::wstring& name) {
    for (const RootAlias& alias : kRoots) {
        if (EqualsNoCase(name, alias.longName) || EqualsNoCase(name, alias.shortName)) {
            return &alias;
        }
    }
    return nullptr;
}

std::wstring FirstComponent(const std::wstring& text) {
    return text.substr(0, text.find(L'\\'));
}

bool StartsWithRoot(const std::wstring& text) {
    return FindRoot(FirstComponent(text)) != nullptr;
}

// The first blank-separated token, quotes removed, and the text after it.
std::wstring FirstToken(const std::wstring& line, std::wstring& rest) {
    size_t end = 0;
    std::wstring token;
    if (!line.empty() && line[0] == L'"') {
        size_t close = line.find(L'"', 1);
        end = close == std::wstring::npos ? line.size() : close + 1;
        token = line.substr(1, (close == std::wstring::npos ? line.size() : close) - 1);
    } else {
        while (end < line.size() && !IsBlank(line[end])) ++end;
        token = line.substr(0, end);
    }
    rest = line.substr(end);
    return token;
}

bool EndsWithNoCase(const std::wstring& text, const wchar_t* suffix) {
    std::wstring tail(suffix);
    return text.size() >= tail.size() &&
           EqualsNoCase(text.substr(text.size() - tail.size()), suffix);
}

// Started from a shell, the line begins with the program's own name.
bool IsProgramName(const std::wstring& token) {
    if (StartsWithRoot(token)) return false;
    return EndsWithNoCase(token, L".exe") || EqualsNoCase(token, L"regjump");
}

std::wstring Unquote(const std::wstring& text) {
    if (text.size() >= 2 && text.front() == L'"' && text.back() == L'"') {
        return Trim(text.substr(1, text.size() - 2));
    }
    return text;
}

}  // namespace

KeyParseResult ParseKeyCommandLine(const std::wstring& commandLine, RegistryKeyName& key,
                                   std::wstring& text) {
    std::wstring line = Trim(commandLine);
    std::wstring rest;
    if (IsProgramName(FirstToken(line, rest))) line = Trim(rest);
    text = Unquote(line);
    if (text.empty()) return KeyParseResult::Empty;

    const RootAlias* root = FindRoot(FirstComponent(text));
    if (root == nullptr) return KeyParseResult::Malformed;
    std::wstring subKey;
    size_t slash = text.find(L'\\');
    if (slash != std::wstring::npos) subKey = text.substr(slash + 1);
    if (!subKey.empty() && subKey.back() == L'\\') subKey.pop_back();
    // Key names cannot be empty: "A\\B", "\A" and a doubled trailing backslash are not keys.
    if (!subKey.empty() && (subKey.front() == L'\\' || subKey.back() == L'\\' ||
                            subKey.find(L"\\\\") != std::wstring::npos)) {
        return KeyParseResult::Malformed;
    }
    if (slash != std::wstring::npos && subKey.empty() && text.size() > slash + 1) {
        return KeyParseResult::Malformed;  // the root followed by "\\" and nothing else
    }
    key.root = root->root;
    key.rootName = root->longName;
    key.subKey = subKey;
    return KeyParseResult::Ok;
}

std::wstring MakeLastKeyValue(const RegistryKeyName& key, const std::wstring& previous,
                              bool bareRoots) {
    std::wstring path = key.rootName;
    if (!key.subKey.empty()) path += L"\\" + key.subKey;

    std::wstring prefix;
    if (!previous.empty()) {
        // Keep whatever top node name the editor itself wrote last time.
        std::wstring first = FirstComponent(previous);
        if (FindRoot(first) == nullptr) prefix = first;
    } else if (!bareRoots) {
        prefix = L"Computer";
    }
    return prefix.empty() ? path : prefix + L"\\" + path;
}

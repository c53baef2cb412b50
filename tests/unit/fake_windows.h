#pragma once

// A fake system for the open-selection decision that answers as Windows does: paths are
// case-insensitive, relative names resolve against a current directory, "." and ".." fold
// away, canonicalisation refuses texts that do not fit MAX_PATH, and a URL needs a scheme
// (Wine's own IsValidURL accepts anything, so these rules are only checked here). Every
// call is recorded; the fixture runs a selection through the decision against it.

#include <gtest/gtest.h>

#include <cwctype>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "opener/open_decision.h"

inline std::wstring Upper(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

// Splits at backslashes and folds "." and ".." the way Win32 path normalisation does;
// `root` is kept as it is and ".." never climbs above it.
inline std::wstring FoldDots(const std::wstring& root, const std::wstring& rest) {
    std::vector<std::wstring> parts;
    std::wstring part;
    auto flush = [&]() {
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (wchar_t c : rest) {
        if (c == L'\\') {
            flush();
        } else {
            part += c;
        }
    }
    flush();
    std::wstring result = root;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) result += L'\\';
        result += parts[i];
    }
    return result;
}

struct Call {
    std::wstring operation;
    std::wstring argument;
};

class CFakeWindows : public COpenPlatform {
public:
    std::wstring currentDirectory = L"C:\\work";
    bool shellSucceeds = true;
    std::vector<Call> calls;

    void AddFolder(const std::wstring& path) { m_entries[Upper(path)] = kFileAttributeDirectory; }
    void AddFile(const std::wstring& path) { m_entries[Upper(path)] = 0x20; /* archive */ }
    void RemoveEntry(const std::wstring& path) { m_entries.erase(Upper(path)); }

    bool Canonicalize(wchar_t* buffer, const wchar_t* path) override {
        calls.push_back({L"canonicalize", path});
        const std::wstring text = path;
        // Windows refuses rather than write past the MAX_PATH buffer.
        if (text.size() >= kPathBufferSize) return false;
        std::wstring root, rest = text;
        if (text.size() >= 3 && text[1] == L':' && text[2] == L'\\') {
            root = text.substr(0, 3);
            rest = text.substr(3);
        } else if (StartsWith(text, L"\\\\")) {
            root = L"\\\\";
            rest = text.substr(2);
        } else if (StartsWith(text, L"\\")) {
            root = L"\\";
            rest = text.substr(1);
        }
        std::wstring result = FoldDots(root, rest);
        // A trailing separator of the input survives, as with PathCanonicalizeW.
        if (!rest.empty() && rest.back() == L'\\' && result.back() != L'\\') result += L'\\';
        if (result.size() >= kPathBufferSize) return false;
        std::char_traits<wchar_t>::copy(buffer, result.c_str(), result.size() + 1);
        return true;
    }

    std::uint32_t FileAttributes(const wchar_t* path) override {
        calls.push_back({L"attributes", path});
        std::wstring full;
        if (!FullPath(path, full)) return kInvalidFileAttributes;
        auto it = m_entries.find(Upper(LongForm(full)));
        return it == m_entries.end() ? kInvalidFileAttributes : it->second;
    }

    bool IsValidUrl(const wchar_t* text) override {
        calls.push_back({L"url", text});
        // scheme = letter *(letter / digit / "+" / "-" / ".") followed by ":"
        if (!std::iswalpha(text[0])) return false;
        const wchar_t* p = text + 1;
        while (std::iswalnum(*p) || *p == L'+' || *p == L'-' || *p == L'.') ++p;
        return *p == L':';
    }

    bool RunShellVerb(const wchar_t* verb, const wchar_t* target) override {
        calls.push_back({verb, target});
        return shellSucceeds;
    }

    // ExpandEnvironmentStringsW for the names defined here.
    bool ExpandVariables(const wchar_t* text, std::wstring& expanded) override {
        calls.push_back({L"expand", text});
        expanded = text;
        ReplaceAll(expanded, L"%USERPROFILE%", L"C:\\Users\\me");
        ReplaceAll(expanded, L"%PATHEXT%", pathExt);
        return true;
    }

    // What PathCreateFromUrlW makes of the file URLs used here.
    bool PathFromFileUrl(const wchar_t* url, std::wstring& path) override {
        calls.push_back({L"fileurl", url});
        const std::map<std::wstring, std::wstring> paths = {
            {L"file:///C:/Users/me/My%20Notes/a%20b.txt", L"C:\\Users\\me\\My Notes\\a b.txt"},
            {L"file://server/share/team", L"\\\\server\\share\\team"},
            {L"file:///C:/Users/nobody", L"C:\\Users\\nobody"},
            {L"file:///C:/in/INVOIC~1.APP", L"C:\\in\\INVOIC~1.APP"}};
        auto it = paths.find(url);
        if (it != paths.end()) path = it->second;
        return it != paths.end();
    }

    bool OpenRegistryKey(const wchar_t* key) override {
        calls.push_back({L"regjump", key});
        return registryToolStarts;
    }

    bool ProgramForType(const wchar_t* type, std::wstring& program) override {
        calls.push_back({L"program", type});
        auto it = programs.find(Upper(type));
        if (it != programs.end()) program = it->second;
        return it != programs.end();
    }

    bool StartProgram(const wchar_t* program, const wchar_t* commandLine) override {
        calls.push_back({L"start", commandLine});
        EXPECT_EQ(0u, std::wstring(commandLine).find(L"\"" + std::wstring(program) + L"\""));
        return programStarts;
    }

    bool IsDangerousType(const wchar_t* type) override {
        calls.push_back({L"dangerous", type});
        return Upper(type) == L".ZAP";  // what only the system's own list knows
    }

    bool ShowInFolder(const wchar_t* path) override {
        calls.push_back({L"select", path});
        return shownInFolder;
    }

    void TraceOutOfMemory() override { calls.push_back({L"out of memory", L""}); }

    bool registryToolStarts = true;
    bool programStarts = true;
    bool shownInFolder = true;
    std::map<std::wstring, std::wstring> programs;  // type in capitals -> its program
    std::wstring pathExt = L".COM;.EXE;.BAT;.CMD;.VBS;.VBE;.JS;.JSE;.WSF;.WSH;.MSC;.TCL";

    // The menu of several paths: what it listed, and the item the user picks (none: -1).
    bool ChooseCandidate(const std::vector<std::wstring>& items, std::size_t& chosen) override {
        calls.push_back({L"menu", std::to_wstring(items.size())});
        offered = items;
        if (choice < 0) return false;
        chosen = static_cast<std::size_t>(choice);
        return true;
    }

    int choice = 0;
    std::vector<std::wstring> offered;

    // Network drives: the letters mapped to a server, in capitals.
    bool IsRemoteDrive(wchar_t letter) override {
        calls.push_back({L"drive type", std::wstring(1, letter)});
        return remoteDrives.find(static_cast<wchar_t>(std::towupper(letter))) != std::wstring::npos;
    }
    std::wstring remoteDrives;

    // Where a relative path was selected: nothing is known unless a test says.
    std::wstring title;
    std::wstring foregroundFolder;
    std::vector<std::wstring> descendantFolders;  // newest first
    std::wstring explorerFolder;
    std::wstring userFolder;
    std::wstring ForegroundTitle() override {
        calls.push_back({L"base", L"title"});
        return title;
    }
    bool ForegroundFolder(std::wstring& folder) override {
        return Known({L"base", L"foreground"}, foregroundFolder, folder);
    }
    std::vector<std::wstring> DescendantFolders(std::size_t most) override {
        calls.push_back({L"base", L"descendants"});
        std::vector<std::wstring> folders = descendantFolders;
        if (folders.size() > most) folders.resize(most);
        return folders;
    }
    bool ExplorerFolder(std::wstring& folder) override {
        return Known({L"base", L"explorer"}, explorerFolder, folder);
    }
    bool UserFolder(std::wstring& folder) override {
        return Known({L"user folder", L""}, userFolder, folder);
    }
    bool Known(const Call& call, const std::wstring& known, std::wstring& folder) {
        calls.push_back(call);
        folder = known;
        return !folder.empty();
    }

    int Count(const std::wstring& operation) const {
        int count = 0;
        for (const Call& call : calls) count += call.operation == operation;
        return count;
    }

    // The shell requests of the run, as "verb target".
    std::vector<std::wstring> Launches() const {
        std::vector<std::wstring> result;
        for (const Call& call : calls) {
            if (call.operation == L"open" || call.operation == L"explore" ||
                call.operation == L"regjump" || call.operation == L"start" ||
                call.operation == L"select") {
                result.push_back(call.operation + L" " + call.argument);
            }
        }
        return result;
    }

    // The names the shell is handed: GetFullPathNameW's rules below, and the long names of
    // the short ones listed here.
    bool FullPathName(const wchar_t* path, std::wstring& full) override {
        calls.push_back({L"fullpath", path});
        return FullPath(path, full);
    }

    bool LongPathName(const wchar_t* path, std::wstring& longPath) override {
        calls.push_back({L"longpath", path});
        std::wstring full;
        if (!FullPath(path, full) || m_entries.count(Upper(LongForm(full))) == 0) return false;
        longPath = LongForm(full);
        return true;
    }

    void AddShortName(const std::wstring& shortPath, const std::wstring& longPath) {
        m_longNames[Upper(shortPath)] = longPath;
    }

    bool Called(const std::wstring& operation) const {
        for (const Call& call : calls) {
            if (call.operation == operation) return true;
        }
        return false;
    }

private:
    // GetFullPathNameW's rules, in short: both slashes separate, a rooted name takes the
    // current drive, a relative one the current directory. Characters no file name may
    // hold resolve to nothing, and so does a colon other than a drive's (a stream name).
    bool FullPath(std::wstring path, std::wstring& full) const {
        if (path.empty()) return false;
        static const std::wstring kNeverInName = L"\"<>|?*";
        for (wchar_t c : path) {
            if (c < 0x20 || kNeverInName.find(c) != std::wstring::npos) return false;
        }
        if (path.find(L':', 2) != std::wstring::npos) return false;
        for (wchar_t& c : path) {
            if (c == L'/') c = L'\\';
        }
        std::wstring root, rest;
        if (StartsWith(path, L"\\\\")) {
            root = L"\\\\";
            rest = path.substr(2);
        } else if (path.size() >= 2 && path[1] == L':') {
            root = path.substr(0, 2) + L"\\";
            rest = path.substr(2);
        } else if (path[0] == L'\\') {
            root = currentDirectory.substr(0, 3);
            rest = path.substr(1);
        } else {
            root = currentDirectory.substr(0, 3);
            rest = currentDirectory.substr(3) + L"\\" + path;
        }
        full = FoldDots(root, rest);
        // Windows drops the blanks and dots that end a name.
        while (full.size() > root.size() && (full.back() == L' ' || full.back() == L'.')) {
            full.pop_back();
        }
        // A reserved device name, in whatever folder, is the device.
        const std::wstring name = Upper(full.substr(full.find_last_of(L'\\') + 1));
        if (name == L"CON" || name == L"NUL" || name == L"AUX" || name == L"PRN") {
            full = L"\\\\.\\" + name;
        }
        return true;
    }

    // `full` with a short name listed for it, or for a folder above it, made long.
    std::wstring LongForm(const std::wstring& full) const {
        const std::wstring upper = Upper(full);
        for (const auto& name : m_longNames) {
            const std::wstring& shortPath = name.first;
            if (upper.compare(0, shortPath.size(), shortPath) == 0 &&
                (upper.size() == shortPath.size() || upper[shortPath.size()] == L'\\')) {
                return name.second + full.substr(shortPath.size());
            }
        }
        return full;
    }

    std::map<std::wstring, std::uint32_t> m_entries;
    std::map<std::wstring, std::wstring> m_longNames;  // short path in capitals -> long path
};

class OpenDecisionTest : public ::testing::Test {
protected:
    void SetUp() override {
        windows.AddFolder(L"C:\\Users\\me\\Projects");
        windows.AddFolder(L"C:\\work\\docs");
        windows.AddFile(L"C:\\work\\notes.txt");
        windows.AddFile(L"C:\\Tools\\run.exe");
        windows.AddFolder(L"\\\\server\\share\\team");
        windows.AddFile(L"C:\\Users\\me\\My Notes\\a b.txt");
        windows.AddFile(L"C:\\src\\main.cpp");
    }

    struct Row {
        const wchar_t* selection;
        OpenOutcome outcome;
        const wchar_t* launch;  // "verb target", or nullptr for none
    };
    void ExpectRows(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE(row.selection);
            windows.calls.clear();
            EXPECT_EQ(row.outcome, Open(row.selection));
            EXPECT_EQ(row.launch ? Launches{row.launch} : Launches{}, windows.Launches());
        }
    }

    OpenOutcome Open(std::wstring text) {
        last = text;
        return OpenText(last, windows);
    }

    // A fresh run of `selection`, the menu answered with `choice` (-1: closed unchosen).
    OpenOutcome OpenChoosing(const std::wstring& selection, int choice) {
        windows.calls.clear();
        windows.offered.clear();
        windows.choice = choice;
        return Open(selection);
    }

    using Launches = std::vector<std::wstring>;
    CFakeWindows windows;
    std::wstring last;
};

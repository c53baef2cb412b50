#pragma once

// What one press asks of the file system, and when it may ask a server. Looking up
// "\\server\..." connects to that server and offers it the user's Windows credentials, and
// a server that does not answer holds the press for seconds: a press asks about each text
// once, and about a network path only when it is one path as a whole. Portable: no
// <windows.h>.

#include <cstdint>
#include <utility>
#include <string>
#include <vector>

#include "opener/file_types.h"
#include "opener/open_platform.h"

// True when the network path `path` is one path and nothing after it: a server name
// without blanks, no line breaks or other control characters, none that no name holds (a
// colon, a quote, "<>|?*"), and blanks only in a component that another one follows
// ("\\fs\Team Share\a.txt", "\\fs\My Files\") or in a last component that has a file
// type ("\\fs\share\Q4 report.xlsx"). A sentence that starts with one ("\\fs\share is
// down") is no path.
bool IsOneNetworkPath(const std::wstring& path);

// The platform of one press: every operation is passed on, but the answers about files and
// drives are kept, so that no text is asked about twice, and a path on a server or a
// network drive that is not one path as a whole is answered as naming nothing, without
// asking.
class CPressLookups final : public COpenPlatform {
public:
    explicit CPressLookups(COpenPlatform& platform) : m_platform(platform) {}

    std::uint32_t FileAttributes(const wchar_t* path) override;
    bool IsRemoteDrive(wchar_t letter) override;

    bool Canonicalize(wchar_t* buffer, const wchar_t* path) override {
        return m_platform.Canonicalize(buffer, path);
    }
    bool IsValidUrl(const wchar_t* text) override { return m_platform.IsValidUrl(text); }
    bool RunShellVerb(const wchar_t* verb, const wchar_t* target) override {
        return m_platform.RunShellVerb(verb, target);
    }
    bool ExpandVariables(const wchar_t* text, std::wstring& expanded) override {
        return m_platform.ExpandVariables(text, expanded);
    }
    bool PathFromFileUrl(const wchar_t* url, std::wstring& path) override {
        return m_platform.PathFromFileUrl(url, path);
    }
    bool OpenRegistryKey(const wchar_t* key) override { return m_platform.OpenRegistryKey(key); }
    bool ProgramForType(const wchar_t* type, std::wstring& program) override {
        return m_platform.ProgramForType(type, program);
    }
    bool StartProgram(const wchar_t* program, const wchar_t* commandLine) override {
        return m_platform.StartProgram(program, commandLine);
    }
    bool IsDangerousType(const wchar_t* type) override { return m_platform.IsDangerousType(type); }
    bool ShowInFolder(const wchar_t* path) override { return m_platform.ShowInFolder(path); }
    void TraceOutOfMemory() override { m_platform.TraceOutOfMemory(); }
    bool ChooseCandidate(const std::vector<std::wstring>& items, std::size_t& chosen) override {
        return m_platform.ChooseCandidate(items, chosen);
    }
    std::wstring ForegroundTitle() override { return m_platform.ForegroundTitle(); }
    bool ForegroundFolder(std::wstring& folder) override {
        return m_platform.ForegroundFolder(folder);
    }
    std::vector<std::wstring> DescendantFolders(std::size_t most) override {
        return m_platform.DescendantFolders(most);
    }
    bool ExplorerFolder(std::wstring& folder) override { return m_platform.ExplorerFolder(folder); }
    bool UserFolder(std::wstring& folder) override { return m_platform.UserFolder(folder); }
    bool FullPathName(const wchar_t* path, std::wstring& full) override {
        return m_platform.FullPathName(path, full);
    }
    bool LongPathName(const wchar_t* path, std::wstring& longPath) override {
        return m_platform.LongPathName(path, longPath);
    }

private:
    COpenPlatform& m_platform;
    // A press asks about a few dozen texts at most: a list searched in order is enough, and
    // smaller than a tree.
    std::vector<std::pair<std::wstring, std::uint32_t>> m_attributes;
    std::vector<std::pair<wchar_t, bool>> m_remoteDrives;
};

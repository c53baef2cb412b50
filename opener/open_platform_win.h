#pragma once

// The Win32 side of the open decision: each platform operation is the system call of the
// same name, or a few lines around it.

#include "opener/open_decision.h"

class CWin32OpenPlatform : public COpenPlatform {
public:
    bool Canonicalize(wchar_t* buffer, const wchar_t* path) override;
    std::uint32_t FileAttributes(const wchar_t* path) override;
    bool IsValidUrl(const wchar_t* text) override;
    bool RunShellVerb(const wchar_t* verb, const wchar_t* target) override;
    bool ExpandVariables(const wchar_t* text, std::wstring& expanded) override;
    bool PathFromFileUrl(const wchar_t* url, std::wstring& path) override;
    bool OpenRegistryKey(const wchar_t* key) override;
    bool ProgramForType(const wchar_t* type, std::wstring& program) override;
    bool StartProgram(const wchar_t* program, const wchar_t* commandLine) override;
    bool IsDangerousType(const wchar_t* type) override;
    bool ShowInFolder(const wchar_t* path) override;
    void TraceOutOfMemory() override;
};

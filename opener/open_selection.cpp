// The hotkey command: capture the selection, hand it to the shell, report in a balloon.
// The decision itself is in open_decision.cpp; this file supplies the system calls.

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <string>
#include <vector>

#include "app/balloon.h"
#include "app/system_library.h"
#include "app/tray_window.h"
#include "opener/clipboard.h"
#include "opener/open_decision.h"
#include "options/registry_tool.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"
#include "settings/settings.h"

static_assert(kPathBufferSize == MAX_PATH, "the canonical path buffer is MAX_PATH long");
static_assert(kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES, "same no-such-file value");
static_assert(kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY, "same directory bit");

namespace {

// Balloons of this command stay up for half a second.
constexpr UINT kBalloonTimeoutMs = 500;

using IsValidUrlFunction = HRESULT(WINAPI*)(IBindCtx*, LPCWSTR, DWORD);

// The URL moniker library is loaded on the first hotkey press, not at start-up: importing it
// brings OLE, WinINet and Winsock into every start for one call that most runs never make.
// Without it no text is a web address; the load traces why, since the user only sees
// "Could not find this location".
IsValidUrlFunction UrlValidator() {
    static const auto function = reinterpret_cast<IsValidUrlFunction>(
        reinterpret_cast<void*>(SystemFunction(L"urlmon.dll", "IsValidURL")));
    return function;
}

using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeFunction = void(WINAPI*)();

class CWin32OpenPlatform : public COpenPlatform {
public:
    bool Canonicalize(wchar_t* buffer, const wchar_t* path) override {
        // PathCanonicalizeW is told nothing of the buffer's size, and some versions (Wine's
        // among them) write a result as long as the input. A text that cannot fit MAX_PATH
        // is not handed to it at all, and the result lands in a buffer with room to spare.
        if (wcslen(path) >= MAX_PATH) return false;
        wchar_t scratch[MAX_PATH + 16] = {};
        if (!PathCanonicalizeW(scratch, path)) return false;
        const size_t length = wcsnlen(scratch, ARRAYSIZE(scratch));
        if (length >= MAX_PATH) return false;
        wmemcpy(buffer, scratch, length + 1);
        return true;
    }

    std::uint32_t FileAttributes(const wchar_t* path) override { return GetFileAttributesW(path); }

    bool IsValidUrl(const wchar_t* text) override {
        IsValidUrlFunction isValid = UrlValidator();
        return isValid != nullptr && isValid(nullptr, text, 0) == S_OK;
    }

    bool RunShellVerb(const wchar_t* verb, const wchar_t* target) override {
        HINSTANCE result = ShellExecuteW(nullptr, verb, target, nullptr, nullptr, SW_SHOW);
        // Values above 32 mean the shell took the request; the rest are error codes, and
        // the shell has already shown its own message for them.
        if (reinterpret_cast<INT_PTR>(result) > 32) return true;
        TraceLastError();
        return false;
    }

    bool ExpandVariables(const wchar_t* text, std::wstring& expanded) override {
        // ExpandEnvironmentStringsW handles at most 32,767 characters; a longer text is no
        // path with variables in it.
        if (wcslen(text) >= kLongestExpansion) return false;
        std::vector<wchar_t> buffer(kLongestExpansion);
        const DWORD length =
            ExpandEnvironmentStringsW(text, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0 || length > buffer.size()) return false;
        expanded.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
        return true;
    }

    bool PathFromFileUrl(const wchar_t* url, std::wstring& path) override {
        std::vector<wchar_t> buffer(kLongestExpansion);
        DWORD length = static_cast<DWORD>(buffer.size());
        if (PathCreateFromUrlW(url, buffer.data(), &length, 0) != S_OK) return false;
        path.assign(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
        return true;
    }

    bool OpenRegistryKey(const wchar_t* key) override {
        if (StartRegistryTool(key)) return true;
        TraceLastError();
        return false;
    }

private:
    static constexpr size_t kLongestExpansion = 32768;
};

}  // namespace

void CTrayWindow::ShowLocationNotFound() {
    const wchar_t* title = GetWstring(IDS_APP_TITLE);
    const wchar_t* text = GetWstring(IDS_NOT_FOUND);
    ShowBalloon(m_notifyIconData, text, title, kBalloonTimeoutMs);
}

void CTrayWindow::EnsureComApartment() {
    // The shell hands some verbs to COM handlers, which need COM on the calling thread:
    // apartment-threaded, without OLE1 DDE, as ShellExecute asks. Set up on the first press
    // and loaded then, rather than imported: OLE and what it maps would slow every start.
    if (m_comTried) return;
    m_comTried = true;
    auto initialize = reinterpret_cast<CoInitializeExFunction>(
        reinterpret_cast<void*>(SystemFunction(L"ole32.dll", "CoInitializeEx")));
    if (initialize == nullptr) return;
    const HRESULT result = initialize(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(result)) {
        SetLastError(static_cast<DWORD>(result));
        TraceLastError();
        return;
    }
    m_comApartment = true;  // S_FALSE too: every success is balanced at shutdown
}

void CTrayWindow::ReleaseComApartment() {
    if (!m_comApartment) return;
    m_comApartment = false;
    // ole32 stays loaded from the first press on, so this finds it without a new load.
    auto uninitialize = reinterpret_cast<CoUninitializeFunction>(
        reinterpret_cast<void*>(SystemFunction(L"ole32.dll", "CoUninitialize")));
    if (uninitialize != nullptr) uninitialize();
}

void CTrayWindow::OpenSelection() {
    std::wstring text;
    {
        ClipboardSnapshot snapshot;
        // Without a snapshot the user's clipboard could not be put back: touch nothing.
        if (SaveClipboard(snapshot)) {
            SendCopyKeystroke();
            GetClipboardText(text);
            RestoreClipboard(snapshot);
        }
    }  // a large snapshot is released before the shell is asked to do anything

    CWin32OpenPlatform platform;
    if (!text.empty()) EnsureComApartment();  // a press that copied nothing asks the shell nothing
    const OpenOutcome outcome = OpenText(text, platform);
    if (outcome == OpenOutcome::kNotFound) {
        ShowLocationNotFound();
        return;
    }
    const unsigned int textId = BalloonStringFor(outcome, true);
    if (textId == 0 || !GetShowBalloonOnShortcutPressed()) return;
    const wchar_t* title = GetWstring(IDS_APP_TITLE);
    ShowBalloon(m_notifyIconData, GetWstring(textId), title, kBalloonTimeoutMs);
}

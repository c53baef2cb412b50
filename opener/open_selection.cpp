// The hotkey command: capture the selection, hand it to the shell, report in a balloon.
// The decision itself is in open_decision.cpp; this file supplies the system calls.

#include <windows.h>
#include <shellapi.h>
#include <shlwapi.h>
#include <urlmon.h>

#include <string>

#include "app/balloon.h"
#include "app/tray_window.h"
#include "opener/clipboard.h"
#include "opener/open_decision.h"
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
// It is loaded by full path from the system folder so that no other copy can stand in.
IsValidUrlFunction UrlValidator() {
    static const IsValidUrlFunction function = [] {
        wchar_t folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH) return IsValidUrlFunction{};
        const std::wstring path = std::wstring(folder, length) + L"\\urlmon.dll";
        HMODULE module = LoadLibraryW(path.c_str());
        if (module == nullptr) return IsValidUrlFunction{};
        return reinterpret_cast<IsValidUrlFunction>(
            reinterpret_cast<void*>(GetProcAddress(module, "IsValidURL")));
    }();
    return function;
}

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
};

}  // namespace

void CTrayWindow::ShowLocationNotFound() {
    const wchar_t* title = GetWstring(IDS_APP_TITLE);
    const wchar_t* text = GetWstring(IDS_NOT_FOUND);
    ShowBalloon(m_hWnd, TrayIconGuid, text, title, kBalloonTimeoutMs);
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
    const OpenOutcome outcome = OpenText(text, platform);
    if (outcome == OpenOutcome::kNotFound) {
        ShowLocationNotFound();
        return;
    }
    const unsigned int textId = BalloonStringFor(outcome, true);
    if (textId == 0 || !GetShowBalloonOnShortcutPressed()) return;
    const wchar_t* title = GetWstring(IDS_APP_TITLE);
    ShowBalloon(m_hWnd, TrayIconGuid, GetWstring(textId), title, kBalloonTimeoutMs);
}

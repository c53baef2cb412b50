// The hotkey command: capture the selection, hand it to the shell, report in a balloon.
// The decision itself is in open_decision.cpp; open_platform_win.cpp supplies its system
// calls.

#include "opener/open_selection.h"

#include <objbase.h>

#include <string>
#include <utility>

#include "capture/capture_win.h"
#include "opener/open_decision.h"
#include "opener/open_platform_win.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"
#include "services/balloon.h"
#include "services/system_library.h"
#include "settings/settings.h"

namespace {

// Balloons of this command stay up for half a second.
constexpr UINT kBalloonTimeoutMs = 500;

using CoInitializeExFunction = HRESULT(WINAPI*)(void*, DWORD);
using CoUninitializeFunction = void(WINAPI*)();

}  // namespace

void ShowNotFoundBalloon(const NOTIFYICONDATAW& icon) {
    const wchar_t* title = GetWstring(IDS_APP_TITLE);
    const wchar_t* text = GetWstring(IDS_NOT_FOUND);
    ShowBalloon(icon, text, title, kBalloonTimeoutMs);
}

void CSelectionOpener::EnsureComApartment() {
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

void CSelectionOpener::ReleaseComApartment() {
    if (!m_comApartment) return;
    m_comApartment = false;
    // ole32 stays loaded from the first press on, so this finds it without a new load.
    auto uninitialize = reinterpret_cast<CoUninitializeFunction>(
        reinterpret_cast<void*>(SystemFunction(L"ole32.dll", "CoUninitialize")));
    if (uninitialize != nullptr) uninitialize();
}

bool CSelectionOpener::OnTimer(UINT_PTR timer) {
    if (timer != kLateCopyTimer) return false;
    m_lateCopy.Stop();
    return true;
}

void CSelectionOpener::Run(const NOTIFYICONDATAW& icon, UINT hotkeyKey) {
    // The window the selection is taken from: its title and processes say where a
    // relative path was meant, and the menu of several paths takes the foreground later.
    HWND foreground = GetForegroundWindow();
    std::wstring text;
    // A new press ends the last one's watch: its copy can no longer be told from this one's.
    m_lateCopy.Stop();
    // Read directly where the control allows, else through the clipboard; a large snapshot
    // is released inside, before the shell is asked to do anything, unless nothing was
    // copied in time: then it is kept for a while, to undo a copy that comes late.
    LateCopy late;
    CaptureSelection(text, hotkeyKey, &late, m_ownProcess);
    if (late.armed) m_lateCopy.Start(icon.hWnd, std::move(late));

    CWin32OpenPlatform platform(icon.hWnd, foreground);  // the main window owns the menu
    if (!text.empty()) EnsureComApartment();  // a press that copied nothing asks the shell nothing
    const OpenOutcome outcome = OpenText(text, platform);
    if (outcome == OpenOutcome::kNotFound) {
        ShowNotFoundBalloon(icon);
        return;
    }
    const unsigned int textId = BalloonStringFor(outcome, true);
    if (textId == 0 || !GetShowBalloonOnShortcutPressed()) return;
    const wchar_t* title = GetWstring(IDS_APP_TITLE);
    ShowBalloon(icon, GetWstring(textId), title, kBalloonTimeoutMs);
}

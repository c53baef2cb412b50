#include "options/about_dialog.h"

#include <string>

#include "services/registry_tool.h"
#include "res/resource.h"
#include "settings/settings.h"

INT_PTR CAboutDialog::DialogProc(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_SHOWWINDOW && wParam != FALSE) {
        // The page is shown when its tab is chosen.
        RevealOnShift();
    } else if (message == WM_COMMAND && LOWORD(wParam) == IDC_BROWSE_REGISTRY) {
        BrowseRegistry();
    }
    return 0;
}

void CAboutDialog::RevealOnShift() {
    // Once shown, the button stays for the rest of the run.
    if (GetKeyState(VK_SHIFT) >= 0) return;
    if (HWND button = GetDlgItem(m_hWnd, IDC_BROWSE_REGISTRY)) ShowWindow(button, SW_SHOW);
}

namespace {

// The settings key path is narrow text in the ANSI code page.
std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    int length =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) return std::wstring();
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

}  // namespace

void CAboutDialog::BrowseRegistry() {
    // A tool that is missing or fails to start is not reported.
    StartRegistryTool(L"HKEY_CURRENT_USER\\" + Widen(SettingsKeyPath));
}

#include "options/option_dialog.h"

#include <commctrl.h>

#include <string>

#include "app/balloon.h"
#include "app/tray_window.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"
#include "settings/settings.h"

namespace {

constexpr int kWelcomeTab = 0;
constexpr int kSettingsTab = 1;
constexpr int kAboutTab = 2;

// The tab and hot-key controls of the options window are window classes of the common
// controls library. It is loaded when the window is first made rather than imported: most
// starts never open the window, and an import would map the library into every one.
// It is loaded by full path from the system folder so that no other copy can stand in.
void RegisterControlClasses() {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    wchar_t folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    HMODULE module = nullptr;
    if (length != 0 && length < MAX_PATH) {
        module = LoadLibraryW((std::wstring(folder, length) + L"\\comctl32.dll").c_str());
    }
    InitFunction init = module == nullptr
                            ? nullptr
                            : reinterpret_cast<InitFunction>(reinterpret_cast<void*>(
                                  GetProcAddress(module, "InitCommonControlsEx")));
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_HOTKEY_CLASS | ICC_TAB_CLASSES;
    // Without the classes the window cannot be made; the failed creation is all the user
    // sees, as with any other failure to make it.
    if (init == nullptr || !init(&controls)) TraceLastError();
}

void ShowPage(CBaseWindow& page, bool show) {
    if (page.m_hWnd != nullptr) ShowWindow(page.m_hWnd, show ? SW_SHOW : SW_HIDE);
}

}  // namespace

COptionDialog::COptionDialog(CTrayWindow* owner)
    : m_owner(owner), m_settingsPage(owner), m_selecting(false) {}

INT_PTR COptionDialog::DialogProc(UINT message, WPARAM /*wParam*/, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            AddTabs();
            CreatePage(IDD_WELCOME, &m_welcomePage);
            CreatePage(IDD_SETTINGS, &m_settingsPage);
            CreatePage(IDD_ABOUT, &m_aboutPage);
            SelectPage(kWelcomeTab, true);
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            HWND tabs = GetDlgItem(m_hWnd, IDC_TABS);
            // The tab control has already moved its selection when it reports the change.
            if (header != nullptr && header->code == static_cast<UINT>(TCN_SELCHANGE) &&
                !m_selecting && tabs != nullptr && header->hwndFrom == tabs) {
                int index = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
                SelectPage(index, false);
            }
            break;
        }
        case WM_CLOSE:
            // Closing only hides: the pages keep their state until the program ends.
            ShowWindow(m_hWnd, SW_HIDE);
            if (GetShowBalloonOnClosePressed() && m_owner != nullptr) {
                const wchar_t* title = GetWstring(IDS_APP_TITLE);
                const wchar_t* text = GetWstring(IDS_CLOSE_BALLOON);
                ShowBalloon(m_owner->m_hWnd, TrayIconGuid, text, title, 1);
            }
            break;
        case WM_DESTROY:
            DestroyPages();
            break;
        default:
            break;
    }
    return 0;
}

void COptionDialog::AddTabs() {
    HWND tabs = GetDlgItem(m_hWnd, IDC_TABS);
    if (tabs == nullptr) return;
    for (UINT id : {IDS_TAB_WELCOME, IDS_TAB_SETTINGS, IDS_TAB_ABOUT}) {
        const wchar_t* text = GetWstring(id);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(text);
        item.cchTextMax = static_cast<int>(wcslen(text));
        LRESULT count = SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0);
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(count),
                     reinterpret_cast<LPARAM>(&item));
    }
}

void COptionDialog::CreatePage(int templateId, CBaseWindow* page) {
    HWND frame = GetDlgItem(m_hWnd, IDC_PAGE_FRAME);
    if (frame == nullptr) return;
    // The page binds itself to `page` (m_hWnd) during its WM_INITDIALOG.
    HWND hwnd = CreateDialogParamA(GetModuleHandleW(nullptr), MAKEINTRESOURCEA(templateId), frame,
                                   &CBaseWindow::StaticDialogProc, reinterpret_cast<LPARAM>(page));
    if (hwnd != nullptr) ShowWindow(hwnd, SW_HIDE);
}

void COptionDialog::SelectPage(int index, bool setTabSelection) {
    m_selecting = setTabSelection;
    if (setTabSelection) {
        HWND tabs = GetDlgItem(m_hWnd, IDC_TABS);
        if (tabs != nullptr) SendMessageW(tabs, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    }
    if (index >= kWelcomeTab && index <= kAboutTab) {
        // Hide before showing, so that two pages are never visible at once.
        if (index != kWelcomeTab) ShowPage(m_welcomePage, false);
        if (index != kSettingsTab) ShowPage(m_settingsPage, false);
        if (index != kAboutTab) ShowPage(m_aboutPage, false);
        if (index == kWelcomeTab) ShowPage(m_welcomePage, true);
        if (index == kSettingsTab) ShowPage(m_settingsPage, true);
        if (index == kAboutTab) ShowPage(m_aboutPage, true);
    }
    m_selecting = false;
}

void COptionDialog::DestroyPages() {
    // Each Destroy clears the page's m_hWnd after DestroyWindow.
    m_welcomePage.Destroy();
    m_settingsPage.Destroy();
    m_aboutPage.Destroy();
}

void CTrayWindow::ShowOptions() {
    if (m_optionDialog == nullptr) return;
    HWND hwnd = m_optionDialog->m_hWnd;
    if (hwnd != nullptr) {
        ShowWindow(hwnd, SW_SHOW);
        SetForegroundWindow(hwnd);
        FlashWindow(hwnd, TRUE);
        return;
    }
    RegisterControlClasses();
    hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPTIONS), m_hWnd,
                              &CBaseWindow::StaticDialogProc,
                              reinterpret_cast<LPARAM>(m_optionDialog));
    m_optionDialog->m_hWnd = hwnd;
    if (hwnd != nullptr) ShowWindow(hwnd, SW_SHOW);
}

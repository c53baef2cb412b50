#include "options/option_dialog.h"

#include <commctrl.h>

#include <string>

#include "services/balloon.h"
#include "services/system_library.h"
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
void RegisterControlClasses() {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    auto init = reinterpret_cast<InitFunction>(
        reinterpret_cast<void*>(SystemFunction(L"comctl32.dll", "InitCommonControlsEx")));
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

COptionDialog::COptionDialog(CTrayState* owner)
    : m_owner(owner), m_settingsPage(owner), m_selecting(false) {}

INT_PTR COptionDialog::DialogProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            AddTabs();
            // Tab and Shift+Tab go from the tab strip through the shown page's controls:
            // the strip is a stop, and the dialog manager looks inside the frame and the
            // pages (it passes over hidden ones).
            if (HWND tabs = GetDlgItem(m_hWnd, IDC_TABS)) {
                SetWindowLongPtrW(tabs, GWL_STYLE, GetWindowLongPtrW(tabs, GWL_STYLE) | WS_TABSTOP);
            }
            if (HWND frame = GetDlgItem(m_hWnd, IDC_PAGE_FRAME)) {
                SetWindowLongPtrW(frame, GWL_EXSTYLE,
                                  GetWindowLongPtrW(frame, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
            }
            CreatePage(IDD_WELCOME, &m_welcomePage);
            CreatePage(IDD_SETTINGS, &m_settingsPage);
            CreatePage(IDD_ABOUT, &m_aboutPage);
            SelectPage(kWelcomeTab, true);
            break;  // FALSE: the focus is set already, on the tab strip
        }
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            HWND tabs = GetDlgItem(m_hWnd, IDC_TABS);
            // The tab control has already moved its selection when it reports the change.
            if (header == nullptr || tabs == nullptr || header->hwndFrom != tabs) break;
            int index = static_cast<int>(SendMessageW(tabs, TCM_GETCURSEL, 0, 0));
            if (header->code == static_cast<UINT>(TCN_SELCHANGE) && !m_selecting) {
                SelectPage(index, false);
            } else if (header->code == static_cast<UINT>(NM_CLICK) && index == kAboutTab) {
                // A click on the tab already chosen changes no selection; Shift on it
                // still reveals the hidden button.
                m_aboutPage.RevealOnShift();
            }
            break;
        }
        case WM_COMMAND:
            // Only the dialog manager sends commands here, for keys typed in a page.
            if (LOWORD(wParam) == IDCANCEL) {
                SendMessageW(m_hWnd, WM_CLOSE, 0, 0);  // Escape closes, as the close box
            } else {
                PressFocusedButton(reinterpret_cast<HWND>(lParam));
            }
            break;
        case WM_CLOSE:
            // Closing only hides: the pages keep their state until the program ends.
            ShowWindow(m_hWnd, SW_HIDE);
            if (GetShowBalloonOnClosePressed() && m_owner != nullptr) {
                const wchar_t* title = GetWstring(IDS_APP_TITLE);
                const wchar_t* text = GetWstring(IDS_CLOSE_BALLOON);
                ShowBalloon(m_owner->m_notifyIconData, text, title, 1);
            }
            // Handled: the default handling would answer with an IDCANCEL command, which
            // closes (Escape) and would close a second time.
            return TRUE;
        case WM_DESTROY:
            DestroyPages();
            // Destroyed as an owned window before the main window's teardown runs: that
            // must not destroy a dead handle.
            m_hWnd = nullptr;
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
    if (hwnd == nullptr) return;
    ShowWindow(hwnd, SW_HIDE);
    // Its controls take part in the window's Tab order while it is shown.
    SetWindowLongPtrW(hwnd, GWL_EXSTYLE, GetWindowLongPtrW(hwnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
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
        KeepFocusVisible(setTabSelection);
    }
    m_selecting = false;
}

void COptionDialog::KeepFocusVisible(bool claim) {
    HWND tabs = GetDlgItem(m_hWnd, IDC_TABS);
    if (tabs == nullptr) return;
    // A hidden page keeps the focus it had (a Space press would then toggle a box the
    // user cannot see): move it to the tab strip. `claim` takes it there from outside
    // too, for the window's first showing.
    HWND focus = GetFocus();
    bool hidden = claim && focus != m_hWnd && !IsChild(m_hWnd, focus);
    for (CBaseWindow* page : {static_cast<CBaseWindow*>(&m_welcomePage),
                              static_cast<CBaseWindow*>(&m_settingsPage),
                              static_cast<CBaseWindow*>(&m_aboutPage)}) {
        if (page->m_hWnd != nullptr && (focus == page->m_hWnd || IsChild(page->m_hWnd, focus)) &&
            (GetWindowLongPtrW(page->m_hWnd, GWL_STYLE) & WS_VISIBLE) == 0) {
            hidden = true;
        }
    }
    if (hidden) SetFocus(tabs);
}

void COptionDialog::PressFocusedButton(HWND control) {
    // Enter goes to the window the dialog manager serves, not to the page that holds the
    // focused button: as IDOK, or as that button's click addressed here. Press it in its
    // page, as a click would.
    HWND button = GetFocus();
    if (control != nullptr && control != button) return;
    if (button == nullptr || !IsChild(m_hWnd, button) || GetParent(button) == m_hWnd ||
        !IsWindowEnabled(button)) {
        return;
    }
    const LRESULT code = SendMessageW(button, WM_GETDLGCODE, 0, 0);
    if (code & (DLGC_DEFPUSHBUTTON | DLGC_UNDEFPUSHBUTTON)) SendMessageW(button, BM_CLICK, 0, 0);
}

void COptionDialog::DestroyPages() {
    // Each Destroy clears the page's m_hWnd after DestroyWindow.
    m_welcomePage.Destroy();
    m_settingsPage.Destroy();
    m_aboutPage.Destroy();
}

void COptionDialog::Show(HWND owner) {
    if (m_hWnd != nullptr) {
        ShowWindow(m_hWnd, SW_SHOW);
        SetForegroundWindow(m_hWnd);
        FlashWindow(m_hWnd, TRUE);
        return;
    }
    RegisterControlClasses();
    HWND hwnd = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_OPTIONS), owner,
                                   &CBaseWindow::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = hwnd;
    if (hwnd != nullptr) ShowWindow(hwnd, SW_SHOW);
}

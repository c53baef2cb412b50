#include "options/settings_dialog.h"

#include <commctrl.h>

#include "options/hotkey_flags.h"
#include "res/resource.h"
#include "res/strings.h"
#include "res/trace.h"
#include "settings/settings.h"

namespace {

// Box owned by the page; false when the page's window is gone when it returns.
bool ShowWarning(HWND page, UINT textId) {
    MessageBoxW(page, GetWstring(textId), GetWstring(IDS_CAPTION), MB_ICONWARNING);
    return IsWindow(page) != FALSE;
}

}  // namespace

CSettingsDialog::CSettingsDialog(CTrayState* owner)
    : m_owner(owner),
      m_key(ReadSetting("OpenSelectionHotkey", 79u)),
      m_modifiers(ReadSetting("OpenSelectionHotkeyModifier", 10u)),
      // The tray window registers the stored combination at start-up.
      m_activeKey(m_key),
      m_activeModifiers(m_modifiers) {}

INT_PTR CSettingsDialog::DialogProc(UINT message, WPARAM wParam, LPARAM /*lParam*/) {
    if (message == WM_INITDIALOG) {
        LoadHotkeyControls();
        EnableApply(false);
        if (HWND box = GetDlgItem(m_hWnd, IDC_BALLOON_SHORTCUT)) {
            SendMessageW(box, BM_SETCHECK,
                         GetShowBalloonOnShortcutPressed() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        if (HWND box = GetDlgItem(m_hWnd, IDC_BALLOON_CLOSE)) {
            SendMessageW(box, BM_SETCHECK,
                         GetShowBalloonOnClosePressed() ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        // FALSE: the page starts hidden, and the dialog manager would put the focus on
        // its first control, where a Space press would toggle "win" unseen. The options
        // window places the focus.
        return FALSE;
    }
    if (message != WM_COMMAND) return 0;

    const int id = LOWORD(wParam);
    const int code = HIWORD(wParam);
    if (code == BN_CLICKED) {
        // The check boxes are automatic: they have toggled themselves already.
        if (id == IDC_WIN_CHECK) {
            if (IsChecked(IDC_WIN_CHECK)) {
                m_modifiers |= kModWin;
            } else {
                m_modifiers &= ~kModWin;
            }
            EnableApply(true);
        } else if (id == IDC_BALLOON_SHORTCUT) {
            SetShowBalloonOnShortcutPressed(IsChecked(IDC_BALLOON_SHORTCUT));
        } else if (id == IDC_BALLOON_CLOSE) {
            SetShowBalloonOnClosePressed(IsChecked(IDC_BALLOON_CLOSE));
        } else if (wParam == IDC_APPLY) {
            ApplyHotkey();  // may end with this object deleted: nothing may follow it
        }
    } else if (code == EN_CHANGE && id == IDC_HOTKEY) {
        HWND hotkey = GetDlgItem(m_hWnd, IDC_HOTKEY);
        if (hotkey == nullptr) return 0;
        auto value = static_cast<unsigned int>(SendMessageW(hotkey, HKM_GETHOTKEY, 0, 0));
        SplitHotkeyValue(value, IsChecked(IDC_WIN_CHECK), m_key, m_modifiers);
        // A key without any modifier would steal that key from every program.
        if (m_modifiers != 0) EnableApply(true);
    }
    return 0;
}

void CSettingsDialog::LoadHotkeyControls() {
    if (HWND hotkey = GetDlgItem(m_hWnd, IDC_HOTKEY)) {
        SendMessageW(hotkey, HKM_SETHOTKEY, MakeHotkeyValue(m_key, m_modifiers), 0);
    }
    if (HWND win = GetDlgItem(m_hWnd, IDC_WIN_CHECK)) {
        SendMessageW(win, BM_SETCHECK, (m_modifiers & kModWin) ? BST_CHECKED : BST_UNCHECKED, 0);
    }
}

void CSettingsDialog::EnableApply(bool enable) {
    HWND apply = GetDlgItem(m_hWnd, IDC_APPLY);
    if (apply == nullptr) return;
    // A disabled window loses the keyboard focus to nobody, and the keyboard would then
    // reach no control: hand it to the shortcut box first.
    if (!enable && GetFocus() == apply) {
        if (HWND hotkey = GetDlgItem(m_hWnd, IDC_HOTKEY)) SetFocus(hotkey);
    }
    EnableWindow(apply, enable ? TRUE : FALSE);
}

void CSettingsDialog::ApplyHotkey() {
    // The page's window, kept apart from the object: a box runs a message loop in which
    // "Quit" may destroy the window and delete this object. Nothing of the object may be
    // touched after a box unless the window still exists.
    HWND page = m_hWnd;
    // A combination without a modifier would take that key from every program, and key 0
    // is no key at all: refuse it, with the hotkey in force and the settings unchanged.
    if (m_key == 0 || (m_modifiers & (kModAlt | kModControl | kModShift | kModWin)) == 0) {
        ShowWarning(page, IDS_HOTKEY_CHANGE_FAILED);
        return;
    }
    HWND tray = m_owner != nullptr ? m_owner->m_hWnd : nullptr;
    const bool registered = m_owner != nullptr && m_owner->m_hotkeyRegistered;
    const bool stored =
        m_key == GetOpenSelectionHotkey() && m_modifiers == GetOpenSelectionHotkeyModifier();
    // Usually the stored combination is the one in force; they differ after a failed
    // store, and then either may need doing again.
    const bool inForce = registered && m_key == m_activeKey && m_modifiers == m_activeModifiers;
    if (stored && inForce) {
        EnableApply(false);
        return;
    }

    if (!inForce) {
        // A window keeps an earlier registration of the same identifier beside a new one,
        // so the old combination is released first and taken back if the new one fails.
        bool ok = false;
        if (tray != nullptr) {
            if (registered) UnregisterHotKey(tray, 0);
            ok = RegisterHotKey(tray, 0, m_modifiers | kHotkeyRegisterFlags, m_key) != FALSE;
        } else {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        }
        if (!ok) {
            TraceLastError();
            if (registered &&
                !RegisterHotKey(tray, 0, m_activeModifiers | kHotkeyRegisterFlags, m_activeKey)) {
                TraceLastError();
                m_owner->m_hotkeyRegistered = false;
            }
            ShowWarning(page, IDS_HOTKEY_CHANGE_FAILED);
            return;
        }
        m_owner->m_hotkeyRegistered = true;
        m_activeKey = m_key;
        m_activeModifiers = m_modifiers;
    }

    if (!stored && !SetOpenSelectionHotkey(m_key, m_modifiers) &&
        !ShowWarning(page, IDS_HOTKEY_SAVE_FAILED)) {
        return;
    }
    EnableApply(false);
}

#pragma once

#include "options/base_window.h"
#include "options/settings_dialog.h"
#include "options/welcome_dialog.h"
#include "options/about_dialog.h"

#include "services/tray_state.h"

// The tabbed options window (dialog 9) with its three pages.
class COptionDialog final : public CBaseWindow {
public:
    explicit COptionDialog(CTrayState* owner);
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    // Shows the window, owned by `owner`, creating it on first use.
    void Show(HWND owner);
    void AddTabs();
    void CreatePage(int templateId, CBaseWindow* page);
    void SelectPage(int index, bool setTabSelection);
    void DestroyPages();
    void KeepFocusVisible(bool claim);
    // Enter on a page's push button presses it.
    void PressFocusedButton(HWND control);

    CTrayState* m_owner;
    CSettingsDialog m_settingsPage;
    CWelcomeDialog m_welcomePage;
    CAboutDialog m_aboutPage;
    bool m_selecting;
};

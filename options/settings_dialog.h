#pragma once

#include "options/base_window.h"

#include "services/tray_state.h"

// The Settings page (dialog 131): the open-selection hotkey, applied on "Apply", and the
// two balloon switches, stored as soon as they are clicked.
class CSettingsDialog final : public CBaseWindow {
public:
    explicit CSettingsDialog(CTrayState* owner);
    INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    void LoadHotkeyControls();
    void EnableApply(bool enable);
    void ApplyHotkey();

    CTrayState* m_owner;
    // The combination being edited, as RegisterHotKey takes it; follows the controls.
    unsigned int m_key;
    unsigned int m_modifiers;
    // The combination registered for the tray window (meaningful while its
    // m_hotkeyRegistered is set); it differs from the stored one after a failed store.
    unsigned int m_activeKey;
    unsigned int m_activeModifiers;
};

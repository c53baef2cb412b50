#pragma once

#include <string>

// Path of the settings key below HKEY_CURRENT_USER; empty until the tray window's
// constructor sets it to "Software\Selvane".
extern std::string SettingsKeyPath;

bool ReadRegistryString(const std::string& name, std::string& value);
bool WriteRegistryString(const std::string& name, const std::string& value);

// Reads never fail: anything wrong yields the caller's default.
unsigned int ReadSetting(const std::string& name, const unsigned int& defaultValue);
bool ReadSetting(const std::string& name, const bool& defaultValue);
bool WriteSetting(const std::string& name, unsigned int value);
bool WriteSetting(const std::string& name, bool value);

unsigned int GetOpenSelectionHotkey();
unsigned int GetOpenSelectionHotkeyModifier();
bool SetOpenSelectionHotkey(unsigned int key, unsigned int modifiers);
bool GetShowBalloonOnShortcutPressed();
void SetShowBalloonOnShortcutPressed(bool value);
bool GetShowBalloonOnClosePressed();
void SetShowBalloonOnClosePressed(bool value);

#include "settings/settings.h"

#include <windows.h>

#include <cstring>

#include "settings/setting_text.h"

std::string SettingsKeyPath;

namespace {

const char kHotkeyName[] = "OpenSelectionHotkey";
const char kHotkeyModifierName[] = "OpenSelectionHotkeyModifier";
const char kBalloonOnShortcutName[] = "ShowBalloonOnShortcutPressed";
const char kBalloonOnCloseName[] = "ShowBalloonOnClosePressed";

const unsigned int kDefaultHotkey = 79;  // 'O'
const unsigned int kDefaultHotkeyModifier = MOD_CONTROL | MOD_WIN;

// Longest value data we accept; anything larger is treated as missing.
const DWORD kReadBufferSize = 1024;

template <typename T>
T ReadTypedSetting(const std::string& name, const T& defaultValue) {
    try {
        std::string text;
        T value = defaultValue;
        if (!ReadRegistryString(name, text) || !ParseSettingText(text, value)) {
            return defaultValue;
        }
        return value;
    } catch (...) {
        // Out of memory while copying the text: reads never fail, they fall back.
        return defaultValue;
    }
}

template <typename T>
bool WriteTypedSetting(const std::string& name, T value) {
    try {
        return WriteRegistryString(name, FormatSettingText(value));
    } catch (...) {
        return false;
    }
}

}  // namespace

bool ReadRegistryString(const std::string& name, std::string& value) {
    // With no path the subkey would be HKEY_CURRENT_USER itself; never read or write there.
    if (SettingsKeyPath.empty()) {
        return false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, SettingsKeyPath.c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return false;
    }
    char buffer[kReadBufferSize];
    DWORD size = kReadBufferSize;
    DWORD type = 0;  // Not looked at: any type is taken as narrow text.
    const LONG status =
        RegQueryValueExA(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) {
        return false;
    }
    // Data need not end in a NUL (a full buffer, a REG_DWORD, a value set without one), so
    // the text stops at the first NUL or at the returned count, and never past the buffer.
    if (size > kReadBufferSize) {
        size = kReadBufferSize;
    }
    const void* nul = std::memchr(buffer, '\0', size);
    const size_t length = nul != nullptr ? static_cast<const char*>(nul) - buffer : size;
    value.assign(buffer, length);
    return true;
}

bool WriteRegistryString(const std::string& name, const std::string& value) {
    if (SettingsKeyPath.empty() || value.size() > MAXDWORD) {
        return false;
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, SettingsKeyPath.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                        &disposition) != ERROR_SUCCESS) {
        return false;
    }
    // Stored without a terminating NUL: the count is the text's length.
    const LONG status =
        RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.data()),
                       static_cast<DWORD>(value.size()));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

unsigned int ReadSetting(const std::string& name, const unsigned int& defaultValue) {
    return ReadTypedSetting(name, defaultValue);
}

bool ReadSetting(const std::string& name, const bool& defaultValue) {
    return ReadTypedSetting(name, defaultValue);
}

bool WriteSetting(const std::string& name, unsigned int value) {
    return WriteTypedSetting(name, value);
}

bool WriteSetting(const std::string& name, bool value) {
    return WriteTypedSetting(name, value);
}

unsigned int GetOpenSelectionHotkey() {
    return ReadSetting(kHotkeyName, kDefaultHotkey);
}

unsigned int GetOpenSelectionHotkeyModifier() {
    return ReadSetting(kHotkeyModifierName, kDefaultHotkeyModifier);
}

bool SetOpenSelectionHotkey(unsigned int key, unsigned int modifiers) {
    const unsigned int previousKey = GetOpenSelectionHotkey();
    if (!WriteSetting(kHotkeyName, key)) {
        return false;
    }
    if (WriteSetting(kHotkeyModifierName, modifiers)) {
        return true;
    }
    // Put the key back so that the stored key and modifiers still belong together; the
    // modifiers were not changed by the failed write.
    WriteSetting(kHotkeyName, previousKey);
    return false;
}

bool GetShowBalloonOnShortcutPressed() {
    return ReadSetting(kBalloonOnShortcutName, true);
}

void SetShowBalloonOnShortcutPressed(bool value) {
    WriteSetting(kBalloonOnShortcutName, value);
}

bool GetShowBalloonOnClosePressed() {
    return ReadSetting(kBalloonOnCloseName, true);
}

void SetShowBalloonOnClosePressed(bool value) {
    WriteSetting(kBalloonOnCloseName, value);
}

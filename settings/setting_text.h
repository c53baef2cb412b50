#pragma once

#include <string>

// The text form of a stored setting is exactly what formatted stream input and output give
// in the classic locale: decimal numbers, booleans as "1" and "0". Kept free of Win32 so the
// same rules can be checked on any platform.

// Parse functions return false and leave `value` untouched when the text does not hold a
// value of the asked type (no number, out of range, a boolean other than 0 or 1).
bool ParseSettingText(const std::string& text, unsigned int& value);
bool ParseSettingText(const std::string& text, bool& value);

std::string FormatSettingText(unsigned int value);
std::string FormatSettingText(bool value);

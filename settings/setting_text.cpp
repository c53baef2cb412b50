#include "settings/setting_text.h"

#include <locale>
#include <sstream>

namespace {

// Streams give the exact rules we store by (leading blanks skipped, trailing text ignored,
// "-1" wrapping to 4294967295, overflow refused). The locale is pinned so that a global
// locale set by someone else cannot bring in digit grouping or other digits.
template <typename T>
bool ParseWithStream(const std::string& text, T& value) {
    try {
        std::istringstream in(text);
        in.imbue(std::locale::classic());
        T parsed{};
        if (!(in >> parsed)) {
            return false;
        }
        value = parsed;
        return true;
    } catch (...) {
        // Only running out of memory can get here; a setting that cannot be read is a
        // missing one.
        return false;
    }
}

template <typename T>
std::string FormatWithStream(T value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    out << value;
    return out.str();
}

}  // namespace

bool ParseSettingText(const std::string& text, unsigned int& value) {
    return ParseWithStream(text, value);
}

bool ParseSettingText(const std::string& text, bool& value) {
    return ParseWithStream(text, value);
}

std::string FormatSettingText(unsigned int value) {
    return FormatWithStream(value);
}

std::string FormatSettingText(bool value) {
    return FormatWithStream(value);
}

#include "settings/setting_text.h"

#include <cstdint>

// Written out by hand rather than with formatted streams: the streams bring the whole locale
// machinery of the standard library into the program (most of its size) for two numbers.
// The rules are those of stream input and output in the classic locale, which the stored
// texts were always read and written by: leading blanks skipped, an optional sign, decimal
// digits up to the first character that cannot continue the number, the rest ignored; no
// digit grouping, no other digits, whatever the program's global locale.

static_assert(sizeof(unsigned int) == 4, "stored numbers are 32-bit");

namespace {

// The blanks of the classic locale: space, tab, line feed, vertical tab, form feed, return.
bool IsClassicSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// Reads a signed decimal number the way stream input does; the magnitude is kept exactly
// while it fits 32 bits and marked as too large once it does not.
struct DecimalText {
    bool hasDigits = false;
    bool negative = false;
    bool tooLarge = false;
    std::uint32_t magnitude = 0;
};

DecimalText ReadDecimal(const std::string& text) {
    DecimalText number;
    std::string::size_type i = 0;
    while (i < text.size() && IsClassicSpace(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        number.hasDigits = true;
        const std::uint32_t digit = static_cast<std::uint32_t>(text[i] - '0');
        // Stream input reads every digit of the number even after it has overflowed.
        if (number.magnitude > (0xFFFFFFFFu - digit) / 10u) {
            number.tooLarge = true;
        } else {
            number.magnitude = number.magnitude * 10u + digit;
        }
    }
    return number;
}

}  // namespace

bool ParseSettingText(const std::string& text, unsigned int& value) {
    const DecimalText number = ReadDecimal(text);
    if (!number.hasDigits || number.tooLarge) return false;
    // A minus negates modulo 2^32, as unsigned stream input does: "-1" reads 4294967295.
    value = number.negative ? 0u - number.magnitude : number.magnitude;
    return true;
}

bool ParseSettingText(const std::string& text, bool& value) {
    const DecimalText number = ReadDecimal(text);
    // Numeric booleans: the number must be 0 (of either sign) or 1; "-1" is a number that
    // is neither.
    if (!number.hasDigits || number.tooLarge) return false;
    if (number.magnitude == 0) {
        value = false;
        return true;
    }
    if (number.magnitude == 1 && !number.negative) {
        value = true;
        return true;
    }
    return false;
}

std::string FormatSettingText(unsigned int value) {
    char digits[10];
    int count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10u);
        value /= 10u;
    } while (value != 0);
    std::string text;
    while (count > 0) text += digits[--count];
    return text;
}

std::string FormatSettingText(bool value) {
    return value ? "1" : "0";
}

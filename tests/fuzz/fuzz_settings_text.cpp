// Feeds arbitrary bytes to the settings text parser, as a hand-edited or foreign registry
// value would. Besides looking for crashes and sanitizer reports it compares the parser with
// a plain model of the rules it must follow, and checks that whatever parses formats back to
// a text that parses the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/setting_text.h"

namespace {

struct ModelNumber {
    bool ok = false;
    bool negative = false;
    uint64_t magnitude = 0;  // saturates above 2^32
};

// Blanks of the classic locale, an optional sign, then at least one decimal digit; reading
// stops at the first character that cannot continue the number.
ModelNumber ReadModelNumber(const std::string& text) {
    ModelNumber number;
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) {
        ++i;
    }
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        number.negative = text[i] == '-';
        ++i;
    }
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        number.ok = true;
        number.magnitude = number.magnitude * 10 + static_cast<unsigned>(text[i] - '0');
        if (number.magnitude > (uint64_t{1} << 32)) {
            number.magnitude = uint64_t{1} << 32;
        }
    }
    return number;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ModelNumber model = ReadModelNumber(text);

    // Unsigned: in range when the magnitude fits 32 bits; a minus negates modulo 2^32.
    unsigned int number = 0;
    const bool numberParsed = ParseSettingText(text, number);
    const bool numberExpected = model.ok && model.magnitude <= 0xFFFFFFFFu;
    Check(numberParsed == numberExpected);
    if (numberParsed) {
        const uint32_t magnitude = static_cast<uint32_t>(model.magnitude);
        Check(number == (model.negative ? 0u - magnitude : magnitude));
        const std::string written = FormatSettingText(number);
        unsigned int again = 0;
        Check(!written.empty() && written.size() <= 10 && (written == "0" || written[0] != '0'));
        Check(ParseSettingText(written, again) && again == number);
    }

    // Boolean: the same number, which must be 0 (either sign) or a positive 1.
    bool flag = false;
    const bool flagParsed = ParseSettingText(text, flag);
    const bool flagExpected =
        model.ok && (model.magnitude == 0 || (model.magnitude == 1 && !model.negative));
    Check(flagParsed == flagExpected);
    if (flagParsed) {
        Check(flag == (model.magnitude == 1));
        const std::string written = FormatSettingText(flag);
        bool again = !flag;
        Check(written == (flag ? "1" : "0"));
        Check(ParseSettingText(written, again) && again == flag);
    }
    return 0;
}

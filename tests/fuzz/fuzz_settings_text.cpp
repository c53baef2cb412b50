// Feeds arbitrary bytes to the settings text parser, as a hand-edited or foreign registry
// value would, and checks that whatever parses formats back to a text that parses the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "settings/setting_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    unsigned int number = 0;
    if (ParseSettingText(text, number)) {
        const std::string written = FormatSettingText(number);
        unsigned int again = 0;
        if (written.empty() || written.size() > 10 || !ParseSettingText(written, again) ||
            again != number) {
            std::abort();
        }
    }

    bool flag = false;
    if (ParseSettingText(text, flag)) {
        const std::string written = FormatSettingText(flag);
        bool again = !flag;
        if ((written != "0" && written != "1") || !ParseSettingText(written, again) ||
            again != flag) {
            std::abort();
        }
    }
    return 0;
}

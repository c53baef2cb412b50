#include "res/strings.h"

#include <windows.h>

#include <cstdio>
#include <map>
#include <string>

const wchar_t* GetWstring(unsigned int strID) {
    // Entries are never replaced or erased, so pointers into them stay valid.
    static std::map<unsigned int, std::wstring> cache;

    auto found = cache.find(strID);
    if (found == cache.end()) {
        wchar_t buffer[1025] = {};
        // String resources have 16-bit identifiers, and some systems keep only the low 16
        // bits of a larger one: 65639 would read string 103. Such an id names no string.
        int length =
            strID <= 0xFFFF ? LoadStringW(GetModuleHandleW(nullptr), strID, buffer, 1024) : 0;
        std::wstring text;
        if (length != 0) {
            text = buffer;
        } else {
            char digits[16];
            std::snprintf(digits, sizeof digits, "%u", strID);
            text = L"Couldn't read string with ID : ";
            for (const char* c = digits; *c; ++c) text += static_cast<wchar_t>(*c);
        }
        found = cache.emplace(strID, std::move(text)).first;
    }
    return found->second.c_str();
}

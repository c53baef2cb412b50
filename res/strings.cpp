#include "res/strings.h"

#include <windows.h>

#include <forward_list>
#include <string>
#include <utility>

const wchar_t* GetWstring(unsigned int strID) {
    // Entries are never replaced or erased, so pointers into them stay valid. A list rather
    // than a tree: the program has a score of strings, and a search through them costs
    // nothing beside the code a tree brings along.
    static std::forward_list<std::pair<unsigned int, std::wstring>> cache;

    for (const auto& entry : cache) {
        if (entry.first == strID) return entry.second.c_str();
    }
    wchar_t buffer[1025] = {};
    // String resources have 16-bit identifiers, and some systems keep only the low 16
    // bits of a larger one: 65639 would read string 103. Such an id names no string.
    int length =
        strID <= 0xFFFF ? LoadStringW(GetModuleHandleW(nullptr), strID, buffer, 1024) : 0;
    std::wstring text;
    if (length != 0) {
        text = buffer;
    } else {
        // The digits by hand: the printf family would bring its whole formatter along.
        wchar_t digits[10];
        int count = 0;
        unsigned int rest = strID;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + rest % 10u);
            rest /= 10u;
        } while (rest != 0);
        text = L"Couldn't read string with ID : ";
        while (count > 0) text += digits[--count];
    }
    cache.emplace_front(strID, std::move(text));
    return cache.front().second.c_str();
}

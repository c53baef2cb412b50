// The cached string lookup, against the program's string table linked into this test
// program and a few test-only strings (ids 200 to 203).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "res/strings.h"
#include "tests/win32/test_helpers.h"

namespace {

std::wstring Pattern(size_t length) {
    const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvwxyz0123456789";
    std::wstring text;
    for (size_t i = 0; i < length; ++i) text += alphabet[i % 36];
    return text;
}

TEST(GetWstring, RepeatCallsReturnTheSameUnchangedText) {
    const wchar_t* title = GetWstring(103);
    const wchar_t* caption = GetWstring(105);
    ASSERT_NE(title, nullptr);
    EXPECT_STREQ(title, L"Selvane");
    EXPECT_STREQ(caption, L"Selvane");
    EXPECT_NE(title, caption);  // equal texts, separate entries

    // Many other lookups, found and missing, must neither move nor change the first.
    for (unsigned int id = 96; id < 200; ++id) GetWstring(id);
    EXPECT_EQ(GetWstring(103), title);
    EXPECT_STREQ(title, L"Selvane");
    EXPECT_EQ(GetWstring(105), caption);
    EXPECT_STREQ(caption, L"Selvane");
}

TEST(GetWstring, ReadsTheProgramsStrings) {
    EXPECT_STREQ(GetWstring(109), L"SELVANE");
    EXPECT_STREQ(GetWstring(119), L"Another instance of the application is running.");
    EXPECT_STREQ(GetWstring(113),
                 L"The hotkey could not be changed,please make sure another application is "
                 L"not using it.");
}

TEST(GetWstring, MissingStringsNameTheirUnsignedId) {
    // 120 is an empty slot in the block that holds 112 to 119.
    const wchar_t* missing = GetWstring(120);
    EXPECT_STREQ(missing, L"Couldn't read string with ID : 120");
    EXPECT_EQ(GetWstring(120), missing);
    EXPECT_STREQ(GetWstring(0), L"Couldn't read string with ID : 0");
    EXPECT_STREQ(GetWstring(4294967295u), L"Couldn't read string with ID : 4294967295");
    EXPECT_STREQ(GetWstring(102), L"Couldn't read string with ID : 102");
    // String resources have 16-bit identifiers; a larger id must not alias one of them.
    EXPECT_STREQ(GetWstring(65536 + 103), L"Couldn't read string with ID : 65639");
}

decltype(&LoadStringW) g_loadString = nullptr;
decltype(&OutputDebugStringA) g_outputDebugString = nullptr;
int g_loads = 0;
int g_outputs = 0;

int WINAPI CountLoadStringW(HINSTANCE module, UINT id, LPWSTR buffer, int size) {
    ++g_loads;
    return g_loadString(module, id, buffer, size);
}

void WINAPI CountOutputDebugStringA(LPCSTR text) {
    ++g_outputs;
    g_outputDebugString(text);
}

TEST(GetWstring, LoadsEachStringOnceAndTracesNothing) {
    g_loadString = reinterpret_cast<decltype(g_loadString)>(
        SwapImport("LoadStringW", reinterpret_cast<void*>(&CountLoadStringW)));
    g_outputDebugString = reinterpret_cast<decltype(g_outputDebugString)>(
        SwapImport("OutputDebugStringA", reinterpret_cast<void*>(&CountOutputDebugStringA)));
    ASSERT_NE(g_loadString, nullptr);
    g_loads = g_outputs = 0;

    // Ids no other test asks for.
    EXPECT_STREQ(GetWstring(203), L"Loaded once");
    EXPECT_STREQ(GetWstring(203), L"Loaded once");
    EXPECT_EQ(g_loads, 1);
    // A missing string is not looked for again either, and says nothing.
    GetWstring(204);
    GetWstring(204);
    EXPECT_EQ(g_loads, 2);
    EXPECT_EQ(g_outputs, 0);

    SwapImport("LoadStringW", reinterpret_cast<void*>(g_loadString));
    if (g_outputDebugString)
        SwapImport("OutputDebugStringA", reinterpret_cast<void*>(g_outputDebugString));
}

TEST(GetWstring, LongStringsStopAt1023Characters) {
    EXPECT_EQ(std::wstring(GetWstring(200)), Pattern(1023));
    EXPECT_EQ(std::wstring(GetWstring(201)), Pattern(1023));
    EXPECT_EQ(std::wstring(GetWstring(202)), Pattern(1023));
}

}  // namespace

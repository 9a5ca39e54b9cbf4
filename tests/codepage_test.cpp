// Code page 1252 against UTF-8 and UTF-16: round trips, and '?' for what cannot be converted.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "formats/program_names.h"
#include "platform/host/codepage.h"
#include "platform/platform.h"

namespace {

using namespace std::string_literals;
using host::Utf16ToCp1252;

TEST(CodepageTest, EveryByteSurvivesUtf8AndUtf16) {
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        EXPECT_EQ(host::Utf8ToCp1252(host::Cp1252ToUtf8(byte)), byte) << value;
        EXPECT_EQ(Utf16ToCp1252(host::Cp1252ToUtf16(byte)), byte) << value;
    }
}

// The bytes after a broken sequence are read again as the start of new ones.
TEST(CodepageTest, WhatHasNoByteInTheCodePageOrIsBrokenBecomesQuestionMarks) {
    const std::string kCases[][2] = {{"a\xE6\x97\xA5z", "a?z"}, {"\xF0\x9F\x98\x80!", "?!"},
                                     {"\x80x", "?x"},           {"ok\xE2\x82", "ok?"},
                                     {"\xE2\x82Z", "?Z"},       {"\xC0\xAF", "??"},
                                     {"\xED\xA0\x80", "???"},   {"\xF4\x90\x80\x80", "????"},
                                     {"\xF8\xFF", "??"},        {"a\0b"s, "a\0b"s},
                                     {"\xC2\x80", "?"},         {"\xC2\x9F", "?"}};
    for (const auto& [utf8, cp1252] : kCases) {
        EXPECT_EQ(host::Utf8ToCp1252(utf8), cp1252) << testing::PrintToString(utf8);
    }
    // UTF-16: a pair is one character, a lone surrogate one of its own.
    EXPECT_EQ(Utf16ToCp1252(u"x\U00010000y"), "x?y");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{u'a', char16_t{0xD800}}), "a?");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{u'a', char16_t{0xD800}, char16_t{0xE000}}), "a??");
    EXPECT_EQ(Utf16ToCp1252(std::u16string{char16_t{0xDC00}, u'b'}), "?b");
}

// Letters become capitals; a byte with no capital in the code page, or no letter, stays.
TEST(CodepageTest, LettersBecomeCapitals) {
    const unsigned char pairs[][2] = {{'z', 'Z'},   {0xE0, 0xC0}, {0xFE, 0xDE},
                                      {0x9A, 0x8A}, {0xFF, 0x9F}, {0xDF, 0xDF},
                                      {0xB5, 0xB5}, {0xF7, 0xF7}, {'{', '{'}};
    for (const auto& [lower, upper] : pairs) {
        EXPECT_EQ(names::Cp1252ToUpper(lower), upper) << int{lower};
    }
}

// The system's conversions as Win32 makes them, in the native ANSI code page 1252: -1 takes the
// terminator along, an output length of 0 asks for the size, a short output takes nothing, a
// character without a byte is reported; other code pages and flags are refused.
TEST(CodepageTest, SystemConversionsKeepWin32Lengths) {
    struct Case {
        UINT codePage;
        DWORD flags;
        std::string text;
        int length;
        int room;
        int result;
        DWORD error;
        std::u16string wide;
    };
    // clang-format off
    const Case kToWide[] = {
        {CP_ACP, 0, "Gr\xFC\xDF \x80", -1, 16, 7, 0, u"Gr\u00FC\u00DF \u20AC\0"s},
        {1252, 0, "abc", 3, 0, 3, 0, u""},
        {CP_ACP, 0, "abc", 3, 2, 0, ERROR_INSUFFICIENT_BUFFER, u""},
        {CP_ACP, 0, "abc", 0, 8, 0, ERROR_INVALID_PARAMETER, u""},
        {932, 0, "abc", 3, 8, 0, ERROR_INVALID_PARAMETER, u""},
        {CP_ACP, 1, "abc", 3, 8, 0, ERROR_INVALID_FLAGS, u""},
    };
    // clang-format on
    for (const Case& c : kToWide) {
        std::u16string out(static_cast<std::size_t>(c.room), u'#');
        SetLastError(0);
        EXPECT_EQ(
            MultiByteToWideChar(c.codePage, c.flags, c.text.c_str(), c.length, out.data(), c.room),
            c.result)
            << c.text;
        EXPECT_EQ(GetLastError(), c.error) << c.text;
        EXPECT_TRUE(out.substr(0, std::max(c.result, 0)) == c.wide) << c.text;
    }
    struct NarrowCase {
        DWORD flags;
        std::u16string wide;
        int length;
        int room;
        int result;
        DWORD error;
        std::string text;
        BOOL missing;
    };
    // clang-format off
    const NarrowCase kToNarrow[] = {
        {WC_NO_BEST_FIT_CHARS, u"K\u00C4", 2, 8, 2, 0, "K\xC4", FALSE},
        {WC_NO_BEST_FIT_CHARS, u"\u0418\u20AC", -1, 8, 3, 0, "?\x80\0"s, TRUE},
        {0, u"abc", 3, 0, 3, 0, "", FALSE},
        {0, u"abc", 3, 2, 0, ERROR_INSUFFICIENT_BUFFER, "", FALSE},
        {0x200, u"abc", 3, 8, 0, ERROR_INVALID_FLAGS, "", FALSE},
    };
    // clang-format on
    for (const NarrowCase& c : kToNarrow) {
        std::string out(static_cast<std::size_t>(c.room), '#');
        BOOL missing = FALSE;
        SetLastError(0);
        EXPECT_EQ(WideCharToMultiByte(CP_ACP, c.flags, c.wide.c_str(), c.length, out.data(), c.room,
                                      nullptr, &missing),
                  c.result)
            << c.text;
        EXPECT_EQ(GetLastError(), c.error) << c.text;
        EXPECT_EQ(out.substr(0, std::max(c.result, 0)), c.text);
        EXPECT_EQ(missing, c.missing) << c.text;
    }
    EXPECT_EQ(GetACP(), 1252U);
}

}  // namespace

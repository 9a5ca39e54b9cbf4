// Code page 1252 against UTF-8 and UTF-16: round trips, and '?' for what cannot be converted.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

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
    // The last code point of three bytes and the first of four.
    EXPECT_EQ(host::CodePointToUtf8(U'\uFFFF') + host::CodePointToUtf8(U'\U00010000'),
              "\xEF\xBF\xBF\xF0\x90\x80\x80");
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
    // To UTF-16 or from it, code page, flags, the UTF-16 and the single-byte text, the input's
    // length, the output's room, the result, the last error, a character without a byte.
    // clang-format off
    const std::tuple<bool, UINT, DWORD, std::u16string, std::string, int, int, int, DWORD, BOOL> kCases[] = {
        {true, CP_ACP, 0, u"Gr\u00FC\u00DF \u20AC\0"s, "Gr\xFC\xDF \x80", -1, 16, 7, 0, FALSE},
        {true, 1252, 0, u"", "abc", 3, 0, 3, 0, FALSE},
        {true, CP_ACP, 0, u"", "abc", 3, 2, 0, ERROR_INSUFFICIENT_BUFFER, FALSE},
        {true, CP_ACP, 0, u"", "abc", 0, 8, 0, ERROR_INVALID_PARAMETER, FALSE},
        {true, 932, 0, u"", "abc", 3, 8, 0, ERROR_INVALID_PARAMETER, FALSE},
        {true, CP_ACP, 1, u"", "abc", 3, 8, 0, ERROR_INVALID_FLAGS, FALSE},
        {false, CP_ACP, WC_NO_BEST_FIT_CHARS, u"K\u00C4", "K\xC4", 2, 8, 2, 0, FALSE},
        {false, CP_ACP, WC_NO_BEST_FIT_CHARS, u"\u0418\u20AC", "?\x80\0"s, -1, 8, 3, 0, TRUE},
        {false, 1252, 0, u"abc", "", 3, 0, 3, 0, FALSE},
        {false, CP_ACP, 0, u"abc", "", 3, 2, 0, ERROR_INSUFFICIENT_BUFFER, FALSE},
        {false, CP_ACP, 0x200, u"abc", "", 3, 8, 0, ERROR_INVALID_FLAGS, FALSE},
    };
    // clang-format on
    for (const auto& [toWide, codePage, flags, wide, narrow, length, room, result, error, missing] :
         kCases) {
        SCOPED_TRACE(narrow);
        std::u16string wideOut(static_cast<std::size_t>(room), u'#');
        std::string narrowOut(static_cast<std::size_t>(room), '#');
        BOOL used = FALSE;
        SetLastError(0);
        EXPECT_EQ(toWide ? MultiByteToWideChar(codePage, flags, narrow.c_str(), length,
                                               wideOut.data(), room)
                         : WideCharToMultiByte(codePage, flags, wide.c_str(), length,
                                               narrowOut.data(), room, nullptr, &used),
                  result);
        EXPECT_EQ(GetLastError(), error);
        const std::size_t written = static_cast<std::size_t>(std::max(result, 0));
        EXPECT_TRUE(toWide ? wideOut.substr(0, written) == wide
                           : narrowOut.substr(0, written) == narrow && used == missing);
    }
    EXPECT_EQ(GetACP(), 1252U);
}

}  // namespace

// Code page 1252 against UTF-8 and UTF-16: round trips, and '?' for what cannot be converted.
#include <gtest/gtest.h>

#include <string>

#include "formats/program_names.h"
#include "platform/host/codepage.h"

namespace {

using namespace std::string_literals;
using posix::Utf16ToCp1252;

TEST(CodepageTest, EveryByteSurvivesUtf8AndUtf16) {
    for (int value = 0; value < 256; ++value) {
        const std::string byte(1, static_cast<char>(value));
        EXPECT_EQ(posix::Utf8ToCp1252(posix::Cp1252ToUtf8(byte)), byte) << value;
        EXPECT_EQ(Utf16ToCp1252(posix::Cp1252ToUtf16(byte)), byte) << value;
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
        EXPECT_EQ(posix::Utf8ToCp1252(utf8), cp1252) << testing::PrintToString(utf8);
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

}  // namespace

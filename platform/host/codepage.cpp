#include "codepage.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace host {
namespace {

// Bytes 0x80-0x9F; the rest of the code page is Latin-1. The undefined bytes keep their own
// code point, so that every byte has one.
constexpr std::array<char16_t, 32> kHighControlRange = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 0x88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 0x98
};
constexpr unsigned char kHighControlFirst = 0x80;
constexpr unsigned char kLatin1First = 0xA0;

// The lead byte of U+10FFFF, the last code point.
constexpr unsigned char kLastLeadByte = 0xF4;
constexpr char32_t kSurrogateFirst = 0xD800;
constexpr char32_t kLowSurrogateFirst = 0xDC00;
constexpr char32_t kSurrogateLast = 0xDFFF;
constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// The allowed range of the second byte of a sequence, which excludes overlong forms,
// surrogates and code points beyond U+10FFFF (the table of well-formed UTF-8 sequences).
struct SecondByteRange {
    unsigned char low;
    unsigned char high;
};

SecondByteRange SecondByteRangeFor(unsigned char lead) {
    switch (lead) {
        case 0xE0:
            return {0xA0, 0xBF};
        case 0xED:
            return {0x80, 0x9F};
        case 0xF0:
            return {0x90, 0xBF};
        case 0xF4:
            return {0x80, 0x8F};
        default:
            return {0x80, 0xBF};
    }
}

// Decodes the sequence at text[position], advancing position past it. An ill-formed piece
// (its longest prefix that could still have been well formed, at least one byte) yields
// U+FFFD, so one bad byte never swallows the good text after it.
char32_t DecodeUtf8(std::string_view text, std::size_t& position) {
    const auto lead = static_cast<unsigned char>(text[position++]);
    const int length = Utf8SequenceLength(lead);
    if (length == 1) {
        return lead < 0x80 ? lead : kReplacement;
    }
    char32_t codePoint = lead & (0x7F >> length);
    const SecondByteRange second = SecondByteRangeFor(lead);
    for (int index = 1; index < length; ++index) {
        if (position >= text.size()) {
            return kReplacement;
        }
        const auto byte = static_cast<unsigned char>(text[position]);
        const bool allowed =
            index == 1 ? byte >= second.low && byte <= second.high : IsContinuation(byte);
        if (!allowed) {
            return kReplacement;
        }
        codePoint = (codePoint << 6) | (byte & 0x3F);
        ++position;
    }
    return codePoint;
}

void AppendUtf8(std::string& out, char32_t codePoint) {
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

char ToCp1252OrUnmappable(char32_t codePoint) {
    const std::optional<unsigned char> byte = CodePointToCp1252(codePoint);
    return byte ? static_cast<char>(*byte) : kUnmappableChar;
}

}  // namespace

char32_t Cp1252ToCodePoint(unsigned char byte) {
    if (byte >= kHighControlFirst && byte < kLatin1First) {
        return kHighControlRange[byte - kHighControlFirst];
    }
    return byte;
}

std::optional<unsigned char> CodePointToCp1252(char32_t codePoint) {
    if (codePoint < kHighControlFirst || (codePoint >= kLatin1First && codePoint <= 0xFF)) {
        return static_cast<unsigned char>(codePoint);
    }
    for (std::size_t index = 0; index < kHighControlRange.size(); ++index) {
        if (kHighControlRange[index] == codePoint) {
            return static_cast<unsigned char>(kHighControlFirst + index);
        }
    }
    return std::nullopt;
}

std::string Cp1252ToUtf8(std::string_view text) {
    std::string out;
    for (const char byte : text) {
        AppendUtf8(out, Cp1252ToCodePoint(static_cast<unsigned char>(byte)));
    }
    return out;
}

std::string CodePointToUtf8(char32_t codePoint) {
    std::string out;
    AppendUtf8(out, codePoint);
    return out;
}

std::string Utf8ToCp1252(std::string_view text) {
    std::string out;
    for (std::size_t position = 0; position < text.size();) {
        out += ToCp1252OrUnmappable(DecodeUtf8(text, position));
    }
    return out;
}

std::u16string Cp1252ToUtf16(std::string_view text) {
    std::u16string out;
    for (const char byte : text) {
        out += static_cast<char16_t>(Cp1252ToCodePoint(static_cast<unsigned char>(byte)));
    }
    return out;
}

std::string Utf16ToCp1252(std::u16string_view text) {
    std::string out;
    for (std::size_t position = 0; position < text.size(); ++position) {
        const char32_t unit = text[position];
        if (unit >= kSurrogateFirst && unit <= kSurrogateLast) {
            // No code point beyond U+FFFF is in the code page: a pair, or a lone half, is
            // one character that cannot be shown.
            const bool pair = unit < kLowSurrogateFirst && position + 1 < text.size() &&
                              text[position + 1] >= kLowSurrogateFirst &&
                              text[position + 1] <= kSurrogateLast;
            position += pair ? 1 : 0;
            out += kUnmappableChar;
            continue;
        }
        out += ToCp1252OrUnmappable(unit);
    }
    return out;
}

int Utf8SequenceLength(unsigned char leadByte) {
    if (leadByte >= 0xC2 && leadByte <= 0xDF) {
        return 2;
    }
    if (leadByte >= 0xE0 && leadByte <= 0xEF) {
        return 3;
    }
    if (leadByte >= 0xF0 && leadByte <= kLastLeadByte) {
        return 4;
    }
    return 1;
}

}  // namespace host

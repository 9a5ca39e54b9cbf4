#include "program_names.h"

#include <algorithm>

namespace names {

unsigned char Cp1252ToUpper(unsigned char byte) {
    constexpr unsigned char kCaseOffset = 0x20;
    constexpr unsigned char kDivisionSign = 0xF7;
    if ((byte >= 'a' && byte <= 'z') || (byte >= 0xE0 && byte <= 0xFE && byte != kDivisionSign)) {
        return static_cast<unsigned char>(byte - kCaseOffset);
    }
    switch (byte) {
        case 0x9A:  // š
        case 0x9C:  // œ
        case 0x9E:  // ž
            return static_cast<unsigned char>(byte - 0x10);
        case 0xFF:  // ÿ
            return 0x9F;
        default:
            return byte;
    }
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::ranges::equal(a, b, [](char x, char y) {
        return Cp1252ToUpper(static_cast<unsigned char>(x)) ==
               Cp1252ToUpper(static_cast<unsigned char>(y));
    });
}

}  // namespace names

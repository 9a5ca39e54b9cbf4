#include "program_names.h"

#include <algorithm>

namespace names {
namespace {

// Bytes below this are control characters, which no name may hold.
constexpr unsigned char kFirstNameByte = 0x20;
constexpr std::string_view kRefusedNameBytes = "\"*:<>?|";
// COM and LPT take one digit 1 to 9, or one of the superscripts ¹ ² ³ of code page 1252, which
// Win32 counts as digits there.
constexpr std::size_t kDeviceNameLength = 3;
constexpr std::string_view kDeviceNames[] = {"AUX", "CON", "NUL", "PRN"};
constexpr std::string_view kNumberedDeviceNames[] = {"COM", "LPT"};
constexpr std::string_view kDeviceDigits = "123456789\xB9\xB2\xB3";

}  // namespace

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

bool IsAllowedName(std::string_view name) {
    return std::ranges::none_of(name, [](unsigned char c) {
        return c < kFirstNameByte ||
               kRefusedNameBytes.find(static_cast<char>(c)) != kRefusedNameBytes.npos;
    });
}

// A colon, which would end the device's name too, is refused in every name before this is
// asked.
std::optional<std::string_view> DeviceOf(std::string_view name) {
    std::string_view base = name.substr(0, name.find('.'));
    base = base.substr(0, base.find_last_not_of(' ') + 1);
    const auto startsAs = [base](std::string_view device) {
        return SameIgnoringCase(base.substr(0, device.size()), device);
    };
    const bool isDevice = base.size() == kDeviceNameLength
                              ? std::ranges::any_of(kDeviceNames, startsAs)
                              : base.size() == kDeviceNameLength + 1 &&
                                    kDeviceDigits.find(base.back()) != kDeviceDigits.npos &&
                                    std::ranges::any_of(kNumberedDeviceNames, startsAs);
    return isDevice ? std::optional{base} : std::nullopt;
}

}  // namespace names

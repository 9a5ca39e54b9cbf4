#include "szdd_format.h"

#include <algorithm>

#include "formats/byte_order.h"

namespace szdd {

bool HasMagic(std::span<const std::uint8_t> file) {
    return file.size() >= kMagic.size() && std::ranges::equal(file.first(kMagic.size()), kMagic);
}

std::optional<Header> ReadHeader(std::span<const std::uint8_t> file) {
    if (file.size() < kHeaderSize || !HasMagic(file)) {
        return std::nullopt;
    }
    return Header{.mode = file[kModeOffset],
                  .missingChar = file[kMissingCharOffset],
                  .expandedLength = bytes::ReadLe32(file.subspan(kLengthOffset))};
}

std::array<std::uint8_t, kHeaderSize> HeaderBytes(const Header& header) {
    std::array<std::uint8_t, kHeaderSize> out{};
    std::ranges::copy(kMagic, out.begin());
    out[kModeOffset] = header.mode;
    out[kMissingCharOffset] = header.missingChar;
    bytes::WriteLe32(std::span{out}.subspan(kLengthOffset), header.expandedLength);
    return out;
}

}  // namespace szdd

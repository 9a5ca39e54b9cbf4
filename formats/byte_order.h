// Little-endian 32-bit fields, the byte order of both file formats, read and written byte by
// byte so that the format code does not depend on the host's order or alignment.
#ifndef KARTOL_FORMATS_BYTE_ORDER_H
#define KARTOL_FORMATS_BYTE_ORDER_H

#include <cstdint>
#include <span>

namespace bytes {

inline std::uint32_t ReadLe32(std::span<const std::uint8_t> at) {
    return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
           static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

inline void WriteLe32(std::span<std::uint8_t> at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

}  // namespace bytes

#endif

// The SZDD compressed-file format in mode 'A', as the Windows LZ expansion routines read it:
// a 14-byte header (magic, mode, missing character, expanded length) and an LZSS body over a
// 4,096-byte ring that starts filled with spaces and is first written at position 4,080.
//
// The body is a sequence of groups: a flag byte, then up to eight items, the flag bits taken
// from the least significant upward. A set bit is one literal byte; a clear bit is a two-byte
// reference b0 b1 to ring position b0 + 256 * (b1 >> 4), length (b1 & 0x0F) + 3, copied one
// byte at a time so that it may overlap the bytes it produces. The body ends with the input.
#ifndef KARTOL_FORMATS_SZDD_FORMAT_H
#define KARTOL_FORMATS_SZDD_FORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace szdd {

inline constexpr std::array<std::uint8_t, 8> kMagic{'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
inline constexpr std::uint8_t kModeA = 'A';
inline constexpr std::size_t kModeOffset = 8;
inline constexpr std::size_t kMissingCharOffset = 9;
inline constexpr std::size_t kLengthOffset = 10;
inline constexpr std::size_t kHeaderSize = 14;

inline constexpr std::size_t kWindowSize = 4096;
inline constexpr std::size_t kWindowMask = kWindowSize - 1;
// The first byte of output is stored at this ring position.
inline constexpr std::size_t kFirstWritePosition = kWindowSize - 16;
inline constexpr std::uint8_t kWindowFill = ' ';
inline constexpr std::size_t kMinMatch = 3;
inline constexpr std::size_t kMaxMatch = 18;
inline constexpr std::size_t kItemsPerGroup = 8;

// Every item of a group costs its flag bit: a literal 1 + 8 bits, a reference 1 + 16.
inline constexpr std::uint32_t kLiteralBits = 9;
inline constexpr std::uint32_t kReferenceBits = 17;

struct Header {
    std::uint8_t mode = kModeA;
    std::uint8_t missingChar = 0;
    std::uint32_t expandedLength = 0;
};

// True when `file` begins with the eight magic bytes.
bool HasMagic(std::span<const std::uint8_t> file);

// The header of `file`, or nothing when it is shorter than a header or lacks the magic.
std::optional<Header> ReadHeader(std::span<const std::uint8_t> file);

// The 14 header bytes for `header`.
std::array<std::uint8_t, kHeaderSize> HeaderBytes(const Header& header);

}  // namespace szdd

#endif

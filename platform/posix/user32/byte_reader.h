// Bounds-checked little-endian reading of resource bytes: every read says whether the bytes
// were there, and a failed read leaves the reader where it was.
#ifndef KARTOL_PLATFORM_POSIX_BYTE_READER_H
#define KARTOL_PLATFORM_POSIX_BYTE_READER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/posix/include/win32.h"

namespace posix {

class ByteReader {
  public:
    explicit ByteReader(std::span<const std::byte> bytes) : bytes_(bytes) {}

    std::size_t Position() const { return position_; }
    std::size_t Remaining() const { return bytes_.size() - position_; }

    std::optional<std::uint16_t> Word() {
        if (Remaining() < sizeof(std::uint16_t)) {
            return std::nullopt;
        }
        const auto value = static_cast<std::uint16_t>(Byte(0) | Byte(1) << 8);
        position_ += sizeof(std::uint16_t);
        return value;
    }

    std::optional<std::uint32_t> Dword() {
        if (Remaining() < sizeof(std::uint32_t)) {
            return std::nullopt;
        }
        const std::uint32_t value =
            Byte(0) | Byte(1) << 8 | Byte(2) << 16 | static_cast<std::uint32_t>(Byte(3)) << 24;
        position_ += sizeof(std::uint32_t);
        return value;
    }

    std::optional<std::span<const std::byte>> Bytes(std::size_t count) {
        if (Remaining() < count) {
            return std::nullopt;
        }
        const auto bytes = bytes_.subspan(position_, count);
        position_ += count;
        return bytes;
    }

    // A zero-terminated UTF-16 string; the terminator is consumed, not returned.
    std::optional<std::u16string> String() {
        const std::size_t start = position_;
        std::u16string text;
        while (const std::optional<std::uint16_t> unit = Word()) {
            if (*unit == 0) {
                return text;
            }
            text += static_cast<char16_t>(*unit);
        }
        position_ = start;
        return std::nullopt;
    }

    // Moves to the next multiple of `alignment` from the start; false if that lies beyond
    // the end.
    bool Align(std::size_t alignment) {
        const std::size_t aligned = (position_ + alignment - 1) / alignment * alignment;
        if (aligned > bytes_.size()) {
            return false;
        }
        position_ = aligned;
        return true;
    }

    bool Seek(std::size_t position) {
        if (position > bytes_.size()) {
            return false;
        }
        position_ = position;
        return true;
    }

  private:
    std::uint32_t Byte(std::size_t offset) const {
        return std::to_integer<std::uint32_t>(bytes_[position_ + offset]);
    }

    std::span<const std::byte> bytes_;
    std::size_t position_ = 0;
};

// A field that holds either a number (0xFFFF followed by a WORD) or a zero-terminated UTF-16
// string, as resource headers store types and names and dialog templates store menus,
// classes and titles. Strings are converted to code page 1252; a field that is only the
// terminator is an empty string.
struct OrdinalOrName {
    std::optional<WORD> ordinal;
    std::string name;

    bool operator==(const OrdinalOrName&) const = default;
};

// Nothing, with the reader where it was, when the field runs past the end.
std::optional<OrdinalOrName> ReadOrdinalOrName(ByteReader& reader);

}  // namespace posix

#endif

#include "byte_reader.h"

#include "platform/host/codepage.h"

namespace posix {
namespace {

constexpr WORD kOrdinalMarker = 0xFFFF;

}  // namespace

std::optional<OrdinalOrName> ReadOrdinalOrName(ByteReader& reader) {
    const std::size_t start = reader.Position();
    const std::optional<WORD> first = reader.Word();
    if (!first) {
        return std::nullopt;
    }
    if (*first == kOrdinalMarker) {
        const std::optional<WORD> ordinal = reader.Word();
        if (!ordinal) {
            reader.Seek(start);
            return std::nullopt;
        }
        return OrdinalOrName{*ordinal, {}};
    }
    reader.Seek(start);
    const std::optional<std::u16string> name = reader.String();
    if (!name) {
        return std::nullopt;
    }
    return OrdinalOrName{std::nullopt, host::Utf16ToCp1252(*name)};
}

}  // namespace posix

// Expansion of an SZDD mode 'A' body, in memory and without I/O, so that the LZ layer of the
// native build and the payload tool share one decoder. Contract for damaged input: the output
// is everything the body yields up to its end; a body that ends after the first byte of a
// reference says so in `truncated` and yields the output before that reference.
#ifndef KARTOL_FORMATS_SZDD_DECODER_H
#define KARTOL_FORMATS_SZDD_DECODER_H

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "formats/szdd_format.h"

namespace szdd {

struct Expansion {
    // The ring's initial spaces followed by the output: references read the spaces in place.
    std::vector<std::uint8_t> storage;
    std::size_t size = 0;
    bool truncated = false;

    std::span<const std::uint8_t> Bytes() const& { return {storage.data() + kWindowSize, size}; }
    // A view into a temporary would dangle.
    std::span<const std::uint8_t> Bytes() && = delete;
};

// Expands `body`. `lengthHint`, the header's expanded length, only sizes the output buffer up
// front (within what the body can yield); it does not limit or pad the output.
Expansion ExpandBody(std::span<const std::uint8_t> body, std::size_t lengthHint = 0);

}  // namespace szdd

#endif

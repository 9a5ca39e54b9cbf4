// Fuzz target: the SZDD decoder on any body, and the encoder on what it yields: expansion
// never reads or writes out of bounds, a body read in small pieces (their size taken from the
// first byte) expands as it does in one, and compressing the output and expanding that again
// gives the output back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "formats/szdd_decoder.h"
#include "formats/szdd_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const szdd::Expansion expansion = szdd::ExpandBody({data, size}, size * 4);

    std::span<const std::uint8_t> rest{data, size};
    const std::size_t piece = size == 0 ? 1 : data[0] % 32 + 1;
    std::vector<std::uint8_t> pieced;
    const szdd::StreamResult result = szdd::ExpandStream(
        [&](std::span<std::uint8_t> buffer) {
            const std::size_t count = std::min({buffer.size(), rest.size(), piece});
            std::ranges::copy(rest.first(count), buffer.begin());
            rest = rest.subspan(count);
            return std::optional{count};
        },
        [&](std::span<const std::uint8_t> bytes) {
            pieced.insert(pieced.end(), bytes.begin(), bytes.end());
            return true;
        });
    if (pieced != expansion.bytes || result.truncated != expansion.truncated ||
        result.size != pieced.size()) {
        std::abort();
    }

    const std::vector<std::uint8_t> body = szdd::CompressBody(expansion.bytes);
    const szdd::Expansion again = szdd::ExpandBody(body);
    if (!std::ranges::equal(again.bytes, expansion.bytes) || again.truncated) {
        std::abort();
    }
    return 0;
}

// Fuzz target: the SZDD decoder on any body, and the encoder on what it yields: expansion
// never reads or writes out of bounds, and compressing the output and expanding that again
// gives the output back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "formats/szdd_decoder.h"
#include "formats/szdd_encoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const szdd::Expansion expansion = szdd::ExpandBody({data, size}, size * 4);
    const std::vector<std::uint8_t> body = szdd::CompressBody(expansion.Bytes());
    const szdd::Expansion again = szdd::ExpandBody(body);
    if (!std::ranges::equal(again.Bytes(), expansion.Bytes()) || again.truncated) {
        std::abort();
    }
    return 0;
}

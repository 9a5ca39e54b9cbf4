// Expansion of an SZDD mode 'A' body without I/O of its own: the caller hands in a reader and
// a writer, and the decoder works through buffers of fixed size (the ring's 4,096 bytes of
// history, kInputChunk bytes of input, kOutputChunk bytes of output), so its memory does not
// grow with the file and the output reaches the writer while the rest is decoded. The native
// LZ layer and the payload tool share it; ExpandBody is the same core over memory.
//
// Contract for damaged input: the output is everything the body yields up to its end; a body
// that ends after the first byte of a reference says so in `truncated` and yields the output
// before that reference.
#ifndef KARTOL_FORMATS_SZDD_DECODER_H
#define KARTOL_FORMATS_SZDD_DECODER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "formats/szdd_format.h"

namespace szdd {

inline constexpr std::size_t kInputChunk = 64 * 1024;
inline constexpr std::size_t kOutputChunk = 64 * 1024;

// Fills the front of `buffer` with the body's next bytes: how many (0 at the end of the body,
// fewer than asked for at any time), or nothing when reading failed.
using BodyReader = std::function<std::optional<std::size_t>(std::span<std::uint8_t> buffer)>;
// Takes the next piece of output; false when it could not be written.
using OutputWriter = std::function<bool(std::span<const std::uint8_t> bytes)>;

struct StreamResult {
    std::uint64_t size = 0;  // the bytes handed to the writer
    bool truncated = false;
    bool readFailed = false;
    bool writeFailed = false;  // the expansion stopped at the first refused piece
};

// Expands the body that `read` delivers and hands the output to `write`, in pieces of at most
// kOutputChunk bytes.
StreamResult ExpandStream(const BodyReader& read, const OutputWriter& write);

struct Expansion {
    std::vector<std::uint8_t> bytes;
    bool truncated = false;
};

// Expands `body` in memory. `lengthHint`, the header's expanded length, only sizes the output
// buffer up front (within what the body can yield); it does not limit or pad the output.
Expansion ExpandBody(std::span<const std::uint8_t> body, std::size_t lengthHint = 0);

}  // namespace szdd

#endif

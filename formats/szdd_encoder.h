// SZDD mode 'A' compression with an optimal parse: the output is the smallest file this format
// allows for the input. For every position the match finder gives the longest match (3 to 18
// bytes) anywhere in the ring as the decoder sees it: the initial spaces, overlapping copies
// and the slot about to be overwritten included. Since every shorter prefix of that match is
// a reference too, a shortest-path pass over "literal, 9 bits" and "reference of 3 to the
// longest, 17 bits" minimises the bits, and the file is the bits rounded up to whole bytes.
#ifndef KARTOL_FORMATS_SZDD_ENCODER_H
#define KARTOL_FORMATS_SZDD_ENCODER_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "formats/szdd_format.h"

namespace szdd {

// Told now and then how many input bytes the match finder has passed, of how many.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// The largest input: the header states the length in 32 bits, and the match finder counts
// positions in 32 bits behind the ring's initial spaces.
inline constexpr std::size_t kMaxInputSize = 0xFFFF'FFFFU - kWindowSize;

// The bytes to compress, held as the match finder reads them: behind the ring's initial
// spaces and followed by room for its eight-byte loads. A caller that reads its input straight
// into Data() holds it in memory only once.
class EncoderInput {
  public:
    // Room for `size` bytes. Throws std::length_error beyond kMaxInputSize.
    explicit EncoderInput(std::size_t size);

    std::span<std::uint8_t> Data() { return std::span{bytes_}.subspan(kWindowSize, size_); }
    std::size_t Size() const { return size_; }
    // The ring's initial spaces and the input.
    std::span<const std::uint8_t> View() const;

  private:
    std::size_t size_;
    std::vector<std::uint8_t> bytes_;
};

// The mode 'A' body for `data`.
std::vector<std::uint8_t> CompressBody(std::span<const std::uint8_t> data,
                                       const Progress& progress = {});

// A whole SZDD file: the header (mode 'A', `missingChar`, the input's length) and the body.
// Besides the input it takes 1.125 bytes per input byte, in which the parse is kept and the
// file written, and two bytes for each position whose match lies at a new distance: about
// 1.5 in all on real files, at most 3.2.
std::vector<std::uint8_t> Compress(const EncoderInput& input, std::uint8_t missingChar = 0,
                                   const Progress& progress = {});
// The same for bytes held elsewhere, copied first. Throws std::length_error for data beyond
// kMaxInputSize.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data, std::uint8_t missingChar = 0,
                                   const Progress& progress = {});

}  // namespace szdd

#endif

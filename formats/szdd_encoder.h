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

namespace szdd {

// Told now and then how many input bytes the match finder has passed, of how many.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// The mode 'A' body for `data`.
std::vector<std::uint8_t> CompressBody(std::span<const std::uint8_t> data,
                                       const Progress& progress = {});

// A whole SZDD file: the header (mode 'A', `missingChar`, the length of `data`) and the body.
// Throws std::length_error for data of 4 GiB or more, which the header cannot state.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> data, std::uint8_t missingChar = 0,
                                   const Progress& progress = {});

}  // namespace szdd

#endif

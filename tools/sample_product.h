// The sample product that the default payload carries: 181 files with the layout of the
// shipped product (six folders, the level files first, "uninst.exe" last; the payload tool
// packs it first) and contents made
// by a deterministic generator to compress like the real kinds of data: level grids, tile and
// background images, palettes, music and sound, programs and texts.
#ifndef KARTOL_TOOLS_SAMPLE_PRODUCT_H
#define KARTOL_TOOLS_SAMPLE_PRODUCT_H

#include <cstdint>
#include <string>
#include <vector>

namespace sample {

enum class Kind { Level, Tiles, Picture, Palette, Music, Sound, Program, Text, Font };

struct SampleFile {
    std::string name;  // the archive name, "\" between folder and file
    std::uint32_t size;
    Kind kind;
};

// Every file of the product in directory order.
std::vector<SampleFile> Layout();

// The contents of one file: `file.size` bytes, the same on every run and host.
std::vector<std::uint8_t> Contents(const SampleFile& file);

}  // namespace sample

#endif

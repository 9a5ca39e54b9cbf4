#include "sample_product.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <span>
#include <string_view>

namespace sample {
namespace {

constexpr std::uint32_t kLevelSize = 10'004;
constexpr int kLevelsPerWorld = 30;
constexpr int kTutorialLevels = 24;

// The worlds in directory order, with the sizes of their music and sound files.
struct World {
    std::string_view folder;
    int levels;
    std::uint32_t musicSize;
    std::uint32_t soundSize;
};
constexpr std::array<World, 5> kWorlds{{
    {"EIS", kLevelsPerWorld, 23'411, 261'120},
    {"KLONDIKE", kLevelsPerWorld, 31'872, 307'968},
    {"MARS", kLevelsPerWorld, 27'046, 283'904},
    {"NEWYORK", kLevelsPerWorld, 35'590, 283'814},
    {"TUTORIAL", kTutorialLevels, 18'204, 270'336},
}};
constexpr std::uint32_t kTilesSize = 65'536;
constexpr std::uint32_t kPictureSize = 64'000;
constexpr std::uint32_t kPaletteSize = 768;

struct Named {
    std::string_view name;
    std::uint32_t size;
    Kind kind;
};
constexpr std::array<Named, 5> kResources{{
    {"RES\\NUMS.DAT", 2'560, Kind::Font},
    {"RES\\FONT.DAT", 12'288, Kind::Font},
    {"RES\\MENU.GFX", kPictureSize, Kind::Picture},
    {"RES\\TEXTE.DAT", 9'216, Kind::Text},
    {"RES\\TITEL.GFX", kPictureSize, Kind::Picture},
}};
constexpr std::array<Named, 7> kTopLevel{{
    {"KARTOL.EXE", 93'696, Kind::Program},
    {"KARTOL.HLP", 41'984, Kind::Text},
    {"LIESMICH.TXT", 7'333, Kind::Text},
    {"KARTOL.INI", 676, Kind::Text},
    {"SOUND.DRV", 5'120, Kind::Program},
    {"GRAFIK.DLL", 23'552, Kind::Program},
    {"uninst.exe", 34'816, Kind::Program},
}};

// splitmix64: small, fast and the same everywhere.
class Random {
  public:
    explicit Random(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }
    // A number from 0 to bound - 1.
    std::uint32_t Below(std::uint32_t bound) { return static_cast<std::uint32_t>(Next() % bound); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(Next()); }

  private:
    std::uint64_t state_;
};

// Each file's generator is seeded by its name, so a file's bytes do not depend on the others.
std::uint64_t SeedOf(std::string_view name) {
    std::uint64_t hash = 0xCBF29CE484222325ULL;  // FNV-1a
    for (const char c : name) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001B3ULL;
    }
    return hash;
}

using Bytes = std::vector<std::uint8_t>;

void Put32(Bytes& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
}

// A level: a 4-byte header and a 100 x 100 grid of tile numbers: mostly floor, walls in runs,
// a few objects scattered.
Bytes Level(Random& random, std::uint32_t size) {
    constexpr int kSide = 100;
    Bytes out{'B', 'T', 'N', 1};
    Bytes grid(kSide * kSide, 0);
    const std::uint8_t floor = static_cast<std::uint8_t>(1 + random.Below(4));
    std::ranges::fill(grid, floor);
    for (int wall = 0; wall < 60; ++wall) {
        const int x = static_cast<int>(random.Below(kSide));
        const int y = static_cast<int>(random.Below(kSide));
        const int length = 3 + static_cast<int>(random.Below(20));
        const std::uint8_t tile = static_cast<std::uint8_t>(16 + random.Below(8));
        const bool across = random.Below(2) == 0;
        for (int i = 0; i < length; ++i) {
            const int cx = across ? std::min(x + i, kSide - 1) : x;
            const int cy = across ? y : std::min(y + i, kSide - 1);
            grid[cy * kSide + cx] = tile;
        }
    }
    for (int object = 0; object < 150; ++object) {
        grid[random.Below(kSide * kSide)] = static_cast<std::uint8_t>(32 + random.Below(64));
    }
    out.insert(out.end(), grid.begin(), grid.end());
    out.resize(size);
    return out;
}

// A triangle wave over 256 steps, from -64 to 64: integer arithmetic, so that the contents are
// the same on every host.
int Triangle(int phase) {
    constexpr int kPeriod = 256;
    return std::abs(((phase % kPeriod) + kPeriod) % kPeriod - kPeriod / 2) - kPeriod / 4;
}

// 8-bit pixels: smooth shading over a few colour ramps, with dithering noise and repeated
// motifs, as tiles and backgrounds are drawn.
Bytes Picture(Random& random, std::uint32_t size, int width) {
    Bytes out(size);
    const int ramp = static_cast<int>(random.Below(8)) * 32;
    const int waveX = 2 + static_cast<int>(random.Below(6));
    const int waveY = 3 + static_cast<int>(random.Below(6));
    for (std::uint32_t i = 0; i < size; ++i) {
        const int x = static_cast<int>(i) % width;
        const int y = static_cast<int>(i) / width;
        int pixel = ramp + 12 + Triangle(x * waveX) * Triangle(y * waveY) / 410;
        if (random.Below(4) == 0) {
            pixel += static_cast<int>(random.Below(3)) - 1;
        }
        if ((x / 8 + y / 8) % 7 == 0) {
            pixel = ramp + 28 + (x ^ y) % 4;
        }
        out[i] = static_cast<std::uint8_t>(pixel);
    }
    return out;
}

// 256 RGB entries in eight ramps of 32 shades.
Bytes Palette(Random& random, std::uint32_t size) {
    Bytes out;
    for (int ramp = 0; ramp < 8; ++ramp) {
        const std::array<int, 3> tint{static_cast<int>(random.Below(64)),
                                      static_cast<int>(random.Below(64)),
                                      static_cast<int>(random.Below(64))};
        for (int shade = 0; shade < 32; ++shade) {
            for (const int channel : tint) {
                out.push_back(static_cast<std::uint8_t>(channel * shade / 31));
            }
        }
    }
    out.resize(size);
    return out;
}

// A MIDI-like file: a header and a track of note events in bars that repeat with small
// variations.
Bytes Music(Random& random, std::uint32_t size) {
    Bytes out{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 96, 'M', 'T', 'r', 'k'};
    Put32(out, size);
    std::array<std::uint8_t, 16> bar{};
    for (auto& note : bar) {
        note = static_cast<std::uint8_t>(48 + random.Below(24));
    }
    while (out.size() < size) {
        if (random.Below(8) == 0) {
            bar[random.Below(bar.size())] = static_cast<std::uint8_t>(48 + random.Below(24));
        }
        for (const std::uint8_t note : bar) {
            const std::uint8_t velocity = static_cast<std::uint8_t>(80 + random.Below(4) * 8);
            const std::array<std::uint8_t, 8> events{0x00, 0x90, note, velocity,
                                                     0x30, 0x80, note, 0x40};
            out.insert(out.end(), events.begin(), events.end());
        }
    }
    out.resize(size);
    return out;
}

// 8-bit unsigned PCM: decaying tones with noise, one sound after another; it compresses
// poorly, as recorded sound does.
Bytes Sound(Random& random, std::uint32_t size) {
    Bytes out;
    out.reserve(size);
    while (out.size() < size) {
        const int pitch = 5 + static_cast<int>(random.Below(50));
        const int length = 2000 + static_cast<int>(random.Below(12000));
        const int noise = 1 + static_cast<int>(random.Below(24));
        for (int t = 0; t < length && out.size() < size; ++t) {
            const int loudness = 90 * (length - t) / length;
            const int tone = Triangle(t * pitch) * loudness / 64;
            const int jitter = static_cast<int>(random.Below(noise)) - noise / 2;
            out.push_back(static_cast<std::uint8_t>(128 + tone + jitter));
        }
        out.insert(out.end(), std::min<std::size_t>(400, size - out.size()), 128);
    }
    return out;
}

// Code page 1252: "\xFC" is the u with diaeresis.
constexpr std::array<std::string_view, 40> kWords{
    "der",
    "die",
    "das",
    "und",
    "Kartol",
    "Level",
    "Spieler",
    "Taste",
    "dr\xFC"
    "cken",
    "Sie",
    "um",
    "zu",
    "springen",
    "laufen",
    "Punkte",
    "Leben",
    "Welt",
    "Eis",
    "Mars",
    "New",
    "York",
    "Klondike",
    "Men\xFC",
    "Ende",
    "Spiel",
    "neue",
    "mit",
    "dem",
    "den",
    "ist",
    "wird",
    "nicht",
    "Optionen",
    "Musik",
    "Klang",
    "Grafik",
    "Hilfe",
    "weiter",
    "zur\xFC"
    "ck",
    "Bild",
};

// German-looking text in code page 1252: sentences of common words, lines of at most 70
// characters ending in CR LF.
Bytes Text(Random& random, std::uint32_t size) {
    Bytes out;
    std::size_t column = 0;
    while (out.size() < size) {
        std::string_view word = kWords[random.Below(kWords.size())];
        if (column + word.size() > 70) {
            out.push_back('\r');
            out.push_back('\n');
            column = 0;
        }
        out.insert(out.end(), word.begin(), word.end());
        out.push_back(random.Below(9) == 0 ? '.' : ' ');
        column += word.size() + 1;
    }
    out.resize(size);
    return out;
}

// Bitmap glyphs: 8 x 16 cells of sparse strokes.
Bytes Font(Random& random, std::uint32_t size) {
    Bytes out(size);
    for (std::uint32_t i = 0; i < size; ++i) {
        const std::uint32_t row = i % 16;
        out[i] =
            row < 2 || row > 13
                ? 0
                : static_cast<std::uint8_t>(random.Below(3) == 0 ? random.Byte() & 0x7E : 0x18);
    }
    return out;
}

// A program: a DOS header and stub, then code made of common instruction patterns with varying
// operands, a table of strings and the zero padding of its sections.
Bytes Program(Random& random, std::uint32_t size) {
    Bytes out{'M', 'Z', 0x90, 0, 3, 0, 0, 0, 4, 0, 0, 0, 0xFF, 0xFF, 0, 0};
    out.resize(64, 0);
    constexpr std::string_view kStub = "This program must be run under Windows.\r\n$";
    out.insert(out.end(), kStub.begin(), kStub.end());
    out.resize(512, 0);
    constexpr std::array<std::array<std::uint8_t, 3>, 8> kPatterns{{
        {0x55, 0x8B, 0xEC},  // push ebp; mov ebp, esp
        {0x8B, 0x45, 0x08},  // mov eax, [ebp+8]
        {0x89, 0x45, 0xFC},  // mov [ebp-4], eax
        {0x83, 0xC4, 0x08},  // add esp, 8
        {0x5D, 0xC2, 0x04},  // pop ebp; ret 4
        {0x33, 0xC0, 0x50},  // xor eax, eax; push eax
        {0x6A, 0x00, 0x6A},  // push 0; push ...
        {0x85, 0xC0, 0x74},  // test eax, eax; je ...
    }};
    const std::uint32_t codeEnd = size * 3 / 4;
    while (out.size() < codeEnd) {
        const auto& pattern = kPatterns[random.Below(kPatterns.size())];
        out.insert(out.end(), pattern.begin(), pattern.end());
        if (random.Below(3) == 0) {
            out.push_back(0xE8);  // call rel32
            Put32(out, 0xFFFF0000U | random.Below(0x10000));
        } else {
            out.push_back(random.Byte());
        }
    }
    const Bytes strings = Text(random, size / 8);
    out.insert(out.end(), strings.begin(), strings.end());
    out.resize(size, 0);
    return out;
}

}  // namespace

std::vector<SampleFile> Layout() {
    std::vector<SampleFile> files;
    for (const World& world : kWorlds) {
        const std::string folder = std::string{world.folder} + "\\";
        for (int level = 1; level <= world.levels; ++level) {
            std::string number = std::to_string(level);
            number.insert(0, 3 - number.size(), '0');
            files.push_back({folder + "LEVEL" + number + ".BTN", kLevelSize, Kind::Level});
        }
        files.push_back({folder + "TILES.GFX", kTilesSize, Kind::Tiles});
        files.push_back({folder + "BACKGRND.GFX", kPictureSize, Kind::Picture});
        files.push_back({folder + "PALETTE.PAL", kPaletteSize, Kind::Palette});
        files.push_back({folder + "MUSIC.MID", world.musicSize, Kind::Music});
        files.push_back({folder + "SOUNDS.SMP", world.soundSize, Kind::Sound});
    }
    for (const auto& group :
         {std::span<const Named>{kResources}, std::span<const Named>{kTopLevel}}) {
        for (const Named& file : group) {
            files.push_back({std::string{file.name}, file.size, file.kind});
        }
    }
    return files;
}

std::vector<std::uint8_t> Contents(const SampleFile& file) {
    constexpr int kTileWidth = 16;
    constexpr int kScreenWidth = 320;
    Random random{SeedOf(file.name)};
    switch (file.kind) {
        case Kind::Level:
            return Level(random, file.size);
        case Kind::Tiles:
            return Picture(random, file.size, kTileWidth);
        case Kind::Picture:
            return Picture(random, file.size, kScreenWidth);
        case Kind::Palette:
            return Palette(random, file.size);
        case Kind::Music:
            return Music(random, file.size);
        case Kind::Sound:
            return Sound(random, file.size);
        case Kind::Program:
            return Program(random, file.size);
        case Kind::Text:
            return Text(random, file.size);
        case Kind::Font:
            return Font(random, file.size);
    }
    return {};
}

}  // namespace sample

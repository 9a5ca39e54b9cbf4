// The SZDD codec: known bodies, round trips, output as small as an exhaustive search finds, and
// what the format's other programs read and write.
#include <cstdlib>
#include <random>
#include <vector>

#include "formats/szdd_decoder.h"
#include "formats/szdd_encoder.h"
#include "formats/szdd_format.h"
#include "support/setup_fixture.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes B(std::string_view text) {
    return {text.begin(), text.end()};
}

// A reference item to ring position `position`, `length` bytes.
Bytes Ref(unsigned position, unsigned length) {
    return {static_cast<std::uint8_t>(position),
            static_cast<std::uint8_t>((position >> 8) << 4 | (length - 3))};
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& part : parts) {
        out.insert(out.end(), part.begin(), part.end());
    }
    return out;
}

TEST(SzddDecoder, ExpandsItems) {
    // clang-format off
    const struct { const char* name; Bytes body, expected; bool truncated = false; } cases[] = {
        {"Empty", {}, {}},
        {"ShortLastGroup", Cat({{0x07}, B("abc")}), B("abc")},
        // Position 0 holds one of the initial spaces.
        {"InitialSpaces", Cat({{0x02}, Ref(0, 4), B("x")}), B("    x")},
        // "ab" at 4080, then a reference to 4080 of length 7 overlaps what it writes.
        {"Overlap", Cat({{0x03}, B("ab"), Ref(4080, 7)}), B("ababababa")},
        {"TruncatedReference", Cat({{0x01}, B("a"), {0x10}}), B("a"), true}};
    // clang-format on
    for (const auto& c : cases) {
        const szdd::Expansion expansion = szdd::ExpandBody(c.body);
        EXPECT_EQ(expansion.bytes, c.expected) << c.name;
        EXPECT_EQ(expansion.truncated, c.truncated) << c.name;
        // The same body from a reader that delivers it in two pieces, split at every position:
        // a reference or a group across the reads decodes as in one piece.
        for (std::size_t split = 0; split <= c.body.size(); ++split) {
            std::size_t at = 0;
            Bytes output;
            const szdd::StreamResult result = szdd::ExpandStream(
                [&](std::span<std::uint8_t> buffer) {
                    const std::size_t end = at < split ? split : c.body.size();
                    const std::size_t count = std::min(buffer.size(), end - at);
                    std::copy_n(c.body.begin() + at, count, buffer.begin());
                    at += count;
                    return std::optional{count};
                },
                [&](std::span<const std::uint8_t> bytes) {
                    output.insert(output.end(), bytes.begin(), bytes.end());
                    return true;
                });
            EXPECT_EQ(output, c.expected) << c.name << " split at " << split;
            EXPECT_EQ(result.truncated, c.truncated) << c.name << " split at " << split;
        }
    }
}

// The fewest bytes of any body for `data`: at each position every ring position and length
// that the decoder, copying byte by byte from the ring, turns into the next bytes.
std::size_t ExhaustiveOptimum(const Bytes& data) {
    const std::size_t n = data.size();
    std::vector<std::size_t> bits(n + 1, 0);
    for (std::size_t at = n; at-- > 0;) {
        Bytes ring(4096, ' ');
        for (std::size_t i = 0; i < at; ++i) {
            ring[(4080 + i) % 4096] = data[i];
        }
        const std::size_t write = (4080 + at) % 4096;
        bits[at] = bits[at + 1] + 9;
        for (std::size_t position = 0; position < 4096; ++position) {
            Bytes produced;
            for (std::size_t length = 1; length <= 18 && at + length <= n; ++length) {
                const std::size_t from = (position + length - 1) % 4096;
                const std::size_t written = (from + 4096 - write) % 4096;
                produced.push_back(written < produced.size() ? produced[written] : ring[from]);
                if (produced.back() != data[at + length - 1]) {
                    break;
                }
                if (length >= 3) {
                    bits[at] = std::min(bits[at], bits[at + length] + 17);
                }
            }
        }
    }
    return (bits[0] + 7) / 8;
}

Bytes RandomBytes(std::size_t size, unsigned alphabet, unsigned seed) {
    std::mt19937 random{seed};
    Bytes out(size);
    for (auto& byte : out) {
        byte = static_cast<std::uint8_t>('a' + random() % alphabet);
    }
    return out;
}

TEST(SzddEncoder, IsTheExhaustiveOptimum) {
    // clang-format off
    const Bytes inputs[] = {{}, B("a"), B("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"),
                            B("   spaces  at the   start"), B("abcabcabcabd abcabcabcabd"),
                            RandomBytes(30, 2, 1), RandomBytes(34, 3, 2), RandomBytes(28, 4, 3)};
    // clang-format on
    for (const Bytes& input : inputs) {
        const std::string name(input.begin(), input.end());
        const Bytes body = szdd::CompressBody(input);
        EXPECT_EQ(body.size(), ExhaustiveOptimum(input)) << name;
        EXPECT_EQ(szdd::ExpandBody(body).bytes, input) << name;
    }
    // Bytes exactly the ring's size back are still in it: the repeat is one item, not literals.
    const Bytes ring = RandomBytes(4096, 256, 4);
    const Bytes repeat = Cat({ring, Bytes(ring.begin(), ring.begin() + 18)});
    EXPECT_LE(szdd::CompressBody(repeat).size(), szdd::CompressBody(ring).size() + 3);
    // Progress comes every 2^18 positions of the ring's spaces and the input.
    std::vector<std::size_t> told;
    szdd::CompressBody(Bytes(600'000, 'p'), [&](std::size_t done, std::size_t total) {
        told.insert(told.end(), {done, total});
    });
    const std::size_t total = 600'000 + szdd::kWindowSize;
    EXPECT_EQ(told, (std::vector<std::size_t>{0, total, 1 << 18, total, 1 << 19, total}));
}

// Larger inputs of every kind: the round trip through our decoder, msexpand and libmspack, and
// never larger than mscompress makes it; mscompress's own file expands with our decoder.
class SzddInterop : public SetupFixture {};

TEST_F(SzddInterop, RoundTripsAndReadsTheFormatsOtherPrograms) {
    const Bytes inputs[] = {Bytes(70'000, 0), RandomBytes(100'000, 256, 7), B(ReadFile("/bin/sh")),
                            B(ReadFile("/usr/share/common-licenses/GPL-3")),
                            RandomBytes(200'000, 5, 9)};
    std::filesystem::current_path(DriveC());
    for (std::size_t i = 0; i < std::size(inputs); ++i) {
        const Bytes& input = inputs[i];
        ASSERT_FALSE(input.empty()) << i;
        const Bytes file = szdd::Compress(input);
        EXPECT_EQ(szdd::ReadHeader(file).value_or(szdd::Header{}).expandedLength, input.size())
            << i;
        EXPECT_EQ(szdd::ExpandBody(std::span{file}.subspan(14), input.size()).bytes, input) << i;

        WriteFile("in", std::string(input.begin(), input.end()));
        WriteFile("ours", std::string(file.begin(), file.end()));
        ASSERT_EQ(std::system("msexpand < ours > back && cmp -s back in && " KARTOL_MSPACK_EXPAND
                              " ours back2 && cmp -s back2 in && rm -f in_ && mscompress in"),
                  0)
            << i;
        const Bytes theirs = B(ReadFile("in_"));
        EXPECT_LE(file.size(), theirs.size()) << i;
        EXPECT_EQ(szdd::ExpandBody(std::span{theirs}.subspan(14), input.size()).bytes, input) << i;
    }
}

}  // namespace

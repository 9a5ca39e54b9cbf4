// Streams opened by program path: text mode writes CR LF for every LF, as the Windows
// runtime does, and binary mode writes bytes as they are. Paths that cannot be opened are
// in program_paths_test.cpp.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream in{path, std::ios::binary};
    return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
}

// The bytes that text mode makes of `text`.
std::string WithCrLf(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

class ProgramStreamTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        fs::create_directory(DriveC() / "kartol");
    }
    fs::path LogFile() const { return DriveC() / "kartol" / "deinst.log"; }
};

struct ModeCase {
    const char* mode;
    const char* before;  // the file's bytes before it is opened; null when it is new
    std::string written;
    std::string expected;
};

void PrintTo(const ModeCase& c, std::ostream* out) {
    *out << '"' << c.mode << "\" writing " << ::testing::PrintToString(c.written);
}

class StreamModeTest : public ProgramStreamTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(StreamModeTest, WritesTheBytesOfItsMode) {
    const ModeCase& c = GetParam();
    if (c.before != nullptr) {
        std::ofstream{LogFile(), std::ios::binary} << c.before;
    }
    FILE* stream = OpenProgramStream("C:\\KARTOL\\deinst.log", c.mode);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(std::fwrite(c.written.data(), 1, c.written.size(), stream), c.written.size());
    EXPECT_EQ(std::fclose(stream), 0);
    EXPECT_EQ(ReadBytes(LogFile()), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, StreamModeTest,
    ::testing::Values(ModeCase{"wt", nullptr, "1 1\n", "\x31\x20\x31\x0D\x0A"},
                      // No "b" is text mode too, the Windows runtime's default.
                      ModeCase{"w", nullptr, "1 0\n", "1 0\r\n"},
                      // A CR already there stays; text mode only adds one before each LF.
                      ModeCase{"wt", nullptr, "a\r\nb", "a\r\r\nb"},
                      ModeCase{"wb", nullptr, "1 1\n\r\x1A\0x"s, "1 1\n\r\x1A\0x"s},
                      // Opening for writing empties an existing file; appending keeps it.
                      ModeCase{"wt", "old log\r\n", "0\n", "0\r\n"},
                      ModeCase{"at", "1 1\r\n", "NC uninst.exe\n", "1 1\r\nNC uninst.exe\r\n"},
                      ModeCase{"ab", "1 1\r\n", "x\n", "1 1\r\nx\n"}));

// More than any buffer holds, written in pieces of every size, with LFs at the edges of the
// pieces: nothing is lost, doubled or reordered.
TEST_F(ProgramStreamTest, LargeWritesKeepEveryByte) {
    std::string text;
    for (int line = 0; text.size() < 3 * 1024 * 1024; ++line) {
        text += "NC EIS\\LEVEL" + std::to_string(line) + ".BTN\n";
        text += std::string(static_cast<std::size_t>(line % 97), '\n');
    }
    FILE* stream = OpenProgramStream("C:\\KARTOL\\deinst.log", "wt");
    ASSERT_NE(stream, nullptr);
    std::size_t piece = 1;
    for (std::size_t offset = 0; offset < text.size(); offset += piece, piece = piece * 3 % 65521) {
        const std::size_t size = std::min(piece, text.size() - offset);
        ASSERT_EQ(std::fwrite(text.data() + offset, 1, size, stream), size);
    }
    EXPECT_EQ(std::fclose(stream), 0);
    EXPECT_EQ(ReadBytes(LogFile()), WithCrLf(text));
}

}  // namespace

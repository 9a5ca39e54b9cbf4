// The bytes of "deinst.log": the level line and the file lines, each ending in CR LF.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "setup/process_state.h"
#include "support/setup_fixture.h"
#include "targetdir/uninstall_log.h"

namespace {

struct LogCase {
    std::vector<std::int32_t> flags;
    std::vector<const char*> files;
    std::string bytes;
};

void PrintTo(const LogCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.bytes);
}

class UninstallLogTest : public SetupFixture, public ::testing::WithParamInterface<LogCase> {};

TEST_P(UninstallLogTest, LinesEndInCrLf) {
    const LogCase& c = GetParam();
    std::snprintf(InstallDir, sizeof InstallDir, "C:\\");
    ASSERT_TRUE(OpenUninstallLog());
    WriteLogLevelLine(static_cast<int>(c.flags.size()), c.flags.data());
    for (const char* file : c.files) {
        WriteLogFileLine(file);
    }
    std::fclose(UninstallLog);
    UninstallLog = nullptr;

    std::ifstream in{DriveC() / "deinst.log", std::ios::binary};
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>{in}, {}), c.bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, UninstallLogTest,
    ::testing::Values(
        LogCase{{}, {}, "\x30\x0D\x0A"},
        LogCase{{1},
                {"uninst.exe"},
                "1 1\r\n\x4E\x43\x20\x75\x6E\x69\x6E\x73\x74\x2E\x65\x78\x65\x0D\x0A"},
        // Names as stored: their backslash and case unchanged, whatever the folders are called.
        LogCase{{0, 1},
                {"EIS\\LEVEL001.BTN", "KARTOL.EXE"},
                "2 0 1\r\nNC EIS\\LEVEL001.BTN\r\nNC KARTOL.EXE\r\n"},
        LogCase{std::vector<std::int32_t>(12, 0), {}, "12 0 0 0 0 0 0 0 0 0 0 0 0\r\n"}));

}  // namespace

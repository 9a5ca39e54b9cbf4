// Names as Win32 reads them, and things that are not files where the program opens one: dots
// and spaces at the ends of names, device names, names too long for the host, and FIFOs,
// devices and directories in place of the log, the temporary files and the payload's files.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

// An open that waits for a FIFO's other end would hang the test; the alarm ends it instead.
constexpr unsigned kSecondsBeforeHang = 10;
constexpr char kPathNotCreatedText[] =
    "Der von Ihnen angegebene Pfad konnte nicht angelegt werden.";
constexpr char kLogNotCreatedText[] =
    "Im angegebenen Verzeichnis konnte keine Datei angelegt werden.";

class Win32NamesTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        fs::create_directory(DriveC() / "KARTOL");
        alarm(kSecondsBeforeHang);
    }
    void TearDown() override {
        alarm(0);
        SetupFixture::TearDown();
    }
};

struct NameCase {
    const char* programPath;
    const char* host;  // below the folder of C:; null when the name is refused
};

void PrintTo(const NameCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(std::string{c.programPath});
}

class MappedNameTest : public Win32NamesTest, public ::testing::WithParamInterface<NameCase> {};

TEST_P(MappedNameTest, ReachesWhatWin32Reaches) {
    const NameCase& c = GetParam();
    const posix::MappedPath mapped = posix::MapProgramPath(c.programPath);
    EXPECT_EQ(mapped.error, c.host != nullptr ? ERROR_SUCCESS : ERROR_INVALID_NAME);
    if (c.host != nullptr) {
        EXPECT_EQ(mapped.host, DriveC() / c.host);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, MappedNameTest,
    ::testing::Values(
        // The end of the path loses every space and dot, also after "." and ".." are resolved,
        // and ".. " is no "..".
        NameCase{"C:\\KARTOL.", "KARTOL"}, NameCase{"C:\\kartol . .", "KARTOL"},
        NameCase{"C:\\KARTOL\\deinst.log. ", "KARTOL/deinst.log"},
        NameCase{"C:\\KARTOL \\.", "KARTOL"}, NameCase{"C:\\KARTOL \\x\\..", "KARTOL"},
        NameCase{"C:\\KARTOL\\.. ", "KARTOL"},
        // Before a separator a name loses one single dot, and nothing else.
        NameCase{"C:\\KARTOL.\\deinst.log", "KARTOL/deinst.log"},
        NameCase{"C:\\KARTOL \\deinst.log", "KARTOL /deinst.log"},
        NameCase{"C:\\KARTOL..\\x", "KARTOL../x"}, NameCase{"C:\\...\\x", ".../x"},
        // A device's name as the last name, in any case, with an extension, dots or spaces.
        NameCase{"C:\\NUL", nullptr}, NameCase{"C:\\KARTOL\\con.txt", nullptr},
        NameCase{"C:\\KARTOL\\Lpt1 .log", nullptr}, NameCase{"C:\\aux..", nullptr},
        NameCase{"C:\\PRN  ", nullptr}, NameCase{"C:\\COM9", nullptr},
        NameCase{"C:\\COM\xB9", nullptr},
        // Anything else is a name: a device's name before a separator or ".", other numbers,
        // longer names.
        NameCase{"C:\\NUL\\x", "NUL/x"}, NameCase{"C:\\KARTOL\\CON\\", "KARTOL/CON"},
        NameCase{"C:\\NUL\\.", "NUL"}, NameCase{"C:\\COM0", "COM0"}, NameCase{"C:\\LPT10", "LPT10"},
        NameCase{"C:\\CON1", "CON1"}, NameCase{"C:\\CONSOLE.txt", "CONSOLE.txt"}));

struct RunCase {
    const char* name;
    std::string typed;
    // Every message box of the run, the outcome last.
    std::vector<std::string> boxes;
    bool fifoLog = false;
};

class TargetNameTest : public Win32NamesTest, public ::testing::WithParamInterface<RunCase> {};

// Whatever the path, nothing but the existing KARTOL is on the drive afterwards, and a run
// either succeeds into it with "1 0" or says why it cannot.
TEST_P(TargetNameTest, ReachesKartolOrSaysWhy) {
    const RunCase& c = GetParam();
    const fs::path log = DriveC() / "KARTOL" / "deinst.log";
    if (c.fifoLog) {
        ASSERT_EQ(mkfifo(log.c_str(), S_IRUSR | S_IWUSR), 0);
    }
    ui.Type(c.typed);
    ui.PressEnter();
    EXPECT_EQ(RunSetup(), 1);
    std::vector<std::string> boxes;
    for (const TestFrontEnd::Event& box : ui.MessageBoxes()) {
        boxes.push_back(box.text);
    }
    EXPECT_EQ(boxes, c.boxes);
    if (c.boxes.back() == kSuccessText) {
        std::ifstream in{log, std::ios::binary};
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>{in}, {}).substr(0, 5), "1 0\r\n");
    }
    const std::vector<fs::path> entries{fs::directory_iterator{DriveC()}, {}};
    EXPECT_EQ(entries, std::vector<fs::path>{DriveC() / "KARTOL"});
}

INSTANTIATE_TEST_SUITE_P(
    Runs, TargetNameTest,
    ::testing::Values(
        RunCase{"TrailingDot", "C:\\KARTOL.\\", {kSuccessText}},
        // Win32 keeps a space before a separator: the level "C:\KARTOL " is KARTOL, but
        // "C:\KARTOL \deinst.log" lies in a folder that is not there.
        RunCase{"TrailingSpace", "C:\\KARTOL \\", {kLogNotCreatedText, kAbortText}},
        RunCase{"FifoAsLog", "C:\\KARTOL\\", {kLogNotCreatedText, kAbortText}, true},
        RunCase{"DeviceLevel",
                "C:\\KARTOL\\NUL\\",
                {kPathNotCreatedText, kLogNotCreatedText, kAbortText}},
        // Valid on Windows, but 400 bytes of UTF-8 are more than a host name may hold.
        RunCase{"LongerThanTheHostAllows",
                "C:\\KARTOL\\" + std::string(200, '\xC4') + "\\",
                {kPathNotCreatedText, kLogNotCreatedText, kAbortText}}),
    [](const auto& info) { return std::string{info.param.name}; });

enum class Kind { Fifo, Device, Directory, RegularFile };

struct OpenCase {
    const char* name;
    const char* mode;
    Kind kind;
    DWORD error;
};

void PrintTo(const OpenCase& c, std::ostream* out) {
    *out << c.name << " \"" << c.mode << '"';
}

class NotAFileTest : public Win32NamesTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(NotAFileTest, IsRefusedAtOnce) {
    const OpenCase& c = GetParam();
    const fs::path host = DriveC() / "KARTOL" / c.name;
    switch (c.kind) {
        case Kind::Fifo:
            ASSERT_EQ(mkfifo(host.c_str(), S_IRUSR | S_IWUSR), 0);
            break;
        case Kind::Device:
            fs::create_symlink("/dev/null", host);
            break;
        case Kind::Directory:
            fs::create_directory(host);
            break;
        case Kind::RegularFile:
            std::ofstream{host} << "x";
            break;
    }
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(OpenProgramStream(("C:\\KARTOL\\" + std::string{c.name}).c_str(), c.mode), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, NotAFileTest,
    ::testing::Values(OpenCase{"deinst.log", "wt", Kind::Fifo, ERROR_ACCESS_DENIED},
                      OpenCase{"kartol.un_", "wb", Kind::Fifo, ERROR_ACCESS_DENIED},
                      OpenCase{"kartol.un2", "rb", Kind::Fifo, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL.EXE", "wb", Kind::Device, ERROR_ACCESS_DENIED},
                      OpenCase{"kartol.un_", "rb", Kind::Device, ERROR_ACCESS_DENIED},
                      OpenCase{"eis", "rb", Kind::Directory, ERROR_ACCESS_DENIED},
                      OpenCase{"deinst.log", "x", Kind::RegularFile, ERROR_INVALID_PARAMETER}));

}  // namespace

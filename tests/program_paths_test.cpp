// Program paths on the host: drive letters, separators, "..", case-insensitive lookup, names as
// Win32 reads them (dots and spaces at the ends, device names), refused names, the default folder
// of drive C:, and paths the program cannot open: missing ones, and things that are not files.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/posix/drive_map.h"
#include "setup/setup_flow.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

// The folder the test program started in, before any test changed the working directory.
const fs::path kStartFolder = fs::current_path();
// An open that waits for a FIFO's other end would hang the test; the alarm ends it instead.
constexpr unsigned kSecondsBeforeHang = 10;
constexpr char kPathNotCreatedText[] =
    "Der von Ihnen angegebene Pfad konnte nicht angelegt werden.";
constexpr char kLogNotCreatedText[] =
    "Im angegebenen Verzeichnis konnte keine Datei angelegt werden.";

// Sets or removes an environment variable for one test and puts the old value back after it.
class ScopedVariable {
  public:
    ScopedVariable(std::string name, const char* value) : name_(std::move(name)) {
        if (const char* old = std::getenv(name_.c_str())) {
            old_ = old;
        }
        Set(value);
    }
    ~ScopedVariable() { Set(old_ ? old_->c_str() : nullptr); }
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

  private:
    void Set(const char* value) {
        if (value != nullptr) {
            setenv(name_.c_str(), value, 1);
        } else {
            unsetenv(name_.c_str());
        }
    }

    std::string name_;
    std::optional<std::string> old_;
};

class ProgramPathTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        // What the drive holds: the target folder, lower-case folders as the setup makes them,
        // names in other cases, a file, a UTF-8 name, and two that differ only in case.
        for (const char* folder : {"KARTOL", "eis", "Klondike", "m\xC3\xBCll", "Data", "data"}) {
            fs::create_directory(DriveC() / folder);
        }
        std::ofstream{DriveC() / "README.txt"} << "x";
        alarm(kSecondsBeforeHang);
    }
    void TearDown() override {
        alarm(0);
        posix::UnmapDrive('D');
        SetupFixture::TearDown();
    }
};

// A program path, " =>", and where it lies below the folder of C: or the error it gets.
const char* const kMappings[] = {
    // Existing components are found without regard to case; new ones are kept as written.
    "C:\\EIS\\LEVEL001.BTN => eis/LEVEL001.BTN", "c:\\klondike => Klondike",
    "C:\\readme.TXT => README.txt", "C:\\NEU\\Eis => NEU/Eis",
    // An exact match wins; of several others the first in byte order.
    "C:\\data => data", "C:\\Data => Data", "C:\\DATA => Data",
    // Code page 1252 names become UTF-8, and their letters fold too: Ü finds ü.
    "C:\\M\xDCLL => m\xC3\xBCll", "C:\\\xC4RGER => \xC3\x84RGER",
    // Both separators, doubled ones, a final one, and ".".
    "C:/eis/x => eis/x", "C:\\\\eis\\/\\x\\\\ => eis/x", "C:\\.\\eis\\.\\x => eis/x", "C:\\ =>",
    // ".." goes up, but never out of the drive's folder.
    "C:\\eis\\..\\klondike => Klondike", "C:\\..\\..\\..\\etc\\passwd => etc/passwd",
    "C:\\eis\\..\\..\\x\\..\\..\\y => y",
    // The end of the path loses every space and dot, also after "." and ".." are resolved,
    // and ".. " is no "..".
    "C:\\KARTOL. => KARTOL", "C:\\kartol . . => KARTOL",
    "C:\\KARTOL\\deinst.log.  => KARTOL/deinst.log", "C:\\KARTOL \\. => KARTOL",
    "C:\\KARTOL \\x\\.. => KARTOL", "C:\\KARTOL\\..  => KARTOL",
    // Before a separator a name loses one single dot, and nothing else.
    "C:\\KARTOL.\\deinst.log => KARTOL/deinst.log", "C:\\KARTOL \\deinst.log => KARTOL /deinst.log",
    "C:\\KARTOL..\\x => KARTOL../x", "C:\\...\\x => .../x",
    // Names that the program's file system refuses, also when they do not exist: characters it does
    // not allow, and a device's name as the last name, in any case, with an extension, dots or
    // spaces.
    "C:\\KAR*TOL\\ => ERROR_INVALID_NAME", "C:\\eis\\a\"b => ERROR_INVALID_NAME",
    "C:\\a:b => ERROR_INVALID_NAME", "C:\\a?b => ERROR_INVALID_NAME",
    "C:\\a\x01z => ERROR_INVALID_NAME", "C:\\NUL => ERROR_INVALID_NAME",
    "C:\\KARTOL\\con.txt => ERROR_INVALID_NAME", "C:\\KARTOL\\Lpt1 .log => ERROR_INVALID_NAME",
    "C:\\aux.. => ERROR_INVALID_NAME", "C:\\PRN   => ERROR_INVALID_NAME",
    "C:\\COM9 => ERROR_INVALID_NAME", "C:\\COM\xB9 => ERROR_INVALID_NAME",
    // A refused name that ".." takes away again is no longer there to refuse; a device's name
    // before a separator or ".", other numbers and longer names are names.
    "C:\\a*b\\..\\eis => eis", "C:\\NUL\\x => NUL/x", "C:\\KARTOL\\CON\\ => KARTOL/CON",
    "C:\\NUL\\. => NUL", "C:\\COM0 => COM0", "C:\\LPT10 => LPT10", "C:\\CON1 => CON1",
    "C:\\CONSOLE.txt => CONSOLE.txt",
    // Only absolute drive paths: no relative path, no UNC, no drive-relative path; a letter with no
    // folder behind it is a drive that does not exist.
    " => ERROR_PATH_NOT_FOUND", "C: => ERROR_PATH_NOT_FOUND", "C:eis => ERROR_PATH_NOT_FOUND",
    "eis\\x => ERROR_PATH_NOT_FOUND", "\\\\server\\share\\x => ERROR_PATH_NOT_FOUND",
    "1:\\x => ERROR_PATH_NOT_FOUND", "\xC4:\\x => ERROR_PATH_NOT_FOUND",
    "Q:\\x => ERROR_PATH_NOT_FOUND"};

TEST_F(ProgramPathTest, MapsOntoTheDriveFolder) {
    for (const std::string row : kMappings) {
        const std::size_t arrow = row.find(" =>");
        const std::string host = row.substr(std::min(arrow + 4, row.size()));
        const posix::MappedPath mapped = posix::MapProgramPath(row.substr(0, arrow).c_str());
        const DWORD error = host == "ERROR_INVALID_NAME"     ? ERROR_INVALID_NAME
                            : host == "ERROR_PATH_NOT_FOUND" ? ERROR_PATH_NOT_FOUND
                                                             : ERROR_SUCCESS;
        EXPECT_EQ(mapped.error, error) << row;
        if (error == ERROR_SUCCESS) {
            // The drive's own folder, without a separator after it, for the root.
            EXPECT_EQ(mapped.host, host.empty() ? DriveC() : DriveC() / host) << row;
        }
    }
}

TEST_F(ProgramPathTest, OtherLettersMapThroughTheirVariable) {
    const fs::path folderD = DriveC() / "host-d";
    fs::create_directory(folderD);
    posix::MapDrive('D', folderD);
    EXPECT_EQ(posix::MapProgramPath("d:\\Programme").host, folderD / "Programme");

    // A setting that names no folder is no drive: a missing folder, a file, an empty value.
    for (const fs::path& notAFolder : {DriveC() / "missing", DriveC() / "README.txt", fs::path{}}) {
        posix::MapDrive('D', notAFolder);
        EXPECT_EQ(posix::MapProgramPath("D:\\x").error, ERROR_PATH_NOT_FOUND) << notAFolder;
        EXPECT_FALSE(posix::DriveFolder('D')) << notAFolder;
    }
}

// The setup changes its working directory as it walks the target path; a relative setting must keep
// naming the same folder.
TEST_F(ProgramPathTest, RelativeSettingStaysWithTheStartFolder) {
    const fs::path folderD = DriveC() / "host-d";
    fs::create_directory(folderD);
    posix::MapDrive('D', fs::relative(folderD, kStartFolder));
    fs::current_path(DriveC() / "eis");
    EXPECT_EQ(fs::weakly_canonical(posix::MapProgramPath("D:\\x").host),
              fs::weakly_canonical(folderD / "x"));
}

struct DefaultFolderCase {
    const char* name;
    // XDG_DATA_HOME and HOME below the test's folder; null leaves a variable unset.
    const char* xdgDataHome;
    const char* home;
    // Below the test's folder; null when drive C: must not exist.
    const char* expected;
    // XDG_DATA_HOME is set to the relative text itself.
    bool relativeDataHome = false;
};

class DefaultDriveTest : public ProgramPathTest,
                         public ::testing::WithParamInterface<DefaultFolderCase> {};

TEST_P(DefaultDriveTest, CIsMadeInTheUserDataFolder) {
    const DefaultFolderCase& c = GetParam();
    const fs::path base = DriveC() / "user";
    auto setting = [&](const char* relative, bool asWritten) -> std::optional<std::string> {
        if (relative == nullptr) {
            return std::nullopt;
        }
        return asWritten ? std::string{relative} : (base / relative).string();
    };
    const std::optional<std::string> xdg = setting(c.xdgDataHome, c.relativeDataHome);
    const std::optional<std::string> home = setting(c.home, false);
    ScopedVariable xdgVariable{"XDG_DATA_HOME", xdg ? xdg->c_str() : nullptr};
    ScopedVariable homeVariable{"HOME", home ? home->c_str() : nullptr};

    // Unset, and set but empty, are the same: the default.
    for (const char* driveSetting : {static_cast<const char*>(nullptr), ""}) {
        ScopedVariable driveVariable{"KARTOL_DRIVE_C", driveSetting};
        const std::optional<fs::path> folder = posix::DriveFolder('C');
        if (c.expected == nullptr) {
            EXPECT_FALSE(folder);
            EXPECT_EQ(posix::MapProgramPath("C:\\KARTOL").error, ERROR_PATH_NOT_FOUND);
            continue;
        }
        ASSERT_TRUE(folder);
        EXPECT_EQ(*folder, base / c.expected);
        EXPECT_TRUE(fs::is_directory(*folder));
        EXPECT_EQ(posix::MapProgramPath("C:\\KARTOL").host, base / c.expected / "KARTOL");
    }
}

const DefaultFolderCase kEnvironments[] = {
    {"DataHome", "data", "home", "data/vemo-kartol/drive_c"},
    {"HomeOnly", nullptr, "home", "home/.local/share/vemo-kartol/drive_c"},
    // A relative XDG_DATA_HOME is not to be used.
    {"RelativeDataHome", "data", "home", "home/.local/share/vemo-kartol/drive_c", true},
    {"Nothing", nullptr, nullptr, nullptr}};

INSTANTIATE_TEST_SUITE_P(Environments, DefaultDriveTest, ::testing::ValuesIn(kEnvironments),
                         [](const auto& info) { return std::string{info.param.name}; });

struct RunCase {
    const char* name;
    std::string typed;
    // Every message box of the run, the outcome last.
    std::vector<std::string> boxes;
    bool fifoLog = false;
};

class TargetNameTest : public ProgramPathTest, public ::testing::WithParamInterface<RunCase> {};

// Whatever the path, nothing new is on the drive afterwards but what lies in KARTOL, and a run
// either succeeds into it with "1 0" or says why it cannot.
TEST_P(TargetNameTest, ReachesKartolOrSaysWhy) {
    const RunCase& c = GetParam();
    const fs::path log = DriveC() / "KARTOL" / "deinst.log";
    if (c.fifoLog) {
        ASSERT_EQ(mkfifo(log.c_str(), S_IRUSR | S_IWUSR), 0);
    }
    const std::vector<fs::path> before{fs::directory_iterator{DriveC()}, {}};
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
    EXPECT_EQ((std::vector<fs::path>{fs::directory_iterator{DriveC()}, {}}), before);
}

const std::vector<std::string> kLevelRefused = {kPathNotCreatedText, kLogNotCreatedText,
                                                kAbortText};
const RunCase kRuns[] = {
    {"TrailingDot", "C:\\KARTOL.\\", {kSuccessText}},
    // Win32 keeps a space before a separator: the level "C:\KARTOL " is KARTOL, but
    // "C:\KARTOL \deinst.log" lies in a folder that is not there.
    {"TrailingSpace", "C:\\KARTOL \\", {kLogNotCreatedText, kAbortText}},
    {"FifoAsLog", "C:\\KARTOL\\", {kLogNotCreatedText, kAbortText}, true},
    {"DeviceLevel", "C:\\KARTOL\\NUL\\", kLevelRefused},
    // Valid on Windows, but 400 bytes of UTF-8 are more than a host name may hold.
    {"LongerThanTheHostAllows", "C:\\KARTOL\\" + std::string(200, '\xC4') + "\\", kLevelRefused}};

INSTANTIATE_TEST_SUITE_P(Runs, TargetNameTest, ::testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string{info.param.name}; });

// What lies at the path before it is opened.
enum class Kind { Nothing, Fifo, Device, Directory, RegularFile };

struct OpenCase {
    // Below C:\.
    std::string path;
    const char* mode;
    Kind kind;
    DWORD error;
};

void PrintTo(const OpenCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(c.path) << " \"" << c.mode << '"';
}

class OpenFailureTest : public ProgramPathTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFailureTest, FailsAtOnceWithTheErrorOfThePath) {
    const OpenCase& c = GetParam();
    std::string relative = c.path;
    std::ranges::replace(relative, '\\', '/');
    const fs::path host = DriveC() / relative;
    switch (c.kind) {
        case Kind::Nothing:
            break;
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
    EXPECT_EQ(OpenProgramStream(("C:\\" + c.path).c_str(), c.mode), nullptr);
    EXPECT_EQ(GetLastError(), c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenFailureTest,
    ::testing::Values(OpenCase{"MISSING\\deinst.log", "wt", Kind::Nothing, ERROR_PATH_NOT_FOUND},
                      OpenCase{"KARTOL\\kartol.un2", "rb", Kind::Nothing, ERROR_FILE_NOT_FOUND},
                      OpenCase{"KARTOL", "wt", Kind::Nothing, ERROR_ACCESS_DENIED},
                      // Things that are not files, where waiting or reading would hang or lie.
                      OpenCase{"KARTOL\\deinst.log", "wt", Kind::Fifo, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL\\kartol.un_", "wb", Kind::Fifo, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL\\kartol.un2", "rb", Kind::Fifo, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL\\KARTOL.EXE", "wb", Kind::Device, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL\\kartol.un_", "rb", Kind::Device, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL\\eis", "rb", Kind::Directory, ERROR_ACCESS_DENIED},
                      OpenCase{"KARTOL\\deinst.log", "x", Kind::RegularFile,
                               ERROR_INVALID_PARAMETER}));

}  // namespace

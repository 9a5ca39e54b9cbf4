// Program paths on the host: drive letters, separators, "..", case-insensitive lookup,
// refused names and the default folder of drive C:.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/posix/drive_map.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;

namespace {

// The folder the test program started in, before any test changed the working directory.
const fs::path kStartFolder = fs::current_path();

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

class DriveMapTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        // What the drive holds: lower-case folders as the setup makes them, names in other
        // cases, a file, a UTF-8 name, and two entries that differ only in case.
        for (const char* folder : {"eis", "Klondike", "m\xC3\xBCll", "Data", "data"}) {
            fs::create_directory(DriveC() / folder);
        }
        std::ofstream{DriveC() / "README.txt"} << "x";
    }
    void TearDown() override {
        posix::UnmapDrive('D');
        SetupFixture::TearDown();
    }
};

struct MappingCase {
    const char* programPath;
    // Below the folder of C:; ignored when an error is expected.
    const char* host;
    DWORD error = ERROR_SUCCESS;
};

void PrintTo(const MappingCase& c, std::ostream* out) {
    *out << ::testing::PrintToString(std::string{c.programPath});
}

class DriveMapPathTest : public DriveMapTest, public ::testing::WithParamInterface<MappingCase> {};

TEST_P(DriveMapPathTest, MapsOntoTheDriveFolder) {
    const MappingCase& c = GetParam();
    const posix::MappedPath mapped = posix::MapProgramPath(c.programPath);
    EXPECT_EQ(mapped.error, c.error) << c.programPath;
    if (c.error == ERROR_SUCCESS) {
        // The drive's own folder, without a separator after it, for the root.
        EXPECT_EQ(mapped.host, *c.host != '\0' ? DriveC() / c.host : DriveC()) << c.programPath;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, DriveMapPathTest,
    ::testing::Values(
        // Existing components are found without regard to case; new ones are kept as written.
        MappingCase{"C:\\EIS\\LEVEL001.BTN", "eis/LEVEL001.BTN"},
        MappingCase{"c:\\klondike", "Klondike"}, MappingCase{"C:\\readme.TXT", "README.txt"},
        MappingCase{"C:\\NEU\\Eis", "NEU/Eis"},
        // An exact match wins; of several others the first in byte order.
        MappingCase{"C:\\data", "data"}, MappingCase{"C:\\Data", "Data"},
        MappingCase{"C:\\DATA", "Data"},
        // Code page 1252 names become UTF-8, and their letters fold too: Ü finds ü.
        MappingCase{"C:\\M\xDCLL", "m\xC3\xBCll"}, MappingCase{"C:\\\xC4RGER", "\xC3\x84RGER"},
        // Both separators, doubled ones, a final one, and ".".
        MappingCase{"C:/eis/x", "eis/x"}, MappingCase{"C:\\\\eis\\/\\x\\\\", "eis/x"},
        MappingCase{"C:\\.\\eis\\.\\x", "eis/x"}, MappingCase{"C:\\", ""},
        // ".." goes up, but never out of the drive's folder.
        MappingCase{"C:\\eis\\..\\klondike", "Klondike"},
        MappingCase{"C:\\..\\..\\..\\etc\\passwd", "etc/passwd"},
        MappingCase{"C:\\eis\\..\\..\\x\\..\\..\\y", "y"},
        // Names that the program's file system refuses, also when they do not exist.
        MappingCase{"C:\\KAR*TOL\\", nullptr, ERROR_INVALID_NAME},
        MappingCase{"C:\\eis\\a\"b", nullptr, ERROR_INVALID_NAME},
        MappingCase{"C:\\a:b", nullptr, ERROR_INVALID_NAME},
        MappingCase{"C:\\a?b", nullptr, ERROR_INVALID_NAME},
        MappingCase{"C:\\a\x01z", nullptr, ERROR_INVALID_NAME},
        // A refused name that ".." takes away again is no longer there to refuse.
        MappingCase{"C:\\a*b\\..\\eis", "eis"},
        // Only absolute drive paths: no relative path, no UNC, no drive-relative path.
        MappingCase{"", nullptr, ERROR_PATH_NOT_FOUND},
        MappingCase{"C:", nullptr, ERROR_PATH_NOT_FOUND},
        MappingCase{"C:eis", nullptr, ERROR_PATH_NOT_FOUND},
        MappingCase{"eis\\x", nullptr, ERROR_PATH_NOT_FOUND},
        MappingCase{"\\\\server\\share\\x", nullptr, ERROR_PATH_NOT_FOUND},
        MappingCase{"1:\\x", nullptr, ERROR_PATH_NOT_FOUND},
        MappingCase{"\xC4:\\x", nullptr, ERROR_PATH_NOT_FOUND},
        // A letter with no folder behind it is a drive that does not exist.
        MappingCase{"Q:\\x", nullptr, ERROR_PATH_NOT_FOUND}));

TEST_F(DriveMapTest, OtherLettersMapThroughTheirVariable) {
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

// The setup changes its working directory as it walks the target path; a relative setting
// must keep naming the same folder.
TEST_F(DriveMapTest, RelativeSettingStaysWithTheStartFolder) {
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

class DefaultDriveTest : public DriveMapTest,
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

INSTANTIATE_TEST_SUITE_P(
    Environments, DefaultDriveTest,
    ::testing::Values(DefaultFolderCase{"DataHome", "data", "home", "data/vemo-kartol/drive_c"},
                      DefaultFolderCase{"HomeOnly", nullptr, "home",
                                        "home/.local/share/vemo-kartol/drive_c"},
                      // A relative XDG_DATA_HOME is not to be used.
                      DefaultFolderCase{"RelativeDataHome", "data", "home",
                                        "home/.local/share/vemo-kartol/drive_c", true},
                      DefaultFolderCase{"Nothing", nullptr, nullptr, nullptr}),
    [](const auto& info) { return std::string{info.param.name}; });

}  // namespace

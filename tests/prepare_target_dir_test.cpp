// Install stage 1: the checks on the target path and drive, the level walk with its flags,
// the log's first line, the content subdirectories, and every failure with its message and
// what it leaves on disk.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/drive_map.h"
#include "platform/posix/fault_injection.h"
#include "setup/process_state.h"
#include "support/setup_fixture.h"
#include "targetdir/prepare_target_dir.h"

namespace fs = std::filesystem;

namespace {

constexpr char kInvalidPath[] = "Sie haben einen ung\xFCltigen Pfad angegeben.";
constexpr char kTooLittleSpace[] = "Auf dem angegebenen Laufwerk ist zuwenig Platz.";
constexpr char kNoWindowsDir[] = "Das Windows-Hauptverzeichnis konnte nicht erkannt werden.";
constexpr char kPathNotCreated[] = "Der von Ihnen angegebene Pfad konnte nicht angelegt werden.";
constexpr char kLogNotCreated[] = "Im angegebenen Verzeichnis konnte keine Datei angelegt werden.";

constexpr const char* kContentDirs[] = {"klondike", "eis", "newyork", "mars", "tutorial", "res"};

// "C:\" followed by `levels` levels named "A": "C:\A\A\...\A\".
std::string NestedPath(int levels) {
    std::string path = "C:\\";
    for (int level = 0; level < levels; ++level) {
        path += "A\\";
    }
    return path;
}

// The host folder of the same path, below the drives' folder.
std::string NestedHost(int levels) {
    std::string path = "c";
    for (int level = 0; level < levels; ++level) {
        path += "/A";
    }
    return path;
}

// Line 1 of the log when all `levels` levels were created now.
std::string AllCreatedLine(int levels) {
    std::string line = std::to_string(levels);
    for (int level = 0; level < levels; ++level) {
        line += " 1";
    }
    return line + "\r\n";
}

// A path of 299 characters without a final backslash, in levels short enough for any host.
const std::string kLongPath =
    "C:\\" + std::string(99, 'L') + "\\" + std::string(99, 'M') + "\\" + std::string(96, 'N');
const std::string kLongHost =
    "c/" + std::string(99, 'L') + "/" + std::string(99, 'M') + "/" + std::string(96, 'N');

struct Injected {
    posix::Api api;
    posix::Injection injection;
};

struct PrepareCase {
    const char* name{};
    std::string installDir{};
    // The drives before the stage, below the drives' folder ("c" is C:, "d" is D:).
    std::vector<std::string> dirs{};
    std::vector<std::string> files{};
    std::vector<Injected> injections{};

    int result{};
    std::vector<const char*> messages{};
    // InstallDir afterwards; the same as before when empty.
    std::string installDirAfter{};
    std::vector<int> flags{};
    // Where the log lies and its bytes once closed; no host path: no log may exist anywhere.
    std::string logHost{};
    std::string logBytes{};
    bool logOpen{};
    // The folder whose content subdirectories must exist afterwards; empty: not looked at.
    std::string contentHost{};
    std::vector<std::string> mustExist{};
    std::vector<std::string> mustNotExist{};
};

void PrintTo(const PrepareCase& c, std::ostream* out) {
    *out << c.name;
}

class PrepareTargetDirTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        PathLevelCount = 0;
        for (const char* drive : {"c", "d"}) {
            fs::create_directory(DriveC() / drive);
        }
        posix::MapDrive('C', DriveC() / "c");
        posix::MapDrive('D', DriveC() / "d");
    }
    void TearDown() override {
        CloseLog();
        posix::UnmapDrive('D');
        SetupFixture::TearDown();
    }

    // Host paths below the drives' folder.
    fs::path Host(const std::string& relative) const { return DriveC() / relative; }

    int Prepare(const std::string& installDir) {
        std::snprintf(InstallDir, sizeof InstallDir, "%s", installDir.c_str());
        return PrepareTargetDir();
    }

    void CloseLog() {
        if (UninstallLog != nullptr) {
            std::fclose(UninstallLog);
            UninstallLog = nullptr;
        }
    }

    std::string ReadHost(const std::string& relative) const {
        std::ifstream in{Host(relative), std::ios::binary};
        return {std::istreambuf_iterator<char>{in}, std::istreambuf_iterator<char>{}};
    }

    // Every "deinst.log" on both drives.
    std::vector<fs::path> Logs() const {
        std::vector<fs::path> logs;
        for (const auto& entry : fs::recursive_directory_iterator{DriveC()}) {
            if (entry.path().filename() == "deinst.log") {
                logs.push_back(entry.path());
            }
        }
        return logs;
    }

    void ExpectMessages(const std::vector<const char*>& texts) {
        const std::vector<TestFrontEnd::Event> boxes = ui.MessageBoxes();
        ASSERT_EQ(boxes.size(), texts.size());
        for (std::size_t index = 0; index < texts.size(); ++index) {
            EXPECT_EQ(boxes[index].text, texts[index]);
            EXPECT_EQ(boxes[index].caption, "Fehler");
            EXPECT_EQ(boxes[index].type, static_cast<UINT>(MB_OK));
        }
    }
};

class PrepareTableTest : public PrepareTargetDirTest,
                         public ::testing::WithParamInterface<PrepareCase> {};

TEST_P(PrepareTableTest, LevelsFlagsLogAndMessages) {
    const PrepareCase& c = GetParam();
    for (const std::string& dir : c.dirs) {
        fs::create_directories(Host(dir));
    }
    for (const std::string& file : c.files) {
        std::ofstream{Host(file)} << "old";
    }
    for (const Injected& injected : c.injections) {
        posix::Inject(injected.api, injected.injection);
    }

    EXPECT_EQ(Prepare(c.installDir), c.result);

    ExpectMessages(c.messages);
    EXPECT_EQ(std::string{InstallDir},
              c.installDirAfter.empty() ? c.installDir : c.installDirAfter);
    ASSERT_EQ(PathLevelCount, static_cast<int>(c.flags.size()));
    EXPECT_EQ(std::vector<int>(PathLevelFlags, PathLevelFlags + PathLevelCount), c.flags);
    EXPECT_EQ(UninstallLog != nullptr, c.logOpen);
    CloseLog();
    // The one log of the run lies where expected, or there is none.
    const std::vector<fs::path> logs =
        c.logHost.empty() ? std::vector<fs::path>{} : std::vector<fs::path>{Host(c.logHost)};
    EXPECT_EQ(Logs(), logs);
    if (!c.logHost.empty()) {
        EXPECT_EQ(ReadHost(c.logHost), c.logBytes);
    }
    for (const char* content : kContentDirs) {
        if (!c.contentHost.empty()) {
            EXPECT_TRUE(fs::is_directory(Host(c.contentHost + "/" + content))) << content;
        }
    }
    for (const std::string& path : c.mustExist) {
        EXPECT_TRUE(fs::exists(Host(path))) << path;
    }
    for (const std::string& path : c.mustNotExist) {
        EXPECT_FALSE(fs::exists(Host(path))) << path;
    }
}

std::vector<Injected> FreeBytes(std::uint64_t sectorsPerCluster, std::uint64_t bytesPerSector,
                                std::uint64_t freeClusters) {
    return {{posix::Api::GetDiskFreeSpaceA,
             {"C:\\", {sectorsPerCluster, bytesPerSector, freeClusters, freeClusters}}}};
}

std::vector<Injected> WindowsDirLength(std::uint64_t length) {
    return {{posix::Api::GetWindowsDirectoryA, {"", {length}}}};
}

std::vector<Injected> Fails(posix::Api api, const char* path) {
    return {{api, {path, {}, ERROR_ACCESS_DENIED}}};
}

// A run that succeeds: `target` (below the drives' folder) holds the log and the content
// subdirectories afterwards.
PrepareCase Prepared(const char* name, std::string installDir, std::vector<std::string> dirs,
                     std::vector<int> flags, const std::string& target, std::string logBytes,
                     std::vector<Injected> injections = {}) {
    return {.name = name,
            .installDir = std::move(installDir),
            .dirs = std::move(dirs),
            .injections = std::move(injections),
            .result = 1,
            .flags = std::move(flags),
            .logHost = target + "/deinst.log",
            .logBytes = std::move(logBytes),
            .logOpen = true,
            .contentHost = target};
}

// The stage's successful walks: which levels it found and made, and line 1 of the log.
INSTANTIATE_TEST_SUITE_P(
    Levels, PrepareTableTest,
    ::testing::Values(
        Prepared("NewDirectory", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "\x31\x20\x31\x0D\x0A"),
        Prepared("ExistingDirectoryInLowerCase", "C:\\KARTOL\\", {"c/kartol"}, {0}, "c/kartol",
                 "\x31\x20\x30\x0D\x0A"),
        Prepared("TwoLevelsBothNew", "D:\\PROGRAMME\\KARTOL\\", {}, {1, 1}, "d/PROGRAMME/KARTOL",
                 "2 1 1\r\n"),
        Prepared("TwoLevelsFirstExists", "D:\\PROGRAMME\\KARTOL\\", {"d/Programme"}, {0, 1},
                 "d/Programme/KARTOL", "\x32\x20\x30\x20\x31\x0D\x0A"),
        Prepared("TwoLevelsBothExist", "D:\\PROGRAMME\\KARTOL\\", {"d/programme/kartol"}, {0, 0},
                 "d/programme/kartol", "2 0 0\r\n"),
        Prepared("DriveRootHasNoLevels", "C:\\", {}, {}, "c", "\x30\x0D\x0A"),
        // A doubled backslash is a second level of the same directory, found existing.
        Prepared("DoubledBackslash", "C:\\KARTOL\\\\", {}, {1, 0}, "c/KARTOL", "2 1 0\r\n"),
        Prepared("HundredTwentyLevels", NestedPath(120), {}, std::vector<int>(120, 1),
                 NestedHost(120), AllCreatedLine(120)),
        // The free-space threshold itself passes, and so does more than 32 bits can count.
        Prepared("ExactlyEnoughSpace", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "1 1\r\n",
                 FreeBytes(2, 512, 15000)),
        Prepared("MoreThanFourGiB", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "1 1\r\n",
                 FreeBytes(64, 4096, 0x10000)),
        Prepared("WindowsDirectoryOfThreeHundred", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "1 1\r\n",
                 WindowsDirLength(300)),
        // The backslash is appended, so later names are joined to it directly; 299 characters
        // get theirs too: 300, the most InstallDir holds.
        PrepareCase{.name = "NoFinalBackslash",
                    .installDir = "C:\\KARTOL",
                    .result = 1,
                    .installDirAfter = "C:\\KARTOL\\",
                    .flags = {1},
                    .logHost = "c/KARTOL/deinst.log",
                    .logBytes = "1 1\r\n",
                    .logOpen = true,
                    .contentHost = "c/KARTOL"},
        PrepareCase{.name = "LongestPath",
                    .installDir = kLongPath,
                    .result = 1,
                    .installDirAfter = kLongPath + "\\",
                    .flags = {1, 1, 1},
                    .logHost = kLongHost + "/deinst.log",
                    .logBytes = "3 1 1 1\r\n",
                    .logOpen = true,
                    .contentHost = kLongHost},
        // Existing content subdirectories are kept as they are, whatever their case.
        PrepareCase{.name = "ContentDirectoriesKept",
                    .installDir = "C:\\KARTOL\\",
                    .dirs = {"c/kartol/eis", "c/kartol/RES"},
                    .files = {"c/kartol/eis/LEVEL001.BTN", "c/kartol/deinst.log"},
                    .result = 1,
                    .flags = {0},
                    .logHost = "c/kartol/deinst.log",
                    .logBytes = "1 0\r\n",
                    .logOpen = true,
                    .mustExist = {"c/kartol/eis/LEVEL001.BTN", "c/kartol/RES", "c/kartol/klondike",
                                  "c/kartol/newyork", "c/kartol/mars", "c/kartol/tutorial"},
                    .mustNotExist = {"c/kartol/res"}}),
    [](const auto& info) { return std::string{info.param.name}; });

PrepareCase Invalid(const char* name, std::string installDir) {
    return {.name = name,
            .installDir = std::move(installDir),
            .result = 0,
            .messages = {kInvalidPath},
            .logOpen = false,
            .mustNotExist = {"c/KARTOL", "c/kartol", "c/A"}};
}

// Failures before the walk: one message, nothing created, an older log left alone.
INSTANTIATE_TEST_SUITE_P(
    Checks, PrepareTableTest,
    ::testing::Values(
        Invalid("Empty", ""), Invalid("LetterOnly", "C"), Invalid("NoBackslash", "C:"),
        Invalid("DriveRelative", "C:KARTOL"), Invalid("LowerCaseDrive", "c:\\kartol\\"),
        Invalid("DigitDrive", "1:\\KARTOL\\"), Invalid("ByteAbove127", "\xC4:\\KARTOL\\"),
        Invalid("SlashForBackslash", "C:/KARTOL/"), Invalid("UnmappedDrive", "Q:\\KARTOL\\"),
        Invalid("HundredTwentyOneLevels", NestedPath(121)),
        PrepareCase{.name = "OneByteTooLittleSpace",
                    .installDir = "C:\\KARTOL\\",
                    .files = {"c/deinst.log"},
                    .injections = FreeBytes(1, 1, 15359999),
                    .result = 0,
                    .messages = {kTooLittleSpace},
                    .logHost = "c/deinst.log",
                    .logBytes = "old",
                    .logOpen = false,
                    .mustNotExist = {"c/KARTOL"}},
        PrepareCase{.name = "FreeSpaceUnknown",
                    .installDir = "C:\\KARTOL\\",
                    .injections = Fails(posix::Api::GetDiskFreeSpaceA, "C:\\"),
                    .result = 0,
                    .messages = {kInvalidPath},
                    .logOpen = false,
                    .mustNotExist = {"c/KARTOL"}},
        PrepareCase{.name = "NoWindowsDirectory",
                    .installDir = "C:\\KARTOL\\",
                    .injections = Fails(posix::Api::GetWindowsDirectoryA, ""),
                    .result = 0,
                    .messages = {kNoWindowsDir},
                    .logOpen = false,
                    .mustNotExist = {"c/KARTOL"}},
        PrepareCase{.name = "WindowsDirectoryTooLong",
                    .installDir = "C:\\KARTOL\\",
                    .dirs = {"c/kartol"},
                    .files = {"c/kartol/deinst.log"},
                    .injections = WindowsDirLength(301),
                    .result = 0,
                    .messages = {kNoWindowsDir},
                    .logHost = "c/kartol/deinst.log",
                    .logBytes = "old",
                    .logOpen = false,
                    .mustNotExist = {"c/kartol/eis"}}),
    [](const auto& info) { return std::string{info.param.name}; });

// Failures in the walk, at the log and at the content subdirectories.
INSTANTIATE_TEST_SUITE_P(
    Failures, PrepareTableTest,
    ::testing::Values(
        // A file where a level should be: the walk stops, and the log cannot go below it.
        PrepareCase{.name = "LevelTakenByFile",
                    .installDir = "C:\\KARTOL\\",
                    .files = {"c/kartol"},
                    .result = 0,
                    .messages = {kPathNotCreated, kLogNotCreated},
                    .flags = {},
                    .logOpen = false,
                    .mustExist = {"c/kartol"}},
        PrepareCase{.name = "SecondLevelTakenByFile",
                    .installDir = "D:\\SPIELE\\KARTOL\\",
                    .dirs = {"d/spiele"},
                    .files = {"d/spiele/KARTOL"},
                    .result = 0,
                    .messages = {kPathNotCreated, kLogNotCreated},
                    .flags = {0},
                    .logOpen = false},
        // Levels made before the failing one stay.
        PrepareCase{.name = "LevelCannotBeCreated",
                    .installDir = "C:\\NEU\\KARTOL\\",
                    .injections = Fails(posix::Api::CreateDirectoryA, "C:\\NEU\\KARTOL"),
                    .result = 0,
                    .messages = {kPathNotCreated, kLogNotCreated},
                    .flags = {1},
                    .logOpen = false,
                    .mustExist = {"c/NEU"},
                    .mustNotExist = {"c/NEU/KARTOL"}},
        // A name the file system refuses passes the form test and fails in the walk.
        PrepareCase{.name = "RefusedName",
                    .installDir = "C:\\KAR*TOL\\",
                    .result = 0,
                    .messages = {kPathNotCreated, kLogNotCreated},
                    .flags = {},
                    .logOpen = false},
        // A level that exists but cannot be entered stops the walk there; the log can still
        // be made in the target, and its line counts only the levels before.
        PrepareCase{.name = "FirstLevelCannotBeEntered",
                    .installDir = "D:\\PROGRAMME\\KARTOL\\",
                    .dirs = {"d/PROGRAMME/KARTOL"},
                    .injections = Fails(posix::Api::SetCurrentDirectoryA, "D:\\PROGRAMME"),
                    .result = 1,
                    .messages = {kPathNotCreated},
                    .flags = {},
                    .logHost = "d/PROGRAMME/KARTOL/deinst.log",
                    .logBytes = "0\r\n",
                    .logOpen = true,
                    .contentHost = "d/PROGRAMME/KARTOL"},
        PrepareCase{.name = "SecondLevelCannotBeEntered",
                    .installDir = "D:\\PROGRAMME\\KARTOL\\",
                    .dirs = {"d/PROGRAMME/KARTOL"},
                    .injections = Fails(posix::Api::SetCurrentDirectoryA, "D:\\PROGRAMME\\KARTOL"),
                    .result = 1,
                    .messages = {kPathNotCreated},
                    .flags = {0},
                    .logHost = "d/PROGRAMME/KARTOL/deinst.log",
                    .logBytes = "1 0\r\n",
                    .logOpen = true,
                    .contentHost = "d/PROGRAMME/KARTOL"},
        PrepareCase{.name = "LogCannotBeCreated",
                    .installDir = "C:\\KARTOL\\",
                    .injections = Fails(posix::Api::OpenProgramStream, "C:\\KARTOL\\deinst.log"),
                    .result = 0,
                    .messages = {kLogNotCreated},
                    .flags = {1},
                    .logOpen = false,
                    .mustExist = {"c/KARTOL"},
                    .mustNotExist = {"c/KARTOL/klondike"}},
        // The log stays open with line 1; the subdirectories before the failing one exist.
        PrepareCase{.name = "ContentDirectoryTakenByFile",
                    .installDir = "C:\\KARTOL\\",
                    .dirs = {"c/kartol"},
                    .files = {"c/kartol/MARS"},
                    .result = 0,
                    .messages = {kPathNotCreated},
                    .flags = {0},
                    .logHost = "c/kartol/deinst.log",
                    .logBytes = "1 0\r\n",
                    .logOpen = true,
                    .mustExist = {"c/kartol/klondike", "c/kartol/eis", "c/kartol/newyork"},
                    .mustNotExist = {"c/kartol/tutorial", "c/kartol/res"}},
        PrepareCase{.name = "ContentDirectoryCannotBeCreated",
                    .installDir = "C:\\KARTOL\\",
                    .injections = Fails(posix::Api::CreateDirectoryA, "C:\\KARTOL\\klondike"),
                    .result = 0,
                    .messages = {kPathNotCreated},
                    .flags = {1},
                    .logHost = "c/KARTOL/deinst.log",
                    .logBytes = "1 1\r\n",
                    .logOpen = true,
                    .mustNotExist = {"c/KARTOL/klondike", "c/KARTOL/eis"}}),
    [](const auto& info) { return std::string{info.param.name}; });

// A second run into the same folder finds every level, and its log replaces the first one's.
TEST_F(PrepareTargetDirTest, SecondRunRewritesTheLog) {
    ASSERT_EQ(Prepare("D:\\PROGRAMME\\KARTOL\\"), 1);
    std::fputs("NC KARTOL.EXE\n", UninstallLog);
    CloseLog();
    ASSERT_EQ(ReadHost("d/PROGRAMME/KARTOL/deinst.log"), "2 1 1\r\nNC KARTOL.EXE\r\n");

    ASSERT_EQ(Prepare("D:\\PROGRAMME\\KARTOL\\"), 1);
    EXPECT_EQ(std::vector<int>(PathLevelFlags, PathLevelFlags + PathLevelCount),
              (std::vector<int>{0, 0}));
    CloseLog();
    EXPECT_EQ(ReadHost("d/PROGRAMME/KARTOL/deinst.log"), "2 0 0\r\n");
    EXPECT_TRUE(ui.MessageBoxes().empty());
}

}  // namespace

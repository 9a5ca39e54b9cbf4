// Install stage 1: the checks on the target path and drive, the level walk with its flags, the
// log's first line, the content subdirectories, and every failure with its message and what it
// leaves on disk.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
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

// `piece` `times` times: the levels of deep paths and their flags.
std::string Repeat(const std::string& piece, int times) {
    std::string out;
    for (int time = 0; time < times; ++time) {
        out += piece;
    }
    return out;
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

struct Case {
    const char* name{};
    std::string installDir{};
    // The drives before the stage, below the drives' folder ("c" is C:, "d" is D:): a name ending
    // in "/" is a folder, any other a file holding "old".
    std::vector<std::string> before{};
    std::vector<Injected> injections{};

    int result{};
    std::vector<const char*> messages{};
    std::vector<int> flags{};
    bool logOpen{};
    // Everything on both drives afterwards, folders and the folders above them implied: "x/" a
    // folder, "x=bytes" a file, "x/*" a folder holding the six content subdirectories.
    std::vector<std::string> after{};
    // InstallDir afterwards; the same as before when empty.
    std::string installDirAfter{};
};

void PrintTo(const Case& c, std::ostream* out) {
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

    // Both drives as "after" writes them, every folder listed.
    std::set<std::string> Tree() const {
        std::set<std::string> tree;
        for (const auto& [name, bytes] : FileTree(DriveC())) {
            tree.insert(name.ends_with('/') ? name : name + "=" + bytes);
        }
        return tree;
    }
};

// "after" with its folders spelled out.
std::set<std::string> Expand(const std::vector<std::string>& after) {
    std::set<std::string> tree{"c/", "d/"};
    auto addFolders = [&tree](const std::string& path) {
        for (std::size_t slash = path.find('/'); slash != std::string::npos;
             slash = path.find('/', slash + 1)) {
            tree.insert(path.substr(0, slash + 1));
        }
    };
    for (const std::string& entry : after) {
        if (entry.ends_with("/*")) {
            for (const char* content : kContentDirs) {
                addFolders(entry.substr(0, entry.size() - 1) + content + "/");
            }
        } else {
            addFolders(entry.substr(0, entry.find('=')));
            tree.insert(entry);
        }
    }
    return tree;
}

class PrepareTableTest : public PrepareTargetDirTest, public ::testing::WithParamInterface<Case> {};

TEST_P(PrepareTableTest, LevelsFlagsLogAndMessages) {
    const Case& c = GetParam();
    for (const std::string& entry : c.before) {
        if (entry.ends_with('/')) {
            fs::create_directories(DriveC() / entry);
        } else {
            std::ofstream{DriveC() / entry} << "old";
        }
    }
    for (const Injected& injected : c.injections) {
        posix::Inject(injected.api, injected.injection);
    }

    EXPECT_EQ(Prepare(c.installDir), c.result);

    std::vector<std::string> boxes;
    for (const TestFrontEnd::Event& box : ui.MessageBoxes()) {
        boxes.push_back(box.caption + ": " + box.text);
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    }
    std::vector<std::string> messages;
    for (const char* text : c.messages) {
        messages.push_back(std::string{"Fehler: "} + text);
    }
    EXPECT_EQ(boxes, messages);
    EXPECT_EQ(std::string{InstallDir},
              c.installDirAfter.empty() ? c.installDir : c.installDirAfter);
    ASSERT_EQ(PathLevelCount, static_cast<int>(c.flags.size()));
    EXPECT_EQ(std::vector<int>(PathLevelFlags, PathLevelFlags + PathLevelCount), c.flags);
    EXPECT_EQ(UninstallLog != nullptr, c.logOpen);
    CloseLog();
    EXPECT_EQ(Tree(), Expand(c.after));
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
Case Prepared(const char* name, std::string installDir, std::vector<std::string> before,
              std::vector<int> flags, const std::string& target, const std::string& log,
              std::vector<Injected> injections = {}, std::string installDirAfter = {}) {
    return {name,           installDir, before,
            injections,     1,          {},
            flags,          true,       {target + "/*", target + "/deinst.log=" + log},
            installDirAfter};
}

Case Invalid(const char* name, std::string installDir) {
    return {name, std::move(installDir), {}, {}, 0, {kInvalidPath}};
}

using enum posix::Api;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, PrepareTableTest, ::testing::Values(
    // The successful walks: which levels the stage found and made, and line 1 of the log.
    Prepared("NewDirectory", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "\x31\x20\x31\x0D\x0A"),
    Prepared("ExistingDirectoryInLowerCase", "C:\\KARTOL\\", {"c/kartol/"}, {0}, "c/kartol",
             "\x31\x20\x30\x0D\x0A"),
    Prepared("TwoLevelsBothNew", "D:\\PROGRAMME\\KARTOL\\", {}, {1, 1}, "d/PROGRAMME/KARTOL",
             "2 1 1\r\n"),
    Prepared("TwoLevelsFirstExists", "D:\\PROGRAMME\\KARTOL\\", {"d/Programme/"}, {0, 1},
             "d/Programme/KARTOL", "\x32\x20\x30\x20\x31\x0D\x0A"),
    Prepared("TwoLevelsBothExist", "D:\\PROGRAMME\\KARTOL\\", {"d/programme/kartol/"}, {0, 0},
             "d/programme/kartol", "2 0 0\r\n"),
    Prepared("DriveRootHasNoLevels", "C:\\", {}, {}, "c", "\x30\x0D\x0A"),
    // A doubled backslash is a second level of the same directory, found existing.
    Prepared("DoubledBackslash", "C:\\KARTOL\\\\", {}, {1, 0}, "c/KARTOL", "2 1 0\r\n"),
    Prepared("HundredTwentyLevels", "C:\\" + Repeat("A\\", 120), {}, std::vector<int>(120, 1),
             "c" + Repeat("/A", 120), "120" + Repeat(" 1", 120) + "\r\n"),
    // The free-space threshold itself passes, and so does more than 32 bits can count.
    Prepared("ExactlyEnoughSpace", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "1 1\r\n",
             FreeBytes(2, 512, 15000)),
    Prepared("MoreThanFourGiB", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "1 1\r\n",
             FreeBytes(64, 4096, 0x10000)),
    Prepared("WindowsDirectoryOfThreeHundred", "C:\\KARTOL\\", {}, {1}, "c/KARTOL", "1 1\r\n",
             WindowsDirLength(300)),
    // The backslash is appended, so later names are joined to it directly; 299 characters get
    // theirs too: 300, the most InstallDir holds.
    Prepared("NoFinalBackslash", "C:\\KARTOL", {}, {1}, "c/KARTOL", "1 1\r\n", {}, "C:\\KARTOL\\"),
    Prepared("LongestPath", kLongPath, {}, {1, 1, 1}, kLongHost, "3 1 1 1\r\n", {},
             kLongPath + "\\"),
    // Existing content subdirectories are kept as they are, whatever their case.
    Case{"ContentDirectoriesKept", "C:\\KARTOL\\",
         {"c/kartol/eis/", "c/kartol/eis/LEVEL001.BTN", "c/kartol/RES/", "c/kartol/deinst.log"},
         {}, 1, {}, {0}, true,
         {"c/kartol/eis/LEVEL001.BTN=old", "c/kartol/RES/", "c/kartol/klondike/",
          "c/kartol/newyork/", "c/kartol/mars/", "c/kartol/tutorial/",
          "c/kartol/deinst.log=1 0\r\n"}},
    // Failures before the walk: one message, nothing created, an older log left alone.
    Invalid("Empty", ""), Invalid("LetterOnly", "C"), Invalid("NoBackslash", "C:"),
    Invalid("DriveRelative", "C:KARTOL"), Invalid("LowerCaseDrive", "c:\\kartol\\"),
    Invalid("DigitDrive", "1:\\KARTOL\\"), Invalid("ByteAbove127", "\xC4:\\KARTOL\\"),
    Invalid("SlashForBackslash", "C:/KARTOL/"), Invalid("UnmappedDrive", "Q:\\KARTOL\\"),
    Invalid("HundredTwentyOneLevels", "C:\\" + Repeat("A\\", 121)),
    Case{"OneByteTooLittleSpace", "C:\\KARTOL\\", {"c/deinst.log"}, FreeBytes(1, 1, 15359999), 0,
         {kTooLittleSpace}, {}, false, {"c/deinst.log=old"}},
    Case{"FreeSpaceUnknown", "C:\\KARTOL\\", {}, Fails(GetDiskFreeSpaceA, "C:\\"), 0,
         {kInvalidPath}},
    Case{"NoWindowsDirectory", "C:\\KARTOL\\", {}, Fails(GetWindowsDirectoryA, ""), 0,
         {kNoWindowsDir}},
    Case{"WindowsDirectoryTooLong", "C:\\KARTOL\\", {"c/kartol/", "c/kartol/deinst.log"},
         WindowsDirLength(301), 0, {kNoWindowsDir}, {}, false, {"c/kartol/deinst.log=old"}},
    // A file where a level should be: the walk stops, and the log cannot go below it.
    Case{"LevelTakenByFile", "C:\\KARTOL\\", {"c/kartol"}, {}, 0, {kPathNotCreated, kLogNotCreated},
         {}, false, {"c/kartol=old"}},
    Case{"SecondLevelTakenByFile", "D:\\SPIELE\\KARTOL\\", {"d/spiele/", "d/spiele/KARTOL"}, {}, 0,
         {kPathNotCreated, kLogNotCreated}, {0}, false, {"d/spiele/KARTOL=old"}},
    // Levels made before the failing one stay.
    Case{"LevelCannotBeCreated", "C:\\NEU\\KARTOL\\", {},
         Fails(CreateDirectoryA, "C:\\NEU\\KARTOL"), 0, {kPathNotCreated, kLogNotCreated}, {1}, false, {"c/NEU/"}},
    // A name the file system refuses passes the form test and fails in the walk.
    Case{"RefusedName", "C:\\KAR*TOL\\", {}, {}, 0, {kPathNotCreated, kLogNotCreated}},
    // A level that exists but cannot be entered stops the walk there; the log can still be made in
    // the target, and its line counts only the levels before.
    Case{"FirstLevelCannotBeEntered", "D:\\PROGRAMME\\KARTOL\\", {"d/PROGRAMME/KARTOL/"},
         Fails(SetCurrentDirectoryA, "D:\\PROGRAMME"), 1, {kPathNotCreated}, {}, true,
         {"d/PROGRAMME/KARTOL/*", "d/PROGRAMME/KARTOL/deinst.log=0\r\n"}},
    Case{"SecondLevelCannotBeEntered", "D:\\PROGRAMME\\KARTOL\\", {"d/PROGRAMME/KARTOL/"},
         Fails(SetCurrentDirectoryA, "D:\\PROGRAMME\\KARTOL"), 1, {kPathNotCreated}, {0}, true,
         {"d/PROGRAMME/KARTOL/*", "d/PROGRAMME/KARTOL/deinst.log=1 0\r\n"}},
    Case{"LogCannotBeCreated", "C:\\KARTOL\\", {},
         Fails(OpenProgramStream, "C:\\KARTOL\\deinst.log"), 0, {kLogNotCreated}, {1}, false, {"c/KARTOL/"}},
    // The log stays open with line 1; the subdirectories before the failing one exist.
    Case{"ContentDirectoryTakenByFile", "C:\\KARTOL\\", {"c/kartol/", "c/kartol/MARS"}, {}, 0,
         {kPathNotCreated}, {0}, true, {"c/kartol/klondike/", "c/kartol/eis/", "c/kartol/newyork/",
                                        "c/kartol/MARS=old", "c/kartol/deinst.log=1 0\r\n"}},
    Case{"ContentDirectoryCannotBeCreated", "C:\\KARTOL\\", {},
         Fails(CreateDirectoryA, "C:\\KARTOL\\klondike"), 0, {kPathNotCreated}, {1}, true,
         {"c/KARTOL/deinst.log=1 1\r\n"}}),
    [](const auto& info) { return std::string{info.param.name}; });
// clang-format on

// A second run into the same folder finds every level, and its log replaces the first one's.
TEST_F(PrepareTargetDirTest, SecondRunRewritesTheLog) {
    const fs::path log = DriveC() / "d/PROGRAMME/KARTOL/deinst.log";
    ASSERT_EQ(Prepare("D:\\PROGRAMME\\KARTOL\\"), 1);
    std::fputs("NC KARTOL.EXE\n", UninstallLog);
    CloseLog();
    ASSERT_EQ(ReadFile(log), "2 1 1\r\nNC KARTOL.EXE\r\n");

    ASSERT_EQ(Prepare("D:\\PROGRAMME\\KARTOL\\"), 1);
    EXPECT_EQ(std::vector<int>(PathLevelFlags, PathLevelFlags + PathLevelCount),
              (std::vector<int>{0, 0}));
    CloseLog();
    EXPECT_EQ(ReadFile(log), "2 0 0\r\n");
    EXPECT_TRUE(ui.MessageBoxes().empty());
}

}  // namespace

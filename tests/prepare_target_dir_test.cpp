// Install stage 1: checks, level walk and flags, the log's first line, the subdirectories.

#include <cstdint>
#include <cstdio>
#include <sstream>
#include <vector>

#include "platform/posix/faults/fault_injection.h"
#include "state/process_state.h"
#include "support/setup_fixture.h"
#include "targetdir/prepare_target_dir.h"

namespace fs = std::filesystem;

namespace {

// The boxes of the stage, all captioned "Fehler".
constexpr char kTooLittleSpace[] = "box Fehler: Auf dem angegebenen Laufwerk ist zuwenig Platz.";
constexpr char kNoWindowsDir[] =
    "box Fehler: Das Windows-Hauptverzeichnis konnte nicht erkannt werden.";
constexpr char kLogNotCreated[] =
    "box Fehler: Im angegebenen Verzeichnis konnte keine Datei angelegt werden.";

constexpr const char* kContentDirs[] = {"klondike", "eis", "newyork", "mars", "tutorial", "res"};

using Tree = std::map<std::string, std::string>;

// The entries of a space-separated list and the folders above them into `tree`: "x/" a folder,
// "x/*" a folder holding the six content subdirectories, any other a file holding `bytes`.
void Add(Tree& tree, const std::string& list, const std::string& bytes) {
    std::istringstream entries{list};
    for (std::string entry; entries >> entry;) {
        if (entry.ends_with('*')) {
            for (const char* content : kContentDirs) {
                Add(tree, entry.substr(0, entry.size() - 1) + content + "/", "");
            }
            continue;
        }
        for (std::size_t slash = entry.find('/'); slash != std::string::npos;
             slash = entry.find('/', slash + 1)) {
            tree[entry.substr(0, slash + 1)];
        }
        if (!entry.ends_with('/')) {
            tree[entry] = bytes;
        }
    }
}

const std::string kC = "C:\\KARTOL\\", kD = "D:\\PROGRAMME\\KARTOL\\";
// A path of 116 characters without a final backslash.
const std::string kLongPath = "C:\\" + std::string(99, 'L') + "\\" + std::string(13, 'M');
const std::string kLongHost = "c/" + std::string(99, 'L') + "/" + std::string(13, 'M');

using Faults = std::vector<std::pair<posix::Api, posix::Injection>>;

// `before` (its files hold "old") and `made` are lists for Add below "c" (C:) and "d" (D:).
// `logAt`: the open log's folder. `installDirAfter`: empty when InstallDir stays.
// `earlierLog`: the bytes of a log that an earlier install left in `logAt`.
struct Case {
    const char* name{};
    std::string installDir{}, before{};
    Faults faults{};
    int result{};
    std::vector<const char*> boxes{};
    std::vector<int> flags{};
    std::string logAt{}, made{}, installDirAfter{}, earlierLog{};
};

class PrepareTargetDirTest : public SetupFixture, public ::testing::WithParamInterface<Case> {};

TEST_P(PrepareTargetDirTest, LevelsFlagsLogAndMessages) {
    const Case& c = GetParam();
    Tree tree;
    Add(tree, "c/ d/ " + c.before, "old");
    for (const auto& [path, bytes] : tree) {
        if (path.ends_with('/')) {
            fs::create_directory(DriveC() / path);
        } else {
            WriteFile(DriveC() / path, bytes);
        }
    }
    if (!c.earlierLog.empty()) {
        WriteFile(DriveC() / c.logAt / "deinst.log", c.earlierLog);
    }
    posix::MapDrive('C', DriveC() / "c");
    posix::MapDrive('D', DriveC() / "d");
    for (const auto& [api, injection] : c.faults) {
        posix::Inject(api, injection);
    }
    // A stale count from an earlier walk, which the walk must start afresh.
    PathLevelCount = c.flags.empty() ? 0 : 1;
    std::snprintf(InstallDir, sizeof InstallDir, "%s", c.installDir.c_str());

    EXPECT_EQ(PrepareTargetDir(), c.result);
    EXPECT_EQ(UninstallLog != nullptr, !c.logAt.empty());
    EXPECT_EQ(ui.Transcript(), std::vector<std::string>(c.boxes.begin(), c.boxes.end()));
    for (const TestFrontEnd::Event& box : ui.MessageBoxes()) {
        EXPECT_EQ(box.type, static_cast<UINT>(MB_OK));
    }
    EXPECT_EQ(std::string{InstallDir},
              c.installDirAfter.empty() ? c.installDir : c.installDirAfter);
    ASSERT_EQ(PathLevelCount, static_cast<int>(c.flags.size()));
    EXPECT_EQ(std::vector<int>(PathLevelFlags, PathLevelFlags + PathLevelCount), c.flags);
    Add(tree, c.made, "");
    if (!c.logAt.empty()) {
        std::string line = std::to_string(c.flags.size());
        for (const int flag : c.flags) {
            line += " " + std::to_string(flag);
        }
        Add(tree, c.logAt + "/deinst.log", line + "\r\n");
    }
    // The log's first line is on disk while the log is still open.
    EXPECT_EQ(FileTree(DriveC()), tree);
    if (UninstallLog != nullptr) {
        std::fclose(UninstallLog);
    }
}

// clang-format off
Faults FreeBytes(std::uint64_t sectorsPerCluster, std::uint64_t bytesPerSector, std::uint64_t freeClusters) {
    return {{posix::Api::GetDiskFreeSpaceA, {"C:\\", {sectorsPerCluster, bytesPerSector, freeClusters, freeClusters}}}};
}
Faults WindowsDirLength(std::uint64_t length) { return {{posix::Api::GetWindowsDirectoryA, {"", {length}}}}; }
Faults Fails(posix::Api api, const char* path) { return {{api, {path, {}, ERROR_ACCESS_DENIED}}}; }
// clang-format on

// A run that succeeds: `target` holds the log and the content subdirectories afterwards.
Case Prepared(const char* name, std::string installDir, std::string before, std::vector<int> flags,
              const std::string& target, Faults injections = {}, std::string installDirAfter = {}) {
    return {name, installDir, before, injections,    1,
            {},   flags,      target, target + "/*", installDirAfter};
}

// An install again into D:\PROGRAMME\KARTOL, which both exist, over an earlier install's log.
Case Reinstalled(const char* name, std::string earlierLog, std::vector<int> flags) {
    const std::string target = "d/Programme/KARTOL";
    return {name, kD, target + "/", {}, 1, {}, flags, target, target + "/*", {}, earlierLog};
}

Case Invalid(const char* name, std::string installDir, std::string installDirAfter = {}) {
    return {name, std::move(installDir), {}, {}, 0, {kInvalidBox}, {}, {}, {}, installDirAfter};
}

using enum posix::Api;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, PrepareTargetDirTest, ::testing::Values(
    // The successful walks: which levels the stage found and made.
    Prepared("NewDirectory", kC, "", {1}, "c/KARTOL"),
    Prepared("ExistingDirectoryInLowerCase", kC, "c/kartol/", {0}, "c/kartol"),
    Prepared("TwoLevelsFirstExists", kD, "d/Programme/", {0, 1}, "d/Programme/KARTOL"),
    Prepared("TwoLevelsBothExist", kD, "d/programme/kartol/", {0, 0}, "d/programme/kartol"),
    // The free-space threshold itself passes, and so does more than 32 bits can count.
    Prepared("ExactlyEnoughSpace", kC, "", {1}, "c/KARTOL", FreeBytes(2, 512, 15000)),
    Prepared("MoreThanFourGiB", kC, "", {1}, "c/KARTOL", FreeBytes(64, 4096, 0x10000)),
    Prepared("WindowsDirectoryOfThreeHundred", kC, "", {1}, "c/KARTOL", WindowsDirLength(300)),
    // The backslash is appended, so later names are joined to it directly: 117 characters, the
    // longest InstallDir.
    Prepared("LongestPath", kLongPath, "", {1, 1}, kLongHost, {}, kLongPath + "\\"),
    // The levels an earlier install made stay the product's; a log not for this path, or not as
    // the setup writes it, changes nothing.
    Reinstalled("EarlierLogKept", "2 0 1\r\nNC EIS\\LEVEL001.BTN\r\n", {0, 1}),
    Reinstalled("EarlierLogOfOneLevel", "1 1\r\n", {0, 0}),
    Reinstalled("EarlierLogDamaged", "2 1 2\r\n", {0, 0}),
    Reinstalled("EarlierLogCutShort", "2 1 1", {0, 0}),
    // Existing content subdirectories are kept as they are, whatever their case; the log is
    // replaced.
    Case{"ContentDirectoriesKept", kC, "c/kartol/eis/LEVEL001.BTN c/kartol/RES/ c/kartol/deinst.log",
         {}, 1, {}, {0}, "c/kartol", "c/kartol/klondike/ c/kartol/newyork/ c/kartol/mars/ c/kartol/tutorial/"},
    // Failures before the walk: one message, nothing created, an older log left alone. The free
    // space of Q: cannot be learnt.
    Invalid("Empty", ""), Invalid("LetterOnly", "C"), Invalid("NoBackslash", "C:"),
    Invalid("LowerCaseDrive", "c:\\kartol\\"), Invalid("DigitDrive", "1:\\KARTOL\\"),
    Invalid("SlashForBackslash", "C:/KARTOL/"), Invalid("UnmappedDrive", "Q:\\KARTOL\\"),
    Invalid("OneCharacterTooLong", kLongPath + "X", kLongPath + "X\\"),
    Case{"OneByteTooLittleSpace", kC, "c/deinst.log", FreeBytes(1, 1, 15359999), 0, {kTooLittleSpace}},
    Case{"NoWindowsDirectory", kC, "", Fails(GetWindowsDirectoryA, ""), 0, {kNoWindowsDir}},
    Case{"WindowsDirectoryTooLong", kC, "c/kartol/deinst.log", WindowsDirLength(301), 0, {kNoWindowsDir}},
    // A file where a level should be: the walk stops, and the log cannot go below it.
    Case{"LevelTakenByFile", kC, "c/kartol", {}, 0, {kNotMadeBox, kLogNotCreated}},
    Case{"SecondLevelTakenByFile", "D:\\SPIELE\\KARTOL\\", "d/spiele/KARTOL", {}, 0,
         {kNotMadeBox, kLogNotCreated}, {0}},
    // Levels made before the failing one stay.
    Case{"LevelCannotBeCreated", "C:\\NEU\\KARTOL\\", "", Fails(CreateDirectoryA, "C:\\NEU\\KARTOL"), 0,
         {kNotMadeBox, kLogNotCreated}, {1}, "", "c/NEU/"},
    // A name the file system refuses passes the form test and fails in the walk.
    Case{"RefusedName", "C:\\KAR*TOL\\", "", {}, 0, {kNotMadeBox, kLogNotCreated}},
    // A level that exists but cannot be entered stops the walk there; the log can still be made in
    // the target, and its line counts only the levels before.
    Case{"FirstLevelCannotBeEntered", kD, "d/PROGRAMME/KARTOL/",
         Fails(SetCurrentDirectoryA, "D:\\PROGRAMME"), 1, {kNotMadeBox}, {}, "d/PROGRAMME/KARTOL",
         "d/PROGRAMME/KARTOL/*"},
    Case{"SecondLevelCannotBeEntered", kD, "d/PROGRAMME/KARTOL/",
         Fails(SetCurrentDirectoryA, "D:\\PROGRAMME\\KARTOL"), 1, {kNotMadeBox}, {0},
         "d/PROGRAMME/KARTOL", "d/PROGRAMME/KARTOL/*"},
    Case{"LogCannotBeCreated", kC, "", Fails(OpenProgramStream, "C:\\KARTOL\\deinst.log"), 0,
         {kLogNotCreated}, {1}, "", "c/KARTOL/"},
    // The log stays open with line 1; the subdirectories before the failing one exist.
    Case{"ContentDirectoryTakenByFile", kC, "c/kartol/MARS", {}, 0, {kNotMadeBox}, {0}, "c/kartol",
         "c/kartol/klondike/ c/kartol/eis/ c/kartol/newyork/"},
    Case{"ContentDirectoryCannotBeCreated", kC, "", Fails(CreateDirectoryA, "C:\\KARTOL\\klondike"),
         0, {kNotMadeBox}, {1}, "c/KARTOL"}),
    [](const auto& info) { return std::string{info.param.name}; });
// clang-format on

}  // namespace

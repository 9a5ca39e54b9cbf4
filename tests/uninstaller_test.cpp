// Target paths through the whole setup and its uninstaller: each installs and is removed, or is
// refused before anything is made. Drive C, boxes and exit code, also for each kind of log.

#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "formats/uninstall_log_format.h"
#include "platform/posix/faults/fault_injection.h"
#include "platform/posix/faults/test_process.h"
#include "platform/posix/kernel32/drive_map.h"
#include "state/process_state.h"
#include "support/scripted_progman.h"
#include "support/setup_fixture.h"
#include "uninst/uninstall_flow.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr char kConfirm[] =
    "M\xF6"
    "chten Sie Vemo Kartol mit allen seinen Komponenten von Ihrem Computer entfernen?";
constexpr char kRemoved[] = "Vemo Kartol wurde vollst\xE4ndig von Ihrem Computer entfernt.";
constexpr char kNothing[] = ". Es wurde nichts entfernt.";
constexpr char kUnchanged[] = "=";
constexpr char kBefore[] = "<";
constexpr char kAdded[] = ": enth\xE4lt Dateien, die nicht zu Vemo Kartol geh\xF6ren";
constexpr char kInUse[] = ": wird verwendet oder ist schreibgesch\xFCtzt";
const fs::path kLog = "KARTOL/deinst.log";

// Drive C as one line: the paths of FileTree, sorted.
std::string Tree(const fs::path& folder) {
    std::string tree;
    for (const auto& [path, bytes] : FileTree(folder)) {
        tree += (tree.empty() ? "" : " ") + path;
    }
    return tree;
}

std::string Stayed(const std::vector<std::string>& lines) {
    std::string text = "Vemo Kartol wurde entfernt. Folgendes ist geblieben:\n";
    for (const std::string& line : lines) {
        text += "\n" + line;
    }
    return text;
}

// The boxes of a log damaged at a line, and of one missing.
std::string Damaged(int line) {
    return "Das Deinstallationsprotokoll C:\\KARTOL\\deinst.log ist besch\xE4"
           "digt (Zeile " +
           std::to_string(line) + ")" + kNothing;
}
std::string Missing(const std::string& log) {
    return "Das Deinstallationsprotokoll " + log + " fehlt oder kann nicht gelesen werden" +
           kNothing;
}

// "eis/LEVEL001.BTN" and on: the level files of one content folder.
std::string LevelFile(int level) {
    char name[sizeof "eis/LEVEL000.BTN"];
    std::snprintf(name, sizeof name, "eis/LEVEL%03d.BTN", level);
    return name;
}

// clang-format off
void NoChange(const fs::path&) {}
void MakeSpiele(const fs::path& c) { fs::create_directory(c / "SPIELE"); }
void MapDriveD(const fs::path& c) { fs::create_directory(c / "laufwerk-d"), posix::MapDrive('D', c / "laufwerk-d"); }
// Like a CD: read-only, and no free space.
void ReadOnlyDrive(const fs::path&) {
    posix::Inject(posix::Api::GetVolumeInformationA, {"C:\\", {FILE_READ_ONLY_VOLUME}});
    posix::Inject(posix::Api::GetDiskFreeSpaceA, {"C:\\", {1, 1, 0, 0}});
}
// The fifth file that cannot take its place (a full disk, a file in use): the setup stops
// there, with its uninstaller written first.
void StoppedAtAFile(const fs::path&) {
    posix::Inject(posix::Api::MoveFileExA, {.path = "C:\\KARTOL\\kartol.un3", .answer = {},
                                            .error = ERROR_ACCESS_DENIED, .occurrence = 5});
}
void LinkedTarget(const fs::path& c) { fs::create_directory(c / "ECHT"), fs::create_directory_symlink("ECHT", c / "KARTOL"); }
void ReadOnlyFileInTheWay(const fs::path& c) {
    fs::create_directory(c / "KARTOL");
    WriteFile(c / "KARTOL/KARTOL.EXE", "mine");
    fs::permissions(c / "KARTOL/KARTOL.EXE", fs::perms::owner_read);
}
// A content folder linked to another volume where there is one (/dev/shm is memory), so that
// the setup's files reach it only by copying; the test removes it again.
fs::path elsewhere;
void ContentFolderElsewhere(const fs::path& c) {
    const fs::path base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path();
    std::string pattern = (base / "kartol-eis-XXXXXX").string();
    elsewhere = mkdtemp(pattern.data());
    fs::create_directory(c / "KARTOL");
    fs::create_directory_symlink(elsewhere, c / "KARTOL/eis");
}
void AddFile(const fs::path& c) { WriteFile(c / "KARTOL/eis/MEIN.SAV", "x"); }
void FileForContentFolder(const fs::path& c) { fs::remove_all(c / "KARTOL/mars"), WriteFile(c / "KARTOL/mars", "x"); }
void CutShort(const fs::path& c) { fs::resize_file(c / kLog, fs::file_size(c / kLog) - 1); }
void Remove(const fs::path& c) { fs::remove(c / kLog); }
void Interrupted(const fs::path& c) {
    for (const char* name : {"kartol.un_", "kartol.un2", "kartol.un3"}) {
        WriteFile(c / "KARTOL" / name, "");
    }
}
// What a removal killed before its end leaves: the uninstaller and the log, which go last.
void RemovalKilled(const fs::path& c) {
    for (const auto& entry : fs::recursive_directory_iterator(c / "KARTOL")) {
        if (entry.is_regular_file() && entry.path().filename() != "uninst.exe" && entry.path() != c / kLog) {
            fs::remove(entry.path());
        }
    }
}
void LeaveFolder(const fs::path& c) {
    WriteFile(c / "victim", "keep");
    WriteFile(c / kLog, ReadFile(c / kLog) + "NC ..\\victim\r\n");
}
// clang-format on

// A target path typed into the setup, or the default, and what the setup and then the
// uninstaller leave on drive C. `prepare` makes drive C before the setup runs, `change` after.
struct UninstallCase {
    const char* name;
    const char* typedPath = "";
    void (*prepare)(const fs::path& driveC) = NoChange;
    // The setup's boxes; the folder it installs into, or null when it refuses the path and
    // must leave drive C as it was.
    std::vector<std::string> setupBoxes = {kSuccessBox};
    const char* folder = "C:\\KARTOL\\";
    void (*change)(const fs::path& driveC) = NoChange;
    int answer = IDYES;
    int exitCode = kExitRemoved;
    // Drive C afterwards; kBefore: as before the setup, kUnchanged: as before the removal.
    std::string treeAfter = kBefore;
    std::vector<std::string> boxes = {kConfirm, kRemoved};
    int installs = 1;
};

class UninstallTest : public SetupFixture, public testing::WithParamInterface<UninstallCase> {};

TEST_P(UninstallTest, LeavesDriveC) {
    const UninstallCase& c = GetParam();
    c.prepare(DriveC());
    const std::string before = Tree(DriveC());
    for (int install = 0; install < c.installs; ++install) {
        // Each install a process of its own.
        ResetProcessState();
        posix::ResetWindowing();
        if (*c.typedPath != '\0') {
            ui.Type(c.typedPath);
        }
        ui.PressEnter();
        ASSERT_EQ(RunSetup(), 1);
    }
    std::vector<std::string> expected = ui.Transcript();  // the setup's lines, then the boxes
    std::vector<std::string> setupBoxes;
    std::ranges::copy_if(expected, std::back_inserter(setupBoxes),
                         [](const std::string& line) { return line.starts_with("box "); });
    EXPECT_EQ(setupBoxes, c.setupBoxes);
    if (c.folder == nullptr) {
        EXPECT_EQ(Tree(DriveC()), before);
        return;
    }
    EXPECT_EQ(std::string{InstallDir}, c.folder);
    // Whatever stopped the setup, what removes the install is there.
    EXPECT_TRUE(fs::exists(posix::MapProgramPath(std::string{c.folder} + "uninst.exe").host));
    c.change(DriveC());
    const std::string changed = Tree(DriveC());
    ui.AnswerBox(c.answer);
    // A program manager beside drive C takes the group away.
    const fs::path run = DriveC().string() + ".run";
    fs::create_directory(run);
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    std::optional<ScriptedProgman> progman{std::in_place, std::deque<Answer>{}};

    EXPECT_EQ(UninstallFrom(c.folder, false), c.exitCode);
    progman.reset();
    fs::remove_all(run);
    EXPECT_EQ(Tree(DriveC()), c.treeAfter == kBefore      ? before
                              : c.treeAfter == kUnchanged ? changed
                                                          : c.treeAfter);
    for (const std::string& text : c.boxes) {
        expected.push_back("box Vemo Kartol Deinstallation: " + text);
    }
    EXPECT_EQ(ui.Transcript(), expected);
    if (!elsewhere.empty()) {
        fs::remove_all(std::exchange(elsewhere, {}));
    }
}

// Eleven listed files now folders, each holding one: more remainders than are named singly.
// `Count` listed files now folders, each holding one. With the content folder and the target
// that stay for them, ten remainders are named singly, more are counted.
template <int Count>
void FoldersForFiles(const fs::path& c) {
    for (int level = 1; level <= Count; ++level) {
        fs::remove(c / "KARTOL" / LevelFile(level));
        fs::create_directories(c / "KARTOL" / LevelFile(level) / "x");
    }
}
std::pair<std::string, std::string> FoldersStayed(int count) {
    std::string tree = "KARTOL/ KARTOL/eis/";
    std::vector<std::string> lines;
    for (int level = 1; level <= count; ++level) {
        tree += " KARTOL/" + LevelFile(level) + "/ KARTOL/" + LevelFile(level) + "/x/";
        lines.push_back("C:\\KARTOL\\EIS\\" + LevelFile(level).substr(4) + kInUse);
    }
    lines.insert(lines.end(), {"C:\\KARTOL\\eis"s + kAdded, "C:\\KARTOL"s + kAdded});
    if (lines.size() > 10) {
        lines.resize(11);
        lines.back() = "und " + std::to_string(count + 2 - 10) + " weitere";
    }
    return {tree, Stayed(lines)};
}
const auto [kTenTree, kTenStayed] = FoldersStayed(8);
const auto [kElevenTree, kElevenStayed] = FoldersStayed(11);
const std::string kLinkStays = "C:\\KARTOL\\EIS: ist eine Verkn\xFCpfung oder liegt dahinter";
// The longest target that installs: 116 characters typed, 117 with the backslash appended.
const std::string kLongest = "C:\\" + std::string(50, 'L') + "\\" + std::string(62, 'M');
const std::string kLongestFolder = kLongest + "\\";

// clang-format off
const UninstallCase kCases[] = {
    {.name = "Yes"},
    {.name = "SetupInterrupted", .change = Interrupted},
    {.name = "RemovalKilled", .change = RemovalKilled},
    // Installed again: the levels the first install made go as well.
    {.name = "InstalledTwice", .typedPath = "c:\\spiele\\kartol", .setupBoxes = {kSuccessBox, kSuccessBox},
     .folder = "C:\\SPIELE\\KARTOL\\", .installs = 2},
    {.name = "No", .answer = IDNO, .exitCode = kExitNothingRemoved, .treeAfter = kUnchanged, .boxes = {kConfirm}},
    {.name = "ExistingParentStays", .typedPath = "c:\\spiele\\kartol", .prepare = MakeSpiele,
     .folder = "C:\\SPIELE\\KARTOL\\"},
    // Paths as Win32 reads them: separators doubled or "/", "." and ".." (never above the root).
    {.name = "DoubledSeparators", .typedPath = "C:\\SPIELE//KARTOL\\\\", .folder = "C:\\SPIELE\\KARTOL\\"},
    {.name = "DotParts", .typedPath = "C:\\.\\KARTOL\\."},
    {.name = "DotDotStopsAtTheRoot", .typedPath = "C:\\KARTOL\\..\\..\\..\\X\\", .folder = "C:\\X\\"},
    {.name = "DriveRoot", .typedPath = "C:\\", .folder = "C:\\"},
    {.name = "RootOfAnotherDrive", .typedPath = "D:\\", .prepare = MapDriveD, .folder = "D:\\"},
    {.name = "LinkAsTarget", .prepare = LinkedTarget},
    // The files behind a link stay, as the uninstaller never follows one.
    {.name = "LinkAsContentFolder", .prepare = ContentFolderElsewhere, .exitCode = kExitSomethingStayed,
     .boxes = {kConfirm, Stayed({kLinkStays})}},
    {.name = "LongestPath", .typedPath = kLongest.c_str(), .folder = kLongestFolder.c_str()},
    // Refused before anything is made: a level whose name ends in a space, a device's name, a
    // read-only drive.
    {.name = "LevelEndsInSpace", .typedPath = "C:\\KARTOL \\", .setupBoxes = {kInvalidBox, kAbortBox}, .folder = nullptr},
    {.name = "DeviceName", .typedPath = "C:\\KARTOL\\NUL", .setupBoxes = {kInvalidBox, kAbortBox}, .folder = nullptr},
    {.name = "ReadOnlyDrive", .prepare = ReadOnlyDrive, .setupBoxes = {kNotMadeBox, kAbortBox}, .folder = nullptr},
    // A file that cannot be replaced ends the setup without a line for it, so it stays.
    {.name = "ReadOnlyFileInTheWay", .prepare = ReadOnlyFileInTheWay, .setupBoxes = {kAbortBox}},
    {.name = "StoppedAtAFile", .prepare = StoppedAtAFile, .setupBoxes = {kAbortBox}},
    {.name = "AddedFileStays", .change = AddFile, .exitCode = kExitSomethingStayed,
     .treeAfter = "KARTOL/ KARTOL/eis/ KARTOL/eis/MEIN.SAV", .boxes = {kConfirm, Stayed({"C:\\KARTOL\\eis"s + kAdded, "C:\\KARTOL"s + kAdded})}},
    {.name = "FileForContentFolder", .change = FileForContentFolder, .exitCode = kExitSomethingStayed,
     .treeAfter = "KARTOL/ KARTOL/mars", .boxes = {kConfirm, Stayed({"C:\\KARTOL\\mars"s + kAdded, "C:\\KARTOL"s + kAdded})}},
    {.name = "TenStayed", .change = FoldersForFiles<8>, .exitCode = kExitSomethingStayed, .treeAfter = kTenTree,
     .boxes = {kConfirm, kTenStayed}},
    {.name = "ManyStayed", .change = FoldersForFiles<11>, .exitCode = kExitSomethingStayed, .treeAfter = kElevenTree,
     .boxes = {kConfirm, kElevenStayed}},
    {.name = "NameLeavesFolder", .change = LeaveFolder, .exitCode = kExitNothingRemoved, .treeAfter = kUnchanged,
     .boxes = {Damaged(183)}},
    {.name = "CutShort", .change = CutShort, .exitCode = kExitNothingRemoved, .treeAfter = kUnchanged,
     .boxes = {Damaged(182)}},
    {.name = "Missing", .change = Remove, .exitCode = kExitNothingRemoved, .treeAfter = kUnchanged,
     .boxes = {Missing("C:\\KARTOL\\deinst.log")}}};
INSTANTIATE_TEST_SUITE_P(Cases, UninstallTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });
// clang-format on

// Started from the command line, the uninstaller removes its own folder's product: from a folder
// on no drive it cannot, and on one (here without a log) it reads that folder's log.
class UninstallFlowTest : public SetupFixture {};

TEST_F(UninstallFlowTest, ProgramFolderOrNothing) {
    char noHandOver[] = "";
    // The host's root is drive Z: unless set: here to a folder that is not there.
    SetVariable("KARTOL_DRIVE_Z", (DriveC() / "none").string());
    EXPECT_EQ(UninstallFlow(noHandOver), kExitNothingRemoved);
    posix::MapDrive('A', fs::canonical("/proc/self/exe").parent_path());
    EXPECT_EQ(UninstallFlow(noHandOver), kExitNothingRemoved);
    const std::string box = "box Vemo Kartol Deinstallation: ";
    // clang-format off
    EXPECT_EQ(ui.Transcript(), (std::vector<std::string>{
        box + "Der Ordner der Deinstallation konnte nicht ermittelt werden" + kNothing,
        box + Missing("A:\\deinst.log")}));
    // clang-format on
}

// Logs that no setup writes, each refused at its line (0: read), for a folder of two levels; the
// largest log a setup writes (300 names of 127 bytes) is read, a larger file not.
TEST(UninstallLogTest, RefusedAtItsLine) {
    std::string largest = "2 0 1\r\n";
    for (int entry = 0; entry < 300; ++entry) {
        largest += "NC " + std::string(127, 'a') + "\r\n";
    }
    // clang-format off
    const std::pair<std::string, int> kLogs[] = {
        {"2 0 1\r\nNC a\r\nNC EIS\\b c.d\r\n", 0}, {"1 1\r\n", 0}, {"3 0 0 1\r\n", 1}, {"17777777777777 1\r\n", 1}, {"", 1}, {"2 0 1", 1}, {"02 0 1\r\n", 1}, {"2 0 2\r\n", 1},
        {"2  0 1\r\n", 1}, {"2 0 1 \r\n", 1}, {"2 0\r\n", 1}, {"2 0 1 1\r\n", 1}, {"-2 0 1\r\n", 1},
        {"2 0 1\n", 1}, {"2 0 1\r\nNC \r\n", 2}, {"2 0 1\r\nNC C:\\x\r\n", 2}, {"2 0 1\r\nNC \\x\r\n", 2},
        {"2 0 1\r\nNC a/../../x\r\n", 2}, {"2 0 1\r\nNC a\tb\r\n", 2}, {"2 0 1\r\nNC . .\\x\r\n", 2},
        {"2 0 1\r\nnc a\r\n", 2}, {"2 0 1\r\nNC a\r\n\r\n", 3}, {largest, 0},
        {largest + std::string(kMaxLogSize + 1 - largest.size(), 'a'), 1}};
    // clang-format on
    for (const auto& [text, badLine] : kLogs) {
        const ParsedLog parsed = ParseUninstallLog(text, 2);
        EXPECT_EQ(parsed.badLine, badLine) << text.substr(0, 80);
        EXPECT_EQ(parsed.record.has_value(), badLine == 0) << text.substr(0, 80);
    }
}

}  // namespace

// The uninstaller after a real install: drive C, boxes and exit code for each kind of log.

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "setup/process_state.h"
#include "support/scripted_progman.h"
#include "support/setup_fixture.h"
#include "uninst/install_record.h"
#include "uninst/uninstall_flow.h"

namespace fs = std::filesystem;

namespace {

constexpr char kConfirm[] =
    "M\xF6"
    "chten Sie Vemo Kartol mit allen seinen Komponenten von Ihrem Computer entfernen?";
constexpr char kRemoved[] = "Vemo Kartol wurde vollst\xE4ndig von Ihrem Computer entfernt.";
constexpr char kNothing[] = ". Es wurde nichts entfernt.";
constexpr char kUnchanged[] = "=";
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

std::string Damaged(int line) {
    return "Das Deinstallationsprotokoll C:\\KARTOL\\deinst.log ist besch\xE4"
           "digt (Zeile " +
           std::to_string(line) + ")" + kNothing;
}

// "eis/LEVEL001.BTN" and on: the level files of one content folder.
std::string LevelFile(int level) {
    char name[sizeof "eis/LEVEL000.BTN"];
    std::snprintf(name, sizeof name, "eis/LEVEL%03d.BTN", level);
    return name;
}

struct UninstallCase {
    const char* name;
    const char* typedPath;                   // typed into the path dialog; empty for the default
    void (*change)(const fs::path& driveC);  // between install and removal
    int answer;
    int exitCode;
    std::string treeAfter;  // drive C afterwards; kUnchanged: as before the removal
    std::vector<std::string> boxes;
};

class UninstallTest : public SetupFixture, public testing::WithParamInterface<UninstallCase> {};

TEST_P(UninstallTest, LeavesDriveC) {
    const UninstallCase& c = GetParam();
    if (*c.typedPath != '\0') {
        fs::create_directory(DriveC() / "SPIELE");
        ui.Type(c.typedPath);
    }
    ui.PressEnter();
    ASSERT_EQ(RunSetup(), 1);
    c.change(DriveC());
    const std::string before = Tree(DriveC());
    std::vector<std::string> expected = ui.Transcript();  // the setup's lines, then the boxes
    ui.AnswerBox(c.answer);
    // A program manager beside drive C takes the group away.
    const fs::path run = DriveC().string() + ".run";
    fs::create_directory(run);
    setenv("XDG_RUNTIME_DIR", run.c_str(), 1);
    std::optional<ScriptedProgman> progman{std::in_place, std::deque<Answer>{}};

    EXPECT_EQ(UninstallFrom(InstallDir, false), c.exitCode);
    progman.reset();
    fs::remove_all(run);
    EXPECT_EQ(Tree(DriveC()), c.treeAfter == kUnchanged ? before : c.treeAfter);
    for (const std::string& text : c.boxes) {
        expected.push_back("box Vemo Kartol Deinstallation: " + text);
    }
    EXPECT_EQ(ui.Transcript(), expected);
}

// clang-format off
void NoChange(const fs::path&) {}
void AddFile(const fs::path& c) { WriteFile(c / "KARTOL/eis/MEIN.SAV", "x"); }
void CutShort(const fs::path& c) { fs::resize_file(c / kLog, fs::file_size(c / kLog) - 1); }
void Remove(const fs::path& c) { fs::remove(c / kLog); }
void Interrupted(const fs::path& c) {
    for (const char* name : {"kartol.un_", "kartol.un2", "kartol.un3"}) {
        WriteFile(c / "KARTOL" / name, "");
    }
}
void LeaveFolder(const fs::path& c) {
    WriteFile(c / "victim", "keep");
    WriteFile(c / kLog, ReadFile(c / kLog) + "NC ..\\victim\r\n");
}
void LinkToOutside(const fs::path& c) {
    fs::remove_all(c / "KARTOL/mars");
    fs::create_directory(c / "outside");
    WriteFile(c / "outside/LEVEL001.BTN", "mine");
    fs::create_directory_symlink("../outside", c / "KARTOL/mars");
}
// Eleven listed files now folders, each holding one: more remainders than are named singly.
void ElevenFolders(const fs::path& c) {
    for (int level = 1; level <= 11; ++level) {
        fs::remove(c / "KARTOL" / LevelFile(level));
        fs::create_directories(c / "KARTOL" / LevelFile(level) / "x");
    }
}
const auto [kElevenTree, kElevenStayed] = [] {
    std::string tree = "KARTOL/ KARTOL/eis/";
    std::vector<std::string> lines;
    for (int level = 1; level <= 11; ++level) {
        tree += " KARTOL/" + LevelFile(level) + "/ KARTOL/" + LevelFile(level) + "/x/";
        lines.push_back("C:\\KARTOL\\EIS\\" + LevelFile(level).substr(4) + kInUse);
    }
    lines.back() = "und 3 weitere";
    return std::pair{tree, Stayed(lines)};
}();
const std::string kMissing = "Das Deinstallationsprotokoll C:\\KARTOL\\deinst.log fehlt oder kann "
                             "nicht gelesen werden" + std::string(kNothing);
const std::string kAddedEis = std::string("C:\\KARTOL\\eis") + kAdded;
const std::string kAddedKartol = std::string("C:\\KARTOL") + kAdded;
const std::string kLinkStays = "C:\\KARTOL\\MARS: ist eine Verkn\xFCpfung oder liegt dahinter";

const UninstallCase kCases[] = {
    {"Yes", "", NoChange, IDYES, kExitRemoved, "", {kConfirm, kRemoved}},
    {"SetupInterrupted", "", Interrupted, IDYES, kExitRemoved, "", {kConfirm, kRemoved}},
    {"No", "", NoChange, IDNO, kExitNothingRemoved, kUnchanged, {kConfirm}},
    {"ExistingParentStays", "c:\\spiele\\kartol", NoChange, IDYES, kExitRemoved, "SPIELE/", {kConfirm, kRemoved}},
    {"AddedFileStays", "", AddFile, IDYES, kExitSomethingStayed, "KARTOL/ KARTOL/eis/ KARTOL/eis/MEIN.SAV",
     {kConfirm, Stayed({kAddedEis, kAddedKartol})}},
    {"ManyStayed", "", ElevenFolders, IDYES, kExitSomethingStayed, kElevenTree, {kConfirm, kElevenStayed}},
    {"LinkNotFollowed", "", LinkToOutside, IDYES, kExitSomethingStayed,
     "KARTOL/ KARTOL/mars outside/ outside/LEVEL001.BTN", {kConfirm, Stayed({kLinkStays, kAddedKartol})}},
    {"NameLeavesFolder", "", LeaveFolder, IDYES, kExitNothingRemoved, kUnchanged, {Damaged(183)}},
    {"CutShort", "", CutShort, IDYES, kExitNothingRemoved, kUnchanged, {Damaged(182)}},
    {"Missing", "", Remove, IDYES, kExitNothingRemoved, kUnchanged, {kMissing}}};
INSTANTIATE_TEST_SUITE_P(Cases, UninstallTest, testing::ValuesIn(kCases),
                         [](const auto& info) { return info.param.name; });
// clang-format on

// Logs that no setup writes, each refused at its line (0: read); the levels of the folder are two.
TEST(InstallLogTest, RefusedAtItsLine) {
    // clang-format off
    const std::pair<const char*, int> kLogs[] = {
        {"2 0 1\r\nNC a\r\nNC EIS\\b c.d\r\n", 0}, {"", 1}, {"2 0 1", 1}, {"02 0 1\r\n", 1}, {"2 0 2\r\n", 1},
        {"2  0 1\r\n", 1}, {"2 0 1 \r\n", 1}, {"2 0\r\n", 1}, {"2 0 1 1\r\n", 1}, {"-2 0 1\r\n", 1},
        {"2 0 1\n", 1}, {"2 0 1\r\nNC \r\n", 2}, {"2 0 1\r\nNC C:\\x\r\n", 2}, {"2 0 1\r\nNC \\x\r\n", 2},
        {"2 0 1\r\nNC a/../../x\r\n", 2}, {"2 0 1\r\nNC a\tb\r\n", 2}, {"2 0 1\r\nNC . .\\x\r\n", 2},
        {"2 0 1\r\nnc a\r\n", 2}, {"2 0 1\r\nNC a\r\n\r\n", 3}};
    // clang-format on
    for (const auto& [text, badLine] : kLogs) {
        const ParsedLog parsed = ParseInstallLog(text, 2);
        EXPECT_EQ(parsed.badLine, badLine) << text;
        EXPECT_EQ(parsed.record.has_value(), badLine == 0) << text;
    }
}

// The largest log a setup writes (120 levels, 300 names of 127 bytes) is read; a larger file not.
TEST(InstallLogSizeTest, LargestLogOfASetupIsRead) {
    std::string log = "120";
    for (int level = 0; level < 120; ++level) {
        log += " 1";
    }
    log += "\r\n";
    for (int entry = 0; entry < 300; ++entry) {
        log += "NC " + std::string(127, 'a') + "\r\n";
    }
    ASSERT_EQ(ParseInstallLog(log, 120).record->files.size(), 300U);
    log.resize(kMaxLogSize + 1, 'a');
    EXPECT_EQ(ParseInstallLog(log, 120).badLine, 1);
}

}  // namespace

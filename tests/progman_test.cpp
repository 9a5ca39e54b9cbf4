// Registration and its DDE client against a scripted program manager (what it received, which
// conversations were ended, what the client still holds); the native program manager's syntax,
// groups and menu files.
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <vector>

#include "formats/group_contents.h"
#include "platform/host/progman_link.h"
#include "platform/posix/ddeml/dde_objects.h"
#include "platform/posix/faults/fault_injection.h"
#include "progman/product_group.h"
#include "progman/progman_command.h"
#include "progman/progman_groups.h"
#include "progman/register_program_group.h"
#include "progman_server/command_parser.h"
#include "progman_server/desktop_entry.h"
#include "progman_server/menu_store.h"
#include "progman_server/program_manager.h"
#include "state/process_state.h"
#include "support/scripted_progman.h"
#include "support/setup_fixture.h"

namespace fs = std::filesystem;
using posix::Api;
using progman::Verb;
using namespace std::string_literals;

namespace {

class ProgmanTest : public SetupFixture {
  protected:
    void SetUp() override {
        SetupFixture::SetUp();
        setenv("XDG_RUNTIME_DIR", DriveC().c_str(), 1);
    }
};

// A run's six commands go out whole, each with its terminating NUL and in a conversation of its
// own that the client ends, for InstallDir lengths around the old 260-byte limit (the
// uninstaller's AddItem is 40 bytes longer) and the longest one.
TEST_F(ProgmanTest, RunSendsSixCommandsInSixConversationsWhateverTheAnswers) {
    for (std::size_t dirLength :
         {std::size_t{10}, std::size_t{219}, std::size_t{220}, kInstallDirSize - 1}) {
        const std::string dir = "C:\\" + std::string(dirLength - 4, 'A') + "\\";
        std::snprintf(InstallDir, sizeof InstallDir, "%s", dir.c_str());
        for (Answer answer : {Answer::Accept, Answer::Refuse}) {
            ScriptedProgman progman{std::deque<Answer>(6, answer)};
            EXPECT_EQ(RegisterProgramGroup(), 1);
            EXPECT_EQ(progman.Requests(),
                      (std::vector{"[DeleteGroup(\"Vemo Kartol\")]\0"s,
                                   "[CreateGroup(\"Vemo Kartol\")]\0"s,
                                   "[ShowGroup(\"Vemo Kartol\",1)]\0"s,
                                   "[AddItem(\"" + dir + "kartol.exe\",\"Vemo Kartol\")]\0"s,
                                   "[ShowGroup(\"Vemo Kartol\",1)]\0"s,
                                   "[AddItem(\"" + dir + "uninst.exe\",\"Deinstallation\")]\0"s}))
                << dirLength;
            EXPECT_EQ(progman.Taken(), (Conversations{6, 6}));
        }
    }
}

// Whatever the outcome, the client keeps no DDE object and ends the conversation it began.
TEST_F(ProgmanTest, EveryOutcomeReleasesWhatTheConversationHeld) {
    using enum Answer;
    using enum Api;
    // The calls failed, whether a server listens and its answer, the result, the conversations
    // the program manager took and saw ended, and whether the client waited the full request
    // timeout.
    // clang-format off
    const struct { const char* name; std::vector<Api> injected; bool server; Answer answer; int result;
                   Conversations taken; bool waits; } cases[] = {
        {"accepted", {}, true, Accept, 1, {1, 1}, false},
        {"refused", {}, true, Refuse, 0, {1, 1}, false},
        {"not answered", {}, true, Silent, 0, {1, 1}, true},
        {"no server", {}, false, Accept, 0, {}, false},
        {"initialisation fails", {DdeInitializeA}, true, Accept, 0, {}, false},
        {"no string handle", {DdeCreateStringHandleA}, true, Accept, 0, {}, false},
        {"transaction fails", {DdeClientTransaction}, true, Accept, 0, {1, 1}, false}};
    // clang-format on
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        posix::ClearInjections();
        for (Api api : c.injected) {
            posix::Inject(api, {});
        }
        std::optional<ScriptedProgman> progman;
        if (c.server) {
            progman.emplace(std::deque<Answer>{c.answer});
        }
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(SendProgmanCommand("[CreateGroup(\"Vemo Kartol\")]"), c.result);
        const auto took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(progman ? progman->Taken() : Conversations{}, c.taken);
        EXPECT_EQ(posix::HeldDdeObjects(), 0u);
        EXPECT_EQ(took >= std::chrono::milliseconds{1000}, c.waits);
        EXPECT_LT(took, std::chrono::milliseconds{2500});
    }
}

// A command one character too long for the buffer does not go out. An item's result is its
// AddItem's alone: a refused ShowGroup before it does not count.
TEST_F(ProgmanTest, LongCommandsGoOutWholeOrNotAtAll) {
    const std::size_t longest = kProgmanCommandSize - 1;
    for (std::size_t length : {longest, longest + 1}) {
        ScriptedProgman progman{{Answer::Refuse}};
        const std::string commandLine(length - kAddItemFrameLength - 1, 'X');
        EXPECT_EQ(AddProgmanItem("G", commandLine.c_str(), "C"), length == longest ? 1 : 0);
        EXPECT_EQ(progman.Requests().size(), length == longest ? 2u : 1u);
    }
}

// The client side only, an instance made afresh and ended once, a string handle freed once; what
// it does not provide is refused as invalid.
TEST(DdeClientTest, InstancesOfTheClientSideOnly) {
    const auto initialize = [](DWORD instance, PFNCALLBACK callback, DWORD command,
                               DWORD reserved) {
        return DdeInitializeA(&instance, callback, command, reserved);
    };
    constexpr auto kInvalid = static_cast<UINT>(DMLERR_INVALIDPARAMETER);
    EXPECT_EQ(initialize(1, DdeClientCallback, APPCMD_CLIENTONLY, 0), kInvalid);
    EXPECT_EQ(initialize(0, nullptr, APPCMD_CLIENTONLY, 0), kInvalid);
    EXPECT_EQ(initialize(0, DdeClientCallback, 0, 0), kInvalid);
    EXPECT_EQ(initialize(0, DdeClientCallback, APPCMD_CLIENTONLY, 1), kInvalid);
    DWORD instance = 0;
    ASSERT_EQ(DdeInitializeA(&instance, DdeClientCallback, APPCMD_CLIENTONLY, 0),
              static_cast<UINT>(DMLERR_NO_ERROR));
    const HSZ text = DdeCreateStringHandleA(instance, "PROGMAN", CP_WINANSI);
    EXPECT_TRUE(DdeFreeStringHandle(instance, text));
    EXPECT_FALSE(DdeFreeStringHandle(instance, text));
    EXPECT_TRUE(DdeUninitialize(instance));
    EXPECT_FALSE(DdeUninitialize(instance));
}

// A request's data: its size, what fits from an offset on, freed once; the instance's end frees
// what it still holds.
TEST_F(ProgmanTest, RequestedDataBelongsToItsInstance) {
    ScriptedProgman progman{{Answer::Contents, Answer::Contents}};
    DWORD instance = 0;
    DdeInitializeA(&instance, DdeClientCallback, APPCMD_CLIENTONLY, 0);
    const HSZ name = DdeCreateStringHandleA(instance, "Vemo Kartol", CP_WINANSI);
    const HCONV conversation = DdeConnect(instance, name, name, nullptr);
    const auto request = [&] {
        return DdeClientTransaction(nullptr, 0, conversation, name, CF_TEXT, XTYP_REQUEST, 1000,
                                    nullptr);
    };
    const HDDEDATA data = request();
    BYTE bytes[4] = {};
    EXPECT_EQ(DdeGetData(data, nullptr, 0, 0), 8u);
    EXPECT_EQ(DdeGetData(data, bytes, sizeof bytes, 5), 3u);
    EXPECT_EQ(std::string(bytes, bytes + 3), "nts");
    EXPECT_TRUE(DdeFreeDataHandle(data));
    EXPECT_FALSE(DdeFreeDataHandle(data));
    const HDDEDATA held = request();
    EXPECT_EQ(progman.Requests(), (std::vector<std::string>(2, "Vemo Kartol")));
    DdeUninitialize(instance);
    EXPECT_EQ(DdeGetData(held, nullptr, 0, 0), 0u);
}

// Without a usable XDG_RUNTIME_DIR the socket lies in a folder of this user below TMPDIR.
TEST_F(ProgmanTest, SocketPathFallsBackToAFolderOfTheUser) {
    setenv("TMPDIR", DriveC().c_str(), 1);
    const fs::path fallback =
        DriveC() / ("vemo-kartol-" + std::to_string(getuid())) / "vemo-kartol-progman.socket";
    for (const Setting& runtime : {Setting{}, Setting{"relative"}}) {
        SetVariable("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(host::ProgmanSocketPath(), fallback);
    }
    unsetenv("TMPDIR");
}

TEST(ProgmanCommandParser, AcceptsTheFourCommandsAndRefusesMalformedOnes) {
    const std::string path259 = std::string(259 - 24, 'A');  // [AddItem("…","Vemo")] is 259
    // clang-format off
    const struct { std::string text; Verb verb; std::vector<std::string> arguments; } accepted[] = {
        {"[DeleteGroup(\"Vemo Kartol\")]", Verb::DeleteGroup, {"Vemo Kartol"}},
        {" [ createGROUP ( Vemo Kartol ) ] ", Verb::CreateGroup, {"Vemo Kartol"}},
        {"[ShowGroup(\"Vemo Kartol\",109)]", Verb::ShowGroup, {"Vemo Kartol", "109"}},
        {"[AddItem(\"C:\\K\\a.exe\",\"Eins, zwei (drei)\")]", Verb::AddItem, {"C:\\K\\a.exe", "Eins, zwei (drei)"}},
        {"[AddItem(\"" + path259 + "\",\"Vemo\")]", Verb::AddItem, {path259, "Vemo"}},
        {"[AddItem(\"" + path259 + "B\",\"Vemo\")]", Verb::AddItem, {path259 + "B", "Vemo"}}};
    // clang-format on
    for (const auto& c : accepted) {
        const auto command = progman::ParseCommand(c.text);
        ASSERT_TRUE(command) << c.text;
        EXPECT_EQ(command->verb, c.verb) << c.text;
        EXPECT_EQ(command->arguments, c.arguments) << c.text;
    }
    for (const char* text :
         {"[AddItem(C:\\K\\a.exe,Eins, zwei)]", "[DeleteGroup(\"Vemo Kartol\")",
          "DeleteGroup(\"Vemo Kartol\")]", "[DeleteGroup\"Vemo Kartol\")]",
          "[DeleteGroup(\"Vemo Kartol)]", "[DeleteGroup(\"Vemo\" Kartol)]",
          "[DeleteGroup(\"Vemo Kartol\")]x", "[DeleteGroup(Vemo]", "[DeleteGroup()]",
          "[DeleteGroup(\"Vemo\tKartol\")]", "[RenameGroup(\"Vemo Kartol\")]",
          "[CreateGroup(\"A\",\"B\")]", "[ShowGroup(\"Vemo Kartol\",eins)]",
          "[AddItem(\"C:\\K\\a.exe\")]", ""}) {
        EXPECT_FALSE(progman::ParseCommand(text)) << text;
    }
}

// The command lines in a group's contents as the native server writes them (a caption with
// quotes and a path with a comma) and as Program Manager did (no line end after the last);
// other text, or an item line without its two quoted fields, gives none.
TEST(GroupContentsTest, CommandLinesOfTheItems) {
    using List = std::vector<std::string>;
    const std::string composed = group_contents::Compose(
        "G", "/g",
        std::vector<group_contents::Item>{{"Ein \"A\",B", "C:\\A,B\\a.exe"}, {"U", "u.exe"}});
    const std::string main =
        "\"MAIN\",C:\\WINDOWS\\MAIN.GRP,1,3\r\n\"Mail\",\"MSMAIL.EXE\",,MSMAIL.EXE,258,2,0,0,0";
    // clang-format off
    const std::pair<std::string, std::optional<List>> cases[] = {
        {composed, List{"C:\\A,B\\a.exe", "u.exe"}}, {main, List{"MSMAIL.EXE"}}, {main + "\r\n\0x"s, List{"MSMAIL.EXE"}},
        {"\"G\",/g,0,1\r\n", List{}}, {"\"G\"", List{}}, {"", std::nullopt}, {"G,/g,0,1\r\n", std::nullopt},
        {"\"G\"\r\nA,\"a.exe\"", std::nullopt}, {"\"G\"\r\n\"A\"\r\n\"B\",\"b\"", std::nullopt}, {"\"G\"\r\n\"A\",a.exe", std::nullopt}, {"\"G\"\r\n\"A\",\"a.exe", std::nullopt}};
    // clang-format on
    for (const auto& [answer, lines] : cases) {
        EXPECT_EQ(group_contents::CommandLines(answer), lines) << answer;
    }
}

// Exec values read back as ExecValue writes them; a quote left open gives none.
TEST(DesktopEntryTest, ExecArgumentsAsWritten) {
    EXPECT_EQ(progman::ExecArguments(R"("env" "K=\"a\" 100%%" "c\\d\$")"),
              (std::vector<std::string>{"env", "K=\"a\" 100%", "c\\d$"}));
    for (const char* open : {R"("env" "c)", R"("env" "c\)"}) {
        EXPECT_EQ(progman::ExecArguments(open), std::nullopt) << open;
    }
}

class ProgramManagerTest : public SetupFixture {};

TEST_F(ProgramManagerTest, CommandsChangeTheGroupsAsTheProgramManagerDoes) {
    progman::ProgramManager manager{{DriveC() / "data", DriveC() / "config"}, {}};
    // clang-format off
    const struct { std::string request; bool accepted; } steps[] = {
        {"[DeleteGroup(\"Vemo Kartol\")]", false}, {"[AddItem(\"C:\\KARTOL\\kartol.exe\",\"Vemo Kartol\")]", false},
        {"[ShowGroup(\"Vemo Kartol\",1)]", false}, {"[CreateGroup(\"Alt & <neu>\")]", true},
        {"[AddItem(\"C:\\ALT\\x.exe\",\"X\")]", true}, {"[CreateGroup(\"Vemo Kartol\")]", true},
        {"[AddItem(\"C:\\KARTOL\\alt.exe\",\"Alt\")]", true}, {"[DeleteGroup(\"VEMO KARTOL\")]", true},
        {"[AddItem(\"C:\\KARTOL\\alt.exe\",\"Alt\")]", false}, {"[CreateGroup(\"Vemo Kartol\")]", true},
        {"[CreateGroup(\"vemo kartol\")]", true}, {"[ShowGroup(\"Vemo Kartol\",1)]", true},
        {"[AddItem(\"C:\\VEMO 100%\\kartol.exe\",\" Vemo \\ Kartol\")]", true},
        {"[AddItem(\"KARTOL\\kartol.exe\",\"relativ\")]", false},
        {"[AddItem(\"Q:\\kartol.exe\",\"ohne Laufwerk\")]", false},
        {"[ShowGroup(\"Vemo Kartol\",1)]", true}, {"[AddItem(\"C:\\$`\\uninst.exe\",\"Deinstallation\")]\0rest"s, true},
        {"[AddItem(\"N:\\zeile.exe\",\"Zeile\")]", true}, {"[AddItem(\"B:\\bell.exe\",\"Bell\")]", false},
        {"[Unknown()]", false}};
    // clang-format on
    // Drive folders with control characters: a line feed is escaped, others refused.
    for (const auto& [letter, name] : {std::pair{'N', "neue\nzeile"}, {'B', "bell\a"}}) {
        fs::create_directory(DriveC() / name);
        posix::MapDrive(letter, DriveC() / name);
    }
    for (const auto& step : steps) {
        EXPECT_EQ(progman::Execute(manager, step.request), step.accepted) << step.request;
    }
    // Items list in the order they were added, past nine of them, and other files are no items.
    std::vector<std::string> expected{"Alt & <neu>", "  X -> C:\\ALT\\x.exe"};
    ASSERT_TRUE(progman::Execute(manager, "[ShowGroup(\"Alt & <neu>\",1)]"));
    for (const std::string n : {"2", "3", "4", "5", "6", "7", "8", "9", "10", "11"}) {
        ASSERT_TRUE(progman::Execute(manager, "[AddItem(\"C:\\" + n + ".exe\"," + n + ")]"));
        expected.push_back("  " + n + " -> C:\\" + n + ".exe");
    }
    WriteFile(DriveC() / "data/applications/vemo-kartol/ALT_20_26_20_3CNEU_3E/item-12.bak", "");
    std::vector<std::string> groups;
    for (const progman::MenuGroup& group : progman::ListGroups(manager.folders)) {
        groups.push_back(group.name);
        for (const auto& item : group.items) {
            groups.push_back("  " + item.caption + " -> " + item.commandLine);
        }
    }
    expected.insert(expected.end(),
                    {"Vemo Kartol", "   Vemo \\ Kartol -> C:\\VEMO 100%\\kartol.exe",
                     "  Deinstallation -> C:\\$`\\uninst.exe", "  Zeile -> N:\\zeile.exe"});
    EXPECT_EQ(groups, expected);
    // Each group's menu, its folder entry and an entry per item; the entries pass the validator.
    for (const auto& [extension, count] :
         {std::pair{".menu", 2}, std::pair{".directory", 2}, std::pair{".desktop", 14}}) {
        int found = 0;
        for (const auto& entry : fs::recursive_directory_iterator{DriveC()}) {
            if (entry.path().extension() == extension) {
                const std::string command = "desktop-file-validate '" + entry.path().string() + "'";
                ++found;
                EXPECT_TRUE(extension == ".menu"s || std::system(command.c_str()) == 0)
                    << entry.path();
            }
        }
        EXPECT_EQ(found, count) << extension;
    }
    const std::string menuText =
        ReadFile(DriveC() / "config/menus/applications-merged/vemo-kartol-VEMO_20KARTOL.menu");
    for (const char* item : {"item-1", "item-2"}) {
        EXPECT_PRED_FORMAT2(testing::IsSubstring,
                            "<Filename>vemo-kartol-VEMO_20KARTOL-"s + item + ".desktop</Filename>",
                            menuText);
    }
    // By hand: a lone backslash at the end of a value stands for itself.
    WriteFile(DriveC() / "data/applications/vemo-kartol/ALT_20_26_20_3CNEU_3E/item-12.desktop",
              "Name=\\sHand\\\\ \\\n");
    EXPECT_EQ(progman::ListGroups(manager.folders)[0].items.back().caption, " Hand\\ \\");
}

// Folders that cannot be made (they would lie below a file), a menu file whose name a folder
// holds: nothing is selected.
TEST_F(ProgramManagerTest, GroupThatCannotBeWrittenIsRefused) {
    WriteFile(DriveC() / "file", "x");
    fs::create_directories(DriveC() /
                           "config/menus/applications-merged/vemo-kartol-VEMO_20KARTOL.menu/x");
    for (const fs::path& folder : {DriveC() / "file", DriveC()}) {
        progman::ProgramManager manager{{folder / "data", folder / "config"}, {}};
        EXPECT_FALSE(progman::Execute(manager, "[CreateGroup(\"Vemo Kartol\")]")) << folder;
        EXPECT_EQ(manager.selected, "");
    }
}

}  // namespace

// The native program manager: its command syntax, what the commands do to the groups, and
// the menu files it keeps them in.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/posix/drive_map.h"
#include "progman_server/command_parser.h"
#include "progman_server/menu_store.h"
#include "progman_server/program_manager.h"

namespace fs = std::filesystem;
using progman::Verb;
using namespace std::string_literals;

namespace {

TEST(ProgmanCommandParser, AcceptsTheFourCommandsAndRefusesMalformedOnes) {
    const std::string path259 = std::string(259 - 24, 'A');  // [AddItem("…","Vemo")] is 259
    const struct {
        std::string text;
        Verb verb;
        std::vector<std::string> arguments;
    } accepted[] = {
        {"[DeleteGroup(\"Vemo Kartol\")]", Verb::DeleteGroup, {"Vemo Kartol"}},
        {" [ createGROUP ( Vemo Kartol ) ] ", Verb::CreateGroup, {"Vemo Kartol"}},
        {"[ShowGroup(\"Vemo Kartol\",1)]", Verb::ShowGroup, {"Vemo Kartol", "1"}},
        {"[AddItem(\"C:\\K\\a.exe\",\"Eins, zwei (drei)\")]",
         Verb::AddItem,
         {"C:\\K\\a.exe", "Eins, zwei (drei)"}},
        {"[AddItem(\"" + path259 + "\",\"Vemo\")]", Verb::AddItem, {path259, "Vemo"}},
        {"[AddItem(\"" + path259 + "B\",\"Vemo\")]", Verb::AddItem, {path259 + "B", "Vemo"}},
    };
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

class ProgramManagerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("progman-server-test-" + std::to_string(getpid()));
        fs::create_directories(root_ / "c");
        posix::MapDrive('C', root_ / "c");
        manager_.folders = {root_ / "data", root_ / "config"};
    }
    void TearDown() override {
        posix::UnmapDrive('C');
        fs::remove_all(root_);
    }

    std::vector<std::string> MenuFiles(const char* extension) const {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator{root_}) {
            if (entry.path().extension() == extension) {
                files.push_back(entry.path().string());
            }
        }
        return files;
    }

    fs::path root_;
    progman::ProgramManager manager_;
};

TEST_F(ProgramManagerTest, CommandsChangeTheGroupsAsTheProgramManagerDoes) {
    const struct {
        std::string request;
        bool accepted;
    } steps[] = {
        {"[DeleteGroup(\"Vemo Kartol\")]", false},
        {"[AddItem(\"C:\\KARTOL\\kartol.exe\",\"Vemo Kartol\")]", false},
        {"[ShowGroup(\"Vemo Kartol\",1)]", false},
        {"[CreateGroup(\"Alt & <neu>\")]", true},
        {"[AddItem(\"C:\\ALT\\x.exe\",\"X\")]", true},
        {"[CreateGroup(\"Vemo Kartol\")]", true},
        {"[AddItem(\"C:\\KARTOL\\alt.exe\",\"Alt\")]", true},
        {"[DeleteGroup(\"VEMO KARTOL\")]", true},
        {"[AddItem(\"C:\\KARTOL\\alt.exe\",\"Alt\")]", false},
        {"[CreateGroup(\"Vemo Kartol\")]", true},
        {"[CreateGroup(\"vemo kartol\")]", true},
        {"[ShowGroup(\"Vemo Kartol\",1)]", true},
        {"[AddItem(\"C:\\VEMO 100%\\kartol.exe\",\" Vemo \\ Kartol\")]", true},
        {"[AddItem(\"KARTOL\\kartol.exe\",\"relativ\")]", false},
        {"[AddItem(\"Q:\\kartol.exe\",\"ohne Laufwerk\")]", false},
        {"[ShowGroup(\"Vemo Kartol\",1)]", true},
        {"[AddItem(\"C:\\$`\\uninst.exe\",\"Deinstallation\")]\0rest"s, true},
        {"[Unknown()]", false},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(progman::Execute(manager_, step.request), step.accepted) << step.request;
    }
    std::vector<std::string> groups;
    for (const progman::MenuGroup& group : progman::ListGroups(manager_.folders)) {
        groups.push_back(group.name);
        for (const auto& item : group.items) {
            groups.push_back("  " + item.caption + " -> " + item.commandLine);
        }
    }
    EXPECT_EQ(groups,
              (std::vector<std::string>{"Alt & <neu>", "  X -> C:\\ALT\\x.exe", "Vemo Kartol",
                                        "   Vemo \\ Kartol -> C:\\VEMO 100%\\kartol.exe",
                                        "  Deinstallation -> C:\\$`\\uninst.exe"}));
    EXPECT_EQ(MenuFiles(".menu").size(), 2u);
    std::ifstream menu{root_ / "config/menus/applications-merged/vemo-kartol-VEMO_20KARTOL.menu"};
    const std::string menuText{std::istreambuf_iterator<char>{menu}, {}};
    for (const char* item : {"item-1", "item-2"}) {
        EXPECT_NE(menuText.find(std::string{"<Filename>vemo-kartol-VEMO_20KARTOL-"} + item +
                                ".desktop</Filename>"),
                  std::string::npos)
            << menuText;
    }
    EXPECT_EQ(MenuFiles(".directory").size(), 2u);
    std::vector<std::string> entries = MenuFiles(".desktop");
    EXPECT_EQ(entries.size(), 3u);
    entries.insert(entries.end(), {MenuFiles(".directory")[0], MenuFiles(".directory")[1]});
    for (const std::string& file : entries) {
        const std::string command = "desktop-file-validate '" + file + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << file;
    }
}

// Folders that cannot be made (they would lie below a file): nothing is created or selected.
TEST_F(ProgramManagerTest, GroupThatCannotBeWrittenIsRefused) {
    std::ofstream{root_ / "file"} << "x";
    manager_.folders = {root_ / "file/data", root_ / "file/config"};
    EXPECT_FALSE(progman::Execute(manager_, "[CreateGroup(\"Vemo Kartol\")]"));
    EXPECT_EQ(manager_.selected, "");
}

}  // namespace

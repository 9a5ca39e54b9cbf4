// The program groups as the desktop's own menu, following the XDG menu layout:
//   $XDG_DATA_HOME/desktop-directories/vemo-kartol-<key>.directory      the group's name
//   $XDG_DATA_HOME/applications/vemo-kartol/<key>/item-<n>.desktop      one per item, in order
//   $XDG_CONFIG_HOME/menus/applications-merged/vemo-kartol-<key>.menu   the group as a submenu
// (XDG_DATA_HOME defaults to ~/.local/share, XDG_CONFIG_HOME to ~/.config). <key> stands for
// the group's name without regard to case, so a group is found again by any spelling of its
// name, and the files alone are the store: groups outlive the server.
//
// Names come in code page 1252 and are written as UTF-8.
#ifndef KARTOL_PROGMAN_SERVER_MENU_STORE_H
#define KARTOL_PROGMAN_SERVER_MENU_STORE_H

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace progman {

struct MenuFolders {
    std::filesystem::path data;    // $XDG_DATA_HOME
    std::filesystem::path config;  // $XDG_CONFIG_HOME
};

// The folders of this user, or nothing when neither the XDG variable nor HOME gives one.
std::optional<MenuFolders> MenuFoldersFromEnvironment();

struct MenuItem {
    std::string caption;      // UTF-8
    std::string commandLine;  // UTF-8, the program path as the program manager was given it
    std::string program;      // UTF-8, the program's host path; empty when the item has none
};

struct MenuGroup {
    std::string name;            // UTF-8
    std::filesystem::path file;  // its .directory file
    std::vector<MenuItem> items;
};

bool GroupExists(const MenuFolders& folders, std::string_view group);
// Makes an empty group unless one of that name exists; false when its files cannot be made.
bool CreateGroup(const MenuFolders& folders, std::string_view group);
// Removes the group with all its items; false when there is no such group.
bool DeleteGroup(const MenuFolders& folders, std::string_view group);
// What an item starts: the host file, in a terminal, in its own folder, with the setting of
// the drive it lies on ("KARTOL_DRIVE_C=/home/user/spiele"), so that it finds its program
// path whatever drives the desktop's session has.
struct ItemProgram {
    std::filesystem::path file;
    std::string driveSetting;
};

// Appends an item that starts program to an existing group; refused when a path or text holds
// a control character that a desktop entry cannot hold.
bool AddItem(const MenuFolders& folders, std::string_view group, std::string_view commandLine,
             std::string_view caption, const ItemProgram& program);
// Every group with its items, groups by name, items in the order they were added.
std::vector<MenuGroup> ListGroups(const MenuFolders& folders);
// The group of that name with its items, or nothing when there is none.
std::optional<MenuGroup> FindGroup(const MenuFolders& folders, std::string_view group);

// What a server finds as it starts: the temporary files that a server killed while writing
// left are removed, and so is each group whose items' programs are all gone (the product was
// removed while no server ran). A program counts as gone only from a drive folder that is
// there: a group on a drive whose folder is missing (a disk not mounted) stays. Returns the
// names of the groups removed.
std::vector<std::string> TidyStore(const MenuFolders& folders);

}  // namespace progman

#endif

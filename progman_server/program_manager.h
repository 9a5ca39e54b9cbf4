// What the four commands do to the groups, and what a request for a group answers. The program
// manager has one selected group across all conversations: CreateGroup and ShowGroup select theirs,
// AddItem adds to it, DeleteGroup of it leaves none selected.
#ifndef KARTOL_PROGMAN_SERVER_PROGRAM_MANAGER_H
#define KARTOL_PROGMAN_SERVER_PROGRAM_MANAGER_H

#include <optional>
#include <string>
#include <string_view>

#include "menu_store.h"

namespace progman {

struct ProgramManager {
    MenuFolders folders;
    std::string selected;  // code page 1252; empty when none
};

// Carries out one execute request's data (code page 1252 text, ending at its first NUL):
// true when it was a well-formed command that could be done. DeleteGroup is refused for a
// group that does not exist, ShowGroup likewise, AddItem without a selected group and for a
// command line that is not a program path the drive map can place on the host.
bool Execute(ProgramManager& manager, std::string_view request);

// Answers a request transaction for an item, a group's name in code page 1252, with the
// group's contents (formats/group_contents.h), each item's program named through the drives
// in force (the client's); nothing when there is no such group.
std::optional<std::string> Request(const ProgramManager& manager, std::string_view item);

}  // namespace progman

#endif

#include "program_manager.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "command_parser.h"
#include "formats/group_contents.h"
#include "formats/program_names.h"
#include "platform/host/codepage.h"
#include "platform/posix/kernel32/drive_map.h"
#include "platform/posix/kernel32/drive_settings.h"

namespace progman {

bool Execute(ProgramManager& manager, std::string_view request) {
    const std::optional<Command> command = ParseCommand(request.substr(0, request.find('\0')));
    if (!command) {
        return false;
    }
    const std::string& first = command->arguments[0];
    switch (command->verb) {
        case Verb::DeleteGroup:
            if (names::SameIgnoringCase(first, manager.selected)) {
                manager.selected.clear();
            }
            return DeleteGroup(manager.folders, first);
        case Verb::CreateGroup:
            if (!CreateGroup(manager.folders, first)) {
                return false;
            }
            manager.selected = first;
            return true;
        case Verb::ShowGroup:
            if (!GroupExists(manager.folders, first)) {
                return false;
            }
            manager.selected = first;
            return true;
        case Verb::AddItem: {
            const posix::MappedPath program = posix::MapProgramPath(first);
            // A mapped path starts with its drive's letter, which has a folder.
            const std::optional<std::filesystem::path> drive =
                program ? posix::DriveFolder(first[0]) : std::nullopt;
            if (manager.selected.empty() || !drive) {
                return false;
            }
            const std::string driveSetting = posix::DriveVariable(first[0]) + '=' + drive->string();
            return AddItem(manager.folders, manager.selected, first, command->arguments[1],
                           {program.host, driveSetting});
        }
    }
    return false;
}

std::optional<std::string> Request(const ProgramManager& manager, std::string_view item) {
    const std::optional<MenuGroup> group = FindGroup(manager.folders, item);
    if (!group) {
        return std::nullopt;
    }
    // Each item's program as the client's drives name it, so that a client that sees the
    // folders through other drives (an uninstaller started from another shell) still knows
    // its own programs; as it was given where they do not reach it.
    std::vector<group_contents::Item> items;
    for (const MenuItem& entry : group->items) {
        const std::optional<std::string> program =
            entry.program.empty() ? std::nullopt : posix::ProgramPathOfHost(entry.program);
        items.push_back({host::Utf8ToCp1252(entry.caption),
                         program.value_or(host::Utf8ToCp1252(entry.commandLine))});
    }
    return group_contents::Compose(host::Utf8ToCp1252(group->name),
                                   host::Utf8ToCp1252(group->file.string()), items);
}

}  // namespace progman

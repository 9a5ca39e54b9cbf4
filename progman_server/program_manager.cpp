#include "program_manager.h"

#include <filesystem>
#include <optional>
#include <string>

#include "command_parser.h"
#include "formats/program_names.h"
#include "platform/posix/kernel32/drive_map.h"

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

}  // namespace progman

#include "program_manager.h"

#include <optional>

#include "command_parser.h"
#include "platform/posix/codepage.h"
#include "platform/posix/drive_map.h"

namespace progman {

bool Execute(ProgramManager& manager, std::string_view request) {
    const std::optional<Command> command = ParseCommand(request.substr(0, request.find('\0')));
    if (!command) {
        return false;
    }
    const std::string& first = command->arguments[0];
    switch (command->verb) {
        case Verb::DeleteGroup:
            if (posix::SameIgnoringCase(first, manager.selected)) {
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
            return !manager.selected.empty() && program &&
                   AddItem(manager.folders, manager.selected, first, command->arguments[1],
                           program.host);
        }
    }
    return false;
}

}  // namespace progman

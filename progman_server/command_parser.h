// The program manager's command syntax, as far as the server speaks it: one command
// "[Verb(argument,...)]" per request. Spaces may stand around every token and the verb is
// matched without regard to case. An argument is either in double quotes, holding anything but
// a double quote (commas and brackets included), or bare, running to the next comma or closing
// bracket with its outer spaces dropped. Control characters are refused everywhere.
#ifndef KARTOL_PROGMAN_SERVER_COMMAND_PARSER_H
#define KARTOL_PROGMAN_SERVER_COMMAND_PARSER_H

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace progman {

enum class Verb { DeleteGroup, CreateGroup, ShowGroup, AddItem };

struct Command {
    Verb verb;
    std::vector<std::string> arguments;
};

// The command, or nothing when the text is malformed or the verb unknown, or its arguments
// are not those of the verb: DeleteGroup(group), CreateGroup(group), ShowGroup(group,show)
// with a decimal show command, AddItem(commandLine,caption). No argument may be empty.
std::optional<Command> ParseCommand(std::string_view text);

}  // namespace progman

#endif

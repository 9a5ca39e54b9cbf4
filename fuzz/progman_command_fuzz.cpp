// Fuzz target: the program manager server's command parser on any request text. A command it
// accepts is one of the four with the verb's arguments, none empty or holding a control
// character; written back in the canonical form (quoted, no spaces) it parses the same again.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "progman_server/command_parser.h"

namespace {

constexpr std::string_view kVerbNames[] = {"DeleteGroup", "CreateGroup", "ShowGroup", "AddItem"};
constexpr std::size_t kArgumentCounts[] = {1, 1, 2, 2};

std::string Canonical(const progman::Command& command) {
    std::string text = "[" + std::string{kVerbNames[static_cast<int>(command.verb)]} + "(";
    for (std::size_t i = 0; i < command.arguments.size(); ++i) {
        text += (i > 0 ? ",\"" : "\"") + command.arguments[i] + "\"";
    }
    return text + ")]";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text{reinterpret_cast<const char*>(data), size};
    const std::optional<progman::Command> command = progman::ParseCommand(text);
    if (!command) {
        return 0;
    }
    bool sound = command->arguments.size() == kArgumentCounts[static_cast<int>(command->verb)];
    // A quoted argument ends at the next quote, so one that holds a quote has no quoted form.
    bool quotable = true;
    for (const std::string& argument : command->arguments) {
        sound = sound && !argument.empty() &&
                std::ranges::none_of(argument, [](unsigned char c) { return c < ' '; });
        quotable = quotable && argument.find('"') == argument.npos;
    }
    if (sound && quotable) {
        const std::optional<progman::Command> again = progman::ParseCommand(Canonical(*command));
        sound = again && again->verb == command->verb && again->arguments == command->arguments;
    }
    if (!sound) {
        std::abort();
    }
    return 0;
}

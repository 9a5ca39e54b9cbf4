#include "command_parser.h"

#include <algorithm>
#include <array>

#include "formats/program_names.h"

namespace progman {
namespace {

struct VerbForm {
    std::string_view name;
    Verb verb;
    std::size_t argumentCount;
};

constexpr std::array<VerbForm, 4> kVerbs{{
    {"DeleteGroup", Verb::DeleteGroup, 1},
    {"CreateGroup", Verb::CreateGroup, 1},
    {"ShowGroup", Verb::ShowGroup, 2},
    {"AddItem", Verb::AddItem, 2},
}};

// Bytes below a space are control characters.
constexpr unsigned char kFirstTextByte = 0x20;

void SkipSpaces(std::string_view& text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
}

bool Take(std::string_view& text, char wanted) {
    SkipSpaces(text);
    if (text.empty() || text.front() != wanted) {
        return false;
    }
    text.remove_prefix(1);
    return true;
}

std::string_view TrimSpaces(std::string_view text) {
    SkipSpaces(text);
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

std::optional<std::string> Argument(std::string_view& text) {
    if (Take(text, '"')) {
        const std::size_t end = text.find('"');
        if (end == text.npos) {
            return std::nullopt;
        }
        std::string argument{text.substr(0, end)};
        text.remove_prefix(end + 1);
        return argument;
    }
    const std::size_t end = text.find_first_of(",)");
    if (end == text.npos) {
        return std::nullopt;
    }
    std::string argument{TrimSpaces(text.substr(0, end))};
    text.remove_prefix(end);
    return argument;
}

const VerbForm* FindVerb(std::string_view name) {
    const auto found = std::ranges::find_if(
        kVerbs, [&](const VerbForm& form) { return names::SameIgnoringCase(form.name, name); });
    return found != kVerbs.end() ? &*found : nullptr;
}

bool IsDecimal(std::string_view text) {
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

bool IsWellFormed(const VerbForm& form, const std::vector<std::string>& arguments) {
    return arguments.size() == form.argumentCount &&
           std::ranges::none_of(arguments, &std::string::empty) &&
           (form.verb != Verb::ShowGroup || IsDecimal(arguments[1]));
}

}  // namespace

std::optional<Command> ParseCommand(std::string_view text) {
    if (std::ranges::any_of(text, [](unsigned char c) { return c < kFirstTextByte; })) {
        return std::nullopt;
    }
    if (!Take(text, '[')) {
        return std::nullopt;
    }
    const std::size_t open = text.find('(');
    if (open == text.npos) {
        return std::nullopt;
    }
    const VerbForm* form = FindVerb(TrimSpaces(text.substr(0, open)));
    text.remove_prefix(open + 1);
    std::vector<std::string> arguments;
    do {
        std::optional<std::string> argument = Argument(text);
        if (!argument) {
            return std::nullopt;
        }
        arguments.push_back(std::move(*argument));
    } while (Take(text, ','));
    if (!Take(text, ')') || !Take(text, ']')) {
        return std::nullopt;
    }
    SkipSpaces(text);
    if (form == nullptr || !text.empty() || !IsWellFormed(*form, arguments)) {
        return std::nullopt;
    }
    return Command{form->verb, std::move(arguments)};
}

}  // namespace progman

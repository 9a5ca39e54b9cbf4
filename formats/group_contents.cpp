#include "group_contents.h"

namespace group_contents {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
// Between an item's caption and its command line.
constexpr std::string_view kCaptionEnd = "\",\"";
// ShowGroup's show command 1: the group shown as it was.
constexpr std::string_view kShownNormal = "1";
// An item's place x and y, icon index, hot key and minimize flag: none given.
constexpr std::string_view kItemDefaults = ",0,0,0,0,0";

// The command line of an item line, or nothing when the line is not one.
std::optional<std::string> ItemCommandLine(std::string_view line) {
    const std::size_t captionEnd = line.find(kCaptionEnd);
    if (!line.starts_with('"') || captionEnd == line.npos) {
        return std::nullopt;
    }
    const std::size_t start = captionEnd + kCaptionEnd.size();
    const std::size_t end = line.find('"', start);
    if (end == line.npos) {
        return std::nullopt;
    }
    return std::string{line.substr(start, end - start)};
}

}  // namespace

std::string Compose(std::string_view name, std::string_view groupFile,
                    std::span<const Item> items) {
    std::string text = '"' + std::string{name} + "\"," + std::string{groupFile} + ',' +
                       std::to_string(items.size()) + ',' + std::string{kShownNormal} +
                       std::string{kLineEnd};
    for (const Item& item : items) {
        text += '"' + item.caption + std::string{kCaptionEnd} + item.commandLine + "\",," +
                item.commandLine + std::string{kItemDefaults} + std::string{kLineEnd};
    }
    return text;
}

std::optional<std::vector<std::string>> CommandLines(std::string_view answer) {
    answer = answer.substr(0, answer.find('\0'));
    if (!answer.starts_with('"')) {
        return std::nullopt;
    }
    std::vector<std::string> commandLines;
    // Item lines follow the group's line; the last one may end without CR LF.
    std::size_t start = answer.find(kLineEnd);
    while (start != answer.npos && (start += kLineEnd.size()) < answer.size()) {
        const std::size_t end = answer.find(kLineEnd, start);
        std::optional<std::string> commandLine = ItemCommandLine(answer.substr(start, end - start));
        if (!commandLine) {
            return std::nullopt;
        }
        commandLines.push_back(std::move(*commandLine));
        start = end;
    }
    return commandLines;
}

}  // namespace group_contents

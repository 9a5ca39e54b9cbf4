#include "install_record.h"

#include <algorithm>
#include <charconv>

#include "formats/payload_archive.h"

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFileLinePrefix = "NC ";

bool IsControl(char c) {
    return static_cast<unsigned char>(c) < ' ';
}

// "%d" of a count: digits only (from_chars takes no sign for an unsigned count), no leading
// zero.
std::optional<std::size_t> ParseCount(std::string_view digits) {
    std::size_t count = 0;
    const char* end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, count);
    if (error != std::errc{} || stop != end || (digits.size() > 1 && digits.front() == '0')) {
        return std::nullopt;
    }
    return count;
}

std::optional<std::vector<bool>> ParseLevelLine(std::string_view line, std::size_t levelCount) {
    const std::size_t countEnd = std::min(line.find(' '), line.size());
    if (ParseCount(line.substr(0, countEnd)) != levelCount) {
        return std::nullopt;
    }
    std::vector<bool> flags;
    std::string_view rest = line.substr(countEnd);
    // Each flag is a space and one digit.
    while (rest.size() >= 2 && rest[0] == ' ' && (rest[1] == '0' || rest[1] == '1')) {
        flags.push_back(rest[1] == '1');
        rest.remove_prefix(2);
    }
    if (!rest.empty() || flags.size() != levelCount) {
        return std::nullopt;
    }
    return flags;
}

std::optional<std::string> ParseFileLine(std::string_view line) {
    if (!line.starts_with(kFileLinePrefix)) {
        return std::nullopt;
    }
    const std::string_view name = line.substr(kFileLinePrefix.size());
    if (!archive::IsContainedName(name) || std::ranges::any_of(name, IsControl)) {
        return std::nullopt;
    }
    return std::string{name};
}

}  // namespace

ParsedLog ParseInstallLog(std::string_view text, std::size_t levelCount) {
    if (text.size() > kMaxLogSize) {
        return {std::nullopt, 1};
    }
    InstallRecord record;
    int lineNumber = 1;
    for (; !text.empty() || lineNumber == 1; ++lineNumber) {
        // A line without its end is a log that was cut short.
        const std::size_t end = text.find(kLineEnd);
        if (end == text.npos) {
            return {std::nullopt, lineNumber};
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + kLineEnd.size());
        if (lineNumber == 1) {
            std::optional<std::vector<bool>> flags = ParseLevelLine(line, levelCount);
            if (!flags) {
                return {std::nullopt, lineNumber};
            }
            record.levelCreated = std::move(*flags);
        } else if (std::optional<std::string> name = ParseFileLine(line)) {
            record.files.push_back(std::move(*name));
        } else {
            return {std::nullopt, lineNumber};
        }
    }
    return {std::move(record), 0};
}

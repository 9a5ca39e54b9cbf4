#include "uninstall_log_format.h"

#include <algorithm>
#include <charconv>

#include "payload_archive.h"

namespace {

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

bool ParseLevelLine(std::string_view line, std::span<std::int32_t> flags) {
    const std::size_t countEnd = std::min(line.find(' '), line.size());
    if (ParseCount(line.substr(0, countEnd)) != flags.size()) {
        return false;
    }
    std::string_view rest = line.substr(countEnd);
    // Each flag is a space and one digit.
    for (std::int32_t& flag : flags) {
        if (rest.size() < 2 || rest[0] != ' ' || (rest[1] != '0' && rest[1] != '1')) {
            return false;
        }
        flag = rest[1] - '0';
        rest.remove_prefix(2);
    }
    return rest.empty();
}

ParsedLog ParseUninstallLog(std::string_view text, std::size_t levelCount) {
    if (text.size() > kMaxLogSize) {
        return {std::nullopt, 1};
    }
    UninstallLogContents record;
    int lineNumber = 1;
    for (; !text.empty() || lineNumber == 1; ++lineNumber) {
        // A line without its end is a log that was cut short.
        const std::size_t end = text.find(kLogLineEnd);
        if (end == text.npos) {
            return {std::nullopt, lineNumber};
        }
        const std::string_view line = text.substr(0, end);
        text.remove_prefix(end + kLogLineEnd.size());
        if (lineNumber == 1) {
            // A folder that another drive names (the host's root, Z:) has more levels above it
            // than the setup counted: the log's flags stand for the deepest of them.
            const std::optional<std::size_t> count = ParseCount(line.substr(0, line.find(' ')));
            if (!count || *count > levelCount) {
                return {std::nullopt, lineNumber};
            }
            std::vector<std::int32_t> flags(*count);
            if (!ParseLevelLine(line, flags)) {
                return {std::nullopt, lineNumber};
            }
            record.levelCreated.assign(flags.begin(), flags.end());
        } else if (std::optional<std::string> name = ParseFileLine(line)) {
            record.files.push_back(std::move(*name));
        } else {
            return {std::nullopt, lineNumber};
        }
    }
    return {std::move(record), 0};
}

#include "desktop_entry.h"

#include <algorithm>
#include <fstream>

namespace progman {
namespace {

// Characters that a quoted Exec argument must escape with a backslash.
constexpr std::string_view kExecQuotedEscapes = "\"`$\\";
// The control characters that a string value can hold, and the letter of each one's escape.
constexpr std::string_view kEscapedControls = "\n\t\r";
constexpr std::string_view kControlEscapes = "ntr";
// Bytes below a space, and DEL, are control characters.
constexpr unsigned char kFirstTextByte = 0x20;
constexpr unsigned char kDelete = 0x7F;

}  // namespace

bool CanEscape(std::string_view text) {
    return std::ranges::none_of(text, [](unsigned char c) {
        return (c < kFirstTextByte || c == kDelete) &&
               kEscapedControls.find(static_cast<char>(c)) == std::string_view::npos;
    });
}

std::string EscapeValue(std::string_view text) {
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const std::size_t control = kEscapedControls.find(text[i]);
        if (text[i] == '\\') {
            escaped += "\\\\";
        } else if (control != std::string_view::npos) {
            escaped += {'\\', kControlEscapes[control]};
        } else if (text[i] == ' ' && i == 0) {
            escaped += "\\s";
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

std::string ExecValue(std::span<const std::string> arguments) {
    std::string line;
    for (const std::string& argument : arguments) {
        line += line.empty() ? "\"" : " \"";
        for (char c : argument) {
            if (kExecQuotedEscapes.find(c) != kExecQuotedEscapes.npos) {
                line += '\\';
            } else if (c == '%') {
                line += '%';
            }
            line += c;
        }
        line += '"';
    }
    return EscapeValue(line);
}

std::optional<std::vector<std::string>> ExecArguments(std::string_view exec) {
    std::vector<std::string> arguments;
    for (std::size_t at = exec.find('"'); at != exec.npos; at = exec.find('"', at + 1)) {
        std::string argument;
        for (++at; at < exec.size() && exec[at] != '"'; ++at) {
            // An escaped character, and the second % of a doubled one, stand for themselves.
            if ((exec[at] == '\\' || exec[at] == '%') && at + 1 < exec.size()) {
                ++at;
            }
            argument += exec[at];
        }
        if (at == exec.size()) {
            return std::nullopt;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

// The server's files hold the one group [Desktop Entry], so the first line of the key is its.
std::optional<std::string> ReadValue(const std::filesystem::path& file, std::string_view key) {
    std::ifstream in{file};
    const std::string prefix = std::string{key} + '=';
    for (std::string line; std::getline(in, line);) {
        if (line.starts_with(prefix)) {
            std::string value;
            // Spaces after the equals sign are not part of the value.
            const std::size_t start = line.find_first_not_of(' ', prefix.size());
            for (std::size_t i = start; i < line.size(); ++i) {
                if (line[i] == '\\' && i + 1 < line.size()) {
                    ++i;
                    const std::size_t control = kControlEscapes.find(line[i]);
                    value += line[i] == 's'                      ? ' '
                             : control != std::string_view::npos ? kEscapedControls[control]
                                                                 : line[i];
                } else {
                    value += line[i];
                }
            }
            return value;
        }
    }
    return std::nullopt;
}

}  // namespace progman

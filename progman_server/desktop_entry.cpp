#include "desktop_entry.h"

#include <unistd.h>

#include <fstream>
#include <system_error>

namespace progman {
namespace {

// Characters that a quoted Exec argument must escape with a backslash.
constexpr std::string_view kExecQuotedEscapes = "\"`$\\";

}  // namespace

std::string EscapeValue(std::string_view text) {
    std::string escaped;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\') {
            escaped += "\\\\";
        } else if (text[i] == ' ' && i == 0) {
            escaped += "\\s";
        } else {
            escaped += text[i];
        }
    }
    return escaped;
}

std::string ExecValue(const std::filesystem::path& program) {
    std::string quoted = "\"";
    for (char c : program.string()) {
        if (kExecQuotedEscapes.find(c) != kExecQuotedEscapes.npos) {
            quoted += '\\';
        } else if (c == '%') {
            quoted += '%';
        }
        quoted += c;
    }
    return EscapeValue(quoted + '"');
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
                    value += line[i] == 's' ? ' ' : line[i];
                } else {
                    value += line[i];
                }
            }
            return value;
        }
    }
    return std::nullopt;
}

bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text) {
    std::filesystem::path temporary = file;
    temporary += ".tmp-" + std::to_string(getpid());
    {
        std::ofstream out{temporary, std::ios::binary | std::ios::trunc};
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(temporary, ignored);
            return false;
        }
    }
    std::error_code error;
    std::filesystem::rename(temporary, file, error);
    if (error) {
        std::filesystem::remove(temporary, error);
        return false;
    }
    return true;
}

}  // namespace progman

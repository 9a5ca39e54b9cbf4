#include "desktop_entry.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include <fstream>
#include <system_error>

namespace progman {
namespace {

// As for any file the user makes: the umask decides.
constexpr mode_t kFileMode = 0666;
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

// The temporary file reaches the disk before it takes the file's name, so that after a crash
// the name holds the old text or the whole new one.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text) {
    std::filesystem::path temporary = file;
    temporary += ".tmp-" + std::to_string(getpid());
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
    if (out == -1) {
        return false;
    }
    std::string_view left = text;
    while (!left.empty()) {
        const ssize_t written = write(out, left.data(), left.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            break;
        }
        left.remove_prefix(static_cast<std::size_t>(written));
    }
    const bool complete = left.empty() && fsync(out) == 0;
    const bool closed = close(out) == 0;
    std::error_code error;
    if (complete && closed) {
        std::filesystem::rename(temporary, file, error);
        if (!error) {
            return true;
        }
    }
    std::filesystem::remove(temporary, error);
    return false;
}

}  // namespace progman

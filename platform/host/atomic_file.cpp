#include "atomic_file.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string>
#include <system_error>

#include "write_all.h"

namespace host {
namespace {

// As for any file the user makes: the umask decides.
constexpr mode_t kFileMode = 0666;

// The process that wrote a temporary file, from the digits that end its name; nothing for a
// name that is no temporary file.
std::optional<pid_t> WriterOf(std::string_view name) {
    const std::size_t infix = name.rfind(kTemporaryInfix);
    if (infix == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view digits = name.substr(infix + kTemporaryInfix.size());
    pid_t writer = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), writer);
    if (error != std::errc{} || end != digits.data() + digits.size() || writer <= 0) {
        return std::nullopt;
    }
    return writer;
}

bool IsRunning(pid_t process) {
    return kill(process, 0) == 0 || errno == EPERM;
}

}  // namespace

// The temporary file reaches the disk before it takes the file's name, so that after a crash
// the name holds the old text or the whole new one.
bool WriteFileAtomically(const std::filesystem::path& file, std::string_view text) {
    std::filesystem::path temporary = file;
    temporary += std::string{kTemporaryInfix} + std::to_string(getpid());
    const int out = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, kFileMode);
    if (out == -1) {
        return false;
    }
    const bool complete = WriteAll(out, text) && fsync(out) == 0;
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

void RemoveStaleTemporaries(const std::filesystem::path& folder, std::string_view namePrefix) {
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator{folder, error}) {
        const std::string name = entry.path().filename().string();
        const std::optional<pid_t> writer = WriterOf(name);
        if (name.starts_with(namePrefix) && writer && !IsRunning(*writer)) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

}  // namespace host

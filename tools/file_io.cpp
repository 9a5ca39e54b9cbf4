#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>

namespace tools {
namespace {

std::runtime_error FileError(const char* what, const std::filesystem::path& path) {
    return std::runtime_error(std::string{what} + " " + path.string() + ": " +
                              std::strerror(errno));
}

}  // namespace

std::uintmax_t RegularFileSize(const std::filesystem::path& path) {
    std::error_code error;
    const auto status = std::filesystem::status(path, error);
    if (error) {
        throw std::runtime_error("cannot open " + path.string() + ": " + error.message());
    }
    if (!std::filesystem::is_regular_file(status)) {
        errno = std::filesystem::is_directory(status) ? EISDIR : EINVAL;
        throw FileError("cannot read", path);
    }
    return std::filesystem::file_size(path);
}

void ReadInto(const std::filesystem::path& path, std::span<std::uint8_t> bytes) {
    std::ifstream in{path, std::ios::binary};
    if (!in) {
        throw FileError("cannot open", path);
    }
    if (!in.read(reinterpret_cast<char*>(bytes.data()),
                 static_cast<std::streamsize>(bytes.size()))) {
        throw FileError("cannot read", path);
    }
}

std::vector<std::uint8_t> ReadFile(const std::filesystem::path& path) {
    std::vector<std::uint8_t> bytes(RegularFileSize(path));
    ReadInto(path, bytes);
    return bytes;
}

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        errno = EISDIR;
        throw FileError("cannot write", path);
    }
    const bool inPlace =
        std::filesystem::exists(status) && !std::filesystem::is_regular_file(status);
    std::filesystem::path target = path;
    if (!inPlace) {
        target += ".part";
    }
    {
        std::ofstream out{target, std::ios::binary | std::ios::trunc};
        if (!out) {
            throw FileError("cannot create", target);
        }
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            const auto failure = FileError("cannot write", target);
            if (!inPlace) {
                std::filesystem::remove(target);
            }
            throw failure;
        }
    }
    if (!inPlace) {
        std::filesystem::rename(target, path);
    }
}

}  // namespace tools

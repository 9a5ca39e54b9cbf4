#include "file_io.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <memory>
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

InputFile::InputFile(const std::filesystem::path& path)
    : path_(path), file_(nullptr, std::fclose) {
    RegularFileSize(path);
    file_.reset(std::fopen(path.c_str(), "rb"));
    if (!file_) {
        throw FileError("cannot open", path);
    }
}

std::size_t InputFile::Read(std::span<std::uint8_t> buffer) {
    const std::size_t read = std::fread(buffer.data(), 1, buffer.size(), file_.get());
    if (std::ferror(file_.get()) != 0) {
        throw FileError("cannot read", path_);
    }
    return read;
}

OutputFile::OutputFile(const std::filesystem::path& path) : path_(path), target_(path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_directory(status)) {
        errno = EISDIR;
        throw FileError("cannot write", path);
    }
    if (!std::filesystem::exists(status) || std::filesystem::is_regular_file(status)) {
        target_ += ".part";
    }
    file_ = std::fopen(target_.c_str(), "wb");
    if (file_ == nullptr) {
        throw FileError("cannot create", target_);
    }
}

OutputFile::~OutputFile() {
    if (file_ != nullptr) {
        std::fclose(file_);
        if (target_ != path_) {
            std::error_code ignored;
            std::filesystem::remove(target_, ignored);
        }
    }
}

void OutputFile::Write(std::span<const std::uint8_t> bytes) {
    if (std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size()) {
        throw FileError("cannot write", target_);
    }
}

void OutputFile::Commit() {
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (closed != 0) {
        const auto failure = FileError("cannot write", target_);
        if (target_ != path_) {
            std::error_code ignored;
            std::filesystem::remove(target_, ignored);
        }
        throw failure;
    }
    if (target_ != path_) {
        std::filesystem::rename(target_, path_);
    }
}

void WriteFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes) {
    OutputFile out{path};
    out.Write(bytes);
    out.Commit();
}

}  // namespace tools
